#include "print/print_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sibdecode {

int PrintHexDumpLine(TextCursor& c, int depth, const char* name, uint32_t nameLength,
                     uint32_t count, const uint8_t* bytes, uint32_t capacity) {
  if (count > capacity) count = capacity;
  if (c.plain) return WriteHexLine(c, depth, name, nameLength, count, bytes);
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteHexDump(c, count, bytes);
}

int PrintUnsignedLine(TextCursor& c, int depth, const char* name, uint32_t nameLength,
                      uint32_t value) {
  char tail[3 + 10 + 2];
  std::memcpy(tail, " = ", 3);  // NOLINT(bugprone-not-null-terminated-result)
  uint32_t n = 3 + FormatUnsigned(tail + 3, value);
  tail[n++] = '\r';
  tail[n++] = '\n';
  return WriteLine(c, depth, name, nameLength, tail, n, false);
}

}  // namespace sibdecode
