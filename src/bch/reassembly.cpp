#include "bch/reassembly.h"

#include <algorithm>

namespace sibdecode {

namespace {

// Sets the one bits of `bits` into zeroed `bytes` from bit `position` on, most
// significant bit first; returns the position after them.
size_t PackAt(const std::string& bits, size_t position, std::vector<uint8_t>& bytes) {
  size_t i = 0;
  if (position % 8 == 0) {  // a whole byte at a time while the bytes line up
    for (; i + 8 <= bits.size(); i += 8, position += 8) bytes[position / 8] = bits8::Pack(&bits[i]);
  }
  for (; i < bits.size(); ++i, ++position) {
    if (bits[i] != 0) bytes[position / 8] |= static_cast<uint8_t>(0x80u >> (position % 8));
  }
  return position;
}

}  // namespace

std::vector<uint8_t> PackBits(const std::string& bits) {
  std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
  PackAt(bits, 0, bytes);
  return bytes;
}

bool Reassemble(SegmentQueue& queue, uint32_t* sibType, std::vector<uint8_t>* packed) {
  // Segments with equal SFN-prime (those of one block) keep their arrival order.
  // No wrap-around: a SIB spanning SFN-prime 2047 -> 0 sorts its tail first.
  const auto earlier = [](const tagSibSegment& a, const tagSibSegment& b) {
    return a.sfnPrime < b.sfnPrime;
  };
  if (!std::is_sorted(queue.begin(), queue.end(), earlier)) {  // blocks mostly come in order
    std::stable_sort(queue.begin(), queue.end(), earlier);
  }

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

  // Join and pack in one pass into the caller's (reused) vector.
  size_t total = 0;
  for (const tagSibSegment& segment : queue) total += segment.bits.size();
  packed->assign((total + 7) / 8, 0);
  size_t position = 0;
  for (const tagSibSegment& segment : queue) position = PackAt(segment.bits, position, *packed);
  queue.clear();
  return true;
}

}  // namespace sibdecode
