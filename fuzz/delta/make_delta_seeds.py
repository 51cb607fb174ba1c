#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_apply_delta: deltas made by the zstd tool (--patch-from, with
long-distance matching and a checksum, as update-site makes them) against the target's fixed old
content, each after the three bytes that give its expected size. One seed states a wrong size.
No empty new content: the zstd 1.5.4 tool fails an assertion on it with --patch-from.
Usage: make_delta_seeds.py [FOLDER]  (default: corpus/fuzz_apply_delta beside this file)"""
import pathlib
import subprocess
import sys
import tempfile

OLD = b"".join(b"record %d value %d\n" % (1000 + i, i * 7919 % 10007) for i in range(200))

NEW = {
    "edited": OLD.replace(b"record 1050 value", b"record 1050 VALUE"),
    "inserted": OLD[:2000] + bytes(range(256)) * 4 + OLD[2000:],
    "shortened": OLD[:3000],
    "identical": OLD,
    "unrelated": b"".join(b"line %d\n" % (i * i) for i in range(300)),
}


def delta(old_path, new_bytes, level):
    with tempfile.NamedTemporaryFile() as new_file:
        new_file.write(new_bytes)
        new_file.flush()
        return subprocess.run(["zstd", "-q", "-c", f"-{level}", "--long", f"--patch-from={old_path}", new_file.name],
                              check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout


def size_bytes(size):
    return bytes([size >> 16 & 0x7F, size >> 8 & 0xFF, size & 0xFF])


folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else pathlib.Path(__file__).parent / "corpus" / "fuzz_apply_delta"
folder.mkdir(parents=True, exist_ok=True)
with tempfile.NamedTemporaryFile() as old_file:
    old_file.write(OLD)
    old_file.flush()
    for name, new in NEW.items():
        for level in (3, 19):
            (folder / f"{name}_{level}").write_bytes(size_bytes(len(new)) + delta(old_file.name, new, level))
    (folder / "wrong_size").write_bytes(size_bytes(len(NEW["edited"]) + 1) + delta(old_file.name, NEW["edited"], 3))
