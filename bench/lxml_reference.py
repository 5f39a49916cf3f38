#!/usr/bin/env python3
"""What a user would otherwise reach for: lxml parses the page and reads the same seven values.

    lxml_reference.py PAGE   prints the seven values, then the seconds the read and parse took
"""
import sys
import time

from lxml import html


def seven_values(path):
    with open(path, "rb") as page:
        tree = html.fromstring(page.read())
    values = {"title": tree.findtext(".//title")}
    for word in ("description", "keywords", "robots", "abstract", "author", "copyright"):
        found = tree.xpath('//meta[translate(@name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ",'
                           ' "abcdefghijklmnopqrstuvwxyz")=$word]/@content', word=word)
        values[word] = found[0] if found else None
    return values


if __name__ == "__main__":
    start = time.perf_counter()
    values = seven_values(sys.argv[1])
    seconds = time.perf_counter() - start
    for name, value in values.items():
        print(f"{name}: {value}")
    print(f"{seconds:.6f}")
