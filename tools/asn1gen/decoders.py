"""Emits the Init and Decode functions of every type, one source file per SIB
family (src/rrc/generated/*.cpp). Records other than the SIB's own come from
the decode's arena and go with it."""

from cpp import Writer, cpp_file, ctype, default_value, int_ctype, int_decoder, size_name
from model import family_of, list_is_value_list


# ---------------------------------------------------------------- Init


def emit_init(w, node):
    if not (node.needs_init or node.is_root):
        return
    w("void Init%s(%s* v) {" % (node.cname, node.cname))
    if not node.needs_init:
        w("  (void)v;  // nothing to prepare")
    if node.kind == "CHOICE":
        w("  v->tag = 0;")
        w("  v->ptr = nullptr;")
    elif node.kind == "SEQUENCE OF":
        w("  v->count = 0;")
        if list_is_value_list(node):
            w("  v->items = nullptr;")
        elif node.fields[0].info.kind == "BIT STRING":
            w("  for (auto& item : v->items) item.bitCount = 0;")
    else:
        if any(f.optional for f in node.fields):
            w("  v->presence = 0;")
        for f in node.fields:
            if f.default is not None:
                w("  v->%s = %s;" % (f.cname, default_value(f)))
            elif f.info.kind == "OCTET STRING":
                w("  v->%s.count = 0;" % f.cname)
            elif f.info.node is not None and f.info.node.needs_init:
                w("  Init%s(&v->%s);" % (f.info.node.cname, f.cname))
    w("}")
    w()


# ---------------------------------------------------------------- Decode


def decode_simple(info, target, indent, stop):
    """Statements decoding a simple value into the lvalue `target`; `stop` is the
    StopIn member and name arguments noted when it fails."""
    k = info.kind
    pad = " " * indent
    if k == "BOOLEAN":
        return [pad + "PER_TRY_IN(ReadBit(ctx, &%s), %s);" % (target, stop)]
    if k == "NULL":
        return []
    if k == "INTEGER":
        return [pad + "PER_TRY_IN(%s(ctx, %d, %d, &%s), %s);" % (int_decoder(info.lb, info.ub), info.lb, info.ub,
                                                                 target, stop)]
    if k == "ENUMERATED":
        return [pad + "PER_TRY_IN(DecodeEnumerated(ctx, %d, &%s), %s);" % (len(info.enum.items), target, stop)]
    if k == "BIT STRING":
        return [
            pad + "ctx->pendingSize = &%s;" % size_name(info.lb, info.ub),
            pad + "PER_TRY_IN(ReadBitString(ctx, &%s.bitCount, %s.bytes, sizeof %s.bytes), %s);"
            % (target, target, target, stop),
        ]
    if k == "OCTET STRING":
        return [
            pad + "ctx->pendingSize = &%s;" % size_name(info.lb, info.ub),
            pad + "PER_TRY_IN(ReadOctetString(ctx, &%s.count, %s.bytes, sizeof %s.bytes), %s);"
            % (target, target, target, stop),
        ]
    raise AssertionError(k)


def decode_field(info, target, indent, stop):
    if info.simple:
        return decode_simple(info, target, indent, stop)
    return [" " * indent + "PER_TRY_IN(Decode%s(ctx, &%s), %s);" % (info.node.cname, target, stop)]


BEFORE_MEMBERS = "kStopBeforeMembers, nullptr"


def member_stop(index, printed):
    return '%d, "%s"' % (index, printed)


def choice_alternative_decode(w, info):
    """Statements of one CHOICE alternative's case: decode it into the ChoiceValue v,
    leaving the outcome in `status`."""
    if info.kind == "NULL":
        w("      status = StatusOk;")
    elif info.kind == "BOOLEAN":
        w("      uint8_t value = 0;")
        w("      status = ReadBit(ctx, &value);")
        w("      v->value = value;")
    elif info.kind == "INTEGER":
        ct = int_ctype(info.lb, info.ub)
        w("      %s value = 0;" % ct)
        w("      status = %s(ctx, %d, %d, &value);" % (int_decoder(info.lb, info.ub), info.lb, info.ub))
        w("      v->%s = value;" % ("signedValue" if ct.startswith("int") else "value"))
    elif info.kind == "ENUMERATED":
        w("      status = DecodeEnumerated(ctx, %d, &v->value);" % len(info.enum.items))
    else:
        ht = ctype(info)
        w("      auto* alt = static_cast<%s*>(AllocRecord(ctx, sizeof(%s)));" % (ht, ht))
        w("      if (alt == nullptr) return StopIn(ctx, StatusNoMemory, kStopBeforeMembers, nullptr);")
        w("      v->ptr = alt;")
        if info.node is not None:
            if info.node.needs_init:
                w("      Init%s(alt);" % info.node.cname)
            w("      status = Decode%s(ctx, alt);" % info.node.cname)
        else:
            w("      status = StatusOk;")
            for line in decode_simple(info, "(*alt)", 6, "index, kAlternatives[index]"):
                w(line)
    w("      break;")


