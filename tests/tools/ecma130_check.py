#!/usr/bin/env python3
"""Checks the sync, address header, EDC and ECC of CD-ROM Mode 2 sectors.

Reads a file of raw 2352-byte sectors (a leading 44-byte RIFF "CDXA" header is
skipped) or of 2336-byte sector images (--sector 2336), and checks every
sector against ECMA-130 directly:

- EDC: the data bits, least significant bit of each byte first, followed by
  the 32 EDC bits form a polynomial divisible by
  P(x) = (x^16+x^15+x^2+1)(x^16+x^2+x+1) = x^32+x^31+x^16+x^15+x^4+x^3+x+1.
  Form 1 covers subheader and user data (raw bytes 16..2071, EDC at 2072),
  Form 2 raw bytes 16..2347 (EDC at 2348); an all-zero Form 2 EDC means
  "not computed" and is accepted.
- ECC (Form 1 only): bytes 12..2351 are 16-bit words S(0)..S(1169); each byte
  plane must satisfy the check matrices of the P code (vectors
  S(43*Mp + Np), Mp = 0..25) and of the Q code (vectors
  S((44*Mq + 43*Nq) mod 1118), Mq = 0..42, then S(1118 + Nq), S(1144 + Nq))
  over GF(2^8) with x^8+x^4+x^3+x^2+1:
      H = | 1       1       ...  1 |
          | a^(n-1) a^(n-2) ...  1 |
  The 4 header bytes count as zero in Mode 2.

Exit status 0 when every Form 1 sector is fully valid and every Form 2
sector has a valid sync, header and an EDC that is right or zero; 1 otherwise.
"""

import argparse
import sys

SYNC = bytes([0x00] + [0xFF] * 10 + [0x00])
EDC_POLY = (1 << 32) | (1 << 31) | (1 << 16) | (1 << 15) | (1 << 4) | (1 << 3) | (1 << 1) | 1

# GF(2^8): exponent and logarithm tables of the primitive element a = x.
GF_EXP = [0] * 510
GF_LOG = [0] * 256
_v = 1
for _i in range(255):
    GF_EXP[_i] = GF_EXP[_i + 255] = _v
    GF_LOG[_v] = _i
    _v <<= 1
    if _v & 0x100:
        _v ^= 0x11D


def gf_mul(a, b):
    if a == 0 or b == 0:
        return 0
    return GF_EXP[GF_LOG[a] + GF_LOG[b]]


def _edc_step_bits(r, bits):
    """Feeds the shift register `bits` (first bit sent first); returns it."""
    for b in bits:
        top = ((r >> 31) ^ b) & 1
        r = (r << 1) & 0xFFFFFFFF
        if top:
            r ^= EDC_POLY & 0xFFFFFFFF
    return r


# The register after eight steps depends on its top byte XOR the eight bits
# sent, so eight steps at a time are one lookup: the effect of a top byte x
# fed zeros for eight steps.
EDC_BYTE_STEP = [_edc_step_bits(x << 24, [0] * 8) for x in range(256)]
# A byte's bits in the order they are sent (least significant first), as
# the register's top byte sees them: bit 0 meets bit 31.
BIT_REVERSED = [int("{:08b}".format(v)[::-1], 2) for v in range(256)]


def edc_remainder(data):
    """M(x) * x^32 mod P(x), M(x) having the first bit sent as its highest
    term; bit k of the result is the coefficient of x^k."""
    r = 0
    step, rev = EDC_BYTE_STEP, BIT_REVERSED
    for byte in data:
        r = ((r << 8) & 0xFFFFFFFF) ^ step[(r >> 24) ^ rev[byte]]
    return r


def edc_remainder_bitwise(data):
    """The same, one bit at a time (checks the byte table at start-up)."""
    bits = []
    for byte in data:
        bits.extend((byte >> k) & 1 for k in range(8))
    return _edc_step_bits(0, bits)


def edc_field(stored4):
    """The polynomial held by a 4-byte EDC field: its first bit sent (bit 0 of
    the first byte) is the x^31 term."""
    value = int.from_bytes(stored4, "little")
    return int("{:032b}".format(value)[::-1], 2)


