#include "frame_notes.h"

#include <wsutil/wmem/wmem.h>

#include <cstdint>
#include <cstring>

namespace sibplugin {

namespace {

constexpr guint kBlockBytes = 31;

// A block of a chain reported as ended, kept to feed the chain again.
struct HeldBlock {
  FrameNotes* notes;
  guint32 cell;
  guint8 block[kBlockBytes];
};

struct CaptureState {
  sibdecode::StreamState* stream = nullptr;
  guint32 lastFed = 0;
  bool pendingReported = false;  // the stream was flushed after its last block
  GArray* heldBlocks = nullptr;  // of HeldBlock
  GPtrArray* endedIn = nullptr;  // the FrameNotes given `ended` chains by the flush
};

sibdecode::DecoderState* summaryDecoder = nullptr;  // for the SIBs shown

CaptureState capture;

guint64 TagOf(FrameNotes* notes) {
  return static_cast<guint64>(reinterpret_cast<uintptr_t>(notes));
}

FrameNotes* NotesOfTag(guint64 tag) {
  return reinterpret_cast<FrameNotes*>(static_cast<uintptr_t>(tag));
}

guint32* FramesOf(const sibdecode::StreamEvent& event) {
  auto* frames = wmem_alloc_array(wmem_file_scope(), guint32, event.blockCount);
  for (size_t i = 0; i < event.blockCount; ++i) frames[i] = NotesOfTag(event.blockTags[i])->frame;
  return frames;
}

bool HasSummary(guint32 sibType) {
  return sibdecode::SibSummaryParts(sibType) != sibdecode::kSummaryNothing;
}

void NoteCompleted(const sibdecode::StreamEvent& event, FrameNotes* notes) {
  auto* sib = wmem_new0(wmem_file_scope(), CompletedSib);
  sib->sibType = event.sibType;
  sib->cell = static_cast<guint32>(event.cellKey);
  sib->decoded = event.result == sibdecode::kDecoded;
  if (sib->decoded && event.report != nullptr) {
    sib->complete = event.report->complete != 0;
  }
  if (sib->decoded && event.report != nullptr &&
      (!sib->complete || event.report->warningCount > 0)) {  // something to note
    const size_t length = sibdecode::DescribeDecodeReport(event.report, nullptr, 0);
    if (length > 0) {
      auto* line = static_cast<char*>(wmem_alloc(wmem_file_scope(), length + 1));
      sibdecode::DescribeDecodeReport(event.report, line, length + 1);
      sib->decodeNote = line;
    }
  }
  sib->frames = FramesOf(event);
  sib->frameCount = static_cast<guint>(event.blockCount);
  sib->bitsLen = static_cast<guint>(event.sibLen);
  sib->bits = static_cast<guint8*>(wmem_memdup(wmem_file_scope(), event.sib, event.sibLen));
  *notes->sibsTail = sib;
  notes->sibsTail = &sib->next;

  // Every earlier carrier learns where its segment went.
  for (guint i = 0; i < sib->frameCount; ++i) {
    FrameNotes* carrier = NotesOfTag(event.blockTags[i]);
    if (carrier == notes) continue;
    auto* segment = wmem_new0(wmem_file_scope(), SegmentNote);
    segment->sibType = sib->sibType;
    segment->cell = sib->cell;
    segment->index = i + 1;
    segment->count = sib->frameCount;
    segment->reassembledIn = notes->frame;
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
  auto* notes = static_cast<FrameNotes*>(context);
  if (event.kind == sibdecode::kSibCompleted) {
    NoteCompleted(event, notes);
    return;
  }
  DroppedChain* drop = NewDroppedChain(event);
  *notes->dropsTail = drop;
  notes->dropsTail = &drop->next;
}

// A flushed chain: noted in the frame of its last segment, its blocks held to
// take it up again.
void OnFlushEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.kind != sibdecode::kChainDropped || event.blockCount == 0) return;
  DroppedChain* drop = NewDroppedChain(event);
  FrameNotes* last = NotesOfTag(event.blockTags[event.blockCount - 1]);
  if (last->ended == nullptr) g_ptr_array_add(capture.endedIn, last);
  drop->next = last->ended;
  last->ended = drop;
  for (size_t i = 0; i < event.blockCount; ++i) {
    HeldBlock held;
    held.notes = NotesOfTag(event.blockTags[i]);
    held.cell = drop->cell;
    std::memcpy(held.block, event.blocks + i * kBlockBytes, kBlockBytes);
    g_array_append_val(capture.heldBlocks, held);
  }
}

gint ByFrame(gconstpointer a, gconstpointer b) {
  const guint32 x = static_cast<const HeldBlock*>(a)->notes->frame;
  const guint32 y = static_cast<const HeldBlock*>(b)->notes->frame;
  return x < y ? -1 : x > y ? 1 : 0;
}

// The first pass goes on after a flush: the flushed chains' blocks are fed
// again, in frame order, which leaves the stream as it was before the flush.
// What they complete or drop on the way was noted when they first came.
void TakeUpHeldChains() {
  g_array_sort(capture.heldBlocks, ByFrame);
  for (guint i = 0; i < capture.heldBlocks->len; ++i) {
    HeldBlock& held = g_array_index(capture.heldBlocks, HeldBlock, i);
    sibdecode::FeedBlock(capture.stream, held.cell, TagOf(held.notes), held.block, nullptr,
                         nullptr);
  }
  g_array_set_size(capture.heldBlocks, 0);
  for (guint i = 0; i < capture.endedIn->len; ++i) {
    static_cast<FrameNotes*>(g_ptr_array_index(capture.endedIn, i))->ended = nullptr;
  }
  g_ptr_array_set_size(capture.endedIn, 0);
  capture.pendingReported = false;
}

}  // namespace

