// sibdecode: decodes BCH captures (hex text or raw binary) with libsibdecode
// and prints the text of every batch that yields a SIB.
#include <sibdecode/sibdecode.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "json_output.h"

namespace {

const char kUsage[] =
    "usage: sibdecode [--bin] [--summary] [--json] [--sib N] [FILE...]\n"
    "\n"
    "Decodes TD-SCDMA broadcast system information from BCH transport blocks.\n"
    "Reads each FILE (or standard input when there is none or FILE is '-').\n"
    "\n"
    "Input, by default: hex text, one batch of 31-byte BCH blocks per line.\n"
    "Spaces and tabs between digits are allowed, '#' starts a comment, blank\n"
    "lines are skipped.\n"
    "\n"
    "  --bin       the whole file is one batch of raw bytes\n"
    "  --summary   after each batch print the summary record (cell identities,\n"
    "              neighbour-cell lists)\n"
    "  --json      write one JSON object per decoded SIB, one per line: the SIB\n"
    "              type, its source, the summary record and the decoded value\n"
    "  --sib N     each line (or the whole file with --bin) is a bare SIB of\n"
    "              type N (0..31), without BCH framing; no raw-data trailer\n"
    "  --help      this text\n"
    "\n"
    "The decoded text goes to standard output exactly as the library returns it\n"
    "(\\r\\n line ends). A batch that yields no text gets a one-line note on\n"
    "standard error. Exit status: 0 when all input was read, 1 when a file\n"
    "cannot be read, 2 on malformed hex or bad arguments.\n";

struct Options {
  bool binary = false;
  bool summary = false;
  bool json = false;
  bool bareSib = false;
  unsigned int sibType = 0;
  std::vector<std::string> files;
};

enum Exit { kExitOk = 0, kExitIo = 1, kExitUsage = 2 };

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

void PrintSummary(const tagSystemInformationBlock& out) {
  std::printf("summary: sib3.cellIdentity = %u, sib4.cellIdentity = %u\n", out.sib3.cellIdentity,
              out.sib4.cellIdentity);
  const tagSystemInformationBlockType11& lists = out.sib11;
  std::printf("  intraFreqCells: %u\n", lists.intraFreqCellCount);
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    std::printf("    [%u] intraFreqCellID = %d, cellParametersID = %d\n", k,
                lists.intraFreqCells[k].intraFreqCellID, lists.intraFreqCells[k].cellParametersID);
  }
  std::printf("  interFreqCells: %u\n", lists.interFreqCellCount);
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    std::printf("    [%u] interFreqCellID = %d, uarfcn_Nt = %d, cellParametersID = %d\n", k,
                lists.interFreqCells[k].interFreqCellID, lists.interFreqCells[k].uarfcn_Nt,
                lists.interFreqCells[k].cellParametersID);
  }
  std::printf("  interRATCells: %u\n", lists.interRATCellCount);
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    std::printf("    [%u] interRATCellID = %d, bcch_ARFCN = %d, bsic = %d\n", k,
                lists.interRATCells[k].interRATCellID, lists.interRATCells[k].bcch_ARFCN,
                lists.interRATCells[k].bsic);
  }
}

