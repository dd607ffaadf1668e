#include "print/print_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sibdecode {

int PrintHexDumpLine(TextCursor& c, int depth, uint32_t count, const uint8_t* bytes,
                     uint32_t capacity) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteHexDump(c, count < capacity ? count : capacity, bytes);
}

}  // namespace sibdecode
