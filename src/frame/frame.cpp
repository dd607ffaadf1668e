// The process-wide decoder state behind RRCParserX, destroyed when the library
// is unloaded; calls must not overlap. It is created by the first call rather
// than at load, so that an exhausted heap makes that call fail instead of
// ending the host while the library loads.
#include <cstring>

#include "api/decoder_state.h"
#include "api/entry.h"
#include "sibdecode/sibdecode.h"

namespace {

struct ProcessState {
  sibdecode::DecoderState* state = nullptr;
  ProcessState() = default;
  ProcessState(const ProcessState&) = delete;
  ProcessState& operator=(const ProcessState&) = delete;
  ~ProcessState() { sibdecode::DestroyDecoderState(state); }
};

ProcessState processState;  // constructed without allocating: nothing can fail at load

}  // namespace

bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out, char* text,
                unsigned int& textLen) {
  if (processState.state == nullptr) processState.state = sibdecode::CreateDecoderState();
  if (processState.state == nullptr) {
    // As when the heap runs out during a call: nothing decoded, no text.
    if (out != nullptr) std::memset(out, 0, sizeof(*out));
    textLen = 0;
    return false;
  }
  size_t written = textLen;
  // The host's buffer holds the work buffer's 102400 bytes and the trailer:
  // a longer text is cut at the last whole write that fits.
  int result = sibdecode::DecodeBatchText(
      processState.state, data, len, out, text, sibdecode::MaxTextSize(len), &written,
      sibdecode::TextLimit::WorkBuffer, sibdecode::TextFormat::Text, nullptr);
  textLen = static_cast<unsigned int>(written);
  return result == sibdecode::kDecoded;
}
