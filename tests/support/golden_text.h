// Running a bare SIB through the library and comparing its text line by line.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
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

// Decodes `bits` as a bare SIB of `sibType`; the summary record starts filled with 0xA5 so that
// the call has to clear it itself.
inline Decoded DecodeBare(unsigned sibType, const BitWriter& bits) {
  const std::vector<uint8_t> bytes = bits.Bytes();
  Decoded d;
  std::memset(&d.out, 0xA5, sizeof d.out);
  std::vector<char> text(102400 + 4096, '\0');
  size_t len = 0;
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  d.result = sibdecode::DecodeSib(state, sibType, bytes.data(), bytes.size(), &d.out, text.data(),
                                  text.size(), &len);
  sibdecode::DestroyDecoderState(state);
  if (len > text.size()) len = text.size();
  d.text.assign(text.data(), len);
  return d;
}

// Lines with their "\n" (and "\r\n") kept; a last line without one is kept too.
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

// The string in quotes with "\r" and "\n" spelled out.
inline std::string Visible(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return "\"" + out + "\"";
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

}  // namespace sibtest
