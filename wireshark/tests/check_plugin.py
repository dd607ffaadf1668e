#!/usr/bin/env python3
"""The Wireshark plugin in tshark, against the command-line tool.

tshark runs with the plugin in a personal plugin folder under a temporary HOME
(as the user nobody when run as root: Wireshark loads no personal plugin for
root). On examples/sample.pcap and the capture tests (two interleaved cells,
lastAndFirst, completeAndFirst and completeSIB-List blocks, dropped chains, and
copies with a segment or a block of whole SIBs captured twice) it checks that:
  - the SIBs the plugin reassembles (type, carrying frames, cell) and its
    summary fields are those of the tool's "# frames" lines and summaries, the
    drops are the tool's drops, and every earlier carrier points at the frame
    that completes its SIB;
  - the rrc.* tree under each reassembled SIB agrees with the tool's text of
    it (the interop comparison);
  - -2 -V shows what -V shows, and more: one pass shows the same SIBs at the
    same frames, and the drops, but not the notes that point at later frames
    (a segment's "reassembled in", the chains the end of the capture gives up),
    as Wireshark's own reassembly; the same with a display filter;
  - GSMTAP copies quoted in ICMP port unreachable errors are passed over;
  - the Info column of a frame that completes SIBs names them, behind
    Wireshark's own text;
  - tshark -z sibdecode,cells gives the tool's --cells counts;
  - the preferences switch the plugin off and make the capture one cell.
Hostile captures (truncated, wrong payload and UDP lengths, random GSMTAP
headers and payloads) are read without a sanitizer finding (with
--asan-runtime, for a plugin built with AddressSanitizer); for every capture,
tshark's output without the plugin's subtree is what it prints without it.

usage: check_plugin.py --plugin PATH --sibdecode PATH [--tshark PATH]
                       [--asan-runtime PATH] [--install-from BUILD_DIR]
Exit status 77 (skipped) without tshark.
"""

import argparse
import json
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "capture"))
sys.path.insert(0, os.path.join(ROOT, "tests", "interop"))

import check_capture  # noqa: E402
import compare  # noqa: E402
import make_capture  # noqa: E402
import per_encoder  # noqa: E402
import sib_side  # noqa: E402
import tshark_side  # noqa: E402

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)
    return condition


# ---- tshark with and without the plugin ----

class Tshark:
    """tshark with the plugin in a personal folder under a temporary HOME, and
    without it (a HOME of its own, no plugin)."""

    def __init__(self, tshark, plugin, workdir, asan_runtime=None):
        self.tshark = tshark
        self.asan_runtime = asan_runtime
        version = re.search(r"(\d+)\.(\d+)\.", subprocess.run(
            [tshark, "--version"], capture_output=True, text=True).stdout)
        self.home = os.path.join(workdir, "home")
        self.bare_home = os.path.join(workdir, "bare-home")
        folder = os.path.join(self.home, ".local", "lib", "wireshark", "plugins",
                              "%s.%s" % version.groups(), "epan")
        os.makedirs(folder)
        os.makedirs(self.bare_home)
        shutil.copy(plugin, os.path.join(folder, "sibdecode.so"))
        for base, dirs, files in os.walk(workdir):
            os.chmod(base, 0o777)
            for name in files:
                os.chmod(os.path.join(base, name), 0o644)
        os.chmod(workdir, 0o777)

    def run(self, *args, plugin=True, stdin=None):
        env = dict(os.environ, HOME=self.home if plugin else self.bare_home)
        env.pop("WIRESHARK_CONFIG_DIR", None)
        command = [self.tshark] + list(args) + ([] if args[0] == "-G" else ["-n"])
        if self.asan_runtime and plugin:
            env["LD_PRELOAD"] = self.asan_runtime
            env["ASAN_OPTIONS"] = "detect_leaks=0:abort_on_error=0:exitcode=99"
            env["UBSAN_OPTIONS"] = "print_stacktrace=1:halt_on_error=1:exitcode=99"
        if os.geteuid() == 0:
            command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command
        proc = subprocess.run(command, env=env, capture_output=True, timeout=600, stdin=stdin)
        stderr = proc.stderr.decode(errors="replace")
        check("AddressSanitizer" not in stderr and "runtime error" not in stderr,
              "sanitizer finding with %s: %s" % (" ".join(args), stderr[-3000:]))
        return proc.returncode, proc.stdout, stderr


# ---- what the plugin shows ----

def children(elem, name):
    return [f for f in elem.iter("field") if f.get("name") == name]


