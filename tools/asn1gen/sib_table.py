"""Emits what the library and its tests know of the SIB types from the overlay's
roots: the dispatch table (src/api/generated/sib_dispatch.cpp) and the list of
decoded types (src/api/generated/sib_types.h)."""

from cpp import cpp_file
from model import cident
from model_json import summary_hooks
from sib_names import SIB_TYPE_VALUES, type_names

# The part of the summary record each feed function fills (SummaryPart in sibdecode.h).
SUMMARY_PART_OF_HOOK = {
    "FeedSib3CellIdentity": "kSummarySib3CellIdentity",
    "FeedSib4CellIdentity": "kSummarySib4CellIdentity",
    "FeedIntraFreqCell": "kSummaryNeighbourCells",
    "FeedInterFreqCell": "kSummaryNeighbourCells",
    "FeedInterRatCell": "kSummaryNeighbourCells",
}

def emit_sib_dispatch(model):
    roots = model.ov.roots
    w = cpp_file(["api/sib_dispatch.h", "print/generated/rrc_json.h", "print/generated/rrc_print.h",
                  "rrc/generated/rrc_types.h"])
    w("namespace {")
    w()
    for num in sorted(roots):
        node = model.root_nodes[num]
        t = node.cname
        hooks = summary_hooks(model.ov, node)
        unknown = [h for h in hooks if h not in SUMMARY_PART_OF_HOOK]
        if unknown:
            raise SystemExit("hooks without a summary part: %s" % ", ".join(unknown))
        parts = sorted({SUMMARY_PART_OF_HOOK[h] for h in hooks})
        w("const SibDispatchRow kSib%d =" % num)
        name = cident(roots[num])
        w('    SibRow<%s, Init%s, Decode%s, Print%sText, Json%s>("%s", %s, %s);'
          % (t, t, t, name, t, name, " | ".join(parts) or "kSummaryNothing",
             "true" if num in model.ov.release7 else "false"))
    w()
    w("// Indexed by the SIB-Type value; a null row means the type is not decoded.")
    w("const SibDispatchRow* const kSibDispatchTable[%d] = {" % SIB_TYPE_VALUES)
    for num in range(SIB_TYPE_VALUES):
        w("    %s," % ("&kSib%d" % num if num in roots else "nullptr"))
    w("};")
    w()
    w()
    names = type_names(model)
    w("// Indexed by the SIB type number; null: no type of that number.")
    w("const char* const kSibTypeNames[%d] = {" % SIB_TYPE_VALUES)
    for num in range(SIB_TYPE_VALUES):
        w("    %s," % ('"%s"' % names[num] if num in names else "nullptr"))
    w("};")
    w()
    w("}  // namespace")
    w()
    w("const SibDispatchRow* FindSibRow(uint32_t sibType) {")
    w("  return sibType < %d ? kSibDispatchTable[sibType] : nullptr;" % SIB_TYPE_VALUES)
    w("}")
    w()
    w("const char* SibTypeName(unsigned int sibType) {")
    w("  const char* name = sibType < %d ? kSibTypeNames[sibType] : nullptr;" % SIB_TYPE_VALUES)
    w('  return name != nullptr ? name : "?";')
    w("}")
    w()
    w("}  // namespace sibdecode")
    return w.text()


def member_step_types(model):
    """The types below the roots, each once (roots first met first), and their indexes."""
    index = {}
    order = []

    def visit(node):
        if node.cname in index:
            return
        index[node.cname] = len(order)
        order.append(node)
        for f in node.fields:
            if f.info.node is not None:
                visit(f.info.node)

    for num in sorted(model.ov.roots):
        visit(model.root_nodes[num])
    return order, index


def emit_member_steps(model):
    """tests/support/generated/member_steps.cpp: kMemberSteps and kTypeSteps, the printed
    member names of every type below the roots with their types, and each SIB type's root
    in them, for the tests' IsMemberPath."""
    order, index = member_step_types(model)
    w = cpp_file(["support/member_paths.h"])
    w("const MemberStep kMemberSteps[] = {")
    first = []
    n = 0
    for node in order:
        first.append(n)
        for f in node.fields:
            child = index[f.info.node.cname] if f.info.node is not None else -1
            name = "nullptr" if node.kind == "SEQUENCE OF" else '"%s"' % f.printed
            w("    {%s, %d}," % (name, child))
            n += 1
    w("};")
    w()
    w("const TypeSteps kTypeSteps[] = {")
    for i, node in enumerate(order):
        w("    {%d, %d},  // %s" % (first[i], len(node.fields), node.cname))
    w("};")
    w()
    roots = model.ov.roots
    w("const int kRootSteps[%d] = {" % SIB_TYPE_VALUES)
    for num in range(SIB_TYPE_VALUES):
        w("    %d," % (index[model.root_nodes[num].cname] if num in roots else -1))
    w("};")
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
    below = [(name, longest_path(model.root_nodes[num], memo)) for num, name in model.ov.roots.items()]
    paths = [(len(cident(name)) + chars, 1 + levels) for name, (chars, levels) in below]
    w = cpp_file([], header=True)
    w("// The SIB types that have a decoder, in increasing order, and those of them decoded at")
    w("// Release 7 too.")
    w("constexpr unsigned int kDecodedSibTypes[] = {%s};" % ", ".join(str(t) for t in types))
    w("constexpr unsigned int kDecodedSibTypeCount = %d;" % len(types))
    r7 = sorted(model.ov.release7)
    w("constexpr unsigned int kRelease7SibTypes[] = {%s};" % ", ".join(str(t) for t in r7))
    w("constexpr unsigned int kRelease7SibTypeCount = %d;" % len(r7))
    w()
    w("// The longest stop path of any decoded type (characters, without the NUL)")
    w("// and the most levels one can have.")
    w("constexpr unsigned int kLongestStopPath = %d;" % max(p[0] for p in paths))
    w("constexpr unsigned int kDeepestStopPath = %d;" % max(p[1] for p in paths))
    w()
    w("}  // namespace sibdecode")
    return w.text()
