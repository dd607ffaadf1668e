"""Runs tshark (as a black box) over bare SIB encodings and turns its PDML into
an ordered list of leaves per packet.

A leaf is a dict:
  kind   'seq' (a SEQUENCE value opened: member, alternative, list element),
         'val' (anything with a value: INTEGER, BOOLEAN, ENUMERATED, CHOICE,
         BIT STRING, OCTET STRING, NULL)
         'list' (a SEQUENCE OF; 'show' holds the item count)
  name   the field name: 'rrc.' and '_element' removed; list elements are
         named '<list>[i]'
  shown  the value part of tshark's showname (after 'name: ')
  show   tshark's raw 'show' attribute
  hint   the hidden PER field just before it: 'choice', 'enum', 'octets',
         'bits', 'list' or None
  warn   'value' (a value outside its constraint), 'items' (a list longer
         than its SIZE) or None
  depth  nesting depth in tshark's tree
  end    the byte offset just past the field (tshark's pos + size)

Per packet also: 'errors', a list of (leaf position, message, depth) for expert infos
of severity Error, undecoded warnings, and the packet-level malformed marker
(placed after the last leaf).
"""

import os
import re
import struct
import subprocess
import tempfile
import xml.etree.ElementTree as ET

import per_encoder

USER_DLT = 147  # "User 0"
TSHARK = "/usr/bin/tshark"


def write_pcap(path, packets, dlt=USER_DLT):
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, dlt))
        for i, p in enumerate(packets):
            f.write(struct.pack("<IIII", i, 0, len(p), len(p)))
            f.write(p)


def dissector(sib):
    """tshark's dissector of a SIB type: rrc.si.mib, rrc.si.sb1, rrc.si.sib3, rrc.si.sib15-1bis."""
    return "rrc.si." + per_encoder.type_name(sib).lower().replace(".", "-")


def run_tshark(sib, packets, tshark=TSHARK, workdir=None):
    """Returns one parsed packet (see parse_packet) per input encoding."""
    with tempfile.TemporaryDirectory(dir=workdir) as tmp:
        pcap = os.path.join(tmp, "sib%d.pcap" % sib)
        write_pcap(pcap, packets)
        uat = 'uat:user_dlts:"User 0 (DLT=%d)","%s","0","","0",""' % (USER_DLT, dissector(sib))
        proc = subprocess.Popen([tshark, "-n", "-r", pcap, "-o", uat, "-T", "pdml"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        result = []
        for _event, elem in ET.iterparse(proc.stdout, events=("end",)):
            if elem.tag == "packet":
                result.append(parse_packet(elem))
                elem.clear()
        proc.wait()
    if len(result) != len(packets):
        raise RuntimeError("tshark returned %d packets for %d inputs" % (len(result), len(packets)))
    return result


def field_name(raw):
    """'rrc.cn_DomainSysInfoList' -> 'cn_DomainSysInfoList'; None for fields that
    are not ASN.1 components (tshark's own sub-fields such as rrc.cellIdentity.rnc_id)."""
    if not raw.startswith("rrc."):
        return None
    name = raw[4:]
    if "." in name:
        return None
    if name.endswith("_element"):
        name = name[: -len("_element")]
    return name


def shown_value(field):
    showname = field.get("showname") or ""
    if ": " in showname:
        return showname.split(": ", 1)[1]
    return showname


HINTS = {
    "per.choice_index": "choice",
    "per.enum_index": "enum",
    "per.octet_string_length": "octets",
    "per.bit_string_length": "bits",
    "per.sequence_of_length": "list",
}


def expert_infos(field):
    """(severity, group, message) of the _ws.expert children of a field."""
    out = []
    for child in field:
        if child.tag == "field" and child.get("name") == "_ws.expert":
            sev = group = msg = ""
            for sub in child:
                n = sub.get("name")
                if n == "_ws.expert.severity":
                    sev = (sub.get("showname") or "").split(": ", 1)[-1]
                elif n == "_ws.expert.group":
                    group = (sub.get("showname") or "").split(": ", 1)[-1]
                elif n == "_ws.expert.message":
                    msg = sub.get("show") or ""
            out.append((sev, group, msg))
    return out


LIST_RE = re.compile(r": \d+ items?$")


def is_item(field):
    return field.get("name") == "" and (field.get("show") or "").startswith("Item ")


class PacketWalk:
    def __init__(self):
        self.leaves = []
        self.errors = []

    def experts(self, field, depth):
        """Records errors at the current position (and tree depth); returns 'value'
        or 'items' for a size-constraint warning, else None."""
        warn = None
        for sev, group, msg in expert_infos(field):
            if sev == "Error" or group in ("Undecoded", "Malformed"):
                self.errors.append((len(self.leaves), msg, depth))
            elif msg.startswith("Size constraint"):
                warn = "items" if "too many items" in msg else "value"
        return warn

    def walk(self, parent, list_name=None, depth=0):
        hint = None
        warn = None
        for field in parent:
            if field.tag != "field":
                continue
            raw = field.get("name") or ""
            if raw in HINTS:
                hint = HINTS[raw]
                warn = self.experts(field, depth)
                continue
            if raw == "_ws.expert":
                self.experts(parent_of_single(field), depth)
                continue
            if is_item(field):
                self.walk_item(field, "%s[%s]" % (list_name, field.get("show")[5:]), depth)
                continue
            name = field_name(raw)
            if name is None:
                if raw == "":
                    # tshark's own notes, e.g. "something unknown here [unknown
                    # extension root index in choice]", carry their expert info inside
                    self.experts(field, depth)
                hint = warn = None
                continue
            self.add(field, raw, name, hint, warn, depth)
            hint = warn = None

    def walk_item(self, item, name, depth):
        hint = None
        warn = None
        for field in item:
            if field.tag != "field":
                continue
            raw = field.get("name") or ""
            if raw in HINTS:
                hint = HINTS[raw]
                warn = self.experts(field, depth)
                continue
            if raw == "_ws.expert":
                self.experts(parent_of_single(field), depth)
                continue
            if field_name(raw) is not None:
                self.add(field, raw, name, hint, warn, depth)
                return

    def add(self, field, raw, name, hint, warn, depth):
        own = self.experts(field, depth)
        showname = field.get("showname") or ""
        leaf = {"kind": "val", "name": name, "shown": shown_value(field),
                "show": field.get("show") or "", "hint": hint, "warn": warn or own,
                "depth": depth, "end": int(field.get("pos") or 0) + int(field.get("size") or 0)}
        self.leaves.append(leaf)
        if raw.endswith("_element"):
            leaf["kind"] = "seq"
            self.walk(field, depth=depth + 1)
        elif LIST_RE.search(showname):
            leaf["kind"] = "list"
            if leaf["warn"]:
                leaf["warn"] = "items"
            self.walk(field, list_name=name, depth=depth + 1)
        else:
            self.walk(field, depth=depth + 1)


def parent_of_single(expert_field):
    """Wraps one _ws.expert element so that expert_infos() can read it."""
    wrapper = ET.Element("field")
    wrapper.append(expert_field)
    return wrapper


def parse_packet(packet):
    """Returns {'leaves': [...], 'errors': [(position, message, depth)], 'malformed': bool}."""
    walk = PacketWalk()
    malformed = False
    for proto in packet:
        if proto.tag != "proto":
            continue
        pname = proto.get("name")
        if pname == "fake-field-wrapper":
            walk.walk(proto)
        elif pname == "_ws.malformed":
            malformed = True
            walk.errors.append((len(walk.leaves), "malformed packet", None))
    return {"leaves": walk.leaves, "errors": walk.errors, "malformed": malformed}
