// One received SIB segment, as the block walk captures it and the reassembly
// consumes it.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

namespace sibdecode {

struct tagSibSegment {
  uint32_t sfnPrime = 0;      // SFN-prime of the block it came in (0..2047)
  uint32_t payloadKind = 0;   // payload alternative of that block + 1 (1..16)
  int32_t segCount = 0;       // seg-Count of a first segment, 1 for a complete SIB, else 0
  uint32_t segmentIndex = 0;  // 0 for first/complete, 1..15 for subsequent and last
  uint32_t sibType = 0;       // SIB-Type value 0..31
  std::string bits;           // data bits in transmission order, one char (0 or 1) per bit
};

using SegmentQueue = std::deque<tagSibSegment>;

}  // namespace sibdecode
