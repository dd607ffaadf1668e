#!/usr/bin/env python3
"""Generates the records, Init, Decode, Release and Print functions of every
type reachable from the supported SIBs, from the RRC ASN.1 and overlay.txt.

usage: generate.py ASN1_FOLDER OUTPUT_ROOT
Writes OUTPUT_ROOT/src/rrc/generated/*, OUTPUT_ROOT/src/print/generated/*,
OUTPUT_ROOT/src/api/generated/* and OUTPUT_ROOT/tests/interop/sib_model.json.

The work is split by what it emits: model.py (the type model), records.py,
decoders.py (Init, Decode, Release), text_printers.py, json_printers.py,
sib_table.py (dispatch table, list of decoded types), model_json.py.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from decoders import emit_decoder_source  # noqa: E402
from json_printers import emit_json_header, emit_json_source  # noqa: E402
from model import SHARED_FAMILY, build_model, topo_order  # noqa: E402
from model_json import model_json  # noqa: E402
from records import emit_records  # noqa: E402
from sib_table import emit_member_steps, emit_sib_dispatch, emit_sib_types  # noqa: E402
from text_printers import emit_enum_tables, emit_print_header, emit_printer_source  # noqa: E402


def generate(asn1_folder, out_root):
    model = build_model(asn1_folder)
    order = topo_order(model)
    files = {}
    files["src/rrc/generated/rrc_types.h"] = emit_records(model, order)
    files["src/print/generated/rrc_print.h"] = emit_print_header(model, order)
    files["src/print/generated/enum_texts.cpp"] = emit_enum_tables(model)
    for family in sorted(set(model.ov.families.values()) | {SHARED_FAMILY}):
        files["src/rrc/generated/%s.cpp" % family] = emit_decoder_source(model, order, family)
        files["src/print/generated/%s_print.cpp" % family] = emit_printer_source(model, order, family)
        files["src/print/generated/%s_json.cpp" % family] = emit_json_source(model, order, family)
    files["src/print/generated/rrc_json.h"] = emit_json_header(model, order)
    files["src/api/generated/sib_dispatch.cpp"] = emit_sib_dispatch(model)
    files["src/api/generated/sib_types.h"] = emit_sib_types(model)
    files["tests/interop/sib_model.json"] = model_json(model)
    files["tests/support/generated/member_steps.cpp"] = emit_member_steps(model)
    model.check_overlay_used()
    for rel, text in files.items():
        path = os.path.join(out_root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
    return sorted(files)


def main(argv):
    if len(argv) != 3:
        sys.stderr.write(__doc__)
        return 2
    for rel in generate(argv[1], argv[2]):
        print(rel)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
