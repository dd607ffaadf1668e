"""Emits src/rrc/generated/rrc_types.h: the record of every type and the declarations
of its Init and Decode."""

from cpp import cpp_file, ctype
from model import list_is_value_list



def emit_records(model, order):
    w = cpp_file(["per/per.h"], header=True)
    for node in order:
        if node.kind == "CHOICE":
            w("using %s = ChoiceValue;" % node.cname)
            # The tag of each alternative (0: none decoded).
            w("struct %s_Tag {" % node.cname)
            for i, f in enumerate(node.fields):
                w("  static constexpr uint32_t %s = %d;" % (f.cname, i + 1))
            w("};")
        elif node.kind == "SEQUENCE OF":
            el = node.fields[0].info
            if list_is_value_list(node):
                w("using %s = ValueList<%s>;" % (node.cname, ctype(el)))
            else:
                w("using %s = FixedArray<%s, %d>;" % (node.cname, ctype(el, as_item=True), node.ub))
        else:
            w("struct %s {" % node.cname)
            if any(f.optional for f in node.fields):
                # The bit of each OPTIONAL member in presence: set when it was decoded.
                for f in node.fields:
                    if f.optional:
                        w("  static constexpr uint32_t kHas_%s = 1u << %d;" % (f.cname, f.presence_bit))
                w("  uint32_t presence;")
            for f in node.fields:
                if f.info.kind == "NULL":
                    continue
                w("  %s %s;" % (ctype(f.info), f.cname))
            w("};")
        w()
    for node in order:
        p = "%s* v" % node.cname
        if node.needs_init or node.is_root:
            w("void Init%s(%s);" % (node.cname, p))
        w("int Decode%s(PerContext* ctx, %s);" % (node.cname, p))
    w()
    w("}  // namespace sibdecode")
    return w.text()
