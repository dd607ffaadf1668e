// The capture reader: packets from libpcap (or datagrams from the caller)
// through the GSMTAP parser into a stream, its events queued until the caller
// takes them.
#include <sibdecode/capture.h>
#include <sibdecode/gsmtap.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "api/decode_report.h"
#ifndef _WIN32
#include "decompress.h"
#include "pcap_library.h"
#include "pcapng_reader.h"
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

// Bytes read ahead from a read function: the first ones can be looked at
// before the format is known, and few reads carry many small blocks.
struct BufferedSource {
  CaptureReadFunction read = nullptr;
  void* context = nullptr;
  std::vector<unsigned char> data;
  size_t pos = 0;
  size_t end = 0;
  bool ended = false;
  bool failed = false;
};

}  // namespace

struct CaptureReader {
  bool fromFile = false;  // a capture file is read (not fed datagrams)
  DecodeRelease release = kReleaseLatest;
#ifndef _WIN32
  std::FILE* file = nullptr;  // the stream handed over, closed with the reader
  BufferedSource raw;         // the file's bytes
  Decompressor* decompressor = nullptr;
  BufferedSource plain;  // the capture's bytes (decompressed when compressed)
  const PcapLibrary* pcap = nullptr;
  pcap_t* capture = nullptr;       // a pcap file, read by libpcap
  PcapngReader* pcapng = nullptr;  // a pcapng file, read block by block
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

// The time of the frame being read. A microseconds field of a million or
// more (a faulty capture, a caller's slip) carries into the seconds.
void SetFrameTime(CaptureReader& reader, int64_t seconds, uint64_t microseconds) {
  reader.seconds = static_cast<int64_t>(static_cast<uint64_t>(seconds) + microseconds / 1000000);
  reader.microseconds = static_cast<uint32_t>(microseconds % 1000000);
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
  SetCaptureRelease(reader, kReleaseLatest);
  return reader;
}

#ifndef _WIN32

// A record that cannot be read: what came before is delivered.
void QueueTruncated(CaptureReader& reader, const char* reason) {
  ++reader.frame;
  QueuedEvent* event = NewEvent(reader, kCaptureTruncated);
  --reader.frame;
  if (event == nullptr) return;
  // A fault of the decompressed stream says more than what it cut short.
  const char* why = reader.decompressor != nullptr && *DecompressorError(reader.decompressor)
                        ? DecompressorError(reader.decompressor)
                        : reason;
  SetMessage(event->message, sizeof(event->message), "truncated or unreadable capture: ", why);
  event->fixedMessage = nullptr;
  ++reader.eventCount;
}

void TakeRecord(CaptureReader& reader, int linkType, const unsigned char* packet, size_t captured,
                size_t length) {
  GsmtapBch bch;
  const PacketKind kind = FindGsmtapBch(linkType, packet, captured, &bch);
  if (captured == 0) bch.skipCause = kSkipNotUdp;  // a record cut to nothing
  TakePacket(reader, kind, bch, captured, length);
}

// Reads one record of the file; at its end (or a fault) flushes the stream.
void ReadRecord(CaptureReader& reader) {
  if (reader.pcapng != nullptr) {
    PcapngPacket packet;
    const int next = NextPcapngPacket(*reader.pcapng, &packet);
    if (next == 1) {
      ++reader.frame;
      SetFrameTime(reader, packet.seconds, packet.microseconds);
      if (!packet.knownInterface) {
        // A packet of an interface its file does not describe: no link type to read it by.
        ++reader.counts.skipped;
        ++reader.counts.skippedBy[kSkipLinkLayer];
        return;
      }
      TakeRecord(reader, packet.linkType, packet.data, packet.captured, packet.length);
      return;
    }
    if (next < 0) QueueTruncated(reader, reader.pcapng->error);
  } else {
    struct pcap_pkthdr* header = nullptr;
    const u_char* packet = nullptr;
    const int next = reader.pcap->nextEx(reader.capture, &header, &packet);
    if (next == 1) {
      ++reader.frame;
      SetFrameTime(reader, header->ts.tv_sec, static_cast<uint32_t>(header->ts.tv_usec));
      TakeRecord(reader, reader.linkType, packet, header->caplen, header->len);
      return;
    }
    // libpcap says how the file ends: a cut record header or packet.
    if (next == PCAP_ERROR) QueueTruncated(reader, reader.pcap->geterr(reader.capture));
  }
  Flush(reader);
  reader.ended = true;
}

long long ReadBuffered(void* context, void* buffer, size_t size) {
  BufferedSource& source = *static_cast<BufferedSource*>(context);
  if (source.pos == source.end) {
    if (source.failed) return -1;
    if (source.ended || size == 0) return 0;
    source.pos = source.end = 0;
    const long long n = source.read(source.context, source.data.data(), source.data.size());
    if (n < 0 || static_cast<unsigned long long>(n) > source.data.size()) {
      source.failed = true;
      return -1;
    }
    if (n == 0) {
      source.ended = true;
      return 0;
    }
    source.end = static_cast<size_t>(n);
  }
  const size_t n = std::min(size, source.end - source.pos);
  std::memcpy(buffer, source.data.data() + source.pos, n);
  source.pos += n;
  return static_cast<long long>(n);
}

// Reads ahead until `size` bytes are held (fewer at the end); false on a read error.
bool Peek(BufferedSource& source, size_t size) {
  while (source.end - source.pos < size && !source.ended && !source.failed) {
    if (source.pos > 0) {
      std::memmove(source.data.data(), source.data.data() + source.pos, source.end - source.pos);
      source.end -= source.pos;
      source.pos = 0;
    }
    const size_t room = source.data.size() - source.end;
    const long long n = source.read(source.context, source.data.data() + source.end, room);
    if (n < 0 || static_cast<unsigned long long>(n) > room) {
      source.failed = true;
    } else if (n == 0) {
      source.ended = true;
    } else {
      source.end += static_cast<size_t>(n);
    }
  }
  return !source.failed;
}

bool StartSource(BufferedSource& source, CaptureReadFunction read, void* context) {
  source.read = read;
  source.context = context;
  try {
    source.data.resize(size_t{64} * 1024);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
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

// A FILE* over the capture's bytes for libpcap; null when the heap ran out.
std::FILE* StreamOver(BufferedSource& source) {
  CallerBytes* cookie = new (std::nothrow) CallerBytes{ReadBuffered, &source};
  if (cookie == nullptr) return nullptr;
  cookie_io_functions_t functions{};
  functions.read = ReadThroughFunction;
  functions.close = [](void* c) {
    delete static_cast<CallerBytes*>(c);
    return 0;
  };
  std::FILE* stream = fopencookie(cookie, "rb", functions);
  if (stream == nullptr) delete cookie;
  return stream;
}

long long ReadFile(void* context, void* buffer, size_t size) {
  std::FILE* file = static_cast<std::FILE*>(context);
  const size_t n = std::fread(buffer, 1, size, file);
  if (n == 0 && std::ferror(file)) return -1;
  return static_cast<long long>(n);
}

void Discard(CaptureReader* reader) {
  if (reader->capture != nullptr) reader->pcap->close(reader->capture);
  delete reader->pcapng;
  DestroyDecompressor(reader->decompressor);
  if (reader->file != nullptr && reader->file != stdin)
    static_cast<void>(std::fclose(reader->file));
  DestroyStreamState(reader->stream);
  DestroyRepeatedBlockFilter(reader->repeats);
  delete reader;
}

// Tells the capture by its first bytes (decompressing it when it is
// compressed) and starts reading it: pcapng block by block, pcap with libpcap.
int Open(CaptureReadFunction read, void* context, std::FILE* file, CaptureReader** out,
         char* message, size_t messageCapacity) {
  CaptureReader* reader = NewReader();
  if (reader == nullptr) {
    if (file != nullptr && file != stdin) static_cast<void>(std::fclose(file));
    SetMessage(message, messageCapacity, "out of memory", "");
    return kCaptureNoMemory;
  }
  reader->fromFile = true;
  reader->file = file;
  const auto fail = [&](int status, const char* prefix, const char* reason) {
    SetMessage(message, messageCapacity, prefix, reason);
    Discard(reader);
    return status;
  };
  if (!StartSource(reader->raw, read, context) || !StartSource(reader->plain, nullptr, nullptr)) {
    return fail(kCaptureNoMemory, "out of memory", "");
  }
  if (!Peek(reader->raw, 6)) return fail(kCaptureUnreadable, "unreadable capture: ", "read error");
  const unsigned char* head = reader->raw.data.data() + reader->raw.pos;
  const Compression compression = CompressionOf(head, reader->raw.end - reader->raw.pos);
  if (compression != Compression::kNone) {
    reader->decompressor =
        CreateDecompressor(compression, ReadBuffered, &reader->raw, message, messageCapacity);
    if (reader->decompressor == nullptr) {
      Discard(reader);
      return kCaptureUnreadable;
    }
    reader->plain.read = ReadDecompressed;
    reader->plain.context = reader->decompressor;
  } else {
    reader->plain.read = ReadBuffered;
    reader->plain.context = &reader->raw;
  }
  if (!Peek(reader->plain, 4)) {
    return fail(
        kCaptureUnreadable, "unreadable capture: ",
        reader->decompressor != nullptr ? DecompressorError(reader->decompressor) : "read error");
  }
  head = reader->plain.data.data() + reader->plain.pos;
  const size_t held = reader->plain.end - reader->plain.pos;
  if (held >= 4 && head[0] == 0x0A && head[1] == 0x0D && head[2] == 0x0D && head[3] == 0x0A) {
    reader->pcapng = new (std::nothrow) PcapngReader;
    if (reader->pcapng == nullptr) return fail(kCaptureNoMemory, "out of memory", "");
    reader->pcapng->read = ReadBuffered;
    reader->pcapng->context = &reader->plain;
    *out = reader;
    return kCaptureOk;
  }
  if (held < 4 || !IsCaptureMagic(head, held)) {
    const char* what = held == 0 && compression == Compression::kNone
                           ? "the file is empty"
                           : "not a pcap or pcapng capture";
    if (compression == Compression::kNone)
      return fail(kCaptureUnreadable, "unreadable capture: ", what);
    char prefix[64];
    static_cast<void>(std::snprintf(prefix, sizeof prefix, "unreadable capture: %s data, but ",
                                    CompressionName(compression)));
    return fail(kCaptureUnreadable, prefix, what);
  }
  reader->pcap = Pcap(message, messageCapacity);
  if (reader->pcap == nullptr) {
    Discard(reader);
    return kCaptureNoLibpcap;
  }
  std::FILE* stream = StreamOver(reader->plain);
  if (stream == nullptr) return fail(kCaptureNoMemory, "out of memory", "");
  char error[PCAP_ERRBUF_SIZE] = "";
  reader->capture =
      reader->pcap->fopenOfflineWithTstampPrecision(stream, PCAP_TSTAMP_PRECISION_MICRO, error);
  if (reader->capture == nullptr) {
    static_cast<void>(std::fclose(stream));
    return fail(kCaptureUnreadable, "unreadable capture: ", error);
  }
  reader->linkType = reader->pcap->datalink(reader->capture);
  *out = reader;
  return kCaptureOk;
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
  std::FILE* file = std::fopen(path, "rbe");
  if (file == nullptr) {
    char reason[512];
    static_cast<void>(std::snprintf(reason, sizeof reason, "%s: %s", path, std::strerror(errno)));
    SetMessage(message, messageCapacity, "unreadable capture: ", reason);
    return kCaptureUnreadable;
  }
  return OpenCaptureStream(file, reader, message, messageCapacity);
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
  return Open(ReadFile, stream, stream, reader, message, messageCapacity);
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
  return Open(read, context, nullptr, reader, message, messageCapacity);
#endif
}

CaptureReader* CreateGsmtapReader() { return NewReader(); }

int FeedGsmtapDatagram(CaptureReader* reader, const unsigned char* datagram, size_t size,
                       int64_t seconds, uint32_t microseconds) {
  if (reader == nullptr) return -1;
  if (reader->fromFile) return -1;
  if (reader->nextEvent == reader->eventCount) reader->nextEvent = reader->eventCount = 0;
  ++reader->frame;
  SetFrameTime(*reader, seconds, microseconds);
  GsmtapBch bch;
  TakePacket(*reader, FindBchInGsmtap(datagram, size, false, &bch), bch, 0, 0);
  return static_cast<int>(reader->eventCount - reader->nextEvent);
}

int FinishGsmtapReader(CaptureReader* reader) {
  if (reader == nullptr) return -1;
  if (reader->fromFile) return -1;  // a file's chains are flushed at its end, not in the middle
  if (reader->nextEvent == reader->eventCount) reader->nextEvent = reader->eventCount = 0;
  Flush(*reader);
  return static_cast<int>(reader->eventCount - reader->nextEvent);
}

int NextCaptureEvent(CaptureReader* reader, CaptureEvent* event) {
  if (reader == nullptr || event == nullptr) return -1;
  if (reader->nextEvent == reader->eventCount) {
    reader->nextEvent = reader->eventCount = 0;
#ifndef _WIN32
    while (reader->fromFile && !reader->ended && reader->eventCount == 0) {
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
  if (reader == nullptr || (release != kRelease7 && release != kReleaseLatest)) return;
  reader->release = release;
  SetStreamRelease(reader->stream, release);
  SetStreamTextLayout(reader->stream,
                      release == kRelease7 ? kTextLayoutRRCParserX : kTextLayoutPlain);
}

void SetCaptureText(CaptureReader* reader, bool withText) {
  if (reader == nullptr) return;
  if (!withText) {
    SetStreamTextLayout(reader->stream, kTextLayoutNone);
  } else {
    SetCaptureRelease(reader, reader->release);
  }
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
  Discard(reader);
#else
  DestroyStreamState(reader->stream);
  DestroyRepeatedBlockFilter(reader->repeats);
  delete reader;
#endif
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
      {0x1F, 0x8B, 0x08, 0x00}, {0xFD, 0x37, 0x7A, 0x58},  // gzip (its flags masked), xz
      {0x28, 0xB5, 0x2F, 0xFD},                            // zstd
  };
  if (head[0] == 0x1F && head[1] == 0x8B && head[2] == 0x08) return true;
  for (const auto& magic : kMagics) {
    if (std::memcmp(head, magic, 4) == 0) return true;
  }
  return false;
}

}  // namespace sibdecode