class Decoder {
 public:
  explicit Decoder(const Options& options)
      : options_(options), state_(sibdecode::CreateDecoderState()) {}
  ~Decoder() { sibdecode::DestroyDecoderState(state_); }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // Decodes one batch (or one bare SIB) and prints the outcome.
  void Run(const std::string& where, const std::vector<unsigned char>& bytes) {
    tagSystemInformationBlock out;
    std::vector<char> text(sibdecode::MaxTextSize(bytes.size()));
    size_t textLen = 0;
    int result;
    unsigned int sibType = options_.sibType;
    do {  // a text longer than the usual buffer comes whole on the second call
      if (textLen > text.size()) text.resize(textLen);
      if (options_.bareSib && options_.json) {
        result = sibdecode::DecodeSibJson(state_, options_.sibType, bytes.data(), bytes.size(),
                                          &out, text.data(), text.size(), &textLen);
      } else if (options_.bareSib) {
        result = sibdecode::DecodeSib(state_, options_.sibType, bytes.data(), bytes.size(), &out,
                                      text.data(), text.size(), &textLen);
      } else if (options_.json) {
        result = sibdecode::DecodeBatchJson(state_, bytes.data(), bytes.size(), &out, text.data(),
                                            text.size(), &textLen, &sibType);
      } else {
        result = sibdecode::DecodeBatch(state_, bytes.data(), bytes.size(), &out, text.data(),
                                        text.size(), &textLen);
      }
    } while (result == sibdecode::kTextTooSmall && textLen > text.size());
    if (result == sibdecode::kDecoded && options_.json) {
      cli::JsonOrigin origin;
      origin.source = where;
      cli::WriteJsonLine(stdout, sibType, origin, out, text.data(), textLen);
      std::fflush(stdout);
      return;  // the summary record is part of the object
    }
    if (result == sibdecode::kDecoded) {
      std::fwrite(text.data(), 1, textLen, stdout);
      std::fputs("\r\n", stdout);
    } else if (result == sibdecode::kTextTooSmall) {
      std::fprintf(stderr, "%s: text needs %zu bytes, more than expected\n", where.c_str(),
                   textLen);
    } else {
      std::fprintf(stderr, "%s: nothing decoded\n", where.c_str());
    }
    if (options_.summary) PrintSummary(out);
    std::fflush(stdout);
  }

 private:
  const Options& options_;
  sibdecode::DecoderState* state_;
};

int ProcessText(std::FILE* file, const std::string& name, Decoder& decoder) {
  std::string line;
  std::vector<unsigned char> bytes;
  unsigned long lineNumber = 0;
  for (;;) {
    line.clear();
    int c;
    while ((c = std::fgetc(file)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) break;
    ++lineNumber;
    std::string error = ParseHexLine(line, &bytes);
    std::string where = name + ":" + std::to_string(lineNumber);
    if (!error.empty()) {
      std::fprintf(stderr, "%s: %s\n", where.c_str(), error.c_str());
      return kExitUsage;
    }
    if (!bytes.empty()) decoder.Run(where, bytes);
    if (c == EOF) break;
  }
  if (std::ferror(file)) {
    std::fprintf(stderr, "%s: read error\n", name.c_str());
    return kExitIo;
  }
  return kExitOk;
}

int ProcessBinary(std::FILE* file, const std::string& name, Decoder& decoder) {
  std::vector<unsigned char> bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  if (std::ferror(file)) {
    std::fprintf(stderr, "%s: read error\n", name.c_str());
    return kExitIo;
  }
  decoder.Run(name, bytes);
  return kExitOk;
}

// Returns -1 to go on, or the exit status.
int ParseArguments(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--bin") {
      options->binary = true;
    } else if (arg == "--summary") {
      options->summary = true;
    } else if (arg == "--json") {
      options->json = true;
    } else if (arg == "--sib") {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "sibdecode: --sib needs a SIB type (0..31)\n");
        return kExitUsage;
      }
      char* end = nullptr;
      errno = 0;
      unsigned long type = std::strtoul(argv[++i], &end, 10);
      if (errno != 0 || end == argv[i] || *end != '\0' || type > 31) {
        std::fprintf(stderr, "sibdecode: bad SIB type '%s' (0..31)\n", argv[i]);
        return kExitUsage;
      }
      options->bareSib = true;
      options->sibType = static_cast<unsigned int>(type);
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "sibdecode: unknown option '%s' (see --help)\n", arg.c_str());
      return kExitUsage;
    } else {
      options->files.push_back(arg);
    }
  }
  if (options->files.empty()) options->files.push_back("-");
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  int status = ParseArguments(argc, argv, &options);
  if (status >= 0) return status;

  Decoder decoder(options);
  for (const std::string& path : options.files) {
    bool isStdin = path == "-";
    std::FILE* file = isStdin ? stdin : std::fopen(path.c_str(), options.binary ? "rb" : "r");
    if (file == nullptr) {
      std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
      return kExitIo;
    }
    std::string name = isStdin ? "<stdin>" : path;
    status = options.binary ? ProcessBinary(file, name, decoder) : ProcessText(file, name, decoder);
    if (!isStdin) std::fclose(file);
    if (status != kExitOk) return status;
  }
  // Output that could not be written (a full disk, a closed pipe) is a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "sibdecode: cannot write the output\n");
    return kExitIo;
  }
  return kExitOk;
}
