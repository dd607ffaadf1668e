// Everything one decoding call works on besides its arguments. RRCParserX uses
// one process-wide instance; the reentrant API takes one per thread.
#pragma once

#include <cstdint>
#include <vector>

#include "bch/segment.h"
#include "per/arena.h"
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
};

// Empties the queues and the feed, zero-fills *out.
void ResetForCall(DecoderState& state, tagSystemInformationBlock* out);

// The state's work buffer, at least `size` bytes; grown, never shrunk. Null
// when it cannot grow.
char* StateWorkBuffer(DecoderState& state, size_t size);

// The call's own storage could not be allocated: nothing of the call is kept
// (queues emptied, *out zeroed) and no text is delivered. The exported
// functions report this (kNoMemory) instead of letting an exception into the
// host.
int NoMemory(DecoderState& state, tagSystemInformationBlock* out, size_t* textLen);

}  // namespace sibdecode
