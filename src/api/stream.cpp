// Streaming entry point: blocks of several cells one at a time, each SIB handed
// back as soon as its last segment arrives.
//
// Per (cell, SIB type) at most one chain is pending. A chain follows its own
// segments by index; nothing else is ever joined into it, so a block shared
// with other SIBs (lastAndFirst, completeAndFirst, completeSIB-List ...) gives
// each SIB only its own bits. What is kept is bounded: at most 32 chains per
// cell of at most 16 segments each, a cell without pending chains is
// forgotten, and a chain is dropped as soon as it cannot complete in order
// (a new first segment of its type, an index that is not the next one, or a
// segment further after the previous one than a cell schedules segments).
// Against captures of thousands of cell keys or cells that fall silent, at
// most kMaxPendingCells cells keep pending chains (the one fed least recently
// gives its chains up first) and a chain given nothing for kMaxChainAge blocks
// is given up: about 40 MB at the very most.
//
// The SFN-prime guards against joining segments of two cells fed under one
// key (captures that write ARFCN 0 for every cell): a SIB's next segment comes
// 2 frames after the previous one, or as far as the largest sib-PosOffsetInfo
// offset, so32: 32 frames, 16 SFN-prime steps.
#include <cstring>
#include <exception>
#include <iterator>
#include <list>
#include <new>
#include <unordered_map>
#include <vector>

#include "api/decoder_state.h"
#include "api/entry.h"
#include "api/ext_schedule.h"
#include "bch/block_walk.h"
#include "bch/reassembly.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

namespace {

// Chains by SIB type number: an extensionType SIB's segments go to the chain of
// the type the cell's schedule names, so that two extension types interleave.
constexpr uint32_t kSibTypeCount = kSibTypeNumbers;
constexpr uint32_t kSfnPrimeCount = 2048;
constexpr uint32_t kMaxSegmentGap = 16;  // SFN-prime steps, see above
// Most segments one block carries: a last segment, a list of 16 complete SIBs
// and a first segment.
constexpr size_t kMaxBlockSegments = 18;
// A cell sends a block every 20 ms: a thousand cells are far more than one
// receiver hears, and 65536 blocks are minutes of even a busy capture.
constexpr size_t kMaxPendingCells = 1024;
constexpr uint64_t kMaxChainAge = uint64_t{1} << 16;
constexpr uint64_t kAgeSweepInterval = 4096;  // blocks fed between two looks at the ages
// Cells whose schedule is kept; past it the one updated least recently is forgotten.
constexpr size_t kMaxScheduledCells = 4096;

struct PendingChain {
  bool active = false;
  int32_t segCount = 0;
  uint32_t nextIndex = 0;  // segment index expected next
  uint64_t lastFeed = 0;   // feed number of the last block added
  uint32_t lastSfnPrime = 0;
  size_t bitCount = 0;        // this SIB's own segment bits so far ...
  std::vector<uint8_t> bits;  // ... packed, most significant bit first, zero padded
  uint32_t lastSegmentBits = 0;
  uint8_t lastSegment[kMaxSegmentBytes] = {};  // the data of the segment taken last
  std::vector<unsigned char> blocks;
  std::vector<uint64_t> tags;
};

struct CellChains {
  PendingChain bySibType[kSibTypeCount];
  uint32_t activeCount = 0;
  uint64_t lastFeed = 0;  // feed number of the last segment any of its chains took
  bool placed = false;    // `place` is its entry in StreamState::byLastFeed
  std::list<uint64_t>::iterator place;
};

}  // namespace

struct StreamState {
  DecoderState decoder;
  SegmentQueue blockSegments;  // the segments of the block being fed
  std::unordered_map<uint64_t, CellChains> cells;
  std::unordered_map<uint64_t, CellSchedule> schedules;  // latest MIB/SB schedule per cell
  // The keys of `cells`, the one fed least recently first: the cell to give
  // up is found without looking at the others.
  std::list<uint64_t> byLastFeed;
  StreamCounts counts = {};
  StreamDecodeCounts decodeCounts = {};
  uint64_t feedNumber = 0;
  tagSystemInformationBlock summary = {};
  std::vector<char> text;
  bool decodeAll = true;  // false: only what names extension types (SetStreamDecodesAll)
};

