#!/usr/bin/env python3
"""Shrinks a fuzz corpus to its seeds plus the inputs that add most coverage.

Runs libFuzzer's -merge=1 with the seeds as the initial corpus and keeps its
control file, which lists for each input the coverage edges it adds to those
before it (seeds first, then the other inputs smallest first). Most inputs a
campaign finds add one or two edges each (one more place where a truncated
encoding stops); the kept corpus is the seeds and the MAX_ADDED inputs that
add the most edges, which keeps the function and line coverage of the whole.

Usage: minimize_corpus.py FUZZ_BINARY OUTPUT_DIR SEED_DIR INPUT_DIR...
                          [--max-added N] [-- LIBFUZZER_FLAGS]
OUTPUT_DIR is replaced; files keep their names. Standard library only.
"""
import os
import shutil
import subprocess
import sys
import tempfile


def added_edges(binary, seeds, inputs, flags):
    """[(edges added, path)] for every input, and the number of seed files."""
    with tempfile.TemporaryDirectory() as tmp:
        control = os.path.join(tmp, "control")
        initial = os.path.join(tmp, "initial")
        shutil.copytree(seeds, initial)
        subprocess.run([binary, "-merge=1", "-merge_control_file=" + control] + flags +
                       [initial] + inputs, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        with open(control) as f:
            lines = f.read().splitlines()
    count, first = int(lines[0]), int(lines[1])
    paths = lines[2:2 + count]
    gain = {}
    for line in lines[2 + count:]:
        fields = line.split()
        if fields and fields[0] == "COV":
            gain[int(fields[1])] = len(fields) - 2
    return [(gain.get(i, 0), paths[i]) for i in range(first, count)], first


def main(argv):
    flags = []
    if "--" in argv:
        flags = argv[argv.index("--") + 1:]
        argv = argv[:argv.index("--")]
    max_added = 250
    if "--max-added" in argv:
        i = argv.index("--max-added")
        max_added = int(argv[i + 1])
        del argv[i:i + 2]
    if len(argv) < 5:
        print(__doc__, file=sys.stderr)
        return 2
    binary, out_dir, seeds, inputs = argv[1], argv[2], argv[3], argv[4:]
    if os.path.realpath(out_dir) in [os.path.realpath(d) for d in [seeds] + inputs]:
        print("OUTPUT_DIR must be a folder of its own", file=sys.stderr)
        return 2
    gains, seed_count = added_edges(binary, seeds, inputs, flags)
    names = set(os.listdir(seeds))
    best = sorted((g for g in gains if g[0] > 0 and os.path.basename(g[1]) not in names),
                  key=lambda g: (-g[0], os.path.basename(g[1])))[:max_added]
    shutil.rmtree(out_dir, ignore_errors=True)
    shutil.copytree(seeds, out_dir)
    for _, path in best:
        shutil.copy(path, os.path.join(out_dir, os.path.basename(path)))
    adding = sum(1 for g in gains if g[0] > 0)
    print("%d seeds and %d of the %d inputs that add coverage (%d edges of %d) kept" %
          (seed_count, len(best), adding, sum(g for g, _ in best), sum(g for g, _ in gains)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
