#include "frame_notes.h"

#include <wsutil/wmem/wmem.h>

#include <cstring>
#include <new>
#include <string_view>
#include <unordered_set>

namespace sibplugin {

namespace {

constexpr guint kBlockBytes = 31;

// A block of a chain reported as ended, kept to feed the chain again.
struct HeldBlock {
  guint32 frame;
  guint32 cell;
  guint8 block[kBlockBytes];
};

// A frame's entry in the table: its own notes and the SIB completed later
// that it carries a segment of.
struct FrameSlot {
  FrameNotes own;
  const CompletedSib* carried;
};

// Frames are numbered from 1 without gaps: the table is pages of slots,
// allocated as frames reach them (no copy as it grows, no slack beyond a page).
constexpr guint32 kPageBits = 12;
constexpr guint32 kPageSlots = 1u << kPageBits;

struct CaptureState {
  sibdecode::StreamState* stream = nullptr;
  guint32 lastFed = 0;
  bool pendingReported = false;      // the stream was flushed after its last block
  GArray* heldBlocks = nullptr;      // of HeldBlock
  GPtrArray* pages = nullptr;        // of FrameSlot[kPageSlots], g_malloc'ed; null until reached
  wmem_map_t* wrongSizes = nullptr;  // frame number -> the message's size, file scope
  // The bits of the SIBs completed so far (file scope), one copy per distinct
  // encoding: a cell repeats its SIBs unchanged.
  std::unordered_set<std::string_view>* encodings = nullptr;
  wmem_map_t* endedByFrame = nullptr;  // frame number -> DroppedChain list, file scope
};

CaptureState capture;

sibdecode::DecoderState* shownDecoder = nullptr;  // for the SIBs shown

// The frame's slot: made with its page when `make`, else null when not reached.
FrameSlot* SlotOf(guint32 frame, bool make) {
  GPtrArray* pages = capture.pages;
  if (pages == nullptr) return nullptr;
  const guint page = frame >> kPageBits;
  if (page >= pages->len) {
    if (!make) return nullptr;
    g_ptr_array_set_size(pages, static_cast<gint>(page + 1));
  }
  auto* slots = static_cast<FrameSlot*>(g_ptr_array_index(pages, page));
  if (slots == nullptr) {
    if (!make) return nullptr;
    slots = g_new0(FrameSlot, kPageSlots);
    g_ptr_array_index(pages, page) = slots;
  }
  return &slots[frame & (kPageSlots - 1)];
}

// What a block's events go to.
struct FeedContext {
  guint32 frame;
};

template <typename Note>
void Append(Note** list, Note* note) {
  while (*list != nullptr) list = &(*list)->next;
  *list = note;
}

guint32* FramesOf(const sibdecode::StreamEvent& event, guint32* frames) {
  for (size_t i = 0; i < event.blockCount; ++i)
    frames[i] = static_cast<guint32>(event.blockTags[i]);
  return frames;
}

bool HasSummary(guint32 sibType) {
  return sibdecode::SibSummaryParts(sibType) != sibdecode::kSummaryNothing;
}

// The file-scope copy of a SIB's bits: the one made for an identical SIB
// before, else a new one.
const guint8* KeptEncoding(const guint8* bits, size_t length) {
  const std::string_view encoding(reinterpret_cast<const char*>(bits), length);
  if (capture.encodings != nullptr) {
    const auto kept = capture.encodings->find(encoding);
    if (kept != capture.encodings->end()) return reinterpret_cast<const guint8*>(kept->data());
  }
  auto* copy = static_cast<char*>(wmem_memdup(wmem_file_scope(), bits, length));
  try {
    if (capture.encodings != nullptr) capture.encodings->emplace(copy, length);
  } catch (const std::bad_alloc&) {
    // Not shared: the copy stands alone.
  }
  return reinterpret_cast<const guint8*>(copy);
}

void NoteCompleted(const sibdecode::StreamEvent& event, const FeedContext& fed) {
  // The SIB and its frames in one piece of file-scope memory.
  const size_t framesBytes = event.blockCount * sizeof(guint32);
  auto* piece =
      static_cast<guint8*>(wmem_alloc0(wmem_file_scope(), sizeof(CompletedSib) + framesBytes));
  auto* sib = reinterpret_cast<CompletedSib*>(piece);
  sib->frames = FramesOf(event, reinterpret_cast<guint32*>(piece + sizeof(CompletedSib)));
  sib->bits = KeptEncoding(event.sib, event.sibLen);
  sib->sibType = event.sibType;
  sib->cell = static_cast<guint32>(event.cellKey);
  // An extensionType SIB its cell's schedule does not name has no decoder.
  sib->decoded = sibdecode::IsDecodedSibTypeAt(event.sibType, sibdecode::kReleaseLatest);
  sib->frameCount = static_cast<guint>(event.blockCount);
  sib->bitsLen = static_cast<guint>(event.sibLen);
  Append(&SlotOf(fed.frame, true)->own.sibs, sib);

  // Every earlier carrier learns where its segment went (the SIB's last frame).
  for (guint i = 0; i + 1 < sib->frameCount; ++i) {
    FrameSlot* slot = SlotOf(sib->frames[i], true);
    if (slot->carried == nullptr) slot->carried = sib;
  }
}

DroppedChain* NewDroppedChain(const sibdecode::StreamEvent& event) {
  auto* drop = wmem_new0(wmem_file_scope(), DroppedChain);
  drop->sibType = event.sibType;
  drop->cell = static_cast<guint32>(event.cellKey);
  drop->reason = event.dropReason;
  drop->frames = FramesOf(event, wmem_alloc_array(wmem_file_scope(), guint32, event.blockCount));
  drop->frameCount = static_cast<guint>(event.blockCount);
  return drop;
}

void OnFeedEvent(const sibdecode::StreamEvent& event, void* context) {
  const FeedContext& fed = *static_cast<const FeedContext*>(context);
  if (event.kind == sibdecode::kSibCompleted) {
    NoteCompleted(event, fed);
    return;
  }
  Append(&SlotOf(fed.frame, true)->own.drops, NewDroppedChain(event));
}

// A flushed chain: noted in the frame of its last segment, its blocks held to
// take it up again.
void OnFlushEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.kind != sibdecode::kChainDropped || event.blockCount == 0) return;
  DroppedChain* drop = NewDroppedChain(event);
  gpointer last = GUINT_TO_POINTER(drop->frames[drop->frameCount - 1]);
  drop->next = static_cast<DroppedChain*>(wmem_map_lookup(capture.endedByFrame, last));
  wmem_map_insert(capture.endedByFrame, last, drop);
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
  capture.endedByFrame = nullptr;  // they may still complete
  capture.pendingReported = false;
}

}  // namespace

