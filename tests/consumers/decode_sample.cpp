// A program outside the project that uses an installed sibdecode: decodes a
// hex capture (one batch of BCH blocks per line, '#' comments, blank lines
// skipped) with both entry points and writes each text followed by "\r\n",
// as the sibdecode tool does. Exit status 1 when the two entry points
// disagree, 2 for malformed hex, 3 when the file cannot be read.
#include <sibdecode/sibdecode.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexLine(const std::string& line, std::vector<unsigned char>* bytes) {
  bytes->clear();
  int pending = -1;
  for (char c : line) {
    if (c == '#') break;
    if (c == ' ' || c == '\t' || c == '\r') continue;
    int value = HexValue(c);
    if (value < 0) return false;
    if (pending < 0) {
      pending = value;
    } else {
      bytes->push_back(static_cast<unsigned char>(pending * 16 + value));
      pending = -1;
    }
  }
  return pending < 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s SAMPLE_HEX\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    std::fprintf(stderr, "%s: cannot open\n", argv[1]);
    return 3;
  }
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  int status = 0;
  std::string line;
  std::vector<unsigned char> bytes;
  for (unsigned long lineNumber = 1; status == 0 && std::getline(in, line); ++lineNumber) {
    if (!ParseHexLine(line, &bytes)) {
      std::fprintf(stderr, "%s:%lu: malformed hex\n", argv[1], lineNumber);
      status = 2;
      break;
    }
    if (bytes.empty()) continue;

    // The reentrant entry point with this program's own state.
    std::vector<char> text(sibdecode::MaxTextSize(bytes.size()));
    tagSystemInformationBlock out;
    std::memset(&out, 0x5A, sizeof(out));
    size_t textLen = 0;
    int result = sibdecode::DecodeBatch(state, bytes.data(), bytes.size(), &out, text.data(),
                                        text.size(), &textLen);

    // The process-wide entry point on the same batch.
    std::vector<char> frameText(text.size());
    tagSystemInformationBlock frameOut;
    std::memset(&frameOut, 0x5A, sizeof(frameOut));
    unsigned int frameTextLen = 0;
    bool decoded = RRCParserX(bytes.data(), static_cast<unsigned int>(bytes.size()), &frameOut,
                              frameText.data(), frameTextLen);

    if (decoded != (result == sibdecode::kDecoded) || frameTextLen != textLen ||
        std::memcmp(frameText.data(), text.data(), textLen) != 0 ||
        std::memcmp(&frameOut, &out, sizeof(out)) != 0) {
      std::fprintf(stderr, "%s:%lu: RRCParserX and DecodeBatch disagree\n", argv[1], lineNumber);
      status = 1;
      break;
    }
    if (result == sibdecode::kDecoded) {
      std::fwrite(text.data(), 1, textLen, stdout);
      std::fputs("\r\n", stdout);
    } else {
      std::fprintf(stderr, "%s:%lu: nothing decoded\n", argv[1], lineNumber);
    }
  }
  sibdecode::DestroyDecoderState(state);
  return status;
}
