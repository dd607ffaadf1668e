// Inputs of the sibdecode tool. Each reads one opened file, decodes what it
// holds, reports problems one per line on standard error and returns an Exit.
#pragma once

#include <sibdecode/capture.h>
#include <sibdecode/sibdecode.h>
#include <sibdecode/survey.h>

#include <cstddef>
#include <string>
#include <vector>

#include "cells.h"
#include "options.h"

namespace cli {

constexpr size_t kBlockBytes = 31;  // one BCH transport block

// What decoding keeps from one batch to the next.
struct BatchDecoder {
  sibdecode::DecoderState* state = nullptr;
  size_t textCapacity = 0;  // the text buffer offered: grown to the longest text so far
  std::vector<char> json;   // --json: the SIB's JSON before it goes into its line
  std::vector<char> text;   // --changes, --cells: the text before it is printed or folded
  CellBook cells;           // --changes and the survey's notes, over all inputs
  sibdecode::CellSurvey* survey = nullptr;  // --cells, --neighbours, --timeline
  unsigned long long sibs = 0;              // SIBs decoded, for the progress line
};

// Hands a decoded SIB's JSON (`report` the report of the decode that made it)
// to the survey, with the capture event's cell and time (none for hex input).
void SurveyValue(BatchDecoder& decoder, unsigned int sibType, const sibdecode::CaptureEvent* event,
                 const char* value, size_t valueLen, const sibdecode::DecodeReport& report);

// Writes the survey's records after the input. Returns an Exit.
int WriteSurvey(const Options& options, BatchDecoder& decoder);

// A batch's place in the input: "FILE:LINE" for hex text, "FILE" for binary input.
struct BatchSource {
  const std::string* file;
  unsigned long line;  // 0: the whole file
};

// Decodes one batch of BCH blocks (or, with --sib, one bare SIB) and writes the
// outcome. Bytes behind the last whole block are reported and left out.
int DecodeAndWriteBatch(const Options& options, BatchDecoder& decoder, const BatchSource& source,
                        const unsigned char* bytes, size_t size);

// A decoded SIB that stopped early or carried warnings: what gets a note
// (read from the members before the report's stop).
inline bool HasDecodeNote(const sibdecode::DecodeReport& report) {
  return report.decoded != 0 && (report.complete == 0 || report.warningCount > 0);
}

// One note on standard error for a SIB whose decode stopped early or carried
// warnings: `where` ("FILE:LINE", "FILE: frames 4,5"), "SIB3", `cell` (" on ARFCN 10054"
// or ""), then where it stopped and why, and its warnings.
void NoteDecodeReport(const std::string& where, const char* cell,
                      const sibdecode::DecodeReport& report);

// An opened file and the bytes read from it that are not consumed yet.
struct InputFile {
  int fd = -1;
  char* data = nullptr;
  size_t begin = 0;  // first byte not consumed
  size_t end = 0;    // end of the bytes read
  size_t capacity = 0;
  unsigned long long consumed = 0;  // bytes of the file before data[0]
  bool atEnd = false;               // end of file, a read error or no memory
  bool failed = false;              // a read error
  int error = 0;                    // its errno
  bool noMemory = false;            // the buffer could not grow
};

// Reads more of the file behind the bytes held (moving them to the front).
// Returns false at the end of the file, on a read error or without memory.
bool FillInput(InputFile* input);
void ReleaseInput(InputFile* input);

// Hex text, one batch per line.
int ReadHex(InputFile& input, const std::string& name, const Options& options,
            BatchDecoder& decoder);

// The whole file is one batch of raw bytes.
int ReadBinary(InputFile& input, const std::string& name, const Options& options,
               BatchDecoder& decoder);

// False once the first bytes cannot begin a pcap or pcapng magic number.
bool MayStartCapture(const unsigned char* head, size_t size);

// A pcap or pcapng capture through the library's capture reader, from the
// bytes held in `input` on.
int ReadCapture(InputFile& input, const std::string& name, const Options& options,
                BatchDecoder& decoder);

// --listen: GSMTAP over UDP until SIGINT or SIGTERM.
int Listen(const Options& options, BatchDecoder& decoder);

}  // namespace cli
