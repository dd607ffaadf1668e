#!/usr/bin/env python3
"""Writes the fuzz seed corpus: BCH batches with every payload alternative,
multi-block segmented SIBs and complete SIBs of every decoded type.

Usage: make_corpus.py OUTPUT_DIR   (standard library only; deterministic)
"""
import os
import random
import sys

DECODED_TYPES = [1, 2, 3, 4, 5, 6, 7, 11, 12, 13]


class Bits:
    def __init__(self):
        self.bits = []

    def put(self, value, width):
        for i in range(width - 1, -1, -1):
            self.bits.append((value >> i) & 1)
        return self

    def data(self, count, rng):
        self.bits.extend(rng.getrandbits(1) for _ in range(count))
        return self

    def extend(self, other):
        self.bits.extend(other.bits)
        return self

    def block(self):
        out = bytearray(31)
        for i, bit in enumerate(self.bits[:246]):
            if bit:
                out[i // 8] |= 0x80 >> (i % 8)
        return bytes(out)


def first(sib, seg_count, rng, short=None):
    b = Bits().put(sib, 5).put(seg_count - 1, 4)
    if short is None:
        return b.data(222, rng)
    return b.put(short - 1, 8).data(short, rng)


def following(sib, index, rng, short=None):
    b = Bits().put(sib, 5).put(index - 1, 4)
    if short is None:
        return b.data(222, rng)
    return b.put(short - 1, 8).data(short, rng)


def complete_list(sibs, rng):
    b = Bits().put(len(sibs) - 1, 4)
    for sib, n in sibs:
        b.put(sib, 5).put(n - 1, 8).data(n, rng)
    return b


def block(sfn, alternative, contents):
    return Bits().put(sfn, 11).put(alternative, 4).extend(contents).block()


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    rng = random.Random(25331)
    seeds = {}

    # One block per payload alternative.
    seeds["alt00_no_segment"] = block(1, 0, Bits())
    seeds["alt01_first"] = block(2, 1, first(5, 3, rng))
    seeds["alt02_subsequent"] = block(3, 2, following(5, 1, rng))
    seeds["alt03_last_short"] = block(4, 3, following(5, 2, rng, short=60))
    seeds["alt04_last_and_first"] = block(
        5, 4, following(5, 2, rng, short=40).extend(first(11, 2, rng, short=100)))
    seeds["alt05_last_and_complete"] = block(
        6, 5, following(6, 1, rng, short=30).extend(complete_list([(3, 80), (7, 40)], rng)))
    seeds["alt06_last_and_complete_and_first"] = block(
        7, 6, following(6, 2, rng, short=20).extend(complete_list([(2, 50)], rng))
        .extend(first(12, 3, rng, short=60)))
    seeds["alt07_complete_list"] = block(
        8, 7, complete_list([(13, 60), (1, 60), (4, 60)], rng))
    seeds["alt08_complete_and_first"] = block(
        9, 8, complete_list([(3, 90)], rng).extend(first(5, 2, rng, short=80)))
    seeds["alt09_complete_sib3"] = block(10, 9, Bits().put(3, 5).data(226, rng))
    seeds["alt10_last_segment"] = block(11, 10, following(5, 2, rng))
    seeds["alt15_spare"] = block(12, 15, Bits().data(231, rng))

    # A complete SIB of every decoded type.
    for sib in DECODED_TYPES:
        seeds["complete_sib%02d" % sib] = block(20 + sib, 9, Bits().put(sib, 5).data(226, rng))

    # Segmented SIBs over several blocks, in order and out of order.
    for sib, count in [(5, 3), (11, 4), (12, 2), (6, 3)]:
        blocks = [block(100, 1, first(sib, count, rng))]
        for index in range(1, count):
            alternative = 10 if index == count - 1 else 2
            blocks.append(block(100 + index, alternative, following(sib, index, rng)))
        seeds["segmented_sib%02d" % sib] = b"".join(blocks)
        seeds["segmented_sib%02d_reversed" % sib] = b"".join(reversed(blocks))
    # SFN-prime wrapping from 2047 to 0.
    seeds["wrap_2047"] = block(2047, 1, first(11, 2, rng)) + block(0, 10, following(11, 1, rng))

    for name, data in sorted(seeds.items()):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    print("%d seeds written to %s" % (len(seeds), out_dir))


if __name__ == "__main__":
    main()
