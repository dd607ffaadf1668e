// Entry contract: what the caller gets back when nothing is decoded, the
// raw-data trailer, text capacity handling, the summary drain, and the
// independence of calls.
#include "api/entry.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cctype>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "api/sib_dispatch.h"
#include "api/summary_record.h"
#include "api/text_delivery.h"
#include "print/plain_layout.h"
#include "support/bch_blocks.h"
#include "support/model_sibs.h"
#include "support/segments.h"

namespace sibdecode {
namespace {

using sibtest::BitWriter;
using sibtest::Block;
using sibtest::DataBits;

std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& blocks) {
  std::vector<uint8_t> data;
  for (const auto& block : blocks) data.insert(data.end(), block.begin(), block.end());
  return data;
}

std::vector<uint8_t> CompleteSibBlock(uint32_t sfn, uint32_t sibType) {
  return Block(sfn, 9, sibtest::Complete(sibType, DataBits(226, sibType)));
}

bool AllZero(const tagSystemInformationBlock& out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&out);
  for (size_t i = 0; i < sizeof(out); ++i) {
    if (bytes[i] != 0) return false;
  }
  return true;
}

// Calls RRCParserX with a dirty summary record and a marked text buffer.
struct ParserCall {
  explicit ParserCall(std::vector<uint8_t> input) : data(std::move(input)) {
    std::memset(&out, 0xAB, sizeof(out));
    text.assign(MaxTextSize(data.size()), '#');
    result =
        RRCParserX(data.data(), static_cast<unsigned int>(data.size()), &out, text.data(), textLen);
  }
  bool TextUntouched() const { return text.find_first_not_of('#') == std::string::npos; }
  std::vector<uint8_t> data;
  tagSystemInformationBlock out;
  std::string text;
  unsigned int textLen = 4242;
  bool result = true;
};

TEST(RRCParserX, NothingToDecodeLeavesTextAndLengthAlone) {
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  const std::vector<Case> cases = {
      {"len 0", {}},
      {"partial block only", std::vector<uint8_t>(30, 0xFF)},
      {"noSegment block", std::vector<uint8_t>(31, 0)},
      {"master information block", CompleteSibBlock(3, 0)},
      {"SIB8", CompleteSibBlock(3, 8)},
      {"SIB14", CompleteSibBlock(3, 14)},
      {"SIB18", CompleteSibBlock(3, 18)},
      {"completeness test fails",
       Concat({CompleteSibBlock(9, 3), Block(10, 3, sibtest::FollowingShort(5, 2, "1"))})},
      {"only the tail of a segmented SIB",
       Concat({Block(1, 2, sibtest::FollowingSegment(5, 1, DataBits(222, 1))),
               Block(2, 10, sibtest::FollowingSegment(5, 2, DataBits(222, 2)))})},
  };
  for (const Case& c : cases) {
    ParserCall call(c.data);
    EXPECT_FALSE(call.result) << c.what;
    EXPECT_TRUE(AllZero(call.out)) << c.what;
    EXPECT_EQ(call.textLen, 4242u) << c.what;
    EXPECT_TRUE(call.TextUntouched()) << c.what;
  }
}

// A complete SIB3 whose first bits are: no extensions, sib4indicator,
// cellIdentity. Whatever follows, the decoder gets to the cell identity and
// the printer writes at least the header.
std::vector<uint8_t> Sib3Block(uint32_t sfn, uint32_t cellIdentity) {
  BitWriter sib;
  sib.Pattern("0 1").Bits(cellIdentity, 28).Pattern(DataBits(196, 5));
  return Block(sfn, 9, BitWriter().Bits(3, 5).Append(sib));
}

TEST(RRCParserX, CompleteSib3GivesTextTrailerAndCellIdentity) {
  for (size_t blocks : {1, 2}) {
    std::vector<uint8_t> data = Sib3Block(5, 0x0ABCDEF);
    if (blocks == 2) data = Concat({data, std::vector<uint8_t>(31, 0)});
    ParserCall call(data);
    ASSERT_TRUE(call.result) << blocks;
    const std::string trailer = sibtest::RawTrailer(data.data(), data.size());
    EXPECT_EQ(trailer.size(), blocks == 1 ? 91u : 155u);
    ASSERT_GT(call.textLen, trailer.size());
    std::string text = call.text.substr(0, call.textLen);
    EXPECT_EQ(text.rfind("SysInfoType3 ::=\r\n{\r\n", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - trailer.size()), trailer);
    EXPECT_EQ(call.text.find_first_not_of('#', call.textLen), std::string::npos);
    EXPECT_EQ(call.out.sib3.cellIdentity, 0x0ABCDEFu);
    tagSystemInformationBlock rest = call.out;
    rest.sib3.cellIdentity = 0;
    EXPECT_TRUE(AllZero(rest)) << "every other word of the summary is 0";
  }
}

