#!/usr/bin/env python3
"""Checks `sibdecode --json` against the text: for every SIB type, random and
model-drawn encodings (those of the interop test) are decoded twice, as text and
as JSON; every JSON line must parse, and its value tree must hold exactly the
blocks, lines and values of the text, in the same order.

How the two correspond: a block is an object (a SEQUENCE's members, a CHOICE's
one alternative); the elements "name[i]" of a list are the items of the array
"name"; "name = value" is a number, true/false, an identifier or a string of bit
digits ("???" is null); a bare name line is null (or a CHOICE's list
alternative without items, an empty array); an octet string ("3E 1C F5") is a
string of hexadecimal digits ("3E1CF5").

usage: json_check.py --sibdecode BIN [--count N] [--seed S]
Every run also checks itself: in each agreeing object it changes one value
and expects the comparison to notice.
Standard library only. Exit status 0 when all agree, 1 otherwise.
"""
import argparse
import json
import os
import re
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import per_encoder  # noqa: E402
from run_interop import make_samples  # noqa: E402
from sib_side import parse_text, run_checked, split_texts  # noqa: E402

SIB_TYPES = per_encoder.decoded_types()


def entries(obj):
    """A JSON object's members as the text lists them: arrays spread into
    "name[i]" items, nested arrays into blocks of "name[i][j]" items."""
    out = []
    for key, value in obj.items():
        out.extend(member_entries(key, value))
    return out


EMPTY_LIST = ("empty list", None)  # a list without items: no line, or its name alone
HEX_RE = re.compile(r"^(?:[0-9A-F]{2})+$")


def member_entries(key, value):
    if not isinstance(value, list):
        return [(key, value)]
    if not value:
        return [(key, EMPTY_LIST)]
    out = []
    for i, item in enumerate(value):
        name = "%s[%d]" % (key, i)
        if isinstance(item, list):
            out.append((name, ("array", member_entries(name, item))))
        else:
            out.append((name, item))
    return out


def scalar_text(value):
    if value is None:
        return "???"
    if isinstance(value, bool):
        return "True" if value else "False"
    if isinstance(value, int):
        return str(value)
    return value


def compare_block(nodes, members, path):
    """None when the text nodes and the JSON members agree, else a message."""
    j = 0
    for node in nodes:
        # A list without items prints nothing; as a CHOICE's alternative, its name alone.
        while j < len(members) and members[j][1] is EMPTY_LIST and not (
                node.kind == "name" and node.name == members[j][0]):
            j += 1
        if j >= len(members):
            return "%s: text has %r, JSON has nothing more" % (path, node.name)
        name, value = members[j]
        j += 1
        where = "%s/%s" % (path, name)
        if node.kind == "dump":
            if not isinstance(value, str) or value != node.value.hex().upper():
                return "%s: dump %s, JSON %r" % (where, node.value.hex().upper(), value)
            continue
        if node.name != name:
            return "%s: text name %r, JSON name %r" % (path, node.name, name)
        if node.kind == "block":
            if isinstance(value, dict):
                inner = entries(value)
            elif isinstance(value, tuple) and value[0] == "array":
                inner = value[1]
            else:
                return "%s: a block in the text, %r in JSON" % (where, value)
            why = compare_block(node.children, inner, where)
            if why:
                return why
        elif node.kind == "name":
            if value is not None and value is not EMPTY_LIST:
                return "%s: a name line in the text, %r in JSON" % (where, value)
        else:
            text = node.value
            if isinstance(value, str) and HEX_RE.match(value) and \
                    text == " ".join(value[i:i + 2] for i in range(0, len(value), 2)):
                continue  # an octet string: "3E 1C F5" in the text, "3E1CF5" in JSON
            if isinstance(value, str) and not (value == "" or set(value) <= {"0", "1"}) \
                    or value is None or isinstance(value, (bool, int)):
                expected = scalar_text(value)
            else:
                expected = '"%s"' % value
            if text != expected:
                return "%s: text %r, JSON %r" % (where, text, value)
    while j < len(members) and members[j][1] is EMPTY_LIST:
        j += 1
    if j < len(members):
        return "%s: JSON has %r, the text has nothing more" % (path, members[j][0])
    return None


