#include "bch/reassembly.h"

#include <algorithm>
#include <cstring>

namespace sibdecode {

namespace {

// Below this many segments an out-of-order queue is sorted in place; longer
// ones go to std::stable_sort (which may take a temporary buffer).
constexpr size_t kInsertionSortLimit = 64;

bool Earlier(const tagSibSegment& a, const tagSibSegment& b) { return a.sfnPrime < b.sfnPrime; }

// Segments with equal SFN-prime (those of one block) keep their arrival order.
void SortBySfnPrime(SegmentQueue& queue) {
  if (std::is_sorted(queue.begin(), queue.end(), Earlier)) return;  // blocks mostly come in order
  if (queue.size() > kInsertionSortLimit) {
    std::stable_sort(queue.begin(), queue.end(), Earlier);
    return;
  }
  for (size_t i = 1; i < queue.size(); ++i) {
    if (!Earlier(queue[i], queue[i - 1])) continue;
    const tagSibSegment moved = queue[i];
    size_t j = i;
    for (; j > 0 && Earlier(moved, queue[j - 1]); --j) queue[j] = queue[j - 1];
    queue[j] = moved;
  }
}

}  // namespace

void PutBits(uint8_t* out, size_t position, const uint8_t* bits, uint32_t bitCount) {
  if (bitCount == 0) return;  // `out` may then be a null pointer
  uint8_t* at = out + position / 8;
  const unsigned shift = static_cast<unsigned>(position % 8);
  const uint32_t byteCount = (bitCount + 7) / 8;
  if (shift == 0) {
    std::memcpy(at, bits, byteCount);
    return;
  }
  // Each byte of bits ends the partly filled byte and starts the next one.
  unsigned carry = at[0];
  for (uint32_t i = 0; i < byteCount; ++i) {
    at[i] = static_cast<uint8_t>(carry | (bits[i] >> shift));
    carry = (bits[i] << (8 - shift)) & 0xFFu;
  }
  // The last byte's low bits spill into one more byte when they hold data.
  if ((shift + bitCount + 7) / 8 > byteCount) at[byteCount] = static_cast<uint8_t>(carry);
}

size_t AppendBits(std::vector<uint8_t>& bytes, size_t bitTotal, const uint8_t* bits,
                  uint32_t bitCount) {
  const size_t total = bitTotal + bitCount;
  bytes.resize((total + 7) / 8);
  PutBits(bytes.data(), bitTotal, bits, bitCount);
  return total;
}

bool Reassemble(SegmentQueue& queue, uint32_t* sibType, std::vector<uint8_t>* packed,
                uint64_t* gapBit) {
  // No wrap-around: a SIB spanning SFN-prime 2047 -> 0 sorts its tail first.
  SortBySfnPrime(queue);

  // Subsequent and last segments cannot start a SIB.
  const size_t end = queue.size();
  size_t start = 0;
  while (start < end && queue[start].segCount <= 0) ++start;
  if (start == end) {
    queue.clear();
    return false;
  }

  const tagSibSegment& first = queue[start];
  const tagSibSegment& last = queue[end - 1];
  // Only the first and the last queued segment are tested; whatever lies in
  // between is joined as it is.
  bool completes = int64_t{last.segmentIndex} + 1 == int64_t{first.segCount};
  if (!completes && first.segCount >= 2) {
    // A lastAndFirst or lastAndComplete block ends the SIB and starts another:
    // the queue's back then belongs to the next SIB although F's own last
    // segment is there.
    const uint32_t lastIndex = static_cast<uint32_t>(first.segCount - 1);
    for (size_t i = start + 1; i < end && !completes; ++i) {
      const tagSibSegment& segment = queue[i];
      completes = segment.segCount == 0 && segment.sibType == first.sibType &&
                  segment.segmentIndex == lastIndex;
    }
  }
  if (!completes && last.sibType != first.sibType) {
    queue.clear();
    return false;
  }
  *sibType = first.sibType;

  // Join into the caller's (reused) vector, each segment at the bit where the
  // previous one ended.
  size_t total = 0;
  for (size_t i = start; i < end; ++i) total += queue[i].bitCount;
  packed->resize((total + 7) / 8);
  size_t position = 0;
  for (size_t i = start; i < end; ++i) {
    if (gapBit != nullptr && *gapBit == UINT64_MAX && i > start &&
        queue[i].segmentIndex != queue[i - 1].segmentIndex + 1 && queue[i].segCount <= 0) {
      *gapBit = position;
    }
    PutBits(packed->data(), position, queue[i].data, queue[i].bitCount);
    position += queue[i].bitCount;
  }
  queue.clear();
  return true;
}

}  // namespace sibdecode
