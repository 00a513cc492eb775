"""Ctrl-C in the middle of a long run on veltra-sim ends it through the
player's abort path, with the summary and a complete trace."""

import os
import pathlib
import signal
import subprocess
import sys
import time

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
GENEROUS_SECONDS = 120  # a bound for a hung child, not a measurement
LONG_FILE_MB = "30"
# The player polls the abort callback once a poll interval (750 ms of wall
# time) has passed. The simulator plays this file in well under a second, so
# the child is held stopped past one interval: when it goes on, the next line
# it reads polls and finds the signal, however fast the machine.
HELD_SECONDS = 1.5


@pytest.fixture(scope="module")
def long_svf(tmp_path_factory):
    svf = tmp_path_factory.mktemp("long") / "long.svf"
    subprocess.run([sys.executable, str(ROOT / "bench" / "gen_svf.py"), "long", str(svf),
                    "--mb", LONG_FILE_MB], check=True, stdout=subprocess.DEVNULL)
    return svf


@pytest.mark.skipif(os.name == "nt", reason="POSIX signals")
@pytest.mark.parametrize("sent", [signal.SIGINT, signal.SIGTERM])
def test_signal_aborts_cleanly(build_dir, long_svf, tmp_path, sent):
    trace = tmp_path / "trace.txt"
    child = subprocess.Popen([str(build_dir / "svfplay"), "--trace", str(trace), str(long_svf)],
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        assert child.stdout.readline() == "Start executing SVF File\n"
        # Held once the first scan reached the trace (its long line is the
        # first write of the buffered stream), so the run is under way.
        deadline = time.monotonic() + GENEROUS_SECONDS
        while (not trace.exists() or trace.stat().st_size == 0) and time.monotonic() < deadline:
            time.sleep(0.002)
        child.send_signal(signal.SIGSTOP)
        time.sleep(HELD_SECONDS)
        child.send_signal(sent)
        child.send_signal(signal.SIGCONT)
        rest, err = child.communicate(timeout=GENEROUS_SECONDS)
    finally:
        child.kill()
    assert child.returncode == 2, err
    lines = rest.splitlines()
    assert "SVF Aborted !" in lines
    assert "End of SVF file" not in lines
    assert "Result: ERROR (result code 32: aborted)" in lines
    assert any(line.startswith("Simulated time: ") for line in lines)
    calls = trace.read_text().splitlines()
    assert any(call.startswith("ShiftDr") for call in calls), "it was running"
    assert calls[-1] == "ResetTap 1 = 0", "the abort path's TAP reset ends the trace"