bool DecodeShown(const CompletedSib& sib, wmem_allocator_t* scope, ShownDecode* shown) {
  if (!sib.decoded) return false;
  if (shownDecoder == nullptr) {
    shownDecoder = sibdecode::CreateDecoderState();
    sibdecode::SetDecodeRelease(shownDecoder, sibdecode::kReleaseLatest);
    sibdecode::SetTextLayout(shownDecoder, sibdecode::kTextLayoutNone);
  }
  if (shownDecoder == nullptr) return false;
  shown->summary = tagSystemInformationBlock();
  size_t textLen = 0;  // no text: the summary and the report are filled without one
  if (sibdecode::DecodeSib(shownDecoder, sib.sibType, sib.bits, sib.bitsLen, &shown->summary,
                           nullptr, 0, &textLen) != sibdecode::kDecoded) {
    return false;
  }
  sibdecode::DecodeReport report;
  report.size = sizeof report;
  if (sibdecode::GetDecodeReport(shownDecoder, &report) != 1) return false;
  shown->complete = report.complete != 0;
  shown->hasSummary = HasSummary(sib.sibType);
  shown->note = nullptr;
  if (!shown->complete || report.warningCount > 0) {  // something to note
    const size_t length = sibdecode::DescribeDecodeReport(&report, nullptr, 0);
    if (length > 0) {
      auto* line = static_cast<char*>(wmem_alloc(scope, length + 1));
      sibdecode::DescribeDecodeReport(&report, line, length + 1);
      shown->note = line;
    }
  }
  return true;
}

