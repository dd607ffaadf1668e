// Bit reader and unaligned PER primitives: what the generated decoders read
// their values with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "per/decode_notes.h"
#include "per/hot_inline.h"

// Generated decoders return the first failing status unchanged.
#define PER_TRY(expr)                         \
  do {                                        \
    int per_status_ = (expr);                 \
    if (per_status_ != 0) return per_status_; \
  } while (0)

// PER_TRY that also notes, on failure, which member was being decoded.
#define PER_TRY_IN(expr, member, name)                                                \
  do {                                                                                \
    int per_status_ = (expr);                                                         \
    if (per_status_ != 0) return ::sibdecode::StopIn(ctx, per_status_, member, name); \
  } while (0)

namespace sibdecode {

// Status codes: 0 success, negative failure. Passed up unchanged.
constexpr int StatusOk = 0;
constexpr int StatusUnsupported = -1;
constexpr int StatusEndOfData = -2;
constexpr int StatusNoMemory = -9;
constexpr int StatusTooMany = -16;
constexpr int StatusBadConstraint = -24;
constexpr int StatusOutOfRange = -29;
// A tracing run reached the warning it looks for (DecodeNotes::traceWarning).
constexpr int StatusTraceStop = -40;

// A static SIZE bound, one per distinct SIZE constraint of the ASN.1.
struct SizeConstraint {
  uint8_t extensible;
  uint32_t lower;
  uint32_t upper;
};

struct SummaryFeed;  // cell identity and neighbour-cell queues (rrc/summary_feed.h)
struct RecordArena;

// Decoding cursor. Does not own the bytes it reads.
struct PerContext {
  const uint8_t* data;
  uint64_t position;  // bits read from the start of data
  uint32_t size;      // bytes of data
  const SizeConstraint* pendingSize;
  SummaryFeed* feed;   // where the SIB3/4/11/12 decoders leave summary values; may be null
  RecordArena* arena;  // where decoded records are allocated; null: the heap
  DecodeNotes* notes;  // where a stop and warnings are noted; may be null
  bool release7;       // extension containers past the Release 7 level are noted, not decoded
};

void InitPerContext(PerContext* ctx, const uint8_t* data, uint32_t size,
                    SummaryFeed* feed = nullptr);

// Notes the member `member` (printed as `name`) of the value being decoded as
// where the decode stopped, one level of the stop path; returns `status`.
// Called by the generated decoders while a failure unwinds.
int StopIn(PerContext* ctx, int status, uint32_t member, const char* name);

// Notes a warning at the read position. StatusTraceStop when this is the
// warning a tracing run looks for, else StatusOk.
int NoteWarning(PerContext* ctx, WarningKind kind);

// `width` (<= 32) bits at bit `position` of `data`, first bit most significant,
// reading only the bytes that hold them. The caller has checked that they lie
// inside the buffer.
uint32_t GatherBits(const uint8_t* data, uint64_t position, unsigned width);

// The fixed-width reads below are inline: the generated decoders call them with
// constant bounds, so widths and ranges fold away.

// Bits consumed since the start of the buffer.
SIBDECODE_HOT_INLINE uint64_t BitPosition(const PerContext* ctx) { return ctx->position; }

namespace per_detail {

SIBDECODE_HOT_INLINE uint64_t TotalBits(const PerContext* ctx) { return uint64_t{ctx->size} * 8; }

SIBDECODE_HOT_INLINE void SetPosition(PerContext* ctx, uint64_t position) {
  ctx->position = position;
}
// Smallest w with 2^w >= range, for 2 <= range <= 2^32.
SIBDECODE_HOT_INLINE unsigned BitWidthForRange(uint64_t range) {
  return 64u - static_cast<unsigned>(__builtin_clzll(range - 1));
}

// The eight bytes at `p` as one number, the first byte most significant.
SIBDECODE_HOT_INLINE uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}

// GatherBits for 1 <= width <= 32 inside the buffer: one eight-byte load when
// the buffer holds eight bytes from the first one.
SIBDECODE_HOT_INLINE uint32_t Gather(const PerContext* ctx, uint64_t position, unsigned width) {
  const uint64_t first = position / 8;
  if (first + 8 <= ctx->size) {
    const uint64_t window = LoadBigEndian64(ctx->data + first);
    return static_cast<uint32_t>((window << (position % 8)) >> (64 - width));
  }
  return GatherBits(ctx->data, position, width);
}

}  // namespace per_detail