TEST(RRCParserX, NullTextAsksForTheLengthOnly) {
  const std::vector<uint8_t> data = Sib3Block(5, 0x0ABCDEF);
  ParserCall full(data);
  ASSERT_TRUE(full.result);
  tagSystemInformationBlock out;
  std::memset(&out, 0xAB, sizeof(out));
  unsigned int textLen = 4242;
  std::vector<uint8_t> input = data;
  EXPECT_FALSE(
      RRCParserX(input.data(), static_cast<unsigned int>(input.size()), &out, nullptr, textLen));
  EXPECT_EQ(textLen, full.textLen);
  EXPECT_EQ(std::memcmp(&out, &full.out, sizeof(out)), 0) << "the summary is filled all the same";
}

// A batch of 2.1e9 bytes (a SIB3 block, then blocks without segments, none of
// it in memory): its trailer alone exceeds 4 GB, so the text length cannot be
// reported. Nothing is written, however small the buffer.
TEST(RRCParserX, RefusesABatchWhoseTextLengthDoesNotFit) {
  const size_t len = size_t{31} * 67741936;
  void* mapped = mmap(nullptr, len, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  ASSERT_NE(mapped, MAP_FAILED);
  auto* data = static_cast<unsigned char*>(mapped);
  const std::vector<uint8_t> sib3 = Sib3Block(5, 7);
  std::memcpy(data, sib3.data(), sib3.size());
  tagSystemInformationBlock out;
  std::memset(&out, 0xAB, sizeof(out));
  std::string text(64, '#');
  unsigned int textLen = 4242;
  EXPECT_FALSE(RRCParserX(data, static_cast<unsigned int>(len), &out, &text[0], textLen));
  EXPECT_EQ(textLen, 4242u);
  EXPECT_EQ(text, std::string(64, '#'));
  EXPECT_TRUE(AllZero(out));
  munmap(mapped, len);
}

TEST(DecodeBatch, TextThatDoesNotFitIsNotWritten) {
  DecoderState* state = CreateDecoderState();
  std::vector<uint8_t> data = Sib3Block(5, 1);
  tagSystemInformationBlock out;
  std::vector<char> text(MaxTextSize(data.size()), '#');
  size_t needed = 0;
  ASSERT_EQ(DecodeBatch(state, data.data(), data.size(), &out, text.data(), text.size(), &needed),
            kDecoded);
  const std::string full(text.data(), needed);
  for (size_t capacity : {needed - 1, size_t{10}, size_t{0}}) {
    std::vector<char> small(needed + 16, '#');
    size_t textLen = 0;
    std::memset(&out, 0, sizeof(out));
    EXPECT_EQ(DecodeBatch(state, data.data(), data.size(), &out, small.data(), capacity, &textLen),
              kTextTooSmall)
        << capacity;
    EXPECT_EQ(textLen, needed) << capacity;
    EXPECT_EQ(std::string(small.begin(), small.end()), std::string(needed + 16, '#')) << capacity;
    EXPECT_EQ(out.sib3.cellIdentity, 1u) << "the summary is filled all the same";
  }
  std::vector<char> exact(needed + 16, '#');
  size_t textLen = 0;
  EXPECT_EQ(DecodeBatch(state, data.data(), data.size(), &out, exact.data(), needed, &textLen),
            kDecoded);
  EXPECT_EQ(std::string(exact.data(), textLen), full);
  EXPECT_EQ(exact[needed], '#');
  DestroyDecoderState(state);
}

// Every type the BCH carries has a decoder; at Release 7 only RRCParserX's ten.
TEST(Dispatch, RowsNamesAndReleases) {
  const struct {
    uint32_t type;
    const char* name;
    bool row;
    bool release7;
  } rows[] = {
      {0, "MIB", true, false},
      {3, "SIB3", true, true},
      {8, "SIB8", true, false},
      {11, "SIB11", true, true},
      {14, "SIB13.1", true, false},
      {18, "SIB14", true, false},
      {26, "SIB18", true, false},
      {27, "SB1", true, false},
      {28, "SB2", true, false},
      {30, "SIB5bis", true, false},
      {31, "extensionType", false, false},  // named by the cell's schedule, not decoded as such
      {32, "SIB11bis", true, false},
      {34, "SIB15.1bis", true, false},
      {40, "SIB19", true, false},
      {41, "SIB15.2ter", true, false},
      {42, "SIB20", true, false},
      {43, nullptr, false, false},  // SIB-TypeExt2 spare
      {1000, nullptr, false, false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(FindSibRow(r.type) != nullptr, r.row) << r.type;
    EXPECT_EQ(IsDecodedSibTypeAt(r.type, kReleaseLatest), r.row) << r.type;
    EXPECT_EQ(IsDecodedSibTypeAt(r.type, kRelease7), r.release7) << r.type;
    EXPECT_EQ(IsDecodedSibType(r.type), r.release7) << r.type;
    EXPECT_EQ(std::string(SibTypeName(r.type)), r.name == nullptr ? "?" : r.name) << r.type;
  }
}

TEST(SibTypeFromName, NamesWithoutCaseOrPrefixAndIndexesNoSibIsNamedBy) {
  const struct {
    const char* text;
    int found;
    unsigned int type;
  } rows[] = {
      {"MIB", 1, 0},
      {"mib", 1, 0},
      {"sb1", 1, 27},
      {"SB2", 1, 28},
      {"3", 1, 3},
      {"SIB3", 1, 3},
      {"sib11bis", 1, 32},
      {"11bis", 1, 32},
      {"19", 1, 40},  // SIB19, not index 19
      {"15", 1, 19},
      {"15.1bis", 1, 34},
      {"SIB15.2ter", 1, 41},
      {"5bis", 1, 30},
      {"0", 1, 0},
      {"21", 1, 21},  // index 21: SIB15.2
      {"31", 1, 31},
      {"extensiontype", 1, 31},
      {"32", 0, 0},
      {"SIB", 0, 0},
      {"", 0, 0},
      {"-1", 0, 0},
      {"3x", 0, 0},
      {"SIB99", 0, 0},
  };
  for (const auto& r : rows) {
    unsigned int type = 12345;
    EXPECT_EQ(SibTypeFromName(r.text, &type), r.found) << r.text;
    if (r.found == 1) {
      EXPECT_EQ(type, r.type) << r.text;
    }
  }
  unsigned int type = 0;
  EXPECT_EQ(SibTypeFromName(nullptr, &type), 0);
  EXPECT_EQ(SibTypeFromName("mib", nullptr), 0);
}

TEST(RawTrailer, HeaderThenHexWithABreakEvery31Bytes) {
  std::vector<uint8_t> data(93);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 0x0A);
  auto hex = [&](size_t from, size_t to) {
    std::string out;
    char pair[3];
    for (size_t i = from; i < to; ++i) {
      std::snprintf(pair, sizeof(pair), "%02X", data[i]);
      out += pair;
    }
    return out;
  };
  const std::string header = "\r\n<<<-----raw data ----->>>\r\n";
  struct Case {
    size_t len;
    std::string trailer;
  };
  const Case cases[] = {
      {0, header},
      {1, header + hex(0, 1)},
      {31, header + hex(0, 31)},
      {32, header + hex(0, 31) + "\r\n" + hex(31, 32)},
      {62, header + hex(0, 31) + "\r\n" + hex(31, 62)},
      {93, header + hex(0, 31) + "\r\n" + hex(31, 62) + "\r\n" + hex(62, 93)},
  };
  for (const Case& c : cases) {
    std::string trailer = sibtest::RawTrailer(data.data(), c.len);
    EXPECT_EQ(trailer, c.trailer) << c.len;
    EXPECT_EQ(RawTrailerSize(c.len), trailer.size()) << c.len;
    EXPECT_EQ(MaxTextSize(c.len), TextBufferSize + trailer.size()) << c.len;
  }
  EXPECT_EQ(sibtest::RawTrailer(data.data(), 31).size(), 91u);
  EXPECT_EQ(sibtest::RawTrailer(data.data(), 62).size(), 155u);
  EXPECT_EQ(hex(0, 2), "0A11") << "upper-case pairs";
  EXPECT_EQ(sibtest::RawTrailer(data.data(), 3), header + "0A1118");
}

// Every length up to three blocks and a bit, and all 256 byte values: the
// digits come eight bytes at a time where they can, and the end of a block
// that is not a multiple of eight must come out the same.
TEST(RawTrailer, EveryLengthAndByteValue) {
  std::vector<uint8_t> data(256);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37 + 11);
  const char digits[] = "0123456789ABCDEF";
  for (size_t len = 0; len <= data.size(); ++len) {
    std::string want = "\r\n<<<-----raw data ----->>>\r\n";
    for (size_t i = 0; i < len; ++i) {
      if (i > 0 && i % 31 == 0) want += "\r\n";
      want += digits[data[i] >> 4];
      want += digits[data[i] & 0x0F];
    }
    std::string got(RawTrailerSize(len) + 8, '#');
    char* end = WriteRawTrailer(&got[0], data.data(), len);
    EXPECT_EQ(static_cast<size_t>(end - got.data()), RawTrailerSize(len)) << len;
    EXPECT_EQ(got.substr(0, RawTrailerSize(len)), want) << len;
    EXPECT_EQ(got.substr(RawTrailerSize(len)), std::string(8, '#')) << "written past, " << len;
  }
}

