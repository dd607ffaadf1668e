// Running the library on a bare SIB or on BCH blocks, and comparing whole texts line by line.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sibdecode/sibdecode.h"
#include "support/bit_writer.h"

namespace sibtest {

struct Decoded {
  int result = 0;
  std::string text;
  tagSystemInformationBlock out;
};

constexpr size_t kTextCapacity = 102400 + 4096;

// A bare SIB (no BCH framing, no raw-data trailer) through DecodeSib, at Release 7 unless asked.
inline Decoded DecodeBare(unsigned sibType, const BitWriter& bits,
                          sibdecode::DecodeRelease release = sibdecode::kRelease7) {
  const std::vector<uint8_t> bytes = bits.Bytes();
  Decoded d;
  std::memset(&d.out, 0xA5, sizeof d.out);  // the call must clear the summary itself
  std::vector<char> text(kTextCapacity, '\0');
  size_t len = 0;
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  sibdecode::SetDecodeRelease(state, release);
  d.result = sibdecode::DecodeSib(state, sibType, bytes.data(), bytes.size(), &d.out, text.data(),
                                  text.size(), &len);
  sibdecode::DestroyDecoderState(state);
  if (len > text.size()) len = text.size();
  d.text.assign(text.data(), len);
  return d;
}

// BCH transport blocks through RRCParserX: result is 1 for true, 0 for false; the text includes
// the raw-data trailer.
inline Decoded ParseBlocks(std::vector<uint8_t> data) {
  Decoded d;
  std::memset(&d.out, 0xA5, sizeof d.out);
  std::vector<char> text(kTextCapacity, '\0');
  unsigned int textLen = 0;
  d.result =
      RRCParserX(data.data(), static_cast<unsigned int>(data.size()), &d.out, text.data(), textLen)
          ? 1
          : 0;
  d.text.assign(text.data(), textLen > text.size() ? text.size() : textLen);
  return d;
}

// The trailer behind the text: a blank line, the banner, then the input bytes in upper-case hex,
// 31 bytes (one block) per line.
inline std::string RawTrailer(const std::vector<uint8_t>& data) {
  std::string trailer = "\r\n<<<-----raw data ----->>>\r\n";
  char pair[3];
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0 && i % 31 == 0) trailer += "\r\n";
    std::snprintf(pair, sizeof pair, "%02X", data[i]);
    trailer += pair;
  }
  return trailer;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

inline std::string Visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return "\"" + out + "\"";
}

// `text` with its one occurrence of `from` replaced by `to` (a failure if `from` is not there
// exactly once): for expected texts that differ from a spelled-out one in a few lines.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  EXPECT_TRUE(at != std::string::npos && text.find(from, at + 1) == std::string::npos)
      << "not exactly once: " << Visible(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Exact comparison that names the first line that differs.
inline void ExpectText(const std::string& expected, const std::string& actual) {
  if (expected == actual) return;
  const std::vector<std::string> want = SplitLines(expected);
  const std::vector<std::string> got = SplitLines(actual);
  size_t i = 0;
  while (i < want.size() && i < got.size() && want[i] == got[i]) ++i;
  ADD_FAILURE() << "text differs at line " << (i + 1) << "\n  expected: "
                << (i < want.size() ? Visible(want[i]) : std::string("<end of text>"))
                << "\n  actual:   "
                << (i < got.size() ? Visible(got[i]) : std::string("<end of text>"))
                << "\n  (expected " << want.size() << " lines, got " << got.size() << ")";
}

// Line patterns for texts that hold values the decoder never reached: a pattern with one '*'
// matches a line that starts with the part before it and ends with the part after it.
inline void ExpectLinesMatch(const std::vector<std::string>& patterns, const std::string& actual) {
  const std::vector<std::string> got = SplitLines(actual);
  ASSERT_EQ(patterns.size(), got.size()) << "line count differs; text:\n" << Visible(actual);
  for (size_t i = 0; i < patterns.size(); ++i) {
    const std::string& p = patterns[i];
    const size_t star = p.find('*');
    bool ok;
    if (star == std::string::npos) {
      ok = p == got[i];
    } else {
      const std::string head = p.substr(0, star);
      const std::string tail = p.substr(star + 1);
      ok = got[i].size() >= head.size() + tail.size() &&
           got[i].compare(0, head.size(), head) == 0 &&
           got[i].compare(got[i].size() - tail.size(), tail.size(), tail) == 0;
    }
    EXPECT_TRUE(ok) << "line " << (i + 1) << "\n  pattern: " << Visible(p)
                    << "\n  actual:  " << Visible(got[i]);
  }
}

// The same with the patterns given as one text, one pattern per line.
inline void ExpectLinesMatch(const std::string& patternText, const std::string& actual) {
  ExpectLinesMatch(SplitLines(patternText), actual);
}

// The cell identities of the summary record, and zero everywhere behind them.
inline void ExpectSummary(const tagSystemInformationBlock& out, unsigned sib3Identity,
                          unsigned sib4Identity) {
  EXPECT_EQ(sib3Identity, out.sib3.cellIdentity);
  EXPECT_EQ(sib4Identity, out.sib4.cellIdentity);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&out);
  size_t nonZero = 0;
  for (size_t i = offsetof(tagSystemInformationBlock, sib11); i < sizeof out; ++i) {
    if (bytes[i] != 0) ++nonZero;
  }
  EXPECT_EQ(0u, nonZero) << "bytes of sib11 not cleared";
}

}  // namespace sibtest
