#include "output.h"

namespace cli {

void WriteSummary(const tagSystemInformationBlock& out) {
  OutLiteral("summary: sib3.cellIdentity = ");
  OutUnsigned(out.sib3.cellIdentity);
  OutLiteral(", sib4.cellIdentity = ");
  OutUnsigned(out.sib4.cellIdentity);
  const tagSystemInformationBlockType11& lists = out.sib11;
  OutLiteral("\n  intraFreqCells: ");
  OutUnsigned(lists.intraFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] intraFreqCellID = ");
    OutSigned(lists.intraFreqCells[k].intraFreqCellID);
    OutLiteral(", cellParametersID = ");
    OutSigned(lists.intraFreqCells[k].cellParametersID);
    OutLiteral("\n");
  }
  OutLiteral("  interFreqCells: ");
  OutUnsigned(lists.interFreqCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interFreqCellID = ");
    OutSigned(lists.interFreqCells[k].interFreqCellID);
    OutLiteral(", uarfcn_Nt = ");
    OutSigned(lists.interFreqCells[k].uarfcn_Nt);
    OutLiteral(", cellParametersID = ");
    OutSigned(lists.interFreqCells[k].cellParametersID);
    OutLiteral("\n");
  }
  OutLiteral("  interRATCells: ");
  OutUnsigned(lists.interRATCellCount);
  OutLiteral("\n");
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    OutLiteral("    [");
    OutUnsigned(k);
    OutLiteral("] interRATCellID = ");
    OutSigned(lists.interRATCells[k].interRATCellID);
    OutLiteral(", bcch_ARFCN = ");
    OutSigned(lists.interRATCells[k].bcch_ARFCN);
    OutLiteral(", bsic = ");
    OutSigned(lists.interRATCells[k].bsic);
    OutLiteral("\n");
  }
}

}  // namespace cli
