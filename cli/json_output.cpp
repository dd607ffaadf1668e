#include "json_output.h"

#include <sibdecode/sibdecode.h>

#include <cstring>

#include "output.h"

namespace cli {

namespace {

// The bytes of a JSON string, without its quotes.
void WriteEscaped(const std::string& text) {
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

void WriteJsonSummary(const tagSystemInformationBlock& s, unsigned int sibType) {
  const tagSystemInformationBlockType11& lists = s.sib11;
  OutLiteral("{\"sib3\":{\"cellIdentity\":");
  const unsigned int parts = sibdecode::SibSummaryParts(sibType);
  OutCellIdentity(parts & sibdecode::kSummarySib3CellIdentity, s.sib3.cellIdentity, "null");
  OutLiteral("},\"sib4\":{\"cellIdentity\":");
  OutCellIdentity(parts & sibdecode::kSummarySib4CellIdentity, s.sib4.cellIdentity, "null");
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

}  // namespace

void WriteJsonLine(unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen) {
  OutLiteral("{\"sib\":");
  OutUnsigned(sibType);
  OutLiteral(",\"type\":\"");
  const char* name = sibdecode::SibTypeName(sibType);
  OutAppend(name, std::strlen(name));
  OutLiteral("\",\"source\":\"");
  WriteEscaped(*origin.file);
  if (origin.line != 0) {
    OutLiteral(":");
    OutUnsigned(origin.line);
  }
  OutLiteral("\"");
  if (origin.frameCount != 0) {
    OutLiteral(",\"frames\":[");
    for (size_t i = 0; i < origin.frameCount; ++i) {
      if (i != 0) OutLiteral(",");
      OutUnsigned(origin.frames[i]);
    }
    OutLiteral("]");
  }
  if (origin.arfcn >= 0) {
    OutLiteral(",\"arfcn\":");
    OutSigned(origin.arfcn);
  }
  if (origin.repeats >= 0) {
    OutLiteral(",\"repeats\":");
    OutSigned(origin.repeats);
  }
  OutLiteral(",\"summary\":");
  WriteJsonSummary(summary, sibType);
  OutLiteral(",\"value\":");
  OutAppend(value, valueLen);
  OutLiteral("}\n");
  OutEndRecord();
}

}  // namespace cli
