// sibdecode captures: pcap files read through libpcap, pcapng files read
// block by block, either compressed or not, and GSMTAP datagrams handed over
// one by one. GSMTAP UMTS RRC BCCH-BCH messages are fed to the streaming entry
// point, one cell per ARFCN; the reader hands back each decoded SIB, each
// dropped chain and each fault, in capture order.
//
// libpcap is not linked: it is loaded when the first pcap file is opened
// (SIBDECODE_LIBPCAP in the environment names another file to load). A reader
// fed with datagrams never loads it.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace sibdecode {

// One capture being read: its libpcap handle (when read from a file), the
// stream of its cells and the events not handed back yet. One thread at a time.
struct CaptureReader;

enum CaptureStatus : int {
  kCaptureOk = 0,
  kCaptureNoLibpcap = 1,    // libpcap cannot be loaded (or this build does not load it)
  kCaptureUnreadable = 2,   // libpcap refuses the file: not a capture, a version it cannot read
  kCaptureNoMemory = 3,     // the heap ran out
  kCaptureBadArgument = 4,  // a null pointer
};

enum CaptureEventKind : int {
  kCaptureSib = 1,            // a SIB was decoded: text, summary, its own bits
  kCaptureDrop = 2,           // a pending segmented SIB was given up (dropReason, message)
  kCaptureWrongSize = 3,      // a BCCH-BCH message that is not 31 bytes; reading goes on
  kCaptureTruncated = 4,      // the file ends inside a record or cannot be read further;
                              // what came before is delivered, the pending chains are dropped
  kCaptureNoMemoryEvent = 5,  // the heap ran out: the pending chains (or the SIB being decoded,
                              // arfcn and sibType set) are given up; reading goes on
  kCaptureNotDecoded = 6,     // a whole SIB sent as extensionType that the cell's schedule does
                              // not name (no MIB or scheduling block of the cell yet): frames,
                              // blocks, arfcn, sibType 31 and message; counted in sibsNotDecoded
};

// Why a packet was skipped.
enum CaptureSkipCause : int {
  kSkipLinkLayer = 0,      // a link type or network protocol other than IPv4/IPv6
  kSkipNotUdp = 1,         // not UDP, or cut inside the IP or UDP header (or to nothing)
  kSkipOtherPort = 2,      // UDP, but neither port is GSMTAP's (4729)
  kSkipNotGsmtap = 3,      // to the GSMTAP port, but not a GSMTAP version 2 header
  kSkipOtherMessage = 4,   // GSMTAP of another type, or UMTS RRC other than BCCH-BCH
  kSkipIpFragment = 5,     // an IPv4 fragment: the datagram is not reassembled
  kSkipRepeatedBlock = 6,  // the GSMTAP frame number and block of the cell's previous block:
                           // the same packet captured twice, fed once
  kSkipCauseCount = 7,
};

// One event. The pointers are valid until the next call with the same reader.
struct CaptureEvent {
  CaptureEventKind kind;
  // The frame being read when the event came (counted from 1, as Wireshark
  // does; a fed datagram is a frame): the last block of a SIB, the faulty
  // packet, the record that could not be read; the last frame for chains
  // dropped at the end.
  uint64_t frame;
  // The time of the last frame read, UTC, to the microsecond.
  int64_t seconds;
  uint32_t microseconds;
  uint64_t arfcn;        // kCaptureSib, kCaptureDrop: the cell (GSMTAP ARFCN without its flag bits)
  unsigned int sibType;  // kCaptureSib, kCaptureDrop
  ChainDropReason dropReason;  // kCaptureDrop
  const uint64_t* frames;      // kCaptureSib, kCaptureDrop: the frames of the carrying blocks
  size_t frameCount;
  const char* text;  // kCaptureSib: SIB text and the raw-data trailer, as DecodeBatch
  size_t textLen;
  const tagSystemInformationBlock* summary;  // kCaptureSib
  const unsigned char* sib;  // kCaptureSib: the SIB's own bits, for DecodeSib or DecodeSibJson
  size_t sibLen;
  const unsigned char* blocks;  // kCaptureSib, kCaptureDrop: the 31-byte blocks, in frame order
  size_t blocksLen;
  // Every kind but kCaptureSib: what happened, in one line without file or
  // frame ("BCCH-BCH message of 30 bytes, expected 31 (...)").
  const char* message;
  const DecodeReport* report;  // kCaptureSib: complete, or where the decode stopped; warnings
};