def edc_ok(data, stored4):
    return edc_remainder(data) == edc_field(stored4)


def vector_ok(values):
    """True when the vector satisfies both rows of the check matrix."""
    n = len(values)
    s0 = 0
    s1 = 0
    for i, v in enumerate(values):
        s0 ^= v
        s1 ^= gf_mul(GF_EXP[n - 1 - i], v)
    return s0 == 0 and s1 == 0


def ecc_ok(covered):
    """covered: the 2340 bytes from the header to the end of the Q parity."""
    for plane in (0, 1):
        def word(n):
            return covered[2 * n + plane]

        for np_ in range(43):
            if not vector_ok([word(43 * mp + np_) for mp in range(26)]):
                return False
        for nq in range(26):
            v = [word((44 * mq + 43 * nq) % 1118) for mq in range(43)]
            v += [word(1118 + nq), word(1144 + nq)]
            if not vector_ok(v):
                return False
    return True


def bcd(byte):
    hi, lo = byte >> 4, byte & 0x0F
    return None if hi > 9 or lo > 9 else hi * 10 + lo


def address(header):
    m, s, f = (bcd(b) for b in header[:3])
    if m is None or s is None or f is None or s >= 60 or f >= 75:
        return None
    return (m * 60 + s) * 75 + f


def check_image(image):
    """Checks a 2336-byte image (subheader first). Returns the form and a dict
    of results: "edc", "ecc" (Form 1), "edc zero" (Form 2)."""
    if image[2] & 0x20:
        stored = image[2332:2336]
        return 2, {"edc": edc_ok(image[0:2332], stored), "edc zero": stored == bytes(4)}
    return 1, {"edc": edc_ok(image[0:2056], image[2056:2060]),
               "ecc": ecc_ok(bytes(4) + image[0:2336])}


def main():
    probe = bytes(range(256)) + b"EDC"
    assert edc_remainder(probe) == edc_remainder_bitwise(probe)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("file")
    parser.add_argument("--sector", type=int, choices=(2352, 2336), default=2352)
    parser.add_argument("--first-lba", type=int, default=None,
                        help="expected address of the first sector (2352 only)")
    args = parser.parse_args()

    with open(args.file, "rb") as f:
        data = f.read()
    start = 0
    if args.sector == 2352 and data[:4] == b"RIFF":
        start = 44
    body = data[start:]
    count, rest = divmod(len(body), args.sector)

    stats = {1: {}, 2: {}}
    bad = []
    for n in range(count):
        sector = body[n * args.sector:(n + 1) * args.sector]
        results = {}
        if args.sector == 2352:
            results["sync"] = sector[0:12] == SYNC
            lba = address(sector[12:15])
            expected = None if args.first_lba is None else args.first_lba + n
            results["header"] = (sector[15] == 2 and lba is not None
                                 and (expected is None or lba == expected))
            image = sector[16:]
        else:
            image = sector
        form, image_results = check_image(image)
        results.update(image_results)
        s = stats[form]
        s["sectors"] = s.get("sectors", 0) + 1
        for name, ok in results.items():
            key = name if name == "edc zero" else name + " ok"
            s[key] = s.get(key, 0) + ok
        # A zero Form 2 EDC stands for "not computed" and is no fault.
        problems = [name for name, ok in results.items()
                    if not ok and name != "edc zero"
                    and not (name == "edc" and results.get("edc zero"))]
        if problems:
            bad.append((n, form, problems))

    print("{} sectors of {} bytes{}".format(
        count, args.sector, ", RIFF header skipped" if start else ""))
    for form in (1, 2):
        s = stats[form]
        if s:
            print("form {}: ".format(form) + ", ".join("{} {}".format(k, v) for k, v in s.items()))
    if rest:
        print("{} bytes left over after the last whole sector".format(rest))
    for n, form, problems in bad:
        print("bad sector {} (form {}): {}".format(n, form, ", ".join(problems)))
    return 0 if not bad and not rest else 1


if __name__ == "__main__":
    sys.exit(main())
