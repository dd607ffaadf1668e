// BCH block walk: SFN-prime, every payload alternative, segment capture and
// the failures that drop the rest of a block.
#include "bch/block_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bch_blocks.h"
#include "support/segments.h"

namespace sibdecode {
namespace {

using sibtest::BitWriter;
using sibtest::Block;
using sibtest::DataBits;

struct Expected {
  uint32_t payloadKind;
  int32_t segCount;
  uint32_t segmentIndex;
  uint32_t sibType;
  std::string bits;  // '0'/'1' digits
};

using sibtest::PaddingIsZero;
using sibtest::SegmentDigits;

SegmentQueue Walk(const std::vector<uint8_t>& data, size_t len) {
  SegmentQueue queue;
  tagSibSegment current;
  WalkBlocks(data.data(), len, current, queue);
  return queue;
}

SegmentQueue Walk(const std::vector<uint8_t>& data) { return Walk(data, data.size()); }

void ExpectSegments(const SegmentQueue& queue, uint32_t sfnPrime,
                    const std::vector<Expected>& expected, const std::string& what) {
  ASSERT_EQ(queue.size(), expected.size()) << what;
  for (size_t i = 0; i < expected.size(); ++i) {
    const tagSibSegment& got = queue[i];
    const Expected& want = expected[i];
    EXPECT_EQ(got.sfnPrime, sfnPrime) << what << " #" << i;
    EXPECT_EQ(got.payloadKind, want.payloadKind) << what << " #" << i;
    EXPECT_EQ(got.segCount, want.segCount) << what << " #" << i;
    EXPECT_EQ(got.segmentIndex, want.segmentIndex) << what << " #" << i;
    EXPECT_EQ(got.sibType, want.sibType) << what << " #" << i;
    EXPECT_EQ(SegmentDigits(got), want.bits) << what << " #" << i;
    EXPECT_TRUE(PaddingIsZero(got)) << what << " #" << i;
  }
}

struct AlternativeCase {
  const char* what;
  uint32_t alternative;
  BitWriter contents;
  std::vector<Expected> segments;
};

std::vector<AlternativeCase> AlternativeCases() {
  using namespace sibtest;
  const std::string d222 = DataBits(222, 1), d226 = DataBits(226, 2);
  const std::string a = DataBits(20, 3), b = DataBits(9, 4), c = DataBits(1, 5),
                    e = DataBits(30, 6);
  return {
      {"noSegment", 0, BitWriter(), {}},
      {"firstSegment", 1, FirstSegment(5, 3, d222), {{2, 3, 0, 5, d222}}},
      {"subsequentSegment", 2, FollowingSegment(5, 1, d222), {{3, 0, 1, 5, d222}}},
      {"lastSegmentShort", 3, FollowingShort(5, 2, a), {{4, 0, 2, 5, a}}},
      {"lastAndFirst",
       4,
       BitWriter().Append(FollowingShort(5, 2, a)).Append(FirstShort(6, 16, b)),
       {{5, 0, 2, 5, a}, {5, 16, 0, 6, b}}},
      {"lastAndComplete",
       5,
       BitWriter().Append(FollowingShort(11, 15, a)).Append(CompleteList({{3, b}, {4, c}})),
       {{6, 0, 15, 11, a}, {6, 1, 0, 3, b}, {6, 1, 0, 4, c}}},
      {"lastAndCompleteAndFirst",
       6,
       BitWriter()
           .Append(FollowingShort(5, 1, c))
           .Append(CompleteList({{7, a}}))
           .Append(FirstShort(12, 2, b)),
       {{7, 0, 1, 5, c}, {7, 1, 0, 7, a}, {7, 2, 0, 12, b}}},
      {"completeSIB-List of three",
       7,
       CompleteList({{3, a}, {4, b}, {13, e}}),
       {{8, 1, 0, 3, a}, {8, 1, 0, 4, b}, {8, 1, 0, 13, e}}},
      {"completeAndFirst",
       8,
       BitWriter().Append(CompleteList({{2, e}})).Append(FirstShort(1, 4, a)),
       {{9, 1, 0, 2, e}, {9, 4, 0, 1, a}}},
      {"completeSIB", 9, Complete(31, d226), {{10, 1, 0, 31, d226}}},
      {"lastSegment", 10, FollowingSegment(0, 15, d222), {{11, 0, 15, 0, d222}}},
      {"spare5", 11, BitWriter().Append(Complete(3, d226)), {}},
      {"spare1", 15, BitWriter().Append(Complete(3, d226)), {}},
  };
}

TEST(BlockWalk, EveryPayloadAlternative) {
  for (const AlternativeCase& c : AlternativeCases()) {
    ASSERT_LE(c.contents.size(), 231u) << c.what << " does not fit one block";
    SegmentQueue queue = Walk(Block(1234, c.alternative, c.contents));
    ExpectSegments(queue, 1234, c.segments, c.what);
  }
}

TEST(BlockWalk, ExampleCompleteSib3Block) {
  std::vector<uint8_t> block = BitWriter()
                                   .Pattern("00000000101 1001 00011")
                                   .Append(BitWriter().Pattern(DataBits(226, 7)))
                                   .PadTo(31);
  ASSERT_EQ(block.size(), 31u);
  ExpectSegments(Walk(block), 5, {{10, 1, 0, 3, DataBits(226, 7)}}, "example");
}

TEST(BlockWalk, AllZeroBlockQueuesNothing) {
  EXPECT_TRUE(Walk(std::vector<uint8_t>(31, 0)).empty());
}

TEST(BlockWalk, ShortestVariableDataIsOneBit) {
  // A FirstSegmentShort whose length field holds 0 carries one bit.
  BitWriter contents = BitWriter()
                           .Append(sibtest::CompleteList({{2, "1"}}))
                           .Bits(6, 5)
                           .Bits(0, 4)
                           .Bits(0, 8)
                           .Pattern("1");
  ExpectSegments(Walk(Block(7, 8, contents)), 7, {{9, 1, 0, 2, "1"}, {9, 1, 0, 6, "1"}},
                 "one-bit data");
}

struct FailureCase {
  const char* what;
  uint32_t alternative;
  BitWriter contents;
  size_t queuedBeforeFailure;
};

TEST(BlockWalk, FailingPartDropsOnlyTheRestOfItsBlock) {
  using namespace sibtest;
  const std::string a = DataBits(10, 8);
  // A segment index field of 15 (index 16) is refused.
  BitWriter badIndex = BitWriter().Bits(5, 5).Bits(15, 4).Pattern(DataBits(222, 9));
  // A variable data length field of 214 (215 bits) is refused.
  BitWriter tooLong = BitWriter().Bits(5, 5).Bits(214, 8);
  const std::vector<FailureCase> cases = {
      {"subsequent index 16", 2, badIndex, 0},
      {"last index 16", 10, badIndex, 0},
      {"last-short index 16 before a first", 4,
       BitWriter()
           .Bits(5, 5)
           .Bits(15, 4)
           .Bits(9, 8)
           .Pattern(DataBits(10, 1))
           .Append(FirstShort(6, 2, a)),
       0},
      {"first of lastAndFirst too long", 4,
       BitWriter().Append(FollowingShort(5, 1, a)).Bits(6, 5).Bits(1, 4).Bits(214, 8), 1},
      {"second complete element too long", 7,
       BitWriter().Bits(2, 4).Bits(3, 5).Bits(9, 8).Pattern(a).Append(tooLong), 1},
      {"list element runs past the block", 7,
       BitWriter().Bits(1, 4).Append(CompleteShort(3, a)).Bits(4, 5).Bits(213, 8), 1},
  };
  for (const FailureCase& c : cases) {
    // A valid block follows each failing one: the walk goes on.
    std::vector<uint8_t> data = Block(100, c.alternative, c.contents);
    std::vector<uint8_t> next = Block(101, 9, Complete(4, DataBits(226, 3)));
    data.insert(data.end(), next.begin(), next.end());
    SegmentQueue queue = Walk(data);
    ASSERT_EQ(queue.size(), c.queuedBeforeFailure + 1) << c.what;
    EXPECT_EQ(queue.back().sfnPrime, 101u) << c.what;
    EXPECT_EQ(queue.back().sibType, 4u) << c.what;
    EXPECT_EQ(queue.back().bitCount, 226u) << c.what;
    EXPECT_EQ(SegmentDigits(queue.back()), DataBits(226, 3)) << c.what;
  }
}

TEST(BlockWalk, OnlyWholeBlocksAreDecoded) {
  std::vector<uint8_t> data = Block(1, 9, sibtest::Complete(3, DataBits(226, 1)));
  std::vector<uint8_t> second = Block(2, 9, sibtest::Complete(4, DataBits(226, 2)));
  data.insert(data.end(), second.begin(), second.end());
  struct Case {
    size_t len;
    size_t segments;
  };
  for (Case c : {Case{0, 0}, Case{30, 0}, Case{31, 1}, Case{61, 1}, Case{62, 2}}) {
    // Copy exactly len bytes so that a read past them is caught by the sanitizer build.
    std::vector<uint8_t> exact(data.begin(), data.begin() + static_cast<long>(c.len));
    EXPECT_EQ(Walk(exact, c.len).size(), c.segments) << c.len;
  }
}

TEST(BlockWalk, ManyBlocksQueueEverySegmentInOrder) {
  // More segments than a new state has room for; 226-bit and 1-bit data
  // alternate, so each segment's padding follows a longer one's bits.
  using namespace sibtest;
  struct Want {
    uint32_t sfnPrime;
    uint32_t sibType;
    std::string digits;
  };
  std::vector<uint8_t> data;
  std::vector<Want> wanted;
  for (uint32_t b = 0; b < 60; ++b) {
    const uint32_t sfn = (2040 + b) % 2048;  // across the wrap: the walk keeps block order
    std::vector<uint8_t> block;
    if (b % 2 == 0) {
      const std::string d = DataBits(226, b);
      block = Block(sfn, 9, Complete(b % 32, d));
      wanted.push_back({sfn, b % 32, d});
    } else {
      const std::string one = b % 4 == 1 ? "1" : "0", e = DataBits(b, b);
      block = Block(sfn, 7, CompleteList({{1, one}, {2, e}, {3, one}}));
      wanted.push_back({sfn, 1, one});
      wanted.push_back({sfn, 2, e});
      wanted.push_back({sfn, 3, one});
    }
    data.insert(data.end(), block.begin(), block.end());
  }
  SegmentQueue queue = Walk(data);
  ASSERT_EQ(queue.size(), wanted.size());
  for (size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_EQ(queue[i].sfnPrime, wanted[i].sfnPrime) << i;
    EXPECT_EQ(queue[i].sibType, wanted[i].sibType) << i;
    EXPECT_EQ(SegmentDigits(queue[i]), wanted[i].digits) << i;
    EXPECT_TRUE(PaddingIsZero(queue[i])) << i;
  }
}

}  // namespace
}  // namespace sibdecode
