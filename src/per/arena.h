// The arena that holds one decode's records, and the allocation of records
// and list nodes for the generated decoders.
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

// Hangs `node` (zero-filled), holding `element`, at the tail of `list`.
SIBDECODE_HOT_INLINE void LinkAtTail(ValueList* list, ListNode* node, void* element) {
  node->data = element;
  node->prev = list->tail;
  if (list->tail != nullptr) {
    list->tail->next = node;
  } else {
    list->head = node;
  }
  list->tail = node;
  ++list->count;
}

void* AllocRecordElsewhere(PerContext* ctx, size_t size);
int ListAppendElsewhere(PerContext* ctx, ValueList* list, void* element);

}  // namespace per_detail

// A zero-filled record for a decode: from ctx->arena, or from the heap
// (non-throwing operator new) when there is none; null when out of memory.
// FreeRecord releases a heap record.
SIBDECODE_HOT_INLINE void* AllocRecord(PerContext* ctx, size_t size) {
  if (ctx->arena != nullptr) {
    void* record = per_detail::TakeFromCurrentChunk(ctx->arena, size);
    if (record != nullptr) return record;
  }
  return per_detail::AllocRecordElsewhere(ctx, size);
}
void FreeRecord(void* record);

// Appends a node for `element` at the tail (from ctx->arena, or the heap);
// StatusNoMemory when the node cannot be allocated.
SIBDECODE_HOT_INLINE int ListAppend(PerContext* ctx, ValueList* list, void* element) {
  if (ctx->arena == nullptr) return per_detail::ListAppendElsewhere(ctx, list, element);
  auto* node =
      static_cast<ListNode*>(per_detail::TakeFromCurrentChunk(ctx->arena, sizeof(ListNode)));
  if (node == nullptr) return per_detail::ListAppendElsewhere(ctx, list, element);
  per_detail::LinkAtTail(list, node, element);
  return StatusOk;
}

// Releases every element of a list built on the heap (contents via
// releaseContents when not null, then the record itself) and every node;
// leaves the list's fields as they were.
void ReleaseValueList(ValueList* list, void (*releaseContents)(void*));

}  // namespace sibdecode
