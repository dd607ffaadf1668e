// Reassembly: ordering, start search, the completeness test, joining and packing.
#include "bch/reassembly.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/bch_blocks.h"
#include "support/segments.h"

namespace sibdecode {
namespace {

using sibtest::DataBits;
using sibtest::MakeSegment;

tagSibSegment First(uint32_t sfn, uint32_t sib, int32_t segCount, const std::string& digits) {
  return MakeSegment(sfn, 2, segCount, 0, sib, digits);
}
tagSibSegment Following(uint32_t sfn, uint32_t sib, uint32_t index, const std::string& digits) {
  return MakeSegment(sfn, 3, 0, index, sib, digits);
}
tagSibSegment Complete(uint32_t sfn, uint32_t sib, const std::string& digits) {
  return MakeSegment(sfn, 10, 1, 0, sib, digits);
}

std::vector<uint8_t> Packed(const std::string& digits) {
  return sibtest::BitWriter().Pattern(digits).Bytes();
}

const std::string A = DataBits(222, 1), B = DataBits(222, 2), C = DataBits(100, 3),
                  D = DataBits(50, 4);

struct Case {
  const char* what;
  std::vector<tagSibSegment> queue;
  bool reassembled;
  uint32_t sibType;
  std::string joined;  // digits
};

std::vector<Case> Cases() {
  return {
      {"empty queue", {}, false, 0, ""},
      {"three segments in order",
       {First(1, 5, 3, A), Following(2, 5, 1, B), Following(3, 5, 2, C)},
       true,
       5,
       A + B + C},
      {"middle segment missing", {First(1, 5, 3, A), Following(3, 5, 2, C)}, true, 5, A + C},
      {"last segment missing: same type passes",
       {First(1, 5, 3, A), Following(2, 5, 1, B)},
       true,
       5,
       A + B},
      {"lone first segment", {First(1, 5, 3, A)}, true, 5, A},
      {"complete SIB3 then complete SIB4", {Complete(4, 3, C), Complete(4, 4, D)}, true, 3, C + D},
      {"complete SIB3 then last segment of SIB5",
       {Complete(4, 3, C), Following(4, 5, 2, D)},
       false,
       0,
       ""},
      {"only subsequent and last segments",
       {Following(1, 5, 1, A), Following(2, 5, 2, B)},
       false,
       0,
       ""},
      {"blocks out of order",
       {Following(12, 5, 2, C), First(10, 5, 3, A), Following(11, 5, 1, B)},
       true,
       5,
       A + B + C},
      {"SFN-prime wraps 2047 -> 0: the tail sorts first and is skipped",
       {First(2047, 5, 2, A), Following(0, 5, 1, B)},
       true,
       5,
       A},
      {"lastAndFirst then the new SIB's segments",
       {Following(4, 5, 2, D), First(4, 6, 3, C), Following(5, 6, 1, A), Following(6, 6, 2, B)},
       true,
       6,
       C + A + B},
      {"foreign segment between first and last is joined too",
       {First(1, 5, 3, A), Complete(2, 7, D), Following(3, 5, 2, C)},
       true,
       5,
       A + D + C},
      // A block that ends one SIB and starts the next: F's own last segment is
      // queued, but the back of the queue belongs to the next SIB.
      {"lastAndFirst at the end: own last segment queued before the back",
       {First(1, 5, 2, A), Following(2, 5, 1, C), First(2, 6, 3, D)},
       true,
       5,
       A + C + D},
      {"lastAndComplete at the end",
       {First(1, 5, 3, A), Following(2, 5, 1, B), Following(3, 5, 2, C), Complete(3, 7, D)},
       true,
       5,
       A + B + C + D},
      {"own last segment missing, next SIB at the back",
       {First(1, 5, 3, A), Following(2, 5, 1, B), First(2, 6, 2, D)},
       false,
       0,
       ""},
      {"a last segment of another type with F's last index does not count",
       {First(1, 5, 2, A), Following(2, 6, 1, D), Complete(2, 7, C)},
       false,
       0,
       ""},
      {"own last index queued before F is skipped, not counted",
       {Following(1, 5, 2, C), First(2, 5, 3, A), First(3, 6, 2, D)},
       false,
       0,
       ""},
      {"complete SIB with own-type last segment later still needs the old rules",
       {Complete(1, 3, C), Following(2, 3, 1, D), Following(2, 9, 2, B)},
       false,
       0,
       ""},
      {"last of another type completing the count passes",
       {First(1, 5, 2, A), Following(2, 9, 1, D)},
       true,
       5,
       A + D},
  };
}

std::string Digits(const std::vector<uint8_t>& bytes, size_t bitCount) {
  std::string digits;
  for (size_t i = 0; i < bitCount; ++i)
    digits.push_back((bytes[i / 8] >> (7 - i % 8)) & 1 ? '1' : '0');
  return digits;
}

TEST(Reassemble, CompletenessAndJoinCases) {
  for (const Case& c : Cases()) {
    SegmentQueue queue(c.queue.begin(), c.queue.end());
    uint32_t sibType = 99;
    std::vector<uint8_t> packed;
    EXPECT_EQ(Reassemble(queue, &sibType, &packed), c.reassembled) << c.what;
    EXPECT_TRUE(queue.empty()) << c.what;
    if (!c.reassembled) continue;
    EXPECT_EQ(sibType, c.sibType) << c.what;
    ASSERT_EQ(packed.size(), (c.joined.size() + 7) / 8) << c.what;
    EXPECT_EQ(Digits(packed, c.joined.size()), c.joined) << c.what;
  }
}

TEST(Reassemble, SegmentsOfOneBlockKeepTheirArrivalOrder) {
  // Many complete SIBs with equal SFN-prime: an unstable sort would mix them.
  SegmentQueue queue;
  std::string expected;
  for (uint32_t i = 0; i < 64; ++i) {
    std::string digits = DataBits(8, i + 100);
    queue.push_back(Complete(7, i % 32, digits));
    expected += digits;
  }
  queue.push_back(Following(3, 9, 4, "1"));  // sorts first and is skipped
  uint32_t sibType = 0;
  std::vector<uint8_t> packed;
  ASSERT_TRUE(Reassemble(queue, &sibType, &packed));
  EXPECT_EQ(sibType, 0u);
  EXPECT_EQ(Digits(packed, expected.size()), expected);
}

TEST(AppendBits, MostSignificantBitFirstWithZeroPadding) {
  struct PackCase {
    std::string digits;
    std::vector<uint8_t> bytes;
  };
  const PackCase cases[] = {
      {"", {}},
      {"101", {0xA0}},
      {"11111111", {0xFF}},
      {"111111111", {0xFF, 0x80}},
      {"0000000100000010", {0x01, 0x02}},
  };
  for (const PackCase& c : cases) {
    const tagSibSegment segment = Complete(0, 0, c.digits);
    std::vector<uint8_t> bytes;
    EXPECT_EQ(AppendBits(bytes, 0, segment.data, segment.bitCount), c.digits.size()) << c.digits;
    EXPECT_EQ(bytes, c.bytes) << c.digits;
  }

  // 226 bits of one completeSIB: 29 bytes, two bits in the last byte's top.
  const tagSibSegment full = Complete(0, 0, std::string(226, '1'));
  std::vector<uint8_t> packed;
  AppendBits(packed, 0, full.data, full.bitCount);
  ASSERT_EQ(packed.size(), 29u);
  EXPECT_EQ(packed[27], 0xFF);
  EXPECT_EQ(packed[28], 0xC0);

  // Every byte pattern of whole bytes, after every count of bits before it.
  for (int value = 0; value < 256; ++value) {
    std::string digits;
    for (int bit = 7; bit >= 0; --bit) digits.push_back((value >> bit) & 1 ? '1' : '0');
    digits += digits;
    const tagSibSegment segment = Complete(0, 0, digits);
    for (size_t before = 0; before < 8; ++before) {
      const std::string prefix = DataBits(before, static_cast<uint32_t>(value));
      std::vector<uint8_t> bytes = Packed(prefix);
      AppendBits(bytes, before, segment.data, segment.bitCount);
      EXPECT_EQ(bytes, Packed(prefix + digits)) << value << " after " << before;
    }
  }
}

TEST(AppendBits, JoinsAtEveryBitOffset) {
  // Every offset within a byte, segment lengths around byte boundaries and the
  // longest and shortest data; appended one after another to one string.
  const size_t lengths[] = {1, 2, 7, 8, 9, 15, 16, 17, 30, 214, 222, 226};
  for (size_t before = 0; before < 24; ++before) {
    std::string joined = DataBits(before, 77);
    std::vector<uint8_t> bytes = Packed(joined);
    size_t total = joined.size();
    for (size_t length : lengths) {
      const std::string digits = DataBits(length, static_cast<uint32_t>(before * 31 + length));
      const tagSibSegment segment = Complete(0, 0, digits);
      total = AppendBits(bytes, total, segment.data, segment.bitCount);
      joined += digits;
      ASSERT_EQ(total, joined.size());
      ASSERT_EQ(bytes, Packed(joined)) << before << " bits, then " << length;
    }
  }
}

TEST(PutBits, WritesOnlyTheBytesThatHoldTheBits) {
  // Bytes past the last one holding bits stay untouched, whatever the offset.
  for (size_t position = 0; position < 16; ++position) {
    for (uint32_t length : {1u, 7u, 8u, 9u, 16u, 225u, 226u}) {
      const std::string prefix = DataBits(position, 5);
      const std::string digits(length, '1');
      const tagSibSegment segment = Complete(0, 0, digits);
      const size_t needed = (position + length + 7) / 8;
      std::vector<uint8_t> out = Packed(prefix);
      out.resize(needed, 0);
      out.resize(needed + 8, 0xEE);  // beyond what the bits need
      PutBits(out.data(), position, segment.data, segment.bitCount);
      std::vector<uint8_t> expected = Packed(prefix + digits);
      expected.resize(needed + 8, 0xEE);
      EXPECT_EQ(out, expected) << position << " + " << length;
    }
  }
}

TEST(Reassemble, JoinsSegmentsThatEndInsideAByte) {
  // Lengths that leave each join at another offset within a byte, the
  // shortest (1 bit) and longest (226 bits) data among them.
  const std::vector<size_t> lengths = {1, 226, 3, 214, 1, 1, 9, 222, 17, 5, 1, 226};
  SegmentQueue queue;
  std::string expected;
  for (size_t i = 0; i < lengths.size(); ++i) {
    const std::string digits = DataBits(lengths[i], static_cast<uint32_t>(i + 40));
    const uint32_t sfn = static_cast<uint32_t>(i);
    queue.push_back(i == 0 ? First(sfn, 7, 12, digits)
                           : Following(sfn, 7, static_cast<uint32_t>(i), digits));
    expected += digits;
  }
  uint32_t sibType = 0;
  std::vector<uint8_t> packed(100, 0xEE);  // a longer SIB's bytes from the call before
  ASSERT_TRUE(Reassemble(queue, &sibType, &packed));
  EXPECT_EQ(sibType, 7u);
  EXPECT_EQ(packed, Packed(expected));
}

TEST(Reassemble, OutOfOrderBlocksSortWithoutMixingTheirSegments) {
  // Blocks of 1 to 4 complete SIBs each, fed in a scrambled block order; the
  // queue is joined in SFN-prime order, each block's segments in arrival order.
  // Short and long queues (the sort changes method with the length).
  for (uint32_t blockCount : {2u, 5u, 16u, 17u, 40u, 200u}) {
    std::vector<std::vector<tagSibSegment>> blocks(blockCount);
    std::string expected;
    for (uint32_t b = 0; b < blockCount; ++b) {  // in SFN-prime order
      for (uint32_t k = 0; k <= b % 4; ++k) {
        const std::string digits = DataBits(1 + (b * 37 + k * 11) % 226, b * 4 + k);
        blocks[b].push_back(Complete(100 + 2 * b, 3, digits));
        expected += digits;
      }
    }
    // Reversed, with two blocks put back in place.
    std::vector<uint32_t> order(blockCount);
    for (uint32_t i = 0; i < blockCount; ++i) order[i] = blockCount - 1 - i;
    if (blockCount > 4) std::swap(order[1], order[blockCount - 2]);
    SegmentQueue queue;
    for (uint32_t b : order) queue.insert(queue.end(), blocks[b].begin(), blocks[b].end());
    uint32_t sibType = 0;
    std::vector<uint8_t> packed;
    ASSERT_TRUE(Reassemble(queue, &sibType, &packed)) << blockCount;
    EXPECT_TRUE(queue.empty());
    EXPECT_EQ(packed, Packed(expected)) << blockCount << " blocks";
  }
}

}  // namespace
}  // namespace sibdecode