void RegisterFrameNotes() { capture.heldBlocks = g_array_new(FALSE, FALSE, sizeof(HeldBlock)); }

void FreePage(gpointer page) { g_free(page); }

bool StartCapture() {
  EndCapture();
  capture.pages = g_ptr_array_new_with_free_func(FreePage);
  capture.encodings = new (std::nothrow) std::unordered_set<std::string_view>();
  capture.stream = sibdecode::CreateStreamState();
  sibdecode::SetStreamRelease(capture.stream, sibdecode::kReleaseLatest);
  // The plugin shows each SIB through Wireshark's RRC dissector, not the text,
  // and decodes a SIB when it shows it: the stream only reassembles.
  sibdecode::SetStreamTextLayout(capture.stream, sibdecode::kTextLayoutNone);
  sibdecode::SetStreamDecodesAll(capture.stream, false);
  return capture.stream != nullptr;
}

void EndCapture() {
  sibdecode::DestroyStreamState(capture.stream);
  capture.stream = nullptr;
  capture.lastFed = 0;
  capture.pendingReported = false;
  g_array_set_size(capture.heldBlocks, 0);
  if (capture.pages != nullptr) g_ptr_array_free(capture.pages, TRUE);
  capture.pages = nullptr;  // the notes themselves go with the file scope
  capture.wrongSizes = nullptr;
  delete capture.encodings;
  capture.encodings = nullptr;
  capture.endedByFrame = nullptr;
}

void FeedBlock(guint32 frame, guint32 cell, const guint8* block) {
  if (capture.stream == nullptr || frame <= capture.lastFed) return;
  if (capture.pendingReported) TakeUpHeldChains();
  capture.lastFed = frame;
  // Out of memory, the library gives up its pending chains: their later
  // segments come as strays, which is all the plugin can show of them.
  FeedContext context = {frame};
  sibdecode::FeedBlock(capture.stream, cell, frame, block, OnFeedEvent, &context);
}

void NoteWrongSize(guint32 frame, guint payloadSize) {
  if (capture.wrongSizes == nullptr) {
    capture.wrongSizes = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  }
  // Kept one more than the size: an empty message is noted too.
  wmem_map_insert(capture.wrongSizes, GUINT_TO_POINTER(frame), GUINT_TO_POINTER(payloadSize + 1));
}

const FrameNotes* NotesOf(guint32 frame) {
  const FrameSlot* slot = SlotOf(frame, false);
  if (slot == nullptr || (slot->own.sibs == nullptr && slot->own.drops == nullptr)) return nullptr;
  return &slot->own;
}

bool WrongSizeOf(guint32 frame, guint* payloadSize) {
  if (capture.wrongSizes == nullptr) return false;
  const guint noted =
      GPOINTER_TO_UINT(wmem_map_lookup(capture.wrongSizes, GUINT_TO_POINTER(frame)));
  *payloadSize = noted - 1;
  return noted != 0;
}

bool SegmentOf(guint32 frame, SegmentNote* segment) {
  const FrameSlot* slot = SlotOf(frame, false);
  if (slot == nullptr || slot->carried == nullptr) return false;
  const CompletedSib& sib = *slot->carried;
  segment->sibType = sib.sibType;
  segment->cell = sib.cell;
  segment->count = sib.frameCount;
  segment->reassembledIn = sib.frames[sib.frameCount - 1];
  segment->index = 0;
  for (guint i = 0; i < sib.frameCount; ++i) {
    if (sib.frames[i] == frame) segment->index = i + 1;
  }
  return true;
}

const DroppedChain* EndedChainsOf(guint32 frame) {
  if (capture.endedByFrame == nullptr) return nullptr;
  return static_cast<const DroppedChain*>(
      wmem_map_lookup(capture.endedByFrame, GUINT_TO_POINTER(frame)));
}

void ReportPendingAsEnded() {
  if (capture.stream == nullptr || capture.pendingReported) return;
  capture.endedByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  sibdecode::FlushStream(capture.stream, OnFlushEvent, nullptr);
  capture.pendingReported = true;
}

}  // namespace sibplugin
