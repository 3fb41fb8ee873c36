#!/usr/bin/env python3
"""Lists the longest functions of the C++ sources given (default src/*.cpp).

A function is a definition whose header starts in column 0 (or indented inside a
namespace block) and whose body opens with '{' at the end of a line; its length is the
count of lines from the header's first line to the closing brace. Lambdas and class
members count within their enclosing function. Usage: func_lengths.py [-n N] [files...]
"""
import glob
import re
import sys


def functions(path):
    lines = open(path, encoding="utf-8", errors="replace").read().split("\n")
    out = []
    depth = 0
    start = None
    name = None
    header_re = re.compile(r"^([A-Za-z_].*?\b([A-Za-z_][A-Za-z_0-9:~]*)\s*\([^;]*)$")
    for i, line in enumerate(lines):
        code = re.sub(r'//.*$|"(\\.|[^"\\])*"|\'(\\.|[^\'\\])*\'', "", line)
        if depth == 0 and start is None:
            m = header_re.match(code)
            if m and not code.lstrip().startswith(("namespace", "struct", "class", "enum")):
                start, name = i, m.group(2)
        if re.match(r"^\s*(namespace\b.*\{|\}\s*//\s*namespace)", line):
            continue  # namespace blocks do not nest functions
        opens, closes = code.count("{"), code.count("}")
        if start is not None and depth == 0 and opens == 0 and code.rstrip().endswith(";"):
            start = None
        depth += opens - closes
        if start is not None and depth == 0 and closes > 0:
            out.append((i - start + 1, name, path, start + 1))
            start = None
    return out


def main(argv):
    n = 15
    if len(argv) > 1 and argv[1] == "-n":
        n = int(argv[2])
        argv = argv[:1] + argv[3:]
    files = argv[1:] or sorted(glob.glob("src/*.cpp"))
    found = [f for p in files for f in functions(p)]
    found.sort(reverse=True)
    for length, name, path, line in found[:n]:
        print(f"{length:5d}  {name}  {path}:{line}")


if __name__ == "__main__":
    main(sys.argv)
