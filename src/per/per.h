// Bit reader, unaligned PER primitives and the decoded-value shapes that the
// generated decoders, printers and release functions are built on.
#pragma once

#include <cstddef>
#include <cstdint>

// Generated decoders return the first failing status unchanged.
#define PER_TRY(expr)                         \
  do {                                        \
    int per_status_ = (expr);                 \
    if (per_status_ != 0) return per_status_; \
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

// A static SIZE bound, one per distinct SIZE constraint of the ASN.1.
struct SizeConstraint {
  uint8_t extensible;
  uint32_t lower;
  uint32_t upper;
};

struct SummaryFeed;  // cell identity and neighbour-cell queues (rrc/summary_feed.h)

// Decoding cursor. Does not own the bytes it reads.
struct PerContext {
  const uint8_t* data;
  uint32_t byteIndex;
  uint32_t size;
  int16_t bitsLeft;  // 8 = no bit of data[byteIndex] read yet, 0 = all read
  const SizeConstraint* pendingSize;
  SummaryFeed* feed;  // where the SIB3/4/11/12 decoders leave summary values; may be null
};

void InitPerContext(PerContext* ctx, const uint8_t* data, uint32_t size,
                    SummaryFeed* feed = nullptr);
// Bits consumed since the start of the buffer.
uint64_t BitPosition(const PerContext* ctx);

int ReadBit(PerContext* ctx, uint8_t* bit);
// A SEQUENCE preamble of `count` OPTIONAL bits: *presence = 0, then bit i of the
// preamble into bit i of *presence, one read at a time.
int ReadPresenceBits(PerContext* ctx, uint32_t count, uint32_t* presence);
int ReadWholeNumber(PerContext* ctx, uint64_t range, uint32_t* value);
int DecodeUInt8(PerContext* ctx, uint32_t lower, uint32_t upper, uint8_t* field);
int DecodeUInt16(PerContext* ctx, uint32_t lower, uint32_t upper, uint16_t* field);
int DecodeUInt32(PerContext* ctx, uint32_t lower, uint32_t upper, uint32_t* field);
int DecodeInt8(PerContext* ctx, int32_t lower, int32_t upper, int8_t* field);
int DecodeInt16(PerContext* ctx, int32_t lower, int32_t upper, int16_t* field);
// ENUMERATED of `count` identifiers (spares included); a single identifier reads nothing.
int DecodeEnumerated(PerContext* ctx, uint32_t count, uint32_t* field);
// Length determinant under ctx->pendingSize; clears pendingSize.
int ReadLength(PerContext* ctx, uint32_t* length);
// BIT STRING under ctx->pendingSize into `arrayLength` bytes, first bit into bit 7 of bytes[0].
int ReadBitString(PerContext* ctx, uint32_t* bitCount, uint8_t* bytes, uint32_t arrayLength);
// New heap array of arrayLength bytes holding the n bits at the cursor, left-aligned.
// Null when it cannot be allocated. The caller frees it with std::free.
uint8_t* ExtractBits(const PerContext* ctx, uint32_t n, uint32_t arrayLength);
// OCTET STRING under ctx->pendingSize (X.691: length, then 8 bits per octet).
int ReadOctetString(PerContext* ctx, uint32_t* count, uint8_t* bytes, uint32_t arrayLength);

// ---- decoded-value shapes ----

template <uint32_t Bytes>
struct BitStringValue {
  uint32_t bitCount;
  uint8_t bytes[Bytes];
};

template <uint32_t Bytes>
struct OctetStringValue {
  uint32_t count;
  uint8_t bytes[Bytes];
};

// A decoded CHOICE: tag = alternative index + 1 (0 = not decoded). INTEGER and
// ENUMERATED alternatives live in `value`; every other alternative is a heap record.
struct ChoiceValue {
  uint32_t tag;
  union {
    uint32_t value;
    int32_t signedValue;
    void* ptr;
  };
};

struct ListNode {
  void* data;
  ListNode* next;
  ListNode* prev;
};

struct ValueList {
  uint32_t count;
  ListNode* head;
  ListNode* tail;
};

template <typename Item, uint32_t Upper>
struct FixedArray {
  uint32_t count;
  Item items[Upper];
};

// Zero-filled heap record (non-throwing operator new), or null; FreeRecord releases it.
void* AllocRecord(size_t size);
void FreeRecord(void* record);
// Appends a node for `element` at the tail; StatusNoMemory when the node cannot be allocated.
int ListAppend(ValueList* list, void* element);
// Releases every element (contents via releaseContents when not null, then the
// record itself) and every node; leaves the list's fields as they were.
void ReleaseValueList(ValueList* list, void (*releaseContents)(void*));

}  // namespace sibdecode
