// Text emitter: the work buffer's cursor and every line format of the rendering.
// Every write checks the space left first; a write that would not fit (with its
// terminating NUL) writes nothing and fails like a failed formatted write, and
// every later write on the same cursor fails too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "per/decode_notes.h"
#include "per/hot_inline.h"

namespace sibdecode {

constexpr uint32_t TextBufferSize = 102400;
constexpr int IndentSpacesSize = 560;
extern const char IndentSpaces[IndentSpacesSize];

struct TextCursor {
  char* pos;          // write position
  int32_t remaining;  // bytes left behind pos when the cursor was last advanced
  bool failed;        // a write did not fit: nothing more is written
  // JSON of a stopped decode: the stop path's next frame and its end (null: none).
  const StopFrame* stopAt;
  const StopFrame* stopEnd;
  // The Release 7 text: extension chains end where that release's do.
  bool release7;
  // The plain layout: an octet string is a named value line (the line ends and
  // depths are those of RRCParserX's text, relaid afterwards by RelayPlainText).
  bool plain;
};

void InitTextCursor(TextCursor& cursor, char* buffer, uint32_t size);

// Each returns the character count of its last formatted write, negative on failure.
int OpenBlock(TextCursor& cursor, int depth, const char* name);  // "%s%s\r\n", "%s{\r\n"
inline int OpenBlock(TextCursor& cursor, int depth, const char* name, uint32_t nameLength);
inline int CloseBlock(TextCursor& cursor, int depth);  // "%s}\r\n"
int WriteIndent(TextCursor& cursor, int depth);        // "%s"
int WriteBitString(TextCursor& cursor, const char* name, uint32_t bitCount, const uint8_t* bytes);
int WriteHexDump(TextCursor& cursor, uint32_t count, const uint8_t* bytes);
// "name = 3E 1C F5" (an empty string: `name = ""`), one formatted write.
int WriteHexLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                 uint32_t count, const uint8_t* bytes);
int WriteText(TextCursor& cursor, const char* text);  // "%s"

