#include "frame_notes.h"

#include <wsutil/wmem/wmem.h>

#include <cstring>

namespace sibplugin {

namespace {

constexpr guint kBlockBytes = 31;

// A block of a chain reported as ended, kept to feed the chain again.
struct HeldBlock {
  guint32 frame;
  guint32 cell;
  guint8 block[kBlockBytes];
};

struct CaptureState {
  sibdecode::StreamState* stream = nullptr;
  guint32 lastFed = 0;
  bool pendingReported = false;  // the stream was flushed after its last block
  GArray* heldBlocks = nullptr;  // of HeldBlock
};

CaptureState capture;
wmem_map_t* notesByFrame = nullptr;  // frame number -> FrameNotes, file scope
wmem_map_t* endedByFrame = nullptr;  // frame number -> DroppedChain list, file scope

FrameNotes* NotesFor(guint32 frame) {
  auto* notes = static_cast<FrameNotes*>(wmem_map_lookup(notesByFrame, GUINT_TO_POINTER(frame)));
  if (notes != nullptr) return notes;
  notes = wmem_new0(wmem_file_scope(), FrameNotes);
  notes->sibsTail = &notes->sibs;
  notes->segmentsTail = &notes->segments;
  notes->dropsTail = &notes->drops;
  wmem_map_insert(notesByFrame, GUINT_TO_POINTER(frame), notes);
  return notes;
}

guint32* FramesOf(const sibdecode::StreamEvent& event) {
  auto* frames = wmem_alloc_array(wmem_file_scope(), guint32, event.blockCount);
  for (size_t i = 0; i < event.blockCount; ++i)
    frames[i] = static_cast<guint32>(event.blockTags[i]);
  return frames;
}

bool HasSummary(guint32 sibType) {
  return sibdecode::SibSummaryParts(sibType) != sibdecode::kSummaryNothing;
}

void NoteCompleted(const sibdecode::StreamEvent& event, guint32 frame) {
  auto* sib = wmem_new0(wmem_file_scope(), CompletedSib);
  sib->sibType = event.sibType;
  sib->cell = static_cast<guint32>(event.cellKey);
  sib->decoded = event.result == sibdecode::kDecoded;
  sib->frames = FramesOf(event);
  sib->frameCount = static_cast<guint>(event.blockCount);
  sib->bitsLen = static_cast<guint>(event.sibLen);
  sib->bits = static_cast<guint8*>(wmem_memdup(wmem_file_scope(), event.sib, event.sibLen));
  if (sib->decoded && HasSummary(event.sibType) && event.summary != nullptr) {
    sib->summary = static_cast<tagSystemInformationBlock*>(
        wmem_memdup(wmem_file_scope(), event.summary, sizeof *event.summary));
  }
  FrameNotes* notes = NotesFor(frame);
  *notes->sibsTail = sib;
  notes->sibsTail = &sib->next;

  // Every earlier carrier learns where its segment went.
  for (guint i = 0; i < sib->frameCount; ++i) {
    if (sib->frames[i] == frame) continue;
    auto* segment = wmem_new0(wmem_file_scope(), SegmentNote);
    segment->sibType = sib->sibType;
    segment->cell = sib->cell;
    segment->index = i + 1;
    segment->count = sib->frameCount;
    segment->reassembledIn = frame;
    FrameNotes* carrier = NotesFor(sib->frames[i]);
    *carrier->segmentsTail = segment;
    carrier->segmentsTail = &segment->next;
  }
}

DroppedChain* NewDroppedChain(const sibdecode::StreamEvent& event) {
  auto* drop = wmem_new0(wmem_file_scope(), DroppedChain);
  drop->sibType = event.sibType;
  drop->cell = static_cast<guint32>(event.cellKey);
  drop->reason = event.dropReason;
  drop->frames = FramesOf(event);
  drop->frameCount = static_cast<guint>(event.blockCount);
  return drop;
}

void OnFeedEvent(const sibdecode::StreamEvent& event, void* context) {
  const guint32 frame = *static_cast<const guint32*>(context);
  if (event.kind == sibdecode::kSibCompleted) {
    NoteCompleted(event, frame);
    return;
  }
  DroppedChain* drop = NewDroppedChain(event);
  FrameNotes* notes = NotesFor(frame);
  *notes->dropsTail = drop;
  notes->dropsTail = &drop->next;
}

// A flushed chain: noted in the frame of its last segment, its blocks held.
void OnFlushEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.kind != sibdecode::kChainDropped || event.blockCount == 0) return;
  DroppedChain* drop = NewDroppedChain(event);
  const guint32 last = drop->frames[drop->frameCount - 1];
  drop->next = static_cast<DroppedChain*>(wmem_map_lookup(endedByFrame, GUINT_TO_POINTER(last)));
  wmem_map_insert(endedByFrame, GUINT_TO_POINTER(last), drop);
  for (size_t i = 0; i < event.blockCount; ++i) {
    HeldBlock held;
    held.frame = drop->frames[i];
    held.cell = drop->cell;
    std::memcpy(held.block, event.blocks + i * kBlockBytes, kBlockBytes);
    g_array_append_val(capture.heldBlocks, held);
  }
}

