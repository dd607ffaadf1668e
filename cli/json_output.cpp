#include "json_output.h"

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

// A number of the record, or null where the message did not hold it.
void OutValue(int value) {
  if (value == kAbsentValue) {
    OutLiteral("null");
  } else {
    OutSigned(value);
  }
}

void OutIdentity(bool given, unsigned int identity) {
  if (given) {
    OutUnsigned(identity);
  } else {
    OutLiteral("null");
  }
}

void WriteJsonSummary(const tagSystemInformationBlock& s, unsigned int sibType) {
  const tagSystemInformationBlockType11& lists = s.sib11;
  OutLiteral("{\"sib3\":{\"cellIdentity\":");
  const unsigned int parts = sibdecode::SibSummaryParts(sibType);
  OutIdentity(parts & sibdecode::kSummarySib3CellIdentity, s.sib3.cellIdentity);
  OutLiteral("},\"sib4\":{\"cellIdentity\":");
  OutIdentity(parts & sibdecode::kSummarySib4CellIdentity, s.sib4.cellIdentity);
  OutLiteral("},\"sib11\":{\"interRATCells\":[");
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    const tagInterRATCell& cell = lists.interRATCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"interRATCellID\":");
    OutValue(cell.interRATCellID);
    OutLiteral(",\"bcch_ARFCN\":");
    OutValue(cell.bcch_ARFCN);
    OutLiteral(",\"bsic\":");
    OutValue(cell.bsic);
    OutLiteral("}");
  }
  OutLiteral("],\"intraFreqCells\":[");
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    const tagIntraFreqCell& cell = lists.intraFreqCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"intraFreqCellID\":");
    OutValue(cell.intraFreqCellID);
    OutLiteral(",\"cellParametersID\":");
    OutValue(cell.cellParametersID);
    OutLiteral("}");
  }
  OutLiteral("],\"interFreqCells\":[");
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    const tagInterFreqCell& cell = lists.interFreqCells[k];
    if (k != 0) OutLiteral(",");
    OutLiteral("{\"interFreqCellID\":");
    OutValue(cell.interFreqCellID);
    OutLiteral(",\"uarfcn_Nt\":");
    OutValue(cell.uarfcn_Nt);
    OutLiteral(",\"cellParametersID\":");
    OutValue(cell.cellParametersID);
    OutLiteral("}");
  }
  OutLiteral("]}}");
}

}  // namespace

void WriteJsonLine(unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen) {
  OutLiteral("{\"sib\":");
  OutUnsigned(sibType);
  OutLiteral(",\"source\":\"");
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
