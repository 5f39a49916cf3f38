#!/usr/bin/env python3
"""Runs the benchmarks and prints the table of the README's Performance section.

    report.py BENCH_BINARY
"""
import json
import os
import platform
import subprocess
import sys
import tempfile

BENCH = sys.argv[1]
HERE = os.path.dirname(os.path.abspath(__file__))
MB = 1_000_000


def run_benchmarks():
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        subprocess.run([BENCH, f"--benchmark_out={out.name}", "--benchmark_out_format=json",
                        "--benchmark_min_time=0.3", "--benchmark_min_warmup_time=0.1",
                        "--benchmark_repetitions=3",
                        "--benchmark_report_aggregates_only=true"],
                       check=True, stdout=subprocess.DEVNULL)
        results = json.load(open(out.name))["benchmarks"]
    seconds = {}
    for result in results:
        if result.get("error_occurred"):
            sys.exit(f"{result['name']}: {result.get('error_message')}")
        if result.get("aggregate_name") != "median":
            continue
        name, *args = result["run_name"].split("/")
        fields = dict(arg.split(":") for arg in args if ":" in arg)
        key = (name, int(fields["bytes"]), fields["crlf"] == "1", fields["late"] == "1")
        seconds[key] = result["real_time"] / 1000  # milliseconds
    return seconds


def machine():
    model = "unknown processor"
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return f"{model}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


def size_name(size):
    return f"{size // MB} MB" if size >= MB else f"{size // 1000} KB"


def rate(size, seconds):
    return f"{size / seconds / MB:,.0f}"


def write_page(size, path):
    subprocess.run([BENCH, "--write-page", str(size), "crlf", "late", path], check=True)


def lxml_seconds(path):
    done = subprocess.run([sys.executable, os.path.join(HERE, "lxml_reference.py"), path],
                          check=True, capture_output=True, text=True)
    return float(done.stdout.split()[-1])


def main():
    seconds = run_benchmarks()
    sizes = sorted({key[1] for key in seconds})
    rows = []
    for crlf in (True, False):
        ends = "CR LF" if crlf else "LF"
        for size in sizes:
            measured = [
                ("load", seconds[("Load", size, crlf, False)],
                 seconds[("LoadFloor", size, crlf, False)]),
                ("scan, early tags", seconds[("Scan", size, crlf, False)],
                 seconds[("ScanFloor", size, crlf, False)]),
                ("scan, late tags", seconds[("Scan", size, crlf, True)],
                 seconds[("ScanFloor", size, crlf, False)]),
                ("window, Search to shown", seconds[("Window", size, crlf, True)],
                 seconds[("WindowFloor", size, crlf, True)]),
            ]
            for what, ours, floor in measured:
                rows.append(f"| {what} | {size_name(size)} | {ends} | {ours * 1000:,.1f} | "
                            f"{rate(size, ours)} | {rate(size, floor)} | {ours / floor:.2f} |")

    print(f"Machine: {machine()}\n")
    print("| step | page | line ends | ms | MB/s | floor MB/s | ratio to floor |")
    print("|---|---|---|---|---|---|---|")
    print("\n".join(rows))

    print("\nCost per byte at 100 MB against 1 MB (CR LF; 1.00 is linear), beside the same for"
          " the floor:\n")
    print("| step | ratio | floor's ratio |")
    print("|---|---|---|")
    for what, name, floor, late in (("load", "Load", "LoadFloor", False),
                                    ("scan, late tags", "Scan", "ScanFloor", True),
                                    ("window", "Window", "WindowFloor", True)):
        def growth(benchmark, late):
            return (seconds[(benchmark, 100 * MB, True, late)] / 100) / seconds[
                (benchmark, 1 * MB, True, late)]
        print(f"| {what} | {growth(name, late):.2f} | "
              f"{growth(floor, late and floor == 'WindowFloor'):.2f} |")

    with tempfile.TemporaryDirectory() as folder:
        print("\nAgainst lxml (python3-lxml) reading the same seven values from the same page"
              " (late tags, CR LF):\n")
        print("| page | metatags load + scan, ms | lxml, ms | lxml takes |")
        print("|---|---|---|---|")
        for size in (1 * MB, 10 * MB, 100 * MB):
            path = os.path.join(folder, f"page-{size}.html")
            write_page(size, path)
            ours = seconds[("Load", size, True, False)] + seconds[("Scan", size, True, True)]
            theirs = min(lxml_seconds(path) for _ in range(3))
            os.remove(path)
            print(f"| {size_name(size)} | {ours * 1000:,.1f} | {theirs * 1000:,.1f} | "
                  f"{theirs / ours:.1f}x as long |")

        path = os.path.join(folder, "page-100MB.html")
        write_page(100 * MB, path)
        peak = int(subprocess.run([BENCH, "--peak-memory", path], check=True,
                                  capture_output=True, text=True).stdout.split()[-1])
        print(f"\nPeak memory of a Search of the 100 MB page: {peak / MB:,.0f} MB, "
              f"{peak / (100 * MB):.1f} times the page.")


main()
