// pcap and pcapng captures through libpcap: GSMTAP BCCH-BCH packets fed to the
// streaming entry point, one cell per ARFCN.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "gsmtap.h"
#include "inputs.h"
#include "json_output.h"
#include "output.h"
#include "pcap_library.h"

namespace cli {

namespace {

struct CaptureRun {
  const Options& options;
  const std::string& name;
  struct timeval time = {};  // of the packet being fed
  bool timeSet = false;      // false before the first packet
  unsigned long notDecoded = 0;
  sibdecode::DecoderState* jsonState = nullptr;  // --json: decodes each SIB's bits as JSON
  std::vector<char> json;
};

// --json: the SIB's own bits decoded as JSON, with its frames and cell.
void WriteSibJson(CaptureRun& run, const sibdecode::StreamEvent& event) {
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
  origin.frames = event.blockTags;
  origin.frameCount = event.blockCount;
  origin.arfcn = static_cast<long>(event.cellKey);
  WriteJsonLine(event.sibType, origin, out, run.json.data(), jsonLen);
}

std::string FrameList(const sibdecode::StreamEvent& event) {
  std::string frames;
  for (size_t i = 0; i < event.blockCount; ++i) {
    if (i > 0) frames += ',';
    frames += std::to_string(event.blockTags[i]);
  }
  return frames;
}

void WriteFrameList(const sibdecode::StreamEvent& event) {
  for (size_t i = 0; i < event.blockCount; ++i) {
    if (i > 0) OutLiteral(",");
    OutUnsigned(event.blockTags[i]);
  }
}

// The packet time as 2026-12-07T13:19:23.000000Z.
void WriteUtcTime(const struct timeval& ts) {
  std::time_t seconds = ts.tv_sec;
  std::tm utc;
  char buffer[64];
  if (gmtime_r(&seconds, &utc) == nullptr) {
    OutLiteral("?");
    return;
  }
  size_t n = std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S", &utc);
  n += static_cast<size_t>(
      std::snprintf(buffer + n, sizeof(buffer) - n, ".%06ldZ", static_cast<long>(ts.tv_usec)));
  OutAppend(buffer, n < sizeof(buffer) ? n : sizeof(buffer) - 1);
}

const char* DropReasonText(sibdecode::ChainDropReason reason) {
  switch (reason) {
    case sibdecode::kDropInterrupted:
      return "a new first segment of the same SIB type came first";
    case sibdecode::kDropOutOfOrder:
      return "a segment is missing or repeated";
    case sibdecode::kDropTooLate:
      return "its next segment came too late for its cell's schedule";
    case sibdecode::kDropFlushed:
      return "the capture ended before its last segment";
    case sibdecode::kDropEvicted:
      return "its cell sent nothing for it too long, or too many cells had SIBs pending";
    case sibdecode::kNotDropped:
      break;
  }
  return "dropped";
}

void OnStreamEvent(const sibdecode::StreamEvent& event, void* context) {
  CaptureRun& run = *static_cast<CaptureRun*>(context);
  if (event.kind == sibdecode::kChainDropped) {
    Note("%s: frames %s: SIB type %u on ARFCN %" PRIu64 " dropped: %s\n", run.name.c_str(),
         FrameList(event).c_str(), event.sibType, event.cellKey, DropReasonText(event.dropReason));
    return;
  }
  if (event.result != sibdecode::kDecoded) {
    ++run.notDecoded;  // master information block, scheduling blocks, SIB types without a decoder
    return;
  }
  if (run.options.json) {
    WriteSibJson(run, event);
    return;
  }
  OutLiteral("# frames ");
  WriteFrameList(event);
  OutLiteral(" arfcn ");
  OutUnsigned(event.cellKey);
  OutLiteral(" time ");
  if (run.timeSet) WriteUtcTime(run.time);
  OutLiteral("\n");
  WriteSibText(event.text, event.textLen);
  if (run.options.summary) WriteSummary(*event.summary);
  OutEndRecord();
}

}  // namespace

bool IsCaptureMagic(const unsigned char* head, size_t size) {
  if (size < 4) return false;
  static const unsigned char kMagics[][4] = {
      {0xD4, 0xC3, 0xB2, 0xA1}, {0xA1, 0xB2, 0xC3, 0xD4},  // pcap, microseconds
      {0x4D, 0x3C, 0xB2, 0xA1}, {0xA1, 0xB2, 0x3C, 0x4D},  // pcap, nanoseconds
      {0x0A, 0x0D, 0x0D, 0x0A},                            // pcapng section header block
  };
  for (const auto& magic : kMagics) {
    if (std::memcmp(head, magic, 4) == 0) return true;
  }
  return false;
}

int ReadCapture(const std::string& path, const Options& options) {
  const char* loadError = nullptr;
  const PcapLibrary* pcap = LoadPcapLibrary(&loadError);
  if (pcap == nullptr) {
    Note("%s: cannot read the capture: libpcap cannot be loaded: %s\n", path.c_str(), loadError);
    return kExitIo;
  }
  char error[PCAP_ERRBUF_SIZE] = "";
  pcap_t* capture =
      pcap->openOfflineWithTstampPrecision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, error);
  if (capture == nullptr) {
    Note("%s: unreadable capture: %s\n", path.c_str(), error);
    return kExitIo;
  }
  const int linkType = pcap->datalink(capture);
  sibdecode::StreamState* stream = sibdecode::CreateStreamState();
  if (stream == nullptr) {
    Note("%s: out of memory\n", path.c_str());
    pcap->close(capture);
    return kExitIo;
  }
  CaptureRun run{options, path, {}, false, 0, nullptr, {}};
  if (options.json) run.jsonState = sibdecode::CreateDecoderState();
  int status = kExitOk;
  unsigned long frame = 0;
  unsigned long skipped = 0;

