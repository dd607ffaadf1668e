"""Emits the text printers: one Print function per type (per SIB family where
the overlay scopes a layout to one), the enumeration texts, and the print
roots of the SIBs (src/print/generated/*)."""

from cpp import cpp_file, ctype
from model import SHARED_FAMILY, cident, family_of, list_is_value_list

INT32_MAX = (1 << 31) - 1
DEFAULT_LINE_DEPTH = 4
DEFAULT_ELEMENT_DEPTH = 8
DEFAULT_ALTERNATIVE_DEPTH = 4


def print_simple_line(info, name_expr, value_expr, depth_expr, indent):
    """Statements printing one simple value as a line at depth_expr; name_expr is
    the name and its length."""
    pad = " " * indent
    k = info.kind
    if k == "BOOLEAN":
        return [pad + "PRINT_TRY(PrintBoolLine(c, %s, %s, %s));" % (depth_expr, name_expr, value_expr)]
    if k == "NULL":
        return [pad + "PrintNameLine(c, %s, %s);  // count not tested" % (depth_expr, name_expr)]
    if k == "INTEGER" and info.ub > INT32_MAX:
        return [pad + "PRINT_TRY(PrintUnsignedLine(c, %s, %s, %s));" % (depth_expr, name_expr, value_expr)]
    if k == "INTEGER":
        return [pad + "PRINT_TRY(PrintIntegerLine(c, %s, %s, %s));" % (depth_expr, name_expr, value_expr)]
    if k == "ENUMERATED":
        return [pad + "PRINT_TRY(PrintEnumLine(c, %s, %s, %s, %s));"
                % (depth_expr, name_expr, value_expr, enum_table_name(info.enum))]
    if k == "BIT STRING":
        return [pad + "PRINT_TRY(PrintBitStringLine(c, %s, %s, %s.bitCount, %s.bytes, sizeof %s.bytes));"
                % (depth_expr, name_expr, value_expr, value_expr, value_expr)]
    if k == "OCTET STRING":
        return [pad + "PRINT_TRY(PrintHexDumpLine(c, %s, %s, %s.count, %s.bytes, sizeof %s.bytes));"
                % (depth_expr, name_expr, value_expr, value_expr, value_expr)]
    raise AssertionError(k)


def print_field(model, f, value_expr, block_depth_expr, indent, line_default, family, holder, parent):
    """Statements printing member or alternative f of the type at path parent (itself printed
    by the type at path holder) whose value is value_expr."""
    pad = " " * indent
    info = f.info
    off = model.layout(model.ov.line_depth, f.path, line_default, family, holder)
    depth = "%s + %d" % (block_depth_expr, off)
    name = '"%s"' % f.printed
    named = '"%s", %d' % (f.printed, len(f.printed))  # the name and its length
    if info.simple:
        return print_simple_line(info, named, value_expr, depth, indent)
    node = info.node
    if node.kind == "SEQUENCE OF":
        eoff = model.layout(model.ov.element_depth, f.path, DEFAULT_ELEMENT_DEPTH, family, holder)
        return [pad + "PRINT_TRY(%s(c, %s, %s + %d, %s));"
                % (model.printer_name(node, family, parent), value_expr, block_depth_expr, eoff, name)]
    return [
        pad + "PRINT_TRY(OpenBlock(c, %s, %s));" % (depth, named),
        pad + "PRINT_TRY(%s(c, %s, %s));" % (model.printer_name(node, family, parent), value_expr, depth),
        pad + "PRINT_TRY(CloseBlock(c, %s));" % depth,
    ]


def enum_table_name(enum):
    return "kEnum_" + enum.cname


def print_signature(model, node, family, holder=None):
    name = model.printer_name(node, family, holder)
    if node.kind == "SEQUENCE OF":
        return "int %s(TextCursor& c, const %s& v, int depth, const char* name)" % (name, node.cname)
    return "int %s(TextCursor& c, const %s& v, int depth)" % (name, node.cname)


def print_families(model, node):
    """The SIB families for which the node gets a printer of its own (None: one for all)."""
    if model.printer_name(node, "") == "Print" + node.cname:
        return [None if len(node.families) > 1 else family_of(node)]
    return sorted(node.families)


