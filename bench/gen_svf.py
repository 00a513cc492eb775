#!/usr/bin/env python3
"""Generates large SVF files for the scan benchmarks.

  gen_svf.py long  OUT [--mb 50]        long SDR scans (up to a few million bits),
                                         half of them with TDO and MASK
  gen_svf.py short OUT [--count 200000] short SIR/SDR statements
  gen_svf.py huge  OUT [--mbit 64]      one SDR with TDI, TDO and MASK

The floor benchmark (floor_ratio.py) uses three more kinds, each after a short
preamble (TRST, ENDIR/ENDDR, STATE, FREQUENCY, an IDCODE-like SIR/SDR pair):

  gen_svf.py small OUT [--count 200000] [--small-bits 32]
                          --count statements SDR <small-bits> TDI (..), a
                          --tdo-ratio share of them with TDO and MASK
  gen_svf.py mix OUT [--size-mb 10] [--max-sdr-bits 1000000]
                          a programming flow until --size-mb MiB: SIR 8 with an
                          opcode, then a status SDR of 8 to 32 bits with TDO
                          and RUNTEST, or an SDR of log-uniform length from 32
                          bits to --max-sdr-bits (TDO and MASK for a
                          --tdo-ratio share), often followed by RUNTEST
  gen_svf.py bitstream OUT [--max-sdr-bits 67108864] [--tdo-ratio 1]
                          SIR 8, one SDR of --max-sdr-bits bits (TDO and MASK
                          when --tdo-ratio > 0), RUNTEST

Patterns of long, short and huge are wrapped at 400 hexadecimal digits a line,
those of the other kinds at 256, so every line stays under the reader's limit
of 500 characters. Output is deterministic (fixed or given --seed), so runs
are comparable.
"""

import argparse
import math
import random

DIGITS_PER_LINE = 400
FLOW_DIGITS_PER_LINE = 256
FLOW_OPCODES = (0x01, 0x02, 0x05, 0x0B, 0x0E, 0x15, 0x3F, 0xC0, 0xC1, 0xE8, 0xF0, 0xFE)
FLOW_PREAMBLE = ("TRST OFF;\nENDIR IDLE;\nENDDR IDLE;\nSTATE RESET;\nSTATE IDLE;\n"
                 "FREQUENCY 1E6 HZ;\nSIR 8 TDI (FE);\n"
                 "SDR 32 TDI (00000000) TDO (00000000) MASK (00000000);\n")


