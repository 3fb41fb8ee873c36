#!/usr/bin/env python3
"""Draws the SVG diagram of each test sounding with the real binary, parses it as XML and
checks its curves against the sounding the same run prints.

The significant-level table (level out1) lists every level of the merged profile, the
one the diagram draws. A curve is broken wherever a level lacks its value, so the number
of sub-paths stroked in a curve's colour is the number of runs of consecutive levels that
have the value (plus one for the legend's sample line). The parcel is one dashed curve.

Usage: check_svg.py UA_PARSE SAMPLE_DIR OBSERVED_DIR SCRATCH_DIR
"""
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SVG = "{http://www.w3.org/2000/svg}"
TEMP = (90.0, 0.0, 0.0)
DEWP = (0.0, 62.0, 0.0)
WETB = (20.0, 40.0, 100.0)
PARCEL = (25.0, 25.0, 25.0)


def table_runs(out):
    """Runs of levels with a temperature, a dew point and both, from the table."""
    lines = out.splitlines()
    rules = [i for i, l in enumerate(lines) if l.startswith("-" * 70)]
    rows = []
    for l in lines[rules[1] + 1:]:
        if l.startswith("TRP") or l.startswith("WND"):
            break
        l = l.ljust(26)
        rows.append((l[14:20].strip() != "", l[20:26].strip() != ""))

    def runs(flags):
        n, prev = 0, False
        for f in flags:
            n += f and not prev
            prev = f
        return n

    return (runs(r[0] for r in rows), runs(r[1] for r in rows),
            runs(r[0] and r[1] for r in rows))


def strokes(svg_file):
    """(colour, dashed, sub-paths) of every stroked path outside the glyph definitions."""
    root = ET.parse(svg_file).getroot()
    found = []

    def walk(node):
        for child in node:
            if child.tag == SVG + "defs":
                continue
            if child.tag == SVG + "path":
                style = child.get("style", "")
                m = re.search(r"stroke:rgb\(([\d.]+)%,([\d.]+)%,([\d.]+)%\)", style)
                if m:
                    colour = tuple(float(x) for x in m.groups())
                    found.append((colour, "stroke-dasharray" in style,
                                  child.get("d", "").count("M")))
            walk(child)

    walk(root)
    return found


def count(found, colour, dashed=None):
    return sum(n for c, d, n in found
               if all(abs(a - b) < 0.5 for a, b in zip(c, colour))
               and (dashed is None or d == dashed))


def main():
    binary, sample, observed, scratch = sys.argv[1:5]
    os.makedirs(scratch, exist_ok=True)
    cases = [(sample, ident, "sample.upa") for ident in ("OAX", "GRB", "LXA", "DNR", "MFL")]
    cases += [(os.path.join(observed, "oax20140616"), "OAX", "oax20140616.upa"),
              (os.path.join(observed, "oun20181222"), "OUN", "oun20181222.upa")]
    env = {k: v for k, v in os.environ.items() if not k.startswith("zud")}
    failed = 0
    for cwd, ident, name in cases:
        svg = os.path.join(scratch, ident + "_" + name + ".svg")
        run = subprocess.run([binary, "-ba", "-me", "out1", "-id", ident, "-pl", "skewt",
                              "-de", "p," + svg, name], cwd=cwd, env=env,
                             capture_output=True, text=True, timeout=60)
        if run.returncode != 0:
            print(f"{ident} {name}: status {run.returncode}: {run.stderr}")
            failed += 1
            continue
        t_runs, td_runs, wb_runs = table_runs(run.stdout)
        found = strokes(svg)
        checks = [("temperature", count(found, TEMP), t_runs + 1),
                  ("dew point", count(found, DEWP), td_runs + 1),
                  ("wet-bulb", count(found, WETB), wb_runs + 1),
                  ("parcel (dashed)", count(found, PARCEL, True), 1 + 1)]
        for what, got, want in checks:
            ok = got == want
            failed += not ok
            print(f"{ident} {name}: {what}: {got} curves, expected {want}: {'ok' if ok else 'FAILED'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
