#include <sibdecode/sibdecode.h>

#include "output.h"

namespace cli {

namespace {

// A number of the record, or "absent" where the message did not hold it.
void OutValue(int value) {
  if (value == kAbsentValue) {
    OutLiteral("absent");
  } else {
    OutSigned(value);
  }
}

void OutIdentity(bool given, unsigned int identity) {
  if (given) {
    OutUnsigned(identity);
  } else {
    OutLiteral("absent");
  }
}

}  // namespace

void WriteSummary(const tagSystemInformationBlock& out, unsigned int sibType) {
  OutLiteral("summary: sib3.cellIdentity = ");
  const unsigned int parts = sibdecode::SibSummaryParts(sibType);
  OutIdentity(parts & sibdecode::kSummarySib3CellIdentity, out.sib3.cellIdentity);
  OutLiteral(", sib4.cellIdentity = ");
  OutIdentity(parts & sibdecode::kSummarySib4CellIdentity, out.sib4.cellIdentity);
  const tagSystemInformationBlockType11& lists = out.sib11;
  OutLiteral("\n  intraFreqCells: ");
  OutUnsigned(lists.intraFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] intraFreqCellID = ");
    OutValue(lists.intraFreqCells[k].intraFreqCellID);
    OutLiteral(", cellParametersID = ");
    OutValue(lists.intraFreqCells[k].cellParametersID);
    OutLiteral("\n");
  }
  OutLiteral("  interFreqCells: ");
  OutUnsigned(lists.interFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interFreqCellID = ");
    OutValue(lists.interFreqCells[k].interFreqCellID);
    OutLiteral(", uarfcn_Nt = ");
    OutValue(lists.interFreqCells[k].uarfcn_Nt);
    OutLiteral(", cellParametersID = ");
    OutValue(lists.interFreqCells[k].cellParametersID);
    OutLiteral("\n");
  }
  OutLiteral("  interRATCells: ");
  OutUnsigned(lists.interRATCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interRATCellID = ");
    OutValue(lists.interRATCells[k].interRATCellID);
    OutLiteral(", bcch_ARFCN = ");
    OutValue(lists.interRATCells[k].bcch_ARFCN);
    OutLiteral(", bsic = ");
    OutValue(lists.interRATCells[k].bsic);
    OutLiteral("\n");
  }
}

}  // namespace cli
