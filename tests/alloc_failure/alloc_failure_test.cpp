// Allocation failure: for every n, the n-th allocation of a decode fails, for
// model-drawn samples of every decoded SIB type and every exported function.
//
// This program replaces the global operator new and delete (it is a program
// of its own so that no other test runs with them). The standard containers of
// the entry point allocate through operator new, the decoders through its
// non-throwing form (AllocRecord, ListAppend), so every allocation of a decode
// is counted and each can be made to fail. The replacement also counts the
// blocks not yet freed, so a leak shows without a leak checker; under ASan,
// LeakSanitizer checks the same at exit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "api/entry.h"
#include "api/sib_dispatch.h"
#include "legacy_entry/process_state.h"
#include "per/per.h"
#include "print/emitter.h"
#include "rrc/summary_feed.h"
#include "sibdecode/capture.h"
#include "sibdecode/sibdecode.h"
#include "support/model_sibs.h"

// The replacement below frees with std::free what its operator new took from
// std::malloc; GCC sees only operator new and free after inlining.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

namespace {

// ---- the counting, failing allocator (one thread only) ----

struct Injection {
  bool armed = false;
  size_t count = 0;   // allocations since Arm
  size_t failAt = 0;  // the allocation (from 1) that fails; 0: none
  bool failed = false;
};
Injection injection;
long long liveBlocks = 0;  // allocated and not yet freed, whole program

void Arm(size_t failAt) { injection = Injection{true, 0, failAt, false}; }
void Disarm() { injection.armed = false; }

void* Allocate(size_t size) {
  if (injection.armed && ++injection.count == injection.failAt) {
    injection.failed = true;
    return nullptr;
  }
  void* block = std::malloc(size > 0 ? size : 1);
  if (block != nullptr) ++liveBlocks;
  return block;
}

void Release(void* block) {
  if (block == nullptr) return;
  --liveBlocks;
  std::free(block);
}

}  // namespace

