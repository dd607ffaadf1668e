#include "api/decoder_state.h"

#include <new>

#include "api/summary_record.h"

namespace sibdecode {

namespace {

// Segments a new state has room for: a SIB of 16 segments with the blocks
// around it. Longer batches grow the queue once; it keeps its size.
constexpr size_t kReservedSegments = 32;

}  // namespace

// The state's work buffer, at least `size` bytes; grown, never shrunk. Null
// when it cannot grow.
char* StateWorkBuffer(DecoderState& state, size_t size) {
  if (state.workBuffer.size() < size) {
    try {
      state.workBuffer.resize(size);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return state.workBuffer.data();
}

int NoMemory(DecoderState& state, tagSystemInformationBlock* out, size_t* textLen) {
  ResetForCall(state, out);
  *textLen = 0;
  return kNoMemory;
}

void ResetForCall(DecoderState& state, tagSystemInformationBlock* out) {
  state.segmentQueue.clear();
  state.currentSegment.bitCount = 0;
  ResetSummaryFeed(state.feed);
  ZeroRecord(out);
}

DecoderState* CreateDecoderState() {
  DecoderState* state = nullptr;
  try {
    state = new DecoderState();
    state->segmentQueue.reserve(kReservedSegments);
    return state;
  } catch (const std::bad_alloc&) {
    delete state;
    return nullptr;
  }
}

void DestroyDecoderState(DecoderState* state) { delete state; }

}  // namespace sibdecode
