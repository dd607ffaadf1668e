// The process-wide decoder state behind RRCParserX. It is constructed when the
// library is loaded and destroyed when it is unloaded; calls must not overlap.
#include "api/decoder_state.h"
#include "sibdecode/sibdecode.h"

namespace {

sibdecode::DecoderState processState;

}  // namespace

bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out, char* text,
                unsigned int& textLen) {
  size_t written = textLen;
  int result = sibdecode::DecodeBatch(&processState, data, len, out, text,
                                      sibdecode::MaxTextSize(len), &written);
  textLen = static_cast<unsigned int>(written);
  return result == sibdecode::kDecoded;
}
