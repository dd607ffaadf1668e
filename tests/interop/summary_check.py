#!/usr/bin/env python3
"""Checks the summary record against the values that were encoded.

Draws random valid SIB3, SIB4, SIB11 and SIB12 values from the type model (and
a few of every other type, whose summary must stay empty), encodes them, runs
`sibdecode --sib N --summary` and `sibdecode --sib N --json` and compares the
cell identity and the three neighbour-cell lists of each (the text's summary,
the JSON record's "summary") with what the drawn value says they must be.

usage: summary_check.py --sibdecode PATH [--count N] [--seed S]
"""

import argparse
import json
import os
import random
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import per_encoder  # noqa: E402

ABSENT = -65535


class Walk:
    """A value together with its model type, stepped into by member names."""

    def __init__(self, model, t, value):
        self.model = model
        self.t = per_encoder.resolve(model, t)
        self.value = value

    def member(self, name):
        """The member's Walk, or None when it is absent."""
        for m in self.t["members"]:
            if m["name"] == name:
                if name not in self.value:
                    return None
                return Walk(self.model, m["type"], self.value[name])
        raise KeyError(name)

    def has(self, name):
        """Whether the SEQUENCE type has a member of that name."""
        return any(m["name"] == name for m in self.t["members"])

    def path(self, *names):
        w = self
        for name in names:
            w = w.member(name) if w is not None else None
        return w

    def choice(self):
        """(alternative name, Walk of the alternative)."""
        index, alt_value = self.value
        alt = self.t["alternatives"][index]
        return alt["name"], Walk(self.model, alt["type"], alt_value)

    def items(self):
        return [Walk(self.model, self.t["element"], v) for v in self.value]


def optional(walk, name):
    w = walk.member(name)
    return ABSENT if w is None else w.value


# The element types whose lists feed the summary record (the overlay's element hooks),
# wherever a SIB holds such a list (SIB11 and SIB12 under their measurement control
# information, SIB11bis too).
INTRA_CELL = "NewIntraFreqCellSI_RSCP_LCR_r4"
INTER_CELL = "NewInterFreqCellSI_RSCP_LCR_r4"
RAT_CELL = "NewInterRATCell_B"


def intra_entry(cell):
    return (optional(cell, "intraFreqCellID"), cell_parameters_id(cell))


def inter_entry(cell):
    frequency = ABSENT
    info = cell.member("frequencyInfo")
    if info is not None:
        mode, alt = info.member("modeSpecificInfo").choice()
        if mode == "tdd":
            frequency = alt.member("uarfcn-Nt").value
    return (optional(cell, "interFreqCellID"), frequency, cell_parameters_id(cell))


def rat_entry(cell):
    technology, alt = cell.member("technologySpecificInfo").choice()
    arfcn = bsic = ABSENT
    if technology == "gsm":
        arfcn = alt.member("bcch-ARFCN").value
        code = alt.member("bsic")
        bsic = code.member("ncc").value * 10 + code.member("bcc").value
    return (optional(cell, "interRATCellID"), arfcn, bsic)


FED = {INTRA_CELL: ("intra", intra_entry), INTER_CELL: ("inter", inter_entry),
       RAT_CELL: ("rat", rat_entry)}


def collect_cells(model, t, value, summary):
    """Walks the value in decoding order and queues every cell of a fed list."""
    t = per_encoder.resolve(model, t)
    k = t["kind"]
    if k == "SEQUENCE OF":
        element = t["element"]
        fed = FED.get(element.get("name")) if element.get("kind") == "ref" else None
        for item in value:
            if fed is not None:
                summary[fed[0]].append(fed[1](Walk(model, element, item)))
            else:
                collect_cells(model, element, item, summary)
    elif k == "SEQUENCE":
        for m in t["members"]:
            if m["name"] in value:
                collect_cells(model, m["type"], value[m["name"]], summary)
    elif k == "CHOICE":
        index, alt_value = value
        if index < len(t["alternatives"]):
            collect_cells(model, t["alternatives"][index]["type"], alt_value, summary)


def expected_summary(model, sib, value):
    root = Walk(model, {"kind": "ref", "name": model["roots"][str(sib)]}, value)
    # The CLI prints a cell identity only for the SIB that carries it.
    summary = {"sib3": None, "sib4": None, "intra": [], "inter": [], "rat": []}
    if root.has("cellIdentity"):
        summary["sib%d" % sib] = int(root.member("cellIdentity").value, 2)
        return summary
    collect_cells(model, {"kind": "ref", "name": model["roots"][str(sib)]}, value, summary)
    return summary


