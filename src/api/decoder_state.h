// Everything one decoding call works on besides its arguments. RRCParserX uses
// one process-wide instance; the reentrant API takes one per thread.
#pragma once

#include <cstdint>
#include <vector>

#include "bch/segment.h"
#include "per/arena.h"
#include "per/decode_notes.h"
#include "rrc/summary_feed.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

struct DecoderState {
  SegmentQueue segmentQueue;  // reserved when the state is created
  tagSibSegment currentSegment;
  SummaryFeed feed;  // reached by the SIB decoders through PerContext::feed
  // Kept from call to call so that a call allocates nothing in the steady state.
  std::vector<uint8_t> packedSib;  // the reassembled SIB
  std::vector<char> workBuffer;    // the text, when the caller's buffer cannot take it
  RecordArena arena;               // the decoded tree of the SIB being decoded
  DecodeNotes notes;               // the last decode's stop and warnings
  DecodeReport report{};           // ... as GetDecodeReport gives them
  // Bit of the reassembled SIB where a batch's segment chain lacks an index; kNoGap when whole.
  uint64_t segmentGapBit = kNoGap;
  static constexpr uint64_t kNoGap = UINT64_MAX;
  // Release 7 (RRCParserX's ten types and levels) unless the caller asked for everything.
  bool release7 = true;
  // The layout of the texts (RRCParserX's unless the caller asked otherwise).
  TextLayout textLayout = kTextLayoutRRCParserX;
  std::vector<char> plainBuffer;  // the text relaid in the plain layout
  // Whether the report's warnings get their paths (a decode again per warning):
  // not for RRCParserX, whose report nobody reads.
  bool warningPaths = true;
};

}  // namespace sibdecode
