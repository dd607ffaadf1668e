// The steps of one decoding call, exposed for the frame and for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "api/decoder_state.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

// How long a text may get: RRCParserX's callers size their buffers by the
// work buffer (102400 bytes, the text cut at the last whole write); the
// reentrant API and the CLI deliver every text whole.
enum class TextLimit { WorkBuffer, Whole };
// The indented text with its raw-data trailer, or the value as JSON.
enum class TextFormat { Text, Json };

// DecodeBatch with the given limit (RRCParserX: WorkBuffer) and format;
// *sibTypeOut (when not null) receives the reassembled SIB's type.
int DecodeBatchText(DecoderState* state, const unsigned char* data, size_t len,
                    tagSystemInformationBlock* out, char* text, size_t textCapacity,
                    size_t* textLen, TextLimit limit, TextFormat format, unsigned int* sibTypeOut);

// Empties the queues and the accumulator, zero-fills *out.
void ResetForCall(DecoderState& state, tagSystemInformationBlock* out);

// Block walk and reassembly over the state's queue. False when nothing was reassembled.
bool ReassembleBatch(DecoderState& state, const unsigned char* data, size_t len, uint32_t* sibType,
                     std::vector<uint8_t>* packed);

// Copies the cell identities and the cell queues into the summary record, at
// most 32 entries per neighbour list.
void DrainSummaryFeed(const SummaryFeed& feed, tagSystemInformationBlock* out);

// "\r\n<<<-----raw data ----->>>\r\n" and the input bytes as %02X pairs, with
// "\r\n" before every byte whose index is a non-zero multiple of 31.
std::string BuildRawTrailer(const unsigned char* data, size_t len);
size_t RawTrailerSize(size_t len);
// Writes the trailer's RawTrailerSize(len) bytes at out; returns the end.
char* WriteRawTrailer(char* out, const unsigned char* data, size_t len);

// Final output step: with printedLen 0, *textLen = 0 and kNothingDecoded;
// otherwise the printed text and the trailer (when `withTrailer`) go to `text`
// if they fit in `capacity`, else nothing is written, *textLen = bytes needed
// and kTextTooSmall.
int DeliverText(const char* printed, size_t printedLen, const unsigned char* raw, size_t rawLen,
                bool withTrailer, char* text, size_t capacity, size_t* textLen);

// Dispatch, decode, print, summary drain and text output of one reassembled
// SIB; `raw` is what the trailer dumps. Returns a DecodeResult.
int DecodeAndRender(DecoderState& state, uint32_t sibType, const uint8_t* sib, size_t sibSize,
                    tagSystemInformationBlock* out, const unsigned char* raw, size_t rawLen,
                    bool withTrailer, TextLimit limit, TextFormat format, char* text,
                    size_t capacity, size_t* textLen);

}  // namespace sibdecode
