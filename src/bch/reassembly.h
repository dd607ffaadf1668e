// Picks one SIB from the queued segments, checks that they plausibly complete
// it and joins their bits into bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bch/segment.h"

namespace sibdecode {

// Writes `bitCount` bits (the first in the most significant bit of bits[0], the
// bits after the last zero) to `out` from bit `position` on, most significant
// bit first. `out` holds at least (position + bitCount + 7) / 8 bytes and its
// bits from `position` to the end of that byte are zero; afterwards the bits
// after position + bitCount in its last byte are zero.
void PutBits(uint8_t* out, size_t position, const uint8_t* bits, uint32_t bitCount);

// Appends `bitCount` bits (as for PutBits) to the bit string of `bitTotal` bits
// packed in `bytes` ((bitTotal + 7) / 8 bytes, zero padded); returns the new
// total. Grows `bytes` (may throw std::bad_alloc).
size_t AppendBits(std::vector<uint8_t>& bytes, size_t bitTotal, const uint8_t* bits,
                  uint32_t bitCount);

// Returns false when nothing can be reassembled; otherwise *packed holds the
// joined bits, the last byte padded with zero bits. Leaves `queue` empty
// (unless growing *packed throws std::bad_alloc). *gapBit (when not null)
// receives the bit of *packed where a joined segment's index does not follow
// the previous one's, and is left alone when the chain has no gap.
bool Reassemble(SegmentQueue& queue, uint32_t* sibType, std::vector<uint8_t>* packed,
                uint64_t* gapBit = nullptr);

}  // namespace sibdecode
