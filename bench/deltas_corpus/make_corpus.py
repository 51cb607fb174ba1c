#!/usr/bin/env python3
"""Old and new versions of game files, for the benchmarks of deltas: the same bytes at every run.

    bench/deltas_corpus/make_corpus.py [--out FOLDER] [--table-mib N] [--no-launcher]

Writes FOLDER/<pair>/old and FOLDER/<pair>/new for each pair, and FOLDER/corpus.json naming
them with the path each file has in a game folder (default FOLDER: build/deltas-corpus):

  launcher   Launcher.exe built for Windows (windows64 preset) from two commits of this
             repository, 15 commits apart: what a release of the launcher changes
  table      Data/Item.bmd, binary records: 1 % of them edited and 0.5 % inserted
  replaced   Data/Music/theme.ogg, as good as random, replaced wholly
  text       Data/Local/Text.txt, a text table with a few lines edited and one inserted

The two builds of Launcher.exe take some minutes the first time (ccache helps) and are kept in
the folder; the commits are exported with `git archive` into a temporary folder outside the
tree, so the repository and its worktrees are left as they are. Without the Windows toolchain
(scripts/setup.sh) or with --no-launcher the corpus has no launcher pair, and says so.
"""
import argparse
import json
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))

# The launcher before and after 15 commits of work (fixed, so that the pair never changes).
OLD_COMMIT = "d0e64b3"
NEW_COMMIT = "3ef72b5"

RECORD = 128
WORDS = ["Sword", "Shield", "Potion", "Dragon", "Gold", "Castle", "North", "Mana"]


def record(rng, number):
    """An id, a kind and level, a name from a few words, small statistics and 64 bytes as good as
    random (a hash, a packed picture), as game data tables hold them."""
    kind = rng.getrandbits(32)
    name = f"{WORDS[kind % 8]} of {WORDS[(kind >> 8) % 8]} {number % 97}".encode()[:32]
    stats = bytes(rng.randrange(12) for _ in range(24))
    return struct.pack("<II32s", number, kind, name) + stats + rng.randbytes(64)


def table_pair(mib):
    rng = random.Random(2026)
    records = [record(rng, number) for number in range(mib * 1024 * 1024 // RECORD)]
    old = b"".join(records)
    for index in rng.sample(range(len(records)), len(records) // 100):
        edited = bytearray(records[index])
        edited[40:48] = bytes(rng.randrange(12) for _ in range(8))
        records[index] = bytes(edited)
    for _ in range(len(records) // 200):
        records.insert(rng.randrange(len(records)), record(rng, rng.getrandbits(31)))
    return old, b"".join(records)


def replaced_pair(mib):
    return random.Random(1).randbytes(mib << 20), random.Random(2).randbytes(mib << 20)


def text_pair():
    rng = random.Random(7)
    lines = ["id;name;level;strength;agility;vitality;energy;price\r\n"]
    for number in range(60000):
        lines.append(f"{number};{rng.choice(WORDS)} of {rng.choice(WORDS)};{rng.randrange(400)};"
                     f"{rng.randrange(2000)};{rng.randrange(2000)};{rng.randrange(2000)};{rng.randrange(2000)};"
                     f"{rng.randrange(10 ** 7)}\r\n")
    old = "".join(lines).encode()
    for index in rng.sample(range(1, len(lines)), 12):
        fields = lines[index].split(";")
        fields[3] = str(int(fields[3]) + 1)
        lines[index] = ";".join(fields)
    lines.insert(30000, "60000;Mana of North;1;1;1;1;1;1\r\n")
    return old, "".join(lines).encode()


def build_launcher(commit, work):
    """Launcher.exe of the commit, built for Windows in a fresh export of it."""
    source = os.path.join(work, commit)
    os.makedirs(source)
    archive = subprocess.run(["git", "-C", REPO, "archive", commit], check=True, capture_output=True).stdout
    subprocess.run(["tar", "-x", "-C", source], input=archive, check=True)
    env = dict(os.environ, CCACHE_BASEDIR=work)
    for command in (["cmake", "--preset", "windows64"], ["cmake", "--build", "--preset", "windows64", "--target", "Launcher", "-j", "2"]):
        done = subprocess.run(command, cwd=source, env=env, capture_output=True, text=True)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed for {commit}:\n{done.stdout[-2000:]}{done.stderr[-2000:]}")
    return os.path.join(source, "build", "windows64", "Launcher.exe")


def launcher_pair(folder):
    """The cached pair, or a new one; nothing (and why) when it cannot be built."""
    old, new = os.path.join(folder, "old"), os.path.join(folder, "new")
    if os.path.exists(old) and os.path.exists(new):
        return True
    if not shutil.which("x86_64-w64-mingw32-g++-posix"):
        print("make_corpus: no launcher pair: the Windows toolchain is missing (scripts/setup.sh installs it)")
        return False
    os.makedirs(folder, exist_ok=True)
    print(f"make_corpus: building Launcher.exe of {OLD_COMMIT} and {NEW_COMMIT} (some minutes the first time)...", flush=True)
    with tempfile.TemporaryDirectory(prefix="deltas-corpus-") as work:
        try:
            built = [build_launcher(commit, work) for commit in (OLD_COMMIT, NEW_COMMIT)]
        except (RuntimeError, subprocess.CalledProcessError) as error:
            print(f"make_corpus: no launcher pair: {error}")
            return False
        shutil.copyfile(built[0], old)
        shutil.copyfile(built[1], new)
    return True


def write_pair(folder, contents):
    os.makedirs(folder, exist_ok=True)
    for name, data in zip(("old", "new"), contents):
        path = os.path.join(folder, name)
        if not os.path.exists(path) or os.path.getsize(path) != len(data):
            with open(path, "wb") as f:
                f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", default=os.path.join(REPO, "build", "deltas-corpus"))
    parser.add_argument("--table-mib", type=int, default=32, help="size of the data table (default 32)")
    parser.add_argument("--no-launcher", action="store_true", help="leave out the two builds of Launcher.exe")
    args = parser.parse_args()
    pairs = []
    if not args.no_launcher and launcher_pair(os.path.join(args.out, "launcher")):
        pairs.append({"name": "launcher", "path": "Launcher.exe"})
    # Each pair's bytes depend on its seed and size alone.
    write_pair(os.path.join(args.out, f"table-{args.table_mib}"), table_pair(args.table_mib))
    pairs.append({"name": f"table-{args.table_mib}", "path": "Data/Item.bmd"})
    write_pair(os.path.join(args.out, "replaced"), replaced_pair(8))
    pairs.append({"name": "replaced", "path": "Data/Music/theme.ogg"})
    write_pair(os.path.join(args.out, "text"), text_pair())
    pairs.append({"name": "text", "path": "Data/Local/Text.txt"})
    with open(os.path.join(args.out, "corpus.json"), "w") as f:
        json.dump(pairs, f, indent=1)
    for pair in pairs:
        folder = os.path.join(args.out, pair["name"])
        print(f"{pair['name']:10} {pair['path']:22} old {os.path.getsize(os.path.join(folder, 'old')):>11,} bytes, "
              f"new {os.path.getsize(os.path.join(folder, 'new')):>11,} bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