  struct pcap_pkthdr* header = nullptr;
  const u_char* packet = nullptr;
  int next;
  while ((next = pcap->nextEx(capture, &header, &packet)) == 1) {
    ++frame;
    GsmtapBch bch;
    switch (FindGsmtapBch(linkType, packet, header->caplen, &bch)) {
      case PacketKind::kBchBlock:
        run.time = header->ts;
        run.timeSet = true;
        if (sibdecode::FeedBlock(stream, bch.arfcn, frame, bch.payload, OnStreamEvent, &run) ==
            sibdecode::kNoMemory) {
          Note("%s: frame %lu: out of memory, pending SIBs dropped\n", path.c_str(), frame);
          status = WorseExit(status, kExitIo);
        }
        break;
      case PacketKind::kWrongSize:
        Note(
            "%s: frame %lu: BCCH-BCH message of %zu bytes, expected %zu "
            "(%u of %u packet bytes captured)\n",
            path.c_str(), frame, bch.payloadSize, kBchBlockBytes, header->caplen, header->len);
        status = WorseExit(status, kExitMalformed);
        break;
      case PacketKind::kNotBchBlock:
        ++skipped;
        break;
    }
  }
  if (next == PCAP_ERROR) {
    // libpcap says how the file ends: a cut record header or packet.
    Note("%s: frame %lu: truncated or unreadable capture: %s\n", path.c_str(), frame + 1,
         pcap->geterr(capture));
    status = WorseExit(status, kExitIo);
  }
  sibdecode::FlushStream(stream, OnStreamEvent, &run);

  sibdecode::StreamCounts counts;
  sibdecode::GetStreamCounts(stream, &counts);
  Note("%s: %lu frames, %lu skipped; %" PRIu64
       " SIBs decoded, %lu not decoded, "
       "%" PRIu64 " chains dropped, %" PRIu64 " stray segments\n",
       path.c_str(), frame, skipped, counts.sibsDecoded, run.notDecoded, counts.chainsDropped,
       counts.segmentsDiscarded);
  sibdecode::DestroyStreamState(stream);
  sibdecode::DestroyDecoderState(run.jsonState);
  pcap->close(capture);
  return status;
}

}  // namespace cli
