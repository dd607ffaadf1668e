#include "api/text_delivery.h"

#include <cstring>

#include "api/raw_trailer.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

int DeliverText(const char* printed, size_t printedLen, const unsigned char* raw, size_t rawLen,
                bool withTrailer, char* text, size_t capacity, size_t* textLen) {
  if (printedLen == 0) {
    *textLen = 0;
    return kNothingDecoded;
  }
  const size_t needed = printedLen + (withTrailer ? RawTrailerSize(rawLen) : 0);
  if (text == nullptr || needed > capacity) {
    *textLen = needed;
    return kTextTooSmall;
  }
  std::memcpy(text, printed, printedLen);
  if (withTrailer) WriteRawTrailer(text + printedLen, raw, rawLen);
  *textLen = needed;
  return kDecoded;
}

}  // namespace sibdecode
