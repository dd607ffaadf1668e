#!/usr/bin/env python3
"""Shows sibdecode's and tshark's leaves of one bare SIB side by side.

usage: explain.py --sibdecode PATH SIB HEX [--model FILE]
"""

import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import compare  # noqa: E402
import per_encoder  # noqa: E402
import sib_side  # noqa: E402
import tshark_side  # noqa: E402


def fmt_sib(leaf):
    if leaf is None:
        return ""
    v = leaf["value"]
    if isinstance(v, bytes):
        v = v.hex()
    extra = " DEFAULT" if leaf["default"] is not None else ""
    return "%s %s = %s%s" % (leaf["kind"], leaf["name"], v if leaf["kind"] != "val" else "%s" % (leaf["text"] or v), extra)


def fmt_tshark(leaf):
    if leaf is None:
        return ""
    return "%s %s = %s%s" % (leaf["kind"], leaf["name"], leaf["shown"][:60],
                             " [warn %s]" % leaf["warn"] if leaf["warn"] else "")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--sibdecode", required=True)
    ap.add_argument("--model", default=os.path.join(HERE, "sib_model.json"))
    ap.add_argument("--text", action="store_true", help="also print sibdecode's text")
    ap.add_argument("sib", type=int)
    ap.add_argument("hex")
    args = ap.parse_args()
    model = per_encoder.load_model(args.model)
    data = bytes.fromhex(args.hex)
    tres = tshark_side.run_tshark(args.sib, [data])[0]
    text = sib_side.run_sibdecode(args.sibdecode, args.sib, [data])[0]
    if args.text:
        print("\n".join(text or ["(no text)"]))
    sleaves = sib_side.text_leaves(model, args.sib, text) if text else []
    n = max(len(sleaves), len(tres["leaves"]))
    for k in range(n):
        s = sleaves[k] if k < len(sleaves) else None
        t = tres["leaves"][k] if k < len(tres["leaves"]) else None
        print("%4d  %-60s | %s" % (k, fmt_sib(s)[:60], fmt_tshark(t)))
    print("tshark errors:", tres["errors"])
    print("result:", compare.compare(sleaves, tres["leaves"], tres["errors"], len(data)))


if __name__ == "__main__":
    main()
