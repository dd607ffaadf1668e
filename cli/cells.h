// What the tool keeps about the cells of its input: for --changes the last SIB
// printed per cell and type (by ARFCN); the survey (--cells, --neighbours,
// --timeline) is the library's.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace cli {

constexpr unsigned int kSibTypes = sibdecode::kSibTypeNumbers;

// The distinct encodings told apart, to bound what a long run keeps (a
// flood of distinct SIBs): per cell and SIB type, and in all.
constexpr size_t kMaxVersionsPerType = 1024;
constexpr uint64_t kMaxVersionsKept = 65536;

struct SibTypeRecord {
  uint64_t count = 0;           // SIBs of this type completed
  std::set<uint64_t> versions;  // hashes of their distinct encodings, up to the bounds
  bool versionsFull = false;    // a version was not kept: there may be more than versions.size()
  std::string lastPrinted;      // --changes: the encoding printed last
  bool printed = false;
  uint64_t copiesSincePrint = 0;  // identical to lastPrinted, not printed
};

struct CellRecord {
  SibTypeRecord types[kSibTypes];
};

// Hex and binary input carry no ARFCN: their SIBs belong to one cell without one.
constexpr uint64_t kNoCellKey = UINT64_MAX;

struct CellBook {
  std::map<uint64_t, CellRecord> cells;  // by ARFCN, in order
  uint64_t copiesFolded = 0;             // --changes: SIBs not printed
  uint64_t versionsKept = 0;             // in all cells and types
  uint64_t versionsNotKept = 0;          // SIBs whose encoding was not among those kept
                                         // when the bounds were reached
};

// A completed SIB. `encoding` identifies its content: the SIB's bits for
// captures, its text (without the raw-data trailer) or JSON for hex input.
struct SibSeen {
  uint64_t cellKey = kNoCellKey;
  unsigned int sibType = 0;
  const unsigned char* encoding = nullptr;
  size_t encodingLen = 0;
};

// Counts the SIB for its cell. Returns whether --changes prints it: the first
// of its cell and type, or one whose encoding differs from the last printed;
// *copies receives the identical ones in between (-1 for the first).
bool RecordSib(CellBook& book, const SibSeen& sib, long long* copies);

}  // namespace cli
