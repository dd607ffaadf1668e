// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include <cstdio>

#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

void DecodeAndWriteBatch(const Options& options, BatchDecoder& decoder, const std::string& where,
                         const std::vector<unsigned char>& bytes) {
  tagSystemInformationBlock out;
  sibdecode::DecoderState* state = decoder.state;
  std::vector<char>& text = decoder.text;
  if (text.size() < sibdecode::MaxTextSize(bytes.size())) {
    text.resize(sibdecode::MaxTextSize(bytes.size()));
  }
  size_t textLen = 0;
  unsigned int sibType = options.sibType;
  int result;
  do {  // a text longer than the usual buffer comes whole on the second call
    if (textLen > text.size()) text.resize(textLen);
    if (options.bareSib && options.json) {
      result = sibdecode::DecodeSibJson(state, options.sibType, bytes.data(), bytes.size(), &out,
                                        text.data(), text.size(), &textLen);
    } else if (options.bareSib) {
      result = sibdecode::DecodeSib(state, options.sibType, bytes.data(), bytes.size(), &out,
                                    text.data(), text.size(), &textLen);
    } else if (options.json) {
      result = sibdecode::DecodeBatchJson(state, bytes.data(), bytes.size(), &out, text.data(),
                                          text.size(), &textLen, &sibType);
    } else {
      result = sibdecode::DecodeBatch(state, bytes.data(), bytes.size(), &out, text.data(),
                                      text.size(), &textLen);
    }
  } while (result == sibdecode::kTextTooSmall && textLen > text.size());
  if (result == sibdecode::kDecoded && options.json) {
    JsonOrigin origin;
    origin.source = where;
    WriteJsonLine(stdout, sibType, origin, out, text.data(), textLen);
  } else if (result == sibdecode::kDecoded) {
    WriteSibText(text.data(), textLen);
    if (options.summary) WriteSummary(out);
  } else {
    std::fprintf(stderr, "%s: nothing decoded\n", where.c_str());
    if (options.summary && !options.json) WriteSummary(out);
  }
}

}  // namespace cli
