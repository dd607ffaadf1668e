// The process-wide decoder state behind RRCParserX. It is created when the
// library is loaded and destroyed when it is unloaded (ELF constructor and
// destructor here, DllMain in dll_main.cpp for the Windows DLL); calls must not
// overlap. Creating it never throws: when the heap is exhausted at load, the
// first call creates it, and a call that cannot fails like one that runs out
// of memory, so an exhausted heap never ends the host.
#include <climits>
#include <cstdint>
#include <cstring>

#include "api/decoder_state.h"
#include "api/entry.h"
#include "legacy_entry/process_state.h"
#include "sibdecode/sibdecode.h"

namespace {

sibdecode::DecoderState* processState = nullptr;

#if !defined(_WIN32)
__attribute__((constructor)) void OnLoad() { sibdecode::ConstructProcessState(); }
__attribute__((destructor)) void OnUnload() { sibdecode::DestroyProcessState(); }
#endif

}  // namespace

namespace sibdecode {

void ConstructProcessState() {
  if (processState == nullptr) {
    processState = CreateDecoderState();  // null when out of memory
    // RRCParserX keeps no report: no decode again to find its warnings' paths.
    if (processState != nullptr) processState->warningPaths = false;
  }
}

void DestroyProcessState() {
  DestroyDecoderState(processState);
  processState = nullptr;
}

}  // namespace sibdecode

bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out, char* text,
                unsigned int& textLen) {
  sibdecode::ConstructProcessState();
  if (processState == nullptr) {
    // As when the heap runs out during a call: nothing decoded, no text.
    if (out != nullptr) std::memset(out, 0, sizeof(*out));
    textLen = 0;
    return false;
  }
  // The host's buffer holds the work buffer's 102400 bytes and the trailer:
  // a longer text is cut at the last whole write that fits.
  // The trailer takes less than three characters a byte.
  const uint64_t largestText = uint64_t{sibdecode::MaxTextSize(0)} + 3 * uint64_t{len};
  if (largestText > UINT_MAX && text != nullptr) {
    // A batch of about 2 GB or more: its text may not fit textLen. The text is
    // printed only once its length is known to fit.
    size_t needed = 0;
    sibdecode::DecodeBatchText(processState, data, len, out, nullptr, 0, &needed,
                               sibdecode::TextLimit::WorkBuffer, sibdecode::TextFormat::Text,
                               nullptr);
    if (needed > UINT_MAX) {
      std::memset(out, 0, sizeof(*out));
      return false;
    }
  }
  size_t written = textLen;
  // A null text asks for the length only: false, textLen the bytes needed.
  int result = sibdecode::DecodeBatchText(
      processState, data, len, out, text, sibdecode::MaxTextSize(len), &written,
      sibdecode::TextLimit::WorkBuffer, sibdecode::TextFormat::Text, nullptr);
  textLen = static_cast<unsigned int>(written);
  return result == sibdecode::kDecoded;
}