TEST(DeliverText, NeverWritesMoreThanTheCapacity) {
  const std::vector<uint8_t> raw(31, 0xC3);
  const std::string printed = "SysInfoType3 ::=\r\n{\r\n}\r\n";
  const std::string full = printed + sibtest::RawTrailer(raw.data(), raw.size());
  struct Case {
    const char* what;
    size_t printedLen;
    bool withTrailer;
    size_t capacity;
    int result;
    size_t textLen;
    std::string text;  // what `text` holds afterwards (untouched: all '#')
  };
  const std::string untouched(full.size() + 8, '#');
  const std::vector<Case> cases = {
      {"exact fit", printed.size(), true, full.size(), kDecoded, full.size(), full},
      {"one byte short", printed.size(), true, full.size() - 1, kTextTooSmall, full.size(), ""},
      {"no capacity", printed.size(), true, 0, kTextTooSmall, full.size(), ""},
      {"bare SIB text", printed.size(), false, printed.size(), kDecoded, printed.size(), printed},
      {"printer wrote nothing", 0, true, full.size(), kNothingDecoded, 0, ""},
  };
  for (const Case& c : cases) {
    std::string text = untouched;
    size_t textLen = 777;
    EXPECT_EQ(DeliverText(printed.data(), c.printedLen, raw.data(), raw.size(), c.withTrailer,
                          text.data(), c.capacity, &textLen),
              c.result)
        << c.what;
    EXPECT_EQ(textLen, c.textLen) << c.what;
    EXPECT_EQ(text.substr(0, c.text.size()), c.text) << c.what;
    EXPECT_EQ(text.find_first_not_of('#', c.text.size()), std::string::npos)
        << c.what << ": wrote past what it reported";
  }
}

