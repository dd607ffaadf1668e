// Where a decode stopped and what it noticed on the way. The generated
// decoders fill these only on their failure paths (while a failed status
// unwinds) and where an encoding departs from its constraints, so a decode
// that runs to its end pays nothing for them.
#pragma once

#include <cstdint>

namespace sibdecode {

// Member number of a frame that stopped before any member: in a SEQUENCE's
// presence bits, a CHOICE's index or a list's length.
constexpr uint32_t kStopBeforeMembers = 0xFFFFFFFFu;

// One level of the stop path, innermost first while unwinding. `name` is the
// member or alternative as the text prints it; null for a list element
// (`member` is then its index) or for kStopBeforeMembers.
struct StopFrame {
  uint32_t member;
  const char* name;
};

// Deeper than any SIB type nests; frames past it are counted, not kept.
constexpr uint32_t kMaxStopFrames = 64;

enum class WarningKind : uint8_t {
  ListAboveSize = 1,  // a list count above its SIZE bound (its length field allows more)
  BitsLeftOver = 2,   // non-zero bits after the end of the SIB
  SegmentGap = 3,     // a segment chain of a batch with an index missing
  LaterRelease = 4,   // at Release 7: an extension container of a later release, not decoded
};

struct WarningSite {
  WarningKind kind;
  uint64_t bit;  // position in the SIB
};

constexpr uint32_t kMaxKeptWarnings = 8;

struct DecodeNotes {
  int status;        // 0, or the status the decode stopped with
  uint64_t stopBit;  // read position when it stopped
  uint32_t depth;    // frames recorded
  StopFrame frames[kMaxStopFrames];
  uint32_t warningCount;  // every warning, also those past kMaxKeptWarnings
  uint32_t warningKinds;  // bit 1 << kind of every kind noted
  WarningSite warnings[kMaxKeptWarnings];
  // A tracing run stops with StatusTraceStop at warning number traceWarning
  // (from 1), so that its unwinding records the warning's path; 0 otherwise.
  uint32_t traceWarning;
};

// Whether a warning of `kind` was noted (kept or not).
inline bool HasWarning(const DecodeNotes& notes, WarningKind kind) {
  return (notes.warningKinds & (1u << static_cast<unsigned>(kind))) != 0;
}

inline void ResetDecodeNotes(DecodeNotes* notes) {
  notes->status = 0;
  notes->stopBit = 0;
  notes->depth = 0;
  notes->warningCount = 0;
  notes->warningKinds = 0;
  notes->traceWarning = 0;
}

}  // namespace sibdecode
