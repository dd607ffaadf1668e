"""python3 -m sibdecode.report -o report.html CAPTURE...: one HTML page of the
cells in the captures, to open in any browser, offline: the captures' counts,
the cell table, and per cell its SIBs, a neighbour graph (the serving cell,
its frequency layers by radio technology, their neighbours) and a SIB
timeline (a mark per copy received, a change of content marked), then the
decodes that stopped early and the chains dropped.

The page is one file: its style sheet and drawings (SVG written here) are
inline, it loads nothing (a Content-Security-Policy forbids it) and runs no
script. render_report() makes it from plain records (docs/records.md: cell,
neighbour and timeline records, the rows of sibdecode.cells(), neighbours()
and timeline(), as lists of dicts); main() reads the captures once, through
the same survey.

Exit status: 0 written, 1 no capture could be read (nothing written), 2 bad
arguments.
"""

import argparse
import datetime
import html
import math
import sys
from dataclasses import asdict
from typing import Any, Dict, Iterable, List, Optional, Sequence, Tuple

from . import __version__

# ---- text ----


def _esc(value: Any) -> str:
    """Text (or an attribute's value) as HTML: every value passes here."""
    return html.escape("\u2014" if value is None else str(value), quote=True)


def _num(value: Any, hexa: bool = False) -> str:
    if value is None:
        return "\u2014"
    return "%d (0x%X)" % (value, value) if hexa else str(value)


def _fit(text: str, width: float, size: float) -> str:
    """Text cut (with an ellipsis) to what a monospace font of `size` px
    writes within `width` px."""
    room = max(1, int(width / (size * _CHAR_EM)))
    return text if len(text) <= room else text[:room - 1] + "\u2026"


_CHAR_EM = 0.62  # advance of a monospace character, in em (DejaVu Sans Mono: 0.602)
_FONT = "DejaVu Sans Mono, Menlo, Consolas, monospace"


def _time(value: Optional[str]) -> Optional[datetime.datetime]:
    """An ISO 8601 time of the records ("...T09:00:00.040000Z"), or None."""
    if not value:
        return None
    try:
        time = datetime.datetime.fromisoformat(value.replace("Z", "+00:00"))
    except ValueError:
        return None
    return time if time.tzinfo is not None else time.replace(tzinfo=datetime.timezone.utc)


def _short_time(value: Optional[str]) -> str:
    """"2026-01-15 09:00:00.040" of a record's time."""
    if not value:
        return "\u2014"
    return value.replace("T", " ").rstrip("Z")[:23]


# ---- the neighbour graph ----

NODE_W, NODE_H = 138, 36  # a neighbour's box
GAP_X, GAP_Y = 8, 8  # between boxes of a layer
PAD = 8  # inside a layer's frame
HEADER_H = 22  # a layer's title
LAYER_GAP = 14  # between the layers of a side
SERVING_W, SERVING_H = 200, 70
EDGE_ROOM = 70  # between the serving cell and the layers
MARGIN = 10
MAX_COLUMNS = 5
MIN_SIDE_W = 300

# Layer order: UTRA first (intra, inter by UARFCN, SIB19's UTRA layers), then
# GSM, E-UTRA by EARFCN, other technologies.
_RATS = {"intra": "UTRA", "inter": "UTRA", "utra_layer": "UTRA", "gsm": "GSM",
         "gsm_layer": "GSM", "eutra_layer": "E-UTRA", "eutra_blacklisted": "E-UTRA",
         "other_rat": "other"}
_RAT_ORDER = {"UTRA": 0, "GSM": 1, "E-UTRA": 2, "other": 3}


def _layer_of(row: Dict[str, Any]) -> Tuple[Tuple[Any, ...], str]:
    """The sort key and title of the frequency layer a neighbour row is drawn in."""
    kind = row.get("kind")
    rat = _RATS.get(kind, "other")
    order = _RAT_ORDER[rat]
    if kind == "intra":
        return (order, 0, -1), "UTRA intra-frequency \u00b7 UARFCN %s" % _num(row.get("uarfcn"))
    if kind == "inter":
        uarfcn = row.get("uarfcn")
        return ((order, 1, -1 if uarfcn is None else uarfcn),
                "UTRA inter-frequency \u00b7 UARFCN %s" % _num(uarfcn))
    if kind == "utra_layer":
        return (order, 2, -1), "UTRA priority layers (%s)" % row.get("sib")
    if kind == "gsm":
        return (order, 0, -1), "GSM neighbours"
    if kind == "gsm_layer":
        return (order, 1, -1), "GSM priority layers (%s)" % row.get("sib")
    if kind in ("eutra_layer", "eutra_blacklisted"):
        earfcn = row.get("earfcn")
        return ((order, 0, -1 if earfcn is None else earfcn),
                "E-UTRA \u00b7 EARFCN %s" % _num(earfcn))
    return (order, 0, -1), "other technology"