TEST(DrainSummaryFeed, FillsTheCellIdentitiesAndTheThreeNeighbourLists) {
  SummaryFeed feed;
  feed.intraFreqCellQueue = {{1, 10}, {kAbsentValue, 11}, {3, kAbsentValue}};
  feed.interFreqCellQueue = {{20, 10054, 30}, {21, 10080, 31}};
  feed.interRatCellQueue = {{0, 7, 7, 1023}, {kAbsentValue, 3, 5, 1}};
  feed.sib3CellIdentity = 0x1234567;
  tagSystemInformationBlock out;
  std::memset(&out, 0xFF, sizeof(out));
  DrainSummaryFeed(feed, &out);
  EXPECT_EQ(out.sib3.cellIdentity, 0x1234567u);
  EXPECT_EQ(out.sib4.cellIdentity, 0u) << "a cell identity no decoder fed is 0";
  const tagSystemInformationBlockType11& lists = out.sib11;

  ASSERT_EQ(lists.intraFreqCellCount, 3u);
  EXPECT_EQ(lists.intraFreqCells[0].intraFreqCellID, 1);
  EXPECT_EQ(lists.intraFreqCells[1].intraFreqCellID, kAbsentValue);
  EXPECT_EQ(static_cast<unsigned>(lists.intraFreqCells[1].intraFreqCellID), 0xFFFF0001u);
  EXPECT_EQ(lists.intraFreqCells[2].cellParametersID, kAbsentValue);
  ASSERT_EQ(lists.interFreqCellCount, 2u);
  EXPECT_EQ(lists.interFreqCells[0].interFreqCellID, 20);
  EXPECT_EQ(lists.interFreqCells[0].uarfcn_Nt, 10054);
  EXPECT_EQ(lists.interFreqCells[0].cellParametersID, 30);
  EXPECT_EQ(lists.interFreqCells[1].uarfcn_Nt, 10080);
  ASSERT_EQ(lists.interRATCellCount, 2u);
  EXPECT_EQ(lists.interRATCells[0].bcch_ARFCN, 1023);
  EXPECT_EQ(lists.interRATCells[0].bsic, 77);
  EXPECT_EQ(lists.interRATCells[1].interRATCellID, kAbsentValue);
  EXPECT_EQ(lists.interRATCells[1].bsic, 35);
  EXPECT_EQ(static_cast<unsigned>(lists.interRATCells[2].bsic), 0xFFFFFFFFu)
      << "entries beyond the count are left as they were";
}

