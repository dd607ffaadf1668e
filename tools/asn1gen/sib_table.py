"""Emits what the library and its tests know of the SIB types from the overlay's
roots: the dispatch table (src/api/generated/sib_dispatch.cpp) and the list of
decoded types (src/api/generated/sib_types.h)."""

from cpp import cpp_file
from model import cident

# SIB-Type values: 0 (master information block) to 31.
SIB_TYPE_VALUES = 32


def emit_sib_dispatch(model):
    roots = model.ov.roots
    w = cpp_file(["api/sib_dispatch.h", "print/generated/rrc_json.h", "print/generated/rrc_print.h",
                  "rrc/generated/rrc_types.h"])
    w("namespace {")
    w()
    for num in sorted(roots):
        t = cident(roots[num])
        w("const SibDispatchRow kSib%d =" % num)
        w('    SibRow<%s, Init%s, Decode%s, Print%sText, Json%s>("%s");' % ((t,) * 6))
    w()
    w("// Indexed by the SIB-Type value; a null row means the type is not decoded.")
    w("const SibDispatchRow* const kSibDispatchTable[%d] = {" % SIB_TYPE_VALUES)
    for num in range(SIB_TYPE_VALUES):
        w("    %s," % ("&kSib%d" % num if num in roots else "nullptr"))
    w("};")
    w()
    w("}  // namespace")
    w()
    w("const SibDispatchRow* FindSibRow(uint32_t sibType) {")
    w("  return sibType < %d ? kSibDispatchTable[sibType] : nullptr;" % SIB_TYPE_VALUES)
    w("}")
    w()
    w("}  // namespace sibdecode")
    return w.text()


def longest_path(node, memo):
    """(characters, levels) of the longest stop path below `node`: ".member" per
    member or alternative, "[index]" (at most 5 digits) per list element."""
    if node.cname in memo:
        return memo[node.cname]
    best = (0, 0)
    for f in node.fields:
        step = 7 if node.kind == "SEQUENCE OF" else len(f.printed) + 1
        below = longest_path(f.info.node, memo) if f.info.node is not None else (0, 0)
        best = max(best, (step + below[0], 1 + below[1]))
    memo[node.cname] = best
    return best


def emit_sib_types(model):
    types = sorted(model.ov.roots)
    memo = {}
    paths = [(len(cident(name)) + longest_path(model.named_nodes[name], memo)[0],
              1 + longest_path(model.named_nodes[name], memo)[1]) for name in model.ov.roots.values()]
    w = cpp_file([], header=True)
    w("// The SIB types that have a decoder, in increasing order.")
    w("constexpr unsigned int kDecodedSibTypes[] = {%s};" % ", ".join(str(t) for t in types))
    w("constexpr unsigned int kDecodedSibTypeCount = %d;" % len(types))
    w()
    w("// The longest stop path of any decoded type (characters, without the NUL)")
    w("// and the most levels one can have.")
    w("constexpr unsigned int kLongestStopPath = %d;" % max(p[0] for p in paths))
    w("constexpr unsigned int kDeepestStopPath = %d;" % max(p[1] for p in paths))
    w()
    w("}  // namespace sibdecode")
    return w.text()
