// The raw-data trailer that follows a SIB's text: the input bytes in hex.
#pragma once

#include <cstddef>

namespace sibdecode {

// Bytes of "\r\n<<<-----raw data ----->>>\r\n" and the input bytes as %02X
// pairs, with "\r\n" before every byte whose index is a non-zero multiple of 31.
size_t RawTrailerSize(size_t len);
// Writes the trailer's RawTrailerSize(len) bytes at out; returns the end.
char* WriteRawTrailer(char* out, const unsigned char* data, size_t len);

}  // namespace sibdecode