def shows(elem, name):
    return [int(f.get("show")) for f in children(elem, name)]


def summary_of(sib):
    """The plugin's summary fields in the tool's --summary form (without the zero SIB3/4 parts)."""
    intra = [tuple(shows(c, n) [0] for n in ("sibdecode.intra_freq_cell.id",
                                             "sibdecode.intra_freq_cell.cell_parameters_id"))
             for c in children(sib, "sibdecode.intra_freq_cell")]
    inter = [tuple(shows(c, n)[0] for n in ("sibdecode.inter_freq_cell.id",
                                            "sibdecode.inter_freq_cell.uarfcn",
                                            "sibdecode.inter_freq_cell.cell_parameters_id"))
             for c in children(sib, "sibdecode.inter_freq_cell")]
    gsm = [tuple(shows(c, n)[0] for n in ("sibdecode.gsm_cell.id", "sibdecode.gsm_cell.bcch_arfcn",
                                          "sibdecode.gsm_cell.bsic"))
           for c in children(sib, "sibdecode.gsm_cell")]
    return {"cell_identity": (shows(sib, "sibdecode.cell_identity") or [0])[0],
            "intra": intra, "inter": inter, "gsm": gsm}


def plugin_view(tshark, path, *options):
    """(sibs, segments, drops) of `tshark -2 -T pdml`, in frame order."""
    rc, out, err = tshark.run("-r", path, "-2", "-T", "pdml", *options)
    check(rc == 0, "%s: tshark -T pdml exit %d: %s" % (path, rc, err[-500:]))
    sibs, segments, drops = [], [], []
    for packet in ET.fromstring(out).iter("packet"):
        frame = int(next(f for f in packet.iter("field") if f.get("name") == "num").get("show"))
        for proto in packet.iter("proto"):
            if proto.get("name") != "sibdecode":
                continue
            for item in proto:
                name = item.get("name")
                if name == "sibdecode.sib":
                    rrc = children(item, "sibdecode.rrc")
                    name_field = children(item, "sibdecode.sib_type")[0]
                    sibs.append({
                        "frame": frame, "type": shows(item, "sibdecode.sib_type")[0],
                        "name": re.match(r"SIB type: (\S+) \(", name_field.get("showname")).group(1),
                        "cell": shows(item, "sibdecode.cell")[0],
                        "frames": shows(item, "sibdecode.frame"),
                        "decoded": shows(item, "sibdecode.decoded")[0] == 1,
                        "complete_shown": (shows(item, "sibdecode.complete") or [None])[0] == 1
                        if children(item, "sibdecode.complete") else None,
                        "report": next((f.get("show") for f in children(item, "sibdecode.report")),
                                       None),
                        "length": shows(item, "sibdecode.sib_length")[0],
                        "summary": summary_of(item), "rrc": rrc[0] if rrc else None})
                elif name == "sibdecode.segment":
                    segments.append((frame, shows(item, "sibdecode.segment.sib_type")[0],
                                     shows(item, "sibdecode.cell")[0],
                                     shows(item, "sibdecode.segment.index")[0],
                                     shows(item, "sibdecode.segment.count")[0],
                                     shows(item, "sibdecode.reassembled_in")[0]))
                elif name == "sibdecode.drop":
                    drops.append((shows(item, "sibdecode.drop.sib_type")[0],
                                  shows(item, "sibdecode.cell")[0],
                                  shows(item, "sibdecode.drop.reason")[0],
                                  shows(item, "sibdecode.drop.frame")))
    return sibs, segments, drops


# ---- what the tool prints ----

DROP_LINE = re.compile(r": frames ([0-9,]+): (\S+) on ARFCN (\d+) dropped: (.*)$", re.M)
REPORT_LINE = re.compile(
    r": frames ([0-9,]+): (\S+) on ARFCN \d+ ((?:stopped|warning) at bit .*)$", re.M)


def type_of_name(name):
    """The SIB type number of a name the tool prints ("SIB3", "MIB", "SIB11bis")."""
    names = per_encoder.load_model()["names"]
    return next(int(number) for number, n in names.items() if n == name)


def type_of_header(header):
    """The SIB type number of a text's first word ("SysInfoType3", "MasterInformationBlock")."""
    headers = per_encoder.load_model()["headers"]
    return min(int(number) for number, h in headers.items() if h == header)
DROP_REASONS = {"a new first segment of the same SIB type came first": 1,
                "a segment is missing or repeated": 2,
                "the capture ended before its last segment": 3,
                "its next segment came too late for its cell's schedule": 4,
                "its cell sent nothing for it too long, or too many cells had SIBs pending": 5}
