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

// Eight of a segment's bit characters at a time.
namespace bits8 {

struct ByteTable {
  char chars[256][8];  // the bit values of each byte, most significant first
  constexpr ByteTable() : chars() {
    for (int value = 0; value < 256; ++value) {
      for (int bit = 0; bit < 8; ++bit)
        chars[value][bit] = static_cast<char>((value >> (7 - bit)) & 1);
    }
  }
};
inline constexpr ByteTable kByteTable;

// The eight bit characters of `byte`.
inline void Expand(uint8_t byte, char* out) {
  for (int i = 0; i < 8; ++i) out[i] = kByteTable.chars[byte][i];
}

// The byte of eight bit characters (any non-zero character is a one).
inline uint8_t Pack(const char* in) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v |= uint64_t{static_cast<uint8_t>(in[i])} << (8 * i);
  // One in the low bit of every non-zero byte, then the eight low bits gathered
  // into the top byte, the first character the most significant bit.
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
  v = ((((v & kLow7) + kLow7) | v) >> 7) & 0x0101010101010101ull;
  return static_cast<uint8_t>((v * 0x8040201008040201ull) >> 56);
}

}  // namespace bits8

}  // namespace sibdecode