def scalar_slots(value, slots):
    """(container, key) of every number, boolean, string and null in the tree."""
    items = value.items() if isinstance(value, dict) else enumerate(value)
    for key, item in items:
        if isinstance(item, (dict, list)):
            scalar_slots(item, slots)
        else:
            slots.append((value, key))
    return slots


def changed(value):
    if isinstance(value, bool):
        return not value
    if isinstance(value, int):
        return value + 1
    if isinstance(value, str):
        return value + "0" if set(value) <= {"0", "1"} else value + "x"
    return 0


# The keys of a SIB record, in order (docs/records.md); hex input: frames, arfcn, time null.
RECORD_KEYS = ["type", "type_number", "source", "frames", "arfcn", "time", "complete", "stop",
               "warnings", "summary", "value"]


def run(binary, sib, hexlines, json_mode):
    args = [binary, "--sib", per_encoder.type_name(sib)] + (["--json"] if json_mode else [])
    return run_checked(args, hexlines.encode())[0].decode("latin-1")


def check_sib(binary, sib, samples, rng):
    hexlines = "".join(data.hex() + "\n" for _origin, data in samples)
    texts = split_texts(run(binary, sib, hexlines, False))
    objects = [json.loads(line) for line in run(binary, sib, hexlines, True).splitlines()]
    failures = []
    stopped = 0
    if len(texts) != len(objects):
        return len(objects), ["%d texts, %d JSON objects" % (len(texts), len(objects))], 0
    for n, (lines, obj) in enumerate(zip(texts, objects)):
        if obj.get("type_number") != sib or list(obj) != RECORD_KEYS:
            failures.append("object %d: unexpected keys or type: %s" % (n, list(obj)))
            continue
        if set(obj["value"]) & {"complete", "stop", "warnings"}:
            failures.append("object %d: the decode's report among the values" % n)
            continue
        if obj["complete"] is False:
            # The JSON of a decode that stopped leaves out what was never reached, while the
            # text prints it as the zero-filled record holds it: the unit tests compare such
            # JSON with the whole SIB's JSON up to the stop.
            stopped += 1
            continue
        root = parse_text(lines)
        why = compare_block(root.children, entries(obj["value"]), per_encoder.header(sib))
        if why:
            failures.append("object %d (%s): %s" % (n, obj["source"], why))
            continue
        slots = scalar_slots(obj["value"], [])
        if slots:
            container, key = rng.choice(slots)
            container[key] = changed(container[key])
            if compare_block(root.children, entries(obj["value"]), "") is None:
                failures.append("object %d (%s): a changed value went unnoticed" % (n, obj["source"]))
    return len(objects), failures, stopped


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--count", type=int, default=200)
    parser.add_argument("--seed", type=int, default=20261207)
    args = parser.parse_args(argv)
    model = per_encoder.load_model(os.path.join(HERE, "sib_model.json"))
    total = failed = stopped = 0
    for sib in SIB_TYPES:
        samples = make_samples(model, sib, args.count, args.seed)
        count, failures, cut = check_sib(args.sibdecode, sib, samples, random.Random(sib))
        total += count
        failed += len(failures)
        stopped += cut
        print("SIB%-3d %5d JSON objects, %d disagreeing, %d stopped early (not compared)" %
              (sib, count, len(failures), cut))
        for why in failures[:3]:
            print("    " + why)
    print("json: %d agreeing, %d disagreeing, %d stopped early (not compared)" %
          (total - failed - stopped, failed, stopped))
    return 1 if failed or total == stopped else 0


if __name__ == "__main__":
    sys.exit(main())
