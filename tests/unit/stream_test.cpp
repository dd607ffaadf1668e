// Streaming entry point: SIBs interleaved inside blocks, several cells, chains
// that break off. Every SIB it hands back is compared with DecodeBatch on the
// same SIB framed in blocks of its own (the same segment bits, nothing else),
// and its trailer with the blocks that carried it.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/entry.h"
#include "api/ext_schedule.h"
#include "support/bch_blocks.h"

namespace sibdecode {
namespace {

using sibtest::BitWriter;
using sibtest::Block;
using sibtest::DataBits;

using Bytes = std::vector<uint8_t>;
constexpr uint32_t kForeignType = 20;  // a SIB type without a decoder

struct Fed {
  uint64_t cell;
  Bytes block;
};

struct Expected {
  StreamEventKind kind;
  ChainDropReason reason;
  uint64_t cell;
  uint32_t sibType;
  std::vector<uint64_t> tags;       // indexes of the fed blocks that carried it
  std::vector<std::string> pieces;  // segment bits (digits) of a completed SIB
};

struct Seen {
  StreamEventKind kind;
  ChainDropReason reason;
  uint64_t cell;
  uint32_t sibType;
  int result;
  std::vector<uint64_t> tags;
  Bytes blocks;
  std::string text;
  tagSystemInformationBlock summary;
  Bytes sib;
};

void Record(const StreamEvent& event, void* context) {
  Seen seen{event.kind,
            event.dropReason,
            event.cellKey,
            event.sibType,
            event.result,
            std::vector<uint64_t>(event.blockTags, event.blockTags + event.blockCount),
            Bytes(event.blocks, event.blocks + event.blocksLen),
            std::string(),
            {},
            {}};
  if (event.text != nullptr) seen.text.assign(event.text, event.textLen);
  if (event.sib != nullptr) seen.sib.assign(event.sib, event.sib + event.sibLen);
  if (event.summary != nullptr) seen.summary = *event.summary;
  static_cast<std::vector<Seen>*>(context)->push_back(seen);
}

// The SIB in blocks of its own, cut into the same pieces. A first piece shorter
// than 222 bits needs a variable-size first segment, which only comes behind
// another segment: a last segment of a foreign type, which DecodeBatch skips.
Bytes Alone(uint32_t sibType, const std::vector<std::string>& pieces) {
  using namespace sibtest;
  const uint32_t count = static_cast<uint32_t>(pieces.size());
  std::vector<Bytes> blocks;
  if (count == 1) {
    blocks.push_back(pieces[0].size() == 226 ? Block(0, 9, Complete(sibType, pieces[0]))
                                             : Block(0, 7, CompleteList({{sibType, pieces[0]}})));
  } else if (pieces[0].size() == 222) {
    blocks.push_back(Block(0, 1, FirstSegment(sibType, count, pieces[0])));
  } else {
    blocks.push_back(Block(
        0, 4, FollowingShort(kForeignType, 1, "1").Append(FirstShort(sibType, count, pieces[0]))));
  }
  for (uint32_t i = 1; i < count; ++i) {
    const bool last = i == count - 1;
    if (pieces[i].size() == 222) {
      blocks.push_back(Block(i, last ? 10 : 2, FollowingSegment(sibType, i, pieces[i])));
    } else {
      blocks.push_back(Block(i, 3, FollowingShort(sibType, i, pieces[i])));
    }
  }
  Bytes data;
  for (const Bytes& block : blocks) data.insert(data.end(), block.begin(), block.end());
  return data;
}

struct BatchText {
  int result;
  std::string text;
  tagSystemInformationBlock summary;
};

BatchText DecodeWithBatch(const Bytes& data) {
  DecoderState* state = CreateDecoderState();
  BatchText out{0, std::string(MaxTextSize(data.size()), '\0'), {}};
  size_t textLen = 0;
  out.result = DecodeBatch(state, data.data(), data.size(), &out.summary, &out.text[0],
                           out.text.size(), &textLen);
  out.text.resize(out.result == kDecoded ? textLen : 0);
  DestroyDecoderState(state);
  return out;
}

std::string WithoutTrailer(const std::string& text, size_t rawLen) {
  const size_t trailer = RawTrailerSize(rawLen);
  return text.size() >= trailer ? text.substr(0, text.size() - trailer) : text;
}

struct Scenario {
  const char* what;
  std::vector<Fed> fed;
  std::vector<Expected> events;  // in order, flush included
};

// Data bits of one scenario: distinct seeds per piece.
std::string Bits(size_t count, uint32_t seed) { return DataBits(count, seed * 7919u + 13u); }

std::vector<Scenario> Scenarios() {
  using namespace sibtest;
  std::vector<Scenario> all;

  {  // SIB5 ends in a lastAndFirst block that starts SIB11; SIB11 ends in a
     // lastAndComplete block with a completeSIB-List of SIB3 and SIB7.
    const std::string a = Bits(222, 1), b = Bits(222, 2), c = Bits(60, 3), d = Bits(130, 4),
                      e = Bits(222, 5), f = Bits(60, 6), g = Bits(70, 7), h = Bits(30, 8);
    all.push_back(
        {"lastAndFirst and lastAndComplete",
         {{0, Block(10, 1, FirstSegment(5, 3, a))},
          {0, Block(11, 2, FollowingSegment(5, 1, b))},
          {0, Block(12, 4, FollowingShort(5, 2, c).Append(FirstShort(11, 3, d)))},
          {0, Block(13, 2, FollowingSegment(11, 1, e))},
          {0, Block(14, 5, FollowingShort(11, 2, f).Append(CompleteList({{3, g}, {7, h}})))}},
         {{kSibCompleted, kNotDropped, 0, 5, {0, 1, 2}, {a, b, c}},
          {kSibCompleted, kNotDropped, 0, 11, {2, 3, 4}, {d, e, f}},
          {kSibCompleted, kNotDropped, 0, 3, {4}, {g}},
          {kSibCompleted, kNotDropped, 0, 7, {4}, {h}}}});
  }
  {  // completeAndFirst, lastAndCompleteAndFirst, lastSegmentShort, completeSIB.
    const std::string i = Bits(80, 11), j = Bits(100, 12), k = Bits(222, 13), l = Bits(40, 14),
                      m = Bits(50, 15), n = Bits(60, 16), o = Bits(120, 17), p = Bits(226, 18);
    all.push_back({"completeAndFirst and lastAndCompleteAndFirst",
                   {{7, Block(100, 8, CompleteList({{1, i}}).Append(FirstShort(12, 3, j)))},
                    {7, Block(101, 2, FollowingSegment(12, 1, k))},
                    {7, Block(102, 6,
                              FollowingShort(12, 2, l)
                                  .Append(CompleteList({{2, m}}))
                                  .Append(FirstShort(6, 2, n)))},
                    {7, Block(103, 3, FollowingShort(6, 1, o))},
                    {7, Block(104, 9, Complete(13, p))}},
                   {{kSibCompleted, kNotDropped, 7, 1, {0}, {i}},
                    {kSibCompleted, kNotDropped, 7, 12, {0, 1, 2}, {j, k, l}},
                    {kSibCompleted, kNotDropped, 7, 2, {2}, {m}},
                    {kSibCompleted, kNotDropped, 7, 6, {2, 3}, {n, o}},
                    {kSibCompleted, kNotDropped, 7, 13, {4}, {p}}}});
  }
  // Two cells send SIB11 at the same time, block for block.
  const std::string a0 = Bits(222, 21), a1 = Bits(222, 22), a2 = Bits(90, 23), b0 = Bits(222, 24),
                    b1 = Bits(222, 25), b2 = Bits(150, 26);
  auto twoCells = [&](uint64_t cellA, uint64_t cellB) {
    return std::vector<Fed>{{cellA, Block(50, 1, FirstSegment(11, 3, a0))},
                            {cellB, Block(50, 1, FirstSegment(11, 3, b0))},
                            {cellA, Block(51, 2, FollowingSegment(11, 1, a1))},
                            {cellB, Block(51, 2, FollowingSegment(11, 1, b1))},
                            {cellA, Block(52, 3, FollowingShort(11, 2, a2))},
                            {cellB, Block(52, 3, FollowingShort(11, 2, b2))}};
  };
  all.push_back({"two cells, same SIB type interleaved",
                 twoCells(0, 10054),
                 {{kSibCompleted, kNotDropped, 0, 11, {0, 2, 4}, {a0, a1, a2}},
                  {kSibCompleted, kNotDropped, 10054, 11, {1, 3, 5}, {b0, b1, b2}}}});
  // The same under one key (ARFCN 0 for every cell): the second first segment
  // drops the first chain; the first cell's next segment fits the second
  // chain, whose own next segment then drops it: the mixed chain is never
  // decoded, and the last segments are strays.
  all.push_back({"two cells under one key",
                 twoCells(0, 0),
                 {{kChainDropped, kDropInterrupted, 0, 11, {0}, {}},
                  {kChainDropped, kDropOutOfOrder, 0, 11, {1, 2}, {}}}});
  {  // A missing subsequent segment, a late segment, then SIBs that complete.
    const std::string a = Bits(222, 41), c = Bits(100, 43), d = Bits(90, 44), e = Bits(222, 45),
                      f = Bits(222, 46), g = Bits(70, 47);
    all.push_back({"missing segment and a segment too late",
                   {{3, Block(200, 1, FirstSegment(5, 3, a))},
                    {3, Block(202, 3, FollowingShort(5, 2, c))},
                    {3, Block(203, 7, CompleteList({{3, d}}))},
                    {3, Block(204, 1, FirstSegment(5, 2, e))},
                    {3, Block(221, 10, FollowingSegment(5, 1, f))},
                    {3, Block(222, 1, FirstSegment(5, 2, e))},
                    {3, Block(238, 3, FollowingShort(5, 1, g))}},
                   {{kChainDropped, kDropOutOfOrder, 3, 5, {0}, {}},
                    {kSibCompleted, kNotDropped, 3, 3, {2}, {d}},
                    {kChainDropped, kDropTooLate, 3, 5, {3}, {}},
                    {kSibCompleted, kNotDropped, 3, 5, {5, 6}, {e, g}}}});
  }
  {  // Blocks captured twice; a SIB across the SFN-prime wrap; a stray last
     // segment; a chain left pending at the end; the master information block.
    const std::string a = Bits(222, 51), b = Bits(222, 52), c = Bits(30, 53), m = Bits(70, 54),
                      x = Bits(40, 55), y = Bits(222, 56);
    const Bytes first = Block(2046, 1, FirstSegment(12, 3, a));
    const Bytes next = Block(2047, 2, FollowingSegment(12, 1, b));
    all.push_back({"repeated blocks, SFN-prime wrap, stray and pending segments",
                   {{9, first},
                    {9, first},
                    {9, next},
                    {9, next},
                    {9, Block(0, 4, FollowingShort(12, 2, c).Append(FirstShort(0, 2, m)))},
                    {9, Block(1, 3, FollowingShort(4, 2, x))},
                    {9, Block(2, 1, FirstSegment(11, 4, y))}},
                   {{kSibCompleted, kNotDropped, 9, 12, {0, 2, 4}, {a, b, c}},
                    {kChainDropped, kDropFlushed, 9, 0, {4}, {}},
                    {kChainDropped, kDropFlushed, 9, 11, {6}, {}}}});
  }
  return all;
}

TEST(FeedBlock, EachSibAsDecodeBatchDecodesItsOwnSegments) {
  for (const Scenario& scenario : Scenarios()) {
    SCOPED_TRACE(scenario.what);
    StreamState* stream = CreateStreamState();
    std::vector<Seen> seen;
    for (size_t k = 0; k < scenario.fed.size(); ++k) {
      const Fed& fed = scenario.fed[k];
      ASSERT_EQ(fed.block.size(), 31u);
      FeedBlock(stream, fed.cell, k, fed.block.data(), Record, &seen);
    }
    FlushStream(stream, Record, &seen);
    DestroyStreamState(stream);

    ASSERT_EQ(seen.size(), scenario.events.size());
    for (size_t e = 0; e < seen.size(); ++e) {
      const Expected& want = scenario.events[e];
      const Seen& got = seen[e];
      SCOPED_TRACE("event " + std::to_string(e));
      EXPECT_EQ(got.kind, want.kind);
      EXPECT_EQ(got.reason, want.reason);
      EXPECT_EQ(got.cell, want.cell);
      EXPECT_EQ(got.sibType, want.sibType);
      EXPECT_EQ(got.tags, want.tags);
      Bytes carried;
      for (uint64_t tag : want.tags) {
        const Bytes& block = scenario.fed[tag].block;
        carried.insert(carried.end(), block.begin(), block.end());
      }
      EXPECT_EQ(got.blocks, carried);
      if (want.kind != kSibCompleted) continue;

      // The SIB's own segment bits, joined and packed.
      std::string joined;
      for (const std::string& piece : want.pieces) joined += piece;
      EXPECT_EQ(got.sib, BitWriter().Pattern(joined).Bytes());

      const Bytes alone = Alone(want.sibType, want.pieces);
      const BatchText batch = DecodeWithBatch(alone);
      EXPECT_EQ(got.result, batch.result);
      if (batch.result != kDecoded) continue;
      EXPECT_EQ(WithoutTrailer(got.text, carried.size()), WithoutTrailer(batch.text, alone.size()));
      EXPECT_EQ(got.text.substr(got.text.size() - RawTrailerSize(carried.size())),
                sibtest::RawTrailer(carried.data(), carried.size()));
      EXPECT_EQ(std::memcmp(&got.summary, &batch.summary, sizeof(batch.summary)), 0);
    }
  }
}

// A stream that only reassembles gives the same SIBs, bits and frames; it
// decodes only the MIB and the scheduling blocks (what names extension types).
TEST(FeedBlock, ReassemblingOnlyGivesTheSameSibsUndecoded) {
  StreamState* full = CreateStreamState();
  StreamState* bare = CreateStreamState();
  SetStreamDecodesAll(bare, false);
  std::vector<Seen> decoded, reassembled;
  uint64_t tag = 0;
  for (const Scenario& scenario : Scenarios()) {
    for (const Fed& fed : scenario.fed) {
      FeedBlock(full, fed.cell, tag, fed.block.data(), Record, &decoded);
      FeedBlock(bare, fed.cell, tag++, fed.block.data(), Record, &reassembled);
    }
  }
  ASSERT_EQ(decoded.size(), reassembled.size());
  size_t undecoded = 0;
  for (size_t e = 0; e < decoded.size(); ++e) {
    const Seen& a = decoded[e];
    const Seen& b = reassembled[e];
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.sibType, b.sibType);
    EXPECT_EQ(a.tags, b.tags);
    EXPECT_EQ(a.sib, b.sib);
    if (a.kind != kSibCompleted) continue;
    const bool schedule = a.sibType == 0 || a.sibType == 27 || a.sibType == 28;
    if (schedule) {
      EXPECT_EQ(a.result, b.result);
    } else {
      EXPECT_EQ(b.result, kNothingDecoded);
      EXPECT_TRUE(b.text.empty());
      undecoded += a.result == kDecoded;
    }
  }
  EXPECT_GT(undecoded, 0u);
  DestroyStreamState(full);
  DestroyStreamState(bare);
}

void CountReports(const StreamEvent& event, void* context) {
  auto* seen = static_cast<StreamDecodeCounts*>(context);
  if (event.kind != kSibCompleted || event.result != kDecoded) return;
  ASSERT_NE(event.report, nullptr);
  if (!event.report->complete) ++seen->sibsStopped;
  if (event.report->warningCount > 0) ++seen->sibsWarned;
}

TEST(FeedBlock, DecodeCountsAreThoseOfTheEventsReports) {
  StreamState* stream = CreateStreamState();
  StreamDecodeCounts seen = {};
  uint64_t tag = 0;
  for (const Scenario& scenario : Scenarios()) {
    for (const Fed& fed : scenario.fed) {
      FeedBlock(stream, fed.cell, tag++, fed.block.data(), CountReports, &seen);
    }
  }
  StreamDecodeCounts counts;
  GetStreamDecodeCounts(stream, &counts);
  EXPECT_GT(seen.sibsStopped, 0u) << "random SIB bits stop some decodes";
  EXPECT_EQ(counts.sibsStopped, seen.sibsStopped);
  EXPECT_EQ(counts.sibsWarned, seen.sibsWarned);
  DestroyStreamState(stream);
}

TEST(FeedBlock, CountsWhatItDeliversDropsAndDiscards) {
  // The last scenario: one SIB decoded, two chains flushed, the repeated
  // blocks and the stray last segment discarded.
  const Scenario scenario = Scenarios().back();
  StreamState* stream = CreateStreamState();
  int events = 0;
  for (size_t k = 0; k < scenario.fed.size(); ++k) {
    events +=
        FeedBlock(stream, scenario.fed[k].cell, k, scenario.fed[k].block.data(), nullptr, nullptr);
  }
  events += FlushStream(stream, nullptr, nullptr);
  StreamCounts counts;
  GetStreamCounts(stream, &counts);
  DestroyStreamState(stream);
  EXPECT_EQ(events, 3);
  EXPECT_EQ(counts.blocks, scenario.fed.size());
  EXPECT_EQ(counts.sibsCompleted, 1u);
  EXPECT_EQ(counts.sibsDecoded, 1u);
  EXPECT_EQ(counts.chainsDropped, 2u);
  EXPECT_EQ(counts.segmentsDiscarded, 3u);
}

TEST(FeedBlock, OnlyTheSameSegmentAgainIsARepeat) {
  // A chain of SIB5 whose second segment (index 1, 37 bits, after 222: its
  // bits start inside a byte) is followed by a candidate repeat, then by the
  // last segment. Only the very same segment is discarded; anything else at
  // that place breaks the chain off.
  using namespace sibtest;
  const std::string a = Bits(222, 61), c = Bits(37, 62), d = Bits(100, 63);
  auto flipped = [&](size_t at) {
    std::string bits = c;
    bits[at] = bits[at] == '1' ? '0' : '1';
    return bits;
  };
  struct RepeatCase {
    const char* what;
    Bytes again;
    bool discarded;
  };
  const RepeatCase cases[] = {
      {"same block", Block(21, 3, FollowingShort(5, 1, c)), true},
      {"same segment, other payload",
       Block(21, 4, FollowingShort(5, 1, c).Append(FirstShort(6, 2, "1"))), true},
      {"first bit differs", Block(21, 3, FollowingShort(5, 1, flipped(0))), false},
      {"last bit differs", Block(21, 3, FollowingShort(5, 1, flipped(36))), false},
      {"bit 32 differs", Block(21, 3, FollowingShort(5, 1, flipped(32))), false},
      {"one bit shorter", Block(21, 3, FollowingShort(5, 1, c.substr(0, 36))), false},
      {"one zero bit longer", Block(21, 3, FollowingShort(5, 1, c + "0")), false},
      {"other SFN-prime", Block(22, 3, FollowingShort(5, 1, c)), false},
  };
  for (const RepeatCase& rc : cases) {
    SCOPED_TRACE(rc.what);
    StreamState* stream = CreateStreamState();
    std::vector<Seen> seen;
    FeedBlock(stream, 1, 0, Block(20, 1, FirstSegment(5, 3, a)).data(), Record, &seen);
    FeedBlock(stream, 1, 1, Block(21, 3, FollowingShort(5, 1, c)).data(), Record, &seen);
    FeedBlock(stream, 1, 2, rc.again.data(), Record, &seen);
    FeedBlock(stream, 1, 3, Block(23, 3, FollowingShort(5, 2, d)).data(), Record, &seen);
    FlushStream(stream, Record, &seen);
    DestroyStreamState(stream);
    std::vector<Seen> forSib5;
    for (const Seen& event : seen) {
      if (event.sibType == 5) forSib5.push_back(event);
    }
    ASSERT_EQ(forSib5.size(), 1u);
    if (rc.discarded) {
      EXPECT_EQ(forSib5[0].kind, kSibCompleted);
      EXPECT_EQ(forSib5[0].tags, (std::vector<uint64_t>{0, 1, 3}));
      EXPECT_EQ(forSib5[0].sib, BitWriter().Pattern(a + c + d).Bytes());
    } else {
      EXPECT_EQ(forSib5[0].kind, kChainDropped);
      EXPECT_EQ(forSib5[0].reason, kDropOutOfOrder);
    }
  }
}

TEST(FeedBlock, BoundsTheCellsAndTheAgeOfPendingChains) {
  const Bytes first = Block(10, 1, sibtest::FirstSegment(5, 3, Bits(222, 61)));
  const Bytes empty(31, 0);  // no segment
  {  // One cell more than the bound: the one fed least recently gives its chain up.
    StreamState* stream = CreateStreamState();
    std::vector<Seen> seen;
    for (uint64_t cell = 0; cell <= 1024; ++cell) {
      EXPECT_EQ(FeedBlock(stream, cell, cell, first.data(), Record, &seen), cell == 1024 ? 1 : 0);
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].kind, kChainDropped);
    EXPECT_EQ(seen[0].reason, kDropEvicted);
    EXPECT_EQ(seen[0].cell, 0u);
    EXPECT_EQ(seen[0].tags, std::vector<uint64_t>{0});
    EXPECT_EQ(FlushStream(stream, nullptr, nullptr), 1024);
    DestroyStreamState(stream);
  }
  {  // Feeding a cell again makes it the most recent: the next oldest goes, then the next.
    StreamState* stream = CreateStreamState();
    std::vector<Seen> seen;
    for (uint64_t cell = 0; cell < 1024; ++cell)
      FeedBlock(stream, cell, cell, first.data(), Record, &seen);
    FeedBlock(stream, 0, 2000, Block(10, 1, sibtest::FirstSegment(7, 3, Bits(222, 61))).data(),
              Record, &seen);
    for (uint64_t cell = 5000; cell < 5003; ++cell) {
      FeedBlock(stream, cell, cell, first.data(), Record, &seen);
    }
    ASSERT_EQ(seen.size(), 3u);
    for (size_t k = 0; k < seen.size(); ++k) {
      EXPECT_EQ(seen[k].reason, kDropEvicted);
      EXPECT_EQ(seen[k].cell, k + 1) << "evicted in the order last fed, the cell fed again kept";
    }
    EXPECT_EQ(FlushStream(stream, nullptr, nullptr), 1024 + 1);  // cell 0 holds two chains
    DestroyStreamState(stream);
  }
  {  // A chain whose cell falls silent while another cell goes on.
    StreamState* stream = CreateStreamState();
    std::vector<Seen> seen;
    FeedBlock(stream, 1, 0, first.data(), Record, &seen);
    uint64_t fed = 1;
    for (; fed <= 65536; ++fed) FeedBlock(stream, 2, fed, empty.data(), Record, &seen);
    EXPECT_TRUE(seen.empty()) << "given up before its age";
    for (; fed <= 65536 + 4096 && seen.empty(); ++fed) {
      FeedBlock(stream, 2, fed, empty.data(), Record, &seen);
    }
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].reason, kDropEvicted);
    EXPECT_EQ(seen[0].cell, 1u);
    EXPECT_EQ(FlushStream(stream, nullptr, nullptr), 0);
    StreamCounts counts;
    GetStreamCounts(stream, &counts);
    EXPECT_EQ(counts.chainsDropped, 1u);
    DestroyStreamState(stream);
  }
}

