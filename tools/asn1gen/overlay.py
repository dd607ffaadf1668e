"""Reads overlay.txt: everything about the codec that the ASN.1 does not say.

Each non-blank line is `directive argument...`; '#' starts a comment. Paths
name a member by its ASN.1 identifiers: `Type.member.member`, stepping into
anonymous inner types and through list elements implicitly.
"""

import shlex


class Overlay:
    def __init__(self):
        self.cuts = []  # paths of extension containers replaced by nonCriticalExtensions
        self.hoists = []  # paths of CHOICE alternatives that are members of the enclosing SEQUENCE
        self.renames = {}  # member path -> printed name
        self.line_depth = {}  # member path -> offset of its line or block from the parent block
        self.element_depth = {}  # list member path -> offset of its elements from the parent block
        self.scalar_depth = {}  # SEQUENCE type -> offset of its scalar member lines from its braces
        self.crlf = set()  # enumeration type (name or member path) whose lines end in "\r\n"
        self.crlf_items = {}  # enumeration -> set of identifier indexes ending in "\r\n"
        self.enum_items = {}  # enumeration -> identifiers printed instead of the ASN.1 ones
        self.member_hooks = {}  # member path -> function called after the member decoded
        self.element_hooks = {}  # list type (name or member path) -> function per element
        self.roots = {}  # SIB type number -> top-level type name
        self.families = {}  # SIB type number -> family (the source files its code goes to)
        self.release7 = set()  # SIB type numbers decoded at Release 7 as well


def read_overlay(path):
    ov = Overlay()
    for lineno, raw in enumerate(open(path), 1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        words = shlex.split(line)
        kind, args = words[0], words[1:]

        def need(n):
            if len(args) != n:
                raise SyntaxError("%s:%d: %s takes %d arguments" % (path, lineno, kind, n))

        def layout_key():
            # `PATH +N` everywhere, `PATH +N FAMILY` only in the text of that SIB family,
            # `PATH +N within HOLDER` only where the type holding PATH is printed by HOLDER
            if len(args) == 4 and args[2] == "within":
                return (("within", args[3]), args[0])
            if len(args) not in (2, 3):
                raise SyntaxError("%s:%d: %s takes 2, 3 or 4 arguments" % (path, lineno, kind))
            return args[0] if len(args) == 2 else (args[2], args[0])

        if kind == "root":
            if len(args) not in (3, 4) or (len(args) == 4 and args[3] != "release7"):
                raise SyntaxError("%s:%d: root takes N Type FAMILY [release7]" % (path, lineno))
            ov.roots[int(args[0])] = args[1]
            ov.families[int(args[0])] = args[2]
            if len(args) == 4:
                ov.release7.add(int(args[0]))
        elif kind == "cut":
            need(1)
            ov.cuts.append(args[0])
        elif kind == "hoist":
            need(1)
            ov.hoists.append(args[0])
        elif kind == "name":
            need(2)
            ov.renames[args[0]] = args[1]
        elif kind == "depth":
            ov.line_depth[layout_key()] = int(args[1])
        elif kind == "lines":
            ov.scalar_depth[layout_key()] = int(args[1])
        elif kind == "elements":
            ov.element_depth[layout_key()] = int(args[1])
        elif kind == "crlf":
            need(1)
            ov.crlf.add(args[0])
        elif kind == "crlf-item":
            need(2)
            ov.crlf_items.setdefault(args[0], set()).add(int(args[1]))
        elif kind == "items":
            need(2)
            ov.enum_items[args[0]] = args[1].split(",")
        elif kind == "hook":
            need(2)
            ov.member_hooks[args[0]] = args[1]
        elif kind == "element-hook":
            need(2)
            ov.element_hooks[args[0]] = args[1]
        else:
            raise SyntaxError("%s:%d: unknown directive %s" % (path, lineno, kind))
    return ov