SIBDECODE_HOT_INLINE int ReadBit(PerContext* ctx, uint8_t* bit) {
  const uint64_t position = ctx->position;
  if (position >= per_detail::TotalBits(ctx)) return StatusEndOfData;
  ctx->position = position + 1;
  *bit = static_cast<uint8_t>((ctx->data[position / 8] >> (7 - position % 8)) & 1u);
  return StatusOk;
}

// A SEQUENCE preamble of `count` OPTIONAL bits: *presence = 0, then bit i of the
// preamble into bit i of *presence, as reading them one at a time would. Bits
// that lie inside the buffer are taken even when the rest do not.
SIBDECODE_HOT_INLINE int ReadPresenceBits(PerContext* ctx, uint32_t count, uint32_t* presence) {
  *presence = 0;
  if (count > 32) return StatusOutOfRange;
  if (count == 0) return StatusOk;
  const uint64_t position = BitPosition(ctx);
  const uint64_t total = per_detail::TotalBits(ctx);
  const uint32_t available =
      position >= total
          ? 0
          : static_cast<uint32_t>(total - position < count ? total - position : count);
  if (available == 0) return StatusEndOfData;
  const uint32_t bits = per_detail::Gather(ctx, position, available);
  // The first bit read is presence bit 0.
  uint32_t reversed = 0;
  for (uint32_t i = 0; i < available; ++i) reversed |= ((bits >> (available - 1 - i)) & 1u) << i;
  *presence = reversed;
  per_detail::SetPosition(ctx, position + available);
  return available == count ? StatusOk : StatusEndOfData;
}

SIBDECODE_HOT_INLINE int ReadWholeNumber(PerContext* ctx, uint64_t range, uint32_t* value) {
  if (range < 2 || range > (uint64_t{1} << 32)) return StatusOutOfRange;
  const unsigned width = per_detail::BitWidthForRange(range);
  const uint64_t position = BitPosition(ctx);
  if (position + width > per_detail::TotalBits(ctx)) return StatusEndOfData;
  *value = per_detail::Gather(ctx, position, width);
  per_detail::SetPosition(ctx, position + width);
  return StatusOk;
}

namespace per_detail {

// Reads the INTEGER lower..upper (lower < upper) and stores lower + v truncated
// to Field; a stored value outside the bounds stays stored and is refused.
template <typename Field, typename Bound>
SIBDECODE_HOT_INLINE int StoreThenCheck(PerContext* ctx, Bound lower, Bound upper, Field* field) {
  const uint64_t range =
      static_cast<uint64_t>(static_cast<int64_t>(upper) - static_cast<int64_t>(lower)) + 1;
  uint32_t v = 0;
  const int status = ReadWholeNumber(ctx, range, &v);
  if (status != StatusOk) return status;
  *field = static_cast<Field>(static_cast<int64_t>(lower) + static_cast<int64_t>(v));
  // An int8_t field holds a number, not a character: sign extension is meant.
  const int64_t stored =
      static_cast<int64_t>(*field);  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
  if (stored < static_cast<int64_t>(lower) || stored > static_cast<int64_t>(upper)) {
    return StatusOutOfRange;
  }
  return StatusOk;
}

template <typename Field>
SIBDECODE_HOT_INLINE int DecodeUnsigned(PerContext* ctx, uint32_t lower, uint32_t upper,
                                        Field* field) {
  if (lower > upper) return StatusBadConstraint;
  if (lower == upper) {
    *field = static_cast<Field>(lower);
    return StatusOk;
  }
  return StoreThenCheck(ctx, lower, upper, field);
}

}  // namespace per_detail