def cell_parameters_id(cell):
    return optional(cell.path("cellInfo", "primaryCCPCH-Info"), "cellParametersID")


SUMMARY_RE = re.compile(r"summary: sib3\.cellIdentity = (\d+|absent), sib4\.cellIdentity = (\d+|absent)")
COUNT_RE = re.compile(r"  (intraFreqCells|interFreqCells|interRATCells): (\d+)")
ENTRY_RE = re.compile(r"    \[\d+\] (.*)")


def parse_summaries(output):
    """The summaries that `sibdecode --summary` printed, in order."""
    summaries = []
    current = None
    key = None
    for line in output.splitlines():
        m = SUMMARY_RE.match(line)
        if m:
            identities = [None if g == "absent" else int(g) for g in m.groups()]
            current = {"sib3": identities[0], "sib4": identities[1], "intra": [], "inter": [], "rat": []}
            summaries.append(current)
            continue
        m = COUNT_RE.match(line)
        if m and current is not None:
            key = {"intraFreqCells": "intra", "interFreqCells": "inter", "interRATCells": "rat"}[m.group(1)]
            continue
        m = ENTRY_RE.match(line)
        if m and current is not None and key is not None:
            current[key].append(tuple(ABSENT if v.split("=")[1].strip() == "absent" else int(v.split("=")[1])
                                      for v in m.group(1).split(",")))
    return summaries


def parse_json_summaries(output):
    """The summaries of the records that `sibdecode --json` printed, in order,
    as parse_summaries gives them."""
    def cells(entries):
        return [tuple(ABSENT if v is None else v for v in cell.values()) for cell in entries]

    summaries = []
    for line in output.splitlines():
        summary = json.loads(line)["summary"]
        lists = summary["sib11"]
        summaries.append({"sib3": summary["sib3"]["cellIdentity"],
                          "sib4": summary["sib4"]["cellIdentity"],
                          "intra": cells(lists["intraFreqCells"]),
                          "inter": cells(lists["interFreqCells"]),
                          "rat": cells(lists["interRATCells"])})
    return summaries


def run(binary, sib, encodings, output):
    """The summaries of the text (output "--summary") or of the JSON records ("--json")."""
    data = "".join(e.hex() + "\n" for e in encodings)
    proc = subprocess.run([binary, "--sib", per_encoder.type_name(sib), output], input=data.encode(),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=False)
    parse = parse_summaries if output == "--summary" else parse_json_summaries
    return parse(proc.stdout.decode("latin-1"))


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--seed", type=int, default=20261207)
    args = parser.parse_args(argv)

    model = per_encoder.load_model(os.path.join(HERE, "sib_model.json"))
    rng = random.Random(args.seed)
    passed = failed = 0
    # The types whose decoders feed the summary record, then the others (a few of each: their
    # records must stay empty).
    feeding = [sib for sib in per_encoder.decoded_types(model) if model["feeds"][str(sib)]]
    others = [sib for sib in per_encoder.decoded_types(model) if sib not in feeding]
    for sib in feeding + others:
        count = args.count if sib in feeding else max(1, args.count // 10)
        values, encodings = [], []
        root = {"kind": "ref", "name": model["roots"][str(sib)]}
        while len(values) < count:
            # lists of cells are what matter here: favour present members
            policy = per_encoder.Policy(p_optional=rng.choice([0.5, 0.7, 0.9]), max_extra_items=3)
            value = per_encoder.random_value(model, root, rng, policy)
            w = per_encoder.BitWriter()
            per_encoder.encode(model, root, value, w)
            if len(w) <= per_encoder.MAX_SIB_BITS:
                values.append(value)
                encodings.append(w.to_bytes())
        got = run(args.sibdecode, sib, encodings, "--summary")
        got_json = run(args.sibdecode, sib, encodings, "--json")
        if len(got) != len(values) or len(got_json) != len(values):
            print("SIB%d: %d summaries, %d JSON records for %d encodings"
                  % (sib, len(got), len(got_json), len(values)))
            failed += len(values)
            continue
        cells = 0
        for value, encoding, summary, summary_json in zip(values, encodings, got, got_json):
            want = expected_summary(model, sib, value)
            cells += len(want["intra"]) + len(want["inter"]) + len(want["rat"])
            if summary == want == summary_json:
                passed += 1
            else:
                failed += 1
                if failed <= 5:
                    print("SIB%d %s\n  expected %s\n  got      %s\n  JSON     %s"
                          % (sib, encoding.hex(), want, summary, summary_json))
        print("SIB%-3d %4d samples, %5d neighbour cells expected" % (sib, len(values), cells))
    print("summary: %d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
