#include "bch/reassembly.h"

#include <algorithm>

namespace sibdecode {

std::vector<uint8_t> PackBits(const std::string& bits) {
  std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
  for (size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] != 0) bytes[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
  }
  return bytes;
}

bool Reassemble(SegmentQueue& queue, uint32_t* sibType, std::vector<uint8_t>* packed) {
  // Segments with equal SFN-prime (those of one block) keep their arrival order.
  // No wrap-around: a SIB spanning SFN-prime 2047 -> 0 sorts its tail first.
  std::stable_sort(queue.begin(), queue.end(), [](const tagSibSegment& a, const tagSibSegment& b) {
    return a.sfnPrime < b.sfnPrime;
  });

  // Subsequent and last segments cannot start a SIB.
  while (!queue.empty() && queue.front().segCount <= 0) queue.pop_front();
  if (queue.empty()) return false;

  const tagSibSegment& first = queue.front();
  const tagSibSegment& last = queue.back();
  // Only the first and the last queued segment are tested; whatever lies in
  // between is joined as it is.
  bool completes = int64_t{last.segmentIndex} + 1 == int64_t{first.segCount};
  if (!completes && first.segCount >= 2) {
    // A lastAndFirst or lastAndComplete block ends the SIB and starts another:
    // the queue's back then belongs to the next SIB although F's own last
    // segment is there.
    const uint32_t lastIndex = static_cast<uint32_t>(first.segCount - 1);
    completes = std::any_of(queue.begin() + 1, queue.end(), [&](const tagSibSegment& segment) {
      return segment.segCount == 0 && segment.sibType == first.sibType &&
             segment.segmentIndex == lastIndex;
    });
  }
  if (!completes && last.sibType != first.sibType) {
    queue.clear();
    return false;
  }
  *sibType = first.sibType;

  std::string joined;
  size_t total = 0;
  for (const tagSibSegment& segment : queue) total += segment.bits.size();
  joined.reserve(total);
  while (!queue.empty()) {
    joined += queue.front().bits;
    queue.pop_front();
  }
  *packed = PackBits(joined);
  return true;
}

}  // namespace sibdecode
