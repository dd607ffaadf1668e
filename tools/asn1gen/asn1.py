"""Parser for the subset of ASN.1 that the RRC modules use, and the type model
the code generator works on."""

import os
import re

TOKEN_RE = re.compile(
    r"""
    (?P<ws>\s+)
  | (?P<assign>::=)
  | (?P<ellipsis>\.\.\.)
  | (?P<range>\.\.)
  | (?P<ident>[A-Za-z][A-Za-z0-9]*(?:-[A-Za-z0-9]+)*)
  | (?P<number>-?\d+)
  | (?P<sym>[{}()\[\],;|<>.:@!^*])
""",
    re.VERBOSE,
)


def strip_comments(text):
    """Removes '--' comments: they end at the next '--' or at the end of the line."""
    out_lines = []
    for line in text.split("\n"):
        pieces = []
        pos = 0
        in_comment = False
        while pos < len(line):
            idx = line.find("--", pos)
            if idx < 0:
                if not in_comment:
                    pieces.append(line[pos:])
                break
            if not in_comment:
                pieces.append(line[pos:idx])
            in_comment = not in_comment
            pos = idx + 2
        out_lines.append("".join(pieces))
    return "\n".join(out_lines)


def tokenize(text):
    tokens = []
    pos = 0
    text = strip_comments(text)
    while pos < len(text):
        m = TOKEN_RE.match(text, pos)
        if not m:
            raise SyntaxError("cannot tokenize at %r" % text[pos : pos + 40])
        pos = m.end()
        kind = m.lastgroup
        if kind == "ws":
            continue
        tokens.append(m.group(kind))
    return tokens


class Type:
    """One ASN.1 type. kind is one of BOOLEAN, NULL, INTEGER, ENUMERATED,
    BIT STRING, OCTET STRING, SEQUENCE, CHOICE, SEQUENCE OF, ref."""

    def __init__(self, kind, **kw):
        self.kind = kind
        self.lb = kw.get("lb")  # INTEGER bounds, or SIZE bounds
        self.ub = kw.get("ub")
        self.items = kw.get("items")  # ENUMERATED identifiers
        self.members = kw.get("members")  # SEQUENCE: list of Member
        self.alternatives = kw.get("alternatives")  # CHOICE: list of Member
        self.element = kw.get("element")  # SEQUENCE OF element Type
        self.name = kw.get("name")  # ref: referenced type name

    def __repr__(self):
        return "Type(%s)" % self.kind


class Member:
    def __init__(self, name, type_, optional=False, default=None):
        self.name = name
        self.type = type_
        self.optional = optional
        self.default = default  # None, or the DEFAULT value token(s) as a string


