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

// What one stream reported, per frame: the first pass's, or the read-ahead's.
struct Notebook {
  wmem_map_t* notesByFrame = nullptr;  // frame number -> FrameNotes, file scope
  wmem_map_t* endedByFrame = nullptr;  // frame number -> DroppedChain list, file scope
  bool keepContent = true;             // the SIB's bits, summary and decode report, for the tree
};

// A cell's last block fed, to pass over the same packet captured twice.
struct LastBlock {
  guint32 gsmtapFrame;
  guint8 block[kBlockBytes];
};

struct CaptureState {
  sibdecode::StreamState* stream = nullptr;
  wmem_map_t* lastBlocks = nullptr;  // cell -> LastBlock, file scope
  guint32 firstFed = 0;
  guint32 lastFed = 0;
  guint lastFedDigest = 0;
  bool pendingReported = false;  // the stream was flushed after its last block
  GArray* heldBlocks = nullptr;  // of HeldBlock
  Notebook notes;
};

// The read-ahead: the whole file fed to a stream of its own before the first
// pass reaches it, trusted only while the first pass agrees with it.
struct ForecastState {
  sibdecode::StreamState* stream = nullptr;
  wmem_map_t* lastBlocks = nullptr;  // cell -> LastBlock, file scope
  guint32 firstFed = 0;
  guint32 lastFrame = 0;                // the file's last frame, once read through
  wmem_map_t* digestByFrame = nullptr;  // frame number -> BlockDigest of its block
  bool trusted = false;
  Notebook notes{nullptr, nullptr, false};
};

CaptureState capture;
ForecastState forecast;

// A block and its cell, to tell whether the first pass fed the read-ahead's
// block in a frame; never 0, which is no block.
guint BlockDigest(guint32 cell, const guint8* block) {
  guint32 hash = 2166136261u;  // FNV-1a
  const auto mix = [&hash](guint8 byte) { hash = (hash ^ byte) * 16777619u; };
  for (int shift = 0; shift < 32; shift += 8) mix(static_cast<guint8>(cell >> shift));
  for (guint i = 0; i < kBlockBytes; ++i) mix(block[i]);
  return hash | 1u;
}

// The block and GSMTAP frame number of the cell's previous block: the same
// packet captured twice, which is fed once, as the command-line tool does.
bool IsRepeatedBlock(wmem_map_t*& lastBlocks, guint32 cell, guint32 gsmtapFrame,
                     const guint8* block) {
  if (lastBlocks == nullptr) {
    lastBlocks = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  }
  auto* last = static_cast<LastBlock*>(wmem_map_lookup(lastBlocks, GUINT_TO_POINTER(cell)));
  if (last == nullptr) {
    last = wmem_new(wmem_file_scope(), LastBlock);
    wmem_map_insert(lastBlocks, GUINT_TO_POINTER(cell), last);
  } else if (last->gsmtapFrame == gsmtapFrame &&
             std::memcmp(last->block, block, kBlockBytes) == 0) {
    return true;
  }
  last->gsmtapFrame = gsmtapFrame;
  std::memcpy(last->block, block, kBlockBytes);
  return false;
}

struct FeedContext {
  Notebook* book;
  guint32 frame;
};

