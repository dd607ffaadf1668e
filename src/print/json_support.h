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
int JsonUnsigned(TextCursor& c, uint32_t value);  // an INTEGER whose range passes INT32_MAX
int JsonBool(TextCursor& c, uint8_t value);
int JsonNull(TextCursor& c);
// The identifier as a string; null for an index outside the enumeration.
int JsonEnum(TextCursor& c, uint32_t value, const EnumTexts& texts);
// The bits as a string of '0' and '1'; only stored bits are written.
int JsonBitString(TextCursor& c, uint32_t bitCount, const uint8_t* bytes, uint32_t capacity);
// The octets as a string of upper-case hexadecimal pairs; only stored octets.
int JsonOctets(TextCursor& c, uint32_t count, const uint8_t* bytes, uint32_t capacity);

// ---- a stopped decode: its stop path, outermost frame first, rides on the cursor ----

// The stop frame of the value about to be written (null when it is not on the
// stop path); the values inside it see none unless EnterStopFrame passes one on.
inline const StopFrame* TakeStopFrame(TextCursor& c) {
  const StopFrame* frame = c.stopAt;
  c.stopAt = nullptr;
  return frame;
}

// Members (or list elements) decoded whole before the stop; all of them off the path.
inline uint32_t MembersReached(const StopFrame* frame) {
  if (frame == nullptr) return UINT32_MAX;
  return frame->member == kStopBeforeMembers ? 0 : frame->member;
}

// True when the decode stopped inside member `member` after reaching part of
// it: that member is written next, as far as the decode got.
inline bool EnterStopFrame(TextCursor& c, const StopFrame* frame, uint32_t member) {
  if (frame == nullptr || frame->member != member || frame + 1 >= c.stopEnd) return false;
  c.stopAt = frame + 1;
  return true;
}

}  // namespace sibdecode
