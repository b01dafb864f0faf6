#!/usr/bin/env python3
"""Writes a deterministic benchmark payload: FILES files of about TOTAL_MB together, alternately
text-like (words from a fixed vocabulary, compressing about 2:1) and incompressible (pseudo-random
bytes). The same arguments give the same bytes on every machine.

Usage: make_payload.py DIR [--total-mb 256] [--files 64] [--seed 1]
Prints one line per file: its name and size.
"""
import argparse
import os
import random

CHUNK = 1 << 20


def vocabulary(rnd):
    letters = "etaoinshrdlucmfwypvbgkjqxz"
    weights = [12, 9, 8, 8, 7, 7, 6, 6, 4, 4, 3, 3, 3, 2, 2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1]
    words = set()
    while len(words) < 4000:
        words.add("".join(rnd.choices(letters, weights, k=rnd.randint(2, 10))))
    return sorted(words)


def text_chunk(rnd, words, size):
    out = bytearray()
    while len(out) < size:
        line = " ".join(rnd.choices(words, k=rnd.randint(4, 14)))
        out += line.encode("ascii") + (b".\r\n" if rnd.random() < 0.3 else b"\r\n")
    return bytes(out[:size])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dir")
    parser.add_argument("--total-mb", type=int, default=256)
    parser.add_argument("--files", type=int, default=64)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    os.makedirs(args.dir, exist_ok=True)
    rnd = random.Random(args.seed)
    words = vocabulary(rnd)
    total = args.total_mb * CHUNK
    # Sizes between half and one and a half times the mean, adding up to the total exactly.
    weights = [rnd.uniform(0.5, 1.5) for _ in range(args.files)]
    sizes = [int(total * w / sum(weights)) for w in weights]
    sizes[-1] += total - sum(sizes)
    for n, size in enumerate(sizes, start=1):
        kind = "text" if n % 2 else "data"
        name = "%s%02d.%s" % (kind, n, "txt" if kind == "text" else "bin")
        with open(os.path.join(args.dir, name), "wb") as f:
            left = size
            while left:
                part = min(left, CHUNK)
                f.write(text_chunk(rnd, words, part) if kind == "text" else rnd.randbytes(part))
                left -= part
        print(name, size)


if __name__ == "__main__":
    main()
