#!/usr/bin/env python3
"""Writes the hex capture that the Linux library and sibdecode.dll both decode.

Usage: make_batches.py OUTPUT.hex [--per-type N] [--seed S]

One batch per line: the batches of examples/sample.hex, every seed of the
fuzz corpus (each payload alternative, segmented and broken SIBs, unsupported
types), and N valid random encodings of every decoded SIB type, framed into
BCH blocks, drawn with policies that favour present members so that SIB11 and
SIB12 carry neighbour-cell lists. Standard library only; deterministic.
"""
import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "fuzz"))
sys.path.insert(0, os.path.join(ROOT, "tests", "interop"))

import make_corpus  # noqa: E402
import per_encoder  # noqa: E402
import summary_check  # noqa: E402


def sample_lines():
    with open(os.path.join(ROOT, "examples", "sample.hex")) as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield "sample", line


def corpus_lines():
    folder = os.path.join(ROOT, "tests", "fuzz", "corpus")
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        if data:
            yield "corpus " + name, data.hex().upper()


def draw(model, sib, rng):
    """One random valid SysInfoType<sib>: (value, encoding), or None when too long."""
    root = {"kind": "ref", "name": model["roots"][str(sib)]}
    policy = per_encoder.Policy(p_optional=rng.choice([0.3, 0.7, 0.9]), p_extension=0.9,
                                max_extra_items=3)
    value = per_encoder.random_value(model, root, rng, policy)
    w = per_encoder.BitWriter()
    per_encoder.encode(model, root, value, w)
    if len(w) > per_encoder.MAX_SIB_BITS:
        return None
    return value, w.to_bytes()


def has_neighbours(model, sib, value):
    cells = summary_check.expected_summary(model, sib, value)
    return any(cells[kind] for kind in ("intra", "inter", "rat"))


def model_lines(per_type, seed):
    model = per_encoder.load_model(os.path.join(ROOT, "tests", "interop", "sib_model.json"))
    rng = random.Random(seed)
    for sib in make_corpus.DECODED_TYPES:
        made = 0
        attempts = 0
        while made < per_type and attempts < 200 * per_type:
            attempts += 1
            drawn = draw(model, sib, rng)
            if drawn is None:
                continue
            value, data = drawn
            # SIB11 and SIB12: two thirds of them with neighbour cells in the summary record.
            if sib in per_encoder.neighbour_types(model) and made % 3 != 2 and not has_neighbours(model, sib, value):
                continue
            blocks = make_corpus.frame_sib(sib, data, rng.randrange(0, 3000))
            if blocks is None:
                continue  # longer than the segment count can say
            made += 1
            yield "SIB%d random %d" % (sib, made), b"".join(blocks).hex().upper()


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("output")
    ap.add_argument("--per-type", type=int, default=12)
    ap.add_argument("--seed", type=int, default=20261207)
    args = ap.parse_args()
    count = 0
    with open(args.output, "w") as out:
        out.write("# written by tests/dll/make_batches.py\n")
        for source in (sample_lines(), corpus_lines(), model_lines(args.per_type, args.seed)):
            for label, hexline in source:
                out.write("# %s\n%s\n" % (label, hexline))
                count += 1
    print("%d batches written to %s" % (count, args.output))
    return 0


if __name__ == "__main__":
    sys.exit(main())
