#!/usr/bin/env python3
"""Makes the zint module dumps of the rectangular sizes.

For the six rectangular ECC200 sizes (zint --vers=25..30) and the 18
rectangular extension sizes (--dmre, --vers=31..48) it fills the size with a
random ASCII message (letters of alternating case and digit pairs) and keeps
zint's --dump (rows of hex digits, four modules a digit, top row first) in
rect-<rows>x<columns>.txt with the message in hexadecimal; a few sizes also get
a C40 and a Base256 message. Run from anywhere: python3 make_dumps.py
"""

import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

VERSIONS = range(25, 49)
EXTRA = {27: ("c40", b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "), 40: ("base256", bytes(range(128, 256)))}


def ascii_message(rng, length):
    out = bytearray()
    while len(out) < length:
        if rng.random() < 0.3:
            out += b"%02d" % rng.randrange(100)
        else:
            letter = rng.choice(b"abcdefghijklmnopqrstuvwxyz")
            out.append(letter if len(out) % 2 == 0 else letter - 32)
    return bytes(out[:length])


def run_zint(version, message):
    escaped = "".join("\\x%02X" % b for b in message)
    command = ["zint", "-b", "71", "--vers=%d" % version, "--dmre", "--binary", "--esc", "--dump", "-d", escaped]
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0 or "Error" in result.stdout:
        return None
    return [line for line in result.stdout.split("\n") if line.strip()]


def longest_dump(version, full):
    low, high, best = 1, len(full), None
    while low <= high:
        mid = (low + high) // 2
        dump = run_zint(version, full[:mid])
        if dump is None:
            high = mid - 1
        else:
            best = (full[:mid], dump)
            low = mid + 1
    return best


def write_fixture(name, scheme, message, dump):
    rows = len(dump)
    columns = len(run_zint_width(dump))
    with open(os.path.join(HERE, "%s-%dx%d.txt" % (name, rows, columns)), "w") as out:
        out.write("size %d\ncolumns %d\nscheme %s\nmessage %s\n" % (rows, columns, scheme, message.hex().upper()))
        out.write("\n".join(dump) + "\n")


def run_zint_width(dump):
    # The bottom row is the solid finder row: its dark modules give the width.
    bits = "".join(format(int(d, 16), "04b") for d in dump[-1].replace(" ", ""))
    return bits.rstrip("0")


def main():
    rng = random.Random("rectangles")
    written = 0
    for version in VERSIONS:
        message, dump = longest_dump(version, ascii_message(rng, 400))
        write_fixture("ascii", "ascii", message, dump)
        written += 1
        if version in EXTRA:
            scheme, alphabet = EXTRA[version]
            full = bytes(rng.choice(alphabet) for _ in range(400))
            message, dump = longest_dump(version, full)
            write_fixture(scheme, scheme, message, dump)
            written += 1
    print("%d dumps written" % written)
    return 0


if __name__ == "__main__":
    sys.exit(main())
