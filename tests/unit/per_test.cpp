// Bit reader and PER primitives: widths, store-then-check, lengths, bit and
// octet strings, end of data, and the list helpers.
#include "per/per.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>
#include <vector>

#include "support/bit_writer.h"

namespace sibdecode {
namespace {

using sibtest::BitWriter;

struct Cursor {
  explicit Cursor(std::vector<uint8_t> data) : bytes(std::move(data)) {
    InitPerContext(&ctx, bytes.data(), static_cast<uint32_t>(bytes.size()));
  }
  explicit Cursor(const BitWriter& writer) : Cursor(writer.Bytes()) {}
  std::vector<uint8_t> bytes;
  PerContext ctx;
};

TEST(ReadWholeNumber, TakesTheSmallestWidthThatHoldsTheRange) {
  struct Case {
    uint64_t range;
    uint64_t bits;
  };
  const Case cases[] = {{2, 1},
                        {3, 2},
                        {4, 2},
                        {5, 3},
                        {8, 3},
                        {9, 4},
                        {16, 4},
                        {17, 5},
                        {32, 5},
                        {33, 6},
                        {64, 6},
                        {65, 7},
                        {128, 7},
                        {129, 8},
                        {256, 8},
                        {257, 9},
                        {512, 9},
                        {513, 10},
                        {2048, 11},
                        {4096, 12},
                        {65536, 16},
                        {65537, 17},
                        {uint64_t{1} << 32, 32}};
  for (const Case& c : cases) {
    Cursor cursor(std::vector<uint8_t>(8, 0xFF));
    uint32_t value = 0;
    ASSERT_EQ(ReadWholeNumber(&cursor.ctx, c.range, &value), StatusOk) << c.range;
    EXPECT_EQ(BitPosition(&cursor.ctx), c.bits) << "range " << c.range;
    // All ones: the value is 2^w - 1, not clipped to the range.
    EXPECT_EQ(uint64_t{value}, (uint64_t{1} << c.bits) - 1) << "range " << c.range;
  }
}

TEST(ReadWholeNumber, RefusesDegenerateRangesWithoutConsumingBits) {
  for (uint64_t range : {uint64_t{0}, uint64_t{1}, (uint64_t{1} << 32) + 1}) {
    Cursor cursor({0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    uint32_t value = 77;
    EXPECT_EQ(ReadWholeNumber(&cursor.ctx, range, &value), StatusOutOfRange) << range;
    EXPECT_EQ(BitPosition(&cursor.ctx), 0u);
    EXPECT_EQ(value, 77u);
  }
}

TEST(ReadBit, ReadsMostSignificantBitFirstAndStopsAtTheEnd) {
  Cursor cursor({0xA0});
  const uint8_t expected[8] = {1, 0, 1, 0, 0, 0, 0, 0};
  for (uint8_t want : expected) {
    uint8_t bit = 9;
    ASSERT_EQ(ReadBit(&cursor.ctx, &bit), StatusOk);
    EXPECT_EQ(bit, want);
  }
  // The last bit of the last byte was read; the next read of any kind fails.
  EXPECT_EQ(BitPosition(&cursor.ctx), 8u);
  uint8_t bit = 0;
  uint32_t value = 0;
  EXPECT_EQ(ReadBit(&cursor.ctx, &bit), StatusEndOfData);
  EXPECT_EQ(ReadWholeNumber(&cursor.ctx, 2, &value), StatusEndOfData);
}

TEST(ReadBit, EmptyBufferIsEndOfData) {
  PerContext ctx;
  InitPerContext(&ctx, nullptr, 0);
  uint8_t bit = 0;
  EXPECT_EQ(ReadBit(&ctx, &bit), StatusEndOfData);
}

TEST(ReadWholeNumber, AdvancesThePositionByTheWidth) {
  Cursor cursor({0xA0, 0x5F});
  uint32_t value = 0;
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 16, &value), StatusOk);
  EXPECT_EQ(value, 10u);
  EXPECT_EQ(BitPosition(&cursor.ctx), 4u);
  // Ending on a byte boundary.
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 16, &value), StatusOk);
  EXPECT_EQ(BitPosition(&cursor.ctx), 8u);
  // Crossing a byte: 0101 1111 read as 3 bits then 5.
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 8, &value), StatusOk);
  EXPECT_EQ(value, 2u);
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 32, &value), StatusOk);
  EXPECT_EQ(value, 31u);
}

