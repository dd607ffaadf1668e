#include "api/raw_trailer.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sibdecode {

namespace {

constexpr char kTrailerHeader[] = "\r\n<<<-----raw data ----->>>\r\n";
constexpr size_t kTrailerHeaderSize = sizeof(kTrailerHeader) - 1;

}  // namespace

size_t RawTrailerSize(size_t len) {
  if (len == 0) return kTrailerHeaderSize;
  return kTrailerHeaderSize + 2 * len + 2 * ((len - 1) / 31);
}

namespace {

// "%02X" of every byte value.
struct HexPairs {
  char pairs[256][2];
  constexpr HexPairs() : pairs() {
    const char digits[] = "0123456789ABCDEF";
    for (int value = 0; value < 256; ++value) {
      pairs[value][0] = digits[value >> 4];
      pairs[value][1] = digits[value & 0x0F];
    }
  }
};
constexpr HexPairs kHexPairs;

#if defined(__SSE2__)
// The sixteen hex digits of the eight bytes at `in`.
void PutHexOf8(char* out, const unsigned char* in) {
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
  const __m128i low4 = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), low4);
  const __m128i low = _mm_and_si128(bytes, low4);
  const __m128i nibbles = _mm_unpacklo_epi8(high, low);  // first digit of each byte first
  // '0' + n, and 7 more for 'A' to 'F'.
  const __m128i letters =
      _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
  const __m128i digits = _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
}
#endif
constexpr size_t kBlockSize = 31;

}  // namespace

char* WriteRawTrailer(char* out, const unsigned char* data, size_t len) {
  std::memcpy(out, kTrailerHeader, kTrailerHeaderSize);
  out += kTrailerHeaderSize;
  for (size_t start = 0; start < len; start += kBlockSize) {
    if (start > 0) {  // one line per block
      *out++ = '\r';
      *out++ = '\n';
    }
    const size_t end = len - start < kBlockSize ? len : start + kBlockSize;
    size_t i = start;
#if defined(__SSE2__)
    if (end - start >= 8) {
      for (; i + 8 <= end; i += 8, out += 16) PutHexOf8(out, data + i);
      // The last bytes with the eight that end the block, rewriting some digits.
      if (i < end) {
        PutHexOf8(out - 2 * (i + 8 - end), data + end - 8);
        out += 2 * (end - i);
        i = end;
      }
    }
#endif
    for (; i < end; ++i, out += 2) std::memcpy(out, kHexPairs.pairs[data[i]], 2);
  }
  return out;
}

}  // namespace sibdecode