SUMMARY_RE = re.compile(r"^summary: sib3.cellIdentity = (\d+|absent), sib4.cellIdentity = (\d+|absent)$",
                        re.M)
CELL_RE = re.compile(r"^    \[\d+\] \w+ = (-?\d+|absent), \w+ = (-?\d+|absent)(?:, \w+ = (-?\d+|absent))?$")
ABSENT = -65535  # what the record holds where the tool prints "absent"


def tool_number(value):
    return ABSENT if value == "absent" else int(value)


def tool_summary(body):
    text = body.decode("latin-1")
    m = SUMMARY_RE.search(text)
    lists = {"intra": [], "inter": [], "gsm": []}
    current = None
    for line in text[m.end():].splitlines():
        for key, title in (("intra", "  intraFreqCells:"), ("inter", "  interFreqCells:"),
                           ("gsm", "  interRATCells:")):
            if line.startswith(title):
                current = key
        cell = CELL_RE.match(line)
        if cell:
            lists[current].append(tuple(tool_number(v) for v in cell.groups() if v is not None))
    identities = [int(v) for v in m.groups() if v != "absent"]
    return {"cell_identity": identities[0] if identities else 0, **lists}


def tool_view(sibdecode, path):
    """[(frames, arfcn, type, text lines, summary, decode note)] and drops of
    `sibdecode --summary`."""
    proc = subprocess.run([sibdecode, "--summary", path], capture_output=True)
    sibs = []
    stderr = proc.stderr.decode()
    notes = {(tuple(int(f) for f in frames.split(",")), type_of_name(sib)): note
             for frames, sib, note in REPORT_LINE.findall(stderr)}
    for frames, arfcn, body in check_capture.split_sibs(proc.stdout):
        lines = sib_side.split_texts(body.decode("latin-1"))[0]
        sib = type_of_header(sib_side.HEADER_RE.match(lines[0]).group(1))
        sibs.append((frames, arfcn, sib, lines, tool_summary(body), notes.get((tuple(frames), sib))))
    drops = sorted((type_of_name(t), int(a), DROP_REASONS[why], [int(f) for f in frames.split(",")])
                   for frames, t, a, why in DROP_LINE.findall(stderr))
    return sibs, drops


# ---- the checks ----

def check_against_tool(tshark, sibdecode, model, path):
    name = os.path.basename(path)
    sibs, segments, drops = plugin_view(tshark, path)
    tool_sibs, tool_drops = tool_view(sibdecode, path)
    decoded = [s for s in sibs if s["decoded"]]
    check([(s["frames"], s["cell"], s["type"]) for s in decoded] ==
          [(frames, arfcn, sib) for frames, arfcn, sib, _, _, _ in tool_sibs],
          "%s: the plugin's SIBs differ from the tool's" % name)
    check(all(s["frame"] == s["frames"][-1] for s in sibs),
          "%s: a SIB shown in another frame than its last" % name)
    check(sorted(drops) == tool_drops, "%s: drops %s, the tool's %s" % (name, drops, tool_drops))
    expected_segments = sorted((f, s["type"], s["cell"], k + 1, len(s["frames"]), s["frame"])
                               for s in sibs for k, f in enumerate(s["frames"][:-1]))
    check(sorted(segments) == expected_segments, "%s: segment references differ" % name)
    agreeing = 0
    stopped = 0
    for s, (_, _, sib, lines, summary, note) in zip(decoded, tool_sibs):
        what = "%s: SIB%d in frames %s" % (name, sib, s["frames"])
        check(s["report"] == note, "%s: decode report %r, the tool's %r" % (what, s["report"], note))
        if note is not None and note.startswith("stopped"):
            stopped += 1  # tshark's tree of a cut SIB is not the text's
            continue
        if model["feeds"].get(str(s["type"])):  # the types that fill the summary record
            check(s["summary"] == summary, "%s: summary %s, the tool's %s" %
                  (what, s["summary"], summary))
        walk = tshark_side.PacketWalk()
        walk.walk(s["rrc"])
        result = compare.compare(sib_side.text_leaves(model, sib, lines), walk.leaves,
                                 walk.errors, s["length"])
        check(result["ok"] and result["compared"] > 0,
              "%s: rrc.* values disagree with the text: %s" % (what, result))
        agreeing += result["ok"]
    print("%s: %d SIBs (%d decoded, %d stopped, rrc.* agreeing %d), %d segment references, "
          "%d drops" % (name, len(sibs), len(decoded), stopped, agreeing, len(segments), len(drops)))
    return sibs, drops