TEST(ReadWholeNumber, AcceptsTheOneBitReadsByteBoundaryForm) {
  // After eight one-bit reads a wider read goes on at byte 1.
  Cursor cursor({0x00, 0xC0});
  uint8_t bit = 0;
  for (int i = 0; i < 8; ++i) ASSERT_EQ(ReadBit(&cursor.ctx, &bit), StatusOk);
  uint32_t value = 0;
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 4, &value), StatusOk);
  EXPECT_EQ(value, 3u);
}

TEST(ReadWholeNumber, NeverReadsAByteAtOrBeyondSize) {
  // Two bytes in memory, but the cursor only owns the first.
  std::vector<uint8_t> memory = {0xFF, 0xFF};
  PerContext ctx;
  InitPerContext(&ctx, memory.data(), 1);
  uint32_t value = 0;
  ASSERT_EQ(ReadWholeNumber(&ctx, 32, &value), StatusOk);  // 5 bits
  EXPECT_EQ(ReadWholeNumber(&ctx, 16, &value), StatusEndOfData);
  EXPECT_EQ(ReadWholeNumber(&ctx, 8, &value), StatusOk);  // exactly the last 3 bits
  EXPECT_EQ(value, 7u);
}

TEST(DecodeUInt8, StoresThenChecks) {
  struct Case {
    const char* pattern;
    uint32_t lower, upper;
    int status;
    uint8_t stored;
    uint64_t bits;
  };
  const Case cases[] = {
      {"", 5, 5, StatusOk, 5, 0},  // single value: no bits
      {"11", 0, 3, StatusOk, 3, 2},
      {"101", 0, 5, StatusOk, 5, 3},
      {"110", 0, 5, StatusOutOfRange, 6, 3},  // refused value stays stored
      {"111", 0, 5, StatusOutOfRange, 7, 3},
      {"1111", 1, 16, StatusOk, 16, 4},
      {"1111", 1, 15, StatusOutOfRange, 16, 4},
      {"11111111", 0, 255, StatusOk, 255, 8},
  };
  for (const Case& c : cases) {
    Cursor cursor(BitWriter().Pattern(c.pattern).Pattern("0000 0000"));
    uint8_t field = 99;
    EXPECT_EQ(DecodeUInt8(&cursor.ctx, c.lower, c.upper, &field), c.status) << c.pattern;
    EXPECT_EQ(field, c.stored) << c.pattern;
    EXPECT_EQ(BitPosition(&cursor.ctx), c.bits) << c.pattern;
  }
}

TEST(DecodeUInt8, SingleValueThenRangeReadsOnlyTheRange) {
  Cursor cursor(BitWriter().Pattern("10"));
  uint8_t a = 0, b = 0;
  ASSERT_EQ(DecodeUInt8(&cursor.ctx, 5, 5, &a), StatusOk);
  ASSERT_EQ(DecodeUInt8(&cursor.ctx, 0, 3, &b), StatusOk);
  EXPECT_EQ(a, 5);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(BitPosition(&cursor.ctx), 2u);
}

TEST(DecodeIntegers, BadConstraintReadsAndWritesNothing) {
  Cursor cursor({0xFF});
  uint8_t u8 = 1;
  uint16_t u16 = 2;
  uint32_t u32 = 3;
  int8_t i8 = 4;
  int16_t i16 = 5;
  EXPECT_EQ(DecodeUInt8(&cursor.ctx, 4, 3, &u8), StatusBadConstraint);
  EXPECT_EQ(DecodeUInt16(&cursor.ctx, 4, 3, &u16), StatusBadConstraint);
  EXPECT_EQ(DecodeUInt32(&cursor.ctx, 4, 3, &u32), StatusBadConstraint);
  EXPECT_EQ(DecodeInt8(&cursor.ctx, 4, 3, &i8), StatusBadConstraint);
  EXPECT_EQ(DecodeInt16(&cursor.ctx, 4, 3, &i16), StatusBadConstraint);
  EXPECT_EQ(u8 + u16 + u32 + i8 + i16, 15);
  EXPECT_EQ(BitPosition(&cursor.ctx), 0u);
}

