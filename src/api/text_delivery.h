// The last step of a call: the printed text, and its trailer, into the
// caller's buffer when they fit.
#pragma once

#include <cstddef>

namespace sibdecode {

// With printedLen 0, *textLen = 0 and kNothingDecoded; otherwise the printed
// text and the trailer (when `withTrailer`) go to `text` if they fit in
// `capacity`, else nothing is written, *textLen = bytes needed and
// kTextTooSmall.
int DeliverText(const char* printed, size_t printedLen, const unsigned char* raw, size_t rawLen,
                bool withTrailer, char* text, size_t capacity, size_t* textLen);

}  // namespace sibdecode
