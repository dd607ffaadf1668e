#include "options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sibdecode/sibdecode.h"

#ifndef SIBDECODE_VERSION
#define SIBDECODE_VERSION "unknown"
#endif

namespace cli {

namespace {

const char kUsage[] =
    "usage: sibdecode [OPTION...] [FILE...]\n"
    "       sibdecode --listen [[ADDR:]PORT] [OPTION...]\n"
    "\n"
    "Decodes TD-SCDMA broadcast system information from BCH transport blocks.\n"
    "Reads each FILE (or standard input when there is none or FILE is '-').\n"
    "\n"
    "Input, by default: hex text, one batch of 31-byte BCH blocks per line.\n"
    "Spaces and tabs between digits are allowed, '#' starts a comment, blank\n"
    "lines are skipped. A FILE that starts with a pcap or pcapng magic number\n"
    "(also compressed with gzip, xz or zstd) is read as a capture whatever the\n"
    "options (--sib refuses it): its GSMTAP UMTS RRC BCCH-BCH packets (UDP port\n"
    "4729) are grouped per cell by ARFCN and every SIB is decoded as soon as all\n"
    "its segments are there, after a '#' line with its frames, ARFCN and time.\n"
    "\n"
    "  --listen [[ADDR:]PORT]  receive GSMTAP over UDP (default 127.0.0.1:4729;\n"
    "              IPv6 as [ADDR]:PORT) and decode as packets arrive, until\n"
    "              Ctrl-C (SIGINT) or SIGTERM; a second Ctrl-C ends at once.\n"
    "              On a terminal a status line (packets, SIBs, skipped)\n"
    "              is redrawn every second (not when the SIBs go into a pipe)\n"
    "  --write FILE.pcap  with --listen: keep the packets received as a pcap\n"
    "              (written as they come), to be read again later\n"
    "  --status    with --listen: the status line every second also when\n"
    "              the output is a pipe or a file\n"
    "  --bin       the whole file is one batch of raw bytes\n"
    "  --summary   after each SIB print the summary record (cell identities,\n"
    "              neighbour-cell lists)\n"
    "  --json      one JSON object per decoded SIB, one per line (the SIB\n"
    "              record of docs/records.md): type, type_number, source,\n"
    "              frames, arfcn, time (null outside captures), complete, stop,\n"
    "              warnings, summary and value\n"
    "  --changes   print a SIB only when it differs from the last one printed\n"
    "              for its cell and type, with the number of identical copies\n"
    "              between them\n"
    "  --cells     instead of the SIBs, one table of the cells seen in all the\n"
    "              input (told apart by ARFCN, cell identity and the MIB's\n"
    "              PLMN): mode, PLMN, LAC, RAC, identity (RNC-ID and C-ID),\n"
    "              first and last time, the MIB's value tags, neighbour counts,\n"
    "              SIB types with counts, versions and changes. At most 1024\n"
    "              versions per cell and type are told apart; more show as N+\n"
    "  --neighbours  instead of the SIBs, one row per neighbour of each cell (its\n"
    "              latest SIB11, SIB11bis, SIB12 and SIB19 lists)\n"
    "  --timeline  instead of the SIBs, one row per SIB received: its cell, type,\n"
    "              time, version and whether it changed\n"
    "              (with --json these three write one JSON object per line)\n"
    "  --sib TYPE  each line (or the whole file with --bin) is a bare SIB of\n"
    "              TYPE, without BCH framing; no raw-data trailer. TYPE is a name\n"
    "              (mib, sb1, 3, 5bis, 11bis, 15.1bis, 19: SIB numbers name\n"
    "              SIBs) or a SIB-Type index that names no SIB (0, 21..31)\n"
    "  --release 7 decode as RRCParserX does: SIB types 1-7, 11, 12 and 13 to\n"
    "              their Release 7 level, its text byte for byte (its layout,\n"
    "              \\r\\n line ends; other types are counted, not printed); by\n"
    "              default every type the BCH carries is decoded to the end of\n"
    "              its extension chain\n"
    "  --version   the version of sibdecode\n"
    "  --help      this text\n"
    "Options take their value as --sib=N or --sib N.\n"
    "\n"
    "The decoded text goes to standard output exactly as the library returns it:\n"
    "lines end in \\n and stand 4 spaces deeper per enclosing block (with\n"
    "--release 7, RRCParserX's layout and \\r\\n line ends). A batch that yields no\n"
    "text gets a one-line note on standard error. Errors are reported one per\n"
    "line and the rest of the input is still decoded. Exit status: 0 when all\n"
    "input was read, 1 when a file or capture cannot be read or is truncated,\n"
    "--listen cannot bind its address, or the output cannot be written, 2 on\n"
    "malformed hex, input that is neither a capture nor hex text, a capture\n"
    "packet of the wrong size, a SIB whose decode stopped early, or bad\n"
    "arguments.\n";

bool ParseSibType(const char* text, unsigned int* type) {
  return sibdecode::SibTypeFromName(text, type) == 1;
}

}  // namespace

int ParseArguments(int argc, char** argv, Options* options) {
  bool filesOnly = false;  // after "--"
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (filesOnly || arg.size() < 2 || arg[0] != '-') {
      options->files.push_back(arg);
      continue;
    }
    // --name=value and --name value alike.
    std::string value;
    bool hasValue = false;
    const size_t equals = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      hasValue = true;
      arg.resize(equals);
    }
    const bool takesValue =
        arg == "--sib" || arg == "--listen" || arg == "--write" || arg == "--release";
    if (hasValue && !takesValue) {
      std::fprintf(stderr, "sibdecode: %s takes no value\n", arg.c_str());
      return kExitMalformed;
    }
    if (arg == "--") {
      filesOnly = true;
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return kExitOk;
    } else if (arg == "--version") {
      std::printf("sibdecode %s\n", SIBDECODE_VERSION);
      return kExitOk;
    } else if (arg == "--bin") {
      options->binary = true;
    } else if (arg == "--summary") {
      options->summary = true;
    } else if (arg == "--json") {
      options->json = true;
    } else if (arg == "--changes") {
      options->changes = true;
    } else if (arg == "--cells" || arg == "--neighbours" || arg == "--timeline") {
      const Options::Survey survey = arg == "--cells"        ? Options::kSurveyCells
                                     : arg == "--neighbours" ? Options::kSurveyNeighbours
                                                             : Options::kSurveyTimeline;
      if (options->survey != Options::kNoSurvey && options->survey != survey) {
        std::fprintf(stderr, "sibdecode: --cells, --neighbours and --timeline go one at a time\n");
        return kExitMalformed;
      }
      options->survey = survey;
    } else if (arg == "--release") {
      if (!hasValue) {
        if (i + 1 >= argc) {
          std::fprintf(stderr, "sibdecode: --release needs a release (7)\n");
          return kExitMalformed;
        }
        value = argv[++i];
      }
      if (value != "7" && value != "9") {
        std::fprintf(stderr, "sibdecode: bad release '%s' (7, or 9 the default)\n", value.c_str());
        return kExitMalformed;
      }
      options->release7 = value == "7";
    } else if (arg == "--status") {
      options->status = true;
    } else if (arg == "--write") {
      if (!hasValue) {
        if (i + 1 >= argc) {
          std::fprintf(stderr, "sibdecode: --write needs a file name\n");
          return kExitMalformed;
        }
        value = argv[++i];
      }
      if (value.empty()) {
        std::fprintf(stderr, "sibdecode: --write needs a file name\n");
        return kExitMalformed;
      }
      options->writePath = value;
    } else if (arg == "--sib") {
      if (!hasValue) {
        if (i + 1 >= argc) {
          std::fprintf(stderr, "sibdecode: --sib needs a SIB type (mib, sb1, 3, 11bis, ...)\n");
          return kExitMalformed;
        }
        value = argv[++i];
      }
      if (!ParseSibType(value.c_str(), &options->sibType)) {
        std::fprintf(stderr, "sibdecode: bad SIB type '%s' (mib, sb1, 3, 11bis, 19, ...)\n",
                     value.c_str());
        return kExitMalformed;
      }
      options->bareSib = true;
    } else if (arg == "--listen") {
      // The address is optional: the next argument is taken when it is no option.
      if (!hasValue && i + 1 < argc && argv[i + 1][0] != '-') {
        value = argv[++i];
        hasValue = true;
      }
      if (hasValue) {
        if (value.empty()) {
          std::fprintf(stderr, "sibdecode: --listen needs [ADDR:]PORT\n");
          return kExitMalformed;
        }
        options->listenAddress = value;
      }
      options->listen = true;
    } else {
      std::fprintf(stderr, "sibdecode: unknown option '%s' (see --help)\n", argv[i]);
      return kExitMalformed;
    }
  }
  if (options->listen && (!options->files.empty() || options->binary || options->bareSib)) {
    std::fprintf(stderr, "sibdecode: --listen reads no FILE, --bin or --sib\n");
    return kExitMalformed;
  }
  if (!options->listen && (!options->writePath.empty() || options->status)) {
    std::fprintf(stderr, "sibdecode: --write and --status go with --listen\n");
    return kExitMalformed;
  }
  if (options->files.empty()) options->files.push_back("-");
  return -1;
}

}  // namespace cli
