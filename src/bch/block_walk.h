// Walk over the 31-byte BCH transport blocks of one batch: SFN-prime, payload
// CHOICE and capture of every SIB segment the payload carries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bch/segment.h"
#include "per/bit_reader.h"

namespace sibdecode {

constexpr size_t kBchBlockSize = 31;

// Payload alternatives of SystemInformation-BCH (index of the 4-bit CHOICE field).
enum PayloadAlternative : uint32_t {
  kNoSegment = 0,
  kFirstSegment = 1,
  kSubsequentSegment = 2,
  kLastSegmentShort = 3,
  kLastAndFirst = 4,
  kLastAndComplete = 5,
  kLastAndCompleteAndFirst = 6,
  kCompleteSibList = 7,
  kCompleteAndFirst = 8,
  kCompleteSib = 9,
  kLastSegment = 10,
  // 11..15 are spare5..spare1
};

// Decodes every whole block of data[0..len) in order and appends the segments
// found to `queue`. Bytes after the last whole block are ignored.
void WalkBlocks(const uint8_t* data, size_t len, tagSibSegment& current, SegmentQueue& queue);

// Decodes the payload CHOICE at the cursor (just after the SFN-prime). Segments
// decoded before a failing part stay queued. Returns 0 or the first failing status.
int DecodePayload(PerContext* ctx, tagSibSegment& current, SegmentQueue& queue);

}  // namespace sibdecode
