"""The report page from survey records (render_report, no library needed):
one graph box per neighbour row and one timeline mark per timeline row, by
cell; boxes that never overlap from 1 to 100 neighbours; every text escaped;
nothing loaded from elsewhere. And `python3 -m sibdecode.report`'s exit
statuses. Run by run_tests.py (ctest)."""

import datetime
import itertools
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

import pytest

from sibdecode import report

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
SAMPLE = os.path.join(ROOT, "examples", "sample.pcap")
sys.path.insert(0, os.path.join(ROOT, "tests", "capture"))
import make_capture  # noqa: E402

NEIGHBOUR_KEYS = ["cell", "serving_arfcn", "serving_cell_identity", "sib", "kind",
                  "neighbour_id", "mode", "uarfcn", "gsm_arfcn", "gsm_band", "earfcn",
                  "cell_parameters_id", "primary_scrambling_code", "ncc", "bcc",
                  "physical_cell_id", "priority", "thresh_x_high", "thresh_x_low",
                  "q_rxlev_min", "q_offset"]
# (kind, sib) in the order a mix of neighbours cycles through them
KINDS = [("intra", "SIB11"), ("inter", "SIB11"), ("gsm", "SIB11"), ("inter", "SIB11bis"),
         ("eutra_layer", "SIB19"), ("eutra_blacklisted", "SIB19"), ("utra_layer", "SIB19"),
         ("gsm_layer", "SIB19"), ("gsm", "SIB12"), ("other_rat", "SIB11")]


def cell_record(number, identity, arfcn=10088, plmn="460-07"):
    return {"cell": number, "arfcn": arfcn, "mode": "1.28 Mcps TDD", "plmn": plmn, "lac": 0x1234,
            "rac": 7, "cell_identity": identity, "cell_identity_hex": "0x%07X" % identity,
            "rnc_id": identity >> 16, "c_id": identity & 0xFFFF,
            "first_time": "2026-01-15T09:00:00.000000Z",
            "last_time": "2026-01-15T09:00:09.000000Z", "mib_value_tag": 3,
            "value_tags": {"SIB1": 144, "SIB3": 2}, "intra_freq_cells": None,
            "inter_freq_cells": None, "gsm_cells": None, "eutra_frequencies": None,
            "sibs": [{"type": "SIB3", "type_number": 3, "count": 2, "versions": 1,
                      "changes": 0}]}


def neighbour_rows(cell, count, kinds):
    """`count` neighbour rows of a cell, their kinds cycling through `kinds`;
    inter-frequency and E-UTRA rows spread over three frequencies."""
    rows = []
    for n, (kind, sib) in zip(range(count), itertools.cycle(kinds)):
        row = dict.fromkeys(NEIGHBOUR_KEYS)
        row.update(cell=cell["cell"], serving_arfcn=cell["arfcn"],
                   serving_cell_identity=cell["cell_identity"], sib=sib, kind=kind)
        ident = n if n % 5 else 10**12 + n  # some too long for a box
        if kind in ("intra", "inter"):
            row.update(neighbour_id=ident, mode="TDD", cell_parameters_id=n % 128,
                       uarfcn=cell["arfcn"] if kind == "intra" else 10054 + n % 3)
        elif kind in ("gsm", "gsm_layer", "other_rat"):
            row.update(neighbour_id=ident, gsm_arfcn=512 + n, gsm_band="dcs1800BandUsed",
                       ncc=n % 8, bcc=(n + 3) % 8,
                       priority=n % 8 if kind == "gsm_layer" else None)
        elif kind == "utra_layer":
            row.update(uarfcn=10054 + n, mode="TDD", priority=n % 8, thresh_x_high=10,
                       thresh_x_low=4)
        else:
            row.update(earfcn=38950 + 100 * (n % 3), priority=n % 8,
                       physical_cell_id=n if kind == "eutra_blacklisted" else None)
        rows.append(row)
    return rows


