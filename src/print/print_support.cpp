#include "print/print_support.h"

#include <cstdio>

namespace sibdecode {

void FormatElementName(char (&out)[ElementNameSize], const char* listName, int index) {
  std::snprintf(out, sizeof out, "%s[%d]", listName, index);
}

int PrintIntegerLine(TextCursor& c, int depth, const char* name, int32_t value) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteInteger(c, name, value);
}

int PrintBoolLine(TextCursor& c, int depth, const char* name, uint8_t value) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteBool(c, name, value);
}

int PrintEnumLine(TextCursor& c, int depth, const char* name, uint32_t value,
                  const EnumTexts& texts) {
  if (WriteIndent(c, depth) < 0 || WriteText(c, name) < 0) return -1;
  return WriteText(c, value < texts.count ? texts.texts[value] : texts.unknown);
}

int PrintBitStringLine(TextCursor& c, int depth, const char* name, uint32_t bitCount,
                       const uint8_t* bytes, uint32_t capacity) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteBitString(c, name, bitCount < capacity * 8 ? bitCount : capacity * 8, bytes);
}

int PrintHexDumpLine(TextCursor& c, int depth, uint32_t count, const uint8_t* bytes,
                     uint32_t capacity) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteHexDump(c, count < capacity ? count : capacity, bytes);
}

int PrintNameLine(TextCursor& c, int depth, const char* name) {
  if (WriteIndent(c, depth) < 0 || WriteText(c, name) < 0) return -1;
  return WriteText(c, "\r\n");
}

}  // namespace sibdecode