def grouped_cases(bodies):
    """(indexes, lines) per distinct body, in order of first use: equal bodies share a case."""
    groups = []
    for i, lines in enumerate(bodies):
        for indexes, other in groups:
            if other == lines:
                indexes.append(i)
                break
        else:
            groups.append(([i], lines))
    return groups


def emit_decode(w, model, node):
    w("int Decode%s(PerContext* ctx, %s* v) {" % (node.cname, node.cname))
    if node.kind == "SEQUENCE":
        flagged = [f for f in node.fields if f.optional or f.default is not None]
        optional_count = sum(1 for f in node.fields if f.optional)
        if not node.fields:
            w("  (void)ctx;")
            w("  (void)v;")
        if optional_count and not any(f.default is not None for f in node.fields):
            w("  PER_TRY_IN(ReadPresenceBits(ctx, %d, &v->presence), %s);" % (optional_count, BEFORE_MEMBERS))
        else:
            # DEFAULT bits stand between the OPTIONAL ones: read the preamble bit by bit
            if optional_count:
                w("  v->presence = 0;")
                w("  uint8_t bit = 0;")
            for f in flagged:
                if f.optional:
                    w("  PER_TRY_IN(ReadBit(ctx, &bit), %s);" % BEFORE_MEMBERS)
                    w("  v->presence |= uint32_t{bit} << %d;" % f.presence_bit)
                else:
                    w("  uint8_t has_%s = 0;" % f.cname)
                    w("  PER_TRY_IN(ReadBit(ctx, &has_%s), %s);" % (f.cname, BEFORE_MEMBERS))
        for index, f in enumerate(node.fields):
            body = decode_field(f.info, "v->" + f.cname, 4 if (f.optional or f.default is not None) else 2,
                                member_stop(index, f.printed))
            hook = model.lookup(model.ov.member_hooks, f.path)
            if hook:
                body.append(" " * (4 if f.optional else 2) + "%s(ctx, v->%s);" % (hook, f.cname))
            if not body:
                continue
            if f.release7_cut:
                # At Release 7 the container is noted, not decoded: it is what a later release added.
                w("  if (v->presence & (1u << %d)) {" % f.presence_bit)
                w("    if (ctx->release7) {")
                w("      PER_TRY_IN(NoteWarning(ctx, WarningKind::LaterRelease), %s);" % member_stop(index, f.printed))
                w("    } else {")
                for line in body:
                    w("  " + line)
                w("    }")
                w("  }")
            elif f.optional:
                w("  if (v->presence & (1u << %d)) {" % f.presence_bit)
                for line in body:
                    w(line)
                w("  }")
            elif f.default is not None:
                w("  if (has_%s) {" % f.cname)
                for line in body:
                    w(line)
                w("  } else {")
                w("    v->%s = %s;" % (f.cname, default_value(f)))
                w("  }")
            else:
                for line in body:
                    w(line)
        w("  return StatusOk;")
    elif node.kind == "CHOICE":
        n = len(node.fields)
        w("  static const char* const kAlternatives[] = {%s};" % ", ".join('"%s"' % f.printed for f in node.fields))
        w("  uint32_t index = 0;")
        if n > 1:
            w("  PER_TRY_IN(ReadWholeNumber(ctx, %d, &index), %s);" % (n, BEFORE_MEMBERS))
            if n & (n - 1):
                w("  if (index >= %d) return StopIn(ctx, StatusOutOfRange, %s);" % (n, BEFORE_MEMBERS))
        w("  v->tag = index + 1;")
        w("  int status = StatusOutOfRange;")
        w("  switch (index) {")
        bodies = []
        for f in node.fields:
            b = Writer()
            choice_alternative_decode(b, f.info)
            bodies.append(b.lines)
        for indexes, lines in grouped_cases(bodies):
            w("    %s {" % " ".join("case %d:" % k for k in indexes))
            for line in lines:
                w(line)
            w("    }")
        w("  }")
        # An index that names no alternative has no name to give.
        w("  if (status != StatusOk)")
        w("    return StopIn(ctx, status, index, index < %d ? kAlternatives[index] : nullptr);"
          % len(node.fields))
        w("  return StatusOk;")
    else:
        el = node.fields[0].info
        w("  ctx->pendingSize = &%s;" % size_name(node.lb, node.ub))
        hook = model.lookup(model.ov.element_hooks, node.path)
        element = "i, nullptr"
        if list_is_value_list(node):
            # The count comes first: the elements go to one array of the arena.
            et = ctype(el)
            w("  uint32_t count = 0;")
            w("  PER_TRY_IN(ReadLength(ctx, &count), %s);" % BEFORE_MEMBERS)
            if node.lb != node.ub and (node.ub - node.lb + 1) & (node.ub - node.lb):
                # The length field can count past the bound: decoded all the same, and noted.
                w("  if (count > %d) {" % node.ub)
                w("    PER_TRY_IN(NoteWarning(ctx, WarningKind::ListAboveSize), %s);" % BEFORE_MEMBERS)
                w("  }")
            w("  v->count = 0;")
            w("  v->items = nullptr;")
            w("  if (count == 0) return StatusOk;")
            w("  auto* items = static_cast<%s*>(AllocRecord(ctx, sizeof(%s) * count));" % (et, et))
            w("  if (items == nullptr) return StopIn(ctx, StatusNoMemory, %s);" % BEFORE_MEMBERS)
            w("  v->items = items;")
            w("  for (uint32_t i = 0; i < count; ++i) {")
            w("    %s* element = &items[i];" % et)
            if el.node is not None:
                if el.node.needs_init:
                    w("    Init%s(element);" % el.node.cname)
                w("    PER_TRY_IN(Decode%s(ctx, element), %s);" % (el.node.cname, element))
                if hook:
                    w("    %s(ctx, *element);" % hook)
            else:
                for line in decode_simple(el, "(*element)", 4, element):
                    w(line)
                if hook:
                    w("    %s(ctx, *element);" % hook)
            w("    ++v->count;  // a failed element stays out of the list")
            w("  }")
        else:
            if hook:
                raise SystemExit("element-hook on a fixed array: %s" % node.path)
            w("  PER_TRY_IN(ReadLength(ctx, &v->count), %s);" % BEFORE_MEMBERS)
            w("  if (v->count > %d) return StopIn(ctx, StatusTooMany, %s);" % (node.ub, BEFORE_MEMBERS))
            w("  for (uint32_t i = 0; i < v->count; ++i) {")
            if el.kind == "NULL":
                w("    v->items[i] = 0;")
            else:
                for line in decode_simple(el, "v->items[i]", 4, element):
                    w(line)
            w("  }")
        w("  return StatusOk;")
    w("}")
    w()


def emit_decoder_source(model, order, family):
    """src/rrc/generated/FAMILY.cpp: Init and Decode of the family's types."""
    nodes = [n for n in order if family_of(n) == family]
    includes = ["rrc/generated/rrc_types.h"]
    if any(model.lookup(model.ov.member_hooks, f.path) or model.lookup(model.ov.element_hooks, n.path)
           for n in nodes for f in n.fields):
        includes.append("rrc/summary_feed.h")
    dec = cpp_file(includes)
    sizes = set()
    for n in nodes:
        if n.kind == "SEQUENCE OF":
            sizes.add((n.lb, n.ub))
        for f in n.fields:
            if f.info.kind in ("BIT STRING", "OCTET STRING"):
                sizes.add((f.info.lb, f.info.ub))
    for lb, ub in sorted(sizes):
        dec("static const SizeConstraint %s = {0, %d, %d};" % (size_name(lb, ub), lb, ub))
    dec()
    for n in nodes:
        emit_init(dec, n)
        emit_decode(dec, model, n)
    dec("}  // namespace sibdecode")
    return dec.text()
