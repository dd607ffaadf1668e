// sibdecode: TD-SCDMA broadcast system information (TS 25.331 RRC, Release 7,
// unaligned PER) from BCH transport blocks to text and a fixed summary record.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(SIBDECODE_BUILDING)
#define SIBDECODE_API __declspec(dllexport)
#elif defined(_WIN32)
#define SIBDECODE_API __declspec(dllimport)
#else
#define SIBDECODE_API __attribute__((visibility("default")))
#endif

// ---- summary record: 32-bit little-endian words at fixed offsets ----
//
// The record types are plain data (standard layout, trivially copyable; a host
// may memcpy them). Their member-wise copy assignment is also exported from the
// library as an out-of-line function: tagX::operator=(const tagX&) on Linux,
// ??4tagX@@QAEAAU0@ABU0@@Z (__thiscall) in sibdecode.dll.

// Marks an optional number that was absent from the message (bit pattern 0xFFFF0001).
constexpr int kAbsentValue = -65535;

struct tagSystemInformationBlockType3 {
  unsigned int cellIdentity;
};

struct tagSystemInformationBlockType4 {
  unsigned int cellIdentity;
};

struct tagIntraFreqCell {
  int intraFreqCellID;
  int cellParametersID;
};

struct tagInterFreqCell {
  int interFreqCellID;
  int uarfcn_Nt;
  int cellParametersID;
};

struct tagInterRATCell {
  int interRATCellID;
  int bcch_ARFCN;
  int bsic;  // NCC * 10 + BCC
};

struct tagSystemInformationBlockType11 {
  unsigned int interRATCellCount;
  tagInterRATCell interRATCells[32];
  unsigned int intraFreqCellCount;
  tagIntraFreqCell intraFreqCells[32];
  unsigned int interFreqCellCount;
  tagInterFreqCell interFreqCells[32];
};

struct tagSystemInformationBlock {
  tagSystemInformationBlockType3 sib3;
  tagSystemInformationBlockType4 sib4;
  tagSystemInformationBlockType11 sib11;
};

// Decodes one batch of 31-byte BCH transport blocks with the process-wide state.
// One call at a time. `text` must hold 102400 bytes plus the raw-data trailer
// (29 + 2*len + 2*((len-1)/31) bytes for len >= 1). No NUL is written. When
// the heap runs out it returns false with textLen 0 and out zeroed; no
// exception leaves the library. A null `text` asks for the length only: false,
// textLen the bytes needed, out filled. A batch whose text length would not fit
// textLen (about 2 GB of input) is refused: false, out zeroed, text and textLen
// untouched.
SIBDECODE_API bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out,
                              char* text, unsigned int& textLen);

