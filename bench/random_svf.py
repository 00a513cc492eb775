#!/usr/bin/env python3
"""Writes random, valid SVF files that pass on a given veltra-sim board.

  random_svf.py --sim LIB --board TOML --seed S OUT [--flipped OUT2]
                [--statements N] [--long-bits N] [--short-scans N]

Every statement is carried out on veltra-sim (loaded with ctypes from LIB)
through the controller table as the player would drive it, and each scan's
expected TDO is what the board shifted out, so the file passes on that board.
The mix: SIR and SDR with and without TDO, MASK and SMASK (also left to their
sticky values), HIR/TIR/HDR/TDR addressing one device of the chain, STATE
(stable states, and whole paths where the shortest path is unique), RUNTEST
in TCK and SEC forms with and without run and end states, ENDIR/ENDDR, TRST
and FREQUENCY. --flipped also writes the same file with one compared TDO bit
flipped, which must fail. --long-bits and --short-scans make the benchmark
files instead: one long SDR through the chain, or many short SIR/SDR pairs.
"""

import argparse
import ctypes
import random
import tomllib

STABLE = ("RESET", "IDLE", "DRPAUSE", "IRPAUSE")
STATE_NAMES = STABLE + ("DRSELECT", "DRCAPTURE", "DRSHIFT", "DREXIT1", "DREXIT2", "DRUPDATE",
                        "IRSELECT", "IRCAPTURE", "IRSHIFT", "IREXIT1", "IREXIT2", "IRUPDATE")
# Controller table slots and codes (the controller interface of the player).
SLOT_SET_TAP_STATE, SLOT_SHIFT_DR, SLOT_SHIFT_IR = 10, 11, 12
SLOT_SET_STOP_STATE, SLOT_SHIFT_DR_LONG, SLOT_SET_TRST = 19, 52, 57
SLOT_COUNT = 58
MAX_SHORT_SHIFT = 65535
TRST_ON, TRST_OFF = 0, 1
DIGITS_PER_LINE = 400  # keeps every line well under the reader's limit
DEFAULT_IDCODE = 0x0123A093
DEFAULT_DEVICE = {"ir_length": 8, "ir_capture": 0x01, "idcode": DEFAULT_IDCODE,
                  "instructions": {"IDCODE": 0x01, "SCRATCH": 0x02, "BYPASS": 0xFF},
                  "register": [{"name": "SCRATCH", "length": 32}]}
FLIP_TRIES = 1000


