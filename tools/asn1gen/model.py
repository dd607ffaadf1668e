"""The type model: every ASN.1 type reachable from the supported SIBs, resolved
with the overlay into records (Node), members (Field), simple types (TypeInfo)
and enumeration tables, plus what the emitters ask of it."""

import os

import asn1
from overlay import read_overlay

HERE = os.path.dirname(os.path.abspath(__file__))

SHARED_FAMILY = "shared_ies"

CPP_KEYWORDS = {
    "alignas", "alignof", "and", "asm", "auto", "bool", "break", "case", "catch", "char", "class",
    "const", "continue", "default", "delete", "do", "double", "else", "enum", "explicit",
    "export", "extern", "false", "float", "for", "friend", "goto", "if", "inline", "int", "long",
    "mutable", "namespace", "new", "not", "operator", "or", "private", "protected", "public",
    "register", "return", "short", "signed", "sizeof", "static", "struct", "switch", "template",
    "this", "throw", "true", "try", "typedef", "typeid", "typename", "union", "unsigned",
    "using", "virtual", "void", "volatile", "while", "xor",
}

SIMPLE_KINDS = ("BOOLEAN", "NULL", "INTEGER", "ENUMERATED", "BIT STRING", "OCTET STRING")


def cident(asn_name):
    return asn_name.replace("-", "_")


class TypeInfo:
    """A resolved member type: a simple kind with its parameters, or a node."""

    def __init__(self, kind, **kw):
        self.kind = kind
        self.lb = kw.get("lb")
        self.ub = kw.get("ub")
        self.enum = kw.get("enum")  # EnumTable for ENUMERATED
        self.node = kw.get("node")  # Node for SEQUENCE, CHOICE, SEQUENCE OF
        self.asn_name = kw.get("asn_name")  # referenced type name, for the model

    @property
    def simple(self):
        return self.kind in SIMPLE_KINDS


class Field:
    def __init__(self, asn_name, printed, path, info, optional=False, default=None):
        self.asn_name = asn_name
        self.printed = printed
        self.cname = printed
        self.path = path
        self.info = info
        self.optional = optional
        self.default = default
        self.presence_bit = None
        self.release7_cut = False  # an extension container past the Release 7 level


class Node:
    def __init__(self, cname, path, kind):
        self.cname = cname
        self.path = path
        self.kind = kind  # SEQUENCE, CHOICE, SEQUENCE OF
        self.fields = []  # members, alternatives, or [element]
        self.lb = None
        self.ub = None
        self.families = set()
        self.named = False
        self.needs_init = False
        self.is_root = False  # a SIB's top-level record: always has an Init


class EnumTable:
    def __init__(self, key, cname, asn_items, items, crlf, crlf_items):
        self.key = key
        self.cname = cname
        self.asn_items = asn_items  # identifiers of the ASN.1, for DEFAULT values
        self.items = items  # identifiers as printed
        self.crlf = crlf
        self.crlf_items = crlf_items
        self.families = set()

    def text(self, i):
        end = "\\r\\n" if (self.crlf or i in self.crlf_items) else "\\n"
        return '" = %s%s"' % (self.items[i], end)

    def unknown(self):
        return '" = ???%s"' % ("\\r\\n" if self.crlf else "\\n")

    def text_length(self, i):
        """Bytes of text(i): " = ", the identifier and the line end."""
        return 3 + len(self.items[i]) + (2 if (self.crlf or i in self.crlf_items) else 1)

    def unknown_length(self):
        return 3 + 3 + (2 if self.crlf else 1)