FrameNotes* NotesFor(Notebook& book, guint32 frame) {
  auto* notes =
      static_cast<FrameNotes*>(wmem_map_lookup(book.notesByFrame, GUINT_TO_POINTER(frame)));
  if (notes != nullptr) return notes;
  notes = wmem_new0(wmem_file_scope(), FrameNotes);
  notes->sibsTail = &notes->sibs;
  notes->segmentsTail = &notes->segments;
  notes->dropsTail = &notes->drops;
  wmem_map_insert(book.notesByFrame, GUINT_TO_POINTER(frame), notes);
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

void NoteCompleted(Notebook& book, const sibdecode::StreamEvent& event, guint32 frame) {
  auto* sib = wmem_new0(wmem_file_scope(), CompletedSib);
  sib->sibType = event.sibType;
  sib->cell = static_cast<guint32>(event.cellKey);
  sib->decoded = event.result == sibdecode::kDecoded;
  if (book.keepContent && sib->decoded && event.report != nullptr) {
    sib->complete = event.report->complete != 0;
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
  if (book.keepContent) {
    sib->bits = static_cast<guint8*>(wmem_memdup(wmem_file_scope(), event.sib, event.sibLen));
  }
  if (book.keepContent && sib->decoded && HasSummary(event.sibType) && event.summary != nullptr) {
    sib->summary = static_cast<tagSystemInformationBlock*>(
        wmem_memdup(wmem_file_scope(), event.summary, sizeof *event.summary));
  }
  FrameNotes* notes = NotesFor(book, frame);
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
    FrameNotes* carrier = NotesFor(book, sib->frames[i]);
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
  const FeedContext& fed = *static_cast<const FeedContext*>(context);
  if (event.kind == sibdecode::kSibCompleted) {
    NoteCompleted(*fed.book, event, fed.frame);
    return;
  }
  DroppedChain* drop = NewDroppedChain(event);
  FrameNotes* notes = NotesFor(*fed.book, fed.frame);
  *notes->dropsTail = drop;
  notes->dropsTail = &drop->next;
}

// A flushed chain: noted in the frame of its last segment.
DroppedChain* NoteEnded(Notebook& book, const sibdecode::StreamEvent& event) {
  DroppedChain* drop = NewDroppedChain(event);
  const guint32 last = drop->frames[drop->frameCount - 1];
  drop->next =
      static_cast<DroppedChain*>(wmem_map_lookup(book.endedByFrame, GUINT_TO_POINTER(last)));
  wmem_map_insert(book.endedByFrame, GUINT_TO_POINTER(last), drop);
  return drop;
}

void OnForecastFlushEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.kind == sibdecode::kChainDropped && event.blockCount != 0) {
    NoteEnded(forecast.notes, event);
  }
}

// The first pass's flushed chains: their blocks are held to take them up again.
void OnFlushEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.kind != sibdecode::kChainDropped || event.blockCount == 0) return;
  DroppedChain* drop = NoteEnded(capture.notes, event);
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
  capture.notes.endedByFrame = nullptr;  // they may still complete
}

bool SameFrames(const guint32* a, guint aCount, const guint32* b, guint bCount) {
  return aCount == bCount && std::memcmp(a, b, aCount * sizeof *a) == 0;
}

bool SameSibs(const CompletedSib* a, const CompletedSib* b) {
  for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
    if (a->sibType != b->sibType || a->cell != b->cell ||
        !SameFrames(a->frames, a->frameCount, b->frames, b->frameCount)) {
      return false;
    }
  }
  return a == b;
}

bool SameDrops(const DroppedChain* a, const DroppedChain* b) {
  for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
    if (a->sibType != b->sibType || a->cell != b->cell || a->reason != b->reason ||
        !SameFrames(a->frames, a->frameCount, b->frames, b->frameCount)) {
      return false;
    }
  }
  return a == b;
}

const FrameNotes* Lookup(const Notebook& book, guint32 frame) {
  if (book.notesByFrame == nullptr) return nullptr;
  return static_cast<const FrameNotes*>(
      wmem_map_lookup(book.notesByFrame, GUINT_TO_POINTER(frame)));
}

const DroppedChain* LookupEnded(const Notebook& book, guint32 frame) {
  if (book.endedByFrame == nullptr) return nullptr;
  return static_cast<const DroppedChain*>(
      wmem_map_lookup(book.endedByFrame, GUINT_TO_POINTER(frame)));
}

void DropForecast() {
  sibdecode::DestroyStreamState(forecast.stream);
  forecast = ForecastState();
}

}  // namespace

void RegisterFrameNotes() {
  capture.notes.notesByFrame =
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
  capture.lastBlocks = nullptr;  // its memory goes with the file scope
  capture.firstFed = 0;
  capture.lastFed = 0;
  capture.lastFedDigest = 0;
  capture.pendingReported = false;
  g_array_set_size(capture.heldBlocks, 0);
  capture.notes.endedByFrame = nullptr;  // its memory goes with the file scope
  DropForecast();
}

