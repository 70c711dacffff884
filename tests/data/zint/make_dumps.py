#!/usr/bin/env python3
"""Makes the zint module dumps the codeword-layer tests read.

For every square ECC200 size (zint --vers=1..24) and every encodation scheme
it builds a message of characters that lead zint to that scheme, makes the
message as long as the size holds, and keeps zint's --dump (rows of hex
digits, four modules a digit, top row first) in <scheme>-<size>.txt with the
message in hexadecimal. A few extra messages cover special endings.

A second set covers the whole message: EDIFACT mixed with ASCII and Text so
that every way of leaving EDIFACT occurs, GS1 element strings (FNC1 in ASCII,
C40 and Text), ECI, the 05/06 macros, structured append and reader
programming. Their files add a "metadata" line (symbology identifier, then
each ECI as value@position, "sa position/total id1,id2", "programming",
"macro 5" or "macro 6") and, for GS1, an "hri" line with the human-readable
form.

The scheme zint actually chose is read from the symbol's first codeword; a
size/scheme pair where zint chose otherwise (a tiny symbol cannot hold a latch
and its data) is reported and left out. Run from anywhere: python3 make_dumps.py
"""

import os
import random
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))

SIZES = [10, 12, 14, 16, 18, 20, 22, 24, 26, 32, 36, 40, 44, 48, 52, 64, 72, 80, 88, 96, 104, 120, 132, 144]
REGION = {10: 8, 12: 10, 14: 12, 16: 14, 18: 16, 20: 18, 22: 20, 24: 22, 26: 24, 32: 14, 36: 16, 40: 18,
          44: 20, 48: 22, 52: 24, 64: 14, 72: 16, 80: 18, 88: 20, 96: 22, 104: 24, 120: 18, 132: 20, 144: 22}

SCHEME_OF_FIRST = {230: "c40", 231: "base256", 235: "uppershift", 238: "x12", 239: "text", 240: "edifact"}


def alphabet_message(rng, alphabet, length):
    return bytes(rng.choice(alphabet) for _ in range(length))


def ascii_message(rng, length):
    # Letters of alternating case (a run of one case would invite C40, Text or
    # EDIFACT), digit pairs, now and then a punctuation mark or a word with
    # one accented Latin-1 letter (an upper shift), kept apart by a few
    # letters. The digit pairs outweigh the accented letters, so that Base256
    # to the end never pays.
    out = bytearray()
    words = [b"Caf\xe9", b"na\xefve", b"Gru\xdf", b"Ni\xf1o", b"\xc7a", b"d\xe9j"]
    since_word = 0
    while len(out) < length:
        r = rng.random()
        if r < 0.05 and since_word >= 4:
            out += rng.choice(words)
            since_word = 0
        elif r < 0.1:
            out.append(rng.choice(b".,;!?-'"))
        elif r < 0.25:
            out += b"%02d" % rng.randrange(100)
        else:
            letter = rng.choice(b"abcdefghijklmnopqrstuvwxyz")
            out.append(letter if len(out) % 2 == 0 else letter - 32)
            since_word += 1
    return bytes(out[:length])


GENERATORS = {
    "ascii": ascii_message,
    "c40": lambda rng, n: alphabet_message(rng, b"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMN 0123", n),
    "text": lambda rng, n: alphabet_message(rng, b"abcdefghijklmnopqrstuvwxyzabcdefghijkl 0123", n),
    "x12": lambda rng, n: alphabet_message(rng, b"ABCDEFGHIJKLMNOP****>>>>\r\r 0123", n),
    "edifact": lambda rng, n: alphabet_message(rng, b".,;:/-+=()?@[]^<>'\"!#%&ABCDEFGHIJ", n),
    "base256": lambda rng, n: bytes(rng.randrange(128, 256) if rng.random() < 0.9 else rng.randrange(0, 128)
                                    for _ in range(n)),
}

# Messages with special endings or openings: (name, size, message, zint options).
EXTRAS = [
    # C40 ending with one codeword left: an ASCII character without unlatch.
    ("c40-lone-14", 14, b"ABCDEFGHIZ", ["--fast"]),
    ("c40-lone-16", 16, b"ABCDEFGHIJKLMNOZ", ["--fast"]),
    ("c40-lone-24", 24, b"ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXY0", ["--fast"]),
    # A first codeword of 235: the message opens with an accented letter.
    ("uppershift-first-18", 18, b"\xc9cole de Paris", []),
]


