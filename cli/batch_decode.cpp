// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

void NoteNothingDecoded(const BatchSource& source) {
  if (source.line == 0) {
    Note("%s: nothing decoded\n", source.file->c_str());
  } else {
    Note("%s:%lu: nothing decoded\n", source.file->c_str(), source.line);
  }
}

void DecodeJson(const Options& options, BatchDecoder& decoder, const BatchSource& source,
                const unsigned char* bytes, size_t size) {
  tagSystemInformationBlock out;
  std::vector<char>& json = decoder.json;
  if (json.size() < sibdecode::MaxTextSize(size)) json.resize(sibdecode::MaxTextSize(size));
  size_t jsonLen = 0;
  unsigned int sibType = options.sibType;
  int result;
  do {  // a value longer than the usual buffer comes whole on the second call
    if (jsonLen > json.size()) json.resize(jsonLen);
    if (options.bareSib) {
      result = sibdecode::DecodeSibJson(decoder.state, options.sibType, bytes, size, &out,
                                        json.data(), json.size(), &jsonLen);
    } else {
      result = sibdecode::DecodeBatchJson(decoder.state, bytes, size, &out, json.data(),
                                          json.size(), &jsonLen, &sibType);
    }
  } while (result == sibdecode::kTextTooSmall && jsonLen > json.size());
  if (result != sibdecode::kDecoded) {
    NoteNothingDecoded(source);
    return;
  }
  JsonOrigin origin;
  origin.file = source.file;
  origin.line = source.line;
  WriteJsonLine(sibType, origin, out, json.data(), jsonLen);
}

}  // namespace

void DecodeAndWriteBatch(const Options& options, BatchDecoder& decoder, const BatchSource& source,
                         const unsigned char* bytes, size_t size) {
  if (options.json) {
    DecodeJson(options, decoder, source, bytes, size);
    return;
  }
  // The text is decoded straight into the output, "\r\n" behind it.
  tagSystemInformationBlock out;
  if (decoder.textCapacity < sibdecode::MaxTextSize(size)) {
    decoder.textCapacity = sibdecode::MaxTextSize(size);
  }
  size_t textLen = 0;
  char* text;
  int result;
  do {  // a text longer than the usual buffer comes whole on the second call
    if (textLen > decoder.textCapacity) decoder.textCapacity = textLen;
    text = OutReserve(decoder.textCapacity + 2);
    if (text == nullptr) {
      Note("%s: out of memory\n", source.file->c_str());
      return;
    }
    if (options.bareSib) {
      result = sibdecode::DecodeSib(decoder.state, options.sibType, bytes, size, &out, text,
                                    decoder.textCapacity, &textLen);
    } else {
      result = sibdecode::DecodeBatch(decoder.state, bytes, size, &out, text, decoder.textCapacity,
                                      &textLen);
    }
  } while (result == sibdecode::kTextTooSmall && textLen > decoder.textCapacity);
  if (result == sibdecode::kDecoded) {
    text[textLen] = '\r';
    text[textLen + 1] = '\n';
    OutCommit(textLen + 2);
  } else {
    NoteNothingDecoded(source);
  }
  if (options.summary) WriteSummary(out);
  OutEndRecord();
}

}  // namespace cli