class Model:
    def __init__(self, table, overlay):
        self.table = table
        self.ov = overlay
        self.nodes = {}  # cname -> Node
        self.named_nodes = {}  # ASN.1 type name -> Node
        self.enums = {}  # key -> EnumTable
        self.used_overlay = set()
        self.size_constraints = set()
        self.family_printed = set()  # cnames of shared types printed differently per SIB family
        self.holder_printed = {}  # cname -> paths of the types that print it with a layout of their own
        self.root_nodes = {}  # SIB type number -> the record its type resolves to

    # ---- overlay lookups (each use is recorded so unused entries are reported) ----
    def lookup(self, mapping, key, default=None):
        if key in mapping:
            self.used_overlay.add((id(mapping), key))
            return mapping[key]
        return default

    def layout(self, mapping, key, default, family, holder=None):
        """A depth entry: the one scoped to the type printing this one wins, then the one scoped
        to the SIB family being printed."""
        if holder is not None and (("within", holder), key) in mapping:
            return self.lookup(mapping, (("within", holder), key))
        if family is not None and (family, key) in mapping:
            return self.lookup(mapping, (family, key))
        return self.lookup(mapping, key, default)

    def find_holder_printed(self):
        """Types with an entry scoped to one type that prints them directly: that holder calls a
        printer of their own."""
        ov = self.ov
        for mapping in (ov.line_depth, ov.element_depth, ov.scalar_depth):
            for key in mapping:
                if isinstance(key, tuple) and isinstance(key[0], tuple):
                    holder = key[0][1]
                    owner = key[1].rsplit(".", 1)[0] if mapping is not ov.scalar_depth else key[1]
                    node = self.named_nodes.get(owner) or next(
                        (n for n in self.nodes.values() if n.path == owner), None)
                    if node is None:
                        raise SystemExit("within %s: no type %s" % (holder, owner))
                    self.holder_printed.setdefault(node.cname, set()).add(holder)

    def find_family_printed(self):
        """Shared types whose text depends on the SIB family: a scoped entry applies to them or
        to a type they print."""
        ov = self.ov
        scoped = {key[1] for mapping in (ov.line_depth, ov.element_depth, ov.scalar_depth)
                  for key in mapping if isinstance(key, tuple) and isinstance(key[0], str)}
        changed = True
        while changed:
            changed = False
            for node in self.nodes.values():
                if node.cname in self.family_printed:
                    continue
                if node.path in scoped or any(
                        f.path in scoped or (f.info.node is not None and f.info.node.cname in self.family_printed)
                        for f in node.fields):
                    self.family_printed.add(node.cname)
                    changed = True

    def printer_name(self, node, family, holder=None):
        """The printer of node in the text of family, called by the printer of the type at the
        path holder."""
        name = "Print" + node.cname
        if node.cname in self.family_printed and len(node.families) > 1:
            name += "_" + family
        if holder is not None and holder in self.holder_printed.get(node.cname, ()):
            name += "_In" + cident(holder)
        return name

    def check_overlay_used(self):
        ov = self.ov
        unused = []
        for mapping in (ov.renames, ov.line_depth, ov.element_depth, ov.scalar_depth, ov.crlf_items,
                        ov.enum_items, ov.member_hooks, ov.element_hooks):
            for key in mapping:
                if (id(mapping), key) not in self.used_overlay:
                    unused.append(key if isinstance(key, str) else "%s (%s)" % (key[1], " ".join(key[0]) if isinstance(key[0], tuple) else key[0]))
        for key in ov.crlf:
            if (id(ov.crlf), key) not in self.used_overlay:
                unused.append(key)
        if unused:
            raise SystemExit("overlay entries that match nothing: %s" % ", ".join(sorted(unused)))

    # ---- extension cuts ----
    def apply_cuts(self):
        """Marks the extension containers where the Release 7 level ends: decoded with everything
        else, but at Release 7 only their presence is read and they print as the empty
        `nonCriticalExtensions` that ends a Release 7 chain."""
        for path in self.ov.cuts:
            parts = path.split(".")
            t = self.table.get(parts[0])
            for comp in parts[1:-1]:
                t = self._step(t, comp, path)
            members = t.members if t.kind == "SEQUENCE" else None
            if members is None:
                raise SystemExit("cut %s: parent is not a SEQUENCE" % path)
            for m in members:
                if m.name == parts[-1]:
                    if not m.optional:
                        raise SystemExit("cut %s: not an OPTIONAL member" % path)
                    m.release7_cut = True
                    break
            else:
                raise SystemExit("cut %s: no such member" % path)

    def apply_hoists(self):
        """Moves CHOICE alternatives out into the SEQUENCE that holds the CHOICE, right after it:
        for a brace of the ASN.1 text that closes a CHOICE too late."""
        for path in self.ov.hoists:
            parts = path.split(".")
            parent = self.table.get(parts[0])
            for comp in parts[1:-2]:
                parent = self._step(parent, comp, path)
            if parent.kind != "SEQUENCE":
                raise SystemExit("hoist %s: the CHOICE is not a SEQUENCE member" % path)
            index = next((i for i, m in enumerate(parent.members) if m.name == parts[-2]), None)
            choice = parent.members[index].type if index is not None else None
            if choice is None or choice.kind != "CHOICE":
                raise SystemExit("hoist %s: %s is not a CHOICE" % (path, parts[-2]))
            moved = [a for a in choice.alternatives if a.name == parts[-1]]
            if not moved:
                raise SystemExit("hoist %s: no such alternative" % path)
            choice.alternatives.remove(moved[0])
            inserted = index + 1
            while inserted < len(parent.members) and getattr(parent.members[inserted], "hoisted", False):
                inserted += 1
            moved[0].hoisted = True
            parent.members.insert(inserted, moved[0])

    def _step(self, t, comp, path):
        while t.kind == "SEQUENCE OF":
            t = t.element
        items = t.members if t.kind == "SEQUENCE" else t.alternatives if t.kind == "CHOICE" else None
        for m in items or []:
            if m.name == comp:
                if m.type.kind == "ref":
                    raise SystemExit("path %s steps into named type %s" % (path, m.type.name))
                return m.type
        raise SystemExit("path %s: no member %s" % (path, comp))

    # ---- resolution ----
    def resolve(self, t, path, anon_cname, family):
        """Resolves an ASN.1 type at `path` (the overlay key of an anonymous type)."""
        if t.kind == "ref":
            name = t.name
            target = self.table.get(name)
            if target.kind == "ref":
                return self.resolve(target, name, cident(name), family)
            if target.kind in SIMPLE_KINDS:
                info = self.simple_info(target, name, cident(name), family)
                info.asn_name = name
                return info
            node = self.named_nodes.get(name)
            if node is None:
                node = self.build_node(target, name, cident(name), family, named=True)
            else:
                self.mark_family(node, family)
            return TypeInfo(node.kind, node=node, asn_name=name)
        if t.kind in SIMPLE_KINDS:
            return self.simple_info(t, path, anon_cname, family)
        node = self.build_node(t, path, anon_cname, family, named=False)
        return TypeInfo(node.kind, node=node)

    def mark_family(self, node, family):
        if family in node.families:
            return
        node.families.add(family)
        for f in node.fields:
            if f.info.node is not None:
                self.mark_family(f.info.node, family)
            if f.info.enum is not None:
                f.info.enum.families.add(family)

    def simple_info(self, t, key, cname, family):
        if t.kind == "INTEGER":
            if t.lb is None:
                raise SystemExit("unconstrained INTEGER at %s" % key)
            return TypeInfo("INTEGER", lb=t.lb, ub=t.ub)
        if t.kind in ("BIT STRING", "OCTET STRING"):
            if t.lb is None:
                raise SystemExit("unconstrained %s at %s" % (t.kind, key))
            self.size_constraints.add((t.lb, t.ub))
            return TypeInfo(t.kind, lb=t.lb, ub=t.ub)
        if t.kind == "ENUMERATED":
            table = self.enums.get(key)
            if table is None:
                items = self.lookup(self.ov.enum_items, key, t.items)
                if len(items) != len(t.items):
                    raise SystemExit("items %s: %d identifiers for %d" % (key, len(items), len(t.items)))
                crlf = key in self.ov.crlf
                if crlf:
                    self.used_overlay.add((id(self.ov.crlf), key))
                table = EnumTable(key, cname, t.items, items, crlf, self.lookup(self.ov.crlf_items, key, set()))
                self.enums[key] = table
            table.families.add(family)
            return TypeInfo("ENUMERATED", enum=table)
        return TypeInfo(t.kind)

    def build_node(self, t, path, cname, family, named):
        if cname in self.nodes:
            raise SystemExit("two types named %s" % cname)
        node = Node(cname, path, t.kind)
        node.named = named
        node.families.add(family)
        self.nodes[cname] = node
        if named:
            self.named_nodes[path] = node
        if t.kind == "SEQUENCE OF":
            node.lb, node.ub = t.lb, t.ub
            if t.lb is None:
                raise SystemExit("unconstrained SEQUENCE OF at %s" % path)
            self.size_constraints.add((t.lb, t.ub))
            info = self.resolve(t.element, path, cname + "_Item", family)
            node.fields = [Field("", "", path, info)]
            return node
        members = t.members if t.kind == "SEQUENCE" else t.alternatives
        bit = 0
        for m in members:
            mpath = path + "." + m.name
            printed = self.lookup(self.ov.renames, mpath, cident(m.name))
            if printed in CPP_KEYWORDS:
                raise SystemExit("%s is a C++ keyword: rename it in the overlay" % mpath)
            info = self.resolve(m.type, mpath, cname + "_" + cident(m.name), family)
            field = Field(m.name, printed, mpath, info, m.optional, m.default)
            field.release7_cut = getattr(m, "release7_cut", False)
            if m.optional:
                field.presence_bit = bit
                bit += 1
            if m.default is not None and info.kind not in ("INTEGER", "ENUMERATED", "BOOLEAN"):
                raise SystemExit("DEFAULT of %s at %s is not supported" % (info.kind, mpath))
            node.fields.append(field)
        if bit > 32:
            raise SystemExit("%s has more than 32 OPTIONAL members" % path)
        return node

    def finish(self):
        """Computes which nodes need an Init."""
        changed = True
        while changed:
            changed = False
            for node in self.nodes.values():
                init = node_needs_init(node)
                if init != node.needs_init:
                    node.needs_init = init
                    changed = True


