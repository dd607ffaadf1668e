// --json: one JSON object per decoded SIB, one object per line: the SIB record
// (docs/records.md), the same keys in the same order as Python's Sib.to_dict().
#pragma once

#include <sibdecode/sibdecode.h>
#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace cli {

// Where a SIB came from: the input and, for captures, the frames, the ARFCN and the time.
struct JsonOrigin {
  const std::string* file = nullptr;  // the input file, "<stdin>" for standard input
  unsigned long line = 0;             // hex input: the line ("FILE:LINE"); 0 for other input
  const uint64_t* frames = nullptr;   // capture frame numbers; none (null) for hex and binary input
  size_t frameCount = 0;
  long arfcn = -1;                       // the cell's ARFCN; -1 (null) when not known
  const struct timeval* time = nullptr;  // the last carrying block's time; none (null)
  long long repeats = -1;                // --changes: identical copies since the last one printed
  const sibdecode::DecodeReport* report = nullptr;  // the SIB's decode; none: complete
};

// {"type":NAME,"type_number":N,"source":...,"frames":[...]|null,"arfcn":N|null,
//  "time":"...Z"|null,["repeats":N,]"complete":B,"stop":{...}|null,"warnings":[...],
//  "summary":{...},"value":VALUE} (docs/records.md) where VALUE is the library's JSON of
// the decoded SIB without the report it appends (`valueReport`, the report of the decode
// that made `value`, says whether it did); written to the output buffer.
void WriteJsonLine(unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen,
                   const sibdecode::DecodeReport& valueReport);

// The length of the library's JSON of a SIB without the report the library
// appends to a stopped or warned decode ("complete", "stop", "warnings" as
// the value's last members); `report` is that decode's. *closeBrace is set
// when the value is cut there and needs its closing '}'.
size_t ValueWithoutReport(const char* value, size_t valueLen, const sibdecode::DecodeReport& report,
                          bool* closeBrace);

// A number, or null when not present.
void JsonNumberOrNull(bool present, unsigned long long value);

// "2026-01-15T09:00:00.040000Z", or null when not present.
void JsonTime(bool present, const struct timeval& time);

}  // namespace cli