TEST(DrainSummaryFeed, NeverStoresMoreThan32EntriesPerList) {
  SummaryFeed feed;
  for (int i = 0; i < 40; ++i) feed.intraFreqCellQueue.push_back({i, i});
  for (int i = 0; i < 3; ++i) feed.interFreqCellQueue.push_back({100 + i, 9000 + i, 0});
  for (int i = 0; i < 40; ++i) feed.interRatCellQueue.push_back({i, 0, 0, i});
  tagSystemInformationBlock out;
  std::memset(&out, 0, sizeof(out));
  DrainSummaryFeed(feed, &out);
  EXPECT_EQ(out.sib11.intraFreqCellCount, 32u);
  EXPECT_EQ(out.sib11.intraFreqCells[31].intraFreqCellID, 31);
  ASSERT_EQ(out.sib11.interFreqCellCount, 3u);
  EXPECT_EQ(out.sib11.interFreqCells[0].interFreqCellID, 100);
  EXPECT_EQ(out.sib11.interFreqCells[2].uarfcn_Nt, 9002);
  EXPECT_EQ(out.sib11.interRATCellCount, 32u);
}

TEST(Calls, NothingCarriesOverFromOneCallToTheNext) {
  DecoderState* state = CreateDecoderState();
  // Leftovers as an interrupted call could leave them.
  state->segmentQueue.push_back(sibtest::MakeSegment(1, 2, 2, 0, 5, std::string(222, '1')));
  state->currentSegment = state->segmentQueue.back();
  state->feed.sib3CellIdentity = 99;
  state->feed.sib4CellIdentity = 98;
  state->feed.intraFreqCellQueue.push_back({1, 2});
  state->feed.interFreqCellQueue.push_back({1, 2, 3});
  state->feed.interRatCellQueue.push_back({1, 2, 3, 4});

  // Only the last segment of the SIB whose first segment was queued before.
  std::vector<uint8_t> data = Block(2, 10, sibtest::FollowingSegment(5, 1, DataBits(222, 1)));
  tagSystemInformationBlock out;
  std::memset(&out, 0xFF, sizeof(out));
  std::vector<char> text(MaxTextSize(data.size()));
  size_t textLen = 5;
  EXPECT_EQ(DecodeBatch(state, data.data(), data.size(), &out, text.data(), text.size(), &textLen),
            kNothingDecoded);
  EXPECT_TRUE(AllZero(out));
  EXPECT_EQ(textLen, 5u);
  EXPECT_TRUE(state->segmentQueue.empty());
  EXPECT_EQ(state->currentSegment.bitCount, 0u);
  EXPECT_EQ(state->feed.sib3CellIdentity, 0u);
  EXPECT_EQ(state->feed.sib4CellIdentity, 0u);
  EXPECT_TRUE(state->feed.intraFreqCellQueue.empty());
  EXPECT_TRUE(state->feed.interFreqCellQueue.empty());
  EXPECT_TRUE(state->feed.interRatCellQueue.empty());
  DestroyDecoderState(state);
}

