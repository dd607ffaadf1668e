// The capture reader: packets from libpcap (or datagrams from the caller)
// through the GSMTAP parser into a stream, its events queued until the caller
// takes them.
#include <sibdecode/capture.h>
#include <sibdecode/gsmtap.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "api/decode_report.h"
#ifndef _WIN32
#include "pcap_library.h"
#endif

namespace sibdecode {

namespace {

// An event owned by the reader; its buffers are reused by later events.
struct QueuedEvent {
  CaptureEventKind kind = kCaptureSib;
  uint64_t frame = 0;
  int64_t seconds = 0;
  uint32_t microseconds = 0;
  uint64_t arfcn = 0;
  unsigned int sibType = 0;
  ChainDropReason dropReason = kNotDropped;
  std::vector<uint64_t> frames;
  std::vector<char> text;
  tagSystemInformationBlock summary{};
  DecodeReport report{};  // kCaptureSib
  std::vector<unsigned char> sib;
  std::vector<unsigned char> blocks;
  const char* fixedMessage = "";  // a message of the library's own, or `message`
  char message[640] = "";
};

constexpr char kNoMemoryMessage[] = "out of memory, pending SIBs dropped";
constexpr char kNoMemoryForSibMessage[] = "out of memory decoding a SIB, which is lost";

}  // namespace

struct CaptureReader {
#ifndef _WIN32
  const PcapLibrary* pcap = nullptr;
  pcap_t* capture = nullptr;
#endif
  int linkType = 0;
  bool ended = false;  // a file read to its end, its chains flushed
  StreamState* stream = nullptr;
  std::vector<QueuedEvent> events;  // [0, eventCount) filled, taken from nextEvent on
  size_t eventCount = 0;
  size_t nextEvent = 0;
  bool eventLost = false;  // the heap ran out queuing an event
  uint64_t frame = 0;
  int64_t seconds = 0;
  uint32_t microseconds = 0;
  CaptureCounts counts{};
  // To tell a packet captured twice (two capture points, a tool that sends twice).
  RepeatedBlockFilter* repeats = nullptr;
};

namespace {

// A slot for one more event, stamped with the frame being read; nullptr when
// the heap ran out.
QueuedEvent* NewEvent(CaptureReader& reader, CaptureEventKind kind) {
  if (reader.eventCount == reader.events.size()) {
    try {
      reader.events.emplace_back();
    } catch (const std::bad_alloc&) {
      reader.eventLost = true;
      return nullptr;
    }
  }
  QueuedEvent& event = reader.events[reader.eventCount];
  event.kind = kind;
  event.frame = reader.frame;
  event.seconds = reader.seconds;
  event.microseconds = reader.microseconds;
  event.arfcn = 0;
  event.sibType = 0;
  event.dropReason = kNotDropped;
  event.frames.clear();
  event.text.clear();
  event.sib.clear();
  event.blocks.clear();
  event.fixedMessage = "";
  event.message[0] = '\0';
  return &event;
}

void OnStreamEvent(const StreamEvent& streamEvent, void* context) {
  CaptureReader& reader = *static_cast<CaptureReader*>(context);
  const bool sib = streamEvent.kind == kSibCompleted;
  if (sib && streamEvent.result == kNoMemory) {
    // The SIB is lost: said as such, not counted among those without a decoder.
    QueuedEvent* event = NewEvent(reader, kCaptureNoMemoryEvent);
    if (event == nullptr) return;
    event->arfcn = streamEvent.cellKey;
    event->sibType = streamEvent.sibType;
    event->fixedMessage = kNoMemoryForSibMessage;
    ++reader.eventCount;
    return;
  }
  // An extensionType SIB the cell's schedule does not name is said as such;
  // other SIBs without text are only counted.
  const bool typeNotKnown =
      sib && streamEvent.report != nullptr && streamEvent.report->stop.kind == kStopTypeNotKnown;
  if (sib && streamEvent.result != kDecoded) {
    ++reader.counts.sibsNotDecoded;
    if (!typeNotKnown) return;
  }
  QueuedEvent* event = NewEvent(reader, typeNotKnown ? kCaptureNotDecoded
                                        : sib        ? kCaptureSib
                                                     : kCaptureDrop);
  if (event == nullptr) return;
  event->arfcn = streamEvent.cellKey;
  event->sibType = streamEvent.sibType;
  try {
    event->frames.assign(streamEvent.blockTags, streamEvent.blockTags + streamEvent.blockCount);
    event->blocks.assign(streamEvent.blocks, streamEvent.blocks + streamEvent.blocksLen);
    if (typeNotKnown) {
      event->fixedMessage = DecodeStopText(kStopTypeNotKnown);
    } else if (sib) {
      event->text.assign(streamEvent.text, streamEvent.text + streamEvent.textLen);
      event->sib.assign(streamEvent.sib, streamEvent.sib + streamEvent.sibLen);
      event->summary = *streamEvent.summary;
      if (streamEvent.report != nullptr) CopyDecodeReport(*streamEvent.report, &event->report);
    } else {
      event->dropReason = streamEvent.dropReason;
      event->fixedMessage = ChainDropReasonText(streamEvent.dropReason);
    }
  } catch (const std::bad_alloc&) {
    reader.eventLost = true;
    return;
  }
  ++reader.eventCount;
}

void QueueNoMemory(CaptureReader& reader) {
  reader.eventLost = false;
  QueuedEvent* event = NewEvent(reader, kCaptureNoMemoryEvent);
  if (event == nullptr) return;
  event->fixedMessage = kNoMemoryMessage;
  ++reader.eventCount;
}

// One packet (or datagram) as the GSMTAP parser found it. `captured` and
// `length` are the packet's captured and original sizes (0: a datagram).
void TakePacket(CaptureReader& reader, PacketKind kind, const GsmtapBch& bch, size_t captured,
                size_t length) {
  switch (kind) {
    case PacketKind::kBchBlock:
      if (IsRepeatedBlock(reader.repeats, bch.arfcn, bch)) {
        ++reader.counts.skipped;
        ++reader.counts.skippedBy[kSkipRepeatedBlock];
        break;
      }
      if (FeedBlock(reader.stream, bch.arfcn, reader.frame, bch.payload, OnStreamEvent, &reader) ==
              kNoMemory ||
          reader.eventLost) {
        QueueNoMemory(reader);
      }
      break;
    case PacketKind::kWrongSize: {
      ++reader.counts.wrongSize;
      QueuedEvent* event = NewEvent(reader, kCaptureWrongSize);
      if (event == nullptr) break;
      int n = std::snprintf(event->message, sizeof(event->message),
                            "BCCH-BCH message of %zu bytes, expected %zu", bch.payloadSize,
                            kBchBlockBytes);
      if (length > 0 && n > 0 && static_cast<size_t>(n) < sizeof(event->message)) {
        static_cast<void>(std::snprintf(event->message + n,
                                        sizeof(event->message) - static_cast<size_t>(n),
                                        " (%zu of %zu packet bytes captured)", captured, length));
      }
      event->fixedMessage = nullptr;
      ++reader.eventCount;
      break;
    }
    case PacketKind::kNotBchBlock:
      ++reader.counts.skipped;
      ++reader.counts.skippedBy[bch.skipCause];
      break;
  }
}

void Flush(CaptureReader& reader) {
  FlushStream(reader.stream, OnStreamEvent, &reader);
  if (reader.eventLost) QueueNoMemory(reader);
}

void SetMessage(char* message, size_t capacity, const char* prefix, const char* reason) {
  if (message != nullptr && capacity > 0) {
    static_cast<void>(std::snprintf(message, capacity, "%s%s", prefix, reason));
  }
}

CaptureReader* NewReader() {
  CaptureReader* reader = new (std::nothrow) CaptureReader;
  if (reader == nullptr) return nullptr;
  reader->stream = CreateStreamState();
  reader->repeats = CreateRepeatedBlockFilter();
  if (reader->stream == nullptr || reader->repeats == nullptr) {
    DestroyStreamState(reader->stream);
    DestroyRepeatedBlockFilter(reader->repeats);
    delete reader;
    return nullptr;
  }
  SetStreamRelease(reader->stream, kReleaseLatest);
  return reader;
}

#ifndef _WIN32

// Reads one record of the file; at its end (or a fault) flushes the stream.
void ReadRecord(CaptureReader& reader) {
  struct pcap_pkthdr* header = nullptr;
  const u_char* packet = nullptr;
  const int next = reader.pcap->nextEx(reader.capture, &header, &packet);
  if (next == 1) {
    ++reader.frame;
    reader.seconds = header->ts.tv_sec;
    reader.microseconds = static_cast<uint32_t>(header->ts.tv_usec);
    GsmtapBch bch;
    const PacketKind kind = FindGsmtapBch(reader.linkType, packet, header->caplen, &bch);
    TakePacket(reader, kind, bch, header->caplen, header->len);
    return;
  }
  if (next == PCAP_ERROR) {
    // libpcap says how the file ends: a cut record header or packet.
    ++reader.frame;
    QueuedEvent* event = NewEvent(reader, kCaptureTruncated);
    --reader.frame;
    if (event != nullptr) {
      SetMessage(event->message, sizeof(event->message),
                 "truncated or unreadable capture: ", reader.pcap->geterr(reader.capture));
      event->fixedMessage = nullptr;
      ++reader.eventCount;
    }
  }
  Flush(reader);
  reader.ended = true;
}

// Takes over an opened libpcap handle.
int Start(const PcapLibrary* pcap, pcap_t* capture, CaptureReader** out, char* message,
          size_t messageCapacity) {
  CaptureReader* reader = NewReader();
  if (reader == nullptr) {
    pcap->close(capture);
    SetMessage(message, messageCapacity, "out of memory", "");
    return kCaptureNoMemory;
  }
  reader->pcap = pcap;
  reader->capture = capture;
  reader->linkType = pcap->datalink(capture);
  *out = reader;
  return kCaptureOk;
}

const PcapLibrary* Pcap(char* message, size_t messageCapacity) {
  const char* loadError = nullptr;
  const PcapLibrary* pcap = LoadPcapLibrary(&loadError);
  if (pcap == nullptr) {
    SetMessage(message, messageCapacity,
               "cannot read the capture: libpcap cannot be loaded: ", loadError);
  }
  return pcap;
}

// The caller's read function behind a FILE* that libpcap reads.
struct CallerBytes {
  CaptureReadFunction read;
  void* context;
};

ssize_t ReadThroughFunction(void* cookie, char* buffer, size_t size) {
  const CallerBytes* source = static_cast<const CallerBytes*>(cookie);
  const long long n = source->read(source->context, buffer, size);
  // More than asked for is an error: stdio would take the bytes past the buffer.
  return n < 0 || static_cast<unsigned long long>(n) > size ? -1 : static_cast<ssize_t>(n);
}

#endif  // _WIN32

}  // namespace

int OpenCaptureFile(const char* path, CaptureReader** reader, char* message,
                    size_t messageCapacity) {
  if (reader == nullptr) return kCaptureBadArgument;
  *reader = nullptr;
  if (path == nullptr) return kCaptureBadArgument;
#ifdef _WIN32
  SetMessage(message, messageCapacity,
             "cannot read the capture: ", "this build reads fed GSMTAP datagrams only");
  return kCaptureNoLibpcap;
#else
  const PcapLibrary* pcap = Pcap(message, messageCapacity);
  if (pcap == nullptr) return kCaptureNoLibpcap;
  char error[PCAP_ERRBUF_SIZE] = "";
  pcap_t* capture = pcap->openOfflineWithTstampPrecision(path, PCAP_TSTAMP_PRECISION_MICRO, error);
  if (capture == nullptr) {
    SetMessage(message, messageCapacity, "unreadable capture: ", error);
    return kCaptureUnreadable;
  }
  return Start(pcap, capture, reader, message, messageCapacity);
#endif
}

int OpenCaptureStream(std::FILE* stream, CaptureReader** reader, char* message,
                      size_t messageCapacity) {
  if (reader != nullptr) *reader = nullptr;
  if (stream == nullptr || reader == nullptr) {
    if (stream != nullptr && stream != stdin) static_cast<void>(std::fclose(stream));
    return kCaptureBadArgument;
  }
#ifdef _WIN32
  if (stream != stdin) static_cast<void>(std::fclose(stream));
  SetMessage(message, messageCapacity,
             "cannot read the capture: ", "this build reads fed GSMTAP datagrams only");
  return kCaptureNoLibpcap;
#else
  const PcapLibrary* pcap = Pcap(message, messageCapacity);
  if (pcap == nullptr) {
    if (stream != stdin) static_cast<void>(std::fclose(stream));
    return kCaptureNoLibpcap;
  }
  char error[PCAP_ERRBUF_SIZE] = "";
  pcap_t* capture =
      pcap->fopenOfflineWithTstampPrecision(stream, PCAP_TSTAMP_PRECISION_MICRO, error);
  if (capture == nullptr) {
    if (stream != stdin) static_cast<void>(std::fclose(stream));
    SetMessage(message, messageCapacity, "unreadable capture: ", error);
    return kCaptureUnreadable;
  }
  return Start(pcap, capture, reader, message, messageCapacity);
#endif
}

int OpenCaptureReadFunction(CaptureReadFunction read, void* context, CaptureReader** reader,
                            char* message, size_t messageCapacity) {
  if (reader == nullptr) return kCaptureBadArgument;
  *reader = nullptr;
  if (read == nullptr) return kCaptureBadArgument;
#ifdef _WIN32
  static_cast<void>(context);
  SetMessage(message, messageCapacity,
             "cannot read the capture: ", "this build reads fed GSMTAP datagrams only");
  return kCaptureNoLibpcap;
#else
  CallerBytes* cookie = new (std::nothrow) CallerBytes{read, context};
  if (cookie == nullptr) {
    SetMessage(message, messageCapacity, "out of memory", "");
    return kCaptureNoMemory;
  }
  cookie_io_functions_t functions{};
  functions.read = ReadThroughFunction;
  functions.close = [](void* c) {
    delete static_cast<CallerBytes*>(c);
    return 0;
  };
  std::FILE* stream = fopencookie(cookie, "rb", functions);
  if (stream == nullptr) {
    delete cookie;
    SetMessage(message, messageCapacity, "out of memory", "");
    return kCaptureNoMemory;
  }
  return OpenCaptureStream(stream, reader, message, messageCapacity);
#endif
}

CaptureReader* CreateGsmtapReader() { return NewReader(); }

int FeedGsmtapDatagram(CaptureReader* reader, const unsigned char* datagram, size_t size,
                       int64_t seconds, uint32_t microseconds) {
  if (reader == nullptr) return -1;
#ifndef _WIN32
  if (reader->capture != nullptr) return -1;
#endif
  if (reader->nextEvent == reader->eventCount) reader->nextEvent = reader->eventCount = 0;
  ++reader->frame;
  reader->seconds = seconds;
  reader->microseconds = microseconds;
  GsmtapBch bch;
  TakePacket(*reader, FindBchInGsmtap(datagram, size, false, &bch), bch, 0, 0);
  return static_cast<int>(reader->eventCount - reader->nextEvent);
}

int FinishGsmtapReader(CaptureReader* reader) {
  if (reader == nullptr) return -1;
  if (reader->nextEvent == reader->eventCount) reader->nextEvent = reader->eventCount = 0;
  Flush(*reader);
  return static_cast<int>(reader->eventCount - reader->nextEvent);
}

int NextCaptureEvent(CaptureReader* reader, CaptureEvent* event) {
  if (reader == nullptr || event == nullptr) return -1;
  if (reader->nextEvent == reader->eventCount) {
    reader->nextEvent = reader->eventCount = 0;
#ifndef _WIN32
    while (reader->capture != nullptr && !reader->ended && reader->eventCount == 0) {
      ReadRecord(*reader);
    }
#endif
    if (reader->eventCount == 0) return 0;
  }
  const QueuedEvent& queued = reader->events[reader->nextEvent++];
  event->kind = queued.kind;
  event->frame = queued.frame;
  event->seconds = queued.seconds;
  event->microseconds = queued.microseconds;
  event->arfcn = queued.arfcn;
  event->sibType = queued.sibType;
  event->dropReason = queued.dropReason;
  event->frames = queued.frames.data();
  event->frameCount = queued.frames.size();
  event->text = queued.text.data();
  event->textLen = queued.text.size();
  event->summary = queued.kind == kCaptureSib ? &queued.summary : nullptr;
  event->report = queued.kind == kCaptureSib ? &queued.report : nullptr;
  event->sib = queued.sib.data();
  event->sibLen = queued.sib.size();
  event->blocks = queued.blocks.data();
  event->blocksLen = queued.blocks.size();
  event->message = queued.fixedMessage != nullptr ? queued.fixedMessage : queued.message;
  return 1;
}

void SetCaptureRelease(CaptureReader* reader, DecodeRelease release) {
  if (reader != nullptr) SetStreamRelease(reader->stream, release);
}

void GetCaptureCounts(const CaptureReader* reader, CaptureCounts* counts) {
  if (reader == nullptr || counts == nullptr) return;
  *counts = reader->counts;
  counts->frames = reader->frame;
  StreamCounts stream;
  GetStreamCounts(reader->stream, &stream);
  counts->sibsDecoded = stream.sibsDecoded;
  StreamDecodeCounts decoded;
  GetStreamDecodeCounts(reader->stream, &decoded);
  counts->sibsStopped = decoded.sibsStopped;
  counts->sibsWarned = decoded.sibsWarned;
  counts->chainsDropped = stream.chainsDropped;
  counts->straySegments = stream.segmentsDiscarded;
}

void CloseCapture(CaptureReader* reader) {
  if (reader == nullptr) return;
#ifndef _WIN32
  if (reader->capture != nullptr) reader->pcap->close(reader->capture);
#endif
  DestroyStreamState(reader->stream);
  DestroyRepeatedBlockFilter(reader->repeats);
  delete reader;
}

const char* ChainDropReasonText(ChainDropReason reason) {
  switch (reason) {
    case kDropInterrupted:
      return "a new first segment of the same SIB type came first";
    case kDropOutOfOrder:
      return "a segment is missing or repeated";
    case kDropTooLate:
      return "its next segment came too late for its cell's schedule";
    case kDropFlushed:
      return "the capture ended before its last segment";
    case kDropEvicted:
      return "its cell sent nothing for it too long, or too many cells had SIBs pending";
    case kNotDropped:
      break;
  }
  return "dropped";
}

bool IsCaptureMagic(const unsigned char* head, size_t size) {
  if (head == nullptr || size < 4) return false;
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

}  // namespace sibdecode