def hex_of(value, bits):
    digits = max(1, (bits + 3) // 4)
    return "%0*X" % (digits, value)


def pattern(keyword, value, bits):
    text = hex_of(value, bits)
    if len(text) <= DIGITS_PER_LINE:
        return " %s (%s)" % (keyword, text)
    lines = [text[i:i + DIGITS_PER_LINE] for i in range(0, len(text), DIGITS_PER_LINE)]
    return " %s (\n%s\n)" % (keyword, "\n".join(lines))


def chain_of(board_path):
    """The devices of TAP 1, nearest TDI first, as dicts of the board file."""
    if board_path is None:
        return [DEFAULT_DEVICE]
    with open(board_path, "rb") as source:
        board = tomllib.load(source)
    for tap in board.get("tap", []):
        numbers = tap["number"] if isinstance(tap["number"], list) else [tap["number"]]
        if 1 in numbers:
            return tap.get("device", [])
    return [] if board.get("tap") else [DEFAULT_DEVICE]


class Sim:
    """veltra-sim through its C API: the controller table and the board."""

    def __init__(self, library, board_path, tap=1):
        self.lib = ctypes.CDLL(library)
        self.lib.Veltra_GetApi.restype = ctypes.POINTER(ctypes.c_void_p * SLOT_COUNT)
        self.lib.VeltraSim_LastError.restype = ctypes.c_char_p
        self.lib.VeltraSim_Reset()
        if board_path and self.lib.VeltraSim_LoadBoardFile(board_path.encode()) != 0:
            raise RuntimeError(self.lib.VeltraSim_LastError().decode())
        self.lib.VeltraSim_EnableTrace(0)
        table = self.lib.Veltra_GetApi().contents
        u32 = ctypes.c_uint32
        words = ctypes.POINTER(ctypes.c_uint16)

        def slot(number, *arguments):
            return ctypes.CFUNCTYPE(u32, *arguments)(table[number])
        self.tap = tap
        self.set_tap_state = slot(SLOT_SET_TAP_STATE, u32, u32)
        self.set_stop_state = slot(SLOT_SET_STOP_STATE, u32)
        self.set_trst = slot(SLOT_SET_TRST, u32, u32)
        self.shift = {"IR": slot(SLOT_SHIFT_IR, u32, words, u32, words),
                      "DR": slot(SLOT_SHIFT_DR, u32, words, u32, words)}
        self.shift_long = slot(SLOT_SHIFT_DR_LONG, u32, words, u32, words, words, words)

    def move(self, state):
        self.set_tap_state(self.tap, STABLE.index(state) + 1)

    def scan(self, register, value, bits, end_state):
        """Shifts `bits` bits of `value` and returns what came out."""
        self.set_stop_state(STABLE.index(end_state) + 1)
        count = (bits + 15) // 16
        tdi = (ctypes.c_uint16 * count).from_buffer_copy(value.to_bytes(count * 2, "little"))
        tdo = (ctypes.c_uint16 * count)()
        if bits > MAX_SHORT_SHIFT:
            self.shift_long(self.tap, tdi, bits, tdo, None, None)
        else:
            self.shift[register](self.tap, tdi, bits, tdo)
        return int.from_bytes(bytes(tdo), "little") & ((1 << bits) - 1)

    def next_state(self, state, tms):
        return STATE_NAMES[self.lib.VeltraSim_NextState(STATE_NAMES.index(state), tms)]


def unique_shortest_path(sim, start, goal):
    """The states after `start` on the shortest path to `goal`, or None when
    there are several (the player walks its own way between stable states)."""
    paths = {start: [[]]}
    frontier = [start]
    while goal not in paths:
        found = {}
        for state in frontier:
            for tms in (0, 1):
                after = sim.next_state(state, tms)
                if after in paths:
                    continue
                found.setdefault(after, []).extend(p + [after] for p in paths[state])
        paths.update(found)
        frontier = list(found)
    return paths[goal][0] if len(paths[goal]) == 1 else None


class Generator:
    def __init__(self, sim, chain, rng):
        self.sim, self.chain, self.rng = sim, chain, rng
        self.lines = []
        self.state = "RESET"  # the player resets the TAP before the first statement
        self.end = {"IR": "IDLE", "DR": "IDLE"}
        self.run_state, self.run_end = "IDLE", "IDLE"
        # Per scan kind: length, TDI and MASK as the sticky rules leave them.
        self.sticky = {kind: None for kind in ("HIR", "TIR", "HDR", "TDR", "SIR", "SDR")}
        self.compares = []  # (line index, length, tdo, mask) of every TDO given
        self.target = len(chain) - 1 if chain else 0

    # -- statements ---------------------------------------------------------
    def header(self):
        """HIR/TIR/HDR/TDR that put every device but one in BYPASS."""
        if not self.chain:
            return
        self.target = self.rng.randrange(len(self.chain))
        nearer_tdo = self.chain[self.target + 1:]
        nearer_tdi = self.chain[:self.target]
        for kind, devices in (("HIR", nearer_tdo), ("TIR", nearer_tdi)):
            bits = sum(d["ir_length"] for d in devices)
            self.set_part(kind, bits, (1 << bits) - 1)
        for kind, devices in (("HDR", nearer_tdo), ("TDR", nearer_tdi)):
            self.set_part(kind, len(devices), 0)

    def set_part(self, kind, bits, tdi):
        text = "%s %d" % (kind, bits)
        if bits:
            text += pattern("TDI", tdi, bits)
        self.lines.append(text + ";")
        self.sticky[kind] = {"bits": bits, "tdi": tdi, "mask": None}

    def scan(self, kind, bits, tdi=None, with_tdo=None):
        register = kind[1:]
        old = self.sticky[kind]
        same = old is not None and old["bits"] == bits
        rng = self.rng
        text = "%s %d" % (kind, bits)
        full = (1 << bits) - 1
        if tdi is None:
            tdi = rng.getrandbits(bits)
        if same and rng.random() < 0.25:
            tdi = old["tdi"]  # left out: the previous TDI of this length
        else:
            text += pattern("TDI", tdi, bits)
        mask = old["mask"] if same else None
        if rng.random() < 0.3:
            mask = rng.getrandbits(bits) | 1
            text_mask = pattern("MASK", mask, bits)
        else:
            text_mask = ""
        smask_text = pattern("SMASK", full, bits) if rng.random() < 0.15 else ""
        head = self.sticky["H" + register] or {"bits": 0, "tdi": 0}
        tail = self.sticky["T" + register] or {"bits": 0, "tdi": 0}
        composed = head["tdi"] | tdi << head["bits"] | tail["tdi"] << (head["bits"] + bits)
        total = head["bits"] + bits + tail["bits"]
        out = self.sim.scan(register, composed, total, self.end[register])
        self.state = self.end[register]
        tdo = (out >> head["bits"]) & full
        if with_tdo if with_tdo is not None else rng.random() < 0.6:
            text += pattern("TDO", tdo, bits) + text_mask
            self.compares.append((len(self.lines), bits, tdo, full if mask is None else mask))
        elif text_mask:
            text += text_mask
        self.lines.append(text + smask_text + ";")
        self.sticky[kind] = {"bits": bits, "tdi": tdi, "mask": mask}

    def sir(self):
        device = self.chain[self.target] if self.chain else DEFAULT_DEVICE
        bits = device["ir_length"]
        opcodes = list(device.get("instructions", {}).values())
        opcode = self.rng.choice(opcodes) if opcodes and self.rng.random() < 0.8 else None
        self.scan("SIR", bits, opcode)

    def sdr(self):
        device = self.chain[self.target] if self.chain else DEFAULT_DEVICE
        lengths = [1, 32] + [r["length"] for r in device.get("register", []) if r["length"] <= 256]
        bits = self.rng.choice(lengths) if self.rng.random() < 0.7 else self.rng.randint(1, 80)
        self.scan("SDR", bits)

    def state_statement(self):
        goal = self.rng.choice(STABLE)
        if goal == self.state and goal in ("DRPAUSE", "IRPAUSE"):
            goal = "IDLE"  # players differ on whether a Pause state is left and re-entered
        path = unique_shortest_path(self.sim, self.state, goal) if goal != self.state else None
        if path and "RESET" not in path and self.rng.random() < 0.5:
            self.lines.append("STATE %s;" % " ".join(path))
        else:
            self.lines.append("STATE %s;" % goal)
        self.sim.move(goal)
        self.state = goal

    def runtest(self):
        rng = self.rng
        text = "RUNTEST"
        if rng.random() < 0.6:
            self.run_state = self.run_end = rng.choice(("IDLE", "DRPAUSE", "IRPAUSE"))
            text += " " + self.run_state
        if rng.random() < 0.7:
            text += " %d TCK" % rng.randint(1, 2000)
            if rng.random() < 0.2:
                text += " 1E-6 SEC"
        else:
            text += " %s SEC" % rng.choice(("1E-6", "1.5E-5", "0.0001"))
        if rng.random() < 0.4:
            self.run_end = rng.choice(("IDLE", "DRPAUSE", "IRPAUSE"))
            text += " ENDSTATE " + self.run_end
        self.lines.append(text + ";")
        self.sim.move(self.run_state)
        self.sim.move(self.run_end)
        self.state = self.run_end

    def end_state(self):
        register = self.rng.choice(("IR", "DR"))
        self.end[register] = self.rng.choice(("IDLE", "DRPAUSE", "IRPAUSE"))
        self.lines.append("END%s %s;" % (register, self.end[register]))

    def trst(self):
        self.lines.append("TRST ON;")
        self.sim.set_trst(self.sim.tap, TRST_ON)
        self.lines.append("TRST OFF;")
        self.sim.set_trst(self.sim.tap, TRST_OFF)
        # Z only while TRST is released: players differ on whether Z releases it.
        if self.rng.random() < 0.3:
            self.lines.append("TRST Z;")
        # Some players plan the next move from the state before TRST: say where the TAP is.
        self.lines.append("STATE RESET;")
        self.state = "RESET"

    def frequency(self):
        self.lines.append(self.rng.choice(("FREQUENCY 1E6 HZ;", "FREQUENCY 2.5E+6 HZ;",
                                           "FREQUENCY;")))

    # -- files ----------------------------------------------------------------
    def random_file(self, statements):
        self.lines.append("! random SVF file, seed-determined; passes on its board")
        if self.rng.random() < 0.5:
            self.frequency()
        if self.rng.random() < 0.5:
            self.trst()
        if self.rng.random() < 0.7:
            self.end_state()
        self.header()
        actions = ((self.sir, 20), (self.sdr, 30), (self.state_statement, 10), (self.runtest, 8),
                   (self.end_state, 6), (self.header, 5), (self.trst, 3), (self.frequency, 2))
        weights = [weight for _, weight in actions]
        for _ in range(statements):
            self.rng.choices(actions, weights)[0][0]()
        # At least one compared bit, so a flipped copy has something to fail on.
        self.sir()
        self.scan("SDR", 32, with_tdo=True)
        if self.rng.random() < 0.5:
            self.state_statement()
        return self.text()

    def text(self):
        return "\n".join(self.lines) + "\n"

    def flipped(self):
        """The file with one compared TDO bit of one statement inverted."""
        for _ in range(FLIP_TRIES):
            index, bits, tdo, mask = self.rng.choice(self.compares)
            bit = self.rng.randrange(bits)
            if mask >> bit & 1:
                break
        else:
            raise RuntimeError("no compared TDO bit to flip")
        line = self.lines[index]
        old, new = pattern("TDO", tdo, bits), pattern("TDO", tdo ^ (1 << bit), bits)
        lines = list(self.lines)
        lines[index] = line.replace(old, new, 1)
        return "\n".join(lines) + "\n"


def generate(library, board_path, seed, statements=40):
    """(file text, flipped text) for one seed."""
    rng = random.Random(seed)
    generator = Generator(Sim(library, board_path), chain_of(board_path), rng)
    text = generator.random_file(statements)
    return text, generator.flipped()


def benchmark_long(library, board_path, bits, seed=1):
    generator = Generator(Sim(library, board_path), chain_of(board_path), random.Random(seed))
    generator.lines.append("ENDDR IDLE;")
    generator.scan("SDR", bits, with_tdo=True)
    return generator.text()


def benchmark_short(library, board_path, scans, seed=1):
    generator = Generator(Sim(library, board_path), chain_of(board_path), random.Random(seed))
    generator.header()
    for _ in range(scans):
        generator.sir()
        generator.scan("SDR", 32, with_tdo=True)
    return generator.text()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--sim", required=True, help="veltra-sim library (libveltra.so)")
    parser.add_argument("--board", help="board file; default: the built-in board")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--statements", type=int, default=40)
    parser.add_argument("--flipped", help="also write the copy with one TDO bit flipped")
    parser.add_argument("--long-bits", type=int, help="one long SDR of this many bits")
    parser.add_argument("--short-scans", type=int, help="this many SIR/SDR pairs")
    args = parser.parse_args()
    if args.long_bits:
        text = benchmark_long(args.sim, args.board, args.long_bits, args.seed)
    elif args.short_scans:
        text = benchmark_short(args.sim, args.board, args.short_scans, args.seed)
    else:
        text, flipped = generate(args.sim, args.board, args.seed, args.statements)
        if args.flipped:
            with open(args.flipped, "w") as out:
                out.write(flipped)
    with open(args.out, "w") as out:
        out.write(text)


if __name__ == "__main__":
    main()