namespace {

struct Delivery {
  StreamCallback callback;
  void* context;
  int events = 0;
  std::exception_ptr thrown;  // the first exception a callback threw
};

// A callback that throws does not break the stream off: the event counts as
// delivered, the rest of the call's work and events go on, and the exception
// leaves the call at its end (RethrowFromCallback).
void Deliver(Delivery& delivery, const StreamEvent& event) {
  ++delivery.events;
  if (delivery.callback == nullptr) return;
  try {
    delivery.callback(event, delivery.context);
  } catch (...) {
    if (!delivery.thrown) delivery.thrown = std::current_exception();
  }
}

int RethrowFromCallback(const Delivery& delivery, int result) {
  if (delivery.thrown) std::rethrow_exception(delivery.thrown);
  return result;
}

StreamEvent EventFor(StreamEventKind kind, uint64_t cellKey, uint32_t sibType,
                     const PendingChain& chain) {
  StreamEvent event = {};
  event.kind = kind;
  event.cellKey = cellKey;
  event.sibType = sibType;
  event.blocks = chain.blocks.data();
  event.blocksLen = chain.blocks.size();
  event.blockTags = chain.tags.data();
  event.blockCount = chain.tags.size();
  return event;
}

// A MIB or scheduling block decoded whole replaces its part of the cell's schedule.
void KeepSchedule(StreamState& state, uint64_t cellKey, uint32_t sibType) {
  const int source = ScheduleSource(sibType);
  if (source < 0) return;
  if (state.schedules.size() >= kMaxScheduledCells && state.schedules.count(cellKey) == 0) {
    auto oldest = state.schedules.begin();
    for (auto it = state.schedules.begin(); it != state.schedules.end(); ++it) {
      if (it->second.lastFeed < oldest->second.lastFeed) oldest = it;
    }
    state.schedules.erase(oldest);
  }
  CellSchedule& schedule = state.schedules[cellKey];
  schedule.extension[source] = state.decoder.feed.extSibSchedule;
  schedule.received[source] = true;
  schedule.lastFeed = state.feedNumber;
}

// The chain an extensionType segment belongs to: that of the type the cell's
// schedule names for it, or extensionType's own while it names none.
uint32_t ChainType(const StreamState& state, uint64_t cellKey, const tagSibSegment& segment) {
  const uint32_t sibType = segment.sibType % 32;
  if (sibType != kSibTypeExtension || state.decoder.release7) return sibType;
  auto schedule = state.schedules.find(cellKey);
  if (schedule == state.schedules.end()) return sibType;
  const uint32_t index = segment.segCount >= 1 ? 0 : segment.segmentIndex;
  return NameExtensionSegment(schedule->second, index, segment.sfnPrime);
}

// Decodes a SIB whose segments are all in `chain` and hands it over.
void Complete(StreamState& state, uint64_t cellKey, uint32_t sibType, const PendingChain& chain,
              Delivery& delivery) {
  const std::vector<uint8_t>& packed = chain.bits;
  size_t textLen = 0;
  int result = kNothingDecoded;
  if (state.decodeAll || ScheduleSource(sibType) >= 0) {
    const size_t capacity = MaxTextSize(chain.blocks.size());
    if (state.text.size() < capacity) state.text.resize(capacity);
    do {  // a text longer than the buffer comes whole on the second pass
      if (textLen > state.text.size()) state.text.resize(textLen);
      ResetForCall(state.decoder, &state.summary);
      result = DecodeAndRender(state.decoder, sibType, packed.data(), packed.size(), &state.summary,
                               chain.blocks.data(), chain.blocks.size(), true, TextLimit::Whole,
                               TextFormat::Text, state.text.data(), state.text.size(), &textLen);
    } while (result == kTextTooSmall && textLen > state.text.size());
  } else {
    ResetForCall(state.decoder, &state.summary);  // reassembled only: no values, an empty report
  }

  StreamEvent event = EventFor(kSibCompleted, cellKey, sibType, chain);
  event.result = result == kDecoded || result == kNoMemory ? result : kNothingDecoded;
  event.text = result == kDecoded ? state.text.data() : nullptr;
  event.textLen = result == kDecoded ? textLen : 0;
  event.summary = &state.summary;
  event.sib = packed.data();
  event.sibLen = packed.size();
  DecodeReport& report = state.decoder.report;
  if (sibType == kSibTypeExtension && !state.decoder.release7) report.stop.kind = kStopTypeNotKnown;
  report.size = sizeof(DecodeReport);
  event.report = &report;
  if (result == kDecoded && report.complete == 1) KeepSchedule(state, cellKey, sibType);
  ++state.counts.sibsCompleted;
  if (result == kDecoded) {
    ++state.counts.sibsDecoded;
    if (state.decoder.report.complete == 0) ++state.decodeCounts.sibsStopped;
    if (state.decoder.report.warningCount > 0) ++state.decodeCounts.sibsWarned;
  }
  Deliver(delivery, event);
}

void Forget(CellChains& cell, PendingChain& chain) {
  chain.active = false;
  chain.bitCount = 0;
  chain.bits.clear();
  chain.blocks.clear();
  chain.tags.clear();
  --cell.activeCount;
}

void Drop(StreamState& state, uint64_t cellKey, uint32_t sibType, CellChains& cell,
          PendingChain& chain, ChainDropReason reason, Delivery& delivery) {
  StreamEvent event = EventFor(kChainDropped, cellKey, sibType, chain);
  event.dropReason = reason;
  ++state.counts.chainsDropped;
  Deliver(delivery, event);
  Forget(cell, chain);
}

void AddSegment(StreamState& state, PendingChain& chain, const tagSibSegment& segment,
                const unsigned char* block, uint64_t blockTag) {
  chain.bitCount = AppendBits(chain.bits, chain.bitCount, segment.data, segment.bitCount);
  chain.lastSfnPrime = segment.sfnPrime;
  chain.lastSegmentBits = segment.bitCount;
  std::memcpy(chain.lastSegment, segment.data, sizeof chain.lastSegment);
  if (chain.tags.empty() || chain.lastFeed != state.feedNumber) {
    chain.blocks.insert(chain.blocks.end(), block, block + kBchBlockSize);
    chain.tags.push_back(blockTag);
    chain.lastFeed = state.feedNumber;
  }
}

void DropAll(StreamState& state, uint64_t cellKey, CellChains& cell, ChainDropReason reason,
             Delivery& delivery) {
  for (uint32_t sibType = 0; sibType < kSibTypeCount; ++sibType) {
    PendingChain& chain = cell.bySibType[sibType];
    if (chain.active) Drop(state, cellKey, sibType, cell, chain, reason, delivery);
  }
}

using CellIterator = std::unordered_map<uint64_t, CellChains>::iterator;

CellIterator EraseCell(StreamState& state, CellIterator cell) {
  if (cell->second.placed) state.byLastFeed.erase(cell->second.place);
  return state.cells.erase(cell);
}

// Gives up the chains that took nothing for kMaxChainAge blocks, and the
// chains of the cells fed least recently beyond kMaxPendingCells.
void BoundPending(StreamState& state, Delivery& delivery) {
  if (state.feedNumber % kAgeSweepInterval == 0) {
    for (auto it = state.cells.begin(); it != state.cells.end();) {
      CellChains& cell = it->second;
      for (uint32_t sibType = 0; sibType < kSibTypeCount; ++sibType) {
        PendingChain& chain = cell.bySibType[sibType];
        if (chain.active && state.feedNumber - chain.lastFeed > kMaxChainAge) {
          Drop(state, it->first, sibType, cell, chain, kDropEvicted, delivery);
        }
      }
      it = cell.activeCount == 0 ? EraseCell(state, it) : std::next(it);
    }
  }
  while (state.cells.size() > kMaxPendingCells && !state.byLastFeed.empty()) {
    const auto oldest = state.cells.find(state.byLastFeed.front());
    DropAll(state, oldest->first, oldest->second, kDropEvicted, delivery);
    EraseCell(state, oldest);
  }
}

// Steps from one SFN-prime forward to another, across the wrap from 2047 to 0.
uint32_t SfnPrimeSteps(uint32_t from, uint32_t to) {
  return (to + kSfnPrimeCount - from % kSfnPrimeCount) % kSfnPrimeCount;
}

// The segment the chain took last, again: same block position, same bits.
bool IsRepeatOfLast(const PendingChain& chain, const tagSibSegment& segment) {
  const bool sameIndex = segment.segCount >= 1
                             ? chain.nextIndex == 1 && segment.segCount == chain.segCount
                             : segment.segmentIndex + 1 == chain.nextIndex;
  // Both data arrays are zero after their bits.
  return sameIndex && segment.sfnPrime == chain.lastSfnPrime &&
         segment.bitCount == chain.lastSegmentBits &&
         std::memcmp(segment.data, chain.lastSegment, (segment.bitCount + 7) / 8) == 0;
}

void TakeSegment(StreamState& state, uint64_t cellKey, CellChains& cell,
                 const tagSibSegment& segment, const unsigned char* block, uint64_t blockTag,
                 Delivery& delivery) {
  const uint32_t sibType = ChainType(state, cellKey, segment);
  PendingChain& chain = cell.bySibType[sibType];

  if (chain.active && IsRepeatOfLast(chain, segment)) {
    ++state.counts.segmentsDiscarded;  // the same block captured twice
    return;
  }
  if (segment.segCount >= 1) {  // first segment or complete SIB
    if (chain.active) Drop(state, cellKey, sibType, cell, chain, kDropInterrupted, delivery);
    chain.active = true;
    ++cell.activeCount;
    chain.segCount = segment.segCount;
    chain.nextIndex = 1;
    AddSegment(state, chain, segment, block, blockTag);
  } else if (!chain.active) {
    ++state.counts.segmentsDiscarded;
    return;
  } else if (segment.segmentIndex != chain.nextIndex) {
    Drop(state, cellKey, sibType, cell, chain, kDropOutOfOrder, delivery);
    ++state.counts.segmentsDiscarded;
    return;
  } else if (SfnPrimeSteps(chain.lastSfnPrime, segment.sfnPrime) > kMaxSegmentGap) {
    Drop(state, cellKey, sibType, cell, chain, kDropTooLate, delivery);
    ++state.counts.segmentsDiscarded;
    return;
  } else {
    AddSegment(state, chain, segment, block, blockTag);
    ++chain.nextIndex;
  }

  if (int64_t{chain.nextIndex} == int64_t{chain.segCount}) {
    Complete(state, cellKey, sibType, chain, delivery);
    Forget(cell, chain);
  }
}

}  // namespace

