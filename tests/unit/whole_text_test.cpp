// Texts longer than the 102400-byte work buffer: RRCParserX cuts them at the
// last whole write, the reentrant API and bare-SIB decoding deliver them whole.
// The input is a valid SIB5 (long PRACH and SCCPCH lists) in 12 BCH blocks.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "api/entry.h"
#include "print/emitter.h"
#include "support/bch_blocks.h"

namespace sibdecode {
namespace {

std::vector<unsigned char> ReadHexBatch(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  std::vector<unsigned char> bytes;
  std::string digits;
  for (char c : line) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits.push_back(c);
  }
  for (size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Lines that hold `content` after their indent ("\n" ends enumeration lines).
size_t CountLines(const std::string& text, const std::string& content) {
  size_t count = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) break;
    size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
    size_t first = text.find_first_not_of(' ', start);
    if (first < stop && text.compare(first, stop - first, content) == 0) ++count;
    start = end + 1;
  }
  return count;
}

TEST(WholeText, LongerThanTheWorkBufferComesWholeFromTheReentrantApi) {
  const std::vector<unsigned char> data =
      ReadHexBatch(std::string(SIBDECODE_TEST_DATA_DIR) + "/sib5_long_text.hex");
  ASSERT_EQ(data.size(), 12u * 31u);
  const std::string trailer = sibtest::RawTrailer(data.data(), data.size());

  // RRCParserX: the text stops at the last whole write inside the work buffer.
  std::vector<char> hostText(MaxTextSize(data.size()), '\0');
  tagSystemInformationBlock out;
  unsigned int hostLen = 0;
  ASSERT_TRUE(RRCParserX(const_cast<unsigned char*>(data.data()),
                         static_cast<unsigned int>(data.size()), &out, hostText.data(), hostLen));
  ASSERT_GT(hostLen, trailer.size());
  const std::string cut(hostText.data(), hostLen - trailer.size());
  EXPECT_EQ(std::string(hostText.data() + cut.size(), trailer.size()), trailer);
  EXPECT_LT(cut.size(), size_t{TextBufferSize});
  EXPECT_GT(cut.size(), size_t{TextBufferSize} - 200);

  // DecodeBatch with RRCParserX's buffer: too small, nothing written, size told.
  DecoderState* state = CreateDecoderState();
  std::vector<char> small(MaxTextSize(data.size()), '\x7E');
  size_t needed = 0;
  ASSERT_EQ(DecodeBatch(state, data.data(), data.size(), &out, small.data(), small.size(), &needed),
            kTextTooSmall);
  EXPECT_GT(needed, small.size());
  EXPECT_EQ(std::string(small.begin(), small.end()), std::string(small.size(), '\x7E'));

  // With the size it asked for: the whole text, the cut one its beginning.
  std::vector<char> text(needed + 16, '\x7E');
  size_t textLen = 0;
  ASSERT_EQ(DecodeBatch(state, data.data(), data.size(), &out, text.data(), needed, &textLen),
            kDecoded);
  ASSERT_EQ(textLen, needed);
  EXPECT_EQ(std::string(text.data() + needed, 16), std::string(16, '\x7E'));
  const std::string whole(text.data(), textLen - trailer.size());
  EXPECT_EQ(whole.compare(0, cut.size(), cut), 0);
  EXPECT_EQ(std::string(text.data() + whole.size(), trailer.size()), trailer);
  EXPECT_EQ(whole.compare(0, 19, "SysInfoType5 ::=\r\n{"), 0);
  EXPECT_EQ(whole.substr(whole.size() - 3), "}\r\n");
  EXPECT_EQ(CountLines(whole, "{"), CountLines(whole, "}"));

  // The same SIB bare: the same text without the trailer.
  uint32_t sibType = 0;
  std::vector<uint8_t> packed;
  ResetForCall(*state, &out);
  ASSERT_TRUE(ReassembleBatch(*state, data.data(), data.size(), &sibType, &packed));
  ASSERT_EQ(sibType, 5u);
  std::vector<char> bare(whole.size());
  size_t bareLen = 0;
  ASSERT_EQ(
      DecodeSib(state, 5, packed.data(), packed.size(), &out, bare.data(), bare.size(), &bareLen),
      kDecoded);
  EXPECT_EQ(std::string(bare.data(), bareLen), whole);
  DestroyDecoderState(state);
}

}  // namespace
}  // namespace sibdecode