gint ByFrame(gconstpointer a, gconstpointer b) {
  const guint32 x = static_cast<const HeldBlock*>(a)->frame;
  const guint32 y = static_cast<const HeldBlock*>(b)->frame;
  return x < y ? -1 : x > y ? 1 : 0;
}

// The first pass goes on after a flush: the flushed chains' blocks are fed
// again, in frame order, which leaves the stream as it was before the flush.
// What they complete or drop on the way was noted when they first came.
void TakeUpHeldChains() {
  g_array_sort(capture.heldBlocks, ByFrame);
  for (guint i = 0; i < capture.heldBlocks->len; ++i) {
    const HeldBlock& held = g_array_index(capture.heldBlocks, HeldBlock, i);
    sibdecode::FeedBlock(capture.stream, held.cell, held.frame, held.block, nullptr, nullptr);
  }
  g_array_set_size(capture.heldBlocks, 0);
  capture.pendingReported = false;
  endedByFrame = nullptr;  // they may still complete
}

}  // namespace

void RegisterFrameNotes() {
  notesByFrame =
      wmem_map_new_autoreset(wmem_epan_scope(), wmem_file_scope(), g_direct_hash, g_direct_equal);
  capture.heldBlocks = g_array_new(FALSE, FALSE, sizeof(HeldBlock));
}

bool StartCapture() {
  EndCapture();
  capture.stream = sibdecode::CreateStreamState();
  return capture.stream != nullptr;
}

void EndCapture() {
  sibdecode::DestroyStreamState(capture.stream);
  capture.stream = nullptr;
  capture.lastFed = 0;
  capture.pendingReported = false;
  g_array_set_size(capture.heldBlocks, 0);
  endedByFrame = nullptr;  // its memory goes with the file scope
}

void FeedBlock(guint32 frame, guint32 cell, const guint8* block) {
  if (capture.stream == nullptr || frame <= capture.lastFed) return;
  if (capture.pendingReported) TakeUpHeldChains();
  capture.lastFed = frame;
  // Out of memory, the library gives up its pending chains: their later
  // segments come as strays, which is all the plugin can show of them.
  sibdecode::FeedBlock(capture.stream, cell, frame, block, OnFeedEvent, &frame);
}

void NoteWrongSize(guint32 frame, guint payloadSize) {
  FrameNotes* notes = NotesFor(frame);
  notes->wrongSize = true;
  notes->wrongPayloadSize = payloadSize;
}

void ReportPendingAsEnded() {
  if (capture.stream == nullptr || capture.pendingReported) return;
  endedByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  sibdecode::FlushStream(capture.stream, OnFlushEvent, nullptr);
  capture.pendingReported = true;
}

const FrameNotes* NotesOf(guint32 frame) {
  return static_cast<const FrameNotes*>(wmem_map_lookup(notesByFrame, GUINT_TO_POINTER(frame)));
}

const DroppedChain* EndedChainsOf(guint32 frame) {
  if (endedByFrame == nullptr) return nullptr;
  return static_cast<const DroppedChain*>(wmem_map_lookup(endedByFrame, GUINT_TO_POINTER(frame)));
}

}  // namespace sibplugin
