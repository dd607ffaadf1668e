#include "api/decoder_state.h"

#include <new>

#include "sibdecode/sibdecode.h"

namespace sibdecode {

namespace {

// Segments a new state has room for: a SIB of 16 segments with the blocks
// around it. Longer batches grow the queue once; it keeps its size.
constexpr size_t kReservedSegments = 32;

}  // namespace

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