// One value line: WriteIndent, then the name and the tail as one formatted write,
// or as two when `tailWrittenApart` (the name with "%s", then the tail with "%s").
// Returns the count of the last write. The bytes, and where a full buffer cuts
// the text, are those of the separate writes.
inline int WriteLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                     const char* tail, uint32_t tailLength, bool tailWrittenApart);
// WriteIndent then WriteBitString, in one copy when the whole line fits.
int WriteBitStringLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                       uint32_t bitCount, const uint8_t* bytes);
// The digits of a value as "%d" writes them; returns their count (at most 11).
SIBDECODE_HOT_INLINE uint32_t FormatDecimal(char* out, int32_t value) {
  if (value >= 0 && value < 10) {  // most printed values
    out[0] = static_cast<char>('0' + value);
    return 1;
  }
  // Built by hand: the magnitude of INT32_MIN does not fit an int32_t.
  int64_t magnitude = value < 0 ? -static_cast<int64_t>(value) : value;
  char reversed[12];
  uint32_t length = 0;
  do {
    reversed[length++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  uint32_t n = 0;
  if (value < 0) out[n++] = '-';
  while (length > 0) out[n++] = reversed[--length];
  return n;
}

// The digits of an unsigned value; returns their count (at most 10).
inline uint32_t FormatUnsigned(char* out, uint32_t value) {
  char reversed[10];
  uint32_t length = 0;
  do {
    reversed[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  for (uint32_t n = 0; n < length; ++n) out[n] = reversed[length - 1 - n];
  return length;
}

// ---- the common case inline: the whole of a line or block fits ----
// The generated printers call these with literal names, so name lengths are
// constants there. When the buffer is nearly full, the separate writes of the
// out-of-line forms decide what is written and where the text is cut.

int OpenBlockWrites(TextCursor& cursor, int depth, const char* name, uint32_t nameLength);
int CloseBlockWrite(TextCursor& cursor, int depth);
int WriteLineWrites(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                    const char* tail, uint32_t tailLength, bool tailWrittenApart);

namespace emit_detail {

SIBDECODE_HOT_INLINE size_t IndentLength(int depth) {
  if (depth <= 0) return 0;
  return depth < IndentSpacesSize ? static_cast<size_t>(depth) : IndentSpacesSize;
}

// Room for `length` characters and the terminating NUL.
SIBDECODE_HOT_INLINE bool Fits(const TextCursor& cursor, size_t length) {
  return !cursor.failed && length < static_cast<size_t>(cursor.remaining);
}

// memcpy for the short pieces of a line, without a library call: two
// overlapping fixed-size moves cover 4 to 32 bytes, and only [src, src + n) is read.
SIBDECODE_HOT_INLINE void CopyBytes(char* dst, const char* src, size_t n) {
  if (n >= 16 && n <= 32) {
    std::memcpy(dst, src, 16);
    std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8 && n < 16) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4 && n < 8) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else if (n < 4) {
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  } else {
    std::memcpy(dst, src, n);
  }
}

// The indentation of a line: most of a deep SIB's text is spaces, so they are
// stored sixteen at a time, the last store overlapping the one before.
SIBDECODE_HOT_INLINE void PutIndent(char* out, size_t n) {
  if (n < 16) {
    if (n >= 8) {
      std::memcpy(out, IndentSpaces, 8);
      std::memcpy(out + n - 8, IndentSpaces, 8);
    } else if (n >= 4) {
      std::memcpy(out, IndentSpaces, 4);
      std::memcpy(out + n - 4, IndentSpaces, 4);
    } else {
      for (size_t i = 0; i < n; ++i) out[i] = ' ';
    }
    return;
  }
  for (size_t i = 0; i + 16 < n; i += 16) std::memcpy(out + i, IndentSpaces, 16);
  std::memcpy(out + n - 16, IndentSpaces, 16);
}

// The indentation and the name that start a line; returns where the name ends.
SIBDECODE_HOT_INLINE char* PutIndentAndName(char* out, size_t indent, const char* name,
                                            size_t nameLength) {
  PutIndent(out, indent);
  CopyBytes(out + indent, name, nameLength);
  return out + indent + nameLength;
}

SIBDECODE_HOT_INLINE int Advance(TextCursor& cursor, size_t length) {
  cursor.pos[length] = '\0';
  cursor.pos += length;
  cursor.remaining -= static_cast<int32_t>(length);
  return static_cast<int>(length);
}

}  // namespace emit_detail

SIBDECODE_HOT_INLINE int OpenBlock(TextCursor& cursor, int depth, const char* name,
                                   uint32_t nameLength) {
  const size_t indent = emit_detail::IndentLength(depth);
  const size_t nameLine = indent + nameLength + 2;
  const size_t braceLine = indent + 3;
  if (!emit_detail::Fits(cursor, nameLine + braceLine)) {
    return OpenBlockWrites(cursor, depth, name, nameLength);
  }
  // Both lines fit, so both writes would: one copy gives the same bytes.
  char* out = cursor.pos;
  char* nameEnd = emit_detail::PutIndentAndName(out, indent, name, nameLength);
  // Pieces of the line, which carries no NUL.
  std::memcpy(nameEnd, "\r\n", 2);  // NOLINT(bugprone-not-null-terminated-result)
  emit_detail::PutIndent(out + nameLine, indent);
  std::memcpy(out + nameLine + indent, "{\r\n", 3);  // NOLINT(bugprone-not-null-terminated-result)
  emit_detail::Advance(cursor, nameLine + braceLine);
  return static_cast<int>(braceLine);
}

SIBDECODE_HOT_INLINE int CloseBlock(TextCursor& cursor, int depth) {
  const size_t indent = emit_detail::IndentLength(depth);
  if (!emit_detail::Fits(cursor, indent + 3)) return CloseBlockWrite(cursor, depth);
  char* out = cursor.pos;
  emit_detail::PutIndent(out, indent);
  // A piece of the line, which carries no NUL.
  std::memcpy(out + indent, "}\r\n", 3);  // NOLINT(bugprone-not-null-terminated-result)
  return emit_detail::Advance(cursor, indent + 3);
}

SIBDECODE_HOT_INLINE int WriteLine(TextCursor& cursor, int depth, const char* name,
                                   uint32_t nameLength, const char* tail, uint32_t tailLength,
                                   bool tailWrittenApart) {
  const size_t indent = emit_detail::IndentLength(depth);
  const size_t total = indent + nameLength + tailLength;
  if (!emit_detail::Fits(cursor, total)) {
    return WriteLineWrites(cursor, depth, name, nameLength, tail, tailLength, tailWrittenApart);
  }
  // The whole line fits, so every separate write would: one copy gives the same bytes.
  emit_detail::CopyBytes(emit_detail::PutIndentAndName(cursor.pos, indent, name, nameLength), tail,
                         tailLength);
  emit_detail::Advance(cursor, total);
  return static_cast<int>(tailWrittenApart ? tailLength : nameLength + tailLength);
}

}  // namespace sibdecode