TEST(DecodeIntegers, SignedAndWideFields) {
  {
    Cursor cursor(BitWriter().Pattern("0000 1111"));
    int8_t field = 0;
    ASSERT_EQ(DecodeInt8(&cursor.ctx, -10, 5, &field), StatusOk);
    EXPECT_EQ(field, -10);
    ASSERT_EQ(DecodeInt8(&cursor.ctx, -10, 5, &field), StatusOk);
    EXPECT_EQ(field, 5);
  }
  {
    // -115..165 is 281 values: 9 bits, stored in 16 signed bits.
    Cursor cursor(BitWriter().Constrained(165, -115, 165).Bits(511, 9));
    int16_t field = 0;
    ASSERT_EQ(DecodeInt16(&cursor.ctx, -115, 165, &field), StatusOk);
    EXPECT_EQ(field, 165);
    EXPECT_EQ(DecodeInt16(&cursor.ctx, -115, 165, &field), StatusOutOfRange);
    EXPECT_EQ(field, 511 - 115);
  }
  {
    Cursor cursor(BitWriter().Constrained(4095, 0, 4095).Constrained(70000, 0, 99999));
    uint16_t narrow = 0;
    uint32_t wide = 0;
    ASSERT_EQ(DecodeUInt16(&cursor.ctx, 0, 4095, &narrow), StatusOk);
    EXPECT_EQ(narrow, 4095);
    ASSERT_EQ(DecodeUInt32(&cursor.ctx, 0, 99999, &wide), StatusOk);
    EXPECT_EQ(wide, 70000u);
  }
}

TEST(DecodeEnumerated, IndexBeyondTheListStaysStoredAndFails) {
  for (uint32_t pattern = 0; pattern < 8; ++pattern) {
    Cursor cursor(BitWriter().Bits(pattern, 3));
    uint32_t field = 99;
    int status = DecodeEnumerated(&cursor.ctx, 5, &field);
    EXPECT_EQ(status, pattern < 5 ? StatusOk : StatusOutOfRange) << pattern;
    EXPECT_EQ(field, pattern);
  }
  Cursor single({0xFF});
  uint32_t field = 99;
  EXPECT_EQ(DecodeEnumerated(&single.ctx, 1, &field), StatusOk);
  EXPECT_EQ(field, 0u);
  EXPECT_EQ(BitPosition(&single.ctx), 0u);
}

TEST(ReadLength, WidthFollowsTheSizeConstraint) {
  struct Case {
    SizeConstraint size;
    uint64_t lengthBits;
    uint32_t allOnesLength;
  };
  const Case cases[] = {
      {{0, 1, 8}, 3, 8},     {{0, 16, 16}, 0, 16},     {{0, 28, 28}, 0, 28},
      {{0, 0, 16}, 5, 31},   {{0, 1, 1024}, 10, 1024}, {{0, 1, 13}, 4, 16},  // not clipped to upper
      {{0, 1, 214}, 8, 256},
  };
  for (const Case& c : cases) {
    Cursor cursor(std::vector<uint8_t>(4, 0xFF));
    cursor.ctx.pendingSize = &c.size;
    uint32_t length = 0;
    ASSERT_EQ(ReadLength(&cursor.ctx, &length), StatusOk) << c.size.upper;
    EXPECT_EQ(BitPosition(&cursor.ctx), c.lengthBits) << c.size.upper;
    EXPECT_EQ(length, c.allOnesLength) << c.size.upper;
    EXPECT_EQ(cursor.ctx.pendingSize, nullptr);
  }
  Cursor zero({0x00});
  const SizeConstraint oneToEight = {0, 1, 8};
  zero.ctx.pendingSize = &oneToEight;
  uint32_t length = 0;
  ASSERT_EQ(ReadLength(&zero.ctx, &length), StatusOk);
  EXPECT_EQ(length, 1u);  // 000 means 1
}