def _node_lines(row: Dict[str, Any]) -> Tuple[str, str]:
    """A neighbour's two lines: what it is, and how it is told apart."""
    kind = row.get("kind")
    ident = row.get("neighbour_id")
    head = "#%s" % ident if ident is not None else ""
    if kind in ("intra", "inter"):
        if row.get("cell_parameters_id") is not None:
            second = "CPI %d" % row["cell_parameters_id"]
        elif row.get("primary_scrambling_code") is not None:
            second = "PSC %d" % row["primary_scrambling_code"]
        else:
            second = ""
        if row.get("mode"):
            second = ("%s %s" % (row["mode"], second)).strip()
        return (head or "(no ID)"), second
    if kind == "gsm":
        bsic = ("BSIC %s-%s" % (_num(row.get("ncc")), _num(row.get("bcc")))
                if row.get("ncc") is not None or row.get("bcc") is not None else "")
        return ("%s ARFCN %s" % (head, _num(row.get("gsm_arfcn")))).strip(), bsic
    if kind == "utra_layer":
        return "UARFCN %s" % _num(row.get("uarfcn")), _priority(row)
    if kind == "gsm_layer":
        return "ARFCN %s" % _num(row.get("gsm_arfcn")), _priority(row)
    if kind == "eutra_layer":
        return "EARFCN %s" % _num(row.get("earfcn")), _priority(row)
    if kind == "eutra_blacklisted":
        return "PCI %s" % _num(row.get("physical_cell_id")), "blacklisted"
    return (head or str(kind)), ""


def _priority(row: Dict[str, Any]) -> str:
    parts = []
    if row.get("priority") is not None:
        parts.append("prio %d" % row["priority"])
    if row.get("thresh_x_high") is not None or row.get("thresh_x_low") is not None:
        parts.append("thr %s/%s" % (_num(row.get("thresh_x_high")),
                                    _num(row.get("thresh_x_low"))))
    return " ".join(parts)


def _tooltip(row: Dict[str, Any], skip: Sequence[str]) -> str:
    """Every value a row gives, "key=value" one a line (for the box's <title>)."""
    return "\n".join("%s = %s" % (key, value) for key, value in row.items()
                     if value is not None and key not in skip)


