// Builds BCH transport blocks (SystemInformation-BCH, unaligned PER) for tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "api/raw_trailer.h"
#include "support/bit_writer.h"

namespace sibtest {

// The raw-data trailer the library writes after a text for these bytes.
inline std::string RawTrailer(const unsigned char* data, size_t len) {
  std::string trailer(sibdecode::RawTrailerSize(len), '\0');
  sibdecode::WriteRawTrailer(&trailer[0], data, len);
  return trailer;
}

// `count` pseudo-random '0'/'1' digits; different seeds give different strings.
inline std::string DataBits(size_t count, uint32_t seed) {
  std::string digits;
  uint32_t x = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < count; ++i) {
    x = x * 1103515245u + 12345u;
    digits.push_back(((x >> 16) & 1u) ? '1' : '0');
  }
  return digits;
}

// One 31-byte block: SFN-prime (11 bits), payload alternative (4 bits), contents.
inline std::vector<uint8_t> Block(uint32_t sfnPrime, uint32_t alternative,
                                  const BitWriter& contents) {
  return BitWriter().Bits(sfnPrime, 11).Bits(alternative, 4).Append(contents).PadTo(31);
}

// FirstSegment: sib-Type, seg-Count - 1, 222 data bits.
inline BitWriter FirstSegment(uint32_t sibType, uint32_t segCount, const std::string& data222) {
  return BitWriter().Bits(sibType, 5).Bits(segCount - 1, 4).Pattern(data222);
}

// SubsequentSegment and LastSegment: sib-Type, index - 1, 222 data bits.
inline BitWriter FollowingSegment(uint32_t sibType, uint32_t index, const std::string& data222) {
  return BitWriter().Bits(sibType, 5).Bits(index - 1, 4).Pattern(data222);
}

// Variable data: 8-bit length field (bit count - 1), then the bits.
inline BitWriter VariableData(const std::string& digits) {
  return BitWriter().Bits(digits.size() - 1, 8).Pattern(digits);
}

inline BitWriter FirstShort(uint32_t sibType, uint32_t segCount, const std::string& digits) {
  return BitWriter().Bits(sibType, 5).Bits(segCount - 1, 4).Append(VariableData(digits));
}

inline BitWriter FollowingShort(uint32_t sibType, uint32_t index, const std::string& digits) {
  return BitWriter().Bits(sibType, 5).Bits(index - 1, 4).Append(VariableData(digits));
}

inline BitWriter CompleteShort(uint32_t sibType, const std::string& digits) {
  return BitWriter().Bits(sibType, 5).Append(VariableData(digits));
}

inline BitWriter CompleteList(const std::vector<std::pair<uint32_t, std::string>>& sibs) {
  BitWriter writer;
  writer.Bits(sibs.size() - 1, 4);
  for (const auto& sib : sibs) writer.Append(CompleteShort(sib.first, sib.second));
  return writer;
}

// CompleteSIB: sib-Type, 226 data bits.
inline BitWriter Complete(uint32_t sibType, const std::string& data226) {
  return BitWriter().Bits(sibType, 5).Pattern(data226);
}

}  // namespace sibtest
