#!/usr/bin/env python3
"""Plays the same SVF files on the same served board with svfplay through the
bridge (remote_bitbang and XVC) and with OpenOCD's remote_bitbang adapter.

  bridge_vs_openocd.py [--bin DIR] [--repeat N] [--dir DIR]
                       [--long-bits N] [--short-scans N]

veltra-serve (from DIR, default build/native-release/bin) serves its built-in
board on loopback. random_svf.py writes the two benchmark files into --dir,
both passing on that board: "long" (one SDR of --long-bits bits with TDO) and
"short" (--short-scans SIR/SDR pairs with TDO). svfplay runs without an ERROR file, so the bridge compares and
pipelines. Every run must pass. Prints the best wall time of N runs per tool
and file, and the ratio OpenOCD / bridge.
"""

import argparse
import re
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
IR_LENGTH = 8  # the built-in board's device
IDCODE = "0123A093"


def generate(binaries, kind, path, count):
    """The benchmark files of random_svf.py: they pass on the served board."""
    subprocess.run([sys.executable, str(HERE / "random_svf.py"), str(path),
                    "--sim", str(binaries / "libveltra.so"), "--%s" % kind, str(count)],
                   check=True)


def start_server(binary):
    server = subprocess.Popen([str(binary), "--remote-bitbang", "0", "--xvc", "0"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    ports = {}
    while len(ports) < 2:
        line = server.stdout.readline()
        if not line:
            sys.exit("veltra-serve did not start")
        name, port = re.match(r"(\S+) listening on 127\.0\.0\.1:(\d+)", line).groups()
        ports[name] = port
    return server, ports


def best_time(command, repeat):
    best = None
    for _ in range(repeat):
        start = time.perf_counter()
        result = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        elapsed = time.perf_counter() - start
        if result.returncode != 0:
            sys.exit("failed (exit %d): %s" % (result.returncode, " ".join(command)))
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bin", default=str(ROOT / "build/native-release/bin"))
    parser.add_argument("--dir", default="/tmp/svf-bridge-bench")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--long-bits", type=int, default=4000000)
    parser.add_argument("--short-scans", type=int, default=5000)
    parser.add_argument("--openocd", default="openocd")
    args = parser.parse_args()

    binaries = Path(args.bin)
    directory = Path(args.dir)
    directory.mkdir(parents=True, exist_ok=True)
    files = {"long": directory / "long.svf", "short": directory / "short.svf"}
    generate(binaries, "long-bits", files["long"], args.long_bits)
    generate(binaries, "short-scans", files["short"], args.short_scans)

    server, ports = start_server(binaries / "veltra-serve")
    try:
        rb, xvc = ports["remote_bitbang"], ports["xvc"]
        tools = {
            "bridge remote_bitbang": lambda f: [str(binaries / "svfplay"), "-v", "0",
                                                "--adapter", "remote_bitbang:127.0.0.1:" + rb, f],
            "bridge xvc": lambda f: [str(binaries / "svfplay"), "-v", "0",
                                     "--adapter", "xvc:127.0.0.1:" + xvc, f],
            # The player compares: every scan with TDO waits for its capture.
            "bridge remote_bitbang, ERROR file": lambda f: [
                str(binaries / "svfplay"), "-v", "0", "--error-file", str(directory / "errors.txt"),
                "--adapter", "remote_bitbang:127.0.0.1:" + rb, f],
            "OpenOCD remote_bitbang": lambda f: [
                args.openocd, "-c", "adapter driver remote_bitbang",
                "-c", "remote_bitbang host 127.0.0.1", "-c", "remote_bitbang port " + rb,
                "-c", "transport select jtag",
                "-c", "jtag newtap chip tap -irlen %d -expected-id 0x%s" % (IR_LENGTH, IDCODE),
                "-c", "init", "-c", "svf -quiet " + f, "-c", "shutdown"],
        }
        print("| File | Tool | Best wall time |")
        print("|---|---|---|")
        times = {}
        for kind, path in files.items():
            for tool, command in tools.items():
                times[kind, tool] = best_time(command(str(path)), args.repeat)
                print("| %s | %s | %.3f s |" % (kind, tool, times[kind, tool]), flush=True)
        print()
        for kind in files:
            openocd = times[kind, "OpenOCD remote_bitbang"]
            for tool in ("bridge remote_bitbang", "bridge xvc"):
                print("%s: OpenOCD / %s = %.1f x" % (kind, tool, openocd / times[kind, tool]))
    finally:
        server.terminate()
        server.wait()


if __name__ == "__main__":
    main()
