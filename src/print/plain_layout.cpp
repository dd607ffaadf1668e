#include "print/plain_layout.h"

#include <cstdint>
#include <cstring>

#include "print/emitter.h"

namespace sibdecode {

namespace {

// Past the spaces that start a line; eight at a time, most of a deep line
// of RRCParserX's text is its indentation.
const char* SkipSpaces(const char* p, const char* end) {
  constexpr uint64_t kEightSpaces = 0x2020202020202020ull;
  while (end - p >= 8) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if (word != kEightSpaces) break;
    p += 8;
  }
  while (p < end && *p == ' ') ++p;
  return p;
}

void PutSpaces(char* out, size_t n) {
  for (; n > IndentSpacesSize; n -= IndentSpacesSize, out += IndentSpacesSize) {
    std::memcpy(out, IndentSpaces, IndentSpacesSize);
  }
  emit_detail::PutIndent(out, n);
}

}  // namespace

size_t RelayPlainText(const char* text, size_t length, char* out, size_t capacity) {
  size_t written = 0;
  size_t nesting = 0;
  const bool inPlace = out == text;
  const char* end = text + length;
  for (const char* line = text; line < end;) {
    const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', end - line));
    const bool ended = lineEnd != nullptr;
    if (!ended) lineEnd = end;
    const char* content = SkipSpaces(line, lineEnd);
    const char* contentEnd = lineEnd;
    if (contentEnd > content && contentEnd[-1] == '\r') --contentEnd;
    const size_t contentLength = static_cast<size_t>(contentEnd - content);
    const bool closes = contentLength == 1 && *content == '}';
    if (closes && nesting > 0) --nesting;
    const size_t indent = contentLength == 0 ? 0 : 4 * nesting;
    const size_t lineLength = indent + contentLength + (ended ? 1 : 0);
    if (out != nullptr && written + lineLength <= capacity) {
      PutSpaces(out + written, indent);
      if (inPlace) {
        // a trailer is relaid where it stands (it only gets shorter)
        std::memmove(out + written + indent, content, contentLength);
      } else {
        emit_detail::CopyBytes(out + written + indent, content, contentLength);
      }
      if (ended) out[written + indent + contentLength] = '\n';
    }
    written += lineLength;
    if (contentLength == 1 && *content == '{') ++nesting;
    line = ended ? lineEnd + 1 : end;
  }
  return written;
}

}  // namespace sibdecode