def sibdecode_blocks(text):
    """{frame: [subtree lines of the plugin's tree]} of `tshark -V` output."""
    blocks, frame, current = {}, None, None
    for line in text.decode("latin-1").splitlines():
        m = re.match(r"^Frame (\d+): ", line)
        if m:
            frame, current = int(m.group(1)), None
        elif line == "SIB reassembly (sibdecode)":
            current = blocks.setdefault(frame, [])
        elif current is not None and line.startswith("    "):
            if not line.startswith("     "):
                current.append([])
            current[-1].append(line)
        else:
            current = None
    return blocks


def needs_second_pass(subtree):
    """Segment references and chains given up at the end point into later frames."""
    return subtree[0].lstrip(" [").startswith("Segment ") or "the capture ended" in subtree[0]


def one_pass(tshark, path, how, *options):
    """tshark -r PATH, or the capture on standard input: the file itself, a pipe,
    or a live capture from a pipe that sends the second half a second later."""
    if how == "file":
        return tshark.run("-r", path, *options)[1]
    if how == "live":  # dumpcap, tshark's child, writes the file that tshark reads
        header, records = make_capture.pcap_records(path)
        half = len(records) // 2
        read_end, write_end = os.pipe()

        def feed():
            with os.fdopen(write_end, "wb") as pipe:
                pipe.write(header + b"".join(records[:half]))
                pipe.flush()
                time.sleep(1)
                pipe.write(b"".join(records[half:]))

        feeder = threading.Thread(target=feed)
        feeder.start()
        with os.fdopen(read_end, "rb") as pipe:
            out = tshark.run("-i", "-", *options, stdin=pipe)[1]
        feeder.join()
        return out
    with open(path, "rb") as f:
        if how == "stdin":
            return tshark.run("-r", "-", *options, stdin=f)[1]
        feeder = subprocess.Popen(["cat"], stdin=f, stdout=subprocess.PIPE)
        out = tshark.run("-r", "-", *options, stdin=feeder.stdout)[1]
        feeder.wait()
        return out


def check_passes(tshark, path, options, how):
    """-V against -2 -V: one pass shows the same subtrees but for the notes
    that point at later frames; the same with -Y."""
    name = "%s %s (%s)" % (os.path.basename(path), " ".join(options), how)
    single = sibdecode_blocks(one_pass(tshark, path, how, "-V", *options))
    _, two_pass, _ = tshark.run("-r", path, "-2", "-V", *options)
    double = sibdecode_blocks(two_pass)
    check(any(single.values()), "%s: no plugin tree with -V" % name)
    check(any(needs_second_pass(t) for trees in double.values() for t in trees),
          "%s: nothing that points at later frames" % name)
    check(not any(needs_second_pass(t) for trees in single.values() for t in trees),
          "%s: one pass points at later frames" % name)
    for frame in sorted(set(single) | set(double)):
        kept = [t for t in double.get(frame, []) if not needs_second_pass(t)]
        check(single.get(frame, []) == kept, "%s: frame %d: -V and -2 -V differ" % (name, frame))
    sib11 = ["-Y", "sibdecode.sib_type == 11"]
    for passes in ([], ["-2"]):
        if passes:
            shown = sibdecode_blocks(tshark.run("-r", path, "-V", *(options + passes + sib11))[1])
        else:
            shown = sibdecode_blocks(one_pass(tshark, path, how, "-V", *(options + sib11)))
        reference = double if passes else single
        with_sib11 = {f for f, trees in reference.items()
                      if any(t[0].lstrip(" [").startswith("SIB type 11, reassembled") for t in trees)}
        check(set(shown) == with_sib11 and all(shown[f] == reference[f] for f in shown),
              "%s: %s shows other frames or subtrees" % (name, " ".join(passes + sib11)))


def check_info_column(tshark, path, sibs):
    """The Info column of each frame that completes SIBs ends with their names,
    the segmented ones with the frames they were reassembled from."""
    _, out, _ = tshark.run("-r", path)
    lines = {int(line.split()[0]): line for line in out.decode("latin-1").splitlines()}
    by_frame = {}
    for s in sibs:
        by_frame.setdefault(s["frame"], []).append(
            s["name"] + (" (reassembled from %d-%d)" % (s["frames"][0], s["frames"][-1])
                         if len(s["frames"]) > 1 else ""))
    for frame, names in sorted(by_frame.items()):
        check(lines.get(frame, "").endswith(") " + ", ".join(names)) or
              lines.get(frame, "").endswith("BCH " + ", ".join(names)),
              "%s: frame %d Info %r, expected it to end with %r" %
              (os.path.basename(path), frame, lines.get(frame), ", ".join(names)))