TEST(Calls, ASegmentedSibSplitOverTwoCallsIsNotJoined) {
  DecoderState* state = CreateDecoderState();
  tagSystemInformationBlock out;
  uint32_t sibType = 0;
  std::vector<uint8_t> packed;
  std::vector<uint8_t> first = Block(1, 1, sibtest::FirstSegment(5, 2, DataBits(222, 1)));
  std::vector<uint8_t> last = Block(2, 10, sibtest::FollowingSegment(5, 1, DataBits(222, 2)));

  ResetForCall(*state, &out);
  ASSERT_TRUE(ReassembleBatch(*state, first.data(), first.size(), &sibType, &packed));
  EXPECT_EQ(packed.size(), 28u) << "the lone first segment passes by itself";
  ResetForCall(*state, &out);
  EXPECT_FALSE(ReassembleBatch(*state, last.data(), last.size(), &sibType, &packed));

  // Both in one call: joined.
  ResetForCall(*state, &out);
  std::vector<uint8_t> both = Concat({last, first});
  ASSERT_TRUE(ReassembleBatch(*state, both.data(), both.size(), &sibType, &packed));
  EXPECT_EQ(sibType, 5u);
  EXPECT_EQ(packed.size(), 56u);
  DestroyDecoderState(state);
}

TEST(DecodeSib, UnsupportedTypesDecodeNothing) {
  DecoderState* state = CreateDecoderState();
  const uint8_t sib[4] = {0x12, 0x34, 0x56, 0x78};
  for (unsigned int type : {0u, 8u, 14u, 18u, 32u}) {
    tagSystemInformationBlock out;
    std::memset(&out, 0x11, sizeof(out));
    char text[16] = {};
    size_t textLen = 3;
    EXPECT_EQ(DecodeSib(state, type, sib, sizeof(sib), &out, text, sizeof(text), &textLen),
              kNothingDecoded)
        << type;
    EXPECT_TRUE(AllZero(out)) << type;
    EXPECT_EQ(textLen, 3u) << type;
  }
  DestroyDecoderState(state);
}

// A SIB fills the parts of the summary record its type names and nothing else;
// each part named is filled by some model SIB of the type.
TEST(SibSummaryParts, NameWhatADecodedSibFills) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  ASSERT_GE(samples.size(), 20u);
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);
  std::vector<char> text(1 << 20);
  unsigned int seen[kSibTypeNumbers] = {};
  for (const sibtest::ModelSib& sample : samples) {
    const unsigned int parts = SibSummaryParts(sample.sibType);
    EXPECT_TRUE(IsDecodedSibTypeAt(sample.sibType, kReleaseLatest));
    tagSystemInformationBlock out;
    size_t textLen = 0;
    ASSERT_EQ(DecodeSib(state, sample.sibType, sample.bare.data(), sample.bare.size(), &out,
                        text.data(), text.size(), &textLen),
              kDecoded);
    if (out.sib3.cellIdentity != 0) seen[sample.sibType] |= kSummarySib3CellIdentity;
    if (out.sib4.cellIdentity != 0) seen[sample.sibType] |= kSummarySib4CellIdentity;
    const tagSystemInformationBlockType11& cells = out.sib11;
    if (cells.intraFreqCellCount + cells.interFreqCellCount + cells.interRATCellCount != 0) {
      seen[sample.sibType] |= kSummaryNeighbourCells;
    }
    EXPECT_EQ(seen[sample.sibType] & ~parts, 0u) << "SIB" << sample.sibType;
  }
  for (unsigned int type = 0; type < kSibTypeNumbers; ++type) {
    if (IsDecodedSibTypeAt(type, kReleaseLatest)) {
      EXPECT_EQ(seen[type], SibSummaryParts(type)) << "SIB" << type;
    } else {
      EXPECT_EQ(SibSummaryParts(type), 0u) << "SIB" << type;
    }
  }
  EXPECT_EQ(SibSummaryParts(1000), 0u);
  EXPECT_FALSE(IsDecodedSibType(1000));
  DestroyDecoderState(state);
}

