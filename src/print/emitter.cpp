// Text emitter. Each formatted write is assembled straight into the work buffer
// after checking that it fits together with its terminating NUL.
#include "print/emitter.h"

#include <climits>
#include <cstddef>
#include <cstring>
#include <initializer_list>

namespace sibdecode {

#define SIBDECODE_SPACES_4 ' ', ' ', ' ', ' '
#define SIBDECODE_SPACES_20 \
  SIBDECODE_SPACES_4, SIBDECODE_SPACES_4, SIBDECODE_SPACES_4, SIBDECODE_SPACES_4, SIBDECODE_SPACES_4
#define SIBDECODE_SPACES_80 \
  SIBDECODE_SPACES_20, SIBDECODE_SPACES_20, SIBDECODE_SPACES_20, SIBDECODE_SPACES_20

// 560 spaces, no terminator.
const char IndentSpaces[IndentSpacesSize] = {
    SIBDECODE_SPACES_80, SIBDECODE_SPACES_80, SIBDECODE_SPACES_80, SIBDECODE_SPACES_80,
    SIBDECODE_SPACES_80, SIBDECODE_SPACES_80, SIBDECODE_SPACES_80};
static_assert(sizeof(IndentSpaces) == 560, "indentation source is 560 spaces");

#undef SIBDECODE_SPACES_80
#undef SIBDECODE_SPACES_20
#undef SIBDECODE_SPACES_4

namespace {

struct Piece {
  const char* text;
  size_t length;
};

Piece Literal(const char* text) {
  return text != nullptr ? Piece{text, std::strlen(text)} : Piece{"", 0};
}

Piece Indent(int depth) {
  if (depth <= 0) return Piece{IndentSpaces, 0};
  size_t n = depth < IndentSpacesSize ? static_cast<size_t>(depth) : IndentSpacesSize;
  return Piece{IndentSpaces, n};
}

using emit_detail::CopyBytes;

int Fail(TextCursor& cursor) {
  cursor.failed = true;
  return -1;
}

// Reserves room for `length` characters plus the NUL; null when it does not fit.
char* Reserve(TextCursor& cursor, size_t length) {
  if (cursor.failed || cursor.remaining <= 0) return nullptr;
  if (length + 1 > static_cast<size_t>(cursor.remaining)) return nullptr;
  return cursor.pos;
}

int Commit(TextCursor& cursor, size_t length) {
  cursor.pos[length] = '\0';
  cursor.pos += length;
  cursor.remaining -= static_cast<int32_t>(length);
  return static_cast<int>(length);
}

// One formatted write made of the given pieces.
int Write(TextCursor& cursor, std::initializer_list<Piece> pieces) {
  size_t total = 0;
  for (const Piece& piece : pieces) total += piece.length;
  char* out = Reserve(cursor, total);
  if (out == nullptr) return Fail(cursor);
  for (const Piece& piece : pieces) {
    CopyBytes(out, piece.text, piece.length);
    out += piece.length;
  }
  return Commit(cursor, total);
}

const char kHexDigits[] = "0123456789ABCDEF";

// The eight digits '0'/'1' of every byte value, most significant bit first.
struct BitDigits {
  char digits[256][8];
  constexpr BitDigits() : digits() {
    for (int value = 0; value < 256; ++value) {
      for (int bit = 0; bit < 8; ++bit) {
        digits[value][bit] = static_cast<char>('0' + ((value >> (7 - bit)) & 1));
      }
    }
  }
};
constexpr BitDigits kBitDigits;

}  // namespace

void InitTextCursor(TextCursor& cursor, char* buffer, uint32_t size) {
  cursor.pos = buffer;
  cursor.remaining =
      size > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(size);
  cursor.failed = false;
  cursor.stopAt = nullptr;
  cursor.stopEnd = nullptr;
  cursor.release7 = false;
  cursor.plain = false;
}

int OpenBlock(TextCursor& cursor, int depth, const char* name) {
  const Piece namePiece = Literal(name);
  return OpenBlock(cursor, depth, namePiece.text, static_cast<uint32_t>(namePiece.length));
}

// The separate writes of OpenBlock, used when both lines together do not fit.
int OpenBlockWrites(TextCursor& cursor, int depth, const char* name, uint32_t nameLength) {
  const Piece indent = Indent(depth);
  int count = Write(cursor, {indent, Piece{name, nameLength}, Literal("\r\n")});
  if (count < 0) return count;
  return Write(cursor, {indent, Literal("{\r\n")});
}

int CloseBlockWrite(TextCursor& cursor, int depth) {
  return Write(cursor, {Indent(depth), Literal("}\r\n")});
}

int WriteIndent(TextCursor& cursor, int depth) { return Write(cursor, {Indent(depth)}); }

namespace {

// The digits of a bit string and its closing quote and line end.
void PutBitDigits(char* out, uint32_t bitCount, const uint8_t* bytes) {
  uint32_t i = 0;
  for (; i + 8 <= bitCount; i += 8) std::memcpy(out + i, kBitDigits.digits[bytes[i / 8]], 8);
  for (; i < bitCount; ++i) out[i] = ((bytes[i / 8] >> (7 - i % 8)) & 1u) ? '1' : '0';
  // The text carries no NUL: the three bytes are the whole write.
  std::memcpy(out + bitCount, "\"\r\n", 3);  // NOLINT(bugprone-not-null-terminated-result)
}

}  // namespace

int WriteBitString(TextCursor& cursor, const char* name, uint32_t bitCount, const uint8_t* bytes) {
  int count = Write(cursor, {Literal(name), Literal(" = \"")});
  if (count < 0) return count;
  // The digits and the closing quote form one write.
  size_t total = size_t{bitCount} + 3;
  char* out = Reserve(cursor, total);
  if (out == nullptr) return Fail(cursor);
  PutBitDigits(out, bitCount, bytes);
  return Commit(cursor, total);
}

int WriteBitStringLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                       uint32_t bitCount, const uint8_t* bytes) {
  const Piece indent = Indent(depth);
  const size_t head = indent.length + nameLength + 4;  // the indent, the name and ` = "`
  if (Reserve(cursor, head + bitCount + 3) != nullptr) {
    // The whole line fits, so its three writes would: one copy gives the same bytes.
    char* out = cursor.pos;
    CopyBytes(out, indent.text, indent.length);
    CopyBytes(out + indent.length, name, nameLength);
    // A piece of the line, which carries no NUL.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(out + indent.length + nameLength, " = \"", 4);
    PutBitDigits(out + head, bitCount, bytes);
    Commit(cursor, head + bitCount + 3);
    return static_cast<int>(bitCount + 3);
  }
  if (Write(cursor, {indent}) < 0) return -1;
  return WriteBitString(cursor, name, bitCount, bytes);
}

