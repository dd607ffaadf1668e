// One received SIB segment, as the block walk captures it and the reassembly
// consumes it.
#pragma once

#include <cstdint>
#include <type_traits>
#include <vector>

namespace sibdecode {

constexpr uint32_t kMaxSegmentBits = 226;  // the data of a completeSIB
constexpr uint32_t kMaxSegmentBytes = (kMaxSegmentBits + 7) / 8;

struct tagSibSegment {
  uint32_t sfnPrime = 0;      // SFN-prime of the block it came in (0..2047)
  uint32_t payloadKind = 0;   // payload alternative of that block + 1 (1..16)
  int32_t segCount = 0;       // seg-Count of a first segment, 1 for a complete SIB, else 0
  uint32_t segmentIndex = 0;  // 0 for first/complete, 1..15 for subsequent and last
  uint32_t sibType = 0;       // SIB-Type value 0..31
  uint32_t bitCount = 0;      // data bits held in `data`, 0..226
  // The data bits in transmission order, the first in the most significant bit
  // of data[0]; every bit after the last one is zero.
  uint8_t data[kMaxSegmentBytes] = {};
};
static_assert(std::is_trivially_copyable<tagSibSegment>::value, "segments are copied as bytes");

// The segments of a call in arrival order. Kept by the state from call to call
// (cleared, never shrunk), so that queuing allocates nothing in the steady state.
using SegmentQueue = std::vector<tagSibSegment>;

}  // namespace sibdecode
