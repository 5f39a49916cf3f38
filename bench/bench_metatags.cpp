// Loading, scanning and showing a page, each measured beside its floor in the same run:
//   metatags_bench [benchmark options]        the benchmarks
//   metatags_bench --write-page BYTES crlf|lf early|late PATH
//   metatags_bench --peak-memory PATH         Search PATH in the window; print the peak RSS

#include "app/frmMetatags.h"
#include "bench/page_generator.h"
#include "load/large_pages.h"
#include "load/page_file.h"
#include "scan/analysis.h"
#include "tests/window_driver.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t Sizes[] = {100'000, 1'000'000, 10'000'000, 100'000'000};

PageShape shapeOf(const benchmark::State& state) {
    return {static_cast<std::size_t>(state.range(0)), state.range(1) == 1, state.range(2) == 1};
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) != qint64(bytes.size()))
        qFatal("cannot write %s", qPrintable(path));
}

// Each generated page is written once, to a folder that lives as long as the run.
QString pageFile(const PageShape& shape) {
    static QTemporaryDir folder;
    static std::map<std::tuple<std::size_t, bool, bool>, QString> written;
    auto& path = written[{shape.bytes, shape.crlf, shape.late}];
    if (path.isEmpty()) {
        path = folder.filePath(QStringLiteral("page-%1-%2-%3.html")
                                   .arg(shape.bytes)
                                   .arg(shape.crlf ? "crlf" : "lf")
                                   .arg(shape.late ? "late" : "early"));
        writeFile(path, generatePage(shape));
    }
    return path;
}

load::Page pageText(const PageShape& shape) {
    return load::readPageFile(pageFile(shape)).text;
}

// The floors allocate as the program does, with the same advice for large pages, so that
// each ratio compares the work done and not the page faults.
void LoadFloor(benchmark::State& state) {
    const QByteArray path = QFile::encodeName(pageFile(shapeOf(state)));
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY);
        struct stat info {};
        ::fstat(fd, &info);
        const auto bytes = std::make_unique_for_overwrite<char[]>(info.st_size);
        adviseLargePages(bytes.get(), info.st_size);
        for (off_t got = 0; got < info.st_size;)
            got += ::read(fd, bytes.get() + got, info.st_size - got);
        ::close(fd);
        benchmark::DoNotOptimize(bytes.get());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Load(benchmark::State& state) {
    const QString path = pageFile(shapeOf(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(load::readPageFile(path));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void ScanFloor(benchmark::State& state) {
    const load::Page page = pageText(shapeOf(state));
    const scan::Text text = *page;
    for (auto _ : state) {
        const auto lower = std::make_unique_for_overwrite<char[]>(text.size());
        adviseLargePages(lower.get(), text.size());
        std::transform(text.begin(), text.end(), lower.get(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 0x20) : c; });
        benchmark::DoNotOptimize(lower.get());
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void Scan(benchmark::State& state) {
    const load::Page page = pageText(shapeOf(state));
    for (auto _ : state) {
        const scan::Analysis analysis = scan::analysePage(*page);
        if (!analysis.title.present())
            state.SkipWithError("the page has no title");
        benchmark::DoNotOptimize(analysis);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// What the toolkit itself takes to show the page text: a bare box, shown and painted.
void WindowFloor(benchmark::State& state) {
    const QString page = QString::fromLatin1(*pageText(shapeOf(state)));
    QPlainTextEdit box;
    box.resize(769, 153);
    box.show();
    if (!QTest::qWaitForWindowExposed(&box))
        state.SkipWithError("the box was not shown");
    for (auto _ : state) {
        box.setPlainText(page);
        box.repaint();
        QApplication::processEvents();
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

// Recheck does what Search does once the Open dialog has closed: load, show, scan, count.
void Window(benchmark::State& state) {
    WindowDriver driver;
    driver.search(pageFile(shapeOf(state)));
    for (auto _ : state) {
        driver.recheck();
        driver.window().repaint();
        QApplication::processEvents();
    }
    if (driver.shown("lblTitleCar") != QLatin1String("45"))
        state.SkipWithError("the window did not show the page's title");
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void registerAll() {
    for (const std::size_t size : Sizes)
        for (const int crlf : {1, 0}) {
            const auto bytes = static_cast<int64_t>(size);
            const auto add = [&](const char* name, auto function, int late) {
                benchmark::RegisterBenchmark(name, function)
                    ->Args({bytes, crlf, late})
                    ->ArgNames({"bytes", "crlf", "late"})
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
            };
            add("LoadFloor", LoadFloor, 0);
            add("Load", Load, 0);
            add("ScanFloor", ScanFloor, 0);
            add("Scan", Scan, 0);
            add("Scan", Scan, 1);
            add("WindowFloor", WindowFloor, 1);
            add("Window", Window, 1);
        }
}

int peakMemory(const QString& path) {
    WindowDriver driver;
    driver.search(path);
    driver.window().repaint();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld\n", usage.ru_maxrss * 1024L); // bytes
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    if (argc == 6 && QByteArray(argv[1]) == "--write-page") {
        writeFile(QString::fromLocal8Bit(argv[5]),
                  generatePage({std::stoul(argv[2]), QByteArray(argv[3]) == "crlf",
                                QByteArray(argv[4]) == "late"}));
        return 0;
    }
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--peak-memory")
        return peakMemory(QString::fromLocal8Bit(argv[2]));
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
