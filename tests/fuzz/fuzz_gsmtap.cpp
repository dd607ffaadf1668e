// libFuzzer target over GSMTAP datagrams fed to a reader as --listen feeds
// them: the input is a sequence of datagrams, each a 2-byte big-endian length
// and its bytes, the time of each taken from its first bytes. Each feed
// announces the events it queued; the events and counts must agree
// (capture_check.h), and after the finish nothing more comes.
#include <sibdecode/capture.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sibdecode::CaptureReader* reader = sibdecode::CreateGsmtapReader();
  if (reader == nullptr) return 0;
  EventTally tally;
  uint64_t fed = 0;
  sibdecode::CaptureEvent event;
  for (size_t at = 0; at + 2 <= size;) {
    size_t length = size_t{data[at]} << 8 | data[at + 1];
    at += 2;
    if (length > size - at) length = size - at;
    // An exact-size heap copy: ASan reports any read past the datagram.
    std::vector<uint8_t> datagram(data + at, data + at + length);
    at += length;
    uint32_t stamp = 0;
    if (length > 0) std::memcpy(&stamp, datagram.data(), length < 4 ? length : 4);
    const int waiting = sibdecode::FeedGsmtapDatagram(
        reader, datagram.empty() ? nullptr : datagram.data(), datagram.size(),
        int64_t{1800000000} + stamp % 1000, stamp);  // microseconds beyond a second, too
    ++fed;
    int taken = 0;
    while (sibdecode::NextCaptureEvent(reader, &event) == 1) {
      if (event.frame != fed) std::abort();  // every event comes with the datagram fed
      CheckEvent(event, &tally);
      ++taken;
    }
    if (taken != waiting) std::abort();
  }
  const int waiting = sibdecode::FinishGsmtapReader(reader);
  int taken = 0;
  while (sibdecode::NextCaptureEvent(reader, &event) == 1) {
    if (event.kind != sibdecode::kCaptureDrop || event.dropReason != sibdecode::kDropFlushed) {
      std::abort();
    }
    CheckEvent(event, &tally);
    ++taken;
  }
  if (taken != waiting || sibdecode::NextCaptureEvent(reader, &event) != 0) std::abort();
  // Finished twice: nothing is left pending.
  if (sibdecode::FinishGsmtapReader(reader) != 0) std::abort();
  CheckCounts(reader, tally);
  sibdecode::CaptureCounts counts;
  sibdecode::GetCaptureCounts(reader, &counts);
  if (counts.frames != fed) std::abort();
  sibdecode::CloseCapture(reader);
  return 0;
}
