// Unaligned PER primitives over a PerContext. Every read checks that all of
// its bits lie below `size` before it touches a byte.
#include "per/per.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace sibdecode {

namespace {

constexpr uint64_t kMaxWholeNumberRange = uint64_t{1} << 32;

uint64_t TotalBits(const PerContext* ctx) { return uint64_t{ctx->size} * 8; }

void SetPosition(PerContext* ctx, uint64_t position) {
  ctx->byteIndex = static_cast<uint32_t>(position / 8);
  ctx->bitsLeft = static_cast<int16_t>(8 - position % 8);
}

// Smallest w with 2^w >= range, for 2 <= range <= 2^32.
unsigned BitWidthForRange(uint64_t range) {
  return 64u - static_cast<unsigned>(__builtin_clzll(range - 1));
}

// Reads `width` (<= 32) bits at `position`, first bit most significant.
// The caller has checked that they lie inside the buffer; only the bytes that
// hold them are read.
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

// The eight bytes at `p` as one number, the first byte most significant.
uint64_t LoadBigEndian64(const uint8_t* p) {
  uint64_t value;
  std::memcpy(&value, p, sizeof value);
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  return value;
}

void StoreBigEndian64(uint8_t* p, uint64_t value) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  value = __builtin_bswap64(value);
#endif
  std::memcpy(p, &value, sizeof value);
}

// Copies `count` bits at `position` into bytes[0..], first bit in the most
// significant bit of bytes[0]; the bits after them in the last byte are zero.
void CopyBits(const uint8_t* data, uint64_t position, uint64_t count, uint8_t* bytes) {
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

// Constraint checks shared by the length-determined reads.
int CheckPendingSize(PerContext* ctx) {
  const SizeConstraint* size = ctx->pendingSize;
  if (size == nullptr || size->extensible) return StatusUnsupported;
  if (size->lower > size->upper) {
    ctx->pendingSize = nullptr;
    return StatusBadConstraint;
  }
  if (size->upper >= 65536) return StatusUnsupported;
  return StatusOk;
}

// Reads the INTEGER lower..upper (lower < upper) and stores lower + v truncated
// to Field; a stored value outside the bounds stays stored and is refused.
template <typename Field, typename Bound>
int StoreThenCheck(PerContext* ctx, Bound lower, Bound upper, Field* field) {
  uint64_t range =
      static_cast<uint64_t>(static_cast<int64_t>(upper) - static_cast<int64_t>(lower)) + 1;
  uint32_t v = 0;
  int status = ReadWholeNumber(ctx, range, &v);
  if (status != StatusOk) return status;
  *field = static_cast<Field>(static_cast<int64_t>(lower) + static_cast<int64_t>(v));
  // An int8_t field holds a number, not a character: sign extension is meant.
  int64_t stored =
      static_cast<int64_t>(*field);  // NOLINT(bugprone-signed-char-misuse,cert-str34-c)
  if (stored < static_cast<int64_t>(lower) || stored > static_cast<int64_t>(upper)) {
    return StatusOutOfRange;
  }
  return StatusOk;
}

template <typename Field>
int DecodeUnsigned(PerContext* ctx, uint32_t lower, uint32_t upper, Field* field) {
  if (lower > upper) return StatusBadConstraint;
  if (lower == upper) {
    *field = static_cast<Field>(lower);
    return StatusOk;
  }
  return StoreThenCheck(ctx, lower, upper, field);
}

}  // namespace

void InitPerContext(PerContext* ctx, const uint8_t* data, uint32_t size, SummaryFeed* feed) {
  ctx->data = data;
  ctx->byteIndex = 0;
  ctx->size = size;
  ctx->bitsLeft = 8;
  ctx->pendingSize = nullptr;
  ctx->feed = feed;
}

uint64_t BitPosition(const PerContext* ctx) {
  return uint64_t{ctx->byteIndex} * 8 + 8 - static_cast<uint64_t>(ctx->bitsLeft);
}

int ReadBit(PerContext* ctx, uint8_t* bit) {
  uint32_t byteIndex = ctx->byteIndex;
  int bitsLeft = ctx->bitsLeft - 1;
  if (bitsLeft < 0) {
    ++byteIndex;
    bitsLeft = 7;
  }
  if (byteIndex >= ctx->size) return StatusEndOfData;
  ctx->byteIndex = byteIndex;
  ctx->bitsLeft = static_cast<int16_t>(bitsLeft);
  *bit = static_cast<uint8_t>((ctx->data[byteIndex] >> bitsLeft) & 1u);
  return StatusOk;
}

int ReadPresenceBits(PerContext* ctx, uint32_t count, uint32_t* presence) {
  *presence = 0;
  if (count > 32) return StatusOutOfRange;
  const uint64_t position = BitPosition(ctx);
  // Bits that lie inside the buffer are taken even when the rest do not, as
  // reading them one by one would.
  const uint64_t total = TotalBits(ctx);
  const uint32_t available =
      position >= total
          ? 0
          : static_cast<uint32_t>(total - position < count ? total - position : count);
  const uint32_t bits = GatherBits(ctx->data, position, available);
  // The first bit read is presence bit 0.
  for (uint32_t i = 0; i < available; ++i) *presence |= ((bits >> (available - 1 - i)) & 1u) << i;
  SetPosition(ctx, position + available);
  return available == count ? StatusOk : StatusEndOfData;
}

int ReadWholeNumber(PerContext* ctx, uint64_t range, uint32_t* value) {
  if (range < 2 || range > kMaxWholeNumberRange) return StatusOutOfRange;
  unsigned width = BitWidthForRange(range);
  uint64_t position = BitPosition(ctx);
  if (position + width > TotalBits(ctx)) return StatusEndOfData;
  *value = GatherBits(ctx->data, position, width);
  SetPosition(ctx, position + width);
  return StatusOk;
}

