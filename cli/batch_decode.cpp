// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include <cstdio>

#include "inputs.h"
#include "output.h"

namespace cli {

void DecodeAndWriteBatch(const Options& options, sibdecode::DecoderState* state,
                         const std::string& where, const std::vector<unsigned char>& bytes) {
  tagSystemInformationBlock out;
  std::vector<char> text(sibdecode::MaxTextSize(bytes.size()));
  size_t textLen = 0;
  int result;
  if (options.bareSib) {
    result = sibdecode::DecodeSib(state, options.sibType, bytes.data(), bytes.size(), &out,
                                  text.data(), text.size(), &textLen);
  } else {
    result = sibdecode::DecodeBatch(state, bytes.data(), bytes.size(), &out, text.data(),
                                    text.size(), &textLen);
  }
  if (result == sibdecode::kDecoded) {
    WriteSibText(text.data(), textLen);
  } else if (result == sibdecode::kTextTooSmall) {
    std::fprintf(stderr, "%s: text needs %zu bytes, more than expected\n", where.c_str(), textLen);
  } else {
    std::fprintf(stderr, "%s: nothing decoded\n", where.c_str());
  }
  if (options.summary) WriteSummary(out);
  std::fflush(stdout);
}

}  // namespace cli