void RecordAndThrow(const StreamEvent& event, void* context) {
  Record(event, context);
  throw std::runtime_error("host callback failed");
}

TEST(FeedBlock, ACallbackThatThrowsLeavesTheStreamConsistent) {
  // The first scenario's last block completes SIB11, SIB3 and SIB7 at once.
  const Scenario scenario = Scenarios().front();
  StreamState* stream = CreateStreamState();
  std::vector<Seen> seen;
  for (size_t k = 0; k + 1 < scenario.fed.size(); ++k) {
    FeedBlock(stream, 0, k, scenario.fed[k].block.data(), Record, &seen);
  }
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_THROW(FeedBlock(stream, 0, 4, scenario.fed[4].block.data(), RecordAndThrow, &seen),
               std::runtime_error);
  ASSERT_EQ(seen.size(), 4u) << "every event of the block is delivered";
  EXPECT_EQ(seen[3].sibType, 7u);
  EXPECT_EQ(FlushStream(stream, Record, &seen), 0) << "no completed chain left pending";

  // A flush whose callback throws still empties the stream.
  FeedBlock(stream, 0, 5, scenario.fed[0].block.data(), Record, &seen);
  FeedBlock(stream, 1, 6, scenario.fed[0].block.data(), Record, &seen);
  EXPECT_THROW(FlushStream(stream, RecordAndThrow, &seen), std::runtime_error);
  EXPECT_EQ(seen.size(), 6u);
  EXPECT_EQ(FlushStream(stream, Record, &seen), 0);
  StreamCounts counts;
  GetStreamCounts(stream, &counts);
  EXPECT_EQ(counts.sibsCompleted, 4u);
  EXPECT_EQ(counts.chainsDropped, 2u);
  DestroyStreamState(stream);
}

