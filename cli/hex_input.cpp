// Hex text input: one batch of BCH blocks per line.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

constexpr size_t kReadSize = size_t{256} * 1024;

// What a byte of hex text is: a digit's value (0..15) or one of these.
enum : unsigned char { kSkip = 16, kComment = 17, kBad = 18 };

constexpr std::array<unsigned char, 256> MakeHexTable() {
  std::array<unsigned char, 256> table{};
  for (auto& entry : table) entry = kBad;
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<unsigned char>(c - '0');
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<unsigned char>(c - 'a' + 10);
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<unsigned char>(c - 'A' + 10);
  table[' '] = table['\t'] = table['\r'] = table['\n'] = kSkip;
  table['#'] = kComment;
  return table;
}

constexpr std::array<unsigned char, 256> kHexTable = MakeHexTable();

// Parses one line of hex text (without its line end) into bytes[0..*count).
// `bytes` holds at least size / 2 bytes. Returns false with a message in `error`.
bool ParseHexLine(const char* line, size_t size, unsigned char* bytes, size_t* count,
                  char (&error)[80]) {
  size_t n = 0;
  size_t i = 0;
  for (;;) {
    // Two digits in a row, the usual case.
    while (i + 1 < size) {
      const unsigned char high = kHexTable[static_cast<unsigned char>(line[i])];
      const unsigned char low = kHexTable[static_cast<unsigned char>(line[i + 1])];
      if ((high | low) >= 16) break;
      bytes[n++] = static_cast<unsigned char>(high << 4 | low);
      i += 2;
    }
    // Anything else, one character at a time until the next byte is complete.
    int pending = -1;
    for (; i < size; ++i) {
      const char c = line[i];
      const unsigned char value = kHexTable[static_cast<unsigned char>(c)];
      if (value == kSkip) continue;
      if (value == kComment) {
        i = size;
        break;
      }
      if (value == kBad) {
        if (c >= 0x20 && c < 0x7F) {
          std::snprintf(error, sizeof(error), "bad character '%c' in column %zu", c, i + 1);
        } else {
          std::snprintf(error, sizeof(error), "bad byte 0x%02X in column %zu",
                        static_cast<unsigned>(static_cast<unsigned char>(c)), i + 1);
        }
        return false;
      }
      if (pending < 0) {
        pending = value;
      } else {
        bytes[n++] = static_cast<unsigned char>(pending << 4 | value);
        pending = -1;
        ++i;
        break;
      }
    }
    if (pending >= 0) {
      std::snprintf(error, sizeof(error), "odd number of hex digits");
      return false;
    }
    if (i >= size) break;
  }
  *count = n;
  return true;
}

// True when the first bytes of the input hold a NUL, or more than one in
// eight bytes that are neither printable ASCII, white space nor part of a
// well-formed UTF-8 character (comments in any language are text).
bool LooksBinary(const char* data, size_t size) {
  constexpr size_t kLookAt = 4096;
  if (size > kLookAt) size = kLookAt;
  size_t odd = 0;
  for (size_t i = 0; i < size; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == 0) return true;
    if ((c >= 0x20 && c < 0x7F) || (c >= '\t' && c <= '\r')) continue;
    const size_t follow = c >= 0xC2 && c <= 0xDF   ? 1
                          : c >= 0xE0 && c <= 0xEF ? 2
                          : c >= 0xF0 && c <= 0xF4 ? 3
                                                   : 0;
    size_t k = 0;
    while (k < follow && i + 1 + k < size &&
           (static_cast<unsigned char>(data[i + 1 + k]) & 0xC0) == 0x80) {
      ++k;
    }
    if (follow > 0 && (k == follow || i + 1 + k == size)) {
      i += k;  // a character, or one cut by the end of what was looked at
      continue;
    }
    ++odd;
  }
  return odd * 8 > size;
}

}  // namespace

