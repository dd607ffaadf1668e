// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include <climits>
#include <cstring>

#include "cells.h"
#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

void NoteAt(const BatchSource& source, const char* message) {
  if (source.line == 0) {
    Note("%s: %s\n", source.file->c_str(), message);
  } else {
    Note("%s:%lu: %s\n", source.file->c_str(), source.line, message);
  }
}

// The SIB type of a text that starts "SysInfoTypeN ::=".
unsigned int SibTypeOfText(const char* text, size_t textLen) {
  constexpr char kHead[] = "SysInfoType";
  constexpr size_t kHeadLen = sizeof(kHead) - 1;
  unsigned int type = 0;
  if (textLen <= kHeadLen || std::memcmp(text, kHead, kHeadLen) != 0) return 0;
  for (size_t i = kHeadLen; i < textLen && text[i] >= '0' && text[i] <= '9' && type < 32; ++i) {
    type = type * 10 + static_cast<unsigned int>(text[i] - '0');
  }
  return type;
}

// The text without its raw-data trailer: what identifies a SIB's content.
size_t TextBodyLength(const char* text, size_t textLen) {
  constexpr char kTrailer[] = "\r\n<<<-----raw data ----->>>\r\n";
  constexpr size_t kTrailerLen = sizeof(kTrailer) - 1;
  for (size_t i = textLen >= kTrailerLen ? textLen - kTrailerLen + 1 : 0; i-- > 0;) {
    if (text[i] == '\r' && std::memcmp(text + i, kTrailer, kTrailerLen) == 0) return i;
  }
  return textLen;
}

// --changes and --cells: counts the SIB; false when it is not to be printed.
// *repeats receives the identical copies since the last print (-1: none printed).
bool Fold(const Options& options, BatchDecoder& decoder, unsigned int sibType,
          const tagSystemInformationBlock& out, const char* content, size_t contentLen,
          long long* repeats) {
  *repeats = -1;
  if (!options.changes && !options.cells) return true;
  SibSeen seen;
  seen.sibType = sibType;
  seen.decoded = true;
  seen.summary = &out;
  seen.encoding = reinterpret_cast<const unsigned char*>(content);
  seen.encodingLen = contentLen;
  const bool changed = RecordSib(decoder.cells, seen, repeats);
  return !options.cells && (!options.changes || changed);
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
    NoteAt(source, "nothing decoded");
    return;
  }
  ++decoder.sibs;
  JsonOrigin origin;
  origin.file = source.file;
  origin.line = source.line;
  if (!Fold(options, decoder, sibType, out, json.data(), jsonLen, &origin.repeats)) return;
  WriteJsonLine(sibType, origin, out, json.data(), jsonLen);
}

// A batch through RRCParserX, the hosts' call, which prints straight into the
// output. Its text stops at 102400 bytes: a text that may have come near that
// (closer than any single write of a text is long) is left to DecodeBatch,
// which delivers it whole; so is a batch that decoded nothing, for its note.
bool DecodeWithHostCall(const unsigned char* bytes, size_t size, tagSystemInformationBlock* out,
                        unsigned int* sibType) {
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
  *sibType = SibTypeOfText(text, textLen);
  text[textLen] = '\r';
  text[textLen + 1] = '\n';
  OutCommit(textLen + 2);
  return true;
}

}  // namespace

int DecodeAndWriteBatch(const Options& options, BatchDecoder& decoder, const BatchSource& source,
                        const unsigned char* bytes, size_t size) {
  int status = kExitOk;
  if (!options.bareSib && size % kBlockBytes != 0) {
    // The bytes behind the last whole block are no block: they are left out.
    char message[160];
    std::snprintf(message, sizeof(message),
                  "%zu bytes are not a whole number of %zu-byte blocks: the last %zu not decoded",
                  size, kBlockBytes, size % kBlockBytes);
    NoteAt(source, message);
    status = kExitMalformed;
    size -= size % kBlockBytes;
    if (size == 0) return status;
  }
  if (options.json) {
    DecodeJson(options, decoder, source, bytes, size);
    return status;
  }
  // The text is decoded straight into the output, "\r\n" behind it, unless it
  // may be folded or only counted.
  tagSystemInformationBlock out;
  unsigned int sibType = 0;
  const bool direct = !options.changes && !options.cells;
  if (direct && !options.bareSib && DecodeWithHostCall(bytes, size, &out, &sibType)) {
    ++decoder.sibs;
    if (options.summary) WriteSummary(out, sibType);
    OutEndRecord();
    return status;
  }
  if (decoder.textCapacity < sibdecode::MaxTextSize(size)) {
    decoder.textCapacity = sibdecode::MaxTextSize(size);
  }
  size_t textLen = 0;
  char* text;
  int result;
  do {  // a text longer than the usual buffer comes whole on the second call
    if (textLen > decoder.textCapacity) decoder.textCapacity = textLen;
    if (direct) {
      text = OutReserve(decoder.textCapacity + 2);
    } else {
      decoder.text.resize(decoder.textCapacity + 2);
      text = decoder.text.data();
    }
    if (text == nullptr) {
      Note("%s: out of memory\n", source.file->c_str());
      return WorseExit(status, kExitIo);
    }
    if (options.bareSib) {
      result = sibdecode::DecodeSib(decoder.state, options.sibType, bytes, size, &out, text,
                                    decoder.textCapacity, &textLen);
    } else {
      result = sibdecode::DecodeBatch(decoder.state, bytes, size, &out, text, decoder.textCapacity,
                                      &textLen);
    }
  } while (result == sibdecode::kTextTooSmall && textLen > decoder.textCapacity);
  if (result != sibdecode::kDecoded) {
    NoteAt(source, "nothing decoded");
    if (options.summary && !options.cells) WriteSummary(out, 0);
    OutEndRecord();
    return status;
  }
  ++decoder.sibs;
  sibType = options.bareSib ? options.sibType : SibTypeOfText(text, textLen);
  long long repeats = -1;
  if (!Fold(options, decoder, sibType, out, text, TextBodyLength(text, textLen), &repeats)) {
    return status;
  }
  if (repeats >= 0) {
    OutLiteral("# ");
    OutAppend(source.file->data(), source.file->size());
    if (source.line != 0) {
      OutLiteral(":");
      OutUnsigned(source.line);
    }
    OutLiteral(" after ");
    OutUnsigned(static_cast<unsigned long long>(repeats));
    OutLiteral(" identical copies\n");
  }
  if (direct) {
    text[textLen] = '\r';
    text[textLen + 1] = '\n';
    OutCommit(textLen + 2);
  } else {
    WriteSibText(text, textLen);
  }
  if (options.summary) WriteSummary(out, sibType);
  OutEndRecord();
  return status;
}

}  // namespace cli
