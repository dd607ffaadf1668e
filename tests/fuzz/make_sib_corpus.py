#!/usr/bin/env python3
"""Writes seeds for the bare-SIB fuzz target (fuzz_sib.cpp): one byte that
picks the SIB type (its index in DECODED_TYPES), then a valid encoding drawn
from the interop type model: random values under several policies and the
crafted shapes of per_encoder (every extension chain level, highest values,
truncated, trailing bytes).

Usage: make_sib_corpus.py OUTPUT_DIR [--per-type N]   (standard library only; deterministic)
"""
import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))

import per_encoder  # noqa: E402
from make_corpus import DECODED_TYPES  # noqa: E402


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--per-type", type=int, default=16)
    args = parser.parse_args(argv)
    model = per_encoder.load_model(os.path.join(HERE, "..", "interop", "sib_model.json"))
    policies = [
        per_encoder.Policy(p_optional=0.3, p_extension=0.8),
        per_encoder.Policy(p_optional=0.7, p_extension=1.0, final_extension=0.5),
        per_encoder.Policy(p_optional=0.5, p_extension=1.0, max_extra_items=4, p_invalid=0.05),
        # nearly every option: reaches members nested deep in the extension chains
        per_encoder.Policy(p_optional=0.9, p_extension=1.0, max_extra_items=1),
    ]
    os.makedirs(args.out, exist_ok=True)
    count = 0
    for index, sib in enumerate(DECODED_TYPES):
        rng = random.Random("sib-corpus/%d" % sib)
        seeds = []
        for k in range(args.per_type):
            seeds.append(("random%02d" % k,
                          per_encoder.random_encoding(model, sib, rng, policies[k % len(policies)])))
        seeds.extend(per_encoder.crafted_encodings(model, sib, rng))
        for name, data in seeds:
            with open(os.path.join(args.out, "sib%02d_%s" % (sib, name)), "wb") as f:
                f.write(bytes([index]) + data)
            count += 1
    print("%d seeds written to %s" % (count, args.out))


if __name__ == "__main__":
    sys.exit(main())
