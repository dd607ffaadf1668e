// SibDispatchTable: SIB type -> top-level record operations. The table itself
// is generated from the overlay's roots (api/generated/sib_dispatch.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "per/per.h"
#include "print/emitter.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

struct SibDispatchRow {
  const char* name;  // the type as the text names it, the first step of a stop path
  size_t recordSize;
  void (*init)(void* record);  // zero-fills the record, then sets its defaults
  int (*decode)(PerContext* ctx, void* record);
  int (*print)(TextCursor& cursor, const void* record);
  int (*printJson)(TextCursor& cursor, const void* record);  // the value as one JSON object
  unsigned int summaryParts;  // SummaryPart bits: what its decode feeds into the summary record
  bool release7;              // decoded at Release 7 too (the ten types of the Release 7 text)
};

// Storage the entry point keeps on its stack for any top-level SIB record.
constexpr size_t kMaxSibRecordSize = 16384;

// The row for a SIB type number (sibdecode.h: SIB-Type index, extension types from
// kSibTypeExtensionBase), or null when the type is not decoded.
const SibDispatchRow* FindSibRow(uint32_t sibType);

// Adapts one SIB's typed Init, Decode and printers to a dispatch row.
template <typename Record, void (*Init)(Record*), int (*Decode)(PerContext*, Record*),
          int (*Print)(TextCursor&, const Record&), int (*Json)(TextCursor&, const Record&)>
struct SibOps {
  static_assert(sizeof(Record) <= kMaxSibRecordSize,
                "SIB record exceeds the entry point's storage");
  // Zero-filled first (of a size known here, so without a library call), so
  // members a stopped decode never reached print as 0; then the defaults.
  static void InitRecord(void* r) {
    std::memset(r, 0, sizeof(Record));
    Init(static_cast<Record*>(r));
  }
  static int DecodeRecord(PerContext* ctx, void* r) { return Decode(ctx, static_cast<Record*>(r)); }
  static int PrintRecord(TextCursor& c, const void* r) {
    return Print(c, *static_cast<const Record*>(r));
  }
  static int PrintJson(TextCursor& c, const void* r) {
    return Json(c, *static_cast<const Record*>(r));
  }
};

template <typename Record, void (*Init)(Record*), int (*Decode)(PerContext*, Record*),
          int (*Print)(TextCursor&, const Record&), int (*Json)(TextCursor&, const Record&)>
constexpr SibDispatchRow SibRow(const char* name, unsigned int summaryParts,
                                bool release7) noexcept {
  using Ops = SibOps<Record, Init, Decode, Print, Json>;
  return {name,           sizeof(Record), Ops::InitRecord, Ops::DecodeRecord, Ops::PrintRecord,
          Ops::PrintJson, summaryParts,   release7};
}

}  // namespace sibdecode
