// SibDispatchTable: SIB type -> top-level record operations.
#pragma once

#include <cstddef>
#include <cstdint>

#include "per/per.h"
#include "print/emitter.h"

namespace sibdecode {

// Which cell-identity word of the summary record a SIB fills.
enum class CellIdentityTarget { None, Sib3, Sib4 };

struct SibDispatchRow {
  size_t recordSize;
  void (*init)(void* record);  // zero-fills the record, then sets its defaults
  int (*decode)(PerContext* ctx, void* record);
  int (*print)(TextCursor& cursor, const void* record);
  int (*printJson)(TextCursor& cursor, const void* record);  // the value as one JSON object
  void (*release)(void* record);  // for a record decoded without an arena (on the heap)
  CellIdentityTarget cellIdentity;
};

// Storage the entry point keeps on its stack for any top-level SIB record.
constexpr size_t kMaxSibRecordSize = 16384;

// The row for a SIB-Type value (0..31), or null when the type is not decoded.
const SibDispatchRow* FindSibRow(uint32_t sibType);

}  // namespace sibdecode
