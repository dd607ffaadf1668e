// The steps of one decoding call, shared by the reentrant API, the stream and
// the legacy entry point, and exposed for tests.
#pragma once

#include <cstddef>
#include <cstdint>
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

// Empties the queues and the feed, zero-fills *out.
void ResetForCall(DecoderState& state, tagSystemInformationBlock* out);

// The call's own storage could not be allocated: nothing of the call is kept
// (queues emptied, *out zeroed) and no text is delivered. The exported
// functions report this (kNoMemory) instead of letting an exception into the
// host.
int NoMemory(DecoderState& state, tagSystemInformationBlock* out, size_t* textLen);

inline bool ArgumentsUsable(const DecoderState* state, const tagSystemInformationBlock* out,
                            const size_t* textLen) {
  return state != nullptr && out != nullptr && textLen != nullptr;
}

// DecodeBatch with the given limit (RRCParserX: WorkBuffer) and format;
// *sibTypeOut (when not null) receives the reassembled SIB's type.
int DecodeBatchText(DecoderState* state, const unsigned char* data, size_t len,
                    tagSystemInformationBlock* out, char* text, size_t textCapacity,
                    size_t* textLen, TextLimit limit, TextFormat format, unsigned int* sibTypeOut);

// Block walk and reassembly over the state's queue. False when nothing was reassembled.
bool ReassembleBatch(DecoderState& state, const unsigned char* data, size_t len, uint32_t* sibType,
                     std::vector<uint8_t>* packed);

// Dispatch, decode, print, summary drain and text output of one reassembled
// SIB; `raw` is what the trailer dumps. Returns a DecodeResult.
int DecodeAndRender(DecoderState& state, uint32_t sibType, const uint8_t* sib, size_t sibSize,
                    tagSystemInformationBlock* out, const unsigned char* raw, size_t rawLen,
                    bool withTrailer, TextLimit limit, TextFormat format, char* text,
                    size_t capacity, size_t* textLen);

}  // namespace sibdecode
