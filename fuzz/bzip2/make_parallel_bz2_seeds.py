#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_parallel_bz2: small bzip2 streams of several level-1 blocks
(periodic content packs 100,000 bytes into a few dozen), one of them with a block whose mapping
table spells the block mark and one spelling the end mark, so that mutations start from whole
multi-block streams. Each seed starts with the target's two choice bytes.
Usage: make_parallel_bz2_seeds.py [FOLDER]  (default: corpus/fuzz_parallel_bz2 beside this file)"""
import bz2
import pathlib
import sys

LEVEL1_BLOCK = 99981  # symbols of a level-1 block; periodic data without runs is one symbol a byte
LETTERS = b"abcdefghijklmnopqrstuvwxyz"
# Byte sets whose mapping table reads 0x3141 0x5926 0x5359 (the block mark) or 0x1772 0x4538
# 0x5090 (the end mark).
SPELLS_BLOCK_MARK = bytes([0x21, 0x23, 0x24, 0x27, 0x2A, 0x2D, 0x2E, 0x31, 0x33, 0x36, 0x37, 0x39, 0x3B, 0x3C,
                           0x3F, 0x70, 0x90, 0xF0])
SPELLS_END_MARK = bytes([0x31, 0x35, 0x37, 0x3A, 0x3B, 0x3C, 0x51, 0x53, 0x58, 0x5B, 0x60, 0x70, 0x90, 0xA0, 0xB0,
                         0xE0])


def periodic(alphabet, size):
    return bytes(alphabet[i % len(alphabet)] for i in range(size))


CONTENTS = {
    "three_blocks": periodic(b"the dragon guards gold\n", 250000),
    "block_mark_by_chance": periodic(LETTERS, LEVEL1_BLOCK) + periodic(SPELLS_BLOCK_MARK, LEVEL1_BLOCK) +
                            periodic(LETTERS, 50000),
    "end_mark_by_chance": periodic(LETTERS, LEVEL1_BLOCK) + periodic(SPELLS_END_MARK, LEVEL1_BLOCK) +
                          periodic(LETTERS, 50000),
    "runs_across_blocks": periodic(b"quest log ", 99000) + b"a" * 60000 + periodic(b"xyz", 120000),
    "one_block": b"hello " * 1000,
    "empty": b"",
}
# (threads choice, pieces choice): two threads all at once, two threads in small pieces,
# three threads in pieces of up to 2 KiB.
CHOICES = [(1, 0), (1, 7), (2, 255)]

folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent / "corpus" / "fuzz_parallel_bz2"
folder.mkdir(parents=True, exist_ok=True)
for name, content in CONTENTS.items():
    stream = bz2.compress(content, 1)
    for threads, pieces in CHOICES:
        (folder / f"{name}_{threads}_{pieces}").write_bytes(bytes([threads, pieces]) + stream)