int WriteHexDump(TextCursor& cursor, uint32_t count, const uint8_t* bytes) {
  if (Write(cursor, {Literal("\r\nMessage dump (Hex):\r\n\t")}) < 0) return -1;
  for (uint32_t i = 0; i < count; ++i) {
    char pair[3] = {kHexDigits[bytes[i] >> 4], kHexDigits[bytes[i] & 0x0F], '\t'};
    if (Write(cursor, {Piece{pair, 3}}) < 0) return -1;
    if ((i + 1) % 10 == 0 && Write(cursor, {Literal("\r\n\t")}) < 0) return -1;
  }
  return Write(cursor, {Literal("\r\n")});
}

int WriteHexLine(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                 uint32_t count, const uint8_t* bytes) {
  const Piece indent = Indent(depth);
  const size_t head = indent.length + nameLength + 3;  // the indent, the name and " = "
  const size_t total = head + (count == 0 ? 2 : size_t{count} * 3 - 1) + 1;
  char* out = Reserve(cursor, total);
  if (out == nullptr) return Fail(cursor);
  CopyBytes(out, indent.text, indent.length);
  CopyBytes(out + indent.length, name, nameLength);
  // A piece of the line, which carries no NUL.
  // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
  std::memcpy(out + indent.length + nameLength, " = ", 3);
  char* digits = out + head;
  if (count == 0) {
    *digits++ = '"';
    *digits++ = '"';
  }
  for (uint32_t i = 0; i < count; ++i) {
    if (i > 0) *digits++ = ' ';
    *digits++ = kHexDigits[bytes[i] >> 4];
    *digits++ = kHexDigits[bytes[i] & 0x0F];
  }
  *digits = '\n';
  return Commit(cursor, total);
}

int WriteText(TextCursor& cursor, const char* text) { return Write(cursor, {Literal(text)}); }

// The separate writes of WriteLine, used when the whole line does not fit.
int WriteLineWrites(TextCursor& cursor, int depth, const char* name, uint32_t nameLength,
                    const char* tail, uint32_t tailLength, bool tailWrittenApart) {
  const Piece namePiece{name, nameLength};
  if (Write(cursor, {Indent(depth)}) < 0) return -1;
  if (!tailWrittenApart) return Write(cursor, {namePiece, Piece{tail, tailLength}});
  if (Write(cursor, {namePiece}) < 0) return -1;
  return Write(cursor, {Piece{tail, tailLength}});
}

}  // namespace sibdecode