class _Layer:
    def __init__(self, title: str, rows: List[Dict[str, Any]]):
        self.title = title
        self.rows = rows

    def height(self, columns: int) -> int:
        lines = -(-len(self.rows) // columns)
        return HEADER_H + 2 * PAD + lines * NODE_H + (lines - 1) * GAP_Y


def _columns(layers: Sequence[_Layer]) -> int:
    """Boxes in a line for one side: a side of n boxes is about twice as tall
    as it is wide, up to MAX_COLUMNS."""
    most = max((len(layer.rows) for layer in layers), default=1)
    return max(1, min(MAX_COLUMNS, math.ceil(math.sqrt(most / 2.0))))


def _side_width(columns: int) -> int:
    """Room for the boxes, and at least for a layer's title."""
    return max(MIN_SIDE_W, 2 * PAD + columns * NODE_W + (columns - 1) * GAP_X)


def _side_height(layers: Sequence[_Layer], columns: int) -> int:
    if not layers:
        return 0
    return sum(layer.height(columns) for layer in layers) + LAYER_GAP * (len(layers) - 1)


def _split(layers: List[_Layer]) -> int:
    """How many layers (in order) go to the left of the serving cell: the
    split that makes the taller side least tall."""
    best, best_height = 0, None
    for k in range(len(layers) + 1):
        left, right = layers[:k], layers[k:]
        height = max(_side_height(left, _columns(left)), _side_height(right, _columns(right)))
        if best_height is None or height < best_height:
            best, best_height = k, height
    return best


def _neighbour_graph(cell: Dict[str, Any], rows: List[Dict[str, Any]]) -> str:
    """The SVG of a cell's neighbours: the serving cell in the middle, its
    layers to either side, each a frame of boxes (one per neighbour row,
    <g class="nb-node">), a line from the serving cell to each layer."""
    groups: Dict[Tuple[Any, ...], _Layer] = {}
    for row in rows:
        key, title = _layer_of(row)
        groups.setdefault(key, _Layer(title, [])).rows.append(row)
    layers = [groups[key] for key in sorted(groups)]
    k = _split(layers)
    sides = [(layers[:k], _columns(layers[:k])), (layers[k:], _columns(layers[k:]))]
    widths = [_side_width(c) if side else 0 for side, c in sides]
    heights = [_side_height(side, c) for side, c in sides]
    height = max(heights + [SERVING_H]) + 2 * MARGIN
    serving_x = MARGIN + (widths[0] + EDGE_ROOM if widths[0] else 0)
    serving_y = (height - SERVING_H) // 2
    width = serving_x + SERVING_W + (EDGE_ROOM + widths[1] if widths[1] else 0) + MARGIN
    number = cell.get("cell")
    out = ['<svg class="nb-graph" data-cell="%s" width="%d" height="%d" viewBox="0 0 %d %d" '
           'font-family="%s" role="img" aria-label="%s">'
           % (_esc(number), width, height, width, height, _esc(_FONT),
              _esc("neighbours of cell %s" % number))]
    edges, boxes = [], []
    for index, (side, columns) in enumerate(sides):
        if not side:
            continue
        x0 = MARGIN if index == 0 else serving_x + SERVING_W + EDGE_ROOM
        y = (height - heights[index]) // 2
        side_width = widths[index]
        for layer in side:
            layer_height = layer.height(columns)
            # the line from the serving cell to the layer's title
            sx = serving_x if index == 0 else serving_x + SERVING_W
            sy = serving_y + SERVING_H // 2
            lx = x0 + side_width if index == 0 else x0
            ly = y + HEADER_H // 2
            mid = (sx + lx) / 2.0
            edges.append('<path class="nb-edge" d="M%d,%d C%.1f,%d %.1f,%d %d,%d" fill="none" '
                         'stroke="#8a99ad" stroke-width="1.5"/>'
                         % (sx, sy, mid, sy, mid, ly, lx, ly))
            boxes.append('<g class="nb-layer" data-rows="%d">' % len(layer.rows))
            boxes.append('<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="#f4f6f9" '
                         'stroke="#c5ceda"/>' % (x0, y, side_width, layer_height))
            title = "%s \u00b7 %d" % (layer.title, len(layer.rows))
            boxes.append('<text x="%d" y="%d" font-size="11" font-weight="bold" '
                         'fill="#33415c">%s</text>'
                         % (x0 + PAD, y + 15, _esc(_fit(title, side_width - 2 * PAD, 11))))
            for n, row in enumerate(layer.rows):
                bx = x0 + PAD + (n % columns) * (NODE_W + GAP_X)
                by = y + HEADER_H + PAD + (n // columns) * (NODE_H + GAP_Y)
                boxes.append(_node(row, bx, by))
            boxes.append('</g>')
            y += layer_height + LAYER_GAP
    out.extend(edges)
    out.extend(boxes)
    out.append(_serving_node(cell, serving_x, serving_y))
    out.append('</svg>')
    return "\n".join(out)


def _node(row: Dict[str, Any], x: int, y: int) -> str:
    kind = row.get("kind")
    fill, stroke = _KIND_COLOURS.get(kind, ("#eeeeee", "#888888"))
    dash = ' stroke-dasharray="4 2"' if kind == "eutra_blacklisted" else ""
    first, second = _node_lines(row)
    return ('<g class="nb-node" data-kind="%s" data-sib="%s" data-cell="%s">'
            '<title>%s</title>'
            '<rect x="%d" y="%d" width="%d" height="%d" rx="4" fill="%s" stroke="%s"%s/>'
            '<text x="%d" y="%d" font-size="11" fill="#1b2433">%s</text>%s</g>'
            % (_esc(kind), _esc(row.get("sib")), _esc(row.get("cell")),
               _esc("%s (%s)\n%s" % (kind, row.get("sib"),
                                     _tooltip(row, ("cell", "kind", "sib", "serving_arfcn",
                                                    "serving_cell_identity")))),
               x, y, NODE_W, NODE_H, fill, stroke, dash,
               x + 5, y + 15, _esc(_fit(first, NODE_W - 10, 11)),
               '<text x="%d" y="%d" font-size="10" fill="#46536a">%s</text>'
               % (x + 5, y + 29, _esc(_fit(second, NODE_W - 10, 10))) if second else ""))


_KIND_COLOURS = {
    "intra": ("#dbe9ff", "#4a7bd0"), "inter": ("#e3f4e1", "#4f9a48"),
    "utra_layer": ("#e3f4e1", "#4f9a48"), "gsm": ("#fff0d6", "#c98a1b"),
    "gsm_layer": ("#fff0d6", "#c98a1b"), "eutra_layer": ("#f1e4fb", "#8a4cc2"),
    "eutra_blacklisted": ("#fbe4e4", "#c24c4c"), "other_rat": ("#eeeeee", "#888888"),
}


def _serving_node(cell: Dict[str, Any], x: int, y: int) -> str:
    lines = ["cell %s \u00b7 ARFCN %s" % (_num(cell.get("cell")), _num(cell.get("arfcn"))),
             "id %s" % _num(cell.get("cell_identity_hex")),
             "RNC %s  C %s" % (_num(cell.get("rnc_id")), _num(cell.get("c_id"))),
             "PLMN %s" % _num(cell.get("plmn"))]
    out = ['<g class="nb-serving" data-cell="%s">' % _esc(cell.get("cell")),
           '<rect x="%d" y="%d" width="%d" height="%d" rx="8" fill="#1f3b63" stroke="#0f2340"/>'
           % (x, y, SERVING_W, SERVING_H)]
    for n, line in enumerate(lines):
        out.append('<text x="%d" y="%d" font-size="11" fill="#ffffff"%s>%s</text>'
                   % (x + 8, y + 16 + 15 * n, ' font-weight="bold"' if n == 0 else "",
                      _esc(_fit(line, SERVING_W - 16, 11))))
    out.append('</g>')
    return "".join(out)


# ---- the SIB timeline ----

TL_LABEL_W = 110  # the types' names
TL_PLOT_W = 820
TL_ROW_H = 20
TL_AXIS_H = 34
TL_MARK_W, TL_MARK_H, TL_CHANGE_H = 3, 10, 18
TL_TICK_PX = 10  # the time axis' labels
_EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)

# tick steps in seconds: 1, 2, 5 times a power of ten below 10 s, then a clock's
_STEPS = [base * 10.0 ** power for power in range(-3, 1) for base in (1, 2, 5)] + [
    10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200, 86400]


def _step(span: float, timed: bool) -> float:
    """The least round tick step whose labels stand apart on the axis."""
    for step in _STEPS:
        if step < 1 and not timed:
            continue
        label = len(_tick_label(_EPOCH, 0, step)) if timed else len("%d" % span)
        if step / span * TL_PLOT_W >= label * TL_TICK_PX * _CHAR_EM + 14:
            return step
    return _STEPS[-1]


def _timeline(cell_number: Any, rows: List[Dict[str, Any]]) -> str:
    """The SVG of a cell's SIBs received: a line per SIB type, a mark per copy
    (<rect class="tl-mark">), a changed copy taller and coloured (also
    class tl-change), a stopped decode hollow (tl-stopped); the time axis below."""
    types: Dict[str, int] = {}
    for row in rows:
        types.setdefault(row.get("type"), row.get("type_number"))
    order = sorted(types, key=lambda t: (types[t] if types[t] is not None else 1 << 30, str(t)))
    line_of = {t: n for n, t in enumerate(order)}
    times = [_time(row.get("time")) for row in rows]
    timed = all(t is not None for t in times) and bool(times)
    if timed:
        start = min(times)  # type: ignore[type-var]
        positions = [(t - start).total_seconds() for t in times]  # type: ignore[operator]
    else:  # no times (hex input): the order received
        start = None
        positions = [float(n) for n in range(len(rows))]
    span = max(positions, default=0.0) or 1.0
    plot_x = TL_LABEL_W
    width = TL_LABEL_W + TL_PLOT_W + 60  # room for the last tick's label
    height = len(order) * TL_ROW_H + TL_AXIS_H + 8
    counts = {t: 0 for t in order}
    for row in rows:
        counts[row.get("type")] += 1
    out = ['<svg class="tl-graph" data-cell="%s" width="%d" height="%d" viewBox="0 0 %d %d" '
           'font-family="%s" role="img" aria-label="%s">'
           % (_esc(cell_number), width, height, width, height, _esc(_FONT),
              _esc("SIB timeline of cell %s" % cell_number))]
    for t in order:
        y = line_of[t] * TL_ROW_H
        if line_of[t] % 2 == 0:
            out.append('<rect x="0" y="%d" width="%d" height="%d" fill="#f4f6f9"/>'
                       % (y, width, TL_ROW_H))
        label = "%s \u00d7%d" % (t, counts[t])
        out.append('<text x="4" y="%d" font-size="11" fill="#1b2433">%s</text>'
                   % (y + 14, _esc(_fit(label, TL_LABEL_W - 8, 11))))
    axis_y = len(order) * TL_ROW_H + 4
    out.append('<line class="tl-axis" x1="%d" y1="%d" x2="%d" y2="%d" stroke="#33415c"/>'
               % (plot_x, axis_y, plot_x + TL_PLOT_W, axis_y))
    step = _step(span, timed)
    # ticks on round times: the first multiple of the step from the start
    origin = (start - _EPOCH).total_seconds() if start is not None else 0.0
    first = math.ceil(origin / step - 1e-6) * step - origin
    for n in range(math.floor((span - first) / step + 1e-6) + 1):
        tick = first + n * step
        x = plot_x + tick / span * TL_PLOT_W
        label = _tick_label(start, tick, step) if timed else "%d" % round(tick)
        out.append('<line x1="%.1f" y1="0" x2="%.1f" y2="%d" stroke="#dde3ea"/>'
                   % (x, x, axis_y))
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#33415c"/>'
                   % (x, axis_y, x, axis_y + 5))
        out.append('<text class="tl-tick" x="%.1f" y="%d" font-size="%d" text-anchor="middle" '
                   'fill="#33415c">%s</text>' % (x, axis_y + 16, TL_TICK_PX, _esc(label)))
    caption = ("time (UTC) from %s" % start.strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
               if start is not None else "SIBs in the order received (no times)")
    out.append('<text x="%d" y="%d" font-size="10" fill="#46536a">%s</text>'
               % (plot_x, axis_y + 29, _esc(caption)))
    for row, position in zip(rows, positions):
        changed, complete = bool(row.get("changed")), row.get("complete")
        x = plot_x + position / span * TL_PLOT_W - TL_MARK_W / 2.0
        h = TL_CHANGE_H if changed else TL_MARK_H
        y = line_of[row.get("type")] * TL_ROW_H + (TL_ROW_H - h) / 2.0
        classes = "tl-mark" + (" tl-change" if changed else "") + (
            " tl-stopped" if complete is False else "")
        colour = "#d9480f" if changed else "#2b5fad"
        fill = "#ffffff" if complete is False else colour
        out.append('<rect class="%s" data-type="%s" data-version="%s" x="%.1f" y="%.1f" '
                   'width="%d" height="%d" fill="%s" stroke="%s"><title>%s</title></rect>'
                   % (classes, _esc(row.get("type")), _esc(row.get("version")), x, y,
                      TL_MARK_W, h, fill, colour,
                      _esc("%s %s version %s%s%s" % (
                          row.get("type"), _short_time(row.get("time")), row.get("version"),
                          " (changed)" if changed else "",
                          " (decode stopped early)" if complete is False else ""))))
    out.append('</svg>')
    return "\n".join(out)