SIBDECODE_HOT_INLINE int DecodeUInt8(PerContext* ctx, uint32_t lower, uint32_t upper,
                                     uint8_t* field) {
  return per_detail::DecodeUnsigned(ctx, lower, upper, field);
}
SIBDECODE_HOT_INLINE int DecodeUInt16(PerContext* ctx, uint32_t lower, uint32_t upper,
                                      uint16_t* field) {
  return per_detail::DecodeUnsigned(ctx, lower, upper, field);
}
SIBDECODE_HOT_INLINE int DecodeUInt32(PerContext* ctx, uint32_t lower, uint32_t upper,
                                      uint32_t* field) {
  return per_detail::DecodeUnsigned(ctx, lower, upper, field);
}
// No lower == upper shortcut: a single-valued signed INTEGER never reaches here.
SIBDECODE_HOT_INLINE int DecodeInt8(PerContext* ctx, int32_t lower, int32_t upper, int8_t* field) {
  if (lower > upper) return StatusBadConstraint;
  return per_detail::StoreThenCheck(ctx, lower, upper, field);
}
SIBDECODE_HOT_INLINE int DecodeInt16(PerContext* ctx, int32_t lower, int32_t upper,
                                     int16_t* field) {
  if (lower > upper) return StatusBadConstraint;
  if (lower == upper) {
    *field = static_cast<int16_t>(lower);
    return StatusOk;
  }
  return per_detail::StoreThenCheck(ctx, lower, upper, field);
}
SIBDECODE_HOT_INLINE int DecodeInt32(PerContext* ctx, int32_t lower, int32_t upper,
                                     int32_t* field) {
  if (lower > upper) return StatusBadConstraint;
  return per_detail::StoreThenCheck(ctx, lower, upper, field);
}

// ENUMERATED of `count` identifiers (spares included); a single identifier reads nothing.
SIBDECODE_HOT_INLINE int DecodeEnumerated(PerContext* ctx, uint32_t count, uint32_t* field) {
  if (count == 1) {
    *field = 0;
    return StatusOk;
  }
  uint32_t index = 0;
  const int status = ReadWholeNumber(ctx, count, &index);
  if (status != StatusOk) return status;
  *field = index;
  return index >= count ? StatusOutOfRange : StatusOk;
}

namespace per_detail {

// Constraint checks shared by the length-determined reads.
SIBDECODE_HOT_INLINE int CheckPendingSize(PerContext* ctx) {
  const SizeConstraint* size = ctx->pendingSize;
  if (size == nullptr || size->extensible) return StatusUnsupported;
  if (size->lower > size->upper) {
    ctx->pendingSize = nullptr;
    return StatusBadConstraint;
  }
  if (size->upper >= 65536) return StatusUnsupported;
  return StatusOk;
}

}  // namespace per_detail

// Length determinant under ctx->pendingSize; clears pendingSize.
SIBDECODE_HOT_INLINE int ReadLength(PerContext* ctx, uint32_t* length) {
  int status = per_detail::CheckPendingSize(ctx);
  if (status != StatusOk) return status;
  const SizeConstraint* size = ctx->pendingSize;
  if (size->lower == size->upper) {
    *length = size->upper;
  } else {
    uint32_t v = 0;
    status = ReadWholeNumber(ctx, uint64_t{size->upper} - size->lower + 1, &v);
    if (status != StatusOk) return status;
    *length = size->lower + v;
  }
  ctx->pendingSize = nullptr;
  return StatusOk;
}
namespace per_detail {

// Copies `count` bits at `position` into bytes[0..], first bit in the most
// significant bit of bytes[0]; the bits after them in the last byte are zero.
void CopyBits(const uint8_t* data, uint64_t position, uint64_t count, uint8_t* bytes);

}  // namespace per_detail

// BIT STRING under ctx->pendingSize into `arrayLength` bytes, first bit into bit 7 of bytes[0].
SIBDECODE_HOT_INLINE int ReadBitString(PerContext* ctx, uint32_t* bitCount, uint8_t* bytes,
                                       uint32_t arrayLength) {
  int status = per_detail::CheckPendingSize(ctx);
  if (status != StatusOk) return status;
  const SizeConstraint* size = ctx->pendingSize;
  uint32_t n = size->upper;
  if (size->lower != size->upper) {
    status = ReadLength(ctx, &n);
    if (status != StatusOk) return status;
  }
  *bitCount = n;
  if (n > size->upper || uint64_t{n} > uint64_t{arrayLength} * 8) return StatusTooMany;
  const uint64_t position = BitPosition(ctx);
  if (position + n > per_detail::TotalBits(ctx)) return StatusEndOfData;
  // Straight into the record: the bits, then zeros to the end of its array.
  std::memset(bytes, 0, arrayLength);
  per_detail::CopyBits(ctx->data, position, n, bytes);
  per_detail::SetPosition(ctx, position + n);
  ctx->pendingSize = nullptr;
  return StatusOk;
}
// OCTET STRING under ctx->pendingSize (X.691: length, then 8 bits per octet).
int ReadOctetString(PerContext* ctx, uint32_t* count, uint8_t* bytes, uint32_t arrayLength);

}  // namespace sibdecode