struct CaptureCounts {
  uint64_t frames;                      // packets read (datagrams fed)
  uint64_t skipped;                     // packets not fed: no BCCH-BCH message, or captured twice
  uint64_t skippedBy[kSkipCauseCount];  // ... by CaptureSkipCause
  uint64_t wrongSize;                   // kCaptureWrongSize events
  uint64_t sibsDecoded;                 // kCaptureSib events
  uint64_t sibsNotDecoded;              // SIBs without a decoder or text (at Release 7: MIB,
                                        // scheduling blocks, ...), kCaptureNotDecoded
  uint64_t chainsDropped;               // kCaptureDrop events
  uint64_t straySegments;               // segments without a pending chain, out of order, repeated
  uint64_t sibsStopped;                 // ... of sibsDecoded, decoded only up to where they stopped
  uint64_t sibsWarned;                  // ... of sibsDecoded, with a warning
};

// Captures are pcap files (read through libpcap) or pcapng files (read block
// by block, also those that merge interfaces of several link types), either
// plain or compressed with gzip, xz or zstd (zlib, liblzma or libzstd is
// loaded when the first such capture is opened).
//
// Opens a capture file by path (opened once: FIFOs and /dev/fd paths work).
// On failure *reader is null and `message` (when not null) holds a line saying
// why, cut to messageCapacity bytes with its NUL.
SIBDECODE_API int OpenCaptureFile(const char* path, CaptureReader** reader, char* message,
                                  size_t messageCapacity);

// Reads from an open stream (a file, a pipe, standard input) from where it
// stands. The reader owns the stream from then on, also when it fails: it is
// closed by CloseCapture or at once.
SIBDECODE_API int OpenCaptureStream(std::FILE* stream, CaptureReader** reader, char* message,
                                    size_t messageCapacity);

// Bytes from the caller: `read` fills up to `size` bytes of `buffer` and
// returns how many (0 at the end, -1 on an error; more than `size` is an
// error too). It is called from
// NextCaptureEvent only, never after CloseCapture.
typedef long long (*CaptureReadFunction)(void* context, void* buffer, size_t size);
SIBDECODE_API int OpenCaptureReadFunction(CaptureReadFunction read, void* context,
                                          CaptureReader** reader, char* message,
                                          size_t messageCapacity);

// A reader without a file, fed with the GSMTAP datagrams a program receives
// (the UDP payload: GSMTAP header and message). Null when the heap ran out.
SIBDECODE_API CaptureReader* CreateGsmtapReader();

// Feeds one datagram that arrived at the given time; its events wait for
// NextCaptureEvent (take them all before the next datagram). A datagram that
// is not a GSMTAP BCCH-BCH message is counted as skipped. Returns the number
// of events waiting, or -1 when the reader is null or reads a file.
SIBDECODE_API int FeedGsmtapDatagram(CaptureReader* reader, const unsigned char* datagram,
                                     size_t size, int64_t seconds, uint32_t microseconds);

// Gives up the chains still pending in a fed reader (kCaptureDrop events,
// flushed). Returns the number of events waiting, -1 for a null reader or a
// reader of a file (whose chains are flushed at its end).
SIBDECODE_API int FinishGsmtapReader(CaptureReader* reader);

// The next event: 1 with *event filled, 0 when there is none (a file: it has
// been read to its end and its pending chains dropped; a fed reader: feed
// more), -1 for a null argument. A file is read as far as the next event.
SIBDECODE_API int NextCaptureEvent(CaptureReader* reader, CaptureEvent* event);

SIBDECODE_API void GetCaptureCounts(const CaptureReader* reader, CaptureCounts* counts);

// The release a reader decodes at: kReleaseLatest (every type, whole extension
// chains, extension types named by each cell's schedule, texts in the plain
// layout) unless set here, before the first event, to kRelease7 (RRCParserX's
// ten types and text).
SIBDECODE_API void SetCaptureRelease(CaptureReader* reader, DecodeRelease release);

// Without text (withText false, before the first event and after
// SetCaptureRelease): SIB events carry an empty text, for a host that reads
// only the summaries, reports, bits or values (Dask's records).
SIBDECODE_API void SetCaptureText(CaptureReader* reader, bool withText);

// Closes the file (and the stream handed over) and frees the reader.
SIBDECODE_API void CloseCapture(CaptureReader* reader);

// Why a chain was dropped, in a few words ("a segment is missing or repeated").
SIBDECODE_API const char* ChainDropReasonText(ChainDropReason reason);

// True when the bytes start with a pcap or pcapng magic number, or with that
// of a gzip, xz or zstd stream, which the reader opens as a compressed capture
// (4 bytes are enough to tell).
SIBDECODE_API bool IsCaptureMagic(const unsigned char* head, size_t size);

}  // namespace sibdecode
