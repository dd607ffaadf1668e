#!/usr/bin/env python3
"""Writes the inputs of the speed benchmarks: per SIB type, valid encodings
drawn from the interop type model (deterministic seed), as

  OUT/sibNN.hex      one BCH batch per line (the SIB framed into blocks)
  OUT/sibNN.sib.hex  the same SIBs bare, one per line (for tshark and --sib)

Usage: make_inputs.py OUT_DIR [--count N] [--seed S] [--sib N ...]
Standard library only.
"""
import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))
sys.path.insert(0, os.path.join(HERE, "..", "fuzz"))

import per_encoder  # noqa: E402
from make_corpus import DECODED_TYPES, frame_sib  # noqa: E402


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--sib", type=int, action="append")
    args = parser.parse_args(argv)
    model = per_encoder.load_model(os.path.join(HERE, "..", "interop", "sib_model.json"))
    policy = per_encoder.Policy(p_optional=0.5, p_extension=0.85)
    os.makedirs(args.out, exist_ok=True)
    for sib in args.sib or DECODED_TYPES:
        rng = random.Random("%d/%d" % (args.seed, sib))
        batches, bare = [], []
        while len(batches) < args.count:
            data = per_encoder.random_encoding(model, sib, rng, policy)
            blocks = frame_sib(sib, data, rng.randrange(0, 2048 - 16))
            if blocks is None:
                continue  # longer than 16 segments
            batches.append(b"".join(blocks).hex().upper())
            bare.append(data.hex().upper())
        for suffix, lines in (("hex", batches), ("sib.hex", bare)):
            with open(os.path.join(args.out, "sib%02d.%s" % (sib, suffix)), "w") as f:
                f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