TEST(RelayPlainText, DepthIsNestingAndLinesEndInLf) {
  const std::string deep = [] {
    std::string text;
    for (int i = 0; i < 150; ++i) text += "b\r\n{\r\n";
    return text + "x = 1\r\n";
  }();
  const std::string deepPlain = [] {
    std::string text;
    for (int i = 0; i < 150; ++i)
      text += std::string(4 * i, ' ') + "b\n" + std::string(4 * i, ' ') + "{\n";
    return text + std::string(600, ' ') + "x = 1\n";
  }();
  const struct {
    const char* what;
    std::string text;
    std::string plain;
  } rows[] = {
      {"depths of the text's own",
       "A ::=\r\n{\r\n        x = 1\r\n    b\r\n    {\r\n    }\r\n}\r\n",
       "A ::=\n{\n    x = 1\n    b\n    {\n    }\n}\n"},
      {"lines ending in LF alone", "A\r\n{\r\n                y = cs-domain\n}\r\n",
       "A\n{\n    y = cs-domain\n}\n"},
      {"an indent alone is an empty line", "{\r\n        \r\n}\r\n", "{\n\n}\n"},
      {"a text cut inside a line", "A\r\n{\r\n  x = ", "A\n{\n    x = "},
      {"a brace too many stays at depth 0", "}\r\n  x\r\n", "}\nx\n"},
      {"the trailer", "}\r\n\r\n<<<-----raw data ----->>>\r\n00AA\r\n01BB",
       "}\n\n<<<-----raw data ----->>>\n00AA\n01BB"},
      {"deeper than the indentation source", deep, deepPlain},
      {"nothing", "", ""},
  };
  for (const auto& row : rows) {
    const size_t size = RelayPlainText(row.text.data(), row.text.size(), nullptr, 0);
    std::string out(size, '#');
    EXPECT_EQ(RelayPlainText(row.text.data(), row.text.size(), &out[0], size), size) << row.what;
    EXPECT_EQ(out, row.plain) << row.what;
    // Short of room by a byte: the size again, and nothing past the room.
    if (size > 0) {
      std::string shorter(size + 8, '#');
      EXPECT_EQ(RelayPlainText(row.text.data(), row.text.size(), &shorter[0], size - 1), size);
      EXPECT_EQ(shorter.substr(size - 1), std::string(9, '#')) << row.what;
    }
  }
  // At depth 0 the text only gets shorter: relaid where it stands.
  std::string trailer = rows[5].text;
  trailer.resize(RelayPlainText(trailer.data(), trailer.size(), &trailer[0], trailer.size()));
  EXPECT_EQ(trailer, rows[5].plain);
}

// The text of every model SIB in both layouts (at the latest release): the
// plain one has the same lines, each standing 4 spaces per enclosing block,
// ending in LF, its octet strings named lines holding the dump's octets.
TEST(TextLayout, PlainHasTheSameLinesByNesting) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  ASSERT_GE(samples.size(), 42u);
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);
  std::vector<char> buffer(1 << 20);
  auto text = [&](const sibtest::ModelSib& sample, TextLayout layout) {
    SetTextLayout(state, layout);
    tagSystemInformationBlock out;
    size_t textLen = 0;
    EXPECT_EQ(DecodeSib(state, sample.sibType, sample.bare.data(), sample.bare.size(), &out,
                        buffer.data(), buffer.size(), &textLen),
              kDecoded);
    return std::string(buffer.data(), textLen);
  };
  auto lines = [](const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
  };
  auto trimmed = [](std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line.substr(std::min(line.find_first_not_of(' '), line.size()));
  };
  size_t dumps = 0;
  size_t namedAlternatives = 0;
  for (const sibtest::ModelSib& sample : samples) {
    SCOPED_TRACE("SIB type " + std::to_string(sample.sibType));
    const std::vector<std::string> legacy = lines(text(sample, kTextLayoutRRCParserX));
    const std::string plainText = text(sample, kTextLayoutPlain);
    EXPECT_EQ(plainText.find('\r'), std::string::npos);
    EXPECT_EQ(plainText.find("Message dump"), std::string::npos);
    const std::vector<std::string> plain = lines(plainText);
    size_t depth = 0;
    size_t at = 0;
    for (size_t k = 0; k < legacy.size(); ++k) {
      std::string expected = trimmed(legacy[k]);
      if (expected.empty() && k + 1 < legacy.size() &&
          trimmed(legacy[k + 1]) == "Message dump (Hex):") {
        // The unnamed dump: its octets on one named line.
        std::string octets;
        for (k += 2; k < legacy.size() && !legacy[k].empty() && legacy[k][0] == '\t'; ++k) {
          for (char ch : legacy[k]) {
            if (std::isxdigit(static_cast<unsigned char>(ch))) octets += ch;
          }
        }
        --k;
        ASSERT_LT(at, plain.size());
        const std::string line = trimmed(plain[at]);
        const size_t equals = line.find(" = ");
        ASSERT_NE(equals, std::string::npos) << plain[at];
        EXPECT_GT(equals, 0u);
        std::string printed;
        for (char ch : line.substr(equals + 3)) {
          if (ch != ' ' && ch != '"') printed += ch;
        }
        EXPECT_EQ(printed, octets);
        EXPECT_EQ(plain[at].size() - line.size(), 4 * depth);
        ++at;
        ++dumps;
        continue;
      }
      ASSERT_LT(at, plain.size());
      if (expected == "}" && k > 0 && trimmed(legacy[k - 1]) == "{" && trimmed(plain[at]) != "}") {
        // A list alternative without elements: named in the plain layout only.
        const std::string line = trimmed(plain[at]);
        EXPECT_TRUE(!line.empty() && line.find(' ') == std::string::npos) << plain[at];
        EXPECT_EQ(plain[at].size() - line.size(), 4 * depth);
        ++at;
        ++namedAlternatives;
        ASSERT_LT(at, plain.size());
      }
      if (expected == "}" && depth > 0) --depth;
      EXPECT_EQ(trimmed(plain[at]), expected);
      EXPECT_EQ(plain[at].size() - expected.size(), expected.empty() ? 0 : 4 * depth) << plain[at];
      if (expected == "{") ++depth;
      ++at;
    }
    EXPECT_EQ(at, plain.size());
    EXPECT_EQ(depth, 0u);
  }
  EXPECT_GT(dumps, 0u);
  EXPECT_GT(namedAlternatives, 0u);
  DestroyDecoderState(state);
}

