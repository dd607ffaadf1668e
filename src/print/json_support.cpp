#include "print/json_support.h"

namespace sibdecode {

int JsonName(TextCursor& c, bool& first, const char* name) {
  if (!first && WriteText(c, ",") < 0) return -1;
  first = false;
  return JsonName(c, name);
}

int JsonName(TextCursor& c, const char* name) {
  if (WriteText(c, "\"") < 0 || WriteText(c, name) < 0) return -1;
  return WriteText(c, "\":");
}

int JsonInteger(TextCursor& c, int32_t value) {
  char digits[12];
  const uint32_t n = FormatDecimal(digits, value);
  digits[n] = '\0';
  return WriteText(c, digits);
}

int JsonUnsigned(TextCursor& c, uint32_t value) {
  char digits[11];
  const uint32_t n = FormatUnsigned(digits, value);
  digits[n] = '\0';
  return WriteText(c, digits);
}

int JsonBool(TextCursor& c, uint8_t value) { return WriteText(c, value != 0 ? "true" : "false"); }

int JsonNull(TextCursor& c) { return WriteText(c, "null"); }

int JsonEnum(TextCursor& c, uint32_t value, const EnumTexts& texts) {
  if (value >= texts.count) return JsonNull(c);
  if (WriteText(c, "\"") < 0 || WriteText(c, texts.names[value]) < 0) return -1;
  return WriteText(c, "\"");
}

int JsonBitString(TextCursor& c, uint32_t bitCount, const uint8_t* bytes, uint32_t capacity) {
  if (bitCount > capacity * 8) bitCount = capacity * 8;
  if (WriteText(c, "\"") < 0) return -1;
  char digits[65];
  for (uint32_t start = 0; start < bitCount; start += 64) {
    uint32_t n = 0;
    for (uint32_t i = start; i < bitCount && n < 64; ++i, ++n) {
      digits[n] = ((bytes[i / 8] >> (7 - i % 8)) & 1u) ? '1' : '0';
    }
    digits[n] = '\0';
    if (WriteText(c, digits) < 0) return -1;
  }
  return WriteText(c, "\"");
}

int JsonOctets(TextCursor& c, uint32_t count, const uint8_t* bytes, uint32_t capacity) {
  static const char kHex[] = "0123456789ABCDEF";
  if (count > capacity) count = capacity;
  if (WriteText(c, "\"") < 0) return -1;
  for (uint32_t i = 0; i < count; ++i) {
    const char pair[3] = {kHex[bytes[i] >> 4], kHex[bytes[i] & 0x0F], '\0'};
    if (WriteText(c, pair) < 0) return -1;
  }
  return WriteText(c, "\"");
}

}  // namespace sibdecode