bool DecodeSummary(const CompletedSib& sib, tagSystemInformationBlock* summary) {
  if (!sib.decoded || !HasSummary(sib.sibType)) return false;
  if (summaryDecoder == nullptr) summaryDecoder = sibdecode::CreateDecoderState();
  if (summaryDecoder == nullptr) return false;
  *summary = tagSystemInformationBlock();
  size_t textLen = 0;  // the text is not wanted: the summary is filled without it
  const int result = sibdecode::DecodeSib(summaryDecoder, sib.sibType, sib.bits, sib.bitsLen,
                                          summary, nullptr, 0, &textLen);
  return result == sibdecode::kDecoded || result == sibdecode::kTextTooSmall;
}

void RegisterFrameNotes() {
  capture.heldBlocks = g_array_new(FALSE, FALSE, sizeof(HeldBlock));
  capture.endedIn = g_ptr_array_new();
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
  g_ptr_array_set_size(capture.endedIn, 0);  // the notes go with the file scope
}

FrameNotes* NewFrameNotes(guint32 frame) {
  auto* notes = wmem_new0(wmem_file_scope(), FrameNotes);
  notes->frame = frame;
  notes->sibsTail = &notes->sibs;
  notes->segmentsTail = &notes->segments;
  notes->dropsTail = &notes->drops;
  return notes;
}

void FeedBlock(FrameNotes* notes, guint32 cell, const guint8* block) {
  if (capture.stream == nullptr || notes->frame <= capture.lastFed) return;
  if (capture.pendingReported) TakeUpHeldChains();
  capture.lastFed = notes->frame;
  // Out of memory, the library gives up its pending chains: their later
  // segments come as strays, which is all the plugin can show of them.
  sibdecode::FeedBlock(capture.stream, cell, TagOf(notes), block, OnFeedEvent, notes);
}

void NoteWrongSize(FrameNotes* notes, guint payloadSize) {
  notes->wrongSize = true;
  notes->wrongPayloadSize = payloadSize;
}

void ReportPendingAsEnded() {
  if (capture.stream == nullptr || capture.pendingReported) return;
  sibdecode::FlushStream(capture.stream, OnFlushEvent, nullptr);
  capture.pendingReported = true;
}

}  // namespace sibplugin