# GS1 identifiers whose length is predefined (by their first two digits): no
# separator follows them.
GS1_PREDEFINED = {"00", "01", "02", "03", "04", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20",
                  "31", "32", "33", "34", "35", "36", "41"}


def gs1(elements):
    """zint's GS1 input for (identifier, data) pairs, the message bytes a
    reader gives (a separator after each field of variable length but the
    last) and the human-readable form."""
    data = "".join("[%s]%s" % e for e in elements)
    message = b""
    for i, (ai, value) in enumerate(elements):
        message += (ai + value).encode()
        if i + 1 < len(elements) and ai[:2] not in GS1_PREDEFINED:
            message += b"\x1d"
    return data, message, "".join("(%s)%s" % e for e in elements)


def macro(number, body):
    return b"[)>\x1e%02d\x1d" % number + body + b"\x1e\x04"


# Whole-message symbols: (name, zint options, message, metadata, human-readable form).
def whole_messages():
    out = []
    # EDIFACT after two ASCII letters, ending each way it can: one or two
    # ASCII codewords without unlatch, an unlatch as the first to fourth value
    # of a group, full groups to the end; then EDIFACT followed by Text.
    run = "A.B,C;D:E/F-G+H=I(J)K?L@"
    for length, options in [(5, []), (6, []), (7, []), (8, []), (9, ["--fast"]), (10, ["--fast"]), (12, [])]:
        text = "ab" + run[:length]
        out.append(("edifact-mixed-%d" % length, options + ["-d", text], text.encode(), "]d1", None))
    out.append(("edifact-then-text", ["--fast", "-d", "A.B,C;D:Eabcdefgh"], b"A.B,C;D:Eabcdefgh", "]d1", None))

    for name, elements, options in [
        ("gs1-fixed-variable", [("01", "09501101530003"), ("10", "ABC123"), ("21", "XYZ")], []),
        ("gs1-predefined", [("00", "123456789012345675"), ("15", "231231"), ("3103", "000750"), ("20", "07")], []),
        ("gs1-long-identifiers", [("240", "A-1/B"), ("7003", "2301011200"), ("8200", "http://x.example/p?q=1"),
                                  ("410", "9501101530003")], []),
        ("gs1-c40", [("90", "ABCDEFGHIJKLMNOP"), ("91", "ABCDEFGHIJKLMNOP"), ("92", "ABCDEFGHIJKLMNOP")], ["--fast"]),
        ("gs1-text", [("90", "abcdefghijklmnop"), ("91", "abcdefghijklmn"), ("92", "abcdefghijklmno")], ["--fast"]),
    ]:
        data, message, hri = gs1(elements)
        out.append((name, ["--gs1"] + options + ["-d", data], message, "]d2", hri))
    data, message, hri = gs1([("01", "09501101530003"), ("10", "abc")])
    out.append(("gs1-eci", ["--gs1", "--eci=3", "-d", data], message, "]d5 eci 3@0", hri))
    data, message, hri = gs1([("01", "09501101530003")])
    out.append(("gs1-structapp", ["--gs1", "--structapp=1,2", "-d", data], message, "]d2 sa 1/2 1,1", hri))

    out += [
        ("eci-latin1", ["--eci=3", "-d", "Caf\u00e9"], b"Caf\xe9", "]d4 eci 3@0", None),
        ("eci-two-codewords", ["--eci=900", "-d", "ABC"], b"ABC", "]d4 eci 900@0", None),
        ("eci-three-codewords", ["--eci=999999", "-d", "ABC"], b"ABC", "]d4 eci 999999@0", None),
        ("eci-segments", ["--eci=3", "-d", "xyz", "--seg1=9,ABC"], b"xyzABC", "]d4 eci 3@0 eci 9@3", None),
        ("macro-05", ["--esc", "-d", "[)>\\R05\\GABC\\R\\E"], macro(5, b"ABC"), "]d1 macro 5", None),
        ("macro-06", ["--esc", "-d", "[)>\\R06\\G12345\\R\\E"], macro(6, b"12345"), "]d1 macro 6", None),
        ("macro-05-eci", ["--esc", "--eci=3", "-d", "[)>\\R05\\GABC\\R\\E"], macro(5, b"ABC"),
         "]d4 eci 3@7 macro 5", None),
        ("structapp-2-of-7", ["--structapp=2,7,1234", "-d", "ABC"], b"ABC", "]d1 sa 2/7 1,234", None),
        ("structapp-16-of-16", ["--structapp=16,16,254254", "-d", "Z"], b"Z", "]d1 sa 16/16 254,254", None),
        ("reader-programming", ["--init", "-d", "ABC"], b"ABC", "]d1 programming", None),
    ]
    return out


