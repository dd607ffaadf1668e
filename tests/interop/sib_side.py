"""Runs `sibdecode --sib N` over bare SIB encodings and turns each text into an
ordered list of leaves, walking the text alongside the decoder's type model.

A leaf is a dict:
  kind     'seq' (a SEQUENCE value), 'list' (a SEQUENCE OF; value = item count),
           'val' (a value), 'bad' (the text does not fit the model here),
           'cut short' (the text ends here: sibdecode's text buffer ran full)
  name     the printed name ('cn_DomainSysInfoList[1]' for list elements)
  vkind    for 'val': 'int', 'bool', 'enum', 'choice', 'bits', 'octets', 'null'
  value    int (INTEGER, enumeration index, 0-based alternative index; None for
           '???' or an empty choice), bool, str of '0'/'1', bytes, or None
  text     the printed value text
  default  for a DEFAULT member: its default in the same form as value, else None
  cut      True for the empty nonCriticalExtensions that ends a cut extension chain
  fixed    for 'list': True when its items are INTEGER, ENUMERATED, NULL or BIT STRING
"""

import re
import subprocess

import per_encoder
from per_encoder import is_final_extension, resolve

HEADER_RE = re.compile(r"^(SysInfoType\w+|MasterInformationBlock) ::=$")
HEX_LINE_RE = re.compile(r"^\t(?:[0-9A-F]{2}\t)*$")
# The plain layout's octet string: "name = 3E 1C F5" (empty: `name = ""`).
HEX_VALUE_RE = re.compile(r'^(?:[0-9A-F]{2}(?: [0-9A-F]{2})*|"")$')
ERROR_LINE_RE = re.compile(r":(\d+): (.*)$")
# A SIB printed as far as its decode got, or whole with warnings.
REPORT_NOTE_RE = re.compile(r":\d+: (?:SIB|SB|MIB)\S* (?:stopped|warning) at bit \d+ in ")

# Enumeration identifiers that the decoder prints differently from the ASN.1 text.
ENUM_ALIASES = {"timeslotISCP": "dummy"}


def run_checked(args, data):
    """sibdecode's output for hex lines of bare SIBs; exit 2 only for SIBs whose
    decode stopped early (each noted): other faults raise."""
    proc = subprocess.run(args, input=data, capture_output=True)
    lines = proc.stderr.decode(errors="replace").splitlines()
    noted = all(REPORT_NOTE_RE.search(line) for line in lines)
    if proc.returncode != 0 and not (proc.returncode == 2 and noted):
        raise RuntimeError("sibdecode exited with %d: %s" % (proc.returncode, proc.stderr[:300]))
    return proc.stdout, lines


STOP_NOTE_RE = re.compile(r":(\d+): \S+ stopped at bit \d+ in (\S+): end of data")


def run_sibdecode(binary, sib, packets, ended=None):
    """Returns one text (str) per encoding, or None where sibdecode printed nothing.
    `ended` (a dict), when given, receives per encoding index the member where the
    decode ran out of data, as its note names it."""
    data = "".join(p.hex() + "\n" for p in packets)
    stdout, lines = run_checked([binary, "--sib", per_encoder.type_name(sib)], data.encode())
    failed = {}
    for line in lines:
        stop = STOP_NOTE_RE.search(line)
        if stop and ended is not None:
            ended[int(stop.group(1)) - 1] = stop.group(2).rsplit(".", 1)[-1]
        m = ERROR_LINE_RE.search(line)
        if m and not REPORT_NOTE_RE.search(line):
            failed[int(m.group(1)) - 1] = m.group(2)
    texts = split_texts(stdout.decode("latin-1"))
    result = []
    it = iter(texts)
    for i in range(len(packets)):
        result.append(None if i in failed else next(it, None))
    return result


def split_texts(output):
    """Splits sibdecode's output into one text per SIB (header to the '}' in column 0)."""
    texts = []
    current = None
    for line in output.split("\n"):
        line = line.rstrip("\r")
        if HEADER_RE.match(line):
            if current is not None:
                texts.append(current)  # cut short (the text buffer ran full)
            current = [line]
            continue
        if current is None:
            continue
        current.append(line)
        if line == "}":
            texts.append(current)
            current = None
    if current is not None:
        texts.append(current)
    return texts


class Node:
    """One element of the printed text: a block, a 'name = value' line, a bare
    name line or an octet-string dump."""

    def __init__(self, kind, name, value=None, children=None):
        self.kind = kind  # 'block', 'scalar', 'name', 'dump'
        self.name = name
        self.value = value
        self.children = children or []
        self.cut_short = False  # a block whose text ends before its closing brace
        self.at_end = False  # the last line(s) of a text that was cut short