CELLS_ROW = re.compile(r"^(\d+) \|([^|]*)\|([^|]*)\|([^|]*)\|\s*(\d+) \|$", re.M)


def check_cells_table(tshark, sibdecode, path, sibs, drops, options=()):
    """tshark -z sibdecode,cells: row by row the cells of `sibdecode --cells`
    (told apart by ARFCN, identity and PLMN): identity, PLMN, the counts and
    versions of the decoded types, and the ARFCN's drops in its latest row."""
    name = os.path.basename(path)
    rc, out, err = tshark.run("-r", path, "-q", "-z", "sibdecode,cells", *options)
    table = [(int(a), i.strip(), p.strip(), s.split(), int(d))
             for a, i, p, s, d in CELLS_ROW.findall(out.decode("latin-1"))]
    tool_out = subprocess.run([sibdecode, "--cells", "--json", path], capture_output=True).stdout
    cells = [json.loads(line) for line in tool_out.splitlines()]
    latest = {cell["arfcn"]: k for k, cell in enumerate(cells)}
    tool = [(cell["arfcn"], "" if cell["cell_identity"] is None else str(cell["cell_identity"]),
             cell["plmn"] or "",
             ["%s:%d/%d" % (s["type"], s["count"], s["versions"]) for s in cell["sibs"]],
             sum(1 for d in drops if d[1] == cell["arfcn"]) if latest[cell["arfcn"]] == k else 0)
            for k, cell in enumerate(cells)]
    decoded_names = {s["name"] for s in sibs if s["decoded"]}
    shown = [(a, i, p, [f for f in s if f.split(":")[0] in decoded_names], d)
             for a, i, p, s, d in table]
    check(rc == 0 and shown == tool,
          "%s: cells table %s, the tool's %s: %s" % (name, shown, tool, err))
    return table


SIB_NAME = r"(?:MIB|SIB[0-9.]+(?:bis|ter)?|SB[12]|extensionType)"
INFO_SIBS = re.compile(r" %s(?: \(reassembled from \d+-\d+\))?(?:, %s(?: \(reassembled from "
                       r"\d+-\d+\))?)*$" % (SIB_NAME, SIB_NAME))


def without_plugin_tree(text):
    """tshark's output without the plugin's subtree and what it adds to the Info column."""
    kept, skipping = [], False
    for line in text.decode("latin-1").splitlines():
        line = INFO_SIBS.sub("", line)
        if line == "SIB reassembly (sibdecode)":
            skipping = True
            continue
        if skipping and line.startswith("    "):
            continue
        skipping = False
        kept.append(line)
    return kept


def check_others_unchanged(tshark, path):
    """tshark prints every packet as it does without the plugin, but for the plugin's tree."""
    name = os.path.basename(path)
    for options in (["-2", "-V"], []):
        _, with_plugin, _ = tshark.run("-r", path, *options)
        _, without, _ = tshark.run("-r", path, *options, plugin=False)
        check(without_plugin_tree(with_plugin) == without_plugin_tree(without),
              "%s: tshark %s prints other packets differently with the plugin" %
              (name, " ".join(options)))


# ---- captures ----

def captured_twice(path, frame, out):
    """The capture with `frame` captured twice, the copy right behind it."""
    header, records = make_capture.pcap_records(path)
    records.insert(frame, records[frame - 1])
    with open(out, "wb") as f:
        f.write(header + b"".join(records))
    os.chmod(out, 0o644)


def on_other_port(path, out, port):
    """The Ethernet and IPv4 capture with its GSMTAP sent to another UDP port."""
    header, records = make_capture.pcap_records(path)
    with open(out, "wb") as f:
        f.write(header + b"".join(r[:16 + 36] + struct.pack(">H", port) + r[16 + 38:]
                                  for r in records))


