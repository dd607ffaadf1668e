#!/usr/bin/env python3
"""Writes the fuzz seed corpus: BCH batches with every payload alternative,
multi-block segmented SIBs, complete SIBs of every decoded type, and valid
SIB encodings drawn from the interop type model, framed into BCH blocks.

Usage: make_corpus.py OUTPUT_DIR [--sample FILE]
(standard library only; deterministic). --sample also writes a hex capture,
one batch per line, of the model-drawn SIBs.
"""
import os
import random
import sys

INTEROP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "interop")
sys.path.insert(0, INTEROP)

import per_encoder  # noqa: E402

DECODED_TYPES = per_encoder.decoded_types()


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

    @staticmethod
    def from_bits(bits):
        b = Bits()
        b.bits = list(bits)
        return b

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


def sib_bits(data):
    return [(byte >> (7 - i)) & 1 for byte in data for i in range(8)]


def frame_sib(sib, data, sfn):
    """Frames one encoded SIB into BCH blocks: complete when it fits one block,
    else a first segment, subsequent segments and a last segment."""
    bits = sib_bits(data)
    sib = min(sib, 31)  # an extension type goes as extensionType: only a cell's schedule names it
    while len(bits) > 1 and bits[-1] == 0 and len(bits) > 214:
        bits.pop()  # byte padding beyond the value is not needed

    def chunk(b):
        return Bits().extend(Bits.from_bits(b))

    if len(bits) <= 214:
        contents = Bits().put(0, 4).put(sib, 5).put(len(bits) - 1, 8).extend(Bits.from_bits(bits))
        return [block(sfn, 7, contents)]
    if len(bits) <= 226:
        padded = bits + [0] * (226 - len(bits))
        return [block(sfn, 9, Bits().put(sib, 5).extend(Bits.from_bits(padded)))]
    pieces = [bits[i:i + 222] for i in range(0, len(bits), 222)]
    if len(pieces) > 16:
        return None
    blocks = [block(sfn, 1, Bits().put(sib, 5).put(len(pieces) - 1, 4)
                    .extend(Bits.from_bits(pieces[0])))]
    for index, piece in enumerate(pieces[1:], start=1):
        last = index == len(pieces) - 1
        head = Bits().put(sib, 5).put(index - 1, 4)
        if last and len(piece) <= 214:
            blocks.append(block(sfn + index, 3, head.put(len(piece) - 1, 8)
                                .extend(Bits.from_bits(piece))))
        else:
            piece = piece + [0] * (222 - len(piece))
            blocks.append(block(sfn + index, 10 if last else 2,
                                head.extend(Bits.from_bits(piece))))
    return blocks


def model_batches(rng):
    """Valid encodings of every decoded SIB type, framed."""
    model = per_encoder.load_model()
    policies = [
        per_encoder.Policy(p_optional=0.3, p_extension=0.8),
        per_encoder.Policy(p_optional=0.7, p_extension=0.95, final_extension=0.5),
    ]
    batches = {}
    for sib in DECODED_TYPES:
        for k, policy in enumerate(policies):
            data = per_encoder.random_encoding(model, sib, rng, policy)
            blocks = frame_sib(sib, data, 200 + 20 * k)
            if blocks is not None:
                batches["model_sib%02d_%d" % (sib, k)] = b"".join(blocks)
    return batches


def main():
    out_dir = sys.argv[1]
    sample = sys.argv[3] if len(sys.argv) > 3 and sys.argv[2] == "--sample" else None
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

    model = model_batches(random.Random(7))
    seeds.update(model)
    if sample:
        with open(sample, "w") as f:
            f.write("# BCH captures, one batch of 31-byte blocks per line (hex).\n")
            f.write("# Valid SIB encodings of every decoded type, drawn at random;\n")
            f.write("# written by tests/fuzz/make_corpus.py.\n")
            for name, data in sorted(model.items()):
                f.write("# %s\n%s\n" % (name, data.hex().upper()))

    for name, data in sorted(seeds.items()):
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(data)
    print("%d seeds written to %s" % (len(seeds), out_dir))


if __name__ == "__main__":
    main()
