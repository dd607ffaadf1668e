#include "json_output.h"

namespace cli {

namespace {

void WriteString(std::FILE* out, const std::string& text) {
  std::fputc('"', out);
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      std::fputc('\\', out);
      std::fputc(c, out);
    } else if (c < 0x20) {
      std::fprintf(out, "\\u%04x", c);
    } else {
      std::fputc(c, out);
    }
  }
  std::fputc('"', out);
}

void WriteSummary(std::FILE* out, const tagSystemInformationBlock& s) {
  const tagSystemInformationBlockType11& lists = s.sib11;
  std::fprintf(out, "{\"sib3\":{\"cellIdentity\":%u},\"sib4\":{\"cellIdentity\":%u},\"sib11\":{",
               s.sib3.cellIdentity, s.sib4.cellIdentity);
  std::fputs("\"interRATCells\":[", out);
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    const tagInterRATCell& cell = lists.interRATCells[k];
    std::fprintf(out, "%s{\"interRATCellID\":%d,\"bcch_ARFCN\":%d,\"bsic\":%d}", k ? "," : "",
                 cell.interRATCellID, cell.bcch_ARFCN, cell.bsic);
  }
  std::fputs("],\"intraFreqCells\":[", out);
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    const tagIntraFreqCell& cell = lists.intraFreqCells[k];
    std::fprintf(out, "%s{\"intraFreqCellID\":%d,\"cellParametersID\":%d}", k ? "," : "",
                 cell.intraFreqCellID, cell.cellParametersID);
  }
  std::fputs("],\"interFreqCells\":[", out);
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    const tagInterFreqCell& cell = lists.interFreqCells[k];
    std::fprintf(out, "%s{\"interFreqCellID\":%d,\"uarfcn_Nt\":%d,\"cellParametersID\":%d}",
                 k ? "," : "", cell.interFreqCellID, cell.uarfcn_Nt, cell.cellParametersID);
  }
  std::fputs("]}}", out);
}

}  // namespace

void WriteJsonLine(std::FILE* out, unsigned int sibType, const JsonOrigin& origin,
                   const tagSystemInformationBlock& summary, const char* value, size_t valueLen) {
  std::fprintf(out, "{\"sib\":%u,\"source\":", sibType);
  WriteString(out, origin.source);
  if (!origin.frames.empty()) {
    std::fputs(",\"frames\":[", out);
    for (size_t i = 0; i < origin.frames.size(); ++i) {
      std::fprintf(out, "%s%lu", i ? "," : "", origin.frames[i]);
    }
    std::fputc(']', out);
  }
  if (origin.arfcn >= 0) std::fprintf(out, ",\"arfcn\":%ld", origin.arfcn);
  std::fputs(",\"summary\":", out);
  WriteSummary(out, summary);
  std::fputs(",\"value\":", out);
  std::fwrite(value, 1, valueLen, out);
  std::fputs("}\n", out);
}

}  // namespace cli