void* operator new(size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new[](size_t size) {
  void* block = Allocate(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, size_t) noexcept { Release(block); }
void operator delete[](void* block, size_t) noexcept { Release(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Release(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Release(block); }

namespace {

using sibtest::ModelSib;

// The model-drawn samples of the types the exported calls decode by default
// (Release 7), and a SIB5 whose text is longer than the 102400-byte work buffer
// (so that the whole-text calls print it again into a larger one).
std::vector<ModelSib> Samples() {
  std::vector<ModelSib> samples;
  for (ModelSib& sample :
       sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt")) {
    if (sibdecode::IsDecodedSibType(sample.sibType)) samples.push_back(std::move(sample));
  }
  std::ifstream in(std::string(SIBDECODE_TEST_DATA_DIR) + "/sib5_long_text.hex");
  std::string line;
  std::getline(in, line);
  std::string digits;
  for (char c : line) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  }
  ModelSib longSib5;
  longSib5.batch = sibtest::FromHex(digits);
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  uint32_t sibType = 0;
  if (state != nullptr &&
      sibdecode::ReassembleBatch(*state, longSib5.batch.data(), longSib5.batch.size(), &sibType,
                                 &longSib5.bare)) {
    longSib5.sibType = sibType;
    samples.push_back(longSib5);
  }
  sibdecode::DestroyDecoderState(state);
  return samples;
}

size_t CommonPrefix(const std::string& a, const std::string& b) {
  return static_cast<size_t>(
      std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first -
      a.begin());
}

bool AllZero(const tagSystemInformationBlock& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&out);
  return std::all_of(bytes, bytes + sizeof out, [](unsigned char b) { return b == 0; });
}

// ---- the exported functions, one call each, through one signature ----

enum class Api { DecodeSib, DecodeSibJson, DecodeBatch, DecodeBatchJson, RRCParserX };
const char* ApiName(Api api) {
  switch (api) {
    case Api::DecodeSib:
      return "DecodeSib";
    case Api::DecodeSibJson:
      return "DecodeSibJson";
    case Api::DecodeBatch:
      return "DecodeBatch";
    case Api::DecodeBatchJson:
      return "DecodeBatchJson";
    case Api::RRCParserX:
      return "RRCParserX";
  }
  return "";
}
constexpr Api kApis[] = {Api::DecodeSib, Api::DecodeSibJson, Api::DecodeBatch, Api::DecodeBatchJson,
                         Api::RRCParserX};

// Output storage, allocated before any counting starts.
struct Output {
  int result = 0;  // DecodeResult; RRCParserX: kDecoded for true, kNothingDecoded for false
  tagSystemInformationBlock out;
  std::vector<char> text = std::vector<char>(size_t{1} << 20);
  size_t textLen = 0;
};

// RRCParserX takes the process-wide state; the others take `state`.
void Call(Api api, sibdecode::DecoderState* state, ModelSib& sample, Output& o) {
  std::memset(&o.out, 0xA5, sizeof o.out);
  o.textLen = 12345;
  switch (api) {
    case Api::DecodeSib:
      o.result = sibdecode::DecodeSib(state, sample.sibType, sample.bare.data(), sample.bare.size(),
                                      &o.out, o.text.data(), o.text.size(), &o.textLen);
      break;
    case Api::DecodeSibJson:
      o.result =
          sibdecode::DecodeSibJson(state, sample.sibType, sample.bare.data(), sample.bare.size(),
                                   &o.out, o.text.data(), o.text.size(), &o.textLen);
      break;
    case Api::DecodeBatch:
      o.result = sibdecode::DecodeBatch(state, sample.batch.data(), sample.batch.size(), &o.out,
                                        o.text.data(), o.text.size(), &o.textLen);
      break;
    case Api::DecodeBatchJson:
      o.result = sibdecode::DecodeBatchJson(state, sample.batch.data(), sample.batch.size(), &o.out,
                                            o.text.data(), o.text.size(), &o.textLen, nullptr);
      break;
    case Api::RRCParserX: {
      unsigned int textLen = 12345;
      bool decoded = RRCParserX(sample.batch.data(), static_cast<unsigned int>(sample.batch.size()),
                                &o.out, o.text.data(), textLen);
      o.result = decoded ? sibdecode::kDecoded : sibdecode::kNothingDecoded;
      o.textLen = textLen;
      break;
    }
  }
}

std::string Text(const Output& o) {
  return o.result == sibdecode::kDecoded ? std::string(o.text.data(), o.textLen) : std::string();
}

// RRCParserX creates its process-wide state on its first call (this test runs
// first, and ctest runs each test in a process of its own): when that fails,
// the call returns false with textLen 0 and the summary zeroed, and the next
// call creates the state and decodes.
TEST(AllocationFailure, RRCParserXWithoutItsStateFailsCleanly) {
  std::vector<ModelSib> samples = Samples();
  ASSERT_FALSE(samples.empty());
  Output o;
  Arm(1);
  Call(Api::RRCParserX, nullptr, samples[0], o);
  Disarm();
  ASSERT_TRUE(injection.failed);
  EXPECT_EQ(o.result, sibdecode::kNothingDecoded);
  EXPECT_EQ(o.textLen, 0u);
  EXPECT_TRUE(AllZero(o.out));
  Call(Api::RRCParserX, nullptr, samples[0], o);
  EXPECT_EQ(o.result, sibdecode::kDecoded);
}

// For every n until a call performs fewer than n allocations: the n-th fails.
// Either the call's own storage failed (kNoMemory; RRCParserX false) with
// *textLen 0 and the summary zeroed, or a decoder's allocation failed and the
// call delivers the text of what was decoded before: the part it shares with
// the full text never shrinks as n grows, and past the decoder's last
// allocation it is the full text. Nothing leaks, and the same state decodes
// the input fully right after.
TEST(AllocationFailure, EveryAllocationOfEveryExportedCallCanFail) {
  std::vector<ModelSib> samples = Samples();
  ASSERT_GE(samples.size(), 21u) << "tests/data/model_sibs.txt, tests/data/sib5_long_text.hex";
  Output full;
  Output o;
  Output again;
  for (Api api : kApis) {
    for (size_t s = 0; s < samples.size(); ++s) {
      ModelSib& sample = samples[s];
      SCOPED_TRACE(std::string(ApiName(api)) + " SIB" + std::to_string(sample.sibType) +
                   " sample " + std::to_string(s));
      sibdecode::DecoderState* reference = sibdecode::CreateDecoderState();
      ASSERT_NE(reference, nullptr);
      Call(api, reference, sample, full);
      sibdecode::DestroyDecoderState(reference);
      ASSERT_EQ(full.result, sibdecode::kDecoded);
      const std::string fullText = Text(full);

      size_t noMemory = 0;
      size_t shortened = 0;
      size_t absorbed = 0;
      size_t lastPrefix = 0;
      size_t n = 1;
      for (;; ++n) {
        const long long before = liveBlocks;
        sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
        ASSERT_NE(state, nullptr);
        if (api == Api::RRCParserX) {
          // The process-wide state keeps its storage from call to call: a new
          // one, as the other calls get, so that its storage is allocated here.
          sibdecode::DestroyProcessState();
          sibdecode::ConstructProcessState();
        }
        Arm(n);
        Call(api, state, sample, o);
        Disarm();
        const bool failed = injection.failed;
        Call(api, state, sample, again);
        sibdecode::DestroyDecoderState(state);
        if (api != Api::RRCParserX) {
          ASSERT_EQ(liveBlocks, before) << "leak when allocation " << n << " fails";
        }
        ASSERT_EQ(again.result, full.result) << "after allocation " << n << " failed";
        ASSERT_EQ(Text(again), fullText) << "after allocation " << n << " failed";
        ASSERT_EQ(std::memcmp(&again.out, &full.out, sizeof full.out), 0);
        if (!failed) break;

        const int noMemoryResult =
            api == Api::RRCParserX ? sibdecode::kNothingDecoded : sibdecode::kNoMemory;
        if (o.result == noMemoryResult) {
          ++noMemory;
          EXPECT_EQ(o.textLen, 0u) << "allocation " << n;
          EXPECT_TRUE(AllZero(o.out)) << "allocation " << n;
        } else if (o.result == full.result && Text(o) == fullText &&
                   std::memcmp(&o.out, &full.out, sizeof full.out) == 0) {
          ++absorbed;  // e.g. the sort of the segments falls back to sorting in place
        } else {
          ++shortened;
          ASSERT_EQ(o.result, sibdecode::kDecoded) << "allocation " << n;
          const std::string text = Text(o);
          const size_t prefix = CommonPrefix(text, fullText);
          EXPECT_GE(prefix, lastPrefix) << "allocation " << n;
          lastPrefix = prefix;
          EXPECT_LE(o.out.sib11.intraFreqCellCount, full.out.sib11.intraFreqCellCount);
          EXPECT_LE(o.out.sib11.interFreqCellCount, full.out.sib11.interFreqCellCount);
          EXPECT_LE(o.out.sib11.interRATCellCount, full.out.sib11.interRATCellCount);
        }
      }
      const size_t allocations = n - 1;
      EXPECT_GT(noMemory, 0u) << "the call's own storage must be among the allocations";
      EXPECT_EQ(noMemory + shortened + absorbed, allocations);
      std::printf(
          "%-15s SIB%-2u sample %2zu: %3zu allocations: %2zu kNoMemory, %3zu shortened, %zu "
          "absorbed\n",
          ApiName(api), sample.sibType, s, allocations, noMemory, shortened, absorbed);
    }
  }
}

// In the steady state the block walk and the reassembly allocate nothing: a
// batch call on a state that decoded before allocates exactly what decoding
// the SIB it reassembles alone does.
TEST(AllocationFailure, WarmStateAllocatesOnlyWhatTheDecodersDo) {
  std::vector<ModelSib> samples = Samples();
  ASSERT_GE(samples.size(), 21u);
  Output o;
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  ASSERT_NE(state, nullptr);
  for (size_t s = 0; s < samples.size(); ++s) {
    ModelSib sample = samples[s];
    SCOPED_TRACE("SIB" + std::to_string(sample.sibType) + " sample " + std::to_string(s));
    uint32_t sibType = 0;
    std::vector<uint8_t> reassembled;
    ASSERT_TRUE(sibdecode::ReassembleBatch(*state, sample.batch.data(), sample.batch.size(),
                                           &sibType, &reassembled));
    ASSERT_EQ(sibType, sample.sibType);
    sample.bare = reassembled;  // what the batch calls decode

    const Api apis[] = {Api::DecodeBatch, Api::DecodeSib, Api::RRCParserX};
    for (Api api : apis) Call(api, state, sample, o);  // the state's buffers grow to this SIB
    size_t counts[3] = {};
    for (int k = 0; k < 3; ++k) {
      Arm(0);  // counts, never fails
      Call(apis[k], state, sample, o);
      Disarm();
      counts[k] = injection.count;
      EXPECT_EQ(o.result, sibdecode::kDecoded) << ApiName(apis[k]);
    }
    EXPECT_EQ(counts[0], counts[1]) << "DecodeBatch against DecodeSib";
    EXPECT_EQ(counts[2], counts[1]) << "RRCParserX against DecodeSib";
  }
  sibdecode::DestroyDecoderState(state);
}

// The SIB decoders alone (no summary feed), each in an arena of its own: every
// n-th allocation of a decode (a chunk of the arena) makes it stop with
// StatusNoMemory; the record stays printable, nothing leaks once the arena
// goes, and the text shares at least as much with the full text as with the
// previous n.
TEST(AllocationFailure, DecodersStopWithNoMemory) {
  std::vector<ModelSib> samples = Samples();
  ASSERT_GE(samples.size(), 10u);
  std::vector<unsigned int> typesThatAllocate;
  alignas(std::max_align_t) static unsigned char record[sibdecode::kMaxSibRecordSize];
  std::vector<char> buffer(size_t{1} << 20);
  // Decodes with allocation `failAt` failing, prints into `buffer`; *leaked:
  // blocks still allocated once the arena is gone.
  auto decodeAndPrint = [&](const sibdecode::SibDispatchRow& row, const ModelSib& sample,
                            size_t failAt, int* status, long long* leaked) {
    std::string text;
    text.reserve(buffer.size());  // taking the text allocates nothing below
    const long long before = liveBlocks;
    {
      sibdecode::RecordArena arena;
      std::memset(record, 0, row.recordSize);
      if (row.init != nullptr) row.init(record);
      sibdecode::PerContext ctx;
      sibdecode::InitPerContext(&ctx, sample.bare.data(),
                                static_cast<uint32_t>(sample.bare.size()));
      ctx.arena = &arena;
      Arm(failAt);
      *status = row.decode(&ctx, record);
      Disarm();
      sibdecode::TextCursor cursor;
      sibdecode::InitTextCursor(cursor, buffer.data(), static_cast<uint32_t>(buffer.size()));
      (void)row.print(cursor, record);
      text.assign(buffer.data(), buffer.size() - static_cast<size_t>(cursor.remaining));
    }
    *leaked = liveBlocks - before;
    return text;
  };
  for (const ModelSib& sample : samples) {
    SCOPED_TRACE("SIB" + std::to_string(sample.sibType));
    const sibdecode::SibDispatchRow* row = sibdecode::FindSibRow(sample.sibType);
    ASSERT_NE(row, nullptr);
    int fullStatus = 0;
    long long leaked = 0;
    const std::string fullText = decodeAndPrint(*row, sample, 0, &fullStatus, &leaked);
    ASSERT_EQ(leaked, 0);
    const size_t allocations = injection.count;
    if (allocations > 0) typesThatAllocate.push_back(sample.sibType);
    size_t lastPrefix = 0;
    for (size_t n = 1; n <= allocations; ++n) {
      int status = 0;
      const std::string text = decodeAndPrint(*row, sample, n, &status, &leaked);
      ASSERT_TRUE(injection.failed);
      EXPECT_EQ(status, sibdecode::StatusNoMemory) << "allocation " << n;
      ASSERT_EQ(leaked, 0) << "leak when allocation " << n << " fails";
      const size_t prefix = CommonPrefix(text, fullText);
      EXPECT_GE(prefix, lastPrefix) << "allocation " << n;
      lastPrefix = prefix;
    }
  }
  EXPECT_FALSE(typesThatAllocate.empty()) << "no sample reaches the allocator";
}

// The hooks through which the SIB11/12 decoders queue neighbour cells: a queue
// that cannot grow marks the feed (the call then ends with kNoMemory) and
// throws nothing through the generated decoders.
TEST(AllocationFailure, SummaryFeedMarksTheFeedInsteadOfThrowing) {
  using Hook = void (*)(sibdecode::PerContext*);
  const Hook hooks[] = {
      [](sibdecode::PerContext* ctx) {
        sibdecode::FeedIntraFreqCell(ctx, sibdecode::NewIntraFreqCellSI_RSCP_LCR_r4{});
      },
      [](sibdecode::PerContext* ctx) {
        sibdecode::FeedInterFreqCell(ctx, sibdecode::NewInterFreqCellSI_RSCP_LCR_r4{});
      },
      [](sibdecode::PerContext* ctx) {
        sibdecode::FeedInterRatCell(ctx, sibdecode::NewInterRATCell_B{});
      },
  };
  for (Hook hook : hooks) {
    sibdecode::SummaryFeed feed;
    sibdecode::PerContext ctx;
    sibdecode::InitPerContext(&ctx, nullptr, 0, &feed);
    // Queue cells until one needs a new block of the queue, and fail that one.
    bool failed = false;
    for (int cell = 0; cell < 1000 && !failed; ++cell) {
      auto queuedCells = [&feed] {
        return feed.intraFreqCellQueue.size() + feed.interFreqCellQueue.size() +
               feed.interRatCellQueue.size();
      };
      const size_t queued = queuedCells();
      Arm(1);
      hook(&ctx);
      Disarm();
      failed = injection.failed;
      if (failed) {
        EXPECT_TRUE(feed.noMemory) << "cell " << cell;
        EXPECT_EQ(queuedCells(), queued) << "a cell that could not be queued is not half queued";
      } else {
        EXPECT_FALSE(feed.noMemory) << "cell " << cell;
      }
    }
    EXPECT_TRUE(failed) << "no queued cell allocated";
    sibdecode::ResetSummaryFeed(feed);
    EXPECT_FALSE(feed.noMemory);
  }
}

// A state that cannot be allocated is a null pointer, not an exception.
TEST(AllocationFailure, CreateDecoderStateReturnsNullWhenTheHeapRunsOut) {
  size_t n = 1;
  for (;; ++n) {
    const long long before = liveBlocks;
    Arm(n);
    sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
    Disarm();
    const bool failed = injection.failed;
    sibdecode::DestroyDecoderState(state);
    ASSERT_EQ(liveBlocks, before) << "allocation " << n;
    if (!failed) {
      EXPECT_NE(state, nullptr);
      break;
    }
    EXPECT_EQ(state, nullptr) << "allocation " << n;
  }
  EXPECT_GT(n, 1u) << "creating a state allocates";
}

// Feeding a stream: every allocation of feeding a sample's blocks (and of
// creating the stream) can fail. FeedBlock then reports kNoMemory, or the SIB's
// event does, instead of an exception; nothing leaks, and the same stream
// decodes the SIB when fed again.
struct StreamOutcome {
  int decoded = 0;
  int noMemory = 0;  // SIBs whose decode ran out of heap
};

void OnStreamEvent(const sibdecode::StreamEvent& event, void* context) {
  auto* outcome = static_cast<StreamOutcome*>(context);
  if (event.kind != sibdecode::kSibCompleted) return;
  if (event.result == sibdecode::kDecoded) ++outcome->decoded;
  if (event.result == sibdecode::kNoMemory) ++outcome->noMemory;
}

TEST(AllocationFailure, StreamFeedingReportsNoMemory) {
  for (ModelSib& sample : Samples()) {
    if (sample.batch.size() < 31) continue;
    for (size_t n = 1;; ++n) {
      const long long before = liveBlocks;
      StreamOutcome outcome;
      Arm(n);
      sibdecode::StreamState* stream = sibdecode::CreateStreamState();
      bool noMemory = stream == nullptr;
      for (size_t at = 0; stream != nullptr && at + 31 <= sample.batch.size(); at += 31) {
        const int events = sibdecode::FeedBlock(stream, 7, at / 31, sample.batch.data() + at,
                                                OnStreamEvent, &outcome);
        noMemory = noMemory || events == sibdecode::kNoMemory;
      }
      Disarm();
      const bool failed = injection.failed;
      if (stream != nullptr && failed) {
        // Fed again with the heap back, the stream decodes the SIB.
        StreamOutcome again;
        sibdecode::FlushStream(stream, nullptr, nullptr);
        for (size_t at = 0; at + 31 <= sample.batch.size(); at += 31) {
          sibdecode::FeedBlock(stream, 7, at / 31, sample.batch.data() + at, OnStreamEvent, &again);
        }
        EXPECT_EQ(again.decoded, 1) << "sample of type " << sample.sibType << ", allocation " << n;
      }
      sibdecode::DestroyStreamState(stream);
      ASSERT_EQ(liveBlocks, before) << "sample of type " << sample.sibType << ", allocation " << n;
      if (!failed) {
        EXPECT_EQ(outcome.decoded, 1) << "sample of type " << sample.sibType;
        break;
      }
      EXPECT_TRUE(noMemory || outcome.noMemory == 1 || outcome.decoded == 1)
          << "sample of type " << sample.sibType << ", allocation " << n;
    }
  }
}

// The capture reader fed with a sample's blocks as GSMTAP datagrams: when an
// allocation fails, the SIB still comes, or a no-memory event says it did not;
// nothing leaks.
TEST(AllocationFailure, CaptureReaderReportsNoMemory) {
  for (ModelSib& sample : Samples()) {
    if (sample.batch.size() < 31) continue;
    for (size_t n = 1;; ++n) {
      const long long before = liveBlocks;
      int sibs = 0;
      int noMemory = 0;
      Arm(n);
      sibdecode::CaptureReader* reader = sibdecode::CreateGsmtapReader();
      for (size_t at = 0; reader != nullptr && at + 31 <= sample.batch.size(); at += 31) {
        unsigned char datagram[16 + 31] = {2, 4, 0x0c};
        datagram[12] = 8;  // BCCH-BCH
        std::memcpy(datagram + 16, sample.batch.data() + at, 31);
        sibdecode::FeedGsmtapDatagram(reader, datagram, sizeof(datagram), 0, 0);
        sibdecode::CaptureEvent event;
        while (sibdecode::NextCaptureEvent(reader, &event) == 1) {
          if (event.kind == sibdecode::kCaptureSib) ++sibs;
          if (event.kind == sibdecode::kCaptureNoMemoryEvent) ++noMemory;
        }
      }
      Disarm();
      const bool failed = injection.failed;
      sibdecode::CloseCapture(reader);
      ASSERT_EQ(liveBlocks, before) << "sample of type " << sample.sibType << ", allocation " << n;
      if (!failed) {
        EXPECT_EQ(sibs, 1) << "sample of type " << sample.sibType;
        break;
      }
      EXPECT_TRUE(reader == nullptr || sibs == 1 || noMemory > 0)
          << "sample of type " << sample.sibType << ", allocation " << n;
    }
  }
}

}  // namespace
