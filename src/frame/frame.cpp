// The process-wide decoder state behind RRCParserX. It is constructed when the
// library is loaded and destroyed when it is unloaded; calls must not overlap.
#include "api/decoder_state.h"
#include "api/entry.h"
#include "sibdecode/sibdecode.h"

namespace {

sibdecode::DecoderState processState;

}  // namespace

bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out, char* text,
                unsigned int& textLen) {
  size_t written = textLen;
  // The host's buffer holds the work buffer's 102400 bytes and the trailer:
  // a longer text is cut at the last whole write that fits.
  int result = sibdecode::DecodeBatchText(
      &processState, data, len, out, text, sibdecode::MaxTextSize(len), &written,
      sibdecode::TextLimit::WorkBuffer, sibdecode::TextFormat::Text, nullptr);
  textLen = static_cast<unsigned int>(written);
  return result == sibdecode::kDecoded;
}
