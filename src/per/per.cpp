// Unaligned PER primitives over a PerContext. Every read checks that all of
// its bits lie below `size` before it touches a byte.
#include "per/per.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

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

namespace {

using per_detail::kChunkHeader;
using per_detail::kRecordAlignment;
// The first chunk holds most SIBs' trees; each further one doubles the last,
// so a large SIB5 needs a few chunks, not many.
constexpr size_t kFirstChunk = size_t{16} << 10;

unsigned char* ChunkBytes(RecordArena::Chunk* chunk) {
  return reinterpret_cast<unsigned char*>(chunk) + kChunkHeader;
}

}  // namespace

RecordArena::~RecordArena() {
  Chunk* chunk = first;
  while (chunk != nullptr) {
    Chunk* next = chunk->next;
    ::operator delete(chunk);
    chunk = next;
  }
}

void* ArenaAllocate(RecordArena* arena, size_t size) {
  const size_t bytes = size > 0
                           ? (size + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment
                           : kRecordAlignment;
  if (bytes < size) return nullptr;  // wrapped
  RecordArena::Chunk* chunk = arena->current;
  // The next kept chunk that holds it, or a new one at the end of the chain.
  while (chunk == nullptr || chunk->size - chunk->used < bytes) {
    RecordArena::Chunk* next = chunk == nullptr ? arena->first : chunk->next;
    if (next == nullptr) {
      const size_t grown = chunk == nullptr ? kFirstChunk : chunk->size * 2;
      const size_t usable = bytes > grown ? bytes : grown;
      if (usable > SIZE_MAX - kChunkHeader) return nullptr;
      next = static_cast<RecordArena::Chunk*>(::operator new(kChunkHeader + usable, std::nothrow));
      if (next == nullptr) return nullptr;
      next->next = nullptr;
      next->size = usable;
      next->used = 0;
      std::memset(ChunkBytes(next), 0, usable);
      if (chunk == nullptr) {
        arena->first = next;
      } else {
        chunk->next = next;
      }
    }
    chunk = next;
    arena->current = chunk;
  }
  unsigned char* record = ChunkBytes(chunk) + chunk->used;
  chunk->used += bytes;
  return record;
}

void ResetArena(RecordArena* arena) {
  // Clearing what was handed out, chunk by chunk, costs less than clearing
  // each record as it is handed out.
  // Chunks after the current one were not reached; a kept chunk too small for
  // a record was passed over with nothing handed out.
  for (RecordArena::Chunk* chunk = arena->first; chunk != nullptr; chunk = chunk->next) {
    if (chunk->used > 0) std::memset(ChunkBytes(chunk), 0, chunk->used);
    chunk->used = 0;
    if (chunk == arena->current) break;
  }
  arena->current = arena->first;
}

// Decoded values come from the arena or from the non-throwing operator new: a
// failed allocation is a null pointer (StatusNoMemory), never an exception,
// and a test program that replaces operator new can make any one of them fail.
void* per_detail::AllocRecordElsewhere(PerContext* ctx, size_t size) {
  if (ctx->arena != nullptr) return ArenaAllocate(ctx->arena, size);
  const size_t bytes = size > 0 ? size : 1;
  void* record = ::operator new(bytes, std::nothrow);
  if (record != nullptr) std::memset(record, 0, bytes);
  return record;
}

void FreeRecord(void* record) { ::operator delete(record); }

int per_detail::ListAppendElsewhere(PerContext* ctx, ValueList* list, void* element) {
  ListNode* node = nullptr;
  if (ctx->arena != nullptr) {
    node = static_cast<ListNode*>(ArenaAllocate(ctx->arena, sizeof(ListNode)));
  } else {
    node = new (std::nothrow) ListNode{};
  }
  if (node == nullptr) return StatusNoMemory;
  LinkAtTail(list, node, element);
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
