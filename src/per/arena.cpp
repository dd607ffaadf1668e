// The record arena: chunks of zero-filled memory handed out front to back.
#include "per/arena.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

namespace sibdecode {

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

}  // namespace sibdecode
