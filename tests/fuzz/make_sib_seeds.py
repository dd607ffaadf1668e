#!/usr/bin/env python3
"""Writes BCH batches that carry random valid encodings of every decoded SIB
type, as seeds for the entry-point fuzzer and as sample captures.

usage: make_sib_seeds.py OUT_FOLDER [--per-type N] [--seed S] [--hex FILE]
Each seed file is one batch of 31-byte blocks; --hex also writes all batches
as hex text, one batch per line.
"""

import argparse
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))

import per_encoder  # noqa: E402

SIB_TYPES = (1, 2, 3, 4, 5, 6, 7, 11, 12, 13)
BLOCK_BITS = 246
COMPLETE_BITS = 226
SEGMENT_BITS = 222
MAX_SEGMENTS = 16


def bits_of(data):
    return [(byte >> (7 - i)) & 1 for byte in data for i in range(8)]


def block(sfn, alternative, fields, data_bits, data_size):
    """One 31-byte block: SFN prime, payload alternative, header fields, data padded to data_size."""
    w = per_encoder.BitWriter()
    w.put(sfn, 11)
    w.put(alternative, 4)
    for value, width in fields:
        w.put(value, width)
    w.bits.extend(data_bits + [0] * (data_size - len(data_bits)))
    assert len(w) == BLOCK_BITS
    return w.to_bytes()


def frame_sib(sib_type, bits, first_sfn):
    """The blocks that carry one SIB: a complete SIB, or first, subsequent and last segments."""
    if len(bits) <= COMPLETE_BITS:
        return [block(first_sfn, 9, [(sib_type, 5)], bits, COMPLETE_BITS)]
    chunks = [bits[i : i + SEGMENT_BITS] for i in range(0, len(bits), SEGMENT_BITS)][:MAX_SEGMENTS]
    count = len(chunks)
    blocks = [block(first_sfn, 1, [(sib_type, 5), (count - 1, 4)], chunks[0], SEGMENT_BITS)]
    for index in range(1, count):
        alternative = 10 if index == count - 1 else 2  # lastSegment, subsequentSegment
        blocks.append(block(first_sfn + index, alternative, [(sib_type, 5), (index - 1, 4)],
                            chunks[index], SEGMENT_BITS))
    return blocks


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("out")
    parser.add_argument("--per-type", type=int, default=3)
    parser.add_argument("--seed", type=int, default=20261207)
    parser.add_argument("--hex", help="also write every batch as a line of hex text")
    args = parser.parse_args(argv)

    model = per_encoder.load_model(os.path.join(HERE, "..", "interop", "sib_model.json"))
    rng = random.Random(args.seed)
    os.makedirs(args.out, exist_ok=True)
    lines = []
    for sib in SIB_TYPES:
        for n in range(args.per_type):
            policy = per_encoder.Policy(p_optional=rng.choice([0.2, 0.5, 0.8]))
            encoding = per_encoder.random_encoding(model, sib, rng, policy)
            batch = b"".join(frame_sib(sib, bits_of(encoding), rng.randrange(0, 2048 - MAX_SEGMENTS)))
            with open(os.path.join(args.out, "sib%02d_%d.bin" % (sib, n)), "wb") as f:
                f.write(batch)
            lines.append("# SysInfoType%d\n%s\n" % (sib, batch.hex().upper()))
    if args.hex:
        with open(args.hex, "w") as f:
            f.write("".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
