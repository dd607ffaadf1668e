#!/usr/bin/env python3
"""Writes tests/data/model_sibs.txt: per decoded SIB type, valid encodings drawn
from the interop type model (deterministic), one per line as

  TYPE BARE_SIB_HEX BCH_BATCH_HEX

the bare SIB (its PER encoding) and the same SIB framed into 31-byte BCH
blocks. Rich values (most options present, whole extension chains) so that
a decode allocates records, list nodes and summary entries; for SIB11 and
SIB12 also one with every neighbour-cell list full.

Usage: make_model_sibs.py [OUTPUT]   (standard library only)
"""
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))
sys.path.insert(0, os.path.join(HERE, "..", "fuzz"))

import per_encoder  # noqa: E402
from make_corpus import DECODED_TYPES, frame_sib  # noqa: E402

PER_TYPE = 2
# Element types of the neighbour-cell lists that feed the summary record.
CELL_ELEMENTS = {"NewIntraFreqCellSI_RSCP_LCR_r4", "NewInterFreqCellSI_RSCP_LCR_r4",
                 "NewInterRATCell_B"}


def fill_cell_lists(model, t, value):
    """Grows every neighbour-cell list in `value` to its upper bound (copies of
    its first cell); True when there was one."""
    found = False
    t = per_encoder.resolve(model, t)
    if t["kind"] == "SEQUENCE OF" and t["element"].get("name") in CELL_ELEMENTS and value:
        value[:] = [value[0]] * t["ub"]
        return True
    if t["kind"] == "SEQUENCE":
        for m in t["members"]:
            if m["name"] in value:
                found |= fill_cell_lists(model, m["type"], value[m["name"]])
    elif t["kind"] == "CHOICE" and value[1] is not None and value[0] < len(t["alternatives"]):
        found |= fill_cell_lists(model, t["alternatives"][value[0]]["type"], value[1])
    elif t["kind"] == "SEQUENCE OF":
        for item in value:
            found |= fill_cell_lists(model, t["element"], item)
    return found


def many_cells(model, sib, rng):
    """A SIB11 or SIB12 whose neighbour-cell lists are full (32 cells each)."""
    root = {"kind": "ref", "name": model["roots"][str(sib)]}
    policy = per_encoder.Policy(p_optional=0.9, p_extension=1.0, max_extra_items=0)
    while True:
        value = per_encoder.random_value(model, root, rng, policy)
        if not fill_cell_lists(model, root, value):
            continue
        w = per_encoder.BitWriter()
        per_encoder.encode(model, root, value, w)
        data = w.to_bytes()
        if frame_sib(sib, data, 300) is not None:
            return data


def main(argv):
    out = argv[1] if len(argv) > 1 else os.path.join(HERE, "..", "data", "model_sibs.txt")
    model = per_encoder.load_model(os.path.join(HERE, "..", "interop", "sib_model.json"))
    policies = [
        per_encoder.Policy(p_optional=0.8, p_extension=1.0, max_extra_items=2),
        per_encoder.Policy(p_optional=0.5, p_extension=1.0, final_extension=1.0),
    ]
    lines = ["# TYPE BARE_SIB_HEX BCH_BATCH_HEX; written by tests/support/make_model_sibs.py"]
    for sib in DECODED_TYPES:
        rng = random.Random("model-sibs/%d" % sib)
        for k in range(PER_TYPE):
            while True:
                data = per_encoder.random_encoding(model, sib, rng, policies[k])
                blocks = frame_sib(sib, data, 100 + 20 * k)
                if blocks is not None:
                    break
            lines.append("%d %s %s" % (sib, data.hex().upper(), b"".join(blocks).hex().upper()))
        if sib in per_encoder.neighbour_types(model):
            data = many_cells(model, sib, rng)
            blocks = frame_sib(sib, data, 300)
            lines.append("%d %s %s" % (sib, data.hex().upper(), b"".join(blocks).hex().upper()))
    with open(out, "w") as f:
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
