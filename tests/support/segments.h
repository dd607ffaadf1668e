// Segments as the block walk queues them, built from and read back as '0'/'1'
// digits.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bch/segment.h"
#include "support/bit_writer.h"

namespace sibtest {

inline sibdecode::tagSibSegment MakeSegment(uint32_t sfnPrime, uint32_t payloadKind,
                                            int32_t segCount, uint32_t segmentIndex,
                                            uint32_t sibType, const std::string& digits) {
  sibdecode::tagSibSegment segment;
  segment.sfnPrime = sfnPrime;
  segment.payloadKind = payloadKind;
  segment.segCount = segCount;
  segment.segmentIndex = segmentIndex;
  segment.sibType = sibType;
  segment.bitCount = static_cast<uint32_t>(digits.size());
  const std::vector<uint8_t> bytes = BitWriter().Pattern(digits).PadTo(sizeof segment.data);
  std::memcpy(segment.data, bytes.data(), sizeof segment.data);
  return segment;
}

// The segment's data bits as digits.
inline std::string SegmentDigits(const sibdecode::tagSibSegment& segment) {
  std::string digits;
  for (uint32_t i = 0; i < segment.bitCount && i / 8 < sizeof segment.data; ++i)
    digits.push_back((segment.data[i / 8] >> (7 - i % 8)) & 1 ? '1' : '0');
  return digits;
}

// Whether every bit of the data array after the segment's bits is zero.
inline bool PaddingIsZero(const sibdecode::tagSibSegment& segment) {
  for (size_t i = segment.bitCount; i < 8 * sizeof segment.data; ++i) {
    if ((segment.data[i / 8] >> (7 - i % 8)) & 1) return false;
  }
  return true;
}

}  // namespace sibtest
