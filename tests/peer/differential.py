#!/usr/bin/env python3
"""Plays SVF files with svfplay and with OpenOCD on the same simulated board.

  differential.py [--build DIR] [--random N] [--seed S] [--openocd PATH]
                  [--no-examples] [--keep DIR]

For every file: svfplay runs it in-process on veltra-sim with the update log
on; veltra-serve serves the same board and OpenOCD's `svf` plays it over
remote_bitbang. The verdicts (PASS, FAIL, ERROR) and each device's update log
(Update-IR/DR values, Test-Logic-Reset, TRST) must be the same, after the
allowances below. Files: every examples/svf file on the board its comment
names (else the built-in one), then N random files from bench/random_svf.py
(seeds S to S+N-1, seed s on board RANDOM_BOARDS[s % 3]), which must PASS,
and the same files with one TDO bit flipped, which must FAIL.
Exit status 0 when everything agrees.
"""

import argparse
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, str(ROOT / "bench"))
import random_svf  # noqa: E402  (the generator lives with the benchmarks)

RANDOM_BOARDS = (None, ROOT / "examples/boards/three-devices.toml",
                 ROOT / "examples/boards/three-idcodes.toml")
EXIT_VERDICTS = {0: "PASS", 1: "FAIL"}  # svfplay; anything else is ERROR
SVF_DONE = re.compile(r"svf file programmed (?:un)?successfully for \d+ commands with (\d+) errors")
SCAN_FIELD = re.compile(r"\b(TDI|TDO|MASK|SMASK)\s*\(([^)]*)\)", re.IGNORECASE)
BOARD_NAMED = re.compile(r"examples/boards/([\w-]+\.toml)")
SERVER_START_S = 10
OPENOCD_TIMEOUT_S = 300
LOG_WAIT_S = 10
POLL_S = 0.05

# Every way OpenOCD 0.12 is played or read differently from svfplay, with the
# reason. Each entry is applied where its name appears below; nothing else is
# skipped or rewritten.
ALLOWANCES = {
    "ignore_error": "OpenOCD's svf stops at the first TDO mismatch; svfplay plays the whole "
                    "file and fails at the end. svf runs with -ignore_error and its count of "
                    "errors gives the verdict.",
    "trst_only": "OpenOCD's TRST statements do nothing unless the adapter has a TRST line: "
                 "reset_config trst_only.",
    "frequency": "FREQUENCY: remote_bitbang cannot set the adapter speed; OpenOCD prints an "
                 "error and goes on (not counted in its svf errors). Nothing to rewrite.",
    "init_prefix": "init scans IDCODE and the IR capture before the file starts: what the "
                   "devices saw in an init-only session is stripped from the front.",
    "svf_reset": "svf starts with a Test-Logic-Reset; the devices start in Test-Logic-Reset "
                 "and svfplay's reset at the start of a run does not leave it, so one leading "
                 "RESET is stripped from OpenOCD's log.",
    "trst_z": "TRST Z: OpenOCD releases TRST, svfplay leaves it as it is. The random files "
              "use Z only while TRST is released.",
    "mask_cleared": "OpenOCD clears the kept MASK of SIR/SDR on a scan without TDO, so a later "
                    "TDO of the same length without MASK compares nothing. OpenOCD plays a copy "
                    "of the file in which every SIR/SDR with TDO names its MASK (the kept one, "
                    "as the SVF rules give it).",
    "pause_to_itself": "STATE DRPAUSE in Pause-DR (IRPAUSE in Pause-IR): OpenOCD walks a loop "
                       "through Update and Capture back to it, svfplay stays. The random files "
                       "do not ask for the Pause state they are in.",
    "reset_in_path": "A STATE path through RESET: OpenOCD 0.12 cuts it before RESET and refuses "
                     "the rest as unstable. The random files go to RESET with STATE RESET alone.",
    "state_after_trst": "After TRST, OpenOCD 0.12 plans the next STATE or RUNTEST move from the "
                        "state before TRST and refuses it. The random files follow TRST with "
                        "STATE RESET.",
    "chain_order": "OpenOCD declares TAPs from TDO to TDI; the board file lists devices from "
                   "TDI. The taps are declared in reverse.",
}