int DecodeUInt8(PerContext* ctx, uint32_t lower, uint32_t upper, uint8_t* field) {
  return DecodeUnsigned(ctx, lower, upper, field);
}

int DecodeUInt16(PerContext* ctx, uint32_t lower, uint32_t upper, uint16_t* field) {
  return DecodeUnsigned(ctx, lower, upper, field);
}

int DecodeUInt32(PerContext* ctx, uint32_t lower, uint32_t upper, uint32_t* field) {
  return DecodeUnsigned(ctx, lower, upper, field);
}

// No lower == upper shortcut: a single-valued signed INTEGER never reaches here.
int DecodeInt8(PerContext* ctx, int32_t lower, int32_t upper, int8_t* field) {
  if (lower > upper) return StatusBadConstraint;
  return StoreThenCheck(ctx, lower, upper, field);
}

int DecodeInt16(PerContext* ctx, int32_t lower, int32_t upper, int16_t* field) {
  if (lower > upper) return StatusBadConstraint;
  if (lower == upper) {
    *field = static_cast<int16_t>(lower);
    return StatusOk;
  }
  return StoreThenCheck(ctx, lower, upper, field);
}

int DecodeEnumerated(PerContext* ctx, uint32_t count, uint32_t* field) {
  if (count == 1) {
    *field = 0;
    return StatusOk;
  }
  uint32_t index = 0;
  int status = ReadWholeNumber(ctx, count, &index);
  if (status != StatusOk) return status;
  *field = index;
  return index >= count ? StatusOutOfRange : StatusOk;
}

int ReadLength(PerContext* ctx, uint32_t* length) {
  int status = CheckPendingSize(ctx);
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

uint8_t* ExtractBits(const PerContext* ctx, uint32_t n, uint32_t arrayLength) {
  auto* bytes = static_cast<uint8_t*>(std::calloc(arrayLength > 0 ? arrayLength : 1, 1));
  if (bytes == nullptr) return nullptr;
  uint64_t position = BitPosition(ctx);
  // Never more bits than the array holds, never a bit beyond the buffer.
  uint64_t count = n;
  if (count > uint64_t{arrayLength} * 8) count = uint64_t{arrayLength} * 8;
  uint64_t available = position < TotalBits(ctx) ? TotalBits(ctx) - position : 0;
  if (count > available) count = available;
  CopyBits(ctx->data, position, count, bytes);
  return bytes;
}

int ReadBitString(PerContext* ctx, uint32_t* bitCount, uint8_t* bytes, uint32_t arrayLength) {
  int status = CheckPendingSize(ctx);
  if (status != StatusOk) return status;
  const SizeConstraint* size = ctx->pendingSize;
  uint32_t n = size->upper;
  if (size->lower != size->upper) {
    status = ReadLength(ctx, &n);
    if (status != StatusOk) return status;
  }
  *bitCount = n;
  if (n > size->upper || uint64_t{n} > uint64_t{arrayLength} * 8) return StatusTooMany;
  uint64_t position = BitPosition(ctx);
  if (position + n > TotalBits(ctx)) return StatusEndOfData;
  // Straight into the record: the bits, then zeros to the end of its array.
  std::memset(bytes, 0, arrayLength);
  CopyBits(ctx->data, position, n, bytes);
  SetPosition(ctx, position + n);
  ctx->pendingSize = nullptr;
  return StatusOk;
}

int ReadOctetString(PerContext* ctx, uint32_t* count, uint8_t* bytes, uint32_t arrayLength) {
  int status = CheckPendingSize(ctx);
  if (status != StatusOk) return status;
  const SizeConstraint* size = ctx->pendingSize;
  uint32_t n = 0;
  status = ReadLength(ctx, &n);
  if (status != StatusOk) return status;
  *count = n;
  if (n > size->upper || n > arrayLength) return StatusTooMany;
  uint64_t position = BitPosition(ctx);
  if (position + uint64_t{n} * 8 > TotalBits(ctx)) return StatusEndOfData;
  for (uint32_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<uint8_t>(GatherBits(ctx->data, position + uint64_t{i} * 8, 8));
  }
  SetPosition(ctx, position + uint64_t{n} * 8);
  return StatusOk;
}

// Decoded values come from the non-throwing operator new: a failed allocation
// is a null pointer (StatusNoMemory), never an exception, and a test program
// that replaces operator new can make any one of them fail.
void* AllocRecord(size_t size) {
  const size_t bytes = size > 0 ? size : 1;
  void* record = ::operator new(bytes, std::nothrow);
  if (record != nullptr) std::memset(record, 0, bytes);
  return record;
}

void FreeRecord(void* record) { ::operator delete(record); }

int ListAppend(ValueList* list, void* element) {
  auto* node = new (std::nothrow) ListNode{};
  if (node == nullptr) return StatusNoMemory;
  node->data = element;
  node->prev = list->tail;
  if (list->tail != nullptr) {
    list->tail->next = node;
  } else {
    list->head = node;
  }
  list->tail = node;
  ++list->count;
  return StatusOk;
}

void ReleaseValueList(ValueList* list, void (*releaseContents)(void*)) {
  // Follows the links rather than `count`, so a list cut short by a failed
  // decode is released exactly as far as it was built.
  ListNode* node = list->head;
  while (node != nullptr) {
    ListNode* next = node->next;
    if (node->data != nullptr && releaseContents != nullptr) releaseContents(node->data);
    FreeRecord(node->data);
    delete node;
    node = next;
  }
}

}  // namespace sibdecode