bool FillInput(InputFile* input) {
  if (input->atEnd) return false;
  if (input->begin > 0) {
    input->consumed += input->begin;
    std::memmove(input->data, input->data + input->begin, input->end - input->begin);
    input->end -= input->begin;
    input->begin = 0;
  }
  if (input->capacity - input->end < kReadSize / 2) {
    const size_t capacity = input->capacity == 0 ? kReadSize : input->capacity * 2;
    char* grown = static_cast<char*>(std::realloc(input->data, capacity));
    if (grown == nullptr) {
      input->noMemory = input->atEnd = true;
      return false;
    }
    input->data = grown;
    input->capacity = capacity;
  }
  ssize_t n;
  do {
    n = read(input->fd, input->data + input->end, input->capacity - input->end);
  } while (n < 0 && errno == EINTR);
  if (n <= 0) {
    input->failed = n < 0;
    input->error = n < 0 ? errno : 0;
    input->atEnd = true;
    return false;
  }
  input->end += static_cast<size_t>(n);
  return true;
}

void ReleaseInput(InputFile* input) {
  std::free(input->data);
  input->data = nullptr;
  input->begin = input->end = input->capacity = 0;
}

int ReadHex(InputFile& input, const std::string& name, const Options& options,
            BatchDecoder& decoder) {
  // Binary input (an archive, an image, a capture format not known here)
  // would give a note for nearly every line: it gets one note instead.
  if (input.begin == input.end) FillInput(&input);
  if (LooksBinary(input.data + input.begin, input.end - input.begin)) {
    Note("%s: not a capture or hex text\n", name.c_str());
    return kExitMalformed;
  }
  int status = kExitOk;
  std::vector<unsigned char> bytes;
  unsigned long lineNumber = 0;
  size_t scanned = 0;  // bytes after input.begin known to hold no line end
  for (;;) {
    // One line, whatever its length and bytes (a NUL is reported like any bad byte).
    const char* line = input.data + input.begin;
    const size_t unscanned = input.end - input.begin - scanned;
    const char* lineEnd =
        unscanned == 0 ? nullptr
                       : static_cast<const char*>(std::memchr(line + scanned, '\n', unscanned));
    if (lineEnd == nullptr) {
      scanned = input.end - input.begin;
      if (FillInput(&input)) continue;
      if (input.begin == input.end) break;
      lineEnd = input.data + input.end;  // the last line has no line end
      line = input.data + input.begin;
    }
    const bool ended = lineEnd != input.data + input.end;
    size_t size = static_cast<size_t>(lineEnd - line);
    input.begin += size + (ended ? 1 : 0);
    scanned = 0;
    ++lineNumber;
    // Editors on Windows start UTF-8 text with a byte-order mark.
    if (lineNumber == 1 && size >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0) {
      line += 3;
      size -= 3;
    }

    if (bytes.size() < size / 2) bytes.resize(size / 2);
    size_t count = 0;
    char error[80];
    if (!ParseHexLine(line, size, bytes.data(), &count, error)) {
      // The line is skipped; the lines after it are still decoded.
      Note("%s:%lu: %s\n", name.c_str(), lineNumber, error);
      status = WorseExit(status, kExitMalformed);
    } else if (count != 0) {
      status =
          WorseExit(status, DecodeAndWriteBatch(options, decoder, BatchSource{&name, lineNumber},
                                                bytes.data(), count));
    }
    ProgressUpdate(input.consumed + input.begin, decoder.sibs);
    if (!ended || OutputClosed()) break;
  }
  if (input.noMemory) {
    Note("%s:%lu: out of memory\n", name.c_str(), lineNumber + 1);
    status = WorseExit(status, kExitIo);
  } else if (input.failed) {
    Note("%s:%lu: read error: %s\n", name.c_str(), lineNumber + 1, std::strerror(input.error));
    status = WorseExit(status, kExitIo);
  }
  return status;
}

}  // namespace cli
