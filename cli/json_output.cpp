#include "json_output.h"

#include <sibdecode/sibdecode.h>

#include <cstring>
#include <string_view>

#include "output.h"

namespace cli {

namespace {

// The bytes of a JSON string, without its quotes.
void WriteEscaped(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  size_t plain = 0;  // bytes of `text` already written or queued unchanged
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c != '"' && c != '\\' && c >= 0x20) continue;
    OutAppend(text.data() + plain, i - plain);
    plain = i + 1;
    if (c < 0x20) {
      const char escape[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      OutAppend(escape, sizeof(escape));
    } else {
      const char escape[2] = {'\\', static_cast<char>(c)};
      OutAppend(escape, sizeof(escape));
    }
  }
  OutAppend(text.data() + plain, text.size() - plain);
}

// A cell identity the SIB type gives and the record holds (a stopped decode
// may not have reached it).
bool Given(unsigned int part, unsigned int identity) {
  return part != 0 && identity != static_cast<unsigned int>(kAbsentValue);
}

void WriteJsonSummary(const tagSystemInformationBlock& s, unsigned int sibType) {
  const tagSystemInformationBlockType11& lists = s.sib11;
  OutLiteral("{\"sib3\":{\"cellIdentity\":");
  const unsigned int parts = sibdecode::SibSummaryParts(sibType);
  OutCellIdentity(Given(parts & sibdecode::kSummarySib3CellIdentity, s.sib3.cellIdentity),
                  s.sib3.cellIdentity, "null");
  OutLiteral("},\"sib4\":{\"cellIdentity\":");
  OutCellIdentity(Given(parts & sibdecode::kSummarySib4CellIdentity, s.sib4.cellIdentity),
                  s.sib4.cellIdentity, "null");
  OutLiteral("},\"sib11\":{\"interRATCells\":[");
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    const tagInterRATCell& cell = lists.interRATCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"interRATCellID\":");
    OutRecordValue(cell.interRATCellID, "null");
    OutLiteral(",\"bcch_ARFCN\":");
    OutRecordValue(cell.bcch_ARFCN, "null");
    OutLiteral(",\"bsic\":");
    OutRecordValue(cell.bsic, "null");
    OutLiteral("}");
  }
  OutLiteral("],\"intraFreqCells\":[");
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    const tagIntraFreqCell& cell = lists.intraFreqCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"intraFreqCellID\":");
    OutRecordValue(cell.intraFreqCellID, "null");
    OutLiteral(",\"cellParametersID\":");
    OutRecordValue(cell.cellParametersID, "null");
    OutLiteral("}");
  }
  OutLiteral("],\"interFreqCells\":[");
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    const tagInterFreqCell& cell = lists.interFreqCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"interFreqCellID\":");
    OutRecordValue(cell.interFreqCellID, "null");
    OutLiteral(",\"uarfcn_Nt\":");
    OutRecordValue(cell.uarfcn_Nt, "null");
    OutLiteral(",\"cellParametersID\":");
    OutRecordValue(cell.cellParametersID, "null");
    OutLiteral("}");
  }
  OutLiteral("]}}");
}

// {"<label>":"<text>","bit":N,"path":"..."}: a stop or a warning of the report.
void WriteJsonNote(std::string_view label, const char* text, const sibdecode::DecodeNote& note) {
  OutLiteral("{\"");
  OutAppend(label.data(), label.size());
  OutLiteral("\":\"");
  WriteEscaped(text);
  OutLiteral("\",\"bit\":");
  OutUnsigned(note.bit);
  OutLiteral(",\"path\":\"");
  WriteEscaped(note.path);
  OutLiteral("\"}");
}

// "complete":B,"stop":{...}|null,"warnings":[...]; no report: complete, no warnings.
void WriteJsonReport(const sibdecode::DecodeReport* report) {
  if (report == nullptr || (report->complete != 0 && report->warningCount == 0)) {
    OutLiteral(",\"complete\":true,\"stop\":null,\"warnings\":[]");
    return;
  }
  if (report->complete != 0) {
    OutLiteral(",\"complete\":true,\"stop\":null");
  } else {
    OutLiteral(",\"complete\":false,\"stop\":");
    WriteJsonNote("reason", sibdecode::DecodeStopText(report->stop.kind), report->stop);
  }
  OutLiteral(",\"warnings\":[");
  const unsigned int kept = report->warningCount < sibdecode::kReportWarnings
                                ? report->warningCount
                                : sibdecode::kReportWarnings;
  for (unsigned int i = 0; i < kept; ++i) {
    if (i != 0) OutLiteral(",");
    WriteJsonNote("warning", sibdecode::DecodeWarningText(report->warnings[i].kind),
                  report->warnings[i]);
  }
  OutLiteral("]");
}

}  // namespace

size_t ValueWithoutReport(const char* value, size_t valueLen, const sibdecode::DecodeReport& report,
                          bool* closeBrace) {
  *closeBrace = false;
  if (report.decoded == 0 || (report.complete != 0 && report.warningCount == 0)) return valueLen;
  // The report is the value's last members: the last "complete" of a stopped
  // decode, the last "warnings" of a complete one (no path holds a quote).
  const std::string_view key = report.complete == 0 ? "\"complete\":false," : "\"warnings\":[";
  const size_t at = std::string_view(value, valueLen).rfind(key);
  if (at == std::string_view::npos || at == 0) return valueLen;
  *closeBrace = true;
  return value[at - 1] == ',' ? at - 1 : at;
}

void WriteJsonLine(unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen,
                   const sibdecode::DecodeReport& valueReport) {
  OutLiteral("{\"type\":\"");
  const char* name = sibdecode::SibTypeName(sibType);
  OutAppend(name, std::strlen(name));
  OutLiteral("\",\"type_number\":");
  OutUnsigned(sibType);
  OutLiteral(",\"source\":\"");
  WriteEscaped(*origin.file);
  if (origin.line != 0) {
    OutLiteral(":");
    OutUnsigned(origin.line);
  }
  OutLiteral("\",\"frames\":");
  if (origin.frameCount != 0) {
    OutLiteral("[");
    for (size_t i = 0; i < origin.frameCount; ++i) {
      if (i != 0) OutLiteral(",");
      OutUnsigned(origin.frames[i]);
    }
    OutLiteral("]");
  } else {
    OutLiteral("null");
  }
  OutLiteral(",\"arfcn\":");
  JsonNumberOrNull(origin.arfcn >= 0, static_cast<unsigned long long>(origin.arfcn));
  OutLiteral(",\"time\":");
  JsonTime(origin.time != nullptr, origin.time != nullptr ? *origin.time : timeval{});
  if (origin.repeats >= 0) {
    OutLiteral(",\"repeats\":");
    OutSigned(origin.repeats);
  }
  WriteJsonReport(origin.report);
  OutLiteral(",\"summary\":");
  WriteJsonSummary(summary, sibType);
  OutLiteral(",\"value\":");
  bool closeBrace = false;
  OutAppend(value, ValueWithoutReport(value, valueLen, valueReport, &closeBrace));
  if (closeBrace) OutLiteral("}");
  OutLiteral("}\n");
  OutEndRecord();
}

void JsonNumberOrNull(bool present, unsigned long long value) {
  if (present) {
    OutUnsigned(value);
  } else {
    OutLiteral("null");
  }
}

void JsonTime(bool present, const struct timeval& time) {
  if (!present) {
    OutLiteral("null");
    return;
  }
  OutLiteral("\"");
  OutUtcTime(time);
  OutLiteral("\"");
}

}  // namespace cli