def run_zint_square(options):
    """zint's dump for the smallest square size that holds the data."""
    result = subprocess.run(["zint", "-b", "71", "--square", "--dump"] + options, capture_output=True, text=True)
    if result.returncode != 0 or "Error" in result.stdout:
        return None
    return [line for line in result.stdout.split("\n") if line.strip()]


def escaped(message):
    return "".join("\\x%02X" % b for b in message)


def run_zint(size, message, options):
    vers = SIZES.index(size) + 1
    command = ["zint", "-b", "71", "--vers=%d" % vers, "--binary", "--esc", "--dump", "-d", escaped(message)] + options
    result = subprocess.run(command, capture_output=True, text=True)
    if result.returncode != 0 or "Error" in result.stdout:
        return None
    return result.stdout.split("\n")[:size]


def module_matrix(size, dump):
    rows = []
    for line in dump:
        bits = "".join(format(int(d, 16), "04b") for d in line.replace(" ", ""))
        rows.append([b == "1" for b in bits[:size]])
    return rows


def first_codeword(size, dump):
    """The codeword placed first: the standard shape at mapping (4, 0), whose
    leading modules wrap to the far side."""
    modules = module_matrix(size, dump)
    region = REGION[size]
    n = size // (region + 2) * region

    def mapping(r, c):
        if r < 0:
            r += n
            c += 4 - ((n + 4) % 8)
        if c < 0:
            c += n
            r += 4 - ((n + 4) % 8)
        sr = r // region * (region + 2) + r % region + 1
        sc = c // region * (region + 2) + c % region + 1
        return modules[sr][sc]

    value = 0
    for dr, dc in [(-2, -2), (-2, -1), (-1, -2), (-1, -1), (-1, 0), (0, -2), (0, -1), (0, 0)]:
        value = value * 2 + (1 if mapping(4 + dr, dc) else 0)
    return value


def scheme_of(size, dump):
    return SCHEME_OF_FIRST.get(first_codeword(size, dump), "ascii")


def longest_dump(size, full, options):
    """The longest message prefix zint fits into the size, with its dump."""
    low, high, best = 1, len(full), None
    while low <= high:
        mid = (low + high) // 2
        dump = run_zint(size, full[:mid], options)
        if dump is None:
            high = mid - 1
        else:
            best = (full[:mid], dump)
            low = mid + 1
    return best


def scheme_dump(size, scheme, rng):
    """A dump of the size whose first codeword announces the scheme. zint's
    default (minimal) encodation often opens with ASCII and latches later;
    its --fast encodation latches at once, so both are tried, on up to three
    random messages."""
    chosen = "nothing fits"
    for _ in range(3):
        full = GENERATORS[scheme](rng, 3200)
        for options in ([], ["--fast"]):
            found = longest_dump(size, full, options)
            if found is None:
                continue
            chosen = scheme_of(size, found[1])
            if chosen == scheme:
                return found, None
    return None, chosen


def write_fixture(name, size, scheme, message, dump, metadata=None, hri=None):
    with open(os.path.join(HERE, name + ".txt"), "w") as out:
        out.write("size %d\nscheme %s\nmessage %s\n" % (size, scheme, message.hex().upper()))
        if metadata is not None:
            out.write("metadata %s\n" % metadata)
        if hri is not None:
            out.write("hri %s\n" % hri)
        out.write("\n".join(dump) + "\n")


def main():
    missed = []
    kept = 0
    for scheme in GENERATORS:
        rng = random.Random(scheme)
        for size in SIZES:
            found, chosen = scheme_dump(size, scheme, rng)
            if found is None:
                missed.append("%s-%d: zint chose %s" % (scheme, size, chosen))
                continue
            message, dump = found
            write_fixture("%s-%d" % (scheme, size), size, scheme, message, dump)
            kept += 1
    for name, size, message, options in EXTRAS:
        dump = run_zint(size, message, options)
        if dump is None:
            missed.append(name + ": refused by zint")
            continue
        write_fixture(name, size, scheme_of(size, dump), message, dump)
        kept += 1
    for name, options, message, metadata, hri in whole_messages():
        dump = run_zint_square(options)
        if dump is None:
            missed.append(name + ": refused by zint")
            continue
        size = len(dump)
        write_fixture(name, size, scheme_of(size, dump), message, dump, metadata, hri)
        kept += 1
    print("%d dumps written" % kept)
    for line in missed:
        print("left out:", line)
    return 0


if __name__ == "__main__":
    sys.exit(main())
