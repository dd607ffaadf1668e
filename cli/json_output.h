// --json: one JSON object per decoded SIB, one object per line.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

// Where a SIB came from: the input and, for captures, the frames and the ARFCN.
struct JsonOrigin {
  const std::string* file = nullptr;  // the input file, "<stdin>" for standard input
  unsigned long line = 0;             // hex input: the line ("FILE:LINE"); 0 for other input
  const uint64_t* frames = nullptr;   // capture frame numbers; none for hex and binary input
  size_t frameCount = 0;
  long arfcn = -1;         // the cell's ARFCN; -1 when not known
  long long repeats = -1;  // --changes: identical copies since the last one printed
};

// {"sib":N,"source":...,["frames":[...],"arfcn":N,]["repeats":N,]"summary":{...},"value":VALUE}
// where VALUE is the library's JSON of the decoded SIB; written to the output buffer.
void WriteJsonLine(unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen);

}  // namespace cli