def timeline_rows(cell, types, copies, change_every, every=0.08, start=0.0):
    """`copies` copies of each type, one every `every` seconds from 09:00 and
    `start` seconds; a new content every `change_every` copies (0: never)."""
    rows = []
    for k in range(copies):
        for number, name in types:
            version = 1 + (k // change_every if change_every else 0)
            at = datetime.datetime(2026, 1, 15, 9) + datetime.timedelta(seconds=start + k * every)
            rows.append({"cell": cell["cell"], "type": name, "type_number": number,
                         "time": at.strftime("%Y-%m-%dT%H:%M:%S.%fZ"),
                         "version": version,
                         "changed": bool(change_every) and k > 0 and k % change_every == 0,
                         "complete": k != 1})
    return rows


def svgs(page, cls):
    """The page's <svg class=cls> drawings, parsed (they are well-formed XML)."""
    return [ET.fromstring(m.group(0)) for m in
            re.finditer(r'<svg class="%s".*?</svg>' % cls, page, re.S)]


def box(group):
    """(x, y, width, height) of a group's frame, its first rect."""
    return tuple(float(group.find("rect").get(k)) for k in ("x", "y", "width", "height"))


def inside(inner, outer):
    return (outer[0] <= inner[0] and inner[0] + inner[2] <= outer[0] + outer[2]
            and outer[1] <= inner[1] and inner[1] + inner[3] <= outer[1] + outer[3])


def overlapping(boxes):
    return [(a, b) for a, b in itertools.combinations(boxes, 2)
            if a[0] < b[0] + b[2] and b[0] < a[0] + a[2] and a[1] < b[1] + b[3]
            and b[1] < a[1] + a[3]]


# (neighbours per cell, the kinds they cycle through, timeline (types, copies, change every))
SURVEYS = [
    ([1], KINDS[:1], ([(3, "SIB3")], 1, 0)),
    ([10], KINDS, ([(0, "MIB"), (3, "SIB3"), (11, "SIB11")], 5, 2)),
    ([100], KINDS[:1], ([(3, "SIB3"), (5, "SIB5")], 40, 7)),
    ([100], KINDS, ([(0, "MIB"), (1, "SIB1"), (11, "SIB11"), (19, "SIB19")], 120, 50)),
    ([0, 32, 7], KINDS[:3], ([(3, "SIB3"), (7, "SIB7")], 3, 0)),
    ([3], KINDS, ([(0, "MIB"), (3, "SIB3")], 100, 30, 37.0, 0.123)),
    ([3], KINDS, ([(3, "SIB3")], 7, 0, 0.003, 59.9991)),
]


@pytest.mark.parametrize("counts,kinds,timeline", SURVEYS)
def test_one_box_per_neighbour_and_one_mark_per_copy(counts, kinds, timeline):
    cells = [cell_record(n, 0x1943A17 + n) for n in range(len(counts))]
    neighbours = [row for cell, count in zip(cells, counts)
                  for row in neighbour_rows(cell, count, kinds)]
    marks = [row for cell in cells for row in timeline_rows(cell, *timeline)]
    page = report.render_report(cells, neighbours, marks, [], ["a.pcap"])
    graphs = {svg.get("data-cell"): svg for svg in svgs(page, "nb-graph")}
    lines = {svg.get("data-cell"): svg for svg in svgs(page, "tl-graph")}
    assert sorted(graphs) == sorted(lines) == sorted(str(c["cell"]) for c in cells)
    for cell, count in zip(cells, counts):
        graph = graphs[str(cell["cell"])]
        rows = [row for row in neighbours if row["cell"] == cell["cell"]]
        drawn = [g for g in graph.iter("g") if g.get("class") == "nb-node"]
        assert len(drawn) == count
        assert sorted((g.get("data-kind"), g.get("data-sib")) for g in drawn) == sorted(
            (row["kind"], row["sib"]) for row in rows)
        # no box over another; each in its layer's frame; frames and the serving cell apart
        layers = [g for g in graph.iter("g") if g.get("class") == "nb-layer"]
        serving = [g for g in graph.iter("g") if g.get("class") == "nb-serving"]
        assert len(serving) == 1
        assert overlapping([box(g) for g in drawn]) == []
        assert overlapping([box(g) for g in layers + serving]) == []
        for layer in layers:
            nodes = [g for g in layer.iter("g") if g.get("class") == "nb-node"]
            assert len(nodes) == int(layer.get("data-rows"))
            assert all(inside(box(g), box(layer)) for g in nodes)
            assert not layer.find("text").text.endswith("\u2026")  # the title whole
        whole = (0, 0, float(graph.get("width")), float(graph.get("height")))
        assert all(inside(box(g), whole) for g in layers + serving)
        # every line of a box within it: labels cut to fit
        for g in drawn + serving:
            x, _, w, _ = box(g)
            for text in g.findall("text"):
                size = float(text.get("font-size"))
                assert float(text.get("x")) + len(text.text or "") * size * 0.62 <= x + w
        mine = [row for row in marks if row["cell"] == cell["cell"]]
        drawn_marks = [r for r in lines[str(cell["cell"])].iter("rect")
                       if "tl-mark" in (r.get("class") or "").split()]
        assert len(drawn_marks) == len(mine)
        assert sorted(r.get("data-type") for r in drawn_marks) == sorted(m["type"] for m in mine)
        changes = [r for r in drawn_marks if "tl-change" in r.get("class").split()]
        assert len(changes) == sum(m["changed"] for m in mine)
        stopped = [r for r in drawn_marks if "tl-stopped" in r.get("class").split()]
        assert len(stopped) == sum(not m["complete"] for m in mine)
        # marks in time order across the plot: the first at its left end, the last at its right
        xs = [float(r.get("x")) for r in drawn_marks]
        assert min(xs) < max(xs) or len({m["time"] for m in mine}) == 1
        check_time_axis(lines[str(cell["cell"])], mine)


def check_time_axis(svg, rows):
    """Tick labels apart, within the drawing, each the time at its place on the axis."""
    times = [datetime.datetime.fromisoformat(row["time"][:-1]) for row in rows]
    start, span = min(times), (max(times) - min(times)).total_seconds() or 1.0
    marks = [r for r in svg.iter("rect") if "tl-mark" in (r.get("class") or "")]
    axis = next(line for line in svg.iter("line") if line.get("class") == "tl-axis")
    left, right = float(axis.get("x1")), float(axis.get("x2"))
    ticks = [t for t in svg.iter("text") if t.get("class") == "tl-tick"]
    assert len(ticks) >= 2 or span < 0.01
    spans = []
    for tick in ticks:
        x, size = float(tick.get("x")), float(tick.get("font-size"))
        half = len(tick.text) * size * 0.62 / 2
        spans.append((x - half, x + half))
        assert x - half >= 0 and x + half <= float(svg.get("width"))
        assert left - 0.01 <= x <= right + 0.01
        at = start + datetime.timedelta(seconds=(x - left) / (right - left) * span)
        shown = datetime.datetime.strptime(tick.text, "%H:%M:%S.%f" if "." in tick.text
                                           else "%H:%M:%S")
        decimals = len(tick.text.partition(".")[2])
        assert abs((at - at.replace(hour=shown.hour, minute=shown.minute, second=shown.second,
                                    microsecond=shown.microsecond)).total_seconds()) \
            < 0.5 * 10 ** -decimals + span / (right - left)
    spans.sort()
    assert all(a[1] <= b[0] for a, b in zip(spans, spans[1:]))
    # the first and the last copy at the axis' ends
    centres = [float(r.get("x")) + float(r.get("width")) / 2 for r in marks]
    assert abs(min(centres) - left) < 0.1 and (abs(max(centres) - right) < 0.1
                                             or len(set(times)) == 1)


def test_rows_of_a_cell_without_its_record_are_drawn():
    cell = cell_record(4, 9481748)
    rows = neighbour_rows(cell, 3, KINDS)
    marks = timeline_rows(cell, [(3, "SIB3")], 2, 0)
    page = report.render_report([], rows, marks, [], [])
    assert len(re.findall(r'class="nb-node"', page)) == 3
    assert len(re.findall(r'class="tl-mark', page)) == 2


HOSTILE = '<script>alert("x")</script>&\'"<img onerror=1>'


@pytest.mark.parametrize("where", ["plmn", "neighbour_kind", "sib_type", "file", "reason",
                                   "value_tag", "count_name"])
def test_every_text_is_escaped(where):
    cell = cell_record(0, 26489879)
    rows = neighbour_rows(cell, 2, KINDS)
    marks = timeline_rows(cell, [(3, "SIB3")], 2, 0)
    counts = [{"file": "a.pcap", "frames": 21}]
    sources = [{"file": "a.pcap", "error": None, "stopped": [], "faults": [],
                "dropped": [{"type": "SIB5", "arfcn": 1, "frames": [3], "reason": "flushed",
                             "message": "m", "time": None}]}]
    if where == "plmn":
        cell["plmn"] = HOSTILE
    elif where == "neighbour_kind":
        rows[0]["kind"] = HOSTILE
        rows[1]["gsm_band"] = HOSTILE
    elif where == "sib_type":
        marks[0]["type"] = HOSTILE
        cell["sibs"][0]["type"] = HOSTILE
    elif where == "file":
        sources[0]["file"] = counts[0]["file"] = HOSTILE
    elif where == "reason":
        sources[0]["dropped"][0]["message"] = HOSTILE
    elif where == "value_tag":
        cell["value_tags"] = {HOSTILE: HOSTILE}
    else:
        counts[0][HOSTILE] = 1
    page = report.render_report([cell], rows, marks, counts, sources)
    assert "<script" not in page and "<img" not in page and HOSTILE not in page
    assert "&lt;script&gt;" in page
    for svg in ("nb-graph", "tl-graph"):  # the drawings still parse
        assert len(svgs(page, svg)) == 1


def test_nothing_is_loaded_from_elsewhere():
    cell = cell_record(0, 26489879)
    page = report.render_report([cell], neighbour_rows(cell, 12, KINDS),
                                timeline_rows(cell, [(3, "SIB3")], 4, 2),
                                [{"file": "a.pcap", "frames": 3}], ["a.pcap"])
    assert re.search(r"https?:|//[a-z]", page, re.I) is None
    assert re.findall(r"\b(?:src|href|xlink:href)\s*=\s*\"(?!#)", page) == []
    assert "<script" not in page.lower() and "url(" not in page and "@import" not in page
    assert "default-src 'none'" in page  # the browser refuses whatever would load


@pytest.mark.parametrize("counts,shown", [
    ({"file": "a.pcap", "frames": 21, "sibs_decoded": 14, "sibs_stopped": 2, "chains_dropped": 1},
     ["21", "14", "12", "2", "1"]),
    ({"file": "a.pcap", "frames": 5, "not_a_known_count": 77}, ["5", "77"]),
    ({"file": "a.pcap", "frames": 5, "skipped": 3, "skipped_not_udp": 0, "skipped_other_port": 3},
     ["5", "3", "3"]),
])
def test_counts_shown(counts, shown):
    page = report.render_report([], [], [], [counts], ["a.pcap"])
    table = re.search(r'<table class="counts">.*?</table>', page, re.S).group(0)
    assert re.findall(r"<td>(\d+)</td>", table) == shown


TOOL = os.environ.get("SIBDECODE_CLI", "sibdecode")
COUNTS = re.compile(r"(\d+) SIBs decoded \((\d+) complete, (\d+) stopped early\).*?"
                    r"(\d+) chains dropped")


@pytest.fixture(scope="module")
def made(tmp_path_factory):
    """The capture check's captures: cells on ARFCN 0 with chains dropped, a
    packet of the wrong size, SIBs that stop early."""
    folder = tmp_path_factory.mktemp("report_captures")
    make_capture.test_captures(str(folder))
    return folder


def tool_rows(*args):
    out = subprocess.run([TOOL] + list(args), stdout=subprocess.PIPE).stdout.decode()
    return [json.loads(line) for line in out.splitlines()]


@pytest.mark.parametrize("names", [
    ["SAMPLE"], ["cells.pcap"], ["stopped.pcap"], ["wrong_size.pcap"],
    ["SAMPLE", "cells.pcap", "stopped.pcap", "wrong_size.pcap"],
])
def test_page_of_captures(names, made, tmp_path):
    """What `python3 -m sibdecode.report` writes against the tool: a graph box
    per --neighbours row, a mark per --timeline row, by cell; the stopped
    decodes and dropped chains its closing counts give."""
    captures = [SAMPLE if n == "SAMPLE" else str(made / n) for n in names]
    out = tmp_path / "r.html"
    assert report.main(["-o", str(out)] + captures) == 0
    page = out.read_text()
    cells = tool_rows("--cells", "--json", *captures)
    graphs = {svg.get("data-cell"): svg for svg in svgs(page, "nb-graph")}
    lines = {svg.get("data-cell"): svg for svg in svgs(page, "tl-graph")}
    assert sorted(graphs) == sorted(str(c["cell"]) for c in cells)
    for kind, drawings, pick in (
            ("--neighbours", graphs, lambda svg: [g for g in svg.iter("g")
                                                  if g.get("class") == "nb-node"]),
            ("--timeline", lines, lambda svg: [r for r in svg.iter("rect")
                                               if "tl-mark" in (r.get("class") or "")])):
        rows = tool_rows(kind, "--json", *captures)
        for cell, svg in drawings.items():
            assert len(pick(svg)) == sum(1 for row in rows if str(row["cell"]) == cell)
    table = re.search(r'<table class="counts">.*?</table>', page, re.S).group(0)
    shown = {row[0]: row[1:] for row in (re.findall(r"<t[dh]>([^<]*)</t[dh]>", line)
                                         for line in re.findall(r"<tr>.*?</tr>", table))}
    assert shown["count"] == captures
    stopped = dropped = 0
    for n, capture in enumerate(captures):
        err = subprocess.run([TOOL, capture], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE).stderr.decode()
        counts = list(map(int, COUNTS.search(err).groups()))
        assert [int(shown[label][n]) for label in (
            "SIBs decoded", "SIBs complete", "SIBs stopped early", "chains dropped")] == counts
        stopped, dropped = stopped + counts[2], dropped + counts[3]
    assert "Decodes stopped early (%d)" % stopped in page
    assert "Chains dropped (%d)" % dropped in page


# (arguments, exit status, what the page says of each capture: "read", "not read", or no page)
@pytest.mark.parametrize("argv,status,page", [
    ([], 2, None),
    (["only.pcap"], 2, None),
    (["-o", "{out}", "{missing}"], 1, None),
    (["-o", "{out}", "{missing}", "{folder}"], 1, None),
    (["-o", "{out}", "{missing}", "{sample}"], 0, ["not read", "read"]),
    (["-o", "-", "{sample}"], 0, ["read"]),
])
def test_exit_status(argv, status, page, tmp_path, capsys):
    names = {"out": str(tmp_path / "r.html"), "missing": str(tmp_path / "none.pcap"),
             "folder": str(tmp_path), "sample": SAMPLE}
    assert report.main([a.format(**names) for a in argv]) == status
    out, err = capsys.readouterr()
    assert ("not read" in err or "none.pcap" in err) == ("{missing}" in argv)
    if page is None:
        assert not os.path.exists(names["out"]) and out == ""
        assert err
        return
    text = out if "-" in argv else open(names["out"]).read()
    table = re.search(r'<table class="counts">.*?</table>', text, re.S).group(0)
    errors = re.search(r"<tr><td>not read</td>(.*?)</tr>", table)
    cells = re.findall(r"<td>([^<]*)</td>", errors.group(1)) if errors else [""] * len(page)
    assert ["not read" if cell else "read" for cell in cells] == page