StreamState* CreateStreamState() {
  StreamState* state = nullptr;
  try {
    state = new StreamState();
    state->blockSegments.reserve(kMaxBlockSegments);
    return state;
  } catch (const std::bad_alloc&) {
    delete state;
    return nullptr;
  }
}

void DestroyStreamState(StreamState* state) { delete state; }

int FeedBlock(StreamState* state, uint64_t cellKey, uint64_t blockTag, const unsigned char* block,
              StreamCallback callback, void* context) {
  if (state == nullptr || block == nullptr) return -1;
  ++state->counts.blocks;
  ++state->feedNumber;
  Delivery delivery{callback, context, 0, nullptr};
  try {
    // The block walk queues this block's segments in payload order.
    SegmentQueue& segments = state->blockSegments;
    segments.clear();
    WalkBlocks(block, kBchBlockSize, state->decoder.currentSegment, segments);
    if (!segments.empty()) {
      const CellIterator entry = state->cells.try_emplace(cellKey).first;
      CellChains& cell = entry->second;
      cell.lastFeed = state->feedNumber;
      if (!cell.placed) {
        state->byLastFeed.push_back(cellKey);
        cell.place = std::prev(state->byLastFeed.end());
        cell.placed = true;
      } else {
        state->byLastFeed.splice(state->byLastFeed.end(), state->byLastFeed, cell.place);
      }
      for (const tagSibSegment& segment : segments) {
        TakeSegment(*state, cellKey, cell, segment, block, blockTag, delivery);
      }
      if (cell.activeCount == 0) EraseCell(*state, entry);
    }
    BoundPending(*state, delivery);
  } catch (const std::bad_alloc&) {
    // No exception into the host: what was pending may be half updated, so it
    // is given up without events; the stream can be fed again.
    state->cells.clear();
    state->byLastFeed.clear();
    state->decoder.currentSegment.bitCount = 0;
    return RethrowFromCallback(delivery, kNoMemory);
  }
  return RethrowFromCallback(delivery, delivery.events);
}

int FlushStream(StreamState* state, StreamCallback callback, void* context) {
  if (state == nullptr) return -1;
  Delivery delivery{callback, context, 0, nullptr};
  for (auto& entry : state->cells)
    DropAll(*state, entry.first, entry.second, kDropFlushed, delivery);
  state->cells.clear();
  state->byLastFeed.clear();
  return RethrowFromCallback(delivery, delivery.events);
}

void SetStreamRelease(StreamState* state, DecodeRelease release) {
  if (state != nullptr) SetDecodeRelease(&state->decoder, release);
}

void SetStreamTextLayout(StreamState* state, TextLayout layout) {
  if (state != nullptr) SetTextLayout(&state->decoder, layout);
}

void SetStreamDecodesAll(StreamState* state, bool all) {
  if (state != nullptr) state->decodeAll = all;
}

void GetStreamCounts(const StreamState* state, StreamCounts* counts) {
  if (state == nullptr || counts == nullptr) return;
  *counts = state->counts;
}

void GetStreamDecodeCounts(const StreamState* state, StreamDecodeCounts* counts) {
  if (state == nullptr || counts == nullptr) return;
  *counts = state->decodeCounts;
}

}  // namespace sibdecode
