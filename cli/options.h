// Command-line options and exit statuses of the sibdecode tool.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct Options {
  bool binary = false;
  bool summary = false;
  bool json = false;
  bool bareSib = false;
  unsigned int sibType = 0;
  bool release7 = false;  // --release 7: RRCParserX's types and text
  bool changes = false;   // a SIB only when it differs from the last one printed
  // --cells, --neighbours, --timeline: the cell survey's records instead of the SIB texts
  enum Survey { kNoSurvey, kSurveyCells, kSurveyNeighbours, kSurveyTimeline };
  Survey survey = kNoSurvey;
  bool listen = false;  // GSMTAP over UDP instead of files
  std::string listenAddress = "127.0.0.1:4729";
  std::string writePath;  // --write: what --listen receives, kept as a pcap
  bool status = false;    // --status: the status line also when standard error is no terminal
  std::vector<std::string> files;
};

// The worst problem met decides the exit status; decoding goes on after each.
enum Exit { kExitOk = 0, kExitIo = 1, kExitMalformed = 2 };

inline int WorseExit(int a, int b) { return a > b ? a : b; }

// Returns -1 to go on, or the exit status (help or version printed, bad arguments).
int ParseArguments(int argc, char** argv, Options* options);

}  // namespace cli
