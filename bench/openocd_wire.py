#!/usr/bin/env python3
"""OpenOCD over remote_bitbang against veltra-serve: how fast the wire plays.

  openocd_wire.py [--build DIR] [--openocd PATH] [--repeat N] [--mbit M]
                  [--scans K] [--dir DIR]

Writes two files with random_svf.py on the default board, both passing: one
SDR of M Mbit with TDO (long), and K SIR/SDR pairs of 8 and 32 bits with TDO
(short). Serves the default board with veltra-serve (release build, no update
log) and plays each file with OpenOCD's `svf -quiet`, best wall time of N
runs, OpenOCD's start-up and init included (measured alone and shown too).
The same files and server serve to compare other remote_bitbang or XVC
clients with OpenOCD.
"""

import argparse
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(HERE))
import random_svf  # noqa: E402

TIMEOUT_S = 1800
SVF_PASSED = "svf file programmed successfully"


def start_server(build):
    server = subprocess.Popen([str(Path(build) / "bin/veltra-serve"), "--remote-bitbang", "0"],
                              stdout=subprocess.PIPE, text=True)
    match = re.match(r"remote_bitbang listening on 127\.0\.0\.1:(\d+)", server.stdout.readline())
    if not match:
        server.kill()
        sys.exit("veltra-serve did not start")
    return server, match.group(1)


def openocd_seconds(openocd, port, commands, work):
    command = [openocd, "-c", "adapter driver remote_bitbang", "-c", "remote_bitbang host 127.0.0.1",
               "-c", "remote_bitbang port " + port, "-c", "transport select jtag",
               "-c", "jtag newtap chip tap -irlen 8 -expected-id 0x0123A093", "-c", "init"]
    command += commands + ["-c", "shutdown"]
    start = time.perf_counter()
    result = subprocess.run(command, cwd=work, capture_output=True, text=True, timeout=TIMEOUT_S)
    seconds = time.perf_counter() - start
    output = result.stdout + result.stderr
    if commands and SVF_PASSED not in output:
        sys.exit("OpenOCD did not pass the file:\n" + output[-2000:])
    return seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=str(HERE.parent / "build/native-release"))
    parser.add_argument("--openocd", default=shutil.which("openocd") or "openocd")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--mbit", type=float, default=3)
    parser.add_argument("--scans", type=int, default=2000)
    parser.add_argument("--dir", default="/tmp/svf-wire-bench")
    args = parser.parse_args()
    work = Path(args.dir)
    work.mkdir(parents=True, exist_ok=True)
    sim = str(Path(args.build) / "bin/libveltra.so")
    bits = int(args.mbit * 1e6)
    files = {
        "long": (work / "long.svf", lambda: random_svf.benchmark_long(sim, None, bits)),
        "short": (work / "short.svf", lambda: random_svf.benchmark_short(sim, None, args.scans)),
    }
    for path, make in files.values():
        path.write_text(make())

    server, port = start_server(args.build)
    try:
        init = min(openocd_seconds(args.openocd, port, [], work) for _ in range(args.repeat))
        print("%-6s %9s %8s %10s %12s" % ("file", "time", "scans", "Mbit/s", "scans/s"))
        print("%-6s %8.3fs %8s %10s %12s" % ("init", init, "-", "-", "-"))
        for name, (path, _) in files.items():
            seconds = min(openocd_seconds(args.openocd, port, ["-c", "svf -quiet " + str(path)],
                                          work) for _ in range(args.repeat))
            scans = 1 if name == "long" else 2 * args.scans
            shifted = bits if name == "long" else args.scans * (8 + 32)
            play = max(seconds - init, 1e-9)
            print("%-6s %8.3fs %8d %10.3f %12.0f" % (name, seconds, scans, shifted / play / 1e6,
                                                    scans / play))
    finally:
        server.terminate()
        server.wait(timeout=10)


if __name__ == "__main__":
    main()
