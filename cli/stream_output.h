// GSMTAP BCCH-BCH blocks of a capture file or of UDP packets through the
// streaming entry point, one cell per ARFCN, to the outputs.
#pragma once

#include <sibdecode/sibdecode.h>
#include <sys/time.h>

#include <cstdint>
#include <string>
#include <vector>

#include "inputs.h"
#include "options.h"

namespace cli {

struct StreamRun {
  StreamRun(const Options& runOptions, BatchDecoder& runDecoder, const std::string& runName)
      : options(runOptions), decoder(runDecoder), name(runName) {}
  StreamRun(const StreamRun&) = delete;
  StreamRun& operator=(const StreamRun&) = delete;
  ~StreamRun();

  const Options& options;
  BatchDecoder& decoder;  // the cells over all inputs
  const std::string& name;
  sibdecode::StreamState* stream = nullptr;
  struct timeval time = {};  // of the block being fed
  bool timeSet = false;      // false before the first block
  unsigned long notDecoded = 0;
  unsigned long repeatedBlocks = 0;              // captured twice: fed once
  uint64_t foldedBefore = 0;                     // the cells' folded copies when the run began
  sibdecode::DecoderState* jsonState = nullptr;  // --json: decodes each SIB's bits as JSON
  std::vector<char> json;
};

// Creates the stream; false (with a note) when the heap is exhausted.
bool StartStreamRun(StreamRun& run);

// Feeds one block of the cell `arfcn` with its GSMTAP frame number, arrival
// time and the caller's tag (frame or packet number). Returns an Exit.
int FeedGsmtapBlock(StreamRun& run, uint16_t arfcn, uint32_t frameNumber,
                    const unsigned char* block, const struct timeval& time, uint64_t tag);

// Flushes the pending chains and writes the closing counts: the packets read
// ("12 frames"), those skipped (not BCH blocks, or blocks captured twice) and
// the SIBs.
void FinishStreamRun(StreamRun& run, unsigned long packets, const char* unit,
                     unsigned long skipped);

}  // namespace cli