def cut_captures(sample, sample_sibs, model, rng, workdir):
    """The sample ended inside a segmented SIB (the chain is given up at the end), and a
    cell's first segment of a SIB11 followed by the later segments of its next SIB11,
    too far behind in SFN-prime to continue the chain."""
    header, records = make_capture.pcap_records(sample)
    segmented = [s for s in sample_sibs if len(s["frames"]) >= 3]
    ended = os.path.join(workdir, "ended_early.pcap")
    with open(ended, "wb") as f:
        f.write(header + b"".join(records[:segmented[0]["frames"][1]]))

    cell = make_capture.Cell(10088, make_capture.cell_sibs(model, rng, [0, 11, 5, 12, 5, 12, 5, 12, 11]),
                             700)
    first, second = [n for n, sib in enumerate(cell.sibs) if sib.type == 11]
    blocks = [b for b in cell.blocks if (first, "first") in b.carried] + \
        [b for b in cell.blocks if any(n == second and role in ("next", "last")
                                       for n, role in b.carried)]
    # the second SIB11's segments come more than 16 SFN-prime steps after the first's
    assert blocks[1].sfn - blocks[0].sfn > 16, [b.sfn for b in blocks]
    late = os.path.join(workdir, "too_late.pcap")
    packets = []
    for n, block in enumerate(blocks):
        datagram = make_capture.udp(make_capture.gsmtap(cell.arfcn, 2 * block.sfn, block.data))
        linktype, packet = make_capture.frame("ethernet", datagram, n)
        packets.append((make_capture.BASE_TIME * 1000000 + n * make_capture.TTI_US, packet))
    make_capture.write_pcap(late, linktype, packets)
    return ended, late


