// Value writers shared by the generated JSON printers. They write through the
// text emitter's cursor, so a JSON text has the same accounting and bounds as
// a printed one; each returns a negative count when a write failed.
#pragma once

#include <cstdint>

#include "print/emitter.h"
#include "print/print_support.h"

namespace sibdecode {

// "\"name\":", after a "," unless it is the first member of its object.
int JsonName(TextCursor& c, bool& first, const char* name);
// "\"name\":" for the one alternative of a CHOICE object.
int JsonName(TextCursor& c, const char* name);

int JsonInteger(TextCursor& c, int32_t value);
int JsonBool(TextCursor& c, uint8_t value);
int JsonNull(TextCursor& c);
// The identifier as a string; null for an index outside the enumeration.
int JsonEnum(TextCursor& c, uint32_t value, const EnumTexts& texts);
// The bits as a string of '0' and '1'; only stored bits are written.
int JsonBitString(TextCursor& c, uint32_t bitCount, const uint8_t* bytes, uint32_t capacity);
// The octets as a string of upper-case hexadecimal pairs; only stored octets.
int JsonOctets(TextCursor& c, uint32_t count, const uint8_t* bytes, uint32_t capacity);

}  // namespace sibdecode