class TextCutShort(Exception):
    """The walk needs a line past the end of a text that was cut short."""


def parse_text(lines):
    """Returns the root block of one SIB's text (lines without line ends)."""
    m = HEADER_RE.match(lines[0])
    root = Node("block", m.group(1))
    pos = 1
    if pos < len(lines) and lines[pos].strip() == "{":
        pos += 1
    root.children, pos, root.cut_short = parse_block(lines, pos)
    return root


def parse_block(lines, pos):
    nodes = []
    while pos < len(lines):
        line = lines[pos]
        text = line.strip()
        if text == "}":
            return nodes, pos + 1, False
        if text == "":
            pos += 1
            continue
        if text == "Message dump (Hex):":
            pos += 1
            hexdigits = ""
            while pos < len(lines) and HEX_LINE_RE.match(lines[pos]):
                hexdigits += lines[pos].replace("\t", "")
                pos += 1
            nodes.append(Node("dump", "", bytes.fromhex(hexdigits)))
            continue
        if pos + 1 < len(lines) and lines[pos + 1].strip() == "{":
            block = Node("block", text)
            block.children, pos, block.cut_short = parse_block(lines, pos + 2)
            nodes.append(block)
            continue
        if " = " in text:
            name, value = text.split(" = ", 1)
            nodes.append(Node("scalar", name, value))
        else:
            nodes.append(Node("name", text))
        pos += 1
    if nodes:
        nodes[-1].at_end = True
    return nodes, pos, True


def hex_line_octets(node):
    """The octets of a plain-layout hex line, or None."""
    if node.kind != "scalar" or not HEX_VALUE_RE.match(node.value):
        return None
    return bytes.fromhex(node.value.strip('"'))


def norm(name):
    """Name key for matching printed names, ASN.1 identifiers and tshark fields."""
    return re.sub(r"[^a-z0-9\[\]]", "", name.lower())


def printed(member):
    """The name the decoder prints for a member or alternative."""
    return member.get("printed") or member["name"].replace("-", "_")


def default_value(model, t, default):
    """The model's DEFAULT value in leaf form."""
    t = resolve(model, t)
    if t["kind"] == "ENUMERATED":
        return t["items"].index(default) if default in t["items"] else None
    if t["kind"] == "INTEGER":
        return int(default)
    if t["kind"] == "BOOLEAN":
        return default in (True, "TRUE", "true")
    return default


NODE_KIND = {"SEQUENCE": "block", "CHOICE": "block", "NULL": "name", "OCTET STRING": "dump"}