class Parser:
    def __init__(self, tokens, constants):
        self.toks = tokens
        self.pos = 0
        self.constants = constants

    def peek(self, k=0):
        i = self.pos + k
        return self.toks[i] if i < len(self.toks) else None

    def take(self, expected=None):
        tok = self.peek()
        if tok is None:
            raise SyntaxError("unexpected end of module")
        if expected is not None and tok != expected:
            raise SyntaxError("expected %r, got %r near %r" % (expected, tok, self.toks[self.pos - 5 : self.pos + 5]))
        self.pos += 1
        return tok

    def accept(self, tok):
        if self.peek() == tok:
            self.pos += 1
            return True
        return False

    def value(self, tok):
        """A bound: a number, a constant, or a constant followed by -N."""
        if re.fullmatch(r"-?\d+", tok):
            return int(tok)
        if tok in self.constants:
            return self.constants[tok]
        m = re.fullmatch(r"(.*)-(\d+)", tok)
        if m and m.group(1) in self.constants:
            return self.constants[m.group(1)] - int(m.group(2))
        raise SyntaxError("unknown value %r" % tok)

    def bound_expr(self):
        """value, value-N, value+N written with separate tokens."""
        v = self.value(self.take())
        while True:
            nxt = self.peek()
            if nxt is not None and re.fullmatch(r"-\d+", nxt):
                self.take()
                v += int(nxt)
            else:
                return v

    def range_constraint(self):
        """Inside '(': lb..ub or a single value; returns (lb, ub)."""
        lb = self.bound_expr()
        ub = lb
        if self.accept(".."):
            ub = self.bound_expr()
        return lb, ub

    def constraint(self):
        """Parses '( ... )' and returns ('size', lb, ub) or ('value', lb, ub)."""
        self.take("(")
        if self.accept("SIZE"):
            self.take("(")
            lb, ub = self.range_constraint()
            self.take(")")
            self.take(")")
            return ("size", lb, ub)
        lb, ub = self.range_constraint()
        self.take(")")
        return ("value", lb, ub)

    def skip_braces(self):
        self.take("{")
        depth = 1
        while depth:
            tok = self.take()
            if tok == "{":
                depth += 1
            elif tok == "}":
                depth -= 1

    def parse_type(self):
        tok = self.take()
        if tok == "BOOLEAN":
            return Type("BOOLEAN")
        if tok == "NULL":
            return Type("NULL")
        if tok == "INTEGER":
            if self.peek() == "{":
                self.skip_braces()
            lb = ub = None
            if self.peek() == "(":
                _, lb, ub = self.constraint()
            return Type("INTEGER", lb=lb, ub=ub)
        if tok == "ENUMERATED":
            self.take("{")
            items = []
            while True:
                ident = self.take()
                if ident == "...":
                    raise SyntaxError("extensible ENUMERATED is not supported")
                items.append(ident)
                if self.accept(","):
                    continue
                self.take("}")
                break
            return Type("ENUMERATED", items=items)
        if tok == "BIT":
            self.take("STRING")
            if self.peek() == "{":
                self.skip_braces()
            lb = ub = None
            if self.peek() == "(":
                _, lb, ub = self.constraint()
            return Type("BIT STRING", lb=lb, ub=ub)
        if tok == "OCTET":
            self.take("STRING")
            lb = ub = None
            if self.peek() == "(":
                _, lb, ub = self.constraint()
            return Type("OCTET STRING", lb=lb, ub=ub)
        if tok == "SEQUENCE":
            if self.peek() == "{":
                return Type("SEQUENCE", members=self.members())
            lb = ub = None
            if self.peek() == "(":
                _, lb, ub = self.constraint()
            elif self.accept("SIZE"):
                self.take("(")
                lb, ub = self.range_constraint()
                self.take(")")
            self.take("OF")
            return Type("SEQUENCE OF", lb=lb, ub=ub, element=self.parse_type())
        if tok == "CHOICE":
            return Type("CHOICE", alternatives=self.members())
        if re.fullmatch(r"[A-Z][A-Za-z0-9-]*", tok):
            t = Type("ref", name=tok)
            if self.peek() == "(":
                # a constraint on a referenced type narrows nothing the codec relies on
                self.constraint()
            return t
        raise SyntaxError("unexpected %r in type" % tok)

    def members(self):
        self.take("{")
        result = []
        if self.accept("}"):
            return result
        while True:
            if self.accept("..."):
                raise SyntaxError("extension marker is not supported")
            name = self.take()
            type_ = self.parse_type()
            optional = False
            default = None
            if self.accept("OPTIONAL"):
                optional = True
            elif self.accept("DEFAULT"):
                default = self.take()
                if default == "{":
                    raise SyntaxError("structured DEFAULT is not supported")
            result.append(Member(name, type_, optional, default))
            if self.accept(","):
                continue
            self.take("}")
            return result


def read_module_body(text):
    """Returns the tokens between BEGIN (after IMPORTS ... ;) and END."""
    toks = tokenize(text)
    start = toks.index("BEGIN") + 1
    if toks[start] == "IMPORTS":
        start = toks.index(";", start) + 1
    end = len(toks) - 1 - toks[::-1].index("END")
    return toks[start:end]


def load_constants(folder):
    constants = {}
    body = read_module_body(open(os.path.join(folder, "Constant-definitions.asn")).read())
    i = 0
    while i < len(body):
        name, kind, assign, value = body[i : i + 4]
        if kind != "INTEGER" or assign != "::=":
            raise SyntaxError("unexpected constant definition near %r" % body[i : i + 4])
        constants[name] = int(value)
        i += 4
    return constants


def split_assignments(body):
    """Splits a module body into (name, tokens) per type assignment."""
    starts = [i - 1 for i, t in enumerate(body) if t == "::="]
    result = []
    for n, s in enumerate(starts):
        e = starts[n + 1] if n + 1 < len(starts) else len(body)
        result.append((body[s], body[s + 2 : e]))
    return result


def load_types(folder, modules=("InformationElements.asn", "PDU-definitions.asn")):
    """Parses every type assignment of the given modules, lazily: an assignment
    that the codec never reaches may use syntax this parser does not know."""
    constants = load_constants(folder)
    raw = {}
    for module in modules:
        body = read_module_body(open(os.path.join(folder, module)).read())
        for name, toks in split_assignments(body):
            if name in raw:
                raise SyntaxError("type %s defined twice" % name)
            raw[name] = toks
    return TypeTable(raw, constants)


class TypeTable:
    def __init__(self, raw, constants):
        self.raw = raw
        self.constants = constants
        self.parsed = {}

    def __contains__(self, name):
        return name in self.raw

    def get(self, name):
        if name not in self.parsed:
            if name not in self.raw:
                raise KeyError("type %s is not defined" % name)
            p = Parser(self.raw[name], self.constants)
            t = p.parse_type()
            if p.pos != len(p.toks):
                raise SyntaxError("trailing tokens in %s: %r" % (name, p.toks[p.pos :]))
            self.parsed[name] = t
        return self.parsed[name]