TEST(FeedBlock, RefusesMissingStateOrBlock) {
  StreamState* stream = CreateStreamState();
  const Bytes block(31, 0);
  EXPECT_EQ(FeedBlock(nullptr, 0, 0, block.data(), nullptr, nullptr), -1);
  EXPECT_EQ(FeedBlock(stream, 0, 0, nullptr, nullptr, nullptr), -1);
  EXPECT_EQ(FlushStream(nullptr, nullptr, nullptr), -1);
  DestroyStreamState(stream);
}

TEST(DecodeBatch, SibWhoseLastBlockStartsTheNextIsDecoded) {
  // The batch of a SIB's blocks when its last block also carries the next
  // SIB's first segment or complete SIBs: the SIB is decoded, as the stream
  // decodes it when the foreign segments leave its text alone.
  const Scenario scenario = Scenarios().front();
  const std::vector<std::vector<size_t>> batches = {{0, 1, 2}, {2, 3, 4}};
  const uint32_t types[] = {5, 11};
  for (size_t i = 0; i < batches.size(); ++i) {
    Bytes data;
    for (size_t k : batches[i]) {
      data.insert(data.end(), scenario.fed[k].block.begin(), scenario.fed[k].block.end());
    }
    const BatchText batch = DecodeWithBatch(data);
    ASSERT_EQ(batch.result, kDecoded) << types[i];
    EXPECT_EQ(batch.text.rfind("SysInfoType" + std::to_string(types[i]) + " ::=", 0), 0u);
  }
}

}  // namespace
}  // namespace sibdecode