def hex_digits(rng, bits):
    digits = (bits + 3) // 4
    text = rng.randbytes((digits + 1) // 2).hex().upper()[:digits]
    spare = digits * 4 - bits  # keep the top digit within the length
    if spare:
        top = int(text[0], 16) & ((1 << (4 - spare)) - 1)
        text = "%X" % top + text[1:]
    return text


def write_pattern(out, keyword, rng, bits, width=DIGITS_PER_LINE):
    digits = hex_digits(rng, bits)
    out.write(" %s (\n" % keyword)
    for start in range(0, len(digits), width):
        out.write(digits[start:start + width])
        out.write("\n")
    out.write(")")


def write_long_scan(out, rng, bits, with_tdo):
    out.write("SDR %d" % bits)
    write_pattern(out, "TDI", rng, bits)
    if with_tdo:
        write_pattern(out, "TDO", rng, bits)
        write_pattern(out, "MASK", rng, bits)
    out.write(";\n")


def long_file(path, megabytes):
    rng = random.Random(1)
    limit = megabytes * 1000 * 1000
    statements = 0
    with open(path, "w", newline="\n") as out:
        out.write("! long SDR scans\nENDDR IDLE;\n")
        while out.tell() < limit:
            bits = rng.randint(100_000, 4_000_000)
            write_long_scan(out, rng, bits, statements % 2 == 1)
            statements += 1
    return statements


def short_file(path, count):
    rng = random.Random(2)
    lengths = (8, 16, 32, 32, 32, 64, 128)
    with open(path, "w", newline="\n") as out:
        out.write("! short scans\nHDR 1 TDI (0);\n")
        for index in range(count):
            if index % 2 == 0:
                out.write("SIR 8 TDI (%s) TDO (%s);\n" % (hex_digits(rng, 8), hex_digits(rng, 8)))
                continue
            bits = lengths[index // 2 % len(lengths)]
            out.write("SDR %d TDI (%s)" % (bits, hex_digits(rng, bits)))
            if index % 4 == 1:
                out.write(" TDO (%s) MASK (%s)" % (hex_digits(rng, bits), hex_digits(rng, bits)))
            out.write(";\n")
    return count + 1


def huge_file(path, megabits):
    rng = random.Random(3)
    with open(path, "w", newline="\n") as out:
        out.write("! one huge SDR\n")
        write_long_scan(out, rng, megabits * 1024 * 1024, True)
    return 1


def write_flow_scan(out, rng, register, bits, with_tdo):
    """One SIR or SDR; short patterns stay on the statement's line."""
    out.write("%s %d" % (register, bits))
    for keyword in ("TDI", "TDO", "MASK") if with_tdo else ("TDI",):
        if bits <= FLOW_DIGITS_PER_LINE:
            out.write(" %s (%s)" % (keyword, hex_digits(rng, bits)))
        else:
            write_pattern(out, keyword, rng, bits, FLOW_DIGITS_PER_LINE)
    out.write(";\n")


def small_file(path, args):
    rng = random.Random(args.seed)
    with open(path, "w", newline="\n") as out:
        out.write("! short scans\n" + FLOW_PREAMBLE)
        for _ in range(args.count):
            write_flow_scan(out, rng, "SDR", args.small_bits, rng.random() < args.tdo_ratio)
    return args.count + FLOW_PREAMBLE.count(";")


def mix_file(path, args):
    rng = random.Random(args.seed)
    limit = int(args.size_mb * 1024 * 1024)
    shortest, longest = math.log(32), math.log(max(32, args.max_sdr_bits))
    statements = FLOW_PREAMBLE.count(";")
    with open(path, "w", newline="\n") as out:
        out.write("! programming flow\n" + FLOW_PREAMBLE)
        while out.tell() < limit:
            out.write("SIR 8 TDI (%02X);\n" % rng.choice(FLOW_OPCODES))
            statements += 2
            if rng.random() < 0.15:  # poll a status register, then wait
                write_flow_scan(out, rng, "SDR", rng.choice((8, 16, 32)), True)
                out.write("RUNTEST %d TCK;\n" % rng.choice((3, 10, 100)))
                statements += 1
                continue
            with_tdo = rng.random() < args.tdo_ratio
            left_bits = (limit - out.tell()) * 4 // (3 if with_tdo else 1)
            bits = round(math.exp(rng.uniform(shortest, longest)))
            write_flow_scan(out, rng, "SDR", max(32, min(bits, left_bits)), with_tdo)
            if rng.random() < 0.7:
                out.write("RUNTEST %d TCK;\n" % rng.choice((2, 10, 100, 1000, 5000, 20000)))
                statements += 1
    return statements


def bitstream_file(path, args):
    rng = random.Random(args.seed)
    with open(path, "w", newline="\n") as out:
        out.write("! one configuration scan\n" + FLOW_PREAMBLE + "SIR 8 TDI (C0);\n")
        write_flow_scan(out, rng, "SDR", args.max_sdr_bits, args.tdo_ratio > 0)
        out.write("RUNTEST 1000 TCK;\n")
    return 3 + FLOW_PREAMBLE.count(";")


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=("long", "short", "huge", "small", "mix", "bitstream"))
    parser.add_argument("out")
    parser.add_argument("--mb", type=int, default=50)
    parser.add_argument("--count", type=int, default=200_000)
    parser.add_argument("--mbit", type=int, default=64)
    parser.add_argument("--size-mb", type=float, default=10.0)
    parser.add_argument("--max-sdr-bits", type=int, default=None,
                        help="mix: 1000000 by default; bitstream: 67108864")
    parser.add_argument("--small-bits", type=int, default=32)
    parser.add_argument("--tdo-ratio", type=float, default=None,
                        help="share of SDRs with TDO and MASK; 0.3 (bitstream: 1)")
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    bitstream = args.kind == "bitstream"
    if args.max_sdr_bits is None:
        args.max_sdr_bits = 64 * 1024 * 1024 if bitstream else 1_000_000
    if args.tdo_ratio is None:
        args.tdo_ratio = 1.0 if bitstream else 0.3
    if args.max_sdr_bits < 32:
        parser.error("--max-sdr-bits must be at least 32")
    writers = {"long": lambda: long_file(args.out, args.mb),
               "short": lambda: short_file(args.out, args.count),
               "huge": lambda: huge_file(args.out, args.mbit),
               "small": lambda: small_file(args.out, args),
               "mix": lambda: mix_file(args.out, args),
               "bitstream": lambda: bitstream_file(args.out, args)}
    statements = writers[args.kind]()
    print("%s: %d statements" % (args.out, statements))


if __name__ == "__main__":
    main()
