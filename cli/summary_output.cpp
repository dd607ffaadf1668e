#include <sibdecode/sibdecode.h>

#include "output.h"

namespace cli {

void WriteSummary(const tagSystemInformationBlock& out, unsigned int sibType) {
  OutLiteral("summary: sib3.cellIdentity = ");
  const unsigned int parts = sibdecode::SibSummaryParts(sibType);
  OutCellIdentity(parts & sibdecode::kSummarySib3CellIdentity, out.sib3.cellIdentity, "absent");
  OutLiteral(", sib4.cellIdentity = ");
  OutCellIdentity(parts & sibdecode::kSummarySib4CellIdentity, out.sib4.cellIdentity, "absent");
  const tagSystemInformationBlockType11& lists = out.sib11;
  OutLiteral("\n  intraFreqCells: ");
  OutUnsigned(lists.intraFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] intraFreqCellID = ");
    OutRecordValue(lists.intraFreqCells[k].intraFreqCellID, "absent");
    OutLiteral(", cellParametersID = ");
    OutRecordValue(lists.intraFreqCells[k].cellParametersID, "absent");
    OutLiteral("\n");
  }
  OutLiteral("  interFreqCells: ");
  OutUnsigned(lists.interFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interFreqCellID = ");
    OutRecordValue(lists.interFreqCells[k].interFreqCellID, "absent");
    OutLiteral(", uarfcn_Nt = ");
    OutRecordValue(lists.interFreqCells[k].uarfcn_Nt, "absent");
    OutLiteral(", cellParametersID = ");
    OutRecordValue(lists.interFreqCells[k].cellParametersID, "absent");
    OutLiteral("\n");
  }
  OutLiteral("  interRATCells: ");
  OutUnsigned(lists.interRATCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interRATCellID = ");
    OutRecordValue(lists.interRATCells[k].interRATCellID, "absent");
    OutLiteral(", bcch_ARFCN = ");
    OutRecordValue(lists.interRATCells[k].bcch_ARFCN, "absent");
    OutLiteral(", bsic = ");
    OutRecordValue(lists.interRATCells[k].bsic, "absent");
    OutLiteral("\n");
  }
}

}  // namespace cli
