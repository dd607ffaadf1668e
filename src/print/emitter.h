// Text emitter: the work buffer's cursor and every line format of the rendering.
// Every write checks the space left first; a write that would not fit (with its
// terminating NUL) writes nothing and fails like a failed formatted write, and
// every later write on the same cursor fails too.
#pragma once

#include <cstdint>

namespace sibdecode {

constexpr uint32_t TextBufferSize = 102400;
constexpr int IndentSpacesSize = 560;
extern const char IndentSpaces[IndentSpacesSize];

struct TextCursor {
  char* pos;          // write position
  int32_t remaining;  // bytes left behind pos when the cursor was last advanced
  bool failed;        // a write did not fit: nothing more is written
};

void InitTextCursor(TextCursor& cursor, char* buffer, uint32_t size);

// Each returns the character count of its last formatted write, negative on failure.
int OpenBlock(TextCursor& cursor, int depth, const char* name);  // "%s%s\r\n", "%s{\r\n"
int OpenBlock(TextCursor& cursor, int depth, const char* name, uint32_t nameLength);
int OpenBlock(TextCursor& cursor, int depth, const char* name, uint32_t nameLength);
int CloseBlock(TextCursor& cursor, int depth);   // "%s}\r\n"
int WriteIndent(TextCursor& cursor, int depth);  // "%s"
int WriteBool(TextCursor& cursor, const char* name, uint8_t value);
int WriteBitString(TextCursor& cursor, const char* name, uint32_t bitCount, const uint8_t* bytes);
int WriteHexDump(TextCursor& cursor, uint32_t count, const uint8_t* bytes);
int WriteText(TextCursor& cursor, const char* text);                    // "%s"
int WriteInteger(TextCursor& cursor, const char* name, int32_t value);  // "%s = %d\r\n"

// One value line: WriteIndent, then the name and the tail as one formatted write,
// or as two when `tailWrittenApart` (the name with "%s", then the tail with "%s").
// Returns the count of the last write. The bytes, and where a full buffer cuts
// the text, are those of the separate writes.
int WriteLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
              const char* tail, uint32_t tailLength, bool tailWrittenApart);
// WriteIndent then WriteBitString, in one copy when the whole line fits.
int WriteBitStringLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                       uint32_t bitCount, const uint8_t* bytes);
// The digits of a value as "%d" writes them; returns their count (at most 11).
uint32_t FormatDecimal(char* out, int32_t value);

}  // namespace sibdecode
