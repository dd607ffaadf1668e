#include "options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace cli {

namespace {

const char kUsage[] =
    "usage: sibdecode [--bin] [--summary] [--json] [--sib N] [FILE...]\n"
    "\n"
    "Decodes TD-SCDMA broadcast system information from BCH transport blocks.\n"
    "Reads each FILE (or standard input when there is none or FILE is '-').\n"
    "\n"
    "Input, by default: hex text, one batch of 31-byte BCH blocks per line.\n"
    "Spaces and tabs between digits are allowed, '#' starts a comment, blank\n"
    "lines are skipped. A FILE that starts with a pcap or pcapng magic number\n"
    "is read as a capture: its GSMTAP UMTS RRC BCCH-BCH packets (UDP port 4729)\n"
    "are grouped per cell by ARFCN and every SIB is decoded as soon as all its\n"
    "segments are there, after a '#' line with its frames, ARFCN and time.\n"
    "\n"
    "  --bin       the whole file is one batch of raw bytes\n"
    "  --summary   after each SIB print the summary record (cell identities,\n"
    "              neighbour-cell lists)\n"
    "  --json      one JSON object per decoded SIB, one per line: the SIB type,\n"
    "              its source (and frames and ARFCN for captures), the summary\n"
    "              record and the decoded value\n"
    "  --sib N     each line (or the whole file with --bin) is a bare SIB of\n"
    "              type N (0..31), without BCH framing; no raw-data trailer\n"
    "  --help      this text\n"
    "\n"
    "The decoded text goes to standard output exactly as the library returns it\n"
    "(\\r\\n line ends). A batch that yields no text gets a one-line note on\n"
    "standard error. Errors are reported one per line and the rest of the input\n"
    "is still decoded. Exit status: 0 when all input was read, 1 when a file or\n"
    "capture cannot be read or is truncated, 2 on malformed hex, a capture\n"
    "packet of the wrong size or bad arguments.\n";

}  // namespace

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
        return kExitMalformed;
      }
      char* end = nullptr;
      errno = 0;
      unsigned long type = std::strtoul(argv[++i], &end, 10);
      if (errno != 0 || end == argv[i] || *end != '\0' || type > 31) {
        std::fprintf(stderr, "sibdecode: bad SIB type '%s' (0..31)\n", argv[i]);
        return kExitMalformed;
      }
      options->bareSib = true;
      options->sibType = static_cast<unsigned int>(type);
    } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
      std::fprintf(stderr, "sibdecode: unknown option '%s' (see --help)\n", arg.c_str());
      return kExitMalformed;
    } else {
      options->files.push_back(arg);
    }
  }
  if (options->files.empty()) options->files.push_back("-");
  return -1;
}

}  // namespace cli