def _tick_label(start: Optional[datetime.datetime], offset: float, step: float) -> str:
    """A tick's clock time, to the precision its step needs."""
    assert start is not None
    at = start + datetime.timedelta(seconds=offset)
    clock = at.strftime("%H:%M:%S")
    if step < 0.01:
        return clock + at.strftime(".%f")[:4]
    if step < 0.1:
        return clock + at.strftime(".%f")[:3]
    if step < 1:
        return clock + at.strftime(".%f")[:2]
    return clock


# ---- tables ----


def _table(headers: Sequence[str], lines: Iterable[Sequence[str]], cls: str = "") -> str:
    """A table of cells already written as HTML."""
    out = ['<table%s><thead><tr>%s</tr></thead><tbody>'
           % (' class="%s"' % cls if cls else "",
              "".join("<th>%s</th>" % _esc(h) for h in headers))]
    for line in lines:
        out.append("<tr>%s</tr>" % "".join("<td>%s</td>" % cell for cell in line))
    out.append("</tbody></table>")
    return "".join(out)


# The readers' counts (sibdecode.CaptureCounts) by name, in this order, then any other.
_COUNT_LABELS = [
    ("frames", "frames"), ("sibs_decoded", "SIBs decoded"), ("sibs_complete", "SIBs complete"),
    ("sibs_stopped", "SIBs stopped early"), ("sibs_warned", "SIBs with warnings"),
    ("sibs_not_decoded", "SIBs not decoded"), ("chains_dropped", "chains dropped"),
    ("stray_segments", "stray segments"), ("wrong_size", "packets of the wrong size"),
    ("skipped", "packets skipped"), ("skipped_link_layer", "\u2026 other link layer"),
    ("skipped_ip_fragment", "\u2026 IP fragment"), ("skipped_not_udp", "\u2026 not UDP"),
    ("skipped_other_port", "\u2026 other UDP port"), ("skipped_not_gsmtap", "\u2026 not GSMTAP"),
    ("skipped_other_message", "\u2026 other GSMTAP message"),
    ("skipped_repeated_block", "\u2026 the same block captured twice"),
]