class Tools:
    def __init__(self, build, openocd):
        self.bin = Path(build) / "bin"
        self.svfplay = self.bin / "svfplay"
        self.serve = self.bin / "veltra-serve"
        self.sim = self.bin / "libveltra.so"
        self.openocd = openocd
        # The generator loads veltra-sim with ctypes; a sanitizer build needs
        # its runtime loaded first.
        self.generator_env = dict(os.environ)
        needed = subprocess.run(["ldd", str(self.sim)], capture_output=True, text=True).stdout
        runtimes = [line.split()[2] for line in needed.splitlines()
                    if re.search(r"lib(asan|ubsan)\.so", line) and "=>" in line]
        if runtimes:
            self.generator_env["LD_PRELOAD"] = ":".join(runtimes)
            self.generator_env["ASAN_OPTIONS"] = "detect_leaks=0"


def parse_log(text):
    """{"tap.device": [lines]} of an update log file."""
    devices = {}
    for line in text.splitlines():
        device, _, event = line.partition(" ")
        devices.setdefault(device, []).append(event)
    return devices


def wait_for(path):
    deadline = time.monotonic() + LOG_WAIT_S
    while not path.exists():
        if time.monotonic() > deadline:
            raise RuntimeError("veltra-serve wrote no update log to %s" % path)
        time.sleep(POLL_S)
    return path.read_text()


class Served:
    """veltra-serve on one board, and OpenOCD sessions against it."""

    def __init__(self, tools, board, work):
        self.tools, self.work = tools, work
        self.log = work / "served-updates.txt"
        command = [str(tools.serve), "--remote-bitbang", "0", "--update-log", str(self.log)]
        if board:
            command += ["--board", str(board)]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
        deadline = time.monotonic() + SERVER_START_S
        line = self.process.stdout.readline()
        match = re.match(r"remote_bitbang listening on 127\.0\.0\.1:(\d+)", line)
        if not match or time.monotonic() > deadline:
            self.close()
            raise RuntimeError("veltra-serve did not start: %r" % line)
        self.port = match.group(1)
        taps = []
        chain = random_svf.chain_of(str(board) if board else None)
        for index, device in reversed(list(enumerate(chain))):  # chain_order
            tap = ["-c", "jtag newtap d%d tap -irlen %d" % (index, device["ir_length"])]
            if "idcode" in device:
                tap[1] += " -expected-id 0x%08X" % device["idcode"]
            taps += tap
        self.setup = ["-c", "adapter driver remote_bitbang",
                      "-c", "remote_bitbang host 127.0.0.1", "-c", "remote_bitbang port " + self.port,
                      "-c", "transport select jtag",
                      "-c", "reset_config trst_only"] + taps + ["-c", "init"]  # trst_only
        (_, output), log = self.session(["-c", "scan_chain"])
        self.prefix = parse_log(log)  # init_prefix
        # init must find the chain as the board describes it: scan_chain lists
        # each IDCODE read next to the one expected.
        for device in chain:
            if "idcode" in device and "0x%08x 0x%08x" % ((device["idcode"],) * 2) not in output:
                self.close()
                raise RuntimeError("OpenOCD's init did not find the chain:\n" + output)

    def session(self, commands):
        """(OpenOCD's return code and output, the update log) of one session."""
        self.log.unlink(missing_ok=True)
        result = subprocess.run([self.tools.openocd] + self.setup + commands + ["-c", "shutdown"],
                                cwd=self.work, capture_output=True, text=True,
                                timeout=OPENOCD_TIMEOUT_S)
        return (result.returncode, result.stdout + result.stderr), wait_for(self.log)

    def play(self, svf):
        copy = self.work / ("openocd-" + svf.name)
        copy.write_text(explicit_masks(svf.read_text()))  # mask_cleared
        (code, output), log = self.session(["-c", "svf -quiet -ignore_error " + str(copy)])
        done = SVF_DONE.search(output)
        if code != 0 or not done:
            verdict = "ERROR"
        else:
            verdict = "PASS" if done.group(1) == "0" else "FAIL"  # ignore_error
        devices = parse_log(log)
        for device, events in devices.items():
            prefix = self.prefix.get(device, [])
            if events[:len(prefix)] != prefix:
                raise RuntimeError("OpenOCD's init did something else this time on " + device)
            events[:len(prefix)] = []
            if events[:1] == ["RESET"]:  # svf_reset
                del events[0]
        return verdict, {d: e for d, e in devices.items() if e}, output

    def close(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=SERVER_START_S)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def explicit_masks(text):
    """The SVF text with the kept MASK written out on every SIR/SDR that gives
    TDO without MASK (mask_cleared). Comments are dropped."""
    kept = {}  # kind -> (length, MASK digits)
    statements = []
    body = "\n".join(re.sub(r"(!|//).*", "", line) for line in text.splitlines())
    for statement in body.split(";")[:-1]:
        words = statement.split()
        kind = words[0].upper() if words else ""
        if kind in ("SIR", "SDR"):
            length = int(words[1])
            fields = {key.upper(): value for key, value in SCAN_FIELD.findall(statement)}
            if kept.get(kind, (None,))[0] != length:
                kept[kind] = (length, "%X" % ((1 << length) - 1))
            if "MASK" in fields:
                kept[kind] = (length, "".join(fields["MASK"].split()))
            elif "TDO" in fields:
                statement += " MASK (%s)" % kept[kind][1]
        statements.append(statement.strip() + ";")
    return "\n".join(statements) + "\n"