def list_is_value_list(node):
    return node.fields[0].info.kind in ("SEQUENCE", "CHOICE", "SEQUENCE OF", "OCTET STRING")


def node_needs_init(node):
    if node.kind in ("CHOICE", "SEQUENCE OF"):
        return True
    for f in node.fields:
        if f.optional or f.default is not None or f.info.kind == "OCTET STRING":
            return True
        if f.info.node is not None and f.info.node.needs_init:
            return True
    return False


def topo_order(model):
    """Records in an order where every inline member type comes first."""
    done, order = set(), []

    def visit(node):
        if node.cname in done:
            return
        done.add(node.cname)
        if node.kind == "SEQUENCE":
            for f in node.fields:
                if f.info.node is not None:
                    visit(f.info.node)
        elif node.kind == "SEQUENCE OF":
            if f_node := node.fields[0].info.node:
                visit(f_node)
        order.append(node)

    for cname in sorted(model.nodes):
        visit(model.nodes[cname])
    return order


def family_of(node):
    if len(node.families) == 1:
        return next(iter(node.families))
    return SHARED_FAMILY


def build_model(asn1_folder):
    ov = read_overlay(os.path.join(HERE, "overlay.txt"))
    table = asn1.load_types(asn1_folder)
    model = Model(table, ov)
    model.apply_cuts()
    model.apply_hoists()
    for num in sorted(ov.roots):
        model.resolve(asn1.Type("ref", name=ov.roots[num]), ov.roots[num], cident(ov.roots[num]), ov.families[num])
    model.finish()
    model.find_family_printed()
    model.find_holder_printed()
    for num, name in ov.roots.items():
        target = name
        while model.table.get(target).kind == "ref":  # SysInfoType5bis ::= SysInfoType5
            target = model.table.get(target).name
        model.root_nodes[num] = model.named_nodes[target]
        model.root_nodes[num].is_root = True
    return model
