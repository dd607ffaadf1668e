// A small JSON reader for the survey: it reads the library's JSON of a SIB
// (or a caller's copy of it) into a tree the survey walks by member name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sibdecode {

struct JsonNode {
  enum Kind { kNull, kBool, kInteger, kOtherNumber, kString, kArray, kObject };
  Kind kind = kNull;
  bool boolean = false;
  int64_t integer = 0;
  std::string text;                                       // kString
  std::vector<JsonNode> items;                            // kArray
  std::vector<std::pair<std::string, JsonNode>> members;  // kObject, in order

  // The member named `name` of an object; null for anything else.
  const JsonNode* Member(const char* name) const;
  // The first member named `name` found depth-first under this node (itself excluded).
  const JsonNode* Find(const char* name) const;
  bool IsInteger() const { return kind == kInteger; }
};

// Reads one JSON value from text[0 .. len), leading and trailing white space
// allowed. False for anything else, a value nested deeper than kMaxJsonDepth
// or a number outside int64 (taken as kOtherNumber). Never throws but for the
// heap running out (std::bad_alloc), which the callers catch.
constexpr int kMaxJsonDepth = 256;
// The value of a hex digit, or -1.
int HexDigit(char c);
bool ReadJson(const char* text, size_t len, JsonNode* out);

}  // namespace sibdecode