def print_variants(model, node):
    """(family, holder) of each printer of the node: one per family as print_families says, and
    besides each one per holding type that has a layout of its own for it (holder None: the rest)."""
    holders = [None] + sorted(model.holder_printed.get(node.cname, ()))
    return [(family, holder) for family in print_families(model, node) for holder in holders]


def emit_print(w, model, node, family, holder):
    w(print_signature(model, node, family, holder) + " {")
    here = (family, holder, node.path)
    if node.kind == "SEQUENCE":
        scalar_off = model.layout(model.ov.scalar_depth, node.path, DEFAULT_LINE_DEPTH, family, holder)
        for f in node.fields:
            off = scalar_off if f.info.simple else DEFAULT_LINE_DEPTH
            lines = print_field(model, f, "v." + f.cname, "depth", 4 if f.optional else 2, off, *here)
            if f.release7_cut:
                # The Release 7 text ends the chain with an empty nonCriticalExtensions block.
                cut_depth = "depth + %d" % model.layout(model.ov.line_depth, node.path + ".nonCriticalExtensions",
                                                        off, family, holder)
                lines = ["    if (c.release7) {",
                         '      PRINT_TRY(OpenBlock(c, %s, "nonCriticalExtensions", 21));' % cut_depth,
                         "      PRINT_TRY(CloseBlock(c, %s));" % cut_depth,
                         "    } else {"] + ["  " + line for line in lines] + ["    }"]
            if f.optional:
                w("  if (v.presence & (1u << %d)) {" % f.presence_bit)
                for line in lines:
                    w(line)
                w("  }")
            else:
                for line in lines:
                    w(line)
        if not node.fields:
            w("  (void)c;")
            w("  (void)v;")
            w("  (void)depth;")
    elif node.kind == "CHOICE":
        w("  switch (v.tag) {")
        for i, f in enumerate(node.fields):
            info = f.info
            w("    case %d:" % (i + 1))
            if info.kind in ("INTEGER", "BOOLEAN"):
                value = "v.signedValue" if info.kind == "INTEGER" and info.lb < 0 else "v.value"
                if info.kind == "BOOLEAN":
                    value = "static_cast<uint8_t>(v.value)"
                lines = print_field(model, f, value, "depth", 6, DEFAULT_ALTERNATIVE_DEPTH, *here)
            elif info.kind in ("NULL", "ENUMERATED"):
                lines = print_field(model, f, "v.value", "depth", 6, DEFAULT_ALTERNATIVE_DEPTH, *here)
            else:
                w("      if (v.ptr == nullptr) break;")
                ref = "(*static_cast<const %s*>(v.ptr))" % ctype(info)
                if info.node is not None and info.node.kind == "SEQUENCE OF":
                    # a list alternative prints its elements in the alternative's place
                    off = model.layout(model.ov.element_depth, f.path, DEFAULT_ALTERNATIVE_DEPTH, family, holder)
                    lines = ["      PRINT_TRY(%s(c, %s, depth + %d, \"%s\"));"
                             % (model.printer_name(info.node, family, node.path), ref, off, f.printed)]
                    # without elements, the plain layout names the alternative on a line of its own
                    lines = ["      if (c.plain && %s.count == 0) {" % ref,
                             '        PRINT_TRY(PrintNameLine(c, depth + %d, "%s", %d));'
                             % (DEFAULT_ALTERNATIVE_DEPTH, f.printed, len(f.printed)),
                             "        break;",
                             "      }"] + lines
                else:
                    lines = print_field(model, f, ref, "depth", 6, DEFAULT_ALTERNATIVE_DEPTH, *here)
            for line in lines:
                w(line)
            w("      break;")
        w("    default:")
        w("      break;")
        w("  }")
    else:
        el = node.fields[0]
        info = el.info
        w("  ElementName elementName;")
        w("  StartElementNames(elementName, name);")
        if list_is_value_list(node):
            et = ctype(info)
            w("  for (uint32_t index = 0; index < v.count; ++index) {")
            w("    SetElementIndex(elementName, static_cast<int>(index));")
            w("    const %s& element = v.items[index];" % et)
            if info.node is not None and info.node.kind == "SEQUENCE OF":
                lines = [
                    "    PRINT_TRY(OpenBlock(c, depth, elementName.text, elementName.length));",
                    "    PRINT_TRY(%s(c, element, depth + %d, elementName.text));"
                    % (model.printer_name(info.node, family, node.path), DEFAULT_ELEMENT_DEPTH),
                    "    PRINT_TRY(CloseBlock(c, depth));",
                ]
            elif info.node is not None:
                lines = [
                    "    PRINT_TRY(OpenBlock(c, depth, elementName.text, elementName.length));",
                    "    PRINT_TRY(%s(c, element, depth));" % model.printer_name(info.node, family, node.path),
                    "    PRINT_TRY(CloseBlock(c, depth));",
                ]
            else:
                lines = print_simple_line(info, "elementName.text, elementName.length", "element", "depth", 4)
            for line in lines:
                w(line)
            w("  }")
        else:
            w("  for (uint32_t i = 0; i < v.count && i < %d; ++i) {" % node.ub)
            w("    SetElementIndex(elementName, static_cast<int>(i));")
            value = "v.items[i]"
            if info.kind == "INTEGER" and info.lb < 0:
                value = "static_cast<int32_t>(v.items[i])"
            for line in print_simple_line(info, "elementName.text, elementName.length", value, "depth", 4):
                w(line)
            w("  }")
    w("  return 0;")
    w("}")
    w()


