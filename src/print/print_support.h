// Line printers shared by the generated type printers: each writes one value
// line at a depth and returns a negative count when a write failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "per/hot_inline.h"
#include "print/emitter.h"

// Generated printers stop at the first failed write and report -1 upwards.
#define PRINT_TRY(expr)        \
  do {                         \
    if ((expr) < 0) return -1; \
  } while (0)

namespace sibdecode {

// An enumeration's printed texts: " = identifier" with its line end, by index.
struct EnumTexts {
  const char* const* texts;
  uint32_t count;
  const char* unknown;       // " = ???" with the type's line end
  const char* const* names;  // the identifiers alone, for JSON
  const uint8_t* lengths;    // of each text
  uint8_t unknownLength;
};

// A list element's printed name, "%s[%d]" from the list's name and the index,
// cut at the area's size as a formatted write would be. The list's name and
// the "[" are set once per list, the index and "]" per element.
constexpr int ElementNameSize = 512;
struct ElementName {
  char text[ElementNameSize];
  uint32_t length;        // of the whole name
  uint32_t prefixLength;  // the list's name and "["
};
constexpr uint32_t kElementNameLast = ElementNameSize - 1;  // the NUL's place

SIBDECODE_HOT_INLINE void StartElementNames(ElementName& name, const char* listName) {
  size_t length = std::strlen(listName);
  uint32_t n = static_cast<uint32_t>(length < kElementNameLast ? length : kElementNameLast);
  std::memcpy(name.text, listName, n);
  if (n < kElementNameLast) name.text[n++] = '[';
  name.prefixLength = n;
  name.length = n;
  name.text[n] = '\0';
}

SIBDECODE_HOT_INLINE void SetElementIndex(ElementName& name, int index) {
  char digits[12];
  uint32_t digitCount;
  if (index >= 0 && index < 10) {  // lists hold at most a few dozen elements
    digits[0] = static_cast<char>('0' + index);
    digitCount = 1;
  } else {
    digitCount = FormatDecimal(digits, index);
  }
  uint32_t n = name.prefixLength;
  for (uint32_t i = 0; i < digitCount && n < kElementNameLast; ++i) name.text[n++] = digits[i];
  if (n < kElementNameLast) name.text[n++] = ']';
  name.length = n;
  name.text[n] = '\0';
}

// Each takes the name and its length (known to the generated printers). The
// value lines are inline: one copy of the whole line in the common case.
// " = ", the digits of `value` and the line end at `tail`; returns their count.
SIBDECODE_HOT_INLINE uint32_t PutIntegerTail(char* tail, int32_t value) {
  std::memcpy(tail, " = ", 3);  // NOLINT(bugprone-not-null-terminated-result)
  uint32_t n = 3 + FormatDecimal(tail + 3, value);
  tail[n++] = '\r';
  tail[n++] = '\n';
  return n;
}
SIBDECODE_HOT_INLINE int PrintIntegerLine(TextCursor& c, int depth, const char* name,
                                          uint32_t nameLength, int32_t value) {
  constexpr size_t kLongestTail = 3 + 11 + 2;  // " = ", the digits of INT32_MIN, "\r\n"
  const size_t indent = emit_detail::IndentLength(depth);
  if (emit_detail::Fits(c, indent + nameLength + kLongestTail)) {
    // Room for any value: the digits go straight into the text (a tail built
    // apart and copied would be read back right after its bytes were stored).
    const uint32_t n =
        PutIntegerTail(emit_detail::PutIndentAndName(c.pos, indent, name, nameLength), value);
    emit_detail::Advance(c, indent + nameLength + n);
    return static_cast<int>(nameLength + n);
  }
  char tail[kLongestTail];
  return WriteLine(c, depth, name, nameLength, tail, PutIntegerTail(tail, value), false);
}
// An INTEGER whose range passes INT32_MAX (0..4294967295): its digits unsigned.
int PrintUnsignedLine(TextCursor& c, int depth, const char* name, uint32_t nameLength,
                      uint32_t value);
SIBDECODE_HOT_INLINE int PrintBoolLine(TextCursor& c, int depth, const char* name,
                                       uint32_t nameLength, uint8_t value) {
  return value != 0 ? WriteLine(c, depth, name, nameLength, " = True\r\n", 9, false)
                    : WriteLine(c, depth, name, nameLength, " = False\r\n", 10, false);
}
SIBDECODE_HOT_INLINE int PrintEnumLine(TextCursor& c, int depth, const char* name,
                                       uint32_t nameLength, uint32_t value,
                                       const EnumTexts& texts) {
  if (value < texts.count) {
    return WriteLine(c, depth, name, nameLength, texts.texts[value], texts.lengths[value], true);
  }
  return WriteLine(c, depth, name, nameLength, texts.unknown, texts.unknownLength, true);
}
// A refused length can exceed the storage (`capacity` bytes); only stored bits
// and octets are ever printed.
SIBDECODE_HOT_INLINE int PrintBitStringLine(TextCursor& c, int depth, const char* name,
                                            uint32_t nameLength, uint32_t bitCount,
                                            const uint8_t* bytes, uint32_t capacity) {
  return WriteBitStringLine(c, depth, name, nameLength,
                            bitCount < capacity * 8 ? bitCount : capacity * 8, bytes);
}
// An octet string: in RRCParserX's text the indent stands alone before the
// dump's leading line break and the name is not printed; in the plain layout a
// named line.
int PrintHexDumpLine(TextCursor& c, int depth, const char* name, uint32_t nameLength,
                     uint32_t count, const uint8_t* bytes, uint32_t capacity);
// A NULL value: its name alone on a line.
SIBDECODE_HOT_INLINE int PrintNameLine(TextCursor& c, int depth, const char* name,
                                       uint32_t nameLength) {
  return WriteLine(c, depth, name, nameLength, "\r\n", 2, true);
}

}  // namespace sibdecode
