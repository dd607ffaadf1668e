// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include <climits>

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

// A batch through RRCParserX, the hosts' call, which prints straight into the
// output. Its text stops at 102400 bytes: a text that may have come near that
// (closer than any single write of a text is long) is left to DecodeBatch,
// which delivers it whole; so is a batch that decoded nothing, for its note.
bool DecodeWithHostCall(const unsigned char* bytes, size_t size, tagSystemInformationBlock* out) {
  constexpr size_t kWorkBufferSize = 102400;
  constexpr size_t kLongestWrite = 8192;
  if (size > UINT_MAX) return false;
  const size_t capacity = sibdecode::MaxTextSize(size);
  char* text = OutReserve(capacity + 2);
  if (text == nullptr) return false;
  unsigned int textLen = 0;
  if (!RRCParserX(const_cast<unsigned char*>(bytes), static_cast<unsigned int>(size), out, text,
                  textLen)) {
    return false;
  }
  const size_t trailerSize = capacity - kWorkBufferSize;
  if (textLen < trailerSize || textLen - trailerSize + kLongestWrite >= kWorkBufferSize)
    return false;
  text[textLen] = '\r';
  text[textLen + 1] = '\n';
  OutCommit(textLen + 2);
  return true;
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
  if (!options.bareSib && DecodeWithHostCall(bytes, size, &out)) {
    if (options.summary) WriteSummary(out);
    OutEndRecord();
    return;
  }
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
