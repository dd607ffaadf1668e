// libFuzzer target over the bare-SIB entry points: the first input byte picks
// one of the decoded SIB types, the rest is the SIB's PER encoding without
// BCH framing, so the fuzzer works on the SIB bits directly. Each input is
// decoded as text (whole and into a too small buffer) and as JSON.
//
// PER is bit-aligned: inserting or deleting one bit shifts everything behind
// it, which byte-level mutations cannot do. Unless SIBDECODE_FUZZ_NO_BIT_MUTATOR
// is defined, a custom mutator does that for a quarter of the mutations.
#include <sibdecode/sibdecode.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "api/generated/sib_types.h"
#include "report_check.h"

namespace {

// Every type the library has a decoder for, to the end of its extension chain.
sibdecode::DecoderState* SharedState() {
  static sibdecode::DecoderState* state = [] {
    sibdecode::DecoderState* created = sibdecode::CreateDecoderState();
    sibdecode::SetDecodeRelease(created, sibdecode::kReleaseLatest);
    return created;
  }();
  return state;
}

using DecodeFn = int (*)(sibdecode::DecoderState*, unsigned int, const unsigned char*, size_t,
                         tagSystemInformationBlock*, char*, size_t, size_t*);

// Decodes into `buffer`, grown and retried once when the text needs more; the
// retry must deliver exactly the announced length.
int DecodeWhole(DecodeFn decode, unsigned int sibType, const uint8_t* sib, size_t len,
                tagSystemInformationBlock* out, std::vector<char>& buffer, size_t* textLen) {
  int result = decode(SharedState(), sibType, sib, len, out, buffer.data(), buffer.size(), textLen);
  if (result == sibdecode::kTextTooSmall) {
    if (*textLen <= buffer.size()) std::abort();
    const size_t needed = *textLen;
    buffer.resize(needed);
    result = decode(SharedState(), sibType, sib, len, out, buffer.data(), buffer.size(), textLen);
    if (result != sibdecode::kDecoded || *textLen != needed) std::abort();
  }
  if (result != sibdecode::kDecoded && result != sibdecode::kNothingDecoded) std::abort();
  if (result == sibdecode::kDecoded && (*textLen == 0 || *textLen > buffer.size())) std::abort();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const unsigned int sibType =
      sibdecode::kDecodedSibTypes[data[0] % sibdecode::kDecodedSibTypeCount];
  // An exact-size heap copy: ASan reports any read past the SIB's last byte.
  std::vector<uint8_t> sib(data + 1, data + size);
  const uint8_t* bits = sib.empty() ? nullptr : sib.data();

  static std::vector<char> text(size_t{1} << 18);
  static std::vector<char> json(size_t{1} << 18);
  tagSystemInformationBlock textOut;
  tagSystemInformationBlock jsonOut;
  size_t textLen = 0;
  size_t jsonLen = 0;
  const int textResult =
      DecodeWhole(sibdecode::DecodeSib, sibType, bits, sib.size(), &textOut, text, &textLen);
  const int jsonResult =
      DecodeWhole(sibdecode::DecodeSibJson, sibType, bits, sib.size(), &jsonOut, json, &jsonLen);
  // One decode behind both printers: the same outcome and the same summary record.
  if (textResult != jsonResult) std::abort();
  if (std::memcmp(&textOut, &jsonOut, sizeof textOut) != 0) std::abort();
  if (textResult != sibdecode::kDecoded) return 0;
  CheckStateReport(SharedState(), sibType, uint64_t{sib.size()} * 8);

  // A buffer one byte short takes nothing and is told the full length; an
  // exact-size heap buffer lets ASan catch a write past it.
  const size_t shortCapacity = textLen - 1;
  char* small = static_cast<char*>(std::malloc(shortCapacity > 0 ? shortCapacity : 1));
  size_t smallLen = 0;
  const int smallResult = sibdecode::DecodeSib(SharedState(), sibType, bits, sib.size(), &textOut,
                                               small, shortCapacity, &smallLen);
  std::free(small);
  if (smallResult != sibdecode::kTextTooSmall || smallLen != textLen) std::abort();
  return 0;
}

#ifndef SIBDECODE_FUZZ_NO_BIT_MUTATOR
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

// Inserts a random bit at, or deletes the bit at, a random position of the SIB
// bits (behind the type byte); the input keeps its size.
extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize,
                                          unsigned int seed) {
  std::minstd_rand rng(seed);
  if (size < 2 || rng() % 4 != 0) return LLVMFuzzerMutate(data, size, maxSize);
  uint8_t* sib = data + 1;
  const size_t bitCount = (size - 1) * 8;
  const size_t at = rng() % bitCount;
  auto get = [sib](size_t i) { return (sib[i / 8] >> (7 - i % 8)) & 1; };
  auto set = [sib](size_t i, int bit) {
    const auto mask = static_cast<uint8_t>(0x80u >> (i % 8));
    sib[i / 8] = static_cast<uint8_t>(bit ? (sib[i / 8] | mask) : (sib[i / 8] & ~mask));
  };
  if (rng() % 2 == 0) {
    for (size_t i = bitCount - 1; i > at; --i) set(i, get(i - 1));
    set(at, static_cast<int>(rng() % 2));
  } else {
    for (size_t i = at; i + 1 < bitCount; ++i) set(i, get(i + 1));
    set(bitCount - 1, 0);
  }
  return size;
}
#endif