namespace sibdecode {
namespace {

ExtSibSchedule Scheduled(uint32_t sibType, uint32_t repetition, uint32_t position,
                         std::vector<uint8_t> offsets = {}) {
  ExtSibSchedule entry = {sibType, repetition, position, 0, {}};
  for (uint8_t offset : offsets) entry.offsets[entry.offsetCount++] = offset;
  return entry;
}

constexpr uint32_t kSib11bis = kSibTypeExtensionBase;  // SIB-TypeExt index 0
constexpr uint32_t kSib19 = kSibTypeExtension2Base;    // SIB-TypeExt2 index 0

// An extensionType segment gets its type from where it comes in the SFN
// cycle (the SFN is twice the SFN-prime) and its index in the chain.
TEST(NameExtensionSegment, ByTheCellsScheduleAndTheSegmentsPlace) {
  struct Row {
    const char* what;
    std::vector<ExtSibSchedule> mib, sb1;
    uint32_t index, sfnPrime, expected;
  };
  const std::vector<Row> rows = {
      {"nothing scheduled", {}, {}, 0, 5, kSibTypeExtension},
      {"one type: named wherever it comes", {Scheduled(kSib19, 64, 10)}, {}, 3, 999, kSib19},
      {"one type twice (MIB and SB1)",
       {Scheduled(kSib19, 64, 10)},
       {Scheduled(kSib19, 128, 6)},
       0,
       1,
       kSib19},
      {"two types: the first segment's position",
       {Scheduled(kSib11bis, 64, 10), Scheduled(kSib19, 64, 40)},
       {},
       0,
       20,
       kSib19},
      {"two types: the other one",
       {Scheduled(kSib11bis, 64, 10), Scheduled(kSib19, 64, 40)},
       {},
       0,
       37,
       kSib11bis},
      {"two types, the SFN cycle wraps",
       {Scheduled(kSib11bis, 4096, 4094), Scheduled(kSib19, 4096, 0)},
       {},
       0,
       2047,
       kSib11bis},
      {"subsequent segments 2 frames apart",
       {Scheduled(kSib11bis, 64, 10), Scheduled(kSib19, 64, 40)},
       {},
       2,
       22,
       kSib19},
      {"subsequent segments at sib-PosOffsetInfo's offsets",
       {Scheduled(kSib11bis, 128, 10, {8, 16}), Scheduled(kSib19, 128, 34)},
       {},
       2,
       17,
       kSib11bis},
      {"the offsets of the scheduling block's entry",
       {Scheduled(kSib11bis, 128, 10)},
       {Scheduled(kSib19, 128, 40, {4})},
       1,
       22,
       kSib19},
      {"two types, neither at this place",
       {Scheduled(kSib11bis, 64, 10), Scheduled(kSib19, 64, 40)},
       {},
       0,
       6,
       kSibTypeExtension},
      {"two types at the same place",
       {Scheduled(kSib11bis, 64, 10), Scheduled(kSib19, 32, 10)},
       {},
       0,
       5,
       kSibTypeExtension},
  };
  for (const Row& row : rows) {
    CellSchedule schedule;
    schedule.extension[0] = row.mib;
    schedule.extension[1] = row.sb1;
    EXPECT_EQ(NameExtensionSegment(schedule, row.index, row.sfnPrime), row.expected) << row.what;
  }
}

}  // namespace
}  // namespace sibdecode
