// pcapng files read block by block through a read function: sections in
// either byte order, interfaces of any link type and time resolution (a file
// that merges captures of several link types is read whole), enhanced,
// simple and obsolete packet blocks; other blocks are skipped.
#pragma once

#include <sibdecode/capture.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sibdecode {

struct PcapngInterface {
  int linkType = 0;
  uint64_t unitsPerSecond = 1000000;  // if_tsresol
  int64_t offsetSeconds = 0;          // if_tsoffset
};

struct PcapngReader {
  CaptureReadFunction read = nullptr;
  void* context = nullptr;
  bool swapped = false;  // the section's byte order is not this machine's
  bool started = false;  // the first section header was read
  std::vector<PcapngInterface> interfaces;
  std::vector<unsigned char> block;  // the body of the block being read
  char error[160] = "";
};

// One packet of the file; valid until the next call.
struct PcapngPacket {
  int linkType = 0;
  const unsigned char* data = nullptr;
  size_t captured = 0;
  size_t length = 0;  // as sent
  int64_t seconds = 0;
  uint64_t microseconds = 0;   // below a million
  bool knownInterface = true;  // false: the block names an interface not described
};

// 1: a packet; 0: the end of the file at a block boundary; -1: a cut or
// malformed block (the reason in reader.error). Blocks other than packets
// are taken in passing.
int NextPcapngPacket(PcapngReader& reader, PcapngPacket* packet);

}  // namespace sibdecode
