// pcap and pcapng captures through the library's capture reader: every decoded
// SIB with a comment line naming its frames, cell and time; drops and faults
// on standard error, then the counts.
#include <sibdecode/capture.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

struct CaptureRun {
  const Options& options;
  const std::string& name;
  sibdecode::DecoderState* jsonState = nullptr;  // --json: decodes each SIB's bits as JSON
  std::vector<char> json;
};

// --json: the SIB's own bits decoded as JSON, with its frames and cell.
void WriteSibJson(CaptureRun& run, const sibdecode::CaptureEvent& event) {
  tagSystemInformationBlock out;
  size_t jsonLen = 0;
  int result;
  do {
    if (jsonLen > run.json.size()) run.json.resize(jsonLen);
    result = sibdecode::DecodeSibJson(run.jsonState, event.sibType, event.sib, event.sibLen, &out,
                                      run.json.data(), run.json.size(), &jsonLen);
  } while (result == sibdecode::kTextTooSmall && jsonLen > run.json.size());
  if (result != sibdecode::kDecoded) return;
  JsonOrigin origin;
  origin.file = &run.name;
  origin.frames = event.frames;
  origin.frameCount = event.frameCount;
  origin.arfcn = static_cast<long>(event.arfcn);
  WriteJsonLine(event.sibType, origin, out, run.json.data(), jsonLen);
}

std::string FrameList(const sibdecode::CaptureEvent& event) {
  std::string frames;
  for (size_t i = 0; i < event.frameCount; ++i) {
    if (i > 0) frames += ',';
    frames += std::to_string(event.frames[i]);
  }
  return frames;
}

void WriteFrameList(const sibdecode::CaptureEvent& event) {
  for (size_t i = 0; i < event.frameCount; ++i) {
    if (i > 0) OutLiteral(",");
    OutUnsigned(event.frames[i]);
  }
}

// The packet time as 2026-12-07T13:19:23.000000Z.
void WriteUtcTime(int64_t seconds, uint32_t microseconds) {
  std::time_t time = static_cast<std::time_t>(seconds);
  std::tm utc;
  char buffer[64];
  if (gmtime_r(&time, &utc) == nullptr) {
    OutLiteral("?");
    return;
  }
  size_t n = std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S", &utc);
  n += static_cast<size_t>(std::snprintf(buffer + n, sizeof(buffer) - n, ".%06luZ",
                                         static_cast<unsigned long>(microseconds)));
  OutAppend(buffer, n < sizeof(buffer) ? n : sizeof(buffer) - 1);
}

void WriteSib(CaptureRun& run, const sibdecode::CaptureEvent& event) {
  if (run.options.json) {
    WriteSibJson(run, event);
    return;
  }
  OutLiteral("# frames ");
  WriteFrameList(event);
  OutLiteral(" arfcn ");
  OutUnsigned(event.arfcn);
  OutLiteral(" time ");
  WriteUtcTime(event.seconds, event.microseconds);
  OutLiteral("\n");
  WriteSibText(event.text, event.textLen);
  if (run.options.summary) WriteSummary(*event.summary);
  OutEndRecord();
}

// The capture's bytes: those read already to recognise it, then the file.
struct HeadThenFile {
  InputFile* input;
};

long long ReadHeadThenFile(void* context, void* buffer, size_t size) {
  InputFile& input = *static_cast<HeadThenFile*>(context)->input;
  if (input.begin < input.end) {
    const size_t n = std::min(size, input.end - input.begin);
    std::memcpy(buffer, input.data + input.begin, n);
    input.begin += n;
    return static_cast<long long>(n);
  }
  for (;;) {
    const ssize_t n = read(input.fd, buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

}  // namespace

bool MayStartCapture(const unsigned char* head, size_t size) {
  static const unsigned char kFirstBytes[] = {0xD4, 0xA1, 0x4D, 0x0A};
  if (size == 0) return true;
  if (size >= 4) return sibdecode::IsCaptureMagic(head, size);
  return std::memchr(kFirstBytes, head[0], sizeof(kFirstBytes)) != nullptr;
}

int ReadCapture(InputFile& input, const std::string& name, const Options& options) {
  HeadThenFile source{&input};
  sibdecode::CaptureReader* reader = nullptr;
  char message[512];
  const int opened = sibdecode::OpenCaptureReadFunction(ReadHeadThenFile, &source, &reader, message,
                                                        sizeof(message));
  if (opened != sibdecode::kCaptureOk) {
    Note("%s: %s\n", name.c_str(), message);
    return kExitIo;
  }
  CaptureRun run{options, name, nullptr, {}};
  if (options.json) run.jsonState = sibdecode::CreateDecoderState();
  int status = kExitOk;
  sibdecode::CaptureEvent event;
  while (sibdecode::NextCaptureEvent(reader, &event) == 1) {
    switch (event.kind) {
      case sibdecode::kCaptureSib:
        WriteSib(run, event);
        break;
      case sibdecode::kCaptureDrop:
        Note("%s: frames %s: SIB type %u on ARFCN %" PRIu64 " dropped: %s\n", name.c_str(),
             FrameList(event).c_str(), event.sibType, event.arfcn, event.message);
        break;
      case sibdecode::kCaptureWrongSize:
        Note("%s: frame %" PRIu64 ": %s\n", name.c_str(), event.frame, event.message);
        status = WorseExit(status, kExitMalformed);
        break;
      case sibdecode::kCaptureTruncated:
      case sibdecode::kCaptureNoMemoryEvent:
        Note("%s: frame %" PRIu64 ": %s\n", name.c_str(), event.frame, event.message);
        status = WorseExit(status, kExitIo);
        break;
    }
  }
  sibdecode::CaptureCounts counts;
  sibdecode::GetCaptureCounts(reader, &counts);
  Note("%s: %" PRIu64 " frames, %" PRIu64 " skipped; %" PRIu64 " SIBs decoded, %" PRIu64
       " not decoded, %" PRIu64 " chains dropped, %" PRIu64 " stray segments\n",
       name.c_str(), counts.frames, counts.skipped, counts.sibsDecoded, counts.sibsNotDecoded,
       counts.chainsDropped, counts.straySegments);
  sibdecode::DestroyDecoderState(run.jsonState);
  sibdecode::CloseCapture(reader);
  return status;
}

}  // namespace cli