TEST(ReadLength, RefusesUnsupportedAndBadConstraints) {
  const SizeConstraint extensible = {1, 1, 8};
  const SizeConstraint huge = {0, 1, 65536};
  const SizeConstraint inverted = {0, 9, 8};
  struct Case {
    const SizeConstraint* size;
    int status;
    bool cleared;
  };
  const Case cases[] = {{&extensible, StatusUnsupported, false},
                        {&huge, StatusUnsupported, false},
                        {&inverted, StatusBadConstraint, true},
                        {nullptr, StatusUnsupported, true}};
  for (const Case& c : cases) {
    Cursor cursor({0xFF, 0xFF, 0xFF});
    cursor.ctx.pendingSize = c.size;
    uint32_t length = 0;
    uint32_t count = 0;
    uint8_t bytes[4] = {};
    EXPECT_EQ(ReadLength(&cursor.ctx, &length), c.status);
    EXPECT_EQ(cursor.ctx.pendingSize == nullptr, c.cleared);
    cursor.ctx.pendingSize = c.size;
    EXPECT_EQ(ReadBitString(&cursor.ctx, &count, bytes, 4), c.status);
    EXPECT_EQ(BitPosition(&cursor.ctx), 0u);
  }
}

TEST(ReadBitString, KeepsEveryBitWhateverTheStartOffset) {
  const SizeConstraint size28 = {0, 28, 28};
  const uint32_t identity = 0x0ABCDEF1 & 0x0FFFFFFF;
  for (unsigned offset = 0; offset < 8; ++offset) {
    BitWriter writer;
    writer.Bits(0x55, offset).Bits(identity, 28).Pattern("1");
    Cursor cursor(writer);
    uint32_t skipped = 0;
    if (offset > 0) {
      ASSERT_EQ(ReadWholeNumber(&cursor.ctx, uint64_t{1} << offset, &skipped), StatusOk);
    }
    uint32_t bitCount = 0;
    uint8_t bytes[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    cursor.ctx.pendingSize = &size28;
    ASSERT_EQ(ReadBitString(&cursor.ctx, &bitCount, bytes, 4), StatusOk) << offset;
    EXPECT_EQ(bitCount, 28u);
    uint32_t packed = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                      (uint32_t{bytes[2]} << 8) | bytes[3];
    EXPECT_EQ(packed, identity << 4) << "offset " << offset;  // low four bits zero
    EXPECT_EQ(BitPosition(&cursor.ctx), offset + 28u);
    EXPECT_EQ(cursor.ctx.pendingSize, nullptr);
    uint8_t bit = 0;
    ASSERT_EQ(ReadBit(&cursor.ctx, &bit), StatusOk);
    EXPECT_EQ(bit, 1);
  }
}

// Strings of every length and start offset that end on the buffer's last bit:
// the bits come out in order, the rest of the array is zero, and (under
// AddressSanitizer) no byte past the buffer is read.
TEST(ReadBitString, StringsEndingAtTheLastBitOfTheBuffer) {
  // Past 64 bits the copy takes eight bytes at a time: lengths up to a BCH
  // segment's 226 bits and beyond.
  for (uint32_t length = 1; length <= 240; ++length) {
    for (unsigned offset = 0; offset < 8; ++offset) {
      const size_t byteCount = (offset + length + 7) / 8;
      std::vector<uint8_t> data(byteCount);
      for (size_t i = 0; i < byteCount; ++i)
        data[i] = static_cast<uint8_t>(0xA7 * (i + 3) + length);
      // Shift the string to end exactly at the last bit.
      const unsigned start = static_cast<unsigned>(byteCount * 8 - length);
      PerContext ctx;
      InitPerContext(&ctx, data.data(), static_cast<uint32_t>(byteCount));
      uint32_t skipped = 0;
      if (start > 0) {
        ASSERT_EQ(ReadWholeNumber(&ctx, uint64_t{1} << start, &skipped), StatusOk);
      }
      const SizeConstraint size = {0, length, length};
      ctx.pendingSize = &size;
      uint32_t bitCount = 0;
      uint8_t bytes[32];
      std::fill(std::begin(bytes), std::end(bytes), 0xEE);
      ASSERT_EQ(ReadBitString(&ctx, &bitCount, bytes, 32), StatusOk) << length << "/" << offset;
      for (uint32_t i = 0; i < 256; ++i) {
        const uint64_t at = start + i;
        const unsigned expected = i < length ? (data[at / 8] >> (7 - at % 8)) & 1u : 0u;
        ASSERT_EQ((bytes[i / 8] >> (7 - i % 8)) & 1u, expected)
            << "length " << length << " start " << start << " bit " << i;
      }
    }
  }
}

TEST(ReadBitString, ShortStringCrossingAByteIsPaddedWithZero) {
  const SizeConstraint size7 = {0, 7, 7};
  Cursor cursor(BitWriter().Pattern("00 1011011 1111111"));
  uint32_t skipped = 0;
  ASSERT_EQ(ReadWholeNumber(&cursor.ctx, 4, &skipped), StatusOk);
  uint32_t bitCount = 0;
  uint8_t bytes[1] = {0xFF};
  cursor.ctx.pendingSize = &size7;
  ASSERT_EQ(ReadBitString(&cursor.ctx, &bitCount, bytes, 1), StatusOk);
  EXPECT_EQ(bitCount, 7u);
  EXPECT_EQ(bytes[0], 0xB6);  // 1011011 then 0
}

TEST(ReadBitString, VariableLengthLimits) {
  const SizeConstraint variable = {0, 1, 214};
  struct Case {
    uint32_t lengthField;  // bit count - 1
    size_t dataBits;       // bits present after the length field
    int status;
  };
  const Case cases[] = {
      {0, 1, StatusOk},          {213, 214, StatusOk},      {214, 300, StatusTooMany},  // 215 bits
      {255, 300, StatusTooMany}, {20, 20, StatusEndOfData},  // 21 bits wanted, 20 present
  };
  for (const Case& c : cases) {
    BitWriter writer;
    writer.Bits(c.lengthField, 8);
    for (size_t i = 0; i < c.dataBits; ++i) writer.Bit(i % 3 == 0);
    // Exactly enough bytes for the bits written, so a short read hits the end.
    std::vector<uint8_t> data = writer.Bytes();
    if (c.status == StatusEndOfData) data.resize((8 + c.dataBits) / 8);
    Cursor cursor(data);
    uint32_t bitCount = 0;
    uint8_t bytes[27] = {};
    cursor.ctx.pendingSize = &variable;
    EXPECT_EQ(ReadBitString(&cursor.ctx, &bitCount, bytes, 27), c.status) << c.lengthField;
    EXPECT_EQ(bitCount, c.lengthField + 1);
    if (c.status != StatusOk) {
      EXPECT_EQ(bytes[0], 0) << "nothing is copied on failure";
      continue;
    }
    for (uint32_t i = 0; i < bitCount; ++i) {
      EXPECT_EQ((bytes[i / 8] >> (7 - i % 8)) & 1, i % 3 == 0 ? 1 : 0) << i;
    }
  }
}

TEST(ReadBitString, RefusesAStringLongerThanTheCallersArray) {
  const SizeConstraint size16 = {0, 16, 16};
  Cursor cursor({0xFF, 0xFF, 0xFF});
  uint8_t bytes[1] = {0};
  uint32_t bitCount = 0;
  cursor.ctx.pendingSize = &size16;
  EXPECT_EQ(ReadBitString(&cursor.ctx, &bitCount, bytes, 1), StatusTooMany);
  EXPECT_EQ(bytes[0], 0);
}

TEST(ReadOctetString, LengthThenOctets) {
  const SizeConstraint oneToEight = {0, 1, 8};
  // Length 3 (field 010), then three octets, starting off a byte boundary.
  Cursor cursor(BitWriter().Pattern("1").Pattern("010").Bits(0x01, 8).Bits(0xAB, 8).Bits(0xFF, 8));
  uint8_t bit = 0;
  ASSERT_EQ(ReadBit(&cursor.ctx, &bit), StatusOk);
  uint32_t count = 0;
  uint8_t bytes[8] = {};
  cursor.ctx.pendingSize = &oneToEight;
  ASSERT_EQ(ReadOctetString(&cursor.ctx, &count, bytes, 8), StatusOk);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(bytes[0], 0x01);
  EXPECT_EQ(bytes[1], 0xAB);
  EXPECT_EQ(bytes[2], 0xFF);
  EXPECT_EQ(BitPosition(&cursor.ctx), 28u);
  EXPECT_EQ(cursor.ctx.pendingSize, nullptr);

  Cursor truncated(BitWriter().Pattern("111").Bits(0x01, 8));  // 8 octets announced, 1 present
  truncated.ctx.pendingSize = &oneToEight;
  EXPECT_EQ(ReadOctetString(&truncated.ctx, &count, bytes, 8), StatusEndOfData);

  Cursor small(BitWriter().Pattern("111").Bits(0, 64));
  small.ctx.pendingSize = &oneToEight;
  EXPECT_EQ(ReadOctetString(&small.ctx, &count, bytes, 4), StatusTooMany);
}

// Records of a decode come from its arena, zero-filled; a list's elements are
// one array of them. A decode without an arena gets no record (it stops with
// StatusNoMemory) rather than memory nobody releases.
TEST(AllocRecord, ZeroFilledArraysFromTheArenaAndNothingWithoutOne) {
  struct Payload {
    int value;
    char name[20];
  };
  RecordArena arena;
  PerContext ctx;
  InitPerContext(&ctx, nullptr, 0);
  EXPECT_EQ(AllocRecord(&ctx, sizeof(Payload)), nullptr);
  ctx.arena = &arena;
  for (uint32_t count : {1u, 3u, 700u}) {  // 700 elements outgrow the first chunk
    ValueList<Payload> list = {0,
                               static_cast<Payload*>(AllocRecord(&ctx, sizeof(Payload) * count))};
    ASSERT_NE(list.items, nullptr) << count;
    for (uint32_t i = 0; i < count; ++i) {
      EXPECT_EQ(list.items[i].value, 0) << count << " element " << i;
      list.items[i].value = static_cast<int>(i);
      ++list.count;
    }
    EXPECT_EQ(list.items[count - 1].value, static_cast<int>(count - 1));
  }
}

// Allocations that fill chunks exactly, cross into new ones, exceed the
// smallest chunk, and come again after a reset: every record zero-filled,
// aligned, inside memory of its own; a reset hands the same memory out again.
TEST(RecordArena, RecordsAreZeroedAlignedDisjointAndReused) {
  const std::vector<size_t> sizes = {1, 0, 16, 17, 260, 4096, 65536, 65520, 200000, 3, 70000, 8};
  RecordArena arena;
  std::vector<unsigned char*> firstRound;
  for (int round = 0; round < 3; ++round) {
    std::vector<std::pair<unsigned char*, size_t>> records;
    for (size_t size : sizes) {
      auto* record = static_cast<unsigned char*>(ArenaAllocate(&arena, size));
      ASSERT_NE(record, nullptr) << size;
      EXPECT_EQ(reinterpret_cast<uintptr_t>(record) % alignof(std::max_align_t), 0u) << size;
      for (size_t i = 0; i < size; ++i) ASSERT_EQ(record[i], 0) << size << " byte " << i;
      std::memset(record, 0xA5, size);  // dirty for the next round
      records.emplace_back(record, size);
    }
    for (size_t a = 0; a < records.size(); ++a) {
      for (size_t b = a + 1; b < records.size(); ++b) {
        const bool apart = records[a].first + records[a].second <= records[b].first ||
                           records[b].first + records[b].second <= records[a].first;
        EXPECT_TRUE(apart || records[a].second == 0 || records[b].second == 0)
            << "records " << a << " and " << b << " overlap";
      }
    }
    if (round == 0) {
      for (const auto& record : records) firstRound.push_back(record.first);
    } else {
      for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].first, firstRound[i]) << "kept chunks are used again, #" << i;
      }
    }
    ResetArena(&arena);
  }
}

}  // namespace
}  // namespace sibdecode
