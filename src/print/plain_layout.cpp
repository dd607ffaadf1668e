#include "print/plain_layout.h"

#include <cstring>

#include "print/emitter.h"

namespace sibdecode {

size_t RelayPlainText(const char* text, size_t length, char* out) {
  size_t written = 0;
  size_t nesting = 0;
  const char* end = text + length;
  for (const char* line = text; line < end;) {
    const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', end - line));
    const bool ended = lineEnd != nullptr;
    if (!ended) lineEnd = end;
    const char* content = line;
    while (content < lineEnd && *content == ' ') ++content;
    const char* contentEnd = lineEnd;
    if (contentEnd > content && contentEnd[-1] == '\r') --contentEnd;
    const size_t contentLength = static_cast<size_t>(contentEnd - content);
    const bool closes = contentLength == 1 && *content == '}';
    if (closes && nesting > 0) --nesting;
    const size_t indent = contentLength == 0 ? 0 : 4 * nesting;
    if (out != nullptr) {
      for (size_t done = 0; done < indent;) {
        const size_t n = indent - done < IndentSpacesSize ? indent - done : IndentSpacesSize;
        std::memcpy(out + written + done, IndentSpaces, n);
        done += n;
      }
      // memmove: a trailer is relaid where it stands (it only gets shorter)
      std::memmove(out + written + indent, content, contentLength);
      if (ended) out[written + indent + contentLength] = '\n';
    }
    written += indent + contentLength + (ended ? 1 : 0);
    if (contentLength == 1 && *content == '{') ++nesting;
    line = ended ? lineEnd + 1 : end;
  }
  return written;
}

}  // namespace sibdecode
