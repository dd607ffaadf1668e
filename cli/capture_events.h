// The events of the library's capture reader (a capture file or GSMTAP
// datagrams received over UDP) to the outputs: each SIB after a comment line
// naming its frames, cell and time; drops and faults on standard error; the
// counts at the end.
#pragma once

#include <sibdecode/capture.h>

#include <string>
#include <vector>

#include "inputs.h"
#include "options.h"

namespace cli {

struct CaptureRun {
  CaptureRun(const Options& runOptions, BatchDecoder& runDecoder, const std::string& runName,
             const char* runUnit)
      : options(runOptions),
        decoder(runDecoder),
        name(runName),
        unit(runUnit),
        foldedBefore(runDecoder.cells.copiesFolded),
        notKeptBefore(runDecoder.cells.versionsNotKept) {}
  CaptureRun(const CaptureRun&) = delete;
  CaptureRun& operator=(const CaptureRun&) = delete;
  ~CaptureRun();

  const Options& options;
  BatchDecoder& decoder;  // the cells over all inputs
  const std::string& name;
  const char* unit;        // what the reader's frames are: "frames", "packets"
  uint64_t foldedBefore;   // the cells' folded copies when the run began
  uint64_t notKeptBefore;  // the cells' versions not kept when the run began
  sibdecode::DecoderState* jsonState = nullptr;  // --json: decodes each SIB's bits as JSON
  std::vector<char> json;
};

// The release the options ask for, and no text when none is printed (--json
// and the survey decode each SIB's own bits as JSON): set before the first event.
void ConfigureReader(const Options& options, sibdecode::CaptureReader* reader);

// Takes the reader's next event and writes it; false when there is none (or
// the output is closed). *status becomes the worse of it and the event's Exit.
bool TakeCaptureEvent(CaptureRun& run, sibdecode::CaptureReader* reader, int* status);

// " (3 not UDP or cut short, 1 IP fragment)": why packets were skipped, the
// causes met only; empty when none was.
std::string SkipCauses(const sibdecode::CaptureCounts& counts);

// The closing line: frames, skipped packets by cause, SIBs, drops.
void WriteCaptureCounts(const CaptureRun& run, const sibdecode::CaptureReader* reader);

}  // namespace cli
