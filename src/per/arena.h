// The arena that holds one decode's records, and the allocation of records
// for the generated decoders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "per/bit_reader.h"
#include "per/hot_inline.h"
#include "per/value_shapes.h"

namespace sibdecode {

// Where one decode's records live when they are released all at once: chunks
// of memory handed out front to back. The chunks stay from decode to decode
// (a state's arena grows to the largest decode it has held); Reset makes them
// free again, the destructor returns them to the heap. Memory not handed out
// is kept zero-filled, so a record needs no clearing of its own.
struct RecordArena {
  struct Chunk {
    Chunk* next;
    size_t size;  // usable bytes after the header
    size_t used;  // of them handed out since the last reset
  };
  Chunk* first = nullptr;
  Chunk* current = nullptr;  // the chunk being handed out

  RecordArena() = default;
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;
  ~RecordArena();
};

// Zero-filled and aligned for any record, or null when no chunk can be had.
void* ArenaAllocate(RecordArena* arena, size_t size);
// Every record handed out becomes invalid; the chunks are kept.
void ResetArena(RecordArena* arena);

namespace per_detail {

constexpr size_t kRecordAlignment = alignof(std::max_align_t);
constexpr size_t kChunkHeader =
    (sizeof(RecordArena::Chunk) + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment;

// The arena's next `size` bytes when its current chunk holds them, else null.
SIBDECODE_HOT_INLINE void* TakeFromCurrentChunk(RecordArena* arena, size_t size) {
  RecordArena::Chunk* chunk = arena->current;
  const size_t bytes = (size + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment;
  if (chunk == nullptr || size == 0 || chunk->size - chunk->used < bytes) return nullptr;
  void* record = reinterpret_cast<unsigned char*>(chunk) + kChunkHeader + chunk->used;
  chunk->used += bytes;
  return record;
}

}  // namespace per_detail

// A zero-filled record for a decode from ctx->arena; null when the arena
// cannot grow or the decode has none.
SIBDECODE_HOT_INLINE void* AllocRecord(PerContext* ctx, size_t size) {
  if (ctx->arena == nullptr) return nullptr;
  void* record = per_detail::TakeFromCurrentChunk(ctx->arena, size);
  if (record != nullptr) return record;
  return ArenaAllocate(ctx->arena, size);
}

}  // namespace sibdecode
