// One batch through DecodeBatch (or one bare SIB through DecodeSib) to the outputs.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "cells.h"
#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

std::string Where(const BatchSource& source) {
  if (source.line == 0) return *source.file;
  return *source.file + ":" + std::to_string(source.line);
}

// The report of the state's last decode, whole only when there is something
// to note (most SIBs are complete without warnings: their report is not copied).
bool ReportToNote(const BatchDecoder& decoder, sibdecode::DecodeReport* report) {
  report->size = offsetof(sibdecode::DecodeReport, stop);
  if (sibdecode::GetDecodeReport(decoder.state, report) != 1 || !HasDecodeNote(*report)) {
    return false;
  }
  report->size = sizeof *report;
  return sibdecode::GetDecodeReport(decoder.state, report) == 1;
}

void NoteAt(const BatchSource& source, const char* message) {
  if (source.line == 0) {
    Note("%s: %s\n", source.file->c_str(), message);
  } else {
    Note("%s:%lu: %s\n", source.file->c_str(), source.line, message);
  }
}

// The SIB type of a text that starts "SysInfoTypeN ::=".
// The type of the SIB the state decoded last.
unsigned int LastSibType(const sibdecode::DecoderState* state) {
  sibdecode::DecodeReport report;
  report.size = offsetof(sibdecode::DecodeReport, decoded);
  return sibdecode::GetDecodeReport(state, &report) == 1 ? report.sibType : 0;
}

// The text without its raw-data trailer (and the line break before it): what
// identifies a SIB's content. Either layout's line ends.
size_t TextBodyLength(const char* text, size_t textLen) {
  constexpr char kMark[] = "\n<<<-----raw data ----->>>";
  constexpr size_t kMarkLen = sizeof(kMark) - 1;
  for (size_t i = textLen >= kMarkLen ? textLen - kMarkLen + 1 : 0; i-- > 0;) {
    if (text[i] == '\n' && std::memcmp(text + i, kMark, kMarkLen) == 0) {
      return i > 0 && text[i - 1] == '\r' ? i - 1 : i;
    }
  }
  return textLen;
}

// --changes and --cells: counts the SIB; false when it is not to be printed.
// The content is a text or JSON; a text's raw-data trailer is not compared.
// *repeats receives the identical copies since the last print (-1: none printed);
// *changed is false for an identical copy of the cell's SIB of that type.
bool Fold(const Options& options, BatchDecoder& decoder, unsigned int sibType, const char* content,
          size_t contentLen, bool withTrailer, long long* repeats, bool* changed) {
  *repeats = -1;
  *changed = true;
  const bool survey = options.survey != Options::kNoSurvey;
  if (!options.changes && !survey) return true;
  if (withTrailer) contentLen = TextBodyLength(content, contentLen);
  SibSeen seen;
  seen.sibType = sibType;
  seen.encoding = reinterpret_cast<const unsigned char*>(content);
  seen.encodingLen = contentLen;
  *changed = RecordSib(decoder.cells, seen, repeats);
  return !survey && (!options.changes || *changed);
}

// Notes the last decode's report unless the SIB is an identical copy (its
// first copy had the note). kExitMalformed for a SIB that stopped early.
int NoteReport(const BatchDecoder& decoder, const BatchSource& source, bool changed) {
  sibdecode::DecodeReport report;
  if (!ReportToNote(decoder, &report)) return kExitOk;
  if (changed) NoteDecodeReport(Where(source), "", report);
  return report.complete == 0 ? kExitMalformed : kExitOk;
}

int DecodeJson(const Options& options, BatchDecoder& decoder, const BatchSource& source,
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
    return kExitOk;
  }
  ++decoder.sibs;
  sibdecode::DecodeReport report;
  report.size = sizeof report;
  if (sibdecode::GetDecodeReport(decoder.state, &report) != 1) report.decoded = 0;
  JsonOrigin origin;
  origin.file = source.file;
  origin.line = source.line;
  origin.report = report.decoded != 0 ? &report : nullptr;
  bool changed = true;
  const bool print =
      Fold(options, decoder, sibType, json.data(), jsonLen, false, &origin.repeats, &changed);
  const int status = NoteReport(decoder, source, changed);
  if (options.survey != Options::kNoSurvey) {
    SurveyValue(decoder, sibType, nullptr, json.data(), jsonLen, report);
  } else if (print) {
    WriteJsonLine(sibType, origin, out, json.data(), jsonLen, report);
  }
  return status;
}

}  // namespace

void NoteDecodeReport(const std::string& where, const char* cell,
                      const sibdecode::DecodeReport& report) {
  std::vector<char> line(1024);
  const size_t length = sibdecode::DescribeDecodeReport(&report, line.data(), line.size());
  if (length >= line.size()) {
    line.resize(length + 1);
    sibdecode::DescribeDecodeReport(&report, line.data(), line.size());
  }
  Note("%s: %s%s %s\n", where.c_str(), sibdecode::SibTypeName(report.sibType), cell, line.data());
}

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
  // The survey reads each SIB's values from its JSON.
  if (options.json || options.survey != Options::kNoSurvey) {
    return WorseExit(status, DecodeJson(options, decoder, source, bytes, size));
  }
  // The text is decoded straight into the output, its line end behind it, unless it
  // may be folded or only counted.
  tagSystemInformationBlock out;
  unsigned int sibType = 0;
  const bool direct = !options.changes;
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
    if (options.summary) WriteSummary(out, 0);
    OutEndRecord();
    return status;
  }
  ++decoder.sibs;
  sibType = options.bareSib ? options.sibType : LastSibType(decoder.state);
  long long repeats = -1;
  bool changed = true;
  const bool print = Fold(options, decoder, sibType, text, textLen, true, &repeats, &changed);
  status = WorseExit(status, NoteReport(decoder, source, changed));
  if (!print) return status;
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
    size_t end = textLen;
    if (options.release7) text[end++] = '\r';
    text[end++] = '\n';
    OutCommit(end);
  } else {
    WriteSibText(text, textLen, options.release7);
  }
  if (options.summary) WriteSummary(out, sibType);
  OutEndRecord();
  return status;
}

}  // namespace cli
