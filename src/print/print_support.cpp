#include "print/print_support.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sibdecode {

namespace {

constexpr uint32_t kElementNameLast = ElementNameSize - 1;  // the NUL's place

}  // namespace

void StartElementNames(ElementName& name, const char* listName) {
  size_t length = std::strlen(listName);
  uint32_t n = static_cast<uint32_t>(length < kElementNameLast ? length : kElementNameLast);
  std::memcpy(name.text, listName, n);
  if (n < kElementNameLast) name.text[n++] = '[';
  name.prefixLength = n;
  name.length = n;
  name.text[n] = '\0';
}

void SetElementIndex(ElementName& name, int index) {
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

int PrintHexDumpLine(TextCursor& c, int depth, uint32_t count, const uint8_t* bytes,
                     uint32_t capacity) {
  if (WriteIndent(c, depth) < 0) return -1;
  return WriteHexDump(c, count < capacity ? count : capacity, bytes);
}

}  // namespace sibdecode
