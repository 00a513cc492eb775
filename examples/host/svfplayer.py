"""Plays SVF files through the svfplayer library from Python (ctypes only).

    import svfplayer
    outcome = svfplayer.play("examples/svf/idcode.svf")
    print(outcome.verdict, outcome.result_code)

The controller is veltra-sim, the simulated controller library installed
beside the player. The libraries are taken from `library_dir`, else from the
folder in the SVFPLAYER_LIBRARY_DIR environment variable, else from the
system's library search path.
"""

import ctypes
import os
import sys
from dataclasses import dataclass, field
from typing import List, Optional

SVF_FLAG_KEEP_FREQUENCY = 0x800
SVF_MESSAGE_LINE = 3
SVF_LEVEL_NOTE = 3
VERDICTS = {0: "PASS", 1: "FAIL"}

if sys.platform == "win32":
    PLAYER_NAME, CONTROLLER_NAME = "svfplayer.dll", "veltra_64.dll"
else:
    PLAYER_NAME, CONTROLLER_NAME = "libsvfplayer.so.1", "libveltra.so.2"


class SvfMessage(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_uint32), ("level", ctypes.c_uint32),
                ("sequence", ctypes.c_uint32), ("reserved0", ctypes.c_uint32),
                ("text", ctypes.c_char_p), ("line", ctypes.c_uint32),
                ("reserved1", ctypes.c_uint32)]


MESSAGE_CALLBACK = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(SvfMessage))
ABORT_CALLBACK = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.c_void_p)


class SvfReport(ctypes.Structure):
    _fields_ = [("hostFields0", ctypes.c_uint8 * 16), ("messageCallback", MESSAGE_CALLBACK),
                ("abortCallback", ABORT_CALLBACK), ("hostFields1", ctypes.c_uint8 * 8),
                ("messageContext", ctypes.c_void_p), ("abortContext", ctypes.c_void_p),
                ("verbosity", ctypes.c_int32), ("started", ctypes.c_uint32),
                ("resultCode", ctypes.c_uint32)]


class SvfInfo(ctypes.Structure):
    _fields_ = [("flags", ctypes.c_uint32), ("svfSource", ctypes.c_char_p),
                ("errorFile", ctypes.c_char_p), ("cnnFile", ctypes.c_char_p),
                ("pioMapFile", ctypes.c_char_p), ("totalBypassLength", ctypes.c_uint32),
                ("totalIrLength", ctypes.c_uint32), ("frequencyKhz", ctypes.c_uint32),
                ("tap", ctypes.c_uint32), ("startState", ctypes.c_uint32),
                ("finalState", ctypes.c_uint32), ("ganging", ctypes.c_char_p),
                ("gangFailMask", ctypes.c_uint32)]


# The offsets hosts rely on (the header pins the same ones).
assert SvfReport.resultCode.offset == 64 and ctypes.sizeof(SvfMessage) == 32
assert SvfInfo.ganging.offset == 64 and SvfInfo.gangFailMask.offset == 72


@dataclass
class Outcome:
    """What one run gave: the verdict ("PASS", "FAIL", "ERROR"), Svf_Execute's
    return value, the result code and the delivered messages (texts)."""
    verdict: str
    returned: int
    result_code: int
    messages: List[str] = field(default_factory=list)


class _Libraries:
    def __init__(self, folder):
        def load(name):
            return ctypes.CDLL(os.path.join(folder, name) if folder else name)
        # The controller first: on Windows the player must not pull another copy.
        self.controller = load(CONTROLLER_NAME)
        self.player = load(PLAYER_NAME)
        self.controller.Veltra_GetApi.restype = ctypes.c_void_p
        self.controller.VeltraSim_LoadBoardFile.argtypes = [ctypes.c_char_p]
        self.controller.VeltraSim_LastError.restype = ctypes.c_char_p
        self.player.Svf_Execute.argtypes = [ctypes.c_void_p, ctypes.POINTER(SvfReport),
                                            ctypes.POINTER(SvfInfo)]
        self.player.Svf_Execute.restype = ctypes.c_int32


_loaded = {}


def _libraries(library_dir):
    folder = library_dir or os.environ.get("SVFPLAYER_LIBRARY_DIR")
    if folder not in _loaded:
        _loaded[folder] = _Libraries(folder)
    return _loaded[folder]


def play(path, board: Optional[str] = None, error_file: Optional[str] = None,
         verbosity: int = SVF_LEVEL_NOTE, library_dir: Optional[str] = None) -> Outcome:
    """Plays the SVF file at `path` on veltra-sim (its built-in board, or the
    TOML board file `board`). With `error_file` the player compares TDO itself
    and writes that ERROR file. Raises OSError when a library or the board
    cannot be loaded."""
    libs = _libraries(library_dir)
    libs.controller.VeltraSim_Reset()
    if board is not None and libs.controller.VeltraSim_LoadBoardFile(os.fsencode(board)) != 0:
        raise OSError("cannot load board %r: %s" % (
            board, libs.controller.VeltraSim_LastError().decode(errors="replace")))

    messages = []

    def on_message(_context, message):
        if message.contents.kind != SVF_MESSAGE_LINE:
            messages.append(message.contents.text.decode(errors="replace"))

    callback = MESSAGE_CALLBACK(on_message)  # kept alive for the whole call
    report = SvfReport(messageCallback=callback, verbosity=verbosity)
    info = SvfInfo(flags=SVF_FLAG_KEEP_FREQUENCY, svfSource=os.fsencode(path),
                   errorFile=os.fsencode(error_file) if error_file else None, tap=1)
    returned = libs.player.Svf_Execute(libs.controller.Veltra_GetApi(), ctypes.byref(report),
                                       ctypes.byref(info))
    return Outcome(VERDICTS.get(returned, "ERROR"), returned, report.resultCode, messages)


if __name__ == "__main__":
    outcome = play(sys.argv[1], *sys.argv[2:3])
    print("\n".join(outcome.messages))
    print("Result: %s (result code %d)" % (outcome.verdict, outcome.result_code))
    sys.exit(outcome.returned)
