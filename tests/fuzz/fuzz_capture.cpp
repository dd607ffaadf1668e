// libFuzzer target over capture files: the input is the file's bytes (pcap,
// pcapng, either compressed with gzip, xz or zstd), read through a read
// function that hands them over in pieces of changing size. Every event and
// the counts must agree (capture_check.h), and the reader, once at its end,
// stays there.
#include <sibdecode/capture.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "capture_check.h"

namespace {

struct Bytes {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  unsigned calls = 0;
};

// Pieces of 1, 7, 64, 4096 and as many bytes as asked, in turn.
long long ReadPieces(void* context, void* buffer, size_t size) {
  Bytes& bytes = *static_cast<Bytes*>(context);
  static const size_t kPieces[] = {1, 7, 64, 4096, SIZE_MAX};
  size_t n = kPieces[bytes.calls++ % 5];
  if (n > size) n = size;
  if (n > bytes.size - bytes.at) n = bytes.size - bytes.at;
  if (n > 0) std::memcpy(buffer, bytes.data + bytes.at, n);
  bytes.at += n;
  return static_cast<long long>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // An exact-size heap copy: ASan reports any read past the file's last byte.
  std::vector<uint8_t> copy(data, data + size);
  Bytes bytes{copy.data(), copy.size()};
  sibdecode::CaptureReader* reader = nullptr;
  char message[256];
  const int opened =
      sibdecode::OpenCaptureReadFunction(ReadPieces, &bytes, &reader, message, sizeof message);
  if (opened != sibdecode::kCaptureOk) {
    if (reader != nullptr || std::strlen(message) == 0) std::abort();
    return 0;
  }
  // A file's reader takes no datagrams and is not finished by its caller.
  if (sibdecode::FeedGsmtapDatagram(reader, copy.data(), copy.size(), 0, 0) != -1) std::abort();
  if (sibdecode::FinishGsmtapReader(reader) != -1) std::abort();
  EventTally tally;
  sibdecode::CaptureEvent event;
  while (sibdecode::NextCaptureEvent(reader, &event) == 1) CheckEvent(event, &tally);
  if (sibdecode::NextCaptureEvent(reader, &event) != 0) std::abort();
  CheckCounts(reader, tally);
  sibdecode::CloseCapture(reader);
  return 0;
}