void FeedBlock(guint32 frame, guint32 cell, guint32 gsmtapFrame, const guint8* block) {
  if (capture.stream == nullptr || frame <= capture.lastFed) return;
  if (IsRepeatedBlock(capture.lastBlocks, cell, gsmtapFrame, block)) return;
  if (capture.pendingReported) TakeUpHeldChains();
  if (capture.firstFed == 0) capture.firstFed = frame;
  capture.lastFed = frame;
  capture.lastFedDigest = BlockDigest(cell, block);
  // Out of memory, the library gives up its pending chains: their later
  // segments come as strays, which is all the plugin can show of them.
  FeedContext context = {&capture.notes, frame};
  sibdecode::FeedBlock(capture.stream, cell, frame, block, OnFeedEvent, &context);
}

void NoteWrongSize(guint32 frame, guint payloadSize) {
  FrameNotes* notes = NotesFor(capture.notes, frame);
  notes->wrongSize = true;
  notes->wrongPayloadSize = payloadSize;
}

void ReportPendingAsEnded() {
  if (capture.stream == nullptr || capture.pendingReported) return;
  capture.notes.endedByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  sibdecode::FlushStream(capture.stream, OnFlushEvent, nullptr);
  capture.pendingReported = true;
}

const FrameNotes* NotesOf(guint32 frame) { return Lookup(capture.notes, frame); }

const DroppedChain* EndedChainsOf(guint32 frame) { return LookupEnded(capture.notes, frame); }

bool StartForecast() {
  DropForecast();
  forecast.stream = sibdecode::CreateStreamState();
  if (forecast.stream == nullptr) return false;
  forecast.notes.notesByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  forecast.notes.endedByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  forecast.digestByFrame = wmem_map_new(wmem_file_scope(), g_direct_hash, g_direct_equal);
  return true;
}

bool ForecastBlock(guint32 frame, guint32 cell, guint32 gsmtapFrame, const guint8* block) {
  if (forecast.stream == nullptr) return false;
  if (IsRepeatedBlock(forecast.lastBlocks, cell, gsmtapFrame, block)) return true;
  if (forecast.firstFed == 0) forecast.firstFed = frame;
  wmem_map_insert(forecast.digestByFrame, GUINT_TO_POINTER(frame),
                  GUINT_TO_POINTER(BlockDigest(cell, block)));
  FeedContext context = {&forecast.notes, frame};
  if (sibdecode::FeedBlock(forecast.stream, cell, frame, block, OnFeedEvent, &context) ==
      sibdecode::kNoMemory) {
    DropForecast();  // chains given up that the first pass may keep
    return false;
  }
  return true;
}

void FinishForecast(guint32 lastFrame) {
  if (forecast.stream == nullptr) return;
  sibdecode::FlushStream(forecast.stream, OnForecastFlushEvent, nullptr);
  sibdecode::DestroyStreamState(forecast.stream);
  forecast.stream = nullptr;
  forecast.lastFrame = lastFrame;
  forecast.trusted = true;
}

void CheckForecast(guint32 frame) {
  if (!forecast.trusted) return;
  const guint seenDigest = capture.lastFed == frame ? capture.lastFedDigest : 0;
  const guint foreseenDigest =
      GPOINTER_TO_UINT(wmem_map_lookup(forecast.digestByFrame, GUINT_TO_POINTER(frame)));
  const FrameNotes* seen = NotesOf(frame);
  const FrameNotes* foreseen = Lookup(forecast.notes, frame);
  // Before the first pass's first block, its absence in the frame is checked.
  const bool agrees = frame <= forecast.lastFrame &&
                      (capture.firstFed == 0 || forecast.firstFed == capture.firstFed) &&
                      seenDigest == foreseenDigest &&
                      SameSibs(seen != nullptr ? seen->sibs : nullptr,
                               foreseen != nullptr ? foreseen->sibs : nullptr) &&
                      SameDrops(seen != nullptr ? seen->drops : nullptr,
                                foreseen != nullptr ? foreseen->drops : nullptr);
  if (!agrees) DropForecast();
}

const SegmentNote* ForecastSegmentsOf(guint32 frame) {
  if (!forecast.trusted) return nullptr;
  const FrameNotes* foreseen = Lookup(forecast.notes, frame);
  return foreseen != nullptr ? foreseen->segments : nullptr;
}

const DroppedChain* ForecastEndedChainsOf(guint32 frame) {
  return forecast.trusted ? LookupEnded(forecast.notes, frame) : nullptr;
}

}  // namespace sibplugin
