// Builds unaligned PER encodings bit by bit for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sibtest {

class BitWriter {
 public:
  // Appends the low `width` bits of value, most significant first.
  BitWriter& Bits(uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) bits_.push_back(static_cast<uint8_t>((value >> i) & 1u));
    return *this;
  }
  BitWriter& Bit(bool value) { return Bits(value ? 1 : 0, 1); }
  // Appends a string of '0' and '1' characters; spaces are ignored.
  BitWriter& Pattern(const std::string& digits) {
    for (char c : digits) {
      if (c == '0' || c == '1') bits_.push_back(static_cast<uint8_t>(c - '0'));
    }
    return *this;
  }
  // Constrained whole number value - lower in the width of range (upper - lower + 1).
  BitWriter& Constrained(int64_t value, int64_t lower, int64_t upper) {
    uint64_t range = static_cast<uint64_t>(upper - lower) + 1;
    unsigned width = 0;
    while ((uint64_t{1} << width) < range) ++width;
    return Bits(static_cast<uint64_t>(value - lower), width);
  }
  BitWriter& Append(const BitWriter& other) {
    bits_.insert(bits_.end(), other.bits_.begin(), other.bits_.end());
    return *this;
  }

  size_t size() const { return bits_.size(); }
  const std::vector<uint8_t>& bits() const { return bits_; }

  // Packs most significant bit first; the last byte is padded with zero bits.
  std::vector<uint8_t> Bytes() const { return PadTo((bits_.size() + 7) / 8); }
  // Packs into exactly `byteCount` bytes (zero-padded).
  std::vector<uint8_t> PadTo(size_t byteCount) const {
    std::vector<uint8_t> out(byteCount, 0);
    for (size_t i = 0; i < bits_.size() && i / 8 < byteCount; ++i) {
      if (bits_[i]) out[i / 8] |= static_cast<uint8_t>(0x80u >> (i % 8));
    }
    return out;
  }

 private:
  std::vector<uint8_t> bits_;
};

}  // namespace sibtest
