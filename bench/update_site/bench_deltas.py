#!/usr/bin/env python3
"""The deltas `update-site build` publishes, against the delta tools of the same pairs in the
same run, and the time of a build with deltas beside the same build without them.

    bench/update_site/bench_deltas.py [--update-site PATH] [--corpus FOLDER] [--work FOLDER]
                                      [--table-mib N] [--no-launcher]

The pairs come from bench/deltas_corpus/make_corpus.py (made or taken from its folder). A game
folder holds every pair's old file and a second one every new file; `update-site build` puts
the first into a site and then the second into the same site, once with deltas and once with
--no-deltas (each into a site of its own, both with --jobs 2): the second builds are timed, with
their peak memory. The peers make a delta of each pair on their own:
`zstd -19 --long --patch-from=OLD NEW` (and with --single-thread: "zstd -st"),
`xdelta3 -9 -e -s OLD NEW` and `bsdiff OLD NEW`.
Target: every delta published at most 1.05 times the zstd tool's and no larger than xdelta3's.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


def run(args, stdout=subprocess.DEVNULL):
    """Runs a program to its end: its time in seconds and its peak resident memory in MiB."""
    start = time.monotonic()
    process = subprocess.Popen(args, stdout=stdout, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(process.pid, 0)
    seconds = time.monotonic() - start
    errors = process.stderr.read().decode(errors="replace")
    process.stderr.close()
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{' '.join(args)} failed: {errors[-2000:]}")
    return seconds, usage.ru_maxrss / 1024


def place(game, pairs, corpus, which):
    shutil.rmtree(game, ignore_errors=True)
    for pair in pairs:
        target = os.path.join(game, *pair["path"].split("/"))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(corpus, pair["name"], which), target)


def release_twice(tool, pairs, corpus, work, site_name, extra):
    """Builds the old files, then the new ones into the same site: the second build's time and peak."""
    site = os.path.join(work, site_name)
    shutil.rmtree(site, ignore_errors=True)
    place(os.path.join(work, "game"), pairs, corpus, "old")
    run([tool, "build", os.path.join(work, "game"), site, "--jobs", "2", *extra])
    place(os.path.join(work, "game"), pairs, corpus, "new")
    seconds, peak = run([tool, "build", os.path.join(work, "game"), site, "--jobs", "2", *extra])
    return site, seconds, peak


def published(site):
    """The size of each published delta and package, by list path."""
    deltas, packages = {}, {}
    index = os.path.join(site, "mu.update.deltas")
    if os.path.exists(index):
        for line in open(index, encoding="utf-8").read().splitlines()[1:]:
            _, path, _, _, size, _, _ = line.split("\t")
            deltas[path] = int(size)
    for line in open(os.path.join(site, "mu.update"), "rb").read().decode("cp1252").split("\r\n")[1:-2]:
        path, _, size = line.split("|")
        packages[path] = int(size)
    return deltas, packages


def peers(old, new, work):
    """Each peer's delta size and time."""
    out = os.path.join(work, "peer.delta")
    commands = {
        "zstd": ["zstd", "-q", "-f", "-19", "--long", f"--patch-from={old}", new, "-o", out],
        # libzstd built without threads, as ours is, compresses in one pass like this.
        "zstd-st": ["zstd", "-q", "-f", "-19", "--long", "--single-thread", f"--patch-from={old}", new, "-o", out],
        "xdelta3": ["xdelta3", "-9", "-e", "-f", "-s", old, new, out],
        "bsdiff": ["bsdiff", old, new, out],
    }
    results = {}
    for name, command in commands.items():
        seconds, peak = run(command)
        results[name] = (os.path.getsize(out), seconds, peak)
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--update-site", default=os.path.join(REPO, "build", "bench", "update-site"))
    parser.add_argument("--corpus", default=os.path.join(REPO, "build", "deltas-corpus"))
    parser.add_argument("--work", default=tempfile.gettempdir())
    parser.add_argument("--table-mib", default="32")
    parser.add_argument("--no-launcher", action="store_true")
    args = parser.parse_args()
    for tool in ("zstd", "xdelta3", "bsdiff"):
        if not shutil.which(tool):
            sys.exit(f"bench_deltas: {tool} is missing (scripts/setup.sh installs it)")
    make = [sys.executable, os.path.join(REPO, "bench", "deltas_corpus", "make_corpus.py"), "--out", args.corpus,
            "--table-mib", args.table_mib] + (["--no-launcher"] if args.no_launcher else [])
    subprocess.run(make, check=True)
    pairs = json.load(open(os.path.join(args.corpus, "corpus.json")))

    with tempfile.TemporaryDirectory(prefix="bench-deltas-", dir=args.work) as work:
        site, with_time, with_peak = release_twice(args.update_site, pairs, args.corpus, work, "site", [])
        _, without_time, without_peak = release_twice(args.update_site, pairs, args.corpus, work, "plain", ["--no-deltas"])
        deltas, packages = published(site)
        rows = []
        for pair in pairs:
            old, new = (os.path.join(args.corpus, pair["name"], which) for which in ("old", "new"))
            listed = pair["path"].replace("/", "\\")
            rows.append((pair, os.path.getsize(new), packages[listed], deltas.get(listed), peers(old, new, work)))

    print(f"\nDeltas of {len(pairs)} pairs, in bytes (ours: what update-site build publishes; "
          f"none when not smaller than the package)\n")
    header = f"{'pair':12}{'new file':>12}{'package':>12}{'ours':>10}{'zstd -19':>10}{'zstd -st':>10}{'xdelta3':>10}" \
             f"{'bsdiff':>10}{'ours/zstd':>11}{'ours/xd3':>10}"
    print(header)
    print("-" * len(header))
    totals = [0] * 6
    worst_zstd = worst_xdelta = 0.0
    for pair, new_size, package, ours, peer in rows:
        zstd, single, xdelta, bsdiff = (peer[name][0] for name in ("zstd", "zstd-st", "xdelta3", "bsdiff"))
        # Without a delta a player fetches the package.
        fetched = ours if ours is not None else package
        for i, value in enumerate((fetched, zstd, single, xdelta, bsdiff, package)):
            totals[i] += value
        worst_zstd, worst_xdelta = max(worst_zstd, fetched / zstd), max(worst_xdelta, fetched / xdelta)
        print(f"{pair['name']:12}{new_size:>12,}{package:>12,}{(f'{ours:,}' if ours is not None else 'none'):>10}"
              f"{zstd:>10,}{single:>10,}{xdelta:>10,}{bsdiff:>10,}{fetched / zstd:>11.3f}{fetched / xdelta:>10.3f}")
    print(f"{'all':12}{'':>12}{totals[5]:>12,}" + "".join(f"{total:>10,}" for total in totals[:5]) +
          f"{totals[0] / totals[1]:>11.3f}{totals[0] / totals[3]:>10.3f}")
    print(f"\nWorst pair: ours/zstd {worst_zstd:.3f} (target at most 1.05), ours/xdelta3 {worst_xdelta:.3f} (target at most 1)")
    print("\nTime to make each delta, in seconds (peak memory, MiB):")
    for pair, _, _, _, peer in rows:
        print(f"  {pair['name']:12}" + "".join(f"  {name} {peer[name][1]:6.2f} ({peer[name][2]:5.0f})" for name in peer))
    print(f"\nupdate-site build of the new release into the site of the old one (--jobs 2):")
    print(f"  with deltas    {with_time:7.2f} s   peak {with_peak:6.0f} MiB")
    print(f"  without deltas {without_time:7.2f} s   peak {without_peak:6.0f} MiB")
    print(f"  with / without {with_time / without_time:7.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
