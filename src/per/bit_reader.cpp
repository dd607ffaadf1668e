// Unaligned PER primitives over a PerContext. Every read checks that all of
// its bits lie below `size` before it touches a byte.
#include "per/bit_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sibdecode {

uint32_t GatherBits(const uint8_t* data, uint64_t position, unsigned width) {
  if (width == 0) return 0;
  const uint8_t* first = data + position / 8;
  const unsigned offset = static_cast<unsigned>(position % 8);
  const unsigned byteCount = (offset + width + 7) / 8;  // at most 5
  uint64_t window = 0;
  for (unsigned i = 0; i < byteCount; ++i) window = (window << 8) | first[i];
  window >>= byteCount * 8 - offset - width;
  return static_cast<uint32_t>(window & ((uint64_t{1} << width) - 1u));
}

namespace {

using per_detail::LoadBigEndian64;

void StoreBigEndian64(uint8_t* p, uint64_t value) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  std::memcpy(p, &value, sizeof value);
}

}  // namespace

void per_detail::CopyBits(const uint8_t* data, uint64_t position, uint64_t count, uint8_t* bytes) {
  const uint8_t* source = data + position / 8;
  const unsigned shift = static_cast<unsigned>(position % 8);
  const uint64_t whole = count / 8;
  if (shift == 0) {
    std::memcpy(bytes, source, whole);
  } else {
    // Byte i takes the end of source[i] and the start of source[i + 1]; both
    // hold bits of the string, so nothing past it is read. Eight source bytes
    // at a time give seven whole bytes; the eighth byte written is incomplete
    // and written again by the next step.
    uint64_t i = 0;
    for (; i + 8 <= whole; i += 7)
      StoreBigEndian64(bytes + i, LoadBigEndian64(source + i) << shift);
    for (; i < whole; ++i) {
      bytes[i] = static_cast<uint8_t>((source[i] << shift) | (source[i + 1] >> (8 - shift)));
    }
  }
  const unsigned rest = static_cast<unsigned>(count % 8);
  if (rest > 0) {
    bytes[whole] = static_cast<uint8_t>(GatherBits(data, position + whole * 8, rest) << (8 - rest));
  }
}

void InitPerContext(PerContext* ctx, const uint8_t* data, uint32_t size, SummaryFeed* feed) {
  ctx->data = data;
  ctx->position = 0;
  ctx->size = size;
  ctx->pendingSize = nullptr;
  ctx->feed = feed;
  ctx->arena = nullptr;
  ctx->notes = nullptr;
  ctx->release7 = false;
}

int StopIn(PerContext* ctx, int status, uint32_t member, const char* name) {
  DecodeNotes* notes = ctx->notes;
  if (notes == nullptr) return status;
  if (notes->depth == 0) {
    notes->status = status;
    notes->stopBit = ctx->position;
  }
  if (notes->depth < kMaxStopFrames) notes->frames[notes->depth] = {member, name};
  ++notes->depth;
  return status;
}

int NoteWarning(PerContext* ctx, WarningKind kind) {
  DecodeNotes* notes = ctx->notes;
  if (notes == nullptr) return StatusOk;
  if (notes->warningCount < kMaxKeptWarnings) {
    notes->warnings[notes->warningCount] = {kind, ctx->position};
  }
  ++notes->warningCount;
  notes->warningKinds |= 1u << static_cast<unsigned>(kind);
  return notes->warningCount == notes->traceWarning ? StatusTraceStop : StatusOk;
}

int ReadOctetString(PerContext* ctx, uint32_t* count, uint8_t* bytes, uint32_t arrayLength) {
  int status = per_detail::CheckPendingSize(ctx);
  if (status != StatusOk) return status;
  const SizeConstraint* size = ctx->pendingSize;
  uint32_t n = 0;
  status = ReadLength(ctx, &n);
  if (status != StatusOk) return status;
  *count = n;
  if (n > size->upper || n > arrayLength) return StatusTooMany;
  uint64_t position = BitPosition(ctx);
  if (position + uint64_t{n} * 8 > per_detail::TotalBits(ctx)) return StatusEndOfData;
  for (uint32_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<uint8_t>(GatherBits(ctx->data, position + uint64_t{i} * 8, 8));
  }
  per_detail::SetPosition(ctx, position + uint64_t{n} * 8);
  return StatusOk;
}

}  // namespace sibdecode
