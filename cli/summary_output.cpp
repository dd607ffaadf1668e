#include <cstdio>

#include "output.h"

namespace cli {

void WriteSummary(const tagSystemInformationBlock& out) {
  std::printf("summary: sib3.cellIdentity = %u, sib4.cellIdentity = %u\n", out.sib3.cellIdentity,
              out.sib4.cellIdentity);
  const tagSystemInformationBlockType11& lists = out.sib11;
  std::printf("  intraFreqCells: %u\n", lists.intraFreqCellCount);
  for (unsigned int k = 0; k < lists.intraFreqCellCount && k < 32; ++k) {
    std::printf("    [%u] intraFreqCellID = %d, cellParametersID = %d\n", k,
                lists.intraFreqCells[k].intraFreqCellID, lists.intraFreqCells[k].cellParametersID);
  }
  std::printf("  interFreqCells: %u\n", lists.interFreqCellCount);
  for (unsigned int k = 0; k < lists.interFreqCellCount && k < 32; ++k) {
    std::printf("    [%u] interFreqCellID = %d, uarfcn_Nt = %d, cellParametersID = %d\n", k,
                lists.interFreqCells[k].interFreqCellID, lists.interFreqCells[k].uarfcn_Nt,
                lists.interFreqCells[k].cellParametersID);
  }
  std::printf("  interRATCells: %u\n", lists.interRATCellCount);
  for (unsigned int k = 0; k < lists.interRATCellCount && k < 32; ++k) {
    std::printf("    [%u] interRATCellID = %d, bcch_ARFCN = %d, bsic = %d\n", k,
                lists.interRATCells[k].interRATCellID, lists.interRATCells[k].bcch_ARFCN,
                lists.interRATCells[k].bsic);
  }
}

}  // namespace cli
