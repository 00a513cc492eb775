#!/usr/bin/env python3
"""Holds svfplay --null-controller against the floor: reading the file once.

  floor_ratio.py [--repeat 7] [--dir DIR] [--build DIR] [--svfplay PATH ...]
                 [--dry-run]

Generates (once, into DIR) the three files of the floor benchmark with
gen_svf.py: 200,000 SDR 32 statements, a 10 MiB programming-flow mix and one
64-Mbit scan with TDO and MASK. For each file it runs read_floor and every
given svfplay (default: the one of the release build) by turns, N rounds, and
prints the best wall and CPU time (user + system, from wait4) of each, then
each svfplay's ratio to the floor. Running them by turns lets each see the
same load, which matters on a shared machine.

--dry-run also plays a 50 MB long-scan file (gen_svf.py long) with each
svfplay on veltra-sim's default board, so that old and new binaries can be
timed in the same run: the ratios are to the first svfplay given.
"""

import argparse
import os
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
FLOOR_FILES = (
    ("small_200k.svf", ["small", "--count", "200000", "--seed", "7"]),
    ("mix_10mb.svf", ["mix", "--size-mb", "10", "--seed", "7"]),
    ("bit_64m_tdo.svf", ["bitstream", "--max-sdr-bits", "67108864", "--tdo-ratio", "1",
                         "--seed", "7"]),
)
DRY_RUN_FILE = ("long_50mb.svf", ["long", "--mb", "50"])


def generate(directory, name, arguments):
    path = directory / name
    if not path.exists():
        print("generating %s ..." % path, file=sys.stderr)
        kind, options = arguments[0], arguments[1:]
        subprocess.run([sys.executable, str(HERE / "gen_svf.py"), kind, str(path)] + options,
                       check=True, stdout=subprocess.DEVNULL)
    return path


def run_once(command):
    """Wall and CPU seconds of one child; fails loudly on a non-zero exit."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    # svfplay exits 1 for a FAIL verdict (the sim's captures do not match); 2 is an error.
    if code not in (0, 1):
        sys.exit("%s exited with %d" % (" ".join(command), code))
    return wall, usage.ru_utime + usage.ru_stime


def best_of(commands, repeat):
    """{label: (best wall, best CPU)}, the commands run by turns."""
    best = {label: (float("inf"), float("inf")) for label, _ in commands}
    for _ in range(repeat):
        for label, command in commands:
            wall, cpu = run_once(command)
            best[label] = (min(best[label][0], wall), min(best[label][1], cpu))
    return best


def print_rows(title, best, reference):
    print(title)
    base_wall, base_cpu = best[reference]
    for label, (wall, cpu) in best.items():
        print("  %-34s wall %8.3f s  cpu %8.3f s   ratio wall %6.2f  cpu %6.2f"
              % (label, wall, cpu, wall / base_wall, cpu / base_cpu))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--dir", type=Path, default=Path("/tmp/svf-floor"))
    parser.add_argument("--build", type=Path, default=HERE.parent / "build" / "native-release",
                        help="release build holding bin/read_floor and bin/svfplay")
    parser.add_argument("--svfplay", type=Path, action="append",
                        help="svfplay to measure; may be given more than once")
    parser.add_argument("--dry-run", action="store_true",
                        help="also time the 50 MB long-scan file on veltra-sim")
    args = parser.parse_args()
    floor = args.build / "bin" / "read_floor"
    players = args.svfplay or [args.build / "bin" / "svfplay"]
    for program in [floor] + players:
        if not program.exists():
            sys.exit("%s not found: build the release preset first" % program)
    args.dir.mkdir(parents=True, exist_ok=True)
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())

    for name, arguments in FLOOR_FILES:
        path = generate(args.dir, name, arguments)
        commands = [("floor", [str(floor), str(path)])]
        commands += [(str(player), [str(player), "--null-controller", "-v", "0", str(path)])
                     for player in players]
        size = path.stat().st_size / 1e6
        print_rows("%s (%.1f MB), best of %d:" % (name, size, args.repeat),
                   best_of(commands, args.repeat), "floor")

    if args.dry_run:
        path = generate(args.dir, *DRY_RUN_FILE)
        commands = [(str(player), [str(player), "-v", "0", str(path)]) for player in players]
        print_rows("%s on veltra-sim's default board, best of %d:" % (path.name, args.repeat),
                   best_of(commands, args.repeat), str(players[0]))
    print("load average after:  %.2f %.2f %.2f" % os.getloadavg())


if __name__ == "__main__":
    main()
