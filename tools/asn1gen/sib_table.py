"""Emits what the library and its tests know of the SIB types from the overlay's
roots: the dispatch table (src/api/generated/sib_dispatch.cpp) and the list of
decoded types (src/api/generated/sib_types.h)."""

from cpp import cpp_file
from model import cident
from model_json import summary_hooks

# The part of the summary record each feed function fills (SummaryPart in sibdecode.h).
SUMMARY_PART_OF_HOOK = {
    "FeedSib3CellIdentity": "kSummarySib3CellIdentity",
    "FeedSib4CellIdentity": "kSummarySib4CellIdentity",
    "FeedIntraFreqCell": "kSummaryNeighbourCells",
    "FeedInterFreqCell": "kSummaryNeighbourCells",
    "FeedInterRatCell": "kSummaryNeighbourCells",
}

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
        hooks = summary_hooks(model.ov, model.named_nodes[roots[num]])
        unknown = [h for h in hooks if h not in SUMMARY_PART_OF_HOOK]
        if unknown:
            raise SystemExit("hooks without a summary part: %s" % ", ".join(unknown))
        parts = sorted({SUMMARY_PART_OF_HOOK[h] for h in hooks})
        w("const SibDispatchRow kSib%d =" % num)
        w("    SibRow<%s, Init%s, Decode%s, Print%sText, Json%s>(%s);"
          % ((t,) * 5 + (" | ".join(parts) or "kSummaryNothing",)))
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


def emit_sib_types(model):
    types = sorted(model.ov.roots)
    w = cpp_file([], header=True)
    w("// The SIB types that have a decoder, in increasing order.")
    w("constexpr unsigned int kDecodedSibTypes[] = {%s};" % ", ".join(str(t) for t in types))
    w("constexpr unsigned int kDecodedSibTypeCount = %d;" % len(types))
    w()
    w("}  // namespace sibdecode")
    return w.text()
