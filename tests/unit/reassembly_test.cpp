// Reassembly: ordering, start search, the completeness test, joining and packing.
#include "bch/reassembly.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bch_blocks.h"

namespace sibdecode {
namespace {

using sibtest::DataBits;

// Bits as the block walk holds them: one char of value 0 or 1 per bit.
std::string Values(const std::string& digits) {
  std::string values;
  for (char digit : digits) values.push_back(static_cast<char>(digit - '0'));
  return values;
}

tagSibSegment First(uint32_t sfn, uint32_t sib, int32_t segCount, const std::string& digits) {
  return tagSibSegment{sfn, 2, segCount, 0, sib, Values(digits)};
}
tagSibSegment Following(uint32_t sfn, uint32_t sib, uint32_t index, const std::string& digits) {
  return tagSibSegment{sfn, 3, 0, index, sib, Values(digits)};
}
tagSibSegment Complete(uint32_t sfn, uint32_t sib, const std::string& digits) {
  return tagSibSegment{sfn, 10, 1, 0, sib, Values(digits)};
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

TEST(PackBits, MostSignificantBitFirstWithZeroPadding) {
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
  for (const PackCase& c : cases) EXPECT_EQ(PackBits(Values(c.digits)), c.bytes) << c.digits;

  // 226 bits of one completeSIB: 29 bytes, two bits in the last byte's top.
  std::vector<uint8_t> packed = PackBits(std::string(226, 1));
  ASSERT_EQ(packed.size(), 29u);
  EXPECT_EQ(packed[27], 0xFF);
  EXPECT_EQ(packed[28], 0xC0);

  // Every byte pattern of whole bytes, and any non-zero character counts as a one.
  for (int value = 0; value < 256; ++value) {
    std::string bits;
    for (int bit = 7; bit >= 0; --bit)
      bits.push_back(static_cast<char>((value >> bit) & 1 ? 0x80 + bit : 0));
    bits += bits;
    EXPECT_EQ(PackBits(bits),
              std::vector<uint8_t>({static_cast<uint8_t>(value), static_cast<uint8_t>(value)}))
        << value;
  }
}

}  // namespace
}  // namespace sibdecode
