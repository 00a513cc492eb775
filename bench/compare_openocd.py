#!/usr/bin/env python3
"""Plays the three benchmark SVF files with svfplay and with OpenOCD, in one run.

  compare_openocd.py [--repeat N] [--dir DIR] [--svfplay PATH] [--openocd PATH]

The files come from gen_svf.py (long: 50 MB of long SDR scans, short: 200,000
short SIR/SDR statements, huge: one 64-Mbit SDR) and are kept in DIR, so a
second run reuses them. svfplay runs with its null controller, OpenOCD with its
dummy adapter and -ignore_error (the dummy adapter's captures do not match).
Both write nothing to the terminal. For each tool and file the script prints
the best wall time of N runs, MB/s, statements/s and the peak resident memory
of the child (from wait4, so every run is measured on its own), then the ratios
svfplay / OpenOCD.
"""

import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
CASES = (
    ("long", ["--mb", "50"]),
    ("short", ["--count", "200000"]),
    ("huge", ["--mbit", "64"]),
)
READ_CHUNK = 1 << 20


def generate(directory):
    """Writes the files that are missing; returns {kind: path}."""
    paths = {}
    for kind, options in CASES:
        path = directory / ("%s.svf" % kind)
        if not path.exists():
            print("generating %s ..." % path, file=sys.stderr)
            subprocess.run([sys.executable, str(HERE / "gen_svf.py"), kind, str(path)] + options,
                           check=True, stdout=subprocess.DEVNULL)
        paths[kind] = path
    return paths


def count_statements(path):
    """One statement per ';' (the generated files have no comments holding one)."""
    count = 0
    with open(path, "rb") as source:
        while chunk := source.read(READ_CHUNK):
            count += chunk.count(b";")
    return count


def svfplay_command(binary, path):
    return [str(binary), "--null-controller", "-v", "0", str(path)]


def openocd_command(binary, path):
    return [binary,
            "-c", "adapter driver dummy",
            "-c", "adapter speed 1000",
            "-c", "transport select jtag",
            "-c", "jtag newtap chip tap -irlen 8",
            "-c", "init",
            "-c", "svf -quiet -ignore_error %s" % path,
            "-c", "shutdown"]


def run_once(command):
    """Wall time in seconds, peak RSS in bytes and exit status of one child."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss * 1024, child.returncode


def measure(command, repeat):
    best_time = None
    peak = 0
    codes = set()
    for _ in range(repeat):
        elapsed, rss, code = run_once(command)
        best_time = elapsed if best_time is None else min(best_time, elapsed)
        peak = max(peak, rss)
        codes.add(code)
    return {"time": best_time, "rss": peak, "codes": sorted(codes)}


def rates(result, size, statements):
    result["mbps"] = size / 1e6 / result["time"]
    result["sps"] = statements / result["time"]
    return result


def load_average():
    try:
        return "%.1f %.1f %.1f" % os.getloadavg()
    except OSError:
        return "unknown"


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=3, help="runs per tool and file (best wins)")
    parser.add_argument("--dir", default="/tmp/svf-bench", help="where the files are kept")
    parser.add_argument("--svfplay", default=str(ROOT / "build/native-release/bin/svfplay"))
    parser.add_argument("--openocd", default="openocd")
    args = parser.parse_args()

    directory = Path(args.dir)
    directory.mkdir(parents=True, exist_ok=True)
    paths = generate(directory)

    print("load average before: %s, %d runs each, best wall time" % (load_average(), args.repeat))
    header = "%-6s %-8s %9s %9s %14s %10s %s" % ("file", "tool", "time s", "MB/s",
                                                  "statements/s", "peak MB", "exit")
    print(header)
    rows = []
    for kind, _ in CASES:
        path = paths[kind]
        size = path.stat().st_size
        statements = count_statements(path)
        ours = rates(measure(svfplay_command(args.svfplay, path), args.repeat), size, statements)
        theirs = rates(measure(openocd_command(args.openocd, path), args.repeat), size, statements)
        for tool, result in (("svfplay", ours), ("openocd", theirs)):
            print("%-6s %-8s %9.3f %9.1f %14.0f %10.1f %s" % (
                kind, tool, result["time"], result["mbps"], result["sps"], result["rss"] / 1e6,
                ",".join(str(code) for code in result["codes"])))
        rows.append((kind, size, statements, ours, theirs))
    print("load average after: %s" % load_average())

    print()
    print("%-6s %8s %11s %10s %20s" % ("file", "MB", "statements", "speed x", "memory svfplay/ocd"))
    for kind, size, statements, ours, theirs in rows:
        print("%-6s %8.1f %11d %10.2f %20.2f" % (kind, size / 1e6, statements,
                                                  theirs["time"] / ours["time"],
                                                  ours["rss"] / theirs["rss"]))
    return 0


if __name__ == "__main__":
    sys.exit(main())