def emit_enum_tables(model):
    w = cpp_file(["print/generated/rrc_print.h"])
    for key in sorted(model.enums, key=lambda k: model.enums[k].cname):
        e = model.enums[key]
        texts = ", ".join(e.text(i) for i in range(len(e.items)))
        names = ", ".join('"%s"' % item for item in e.items)
        table = enum_table_name(e)
        w("static const char* const %s_texts[] = {%s};" % (table, texts))
        for i in range(len(e.items)):  # the lengths printed must be those of the C literals
            assert len(e.text(i)[1:-1].encode().decode("unicode_escape")) == e.text_length(i), e.text(i)
        assert len(e.unknown()[1:-1].encode().decode("unicode_escape")) == e.unknown_length()
        lengths = ", ".join(str(e.text_length(i)) for i in range(len(e.items)))
        w("static const char* const %s_names[] = {%s};" % (table, names))
        w("static const uint8_t %s_lengths[] = {%s};" % (table, lengths))
        w("const EnumTexts %s = {%s_texts, %d, %s, %s_names, %s_lengths, %d};"
          % (table, table, len(e.items), e.unknown(), table, table, e.unknown_length()))
        w()
    w("}  // namespace sibdecode")
    return w.text()


def emit_print_header(model, order):
    w = cpp_file(["print/emitter.h", "print/print_support.h", "rrc/generated/rrc_types.h"], header=True)
    for key in sorted(model.enums, key=lambda k: model.enums[k].cname):
        w("extern const EnumTexts %s;" % enum_table_name(model.enums[key]))
    w()
    for node in order:
        for family, holder in print_variants(model, node):
            w(print_signature(model, node, family, holder) + ";")
    for num in sorted(model.ov.roots):
        root = model.root_nodes[num]
        w("int Print%sText(TextCursor& c, const %s& v);" % (cident(model.ov.roots[num]), root.cname))
    w()
    w("}  // namespace sibdecode")
    return w.text()


def emit_printer_source(model, order, family):
    """src/print/generated/FAMILY_print.cpp: the family's text printers and SIB print roots."""
    pr = cpp_file(["print/generated/rrc_print.h"])
    for n in order:
        for f, holder in print_variants(model, n):
            if (f or SHARED_FAMILY) == family:
                emit_print(pr, model, n, f, holder)
    for num in sorted(model.ov.roots):
        root = model.root_nodes[num]
        if family_of(root) != family:
            continue
        name = cident(model.ov.roots[num])  # SysInfoType5bis prints its own name over SysInfoType5's record
        pr("int Print%sText(TextCursor& c, const %s& v) {" % (name, root.cname))
        pr("  char* start = c.pos;")
        pr('  PRINT_TRY(OpenBlock(c, 0, "%s ::="));' % name)
        pr("  PRINT_TRY(Print%s(c, v, 0));" % root.cname)
        pr("  PRINT_TRY(CloseBlock(c, 0));")
        pr("  c.pos = start;  // hand the cursor back: the text starts where this SIB began")
        pr("  return 0;")
        pr("}")
        pr()
    pr("}  // namespace sibdecode")
    return pr.text()

