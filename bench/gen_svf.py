#!/usr/bin/env python3
"""Generates large SVF files for the scan benchmarks.

  gen_svf.py long  OUT [--mb 50]        long SDR scans (up to a few million bits),
                                         half of them with TDO and MASK
  gen_svf.py short OUT [--count 200000] short SIR/SDR statements
  gen_svf.py huge  OUT [--mbit 64]      one SDR with TDI, TDO and MASK

Patterns are wrapped at 400 hexadecimal digits a line, so every line stays
under the reader's limit of 500 characters. Output is deterministic (fixed
seed), so runs are comparable.
"""

import argparse
import random

DIGITS_PER_LINE = 400


def hex_digits(rng, bits):
    digits = (bits + 3) // 4
    text = rng.randbytes((digits + 1) // 2).hex().upper()[:digits]
    spare = digits * 4 - bits  # keep the top digit within the length
    if spare:
        top = int(text[0], 16) & ((1 << (4 - spare)) - 1)
        text = "%X" % top + text[1:]
    return text


def write_pattern(out, keyword, rng, bits):
    digits = hex_digits(rng, bits)
    out.write(" %s (\n" % keyword)
    for start in range(0, len(digits), DIGITS_PER_LINE):
        out.write(digits[start:start + DIGITS_PER_LINE])
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


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=("long", "short", "huge"))
    parser.add_argument("out")
    parser.add_argument("--mb", type=int, default=50)
    parser.add_argument("--count", type=int, default=200_000)
    parser.add_argument("--mbit", type=int, default=64)
    args = parser.parse_args()
    if args.kind == "long":
        statements = long_file(args.out, args.mb)
    elif args.kind == "short":
        statements = short_file(args.out, args.count)
    else:
        statements = huge_file(args.out, args.mbit)
    print("%s: %d statements" % (args.out, statements))


if __name__ == "__main__":
    main()
