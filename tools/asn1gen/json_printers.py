"""Emits the JSON printers: one Json function per type writing the decoded
value as JSON (src/print/generated/*_json.cpp, src/print/generated/rrc_json.h). Members and
alternatives carry the names the text prints; a SEQUENCE is an object of its
present members, a CHOICE an object of its one alternative, a SEQUENCE OF an
array, an enumeration its identifier (null outside the list), a bit string its
digits and an octet string its hexadecimal digits, both as strings."""

from cpp import cpp_file, ctype
from model import family_of, list_is_value_list
from text_printers import INT32_MAX, enum_table_name


def json_simple(info, value_expr):
    """The call writing one simple value."""
    k = info.kind
    if k == "BOOLEAN":
        return "JsonBool(c, %s)" % value_expr
    if k == "NULL":
        return "JsonNull(c)"
    if k == "INTEGER" and info.ub > INT32_MAX:
        return "JsonUnsigned(c, %s)" % value_expr
    if k == "INTEGER":
        return "JsonInteger(c, %s)" % value_expr
    if k == "ENUMERATED":
        return "JsonEnum(c, %s, %s)" % (value_expr, enum_table_name(info.enum))
    if k == "BIT STRING":
        return "JsonBitString(c, %s.bitCount, %s.bytes, sizeof %s.bytes)" % (value_expr, value_expr, value_expr)
    if k == "OCTET STRING":
        return "JsonOctets(c, %s.count, %s.bytes, sizeof %s.bytes)" % (value_expr, value_expr, value_expr)
    raise AssertionError(k)


def json_value(info, value_expr):
    if info.simple:
        return json_simple(info, value_expr)
    return "Json%s(c, %s)" % (info.node.cname, value_expr)


def json_signature(node):
    return "int Json%s(TextCursor& c, const %s& v)" % (node.cname, node.cname)


def choice_value(info):
    """Where a CHOICE keeps its alternative's value, as for the text printers."""
    if info.kind == "INTEGER":
        return "v.signedValue" if info.lb < 0 else "v.value"
    if info.kind == "BOOLEAN":
        return "static_cast<uint8_t>(v.value)"
    if info.kind in ("NULL", "ENUMERATED"):
        return "v.value"
    return "(*static_cast<const %s*>(v.ptr))" % ctype(info)


def emit_json(w, node):
    # On a stopped decode's path, `stop` is this value's frame: only what the
    # decoder reached is written.
    w(json_signature(node) + " {")
    if node.kind == "SEQUENCE":
        if node.fields:
            w("  const StopFrame* stop = TakeStopFrame(c);")
            w("  const uint32_t reached = MembersReached(stop);")
        w('  PRINT_TRY(WriteText(c, "{"));')
        if node.fields:
            w("  bool first = true;")
        else:
            w("  (void)v;  // an empty SEQUENCE: {}")
            w("  (void)TakeStopFrame(c);")
        for i, f in enumerate(node.fields):
            reached = "reached > %d" % i
            if not f.info.simple:
                reached = "(%s || EnterStopFrame(c, stop, %d))" % (reached, i)
            if f.optional:
                w("  if ((v.presence & (1u << %d)) && %s) {" % (f.presence_bit, reached))
            else:
                w("  if (%s) {" % reached)
            if f.release7_cut:
                w("    if (c.release7) {")
                w('      PRINT_TRY(JsonName(c, first, "nonCriticalExtensions"));')
                w('      PRINT_TRY(WriteText(c, "{}"));')
                w("    } else {")
                w('      PRINT_TRY(JsonName(c, first, "%s"));' % f.printed)
                w("      PRINT_TRY(%s);" % json_value(f.info, "v." + f.cname))
                w("    }")
            else:
                w('    PRINT_TRY(JsonName(c, first, "%s"));' % f.printed)
                w("    PRINT_TRY(%s);" % json_value(f.info, "v." + f.cname))
            w("  }")
        w('  return WriteText(c, "}");')
    elif node.kind == "CHOICE":
        w("  const StopFrame* stop = TakeStopFrame(c);")
        w('  PRINT_TRY(WriteText(c, "{"));')
        w("  switch (v.tag) {")
        for i, f in enumerate(node.fields):
            w("    case %d:" % (i + 1))
            w("      if (stop != nullptr && !EnterStopFrame(c, stop, %d)) break;" % i)
            if f.info.simple and f.info.kind in ("INTEGER", "BOOLEAN", "NULL", "ENUMERATED"):
                pass
            else:
                w("      if (v.ptr == nullptr) break;")
            w('      PRINT_TRY(JsonName(c, "%s"));' % f.printed)
            w("      PRINT_TRY(%s);" % json_value(f.info, choice_value(f.info)))
            w("      break;")
        w("    default:")
        w("      break;  // an alternative outside the choice: an empty object")
        w("  }")
        w('  return WriteText(c, "}");')
    else:
        info = node.fields[0].info
        w("  const StopFrame* stop = TakeStopFrame(c);")
        w("  const uint32_t reached = MembersReached(stop);")
        w('  PRINT_TRY(WriteText(c, "["));')
        if list_is_value_list(node):
            w("  for (uint32_t i = 0; i < v.count && i < reached; ++i) {")
            w('    if (i > 0) PRINT_TRY(WriteText(c, ","));')
            w("    PRINT_TRY(%s);" % json_value(info, "v.items[i]"))
            w("  }")
            if not info.simple:
                w("  // The element the decode stopped in, as far as it got.")
                w("  if (v.items != nullptr && EnterStopFrame(c, stop, v.count)) {")
                w('    if (v.count > 0) PRINT_TRY(WriteText(c, ","));')
                w("    PRINT_TRY(%s);" % json_value(info, "v.items[v.count]"))
                w("  }")
        else:
            value = "v.items[i]"
            if info.kind == "INTEGER" and info.lb < 0:
                value = "static_cast<int32_t>(v.items[i])"
            w("  for (uint32_t i = 0; i < v.count && i < %d && i < reached; ++i) {" % node.ub)
            w('    if (i > 0) PRINT_TRY(WriteText(c, ","));')
            w("    PRINT_TRY(%s);" % json_value(info, value))
            w("  }")
        w('  return WriteText(c, "]");')
    w("}")
    w()


def emit_json_header(model, order):
    w = cpp_file(["print/json_support.h", "rrc/generated/rrc_types.h"], header=True)
    for node in order:
        w(json_signature(node) + ";")
    w()
    w("}  // namespace sibdecode")
    return w.text()


def emit_json_source(model, order, family):
    """src/print/generated/FAMILY_json.cpp: the JSON printers of the family's types."""
    w = cpp_file(["print/generated/rrc_json.h", "print/generated/rrc_print.h"])
    for node in order:
        if family_of(node) == family:
            emit_json(w, node)
    w("}  // namespace sibdecode")
    return w.text()
