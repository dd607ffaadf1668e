// sibdecode: TD-SCDMA broadcast system information (TS 25.331 RRC, Release 7,
// unaligned PER) from BCH transport blocks to text and a fixed summary record.
#pragma once

#include <cstddef>

#if defined(_WIN32)
#define SIBDECODE_API __declspec(dllexport)
#else
#define SIBDECODE_API __attribute__((visibility("default")))
#endif

// ---- summary record: 32-bit little-endian words at fixed offsets ----

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
// exception leaves the library.
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

}  // namespace sibdecode
