// --json: one JSON object per decoded SIB, one object per line.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// Where a SIB came from: the input and, for captures, the frames and the ARFCN.
struct JsonOrigin {
  std::string source;                 // "FILE:LINE", or the file for binary input
  std::vector<unsigned long> frames;  // capture frame numbers; empty for hex and binary input
  long arfcn = -1;                    // the cell's ARFCN; -1 when not known
};

// {"sib":N,"source":...,["frames":[...],"arfcn":N,]"summary":{...},"value":VALUE}
// where VALUE is the library's JSON of the decoded SIB.
void WriteJsonLine(std::FILE* out, unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen);

}  // namespace cli
