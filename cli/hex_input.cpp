// Hex text input: one batch of BCH blocks per line.
#include <sys/types.h>

#include <cstdio>
#include <cstdlib>

#include "inputs.h"

namespace cli {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses one line of hex text into bytes. Returns an empty message on success.
std::string ParseHexLine(const std::string& line, std::vector<unsigned char>* bytes) {
  bytes->clear();
  int pending = -1;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
    int value = HexValue(c);
    if (value < 0) {
      char message[80];
      if (c >= 0x20 && c < 0x7F) {
        std::snprintf(message, sizeof(message), "bad character '%c' in column %zu", c, i + 1);
      } else {
        std::snprintf(message, sizeof(message), "bad byte 0x%02X in column %zu",
                      static_cast<unsigned>(static_cast<unsigned char>(c)), i + 1);
      }
      return message;
    }
    if (pending < 0) {
      pending = value;
    } else {
      bytes->push_back(static_cast<unsigned char>(pending * 16 + value));
      pending = -1;
    }
  }
  if (pending >= 0) return "odd number of hex digits";
  return std::string();
}

}  // namespace

int ReadHex(std::FILE* file, const std::string& name, const Options& options,
            BatchDecoder& decoder) {
  int status = kExitOk;
  std::string line;
  std::vector<unsigned char> bytes;
  unsigned long lineNumber = 0;
  char* buffer = nullptr;
  size_t capacity = 0;
  for (;;) {
    // One line, whatever its length and bytes (a NUL is reported like any bad byte).
    const ssize_t read = getline(&buffer, &capacity, file);
    if (read <= 0) break;
    line.assign(buffer, static_cast<size_t>(read));
    const bool ended = line.back() == '\n';
    if (ended) line.pop_back();
    ++lineNumber;
    std::string error = ParseHexLine(line, &bytes);
    std::string where = name + ":" + std::to_string(lineNumber);
    if (!error.empty()) {
      // The line is skipped; the lines after it are still decoded.
      std::fprintf(stderr, "%s: %s\n", where.c_str(), error.c_str());
      status = WorseExit(status, kExitMalformed);
    } else if (!bytes.empty()) {
      DecodeAndWriteBatch(options, decoder, where, bytes);
    }
    if (!ended) break;  // the last line had no line end
  }
  std::free(buffer);
  if (std::ferror(file)) {
    std::fprintf(stderr, "%s:%lu: read error\n", name.c_str(), lineNumber + 1);
    status = WorseExit(status, kExitIo);
  }
  return status;
}

}  // namespace cli