class TextWalk:
    def __init__(self, model):
        self.model = model
        self.leaves = []

    def bad(self, name, why):
        self.leaves.append({"kind": "bad", "name": name, "vkind": None, "value": None,
                            "text": why, "default": None, "cut": False})

    def val(self, name, vkind, value, text, default=None):
        self.leaves.append({"kind": "val", "name": name, "vkind": vkind, "value": value,
                            "text": text, "default": default, "cut": False})

    def walk(self, t, node, name, default=None, cut=False):
        """Emits the leaves of one value of type t printed as `node` under `name`."""
        count = len(self.leaves)
        self.walk_value(t, node, name, default, cut)
        if node.at_end and len(self.leaves) > count and self.leaves[-1]["kind"] == "bad":
            self.leaves.pop()
            raise TextCutShort()  # the last line of the text stops inside a value

    def walk_value(self, t, node, name, default, cut):
        t = resolve(self.model, t)
        k = t["kind"]
        if node.at_end and node.kind != NODE_KIND.get(k, "scalar") and not (
                k == "OCTET STRING" and node.kind == "scalar"):
            raise TextCutShort()  # the name was written, its brace or value was not
        if node.kind != "dump" and node.name != name:
            return self.bad(name, "printed as %r" % node.name)
        if k == "SEQUENCE":
            if node.kind != "block":
                return self.bad(name, "expected a block for a SEQUENCE")
            self.leaves.append({"kind": "seq", "name": name, "vkind": None, "value": None,
                                "text": "", "default": None, "cut": cut})
            self.members(t, node)
        elif k == "CHOICE":
            self.choice(t, node, name)
        elif k == "NULL":
            if node.kind != "name":
                return self.bad(name, "expected a name line for NULL")
            self.val(name, "null", None, "")
        elif k == "OCTET STRING":
            octets = node.value if node.kind == "dump" else hex_line_octets(node)
            if octets is None:
                return self.bad(name, "expected a hex dump or a hex line")
            self.val(name, "octets", octets, octets.hex(), default)
        elif node.kind != "scalar":
            self.bad(name, "expected 'name = value' for %s" % k)
        elif k == "INTEGER":
            try:
                self.val(name, "int", int(node.value), node.value, default)
            except ValueError:
                self.bad(name, "not an integer: %r" % node.value)
        elif k == "BOOLEAN":
            if node.value not in ("True", "False"):
                return self.bad(name, "not a boolean: %r" % node.value)
            self.val(name, "bool", node.value == "True", node.value, default)
        elif k == "ENUMERATED":
            ident = node.value
            items = t["items"]
            if ident in items:
                index = items.index(ident)
            elif ENUM_ALIASES.get(ident) in items:
                index = items.index(ENUM_ALIASES[ident])
            else:
                index = None
            self.val(name, "enum", index, ident, default)
        elif k == "BIT STRING":
            bits = node.value
            if len(bits) < 2 or bits[0] != '"' or bits[-1] != '"':
                return self.bad(name, "not a bit string: %r" % bits)
            self.val(name, "bits", bits[1:-1], bits, default)
        else:
            self.bad(name, "unexpected type %s" % k)

    def choice(self, t, node, name):
        if node.kind != "block":
            return self.bad(name, "expected a block for a CHOICE")
        if not node.children:
            if node.cut_short:
                raise TextCutShort()
            return self.val(name, "choice", None, "")
        child = node.children[0]
        for index, alt in enumerate(t["alternatives"]):
            at = resolve(self.model, alt["type"])
            if at["kind"] == "SEQUENCE OF":
                named = child.kind == "name" and norm(child.name) == norm(alt["name"])
                if named or norm(child.name).startswith(norm(alt["name"]) + "["):
                    # the plain layout names a list alternative without elements
                    self.val(name, "choice", index, alt["name"])
                    rest = self.list_items(at, printed(alt), node.children[1:] if named else node.children,
                                           0, True) + named
                    if rest != len(node.children):
                        self.bad(name, "extra lines in the choice block")
                    return
            elif at["kind"] == "OCTET STRING" and child.kind == "dump" or norm(child.name) == norm(alt["name"]):
                self.val(name, "choice", index, alt["name"])
                self.walk(alt["type"], child, printed(alt))
                if len(node.children) > 1:
                    self.bad(name, "extra lines in the choice block")
                return
        self.bad(name, "unknown alternative %r" % child.name)

    def list_items(self, t, name, children, pos, mandatory):
        """Consumes the elements name[0], name[1]... from children[pos:]; returns
        the new position."""
        items = []
        while pos < len(children) and norm(children[pos].name) == norm("%s[%d]" % (name, len(items))):
            items.append(children[pos])
            pos += 1
        if items or mandatory:
            et = resolve(self.model, t["element"])
            self.leaves.append({"kind": "list", "name": name, "vkind": None, "value": len(items),
                                "text": "", "default": None, "cut": False,
                                "fixed": et["kind"] in ("INTEGER", "ENUMERATED", "NULL", "BIT STRING")})
            for i, node in enumerate(items):
                self.walk(t["element"], node, "%s[%d]" % (name, i))
        return pos

    def members(self, t, node):
        children = node.children
        pos = 0
        for m in t["members"]:
            if node.cut_short and pos >= len(children):
                raise TextCutShort()
            mt = resolve(self.model, m["type"])
            default = None
            if m["default"] is not None:
                default = default_value(self.model, mt, m["default"])
            if mt["kind"] == "SEQUENCE OF":
                pos = self.list_items(mt, printed(m), children, pos, not m["optional"])
                continue
            present = pos < len(children) and (
                children[pos].kind == "dump" if mt["kind"] == "OCTET STRING" and children[pos].kind == "dump"
                else norm(children[pos].name) == norm(m["name"]))
            if present:
                self.walk(mt, children[pos], printed(m), default,
                          cut=is_final_extension(m))
                pos += 1
            elif not m["optional"]:
                self.bad(m["name"], "member missing from the text")
        for extra in children[pos:]:
            self.bad(extra.name, "line not in the model here")


def text_leaves(model, sib, lines):
    """Leaves of one SIB's text (a list of lines)."""
    root = parse_text(lines)
    walk = TextWalk(model)
    try:
        walk.walk({"kind": "ref", "name": model["roots"][str(sib)]}, root, root.name)
    except TextCutShort:
        walk.leaves.append({"kind": "cut short", "name": "", "vkind": None, "value": None,
                            "text": "", "default": None, "cut": False})
    return walk.leaves
