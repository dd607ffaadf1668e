// Decodes every batch of a hex capture with the Linux library, through
// RRCParserX and through DecodeBatch, and writes the outcomes that the Windows
// DLL test compares against.
// Usage: sibdecode_dll_expected CAPTURE.hex RESULTS
#include <cstdio>
#include <string>
#include <vector>

#include "batch_results.h"
#include "sibdecode/sibdecode.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s CAPTURE.hex RESULTS\n", argv[0]);
    return 2;
  }
  std::vector<dlltest::Batch> batches;
  std::string error;
  if (!dlltest::ReadHexBatches(argv[1], &batches, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }
  sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  std::string results;
  for (const dlltest::Batch& batch : batches) {
    std::vector<unsigned char> data = batch.bytes;
    std::vector<char> text(sibdecode::MaxTextSize(data.size()));
    tagSystemInformationBlock out;

    dlltest::Outcome parsed;
    dlltest::PrepareCall(&text, &out);
    unsigned int textLen = dlltest::kTextLenMark;
    bool decoded =
        RRCParserX(data.data(), static_cast<unsigned int>(data.size()), &out, text.data(), textLen);
    dlltest::RecordCall(decoded ? 1 : 0, textLen, text, out, &parsed);
    dlltest::PutOutcome(&results, parsed);

    dlltest::Outcome batched;
    dlltest::PrepareCall(&text, &out);
    size_t batchTextLen = dlltest::kTextLenMark;
    int status = sibdecode::DecodeBatch(state, data.data(), data.size(), &out, text.data(),
                                        text.size(), &batchTextLen);
    dlltest::RecordCall(status, static_cast<uint32_t>(batchTextLen), text, out, &batched);
    dlltest::PutOutcome(&results, batched);
  }
  sibdecode::DestroyDecoderState(state);
  if (!dlltest::WriteFile(argv[2], results)) {
    std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return 1;
  }
  std::printf("%zu batches decoded into %s\n", batches.size(), argv[2]);
  return 0;
}
