// The process-wide decoder state behind RRCParserX. It is constructed when the
// library is loaded and destroyed when it is unloaded (ELF constructor and
// destructor here, DllMain in dll_main.cpp for the Windows DLL); calls must not
// overlap.
#include "frame/frame.h"

#include <new>

#include "api/decoder_state.h"
#include "api/entry.h"
#include "sibdecode/sibdecode.h"

namespace {

alignas(sibdecode::DecoderState) unsigned char processStateStorage[sizeof(sibdecode::DecoderState)];
sibdecode::DecoderState* processState = nullptr;

#if !defined(_WIN32)
__attribute__((constructor)) void OnLoad() { sibdecode::ConstructProcessState(); }
__attribute__((destructor)) void OnUnload() { sibdecode::DestroyProcessState(); }
#endif

}  // namespace

namespace sibdecode {

void ConstructProcessState() {
  if (processState == nullptr) processState = new (processStateStorage) DecoderState();
}

void DestroyProcessState() {
  if (processState == nullptr) return;
  processState->~DecoderState();
  processState = nullptr;
}

}  // namespace sibdecode

bool RRCParserX(unsigned char* data, unsigned int len, tagSystemInformationBlock* out, char* text,
                unsigned int& textLen) {
  sibdecode::DecoderState* state = processState;
  size_t written = textLen;
  // The host's buffer holds the work buffer's 102400 bytes and the trailer:
  // a longer text is cut at the last whole write that fits.
  int result = sibdecode::DecodeBatchText(state, data, len, out, text, sibdecode::MaxTextSize(len),
                                          &written, sibdecode::TextLimit::WorkBuffer,
                                          sibdecode::TextFormat::Text, nullptr);
  textLen = static_cast<unsigned int>(written);
  return result == sibdecode::kDecoded;
}