namespace sibdecode {

// Per-thread decoding state (segment queue, current segment, cell queues,
// cell-identity accumulator) for the reentrant entry points.
struct DecoderState;

SIBDECODE_API DecoderState* CreateDecoderState();
SIBDECODE_API void DestroyDecoderState(DecoderState* state);

enum DecodeResult : int {
  kDecoded = 1,         // text and summary filled
  kNothingDecoded = 0,  // nothing reassembled, unsupported SIB type, or empty text
  kTextTooSmall = -1,   // decoded, but the text needs *textLen bytes; nothing written to text
  kNoMemory = -2,       // the heap ran out in the call's own storage: *textLen 0, out zeroed
};

// The buffer RRCParserX needs for a batch of `len` bytes: the 102400-byte work
// buffer plus the raw-data trailer. It holds almost every text whole; a longer
// one (a SIB5 or SIB6 with long lists) gets kTextTooSmall from the calls below.
SIBDECODE_API size_t MaxTextSize(size_t len);

// The parts of the summary record a SIB type fills (bits, or'ed).
enum SummaryPart : unsigned int {
  kSummaryNothing = 0,
  kSummarySib3CellIdentity = 1,  // sib3.cellIdentity
  kSummarySib4CellIdentity = 2,  // sib4.cellIdentity
  kSummaryNeighbourCells = 4,    // the intra-frequency, inter-frequency and GSM cells of sib11
};

// ---- SIB types: numbers and names ----
//
// A SIB type number is the SIB-Type index of the BCH (0 master information
// block, 1..7, 11..13 SIB1..SIB13, 27 and 28 the scheduling blocks, ...; 31 is
// extensionType, a SIB whose type only the cell's schedule names), or, for the
// types named that way, 32 + the SIB-TypeExt index (32 SIB11bis, 33 SIB15bis,
// 34 SIB15.1bis, 35 SIB15.2bis, 36 SIB15.3bis, 37..39 SIB15.6..SIB15.8) or 40 +
// the SIB-TypeExt2 index (40 SIB19, 41 SIB15.2ter, 42 SIB20). These numbers are
// stable.
constexpr unsigned int kSibTypeExtension = 31;
constexpr unsigned int kSibTypeExtensionBase = 32;
constexpr unsigned int kSibTypeExtension2Base = 40;
constexpr unsigned int kSibTypeNumbers = 48;  // every number is below this

// The type's short name: "MIB", "SB1", "SIB3", "SIB5bis", "SIB13.1", "SIB15.1bis",
// "SIB19", "extensionType" (31); "?" for a number that names no type.
SIBDECODE_API const char* SibTypeName(unsigned int sibType);

// The type a name gives: a short name as SibTypeName writes it, without case
// and with the "SIB" prefix optional ("mib", "sb1", "11bis", "SIB15.1bis",
// "19" for SIB19), or a SIB-Type index 0..31 that names no SIB by its number
// ("0" the MIB, "27" SB1). Returns 1 and sets *sibType, or 0.
SIBDECODE_API int SibTypeFromName(const char* name, unsigned int* sibType);

// What a decode covers. kRelease7: RRCParserX's ten types (1..7, 11, 12, 13),
// their extension chains ending at the Release 7 level (a later container is
// reported with kWarnLaterRelease, not decoded), its text byte for byte.
// kReleaseLatest: every type the BCH carries, each to the end of its extension
// chain (Release 9).
enum DecodeRelease : int {
  kRelease7 = 7,
  kReleaseLatest = 9,
};

// True when a decode at `release` decodes and prints SIBs of this type.
SIBDECODE_API bool IsDecodedSibTypeAt(unsigned int sibType, DecodeRelease release);

// What a decoded SIB of this type puts into the summary record (0 for a type
// without a decoder; the rest of the record stays zero).
SIBDECODE_API unsigned int SibSummaryParts(unsigned int sibType);

// True for the SIB types the library decodes and prints at Release 7 (the
// default of a DecoderState and a stream).
SIBDECODE_API bool IsDecodedSibType(unsigned int sibType);

// The release the state's later calls decode at (DecodeBatch, DecodeSib and
// their JSON forms): kRelease7 (the default, RRCParserX's results) or
// kReleaseLatest. Ignored for a null state or another value.
SIBDECODE_API void SetDecodeRelease(DecoderState* state, DecodeRelease release);

// How a text is laid out. kTextLayoutRRCParserX (the default of a DecoderState
// and a stream): RRCParserX's text byte for byte, "\r\n" line ends, some
// members deeper than their siblings, an octet string as an unnamed
// "Message dump (Hex):" block. kTextLayoutPlain, for people: every line ends in
// "\n" and stands 4 spaces deeper per enclosing block, an octet string is a
// named line ("cn_CommonGSM_MAP_NAS_SysInfo = 3E 1C F5 57 64 45"), the
// raw-data trailer as it is. kTextLayoutNone: no text at all, for a host that
// shows the values its own way: a decode fills the summary record and the
// report and returns kDecoded with *textLen 0 (a stream's events carry no
// text). JSON is not affected.
enum TextLayout : int {
  kTextLayoutRRCParserX = 0,
  kTextLayoutPlain = 1,
  kTextLayoutNone = 2,
};

// The layout of the state's later texts (DecodeBatch, DecodeSib). Ignored for a
// null state or another value.
SIBDECODE_API void SetTextLayout(DecoderState* state, TextLayout layout);

// RRCParserX's results, but the text comes whole however long it is (RRCParserX
// cuts it at 102400 bytes), and never more than textCapacity bytes are written.
// *textLen receives the bytes written, or the bytes needed when kTextTooSmall:
// call again with a buffer that large.
SIBDECODE_API int DecodeBatch(DecoderState* state, const unsigned char* data, size_t len,
                              tagSystemInformationBlock* out, char* text, size_t textCapacity,
                              size_t* textLen);

// Decodes and prints a bare SIB of the given type (its encoding without BCH
// framing); the text has no raw-data trailer. Same results as DecodeBatch.
SIBDECODE_API int DecodeSib(DecoderState* state, unsigned int sibType, const unsigned char* sib,
                            size_t len, tagSystemInformationBlock* out, char* text,
                            size_t textCapacity, size_t* textLen);

// The decoded SIB as one JSON object (no line end, no trailer): members and
// alternatives under the names the text prints, an absent OPTIONAL member left
// out, enumerations and bit strings as strings, lists as arrays. Results, summary
// record and capacity handling as DecodeBatch; *sibType (when not null) receives
// the SIB type.
SIBDECODE_API int DecodeBatchJson(DecoderState* state, const unsigned char* data, size_t len,
                                  tagSystemInformationBlock* out, char* json, size_t jsonCapacity,
                                  size_t* jsonLen, unsigned int* sibType);
SIBDECODE_API int DecodeSibJson(DecoderState* state, unsigned int sibType, const unsigned char* sib,
                                size_t len, tagSystemInformationBlock* out, char* json,
                                size_t jsonCapacity, size_t* jsonLen);

// ---- decode reports: where a decode stopped and what it noticed ----

// Why a decode stopped before the end of its SIB.
enum DecodeStop : int {
  kStopNone = 0,          // it did not stop (complete, or nothing was decoded)
  kStopEndOfData = 1,     // the SIB's bits ended inside a value
  kStopOutOfRange = 2,    // a value outside its type (an index, a count, a length)
  kStopUnsupported = 3,   // an encoding this decoder does not take (or a SIB type without decoder)
  kStopNoMemory = 4,      // the heap ran out
  kStopTypeNotKnown = 5,  // a stream's extensionType SIB that the cell's schedule does not name
                          // (no MIB or scheduling block of the cell decoded yet, or it names
                          // none or several types at the SIB's place in the SFN cycle)
};

// Where an encoding departs from its constraints while decoding goes on.
enum DecodeWarning : int {
  kWarnListAboveSize = 1,  // a list's count is above its SIZE bound (its elements are decoded)
  kWarnBitsLeftOver = 2,   // non-zero bits follow the end of the SIB
  kWarnSegmentGap = 3,     // DecodeBatch joined a segment chain with an index missing
  kWarnLaterRelease = 4,   // at Release 7: an extension container of a later release is present;
                           // its path names it, its content is not decoded
};

constexpr size_t kReportPathSize = 640;  // longer than the longest path of any SIB type
constexpr unsigned int kReportWarnings = 8;

// A stop or a warning. `path` names the member being decoded as the text
// names it, from the SIB type down (a list element as [index]):
// "SysInfoType3.cellSelectReselectInfo.modeSpecificInfo.tdd.q_Hyst_l_S".
// `bit` counts from the first bit of the SIB.
struct DecodeNote {
  int kind;  // DecodeStop for `stop`, DecodeWarning for a warning
  uint64_t bit;
  char path[kReportPathSize];  // NUL-terminated
};

// What the last decode of a DecoderState (or a stream's kSibCompleted event)
// found. Set `size` to sizeof(DecodeReport) before asking: later versions may
// add members at the end, and only `size` bytes are written (a caller that
// only wants to know whether there is anything to note may ask for the
// members before `stop`).
struct DecodeReport {
  size_t size;
  unsigned int sibType;
  int decoded;   // 1 when the SIB went through a decoder (its text, as far as it got, was made)
  int complete;  // 1 when the decoder reached the end of the SIB; `stop` is then kStopNone
  unsigned int warningCount;  // every warning; the first kReportWarnings are in `warnings`
  uint64_t endBit;  // where the decoder stopped reading (complete: the end of the SIB's encoding)
  DecodeNote stop;
  DecodeNote warnings[kReportWarnings];
};

// Copies the report of the state's last DecodeBatch, DecodeSib or JSON call
// (RRCParserX keeps none) into *report, at most report->size bytes. Returns 1,
// or 0 when an argument is null or report->size is below sizeof(size_t).
// A stopped SIB's text is printed as far as the decoder got; in its JSON the
// unreached values are left out and the object ends with "complete": false,
// "stop" and "warnings".
SIBDECODE_API int GetDecodeReport(const DecoderState* state, DecodeReport* report);

// A stop reason or a warning in a few words ("end of data", "list above its SIZE bound").
SIBDECODE_API const char* DecodeStopText(int stop);
SIBDECODE_API const char* DecodeWarningText(int warning);

// The report in one line, members named below the SIB type:
// "stopped at bit 55 in cellSelectReselectInfo.mappingInfo[0]...: end of data;
// warning at bit 631 in SysInfoType3: bits left over; 3 more warnings". Empty
// for a complete decode without warnings (or a report of nothing decoded);
// `report` is one fetched whole.
// Writes at most `capacity` bytes, NUL-terminated when capacity > 0; returns
// the length of the whole line (call again with more room when it is not
// below capacity).
SIBDECODE_API size_t DescribeDecodeReport(const DecodeReport* report, char* text, size_t capacity);

// ---- streaming: one block at a time, several cells ----

// Pending segmented SIBs per cell, the decoder state and the text buffer of a
// stream. One stream per thread, like DecoderState.
struct StreamState;

// Null when the heap is exhausted.
SIBDECODE_API StreamState* CreateStreamState();
SIBDECODE_API void DestroyStreamState(StreamState* state);

enum StreamEventKind : int {
  kSibCompleted = 1,  // every segment of a SIB arrived; it went through the decoder
  kChainDropped = 2,  // a pending segmented SIB was given up
};

enum ChainDropReason : int {
  kNotDropped = 0,
  kDropInterrupted = 1,  // a new first segment (or complete SIB) of the same type came first
  kDropOutOfOrder = 2,   // a segment index other than the next one came (missing or repeated)
  kDropFlushed = 3,      // still pending when the stream was flushed
  kDropTooLate = 4,      // the next segment came more than 16 SFN-prime steps (32 frames)
                         // after the previous one: not this cell's schedule
  kDropEvicted = 5,      // given up to bound what the stream keeps: its cell was fed nothing
                         // for the chain during 65536 blocks, or more than 1024 cells had
                         // chains pending and its cell was fed least recently
};

// What the callback gets. Pointers are valid during the callback only.
struct StreamEvent {
  StreamEventKind kind;
  ChainDropReason dropReason;
  uint64_t cellKey;
  unsigned int sibType;
  // kSibCompleted: kDecoded, kNothingDecoded for a type without a decoder or
  // an empty text, or kNoMemory when the heap ran out decoding it. Text and summary are what
  // DecodeBatch gives for the batch of `blocks`, except that only this SIB's own segment bits reach
  // the decoder.
  int result;
  const char* text;  // kDecoded: SIB text and the raw-data trailer of `blocks`
  size_t textLen;
  const tagSystemInformationBlock* summary;  // kSibCompleted
  // kSibCompleted: the SIB's own bits packed into bytes, for DecodeSib or DecodeSibJson.
  const unsigned char* sib;
  size_t sibLen;
  // The 31-byte blocks that carried the SIB's segments (for a dropped chain:
  // the ones received), in arrival order, and the tag fed with each.
  const unsigned char* blocks;
  size_t blocksLen;
  const uint64_t* blockTags;
  size_t blockCount;
  // kSibCompleted: what the decode found (complete or where it stopped, warnings), as
  // GetDecodeReport gives it; null for kChainDropped. Its `size` is sizeof(DecodeReport).
  const DecodeReport* report;
};

typedef void (*StreamCallback)(const StreamEvent& event, void* context);

struct StreamCounts {
  uint64_t blocks;             // blocks fed
  uint64_t sibsCompleted;      // kSibCompleted events
  uint64_t sibsDecoded;        // ... of them with result kDecoded
  uint64_t chainsDropped;      // kChainDropped events
  uint64_t segmentsDiscarded;  // segments without a pending chain, out of order, or repeated
};

// Of a stream's decoded SIBs (StreamCounts::sibsDecoded), those whose decode
// stopped before the SIB's end and those with a warning. A record of its own:
// StreamCounts keeps the size programs built against it expect.
struct StreamDecodeCounts {
  uint64_t sibsStopped;
  uint64_t sibsWarned;
};

// Feeds one 31-byte BCH block of the cell `cellKey`; `blockTag` is the caller's
// number for the block (frame number, say) and comes back in events. Blocks of
// a cell come in the order the cell sent them. Segments are followed per
// (cellKey, SIB type) by index; `callback` receives each SIB as soon as its
// last segment arrives, and each dropped chain: a new first segment of the same
// type drops the pending one, so does a segment index other than the next or a
// next segment too far behind the previous. A segment repeated as it was taken
// (the same block twice) is ignored. A stream keeps pending chains of at most
// 1024 cells, and none older than 65536 blocks (kDropEvicted).
//
// The callback may read the event, copy what it needs and call the decoding
// functions with a DecoderState of its own; it must not feed or flush this
// stream. It may throw: the stream stays as if it had returned (the event
// counts as delivered, the block's other events follow), and the first
// exception leaves FeedBlock or FlushStream once the call's work is done.
// Returns the number of events delivered, -1 when state or block is null, or
// kNoMemory when the heap ran out: the pending chains are then given up without
// events, and the stream can be fed again.
SIBDECODE_API int FeedBlock(StreamState* state, uint64_t cellKey, uint64_t blockTag,
                            const unsigned char* block, StreamCallback callback, void* context);

// Drops every pending chain (each reported with kDropFlushed); the stream can
// be fed again afterwards. Returns the number of events delivered.
SIBDECODE_API int FlushStream(StreamState* state, StreamCallback callback, void* context);

// The release the stream decodes at (kRelease7 by default; see DecodeRelease).
// At kReleaseLatest the stream also keeps each cell's latest MIB, SB1 and SB2
// schedule and gives an extensionType SIB the type it names (kSibCompleted's
// sibType is then SIB11bis, SIB19, ...): the one extension type the cell
// schedules, or the one whose segments come where the SIB's did in the SFN
// cycle. One it cannot name (no schedule of the cell yet) completes as
// extensionType, not decoded, with the stop kStopTypeNotKnown. Schedules of at
// most 4096 cells are kept (the one updated least recently is forgotten).
SIBDECODE_API void SetStreamRelease(StreamState* state, DecodeRelease release);
// The layout of the stream's texts (kTextLayoutRRCParserX by default; see TextLayout).
SIBDECODE_API void SetStreamTextLayout(StreamState* state, TextLayout layout);
// all false: a stream that reassembles and decodes only what names extension
// types (the MIB and the scheduling blocks); every other SIB completes with
// kNothingDecoded, its bits and an empty report, for a host that decodes the
// SIBs it shows when it shows them (DecodeSib). True by default.
SIBDECODE_API void SetStreamDecodesAll(StreamState* state, bool all);

SIBDECODE_API void GetStreamCounts(const StreamState* state, StreamCounts* counts);
SIBDECODE_API void GetStreamDecodeCounts(const StreamState* state, StreamDecodeCounts* counts);

}  // namespace sibdecode