def play_svfplay(tools, board, svf, work):
    log = work / "svfplay-updates.txt"
    log.unlink(missing_ok=True)
    command = [str(tools.svfplay), "-v", "1", "--update-log", str(log), str(svf)]
    if board:
        command[1:1] = ["--board", str(board)]
    result = subprocess.run(command, capture_output=True, text=True, timeout=OPENOCD_TIMEOUT_S)
    verdict = EXIT_VERDICTS.get(result.returncode, "ERROR")
    return verdict, parse_log(log.read_text()) if log.exists() else {}, result.stdout


def first_difference(ours, theirs):
    for device in sorted(set(ours) | set(theirs)):
        a, b = ours.get(device, []), theirs.get(device, [])
        if a != b:
            index = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            return "device %s, event %d: svfplay %s, OpenOCD %s" % (
                device, index, a[index] if index < len(a) else "(end)",
                b[index] if index < len(b) else "(end)")
    return None


def check(name, tools, served, board, svf, work, expected=None):
    ours, our_log, our_output = play_svfplay(tools, board, svf, work)
    theirs, their_log, their_output = served.play(svf)
    problems = []
    if ours != theirs:
        problems.append("verdicts differ: svfplay %s, OpenOCD %s" % (ours, theirs))
    if expected and ours != expected:
        problems.append("svfplay says %s, expected %s" % (ours, expected))
    difference = first_difference(our_log, their_log)
    if difference:
        problems.append("update logs differ: " + difference)
    status = "ok  " if not problems else "FAIL"
    print("%s %-44s %s" % (status, name, ours), flush=True)
    for problem in problems:
        print("       " + problem)
    if problems and os.environ.get("DIFFERENTIAL_VERBOSE"):
        print(our_output + their_output)
    return not problems


def board_of(svf):
    named = BOARD_NAMED.search(svf.read_text())
    return ROOT / "examples/boards" / named.group(1) if named else None


def generate(tools, seed, board, work):
    files = (work / ("random-%d.svf" % seed), work / ("flipped-%d.svf" % seed))
    command = [sys.executable, str(ROOT / "bench/random_svf.py"), str(files[0]),
               "--sim", str(tools.sim), "--seed", str(seed), "--flipped", str(files[1])]
    if board:
        command += ["--board", str(board)]
    subprocess.run(command, check=True, env=tools.generator_env)
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--build", default=str(ROOT / "build/native-debug"))
    parser.add_argument("--random", type=int, default=30)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--openocd", default=shutil.which("openocd") or "openocd")
    parser.add_argument("--no-examples", action="store_true")
    parser.add_argument("--keep", help="write the files here and keep them")
    args = parser.parse_args()
    tools = Tools(args.build, args.openocd)
    print("Allowances for OpenOCD:")
    for name, reason in ALLOWANCES.items():
        print("  %-12s %s" % (name, reason))

    work = Path(args.keep) if args.keep else Path(tempfile.mkdtemp(prefix="differential-"))
    work.mkdir(parents=True, exist_ok=True)
    cases = []  # (name, board, file, expected verdict)
    if not args.no_examples:
        for svf in sorted((ROOT / "examples/svf").glob("*.svf")):
            cases.append((svf.name, board_of(svf), svf, None))
    for n in range(args.random):
        seed = args.seed + n
        board = RANDOM_BOARDS[seed % len(RANDOM_BOARDS)]
        passing, flipped = generate(tools, seed, board, work)
        cases.append((passing.name, board, passing, "PASS"))
        cases.append((flipped.name, board, flipped, "FAIL"))

    failures = 0
    servers = {}
    try:
        for name, board, svf, expected in cases:
            if board not in servers:
                servers[board] = Served(tools, board, work)
            failures += not check(name, tools, servers[board], board, svf, work, expected)
    finally:
        for served in servers.values():
            served.close()
        if not args.keep:
            shutil.rmtree(work, ignore_errors=True)
    print("%d of %d files agree" % (len(cases) - failures, len(cases)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