def hostile_captures(workdir, cells, rng):
    """Truncated captures, wrong payload and UDP lengths, random GSMTAP headers and payloads."""
    paths = []
    with open(cells, "rb") as f:
        data = f.read()
    for n, cut in enumerate(sorted(rng.sample(range(25, len(data)), 6))):
        paths.append(os.path.join(workdir, "cut%d.pcap" % n))
        with open(paths[-1], "wb") as f:
            f.write(data[:cut])
    packets = []
    header, records = make_capture.pcap_records(cells)
    for i in range(400):
        kind = rng.randrange(6)
        size = 31 if kind < 3 else rng.choice([0, rng.randrange(1, 70)])
        payload = bytes(rng.randrange(256) for _ in range(size))
        if kind == 0:  # a real block with flipped bits
            real = records[rng.randrange(len(records))][16 + 58:16 + 89]
            payload = bytes(b ^ (1 << rng.randrange(8)) if rng.random() < 0.05 else b for b in real)
        gsm = bytearray(make_capture.gsmtap(rng.choice([0, 10054, 0xC000 | 9]), i, payload))
        if kind == 4:  # header length, version and type bytes at random
            for at in (0, 1, 2, 12):
                if rng.random() < 0.5:
                    gsm[at] = rng.randrange(256)
        datagram = bytearray(make_capture.udp(bytes(gsm)))
        if kind == 5:  # a UDP length that lies
            struct.pack_into(">H", datagram, 4, rng.randrange(0, 120))
        linktype, packet = make_capture.frame("ethernet", bytes(datagram), i)
        length = len(packet)
        if rng.random() < 0.1:  # cut by the capture's snapshot length
            packet = packet[:rng.randrange(len(packet))]
        packets.append(struct.pack("<IIII", make_capture.BASE_TIME, i, len(packet), length) + packet)
    paths.append(os.path.join(workdir, "random_gsmtap.pcap"))
    with open(paths[-1], "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, linktype) + b"".join(packets))
    return paths


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--tshark")
    parser.add_argument("--asan-runtime")
    parser.add_argument("--install-from")
    args = parser.parse_args()
    if not args.tshark:
        print("tshark not found: skipped")
        return 77
    model = per_encoder.load_model(os.path.join(ROOT, "tests", "interop", "sib_model.json"))
    rng = random.Random(4729)

    workdir = tempfile.mkdtemp(prefix="sibdecode-plugin-")
    try:
        tshark = Tshark(args.tshark, args.plugin, workdir, args.asan_runtime)
        if args.asan_runtime:
            # tshark -G plugins does not return with the sanitizer runtime loaded
            # (with or without this plugin): the protocol list shows it loaded.
            _, protocols, _ = tshark.run("-G", "protocols")
            check(re.search(rb"^SIB reassembly \(sibdecode\)\tsibdecode\t", protocols, re.M),
                  "tshark -G protocols does not list the plugin's protocol")
        else:
            _, plugins, _ = tshark.run("-G", "plugins")
            check(re.search(rb"^sibdecode\.so\s+0\.1\.0\s+dissector\s", plugins, re.M),
                  "tshark -G plugins does not list the plugin: %r" % plugins)

        captures = os.path.join(workdir, "captures")
        make_capture.test_captures(captures)
        shutil.copy(os.path.join(ROOT, "examples", "sample.pcap"), captures)
        with open(os.path.join(captures, "expected.json")) as f:
            expected = json.load(f)
        # lastAndFirst, completeAndFirst, completeSIB-List and more among the blocks
        check({4, 5, 6, 8}.issubset(expected["alternatives"]),
              "the capture lacks shared blocks: %s" % expected["alternatives"])
        cells = os.path.join(captures, "cells.pcap")
        # a middle segment of a three-block (or longer) SIB captured twice
        frame = next(s for s in expected["sibs"] if len(s["frames"]) >= 3)["frames"][1]
        captured_twice(cells, frame, os.path.join(captures, "captured_twice.pcap"))
        hostile = hostile_captures(captures, cells, rng)
        # a Release 9 cell: SIB11bis and SIB19 sent as extensionType, named by the MIB
        make_capture.extension_types(os.path.join(captures, "extension_types.pcap"))
        os.chmod(captures, 0o777)
        for name in os.listdir(captures):
            os.chmod(os.path.join(captures, name), 0o644)

        results = {}
        for name in ("sample.pcap", "cells.pcap", "cells_cooked_ipv6.pcapng",
                     "cells_raw_ipv4.pcap", "wrong_size.pcap", "captured_twice.pcap",
                     "stopped.pcap", "extension_types.pcap"):
            results[name] = check_against_tool(tshark, args.sibdecode, model,
                                               os.path.join(captures, name))
        ended, late = cut_captures(os.path.join(captures, "sample.pcap"),
                                   results["sample.pcap"][0], model, rng, captures)
        for path, reason in ((ended, 3), (late, 4)):
            os.chmod(path, 0o644)
            _, drops = check_against_tool(tshark, args.sibdecode, model, path)
            check([d[2] for d in drops] == [reason], "%s: drops %s" % (path, drops))
        # The copy of a segment, or of a block of whole SIBs, is passed over: the
        # same SIBs, later frames one on.
        whole = next(s["frames"][0] for s in results["sample.pcap"][0] if len(s["frames"]) == 1)
        captured_twice(os.path.join(captures, "sample.pcap"), whole,
                       os.path.join(captures, "sample_twice.pcap"))
        results["sample_twice.pcap"] = check_against_tool(
            tshark, args.sibdecode, model, os.path.join(captures, "sample_twice.pcap"))
        for name, original, copied in (("captured_twice.pcap", "cells.pcap", frame),
                                       ("sample_twice.pcap", "sample.pcap", whole)):
            renumbered = [[f + (f > copied) for f in s["frames"]] for s in results[original][0]]
            check([s["frames"] for s in results[name][0]] == renumbered,
                  "%s: the repeated frame changed the SIBs" % name)
        check(sum(1 for s in results["stopped.pcap"][0] if s["complete_shown"] is False) ==
              len(expected["stopped"]["types"]), "stopped.pcap: the stopped SIBs not shown")
        check(len(results["cells.pcap"][1]) == expected["dropped"] >= 2,
              "cells.pcap: %d drops" % len(results["cells.pcap"][1]))
        _, wrong, _ = tshark.run("-r", os.path.join(captures, "wrong_size.pcap"), "-2", "-V")
        check(b"BCCH-BCH message of 30 bytes, expected 31" in wrong,
              "wrong_size.pcap: no expert info for the 30-byte message")

        # GSMTAP copies quoted in ICMP port unreachable errors: the sample's SIBs.
        icmp = os.path.join(captures, "sample_icmp_errors.pcap")
        make_capture.with_icmp_errors(os.path.join(captures, "sample.pcap"), icmp)
        os.chmod(icmp, 0o644)
        results["sample_icmp_errors.pcap"] = check_against_tool(tshark, args.sibdecode, model, icmp)
        # an error behind every other packet: frame f moves f // 2 on
        moved = [[f + f // 2 for f in s["frames"]] for s in results["sample.pcap"][0]]
        check([s["frames"] for s in results["sample_icmp_errors.pcap"][0]] == moved,
              "sample_icmp_errors.pcap: SIBs %s, the sample's %s" %
              ([s["frames"] for s in results["sample_icmp_errors.pcap"][0]], moved))
        tool_sibs, _ = tool_view(args.sibdecode, icmp)
        check(len(tool_sibs) == sum(s["decoded"] for s in results["sample.pcap"][0]) and
              [f for f, _, _, _, _, _ in tool_sibs] ==
              [f for f, s in zip(moved, results["sample.pcap"][0]) if s["decoded"]],
              "sample_icmp_errors.pcap: the tool's SIBs %s" % [f for f, *_ in tool_sibs])

        for name in ("sample.pcap", "cells.pcap", "sample_icmp_errors.pcap"):
            check_info_column(tshark, os.path.join(captures, name), results[name][0])
        # The cells table, in one pass and two (the chains the end gives up in two).
        make_capture.survey(captures)  # a phone's log: three cells one after another on ARFCN 0
        for name, options in (("sample.pcap", ()), ("sample_icmp_errors.pcap", ()),
                              ("cells.pcap", ("-2",)), ("ended_early.pcap", ("-2",)),
                              ("phone_log.pcap", ())):
            path = os.path.join(captures, name)
            _, tool_drops = tool_view(args.sibdecode, path)
            sibs = results[name][0] if name in results else plugin_view(tshark, path)[0]
            check_cells_table(tshark, args.sibdecode, path, sibs, tool_drops, options)

        other_port = os.path.join(captures, "other_port.pcap")
        on_other_port(os.path.join(captures, "sample.pcap"), other_port, 4730)
        os.chmod(other_port, 0o644)
        # capture, tshark options, how one pass reads it
        for name, options, how in (
                ("sample.pcap", [], "file"),
                ("cells.pcap", [], "file"),
                ("cells_cooked_ipv6.pcapng", [], "file"),
                ("captured_twice.pcap", [], "file"),
                ("sample_twice.pcap", [], "file"),
                ("sample_icmp_errors.pcap", [], "file"),
                ("ended_early.pcap", [], "file"),
                ("cells.pcap", ["-o", "sibdecode.cells_by_arfcn:FALSE"], "file"),
                ("sample.pcap", [], "pipe"),
                ("sample.pcap", [], "live"),
                # GSMTAP on a port only Wireshark is told of
                ("other_port.pcap", ["-d", "udp.port==4730,gsmtap"], "file")):
            # A live capture does not end with the sanitizer runtime loaded (with
            # or without this plugin), as tshark -G plugins does not.
            if how != "live" or not args.asan_runtime:
                check_passes(tshark, os.path.join(captures, name), options, how)
        check([(s["frames"], s["cell"], s["type"])
               for s in plugin_view(tshark, other_port, "-d", "udp.port==4730,gsmtap")[0]] ==
              [(s["frames"], s["cell"], s["type"]) for s in results["sample.pcap"][0]],
              "other_port.pcap: other SIBs than the sample's through Decode As")

        # Preferences: off; one cell (the sample's SIBs on cell 0).
        off, _, _ = plugin_view(tshark, cells, "-o", "sibdecode.enabled:FALSE")
        check(off == [], "sibdecode.enabled:FALSE still shows SIBs")
        sample = os.path.join(captures, "sample.pcap")
        one_cell, _, _ = plugin_view(tshark, sample, "-o", "sibdecode.cells_by_arfcn:FALSE")
        check([(s["frames"], s["cell"]) for s in one_cell] ==
              [(s["frames"], 0) for s in results["sample.pcap"][0]],
              "sibdecode.cells_by_arfcn:FALSE: other SIBs than the sample's on cell 0")

        for path in hostile:
            rc, out, err = tshark.run("-r", path, "-2", "-V")
            check(rc in (0, 2), "%s: tshark exit %d: %s" % (os.path.basename(path), rc, err[-300:]))
            check(all(sibdecode_blocks(out).values()), "%s: an empty plugin tree" % path)
        for path in [os.path.join(captures, n) for n in ("cells.pcap", "wrong_size.pcap",
                                                         "sample_icmp_errors.pcap")] + hostile:
            check_others_unchanged(tshark, path)
        print("%d hostile captures read" % len(hostile))

        if args.install_from:
            destdir = os.path.join(workdir, "destdir")
            proc = subprocess.run(["cmake", "--install", args.install_from, "--component",
                                   "wireshark-plugin"], env=dict(os.environ, DESTDIR=destdir),
                                  capture_output=True, text=True)
            installed = [os.path.join(d, f) for d, _, fs in os.walk(destdir) for f in fs]
            check(proc.returncode == 0 and len(installed) == 1 and
                  re.search(r"/wireshark/plugins/\d+\.\d+/epan/sibdecode\.so$", installed[0]),
                  "cmake --install: %s %s" % (installed, proc.stderr))
    finally:
        shutil.rmtree(workdir, ignore_errors=True)

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
