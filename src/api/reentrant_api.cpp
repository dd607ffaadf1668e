// The reentrant API: each call takes its state and the text's capacity.
#include <cstddef>
#include <cstring>

#include "api/decoder_state.h"
#include "api/entry.h"
#include "api/raw_trailer.h"
#include "api/sib_dispatch.h"
#include "print/emitter.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

int GetDecodeReport(const DecoderState* state, DecodeReport* report) {
  if (state == nullptr || report == nullptr || report->size < sizeof(size_t)) return 0;
  const size_t size = report->size < sizeof(DecodeReport) ? report->size : sizeof(DecodeReport);
  // Everything after `size`, as far as the caller's struct reaches.
  std::memcpy(reinterpret_cast<unsigned char*>(report) + sizeof(size_t),
              reinterpret_cast<const unsigned char*>(&state->report) + sizeof(size_t),
              size - sizeof(size_t));
  return 1;
}

size_t MaxTextSize(size_t len) { return TextBufferSize + RawTrailerSize(len); }

unsigned int SibSummaryParts(unsigned int sibType) {
  const SibDispatchRow* row = FindSibRow(sibType);
  return row == nullptr ? kSummaryNothing : row->summaryParts;
}

bool IsDecodedSibTypeAt(unsigned int sibType, DecodeRelease release) {
  const SibDispatchRow* row = FindSibRow(sibType);
  return row != nullptr && (release != kRelease7 || row->release7);
}

bool IsDecodedSibType(unsigned int sibType) { return IsDecodedSibTypeAt(sibType, kRelease7); }

void SetDecodeRelease(DecoderState* state, DecodeRelease release) {
  if (state == nullptr || (release != kRelease7 && release != kReleaseLatest)) return;
  state->release7 = release == kRelease7;
}

void SetTextLayout(DecoderState* state, TextLayout layout) {
  if (state == nullptr || (layout != kTextLayoutRRCParserX && layout != kTextLayoutPlain &&
                           layout != kTextLayoutNone)) {
    return;
  }
  state->textLayout = layout;
}

int DecodeBatch(DecoderState* state, const unsigned char* data, size_t len,
                tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  return DecodeBatchText(state, data, len, out, text, textCapacity, textLen, TextLimit::Whole,
                         TextFormat::Text, nullptr);
}

int DecodeBatchJson(DecoderState* state, const unsigned char* data, size_t len,
                    tagSystemInformationBlock* out, char* json, size_t jsonCapacity,
                    size_t* jsonLen, unsigned int* sibType) {
  return DecodeBatchText(state, data, len, out, json, jsonCapacity, jsonLen, TextLimit::Whole,
                         TextFormat::Json, sibType);
}

namespace {

int DecodeBareSib(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
                  tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen,
                  TextFormat format) {
  if (!ArgumentsUsable(state, out, textLen)) return kNothingDecoded;
  ResetForCall(*state, out);
  if (sib == nullptr && len > 0) return kNothingDecoded;
  return DecodeAndRender(*state, sibType, sib, len, out, nullptr, 0, false, TextLimit::Whole,
                         format, text, textCapacity, textLen);
}

}  // namespace

int DecodeSib(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
              tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  return DecodeBareSib(state, sibType, sib, len, out, text, textCapacity, textLen,
                       TextFormat::Text);
}

int DecodeSibJson(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
                  tagSystemInformationBlock* out, char* json, size_t jsonCapacity,
                  size_t* jsonLen) {
  return DecodeBareSib(state, sibType, sib, len, out, json, jsonCapacity, jsonLen,
                       TextFormat::Json);
}

}  // namespace sibdecode