def _source_name(source: Any) -> str:
    return source.get("file", "") if isinstance(source, dict) else str(source)


def _captures_section(counts: List[Dict[str, Any]], sources: List[Any]) -> str:
    names = [_source_name(s) for s in sources]
    by_file: Dict[str, Dict[str, Any]] = {}
    for n, record in enumerate(counts):
        name = record.get("file", names[n] if n < len(names) else "capture %d" % (n + 1))
        by_file[name] = dict(record)
        if name not in names:
            names.append(name)
    for record in by_file.values():
        if "sibs_decoded" in record and "sibs_stopped" in record:
            record.setdefault("sibs_complete", record["sibs_decoded"] - record["sibs_stopped"])
    # the causes of skipped packets only where some were
    keys = [key for key, _ in _COUNT_LABELS if any(key in r for r in by_file.values()) and (
        not key.startswith("skipped_") or any(r.get(key) for r in by_file.values()))]
    known = {key for key, _ in _COUNT_LABELS}
    for record in by_file.values():
        keys += [key for key in record if key not in known and key != "file" and key not in keys]
    labels = dict(_COUNT_LABELS)
    errors = {_source_name(s): s.get("error") for s in sources if isinstance(s, dict)}
    lines = []
    for key in keys:
        lines.append([_esc(labels.get(key, key))] + [
            _esc(by_file[name].get(key)) if name in by_file else "" for name in names])
    if any(errors.values()):
        lines.append(["not read"] + [_esc(errors.get(name) or "") for name in names])
    return ('<section id="captures"><h2>Captures</h2>%s</section>'
            % _table(["count"] + names, lines, "counts"))


