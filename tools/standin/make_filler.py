#!/usr/bin/env python3
"""Writes the stand-in product's bulk: deterministic bytes that deflate about as well as a real
executable (to roughly a third), so the stand-in is as large as the product it stands in for
and the updater moves as much data as in a real update.

usage: make_filler.py SIZE OUT
"""
import random
import sys


def filler(size: int, seed: int = 1) -> bytes:
    rng = random.Random(seed)
    # A "vocabulary" of short byte strings used with a skewed frequency, with a share of
    # single random bytes between them: repetitive like code and tables, never trivially so.
    words = [bytes(rng.randrange(256) for _ in range(rng.randrange(2, 9))) for _ in range(4096)]
    out = bytearray()
    while len(out) < size:
        if rng.random() < 0.72:
            out += words[int(rng.paretovariate(0.6)) % len(words)]
        else:
            out.append(rng.randrange(256))
    return bytes(out[:size])


def main(argv):
    if len(argv) != 3:
        sys.exit(__doc__)
    with open(argv[2], "wb") as f:
        f.write(filler(int(argv[1])))


if __name__ == "__main__":
    main(sys.argv)
