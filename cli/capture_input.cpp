// pcap and pcapng captures through libpcap: GSMTAP BCCH-BCH packets fed to the
// streaming entry point, one cell per ARFCN.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "gsmtap.h"
#include "inputs.h"
#include "output.h"
#include "pcap_library.h"
#include "stream_output.h"

namespace cli {

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

int ReadCapture(const std::string& path, const Options& options, BatchDecoder& decoder) {
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
  StreamRun run(options, decoder, path);
  if (!StartStreamRun(run)) {
    pcap->close(capture);
    return kExitIo;
  }
  struct stat file;
  ProgressStart(path.c_str(), stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode)
                                  ? static_cast<unsigned long long>(file.st_size)
                                  : 0);
  int status = kExitOk;
  unsigned long frame = 0;
  unsigned long skipped = 0;
  unsigned long long bytesRead = 24;  // the file header

  struct pcap_pkthdr* header = nullptr;
  const u_char* packet = nullptr;
  int next;
  while ((next = pcap->nextEx(capture, &header, &packet)) == 1 && !OutputClosed()) {
    ++frame;
    bytesRead += 16 + header->caplen;  // a record header and the packet
    GsmtapBch bch;
    switch (FindGsmtapBch(linkType, packet, header->caplen, &bch)) {
      case PacketKind::kBchBlock:
        status = WorseExit(status, FeedGsmtapBlock(run, bch.arfcn, bch.frameNumber, bch.payload,
                                                   header->ts, frame));
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
    ProgressUpdate(bytesRead, decoder.sibs);
  }
  ProgressEnd();
  if (next == PCAP_ERROR) {
    // libpcap says how the file ends: a cut record header or packet.
    Note("%s: frame %lu: truncated or unreadable capture: %s\n", path.c_str(), frame + 1,
         pcap->geterr(capture));
    status = WorseExit(status, kExitIo);
  }
  FinishStreamRun(run, frame, "frames", skipped);
  pcap->close(capture);
  return status;
}

}  // namespace cli