def _events_section(sources: List[Any]) -> str:
    """The decodes that stopped early, the chains dropped and the capture
    faults, by capture."""
    stopped, dropped, faults = [], [], []
    for source in sources:
        if not isinstance(source, dict):
            continue
        name = _esc(source.get("file"))
        for e in source.get("stopped") or []:
            stopped.append([name, _esc(_frames(e.get("frames"))), _esc(e.get("arfcn")),
                            _esc(e.get("type")), _esc(_short_time(e.get("time"))),
                            _esc(e.get("note"))])
        for e in source.get("dropped") or []:
            dropped.append([name, _esc(_frames(e.get("frames"))), _esc(e.get("arfcn")),
                            _esc(e.get("type")), _esc(_short_time(e.get("time"))),
                            _esc(e.get("reason")), _esc(e.get("message"))])
        for e in source.get("faults") or []:
            faults.append([name, _esc(e.get("frame")), _esc(e.get("kind")),
                           _esc(e.get("message"))])
    out = ['<section id="events"><h2>Stopped decodes and dropped chains</h2>']
    out.append('<h3>Decodes stopped early (%d)</h3>' % len(stopped))
    out.append(_table(["capture", "frames", "ARFCN", "SIB", "time", "where"], stopped, "events")
               if stopped else "<p>None.</p>")
    out.append('<h3>Chains dropped (%d)</h3>' % len(dropped))
    out.append(_table(["capture", "frames", "ARFCN", "SIB", "time", "reason", "message"],
                      dropped, "events") if dropped else "<p>None.</p>")
    if faults:
        out.append('<h3>Capture faults (%d)</h3>' % len(faults))
        out.append(_table(["capture", "frame", "kind", "message"], faults, "events"))
    out.append('</section>')
    return "".join(out)


def _frames(frames: Any) -> str:
    return ",".join(map(str, frames)) if frames else "\u2014"


_CELL_HEADERS = ["cell", "ARFCN", "mode", "PLMN", "LAC", "RAC", "cell identity",
                 "RNC-ID / C-ID", "first", "last", "MIB value tag", "value tags",
                 "neighbours", "SIBs (copies / versions / changes)"]


def _cell_line(cell: Dict[str, Any]) -> List[str]:
    tags = cell.get("value_tags")
    tag_text = " ".join("%s:%s" % (k, _num(v)) for k, v in tags.items()) if tags else None
    neighbours = "intra %s \u00b7 inter %s \u00b7 GSM %s \u00b7 E-UTRA %s" % tuple(
        _num(cell.get(key)) for key in ("intra_freq_cells", "inter_freq_cells", "gsm_cells",
                                        "eutra_frequencies"))
    sibs = " ".join("%s:%s/%s/%s" % (s.get("type"), s.get("count"), _versions(s),
                                     s.get("changes")) for s in cell.get("sibs") or [])
    identity = cell.get("cell_identity")
    return [
        '<a href="#cell-%s">%s</a>' % (_esc(cell.get("cell")), _esc(cell.get("cell"))),
        _esc(cell.get("arfcn")), _esc(cell.get("mode")), _esc(cell.get("plmn")),
        _esc(_num(cell.get("lac"), True)).replace(" ", "<br>", 1), _esc(cell.get("rac")),
        "%s<br>%s" % (_esc(identity), _esc(cell.get("cell_identity_hex"))),
        "%s / %s" % (_esc(cell.get("rnc_id")), _esc(cell.get("c_id"))),
        _esc(_short_time(cell.get("first_time"))).replace(" ", "<br>", 1),
        _esc(_short_time(cell.get("last_time"))).replace(" ", "<br>", 1),
        _esc(cell.get("mib_value_tag")), _esc(tag_text), _esc(neighbours), _esc(sibs or None),
    ]


def _versions(entry: Dict[str, Any]) -> str:
    """A SIB type's distinct contents, "4096+" when more came than were told apart."""
    return "%s%s" % (_num(entry.get("versions")), "+" if entry.get("more_versions") else "")


_NEIGHBOUR_COLUMNS = ["sib", "kind", "neighbour_id", "mode", "uarfcn", "gsm_arfcn", "gsm_band",
                      "earfcn", "cell_parameters_id", "primary_scrambling_code", "ncc", "bcc",
                      "physical_cell_id", "priority", "thresh_x_high", "thresh_x_low",
                      "q_rxlev_min", "q_offset"]


