#include "cells.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

bool RecordSib(CellBook& book, const SibSeen& sib, long long* copies) {
  CellRecord& cell = book.cells[sib.cellKey];
  if (sib.sibType >= kSibTypes) return true;
  SibTypeRecord& record = cell.types[sib.sibType];
  const std::string_view encoding(reinterpret_cast<const char*>(sib.encoding), sib.encodingLen);
  ++record.count;
  const uint64_t version = std::hash<std::string_view>()(encoding);
  if (record.versions.count(version) == 0) {
    if (record.versions.size() < kMaxVersionsPerType && book.versionsKept < kMaxVersionsKept) {
      record.versions.insert(version);
      ++book.versionsKept;
    } else {
      record.versionsFull = true;
      ++book.versionsNotKept;
    }
  }
  if (record.printed && encoding == record.lastPrinted) {
    ++record.copiesSincePrint;
    ++book.copiesFolded;
    return false;
  }
  *copies = record.printed ? static_cast<long long>(record.copiesSincePrint) : -1;
  record.printed = true;
  record.lastPrinted.assign(encoding);
  record.copiesSincePrint = 0;
  return true;
}

void SurveyValue(BatchDecoder& decoder, unsigned int sibType, const sibdecode::CaptureEvent* event,
                 const char* value, size_t valueLen, const sibdecode::DecodeReport& report) {
  bool closeBrace = false;
  const size_t kept = ValueWithoutReport(value, valueLen, report, &closeBrace);
  std::string closed;
  if (closeBrace) closed.assign(value, kept).push_back('}');
  sibdecode::SurveySib sib;
  sib.sibType = sibType;
  // A capture's SIB says itself whether its decode was complete.
  sib.complete = event != nullptr && event->report != nullptr
                     ? event->report->complete != 0
                     : report.decoded == 0 || report.complete != 0;
  sib.value = closeBrace ? closed.data() : value;
  sib.valueLen = closeBrace ? closed.size() : kept;
  if (event != nullptr) {
    sib.hasArfcn = true;
    sib.arfcn = event->arfcn;
    sib.hasTime = true;
    sib.seconds = event->seconds;
    sib.microseconds = event->microseconds;
  }
  if (sibdecode::AddSurveySib(decoder.survey, sib) == sibdecode::kSurveyNoMemory) {
    Note("sibdecode: out of memory: a SIB is not in the survey\n");
  }
}

int WriteSurvey(const Options& options, BatchDecoder& decoder) {
  const sibdecode::SurveyRecords records =
      options.survey == Options::kSurveyCells        ? sibdecode::kSurveyCells
      : options.survey == Options::kSurveyNeighbours ? sibdecode::kSurveyNeighbours
                                                     : sibdecode::kSurveyTimeline;
  const sibdecode::SurveyFormat format =
      options.json ? sibdecode::kSurveyJsonLines : sibdecode::kSurveyTable;
  std::vector<char> text(4096);
  size_t needed = 0;
  int result;
  while ((result = sibdecode::WriteSurveyRecords(decoder.survey, records, format, text.data(),
                                                 text.size(), &needed)) ==
         sibdecode::kSurveyTooSmall) {
    text.resize(needed);
  }
  if (result != sibdecode::kSurveyOk) {
    Note("sibdecode: out of memory: the survey is not written\n");
    return kExitIo;
  }
  OutAppend(text.data(), needed);
  OutEndRecord();
  return kExitOk;
}

}  // namespace cli
