// pcap and pcapng captures through the library's capture reader.
#include <sibdecode/capture.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "capture_events.h"
#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

// The capture's bytes: those read already to recognise it, then the file.
struct HeadThenFile {
  InputFile* input;
  unsigned long long bytesRead = 0;  // for the progress line
};

long long ReadHeadThenFile(void* context, void* buffer, size_t size) {
  HeadThenFile& source = *static_cast<HeadThenFile*>(context);
  InputFile& input = *source.input;
  if (input.begin < input.end) {
    const size_t n = std::min(size, input.end - input.begin);
    std::memcpy(buffer, input.data + input.begin, n);
    input.begin += n;
    source.bytesRead += n;
    return static_cast<long long>(n);
  }
  for (;;) {
    const ssize_t n = read(input.fd, buffer, size);
    if (n > 0) source.bytesRead += static_cast<unsigned long long>(n);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace

bool MayStartCapture(const unsigned char* head, size_t size) {
  // pcap (both byte orders, micro- and nanoseconds), pcapng; gzip, xz, zstd.
  static const unsigned char kFirstBytes[] = {0xD4, 0xA1, 0x4D, 0x0A, 0x1F, 0xFD, 0x28};
  if (size == 0) return true;
  if (size >= 4) return sibdecode::IsCaptureMagic(head, size);
  return std::memchr(kFirstBytes, head[0], sizeof(kFirstBytes)) != nullptr;
}

int ReadCapture(InputFile& input, const std::string& name, const Options& options,
                BatchDecoder& decoder) {
  HeadThenFile source{&input};
  sibdecode::CaptureReader* reader = nullptr;
  char message[512];
  const int opened = sibdecode::OpenCaptureReadFunction(ReadHeadThenFile, &source, &reader, message,
                                                        sizeof(message));
  if (opened != sibdecode::kCaptureOk) {
    Note("%s: %s\n", name.c_str(), message);
    return kExitIo;
  }
  ConfigureReader(options, reader);
  CaptureRun run(options, decoder, name, "frames");
  struct stat file;
  const bool regular = fstat(input.fd, &file) == 0 && S_ISREG(file.st_mode);
  ProgressStart(name.c_str(), regular ? static_cast<unsigned long long>(file.st_size) : 0);
  int status = kExitOk;
  // One event at a time: the reader reads the file only as far as the next one.
  while (TakeCaptureEvent(run, reader, &status)) {
    ProgressUpdate(source.bytesRead, decoder.sibs);
  }
  ProgressEnd();
  // A reader that closed the output (`| head`) gets nothing more, nor do the notes.
  if (!OutputClosed()) WriteCaptureCounts(run, reader);
  sibdecode::CloseCapture(reader);
  return status;
}

}  // namespace cli