def _cell_section(cell: Dict[str, Any], neighbours: List[Dict[str, Any]],
                  timeline: List[Dict[str, Any]]) -> str:
    number = cell.get("cell")
    title = "Cell %s \u00b7 ARFCN %s \u00b7 identity %s (RNC-ID %s, C-ID %s) \u00b7 PLMN %s" % (
        _num(number), _num(cell.get("arfcn")), _num(cell.get("cell_identity_hex")),
        _num(cell.get("rnc_id")), _num(cell.get("c_id")), _num(cell.get("plmn")))
    out = ['<section class="cell" id="cell-%s"><h2>%s</h2>' % (_esc(number), _esc(title))]
    tags = cell.get("value_tags") or {}
    sib_lines = [[_esc(s.get("type")), _esc(s.get("count")), _esc(_versions(s)),
                  _esc(s.get("changes")), _esc(tags.get(s.get("type")))]
                 for s in cell.get("sibs") or []]
    if sib_lines:
        out.append(_table(["SIB", "copies", "versions", "changes", "value tag (MIB)"],
                          sib_lines, "sibs"))
    out.append('<h3>Neighbours (%d)</h3>' % len(neighbours))
    if not neighbours:
        out.append('<p>No neighbour list (SIB11, SIB11bis, SIB12, SIB19) received.</p>')
    out.append('<div class="drawing">%s</div>' % _neighbour_graph(cell, neighbours))
    if neighbours:
        out.append('<details><summary>neighbour rows</summary>%s</details>' % _table(
            _NEIGHBOUR_COLUMNS, ([_esc(row.get(key)) for key in _NEIGHBOUR_COLUMNS]
                                 for row in neighbours), "rows"))
    changes = sum(1 for row in timeline if row.get("changed"))
    stopped = sum(1 for row in timeline if row.get("complete") is False)
    out.append('<h3>SIB timeline (%d received, %d changed, %d stopped early)</h3>'
               % (len(timeline), changes, stopped))
    if timeline:
        out.append('<div class="drawing">%s</div>' % _timeline(number, timeline))
        out.append('<p class="legend"><span class="key plain"></span> a copy received '
                   '<span class="key change"></span> its content changed '
                   '<span class="key stopped"></span> decode stopped early</p>')
    out.append('</section>')
    return "".join(out)


_STYLE = """
body { font: 14px/1.4 system-ui, -apple-system, "Segoe UI", "DejaVu Sans", sans-serif;
       color: #1b2433; margin: 16px 24px; }
h1 { font-size: 22px; margin: 0 0 4px; }
h2 { font-size: 17px; margin: 28px 0 8px; border-bottom: 2px solid #1f3b63; }
h3 { font-size: 14px; margin: 16px 0 6px; }
table { border-collapse: collapse; margin: 4px 0 12px; }
th, td { border: 1px solid #c5ceda; padding: 3px 7px; vertical-align: top; text-align: left; }
th { background: #e8edf3; }
table.cells td, table.counts td, table.rows td { font-family: monospace; }
table.cells td:nth-child(-n+11) { white-space: nowrap; }
table.cells td:nth-child(n+12) { min-width: 9em; }
.wide { overflow-x: auto; }
.drawing { overflow-x: auto; }
.drawing svg { display: block; }
p.meta { color: #46536a; margin: 0; }
.key { display: inline-block; width: 6px; height: 12px; margin: 0 4px 0 14px;
       vertical-align: middle; }
.key.plain { background: #2b5fad; }
.key.change { background: #d9480f; height: 18px; }
.key.stopped { border: 1px solid #2b5fad; background: #fff; }
"""


def render_report(cells: List[Dict[str, Any]], neighbours: List[Dict[str, Any]],
                  timeline: List[Dict[str, Any]], counts: List[Dict[str, Any]],
                  sources: List[Any]) -> str:
    """The page of a survey, one self-contained HTML document.

    cells, neighbours, timeline  cell, neighbour and timeline records (dicts
                                 with the keys of docs/records.md; None for absent)
    counts   per capture, its reader's closing counts (CaptureCounts' fields,
             with "file" naming the capture)
    sources  per capture, its name, or a dict: "file", "error" (why it was
             not read, or None), and lists "stopped" (dicts: type, arfcn,
             frames, time, note), "dropped" (type, arfcn, frames, time,
             reason, message) and "faults" (kind, frame, message)

    Every neighbour row is one box of its serving cell's graph and every
    timeline row one mark of its cell's timeline: rows of a cell missing from
    `cells` get a section of their own.
    """
    by_cell: Dict[Any, Tuple[List[Dict[str, Any]], List[Dict[str, Any]]]] = {}
    listed = [dict(cell) for cell in cells]
    for cell in listed:
        by_cell.setdefault(cell.get("cell"), ([], []))
    for row in neighbours:
        by_cell.setdefault(row.get("cell"), ([], []))[0].append(row)
    for row in timeline:
        by_cell.setdefault(row.get("cell"), ([], []))[1].append(row)
    known = {cell.get("cell") for cell in listed}
    for number in by_cell:
        if number not in known:
            listed.append({"cell": number})
    names = [_source_name(s) for s in sources]
    out = ['<!DOCTYPE html>\n<html lang="en"><head><meta charset="utf-8">',
           '<meta http-equiv="Content-Security-Policy" content="default-src \'none\'; '
           'style-src \'unsafe-inline\'">',
           '<meta name="viewport" content="width=device-width, initial-scale=1">',
           '<title>%s</title>' % _esc("Cell survey: " + ", ".join(names)),
           '<style>%s</style></head><body>' % _STYLE,
           '<h1>Cell survey</h1>',
           '<p class="meta">%s \u00b7 %d cell%s \u00b7 made by sibdecode %s</p>'
           % (_esc(", ".join(names) or "no capture"), len(listed),
              "" if len(listed) == 1 else "s", _esc(__version__)),
           _captures_section(counts, sources),
           '<section id="cells"><h2>Cells</h2><div class="wide">%s</div></section>'
           % _table(_CELL_HEADERS, (_cell_line(cell) for cell in listed), "cells")]
    for cell in listed:
        rows, marks = by_cell[cell.get("cell")]
        out.append(_cell_section(cell, rows, marks))
    out.append(_events_section(sources))
    out.append('</body></html>\n')
    return "\n".join(out)