// Without text, a decode gives the same summary record and report, and no text.
TEST(TextLayout, NoneFillsTheRecordWithoutText) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  ASSERT_GE(samples.size(), 42u);
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);
  std::vector<char> buffer(1 << 20, '#');
  for (const sibtest::ModelSib& sample : samples) {
    SCOPED_TRACE("SIB type " + std::to_string(sample.sibType));
    tagSystemInformationBlock withText;
    tagSystemInformationBlock without;
    DecodeReport reportWith{};
    DecodeReport reportWithout{};
    reportWith.size = reportWithout.size = sizeof(DecodeReport);
    size_t textLen = 0;
    SetTextLayout(state, kTextLayoutPlain);
    ASSERT_EQ(DecodeSib(state, sample.sibType, sample.bare.data(), sample.bare.size(), &withText,
                        buffer.data(), buffer.size(), &textLen),
              kDecoded);
    ASSERT_EQ(GetDecodeReport(state, &reportWith), 1);
    SetTextLayout(state, kTextLayoutNone);
    buffer.assign(buffer.size(), '#');
    EXPECT_EQ(DecodeSib(state, sample.sibType, sample.bare.data(), sample.bare.size(), &without,
                        buffer.data(), buffer.size(), &textLen),
              kDecoded);
    EXPECT_EQ(textLen, 0u);
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(std::memcmp(&withText, &without, sizeof without), 0);
    ASSERT_EQ(GetDecodeReport(state, &reportWithout), 1);
    EXPECT_EQ(reportWith.complete, reportWithout.complete);
    EXPECT_EQ(reportWith.warningCount, reportWithout.warningCount);
    EXPECT_EQ(reportWith.endBit, reportWithout.endBit);
  }
  DestroyDecoderState(state);
}

TEST(DecodeBatch, RefusesMissingArguments) {
  DecoderState* state = CreateDecoderState();
  std::vector<uint8_t> data = CompleteSibBlock(1, 3);
  tagSystemInformationBlock out;
  size_t textLen = 0;
  char text[8];
  EXPECT_EQ(DecodeBatch(nullptr, data.data(), data.size(), &out, text, 8, &textLen),
            kNothingDecoded);
  EXPECT_EQ(DecodeBatch(state, data.data(), data.size(), nullptr, text, 8, &textLen),
            kNothingDecoded);
  EXPECT_EQ(DecodeBatch(state, data.data(), data.size(), &out, text, 8, nullptr), kNothingDecoded);
  EXPECT_EQ(DecodeBatch(state, nullptr, 31, &out, text, 8, &textLen), kNothingDecoded);
  DestroyDecoderState(state);
}

}  // namespace
}  // namespace sibdecode