# ---- captures to records ----


def survey_captures(paths: Sequence[str]) -> Tuple[Dict[str, List[Dict[str, Any]]],
                                                   List[Dict[str, Any]], List[Dict[str, Any]]]:
    """The survey of the captures, read once and in order (one survey of
    them all): its records by kind ("cells", "neighbours", "timeline", as
    sibdecode.cells() and the others give them, as dicts), then the
    captures' counts and sources as render_report takes them. A SIB is
    handed to the survey as it is read and not kept: memory grows with the
    cells and the timeline, not with the SIBs' texts and values. A capture
    that cannot be opened has its error in its source and no counts."""
    import sibdecode
    from . import _survey
    counts: List[Dict[str, Any]] = []
    sources: List[Dict[str, Any]] = []

    def inputs() -> Iterable[Any]:
        for path in paths:
            source: Dict[str, Any] = {"file": path, "error": None, "stopped": [],
                                      "dropped": [], "faults": []}
            sources.append(source)
            try:
                # the page shows values, not the SIBs' texts: the reader makes none
                reader = sibdecode.CaptureReader(path, shared_values=True, text=False)
            except sibdecode.CaptureError as error:
                source["error"] = str(error)
                continue
            with reader:
                for event in reader:
                    if isinstance(event, sibdecode.Sib):
                        yield _survey.survey_input(event)
                        if event.stop is not None and not event.stop.complete:
                            source["stopped"].append({
                                "type": str(event.type), "arfcn": event.arfcn,
                                "frames": list(event.frames or ()), "time": _iso(event.time),
                                "note": event.stop.note or event.stop.reason})
                    elif isinstance(event, sibdecode.DroppedChain):
                        source["dropped"].append({
                            "type": str(sibdecode.SibType(event.type)), "arfcn": event.arfcn,
                            "frames": list(event.frames), "time": _iso(event.time),
                            "reason": event.reason, "message": event.message})
                    else:
                        source["faults"].append({"kind": event.kind, "frame": event.frame,
                                                 "message": event.message})
                counts.append(dict(asdict(reader.counts), file=path))

    return _survey.survey_records(inputs()), counts, sources


def _iso(time: Optional[datetime.datetime]) -> Optional[str]:
    """A time as the records write it (None stays None)."""
    import sibdecode
    return None if time is None else sibdecode._iso_time(time)


def main(argv: Optional[List[str]] = None) -> int:
    parser = argparse.ArgumentParser(
        prog="python3 -m sibdecode.report",
        description="Writes one self-contained HTML page of the cells in the captures: "
        "counts, cell table, neighbour graphs and SIB timelines.")
    parser.add_argument("-o", "--output", required=True,
                        help="the HTML file to write ('-': standard output)")
    parser.add_argument("captures", nargs="+", metavar="CAPTURE",
                        help="pcap or pcapng captures of GSMTAP (one survey of them all)")
    try:
        args = parser.parse_args(argv)
    except SystemExit as stop:  # --help (0) or bad arguments (2)
        return stop.code if isinstance(stop.code, int) else 2
    records, counts, sources = survey_captures(args.captures)
    for source in sources:
        if source["error"]:
            print("%s: %s" % (parser.prog, source["error"]), file=sys.stderr)
    if not counts:
        print("%s: no capture could be read; nothing written" % parser.prog, file=sys.stderr)
        return 1
    page = render_report(records["cells"], records["neighbours"], records["timeline"], counts,
                         sources)
    if args.output == "-":
        sys.stdout.write(page)
        return 0
    try:
        with open(args.output, "w", encoding="utf-8") as out:
            out.write(page)
    except OSError as error:
        print("%s: %s: %s" % (parser.prog, args.output, error.strerror or error),
              file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
