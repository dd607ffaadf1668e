// Golden tests for the SIB11 and SIB12 texts and their summary record. Every encoding is built
// bit by bit from the SysInfoType11 / SysInfoType12 ASN.1 (Release 7, unaligned PER) and every
// expected text is written out from the layout rules, line by line.
//
// Layout points pinned down here:
// - scalar lines two levels inside their block: primaryScramblingCode, primaryCPICH_TX_Power,
//   timeslotSync2 (timeslot stays one level in), q_QualMin, temporaryOffset2,
//   is_2000SpecificMeasInfo, deltaQrxlevmin / deltaQhcs, the event lines of e1a .. e1f and
//   intraFreqEvent_1d_r5 (useCIO stays one level in), e1h / e1i, the periodic reporting lines,
//   ue_State, measurementQuantity, the traffic-volume payload lines, "dch" / "usch", the RACH
//   reporting quantity / threshold lines;
// - list elements: newIntraFreqCellList +4 only in the two hcs_not_used / cpich_RSCP lists,
//   newInterFreqCellList +4 only in the LCR one; removeSomeIntraFreqCells / removeSomeInterRATCells
//   +8 but removeSomeInterFreqCells +4; eventCriteriaList +4 (Release 99) / +8 (LCR); the v590 cell
//   lists +4 in SIB11 and +8 in SIB12; intraFreqEventCriteriaList_v590ext +12;
//   interFreqRepQuantityRACH_TDDList +12; newInterRATCellList, timeslotInfoList,
//   inter_RAT_meas_ind and the two intra-frequency TDD quantity lists +4; the rest +8
//   (mBSFNFrequencyList, cellsForInterRATMeasList, trafficVolumeMeasurementObjectList,
//   transChCriteriaList, eventSpecificParameters, forbiddenAffectCellList);
// - "\r\n" endings: fc0 only of filterCoefficient, timeToTrigger (ttt320), reportingCellStatus,
//   temporaryOffset1 (also "pt20 = to6"), burstType, frequency_band, inter_RAT_meas_ind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "support/bch_blocks.h"
#include "support/bit_writer.h"
#include "support/golden_text.h"

namespace {

using sibtest::BitWriter;
using sibtest::DecodeBare;
using sibtest::Decoded;
using sibtest::ExpectText;

// Marks an OPTIONAL or DEFAULT integer that the encoding leaves out.
constexpr int kAbsent = -1000;

void PutOptional(BitWriter& w, int value, int lower, int upper) {
  if (value != kAbsent) w.Constrained(value, lower, upper);
}

// A SEQUENCE OF count, SIZE (lower..upper).
void PutCount(BitWriter& w, size_t count, int lower, int upper) {
  w.Constrained(static_cast<int64_t>(count), lower, upper);
}

// ---------------------------------------------------------------------------------------------
// Neighbour cells.

// PrimaryCCPCH-Info: fdd (tx-DiversityIndicator) or tdd (syncCase, cellParametersID, sctd).
struct Pccpch {
  bool fdd = false;
  bool txDiversity = false;
  int syncCase = 0;  // 0 absent, 1 syncCase1 (timeslot 0..14), 2 syncCase2 (timeslotSync2 0..6)
  int syncValue = 0;
  int cellParametersID = kAbsent;
  bool sctd = false;
};

void PutPccpch(BitWriter& w, const Pccpch& p) {
  w.Bit(!p.fdd);
  if (p.fdd) {
    w.Bit(p.txDiversity);
    return;
  }
  w.Bit(p.syncCase != 0).Bit(p.cellParametersID != kAbsent);
  if (p.syncCase != 0) {
    w.Bit(p.syncCase == 2);
    if (p.syncCase == 1) w.Constrained(p.syncValue, 0, 14);
    if (p.syncCase == 2) w.Constrained(p.syncValue, 0, 6);
  }
  PutOptional(w, p.cellParametersID, 0, 127);
  w.Bit(p.sctd);
}

// PrimaryCCPCH-Info-LCR-r4.
struct PccpchLcr {
  bool tstd = false;
  int cellParametersID = kAbsent;
  bool sctd = false;
};

void PutPccpchLcr(BitWriter& w, const PccpchLcr& p) {
  w.Bit(p.cellParametersID != kAbsent);
  w.Bit(p.tstd);
  PutOptional(w, p.cellParametersID, 0, 127);
  w.Bit(p.sctd);
}

// The cell-selection variants of SIB11/12: which DEFAULT / OPTIONAL members the type has.
enum class Csri { kRscp, kEcn0, kHcsRscp, kHcsEcn0, kGsm };

struct Penalty {
  int alternative = 0;  // 0 notUsed, 1..6 pt10 .. pt60
  int offset1 = 0;      // TemporaryOffset1 index
  int offset2 = 0;      // TemporaryOffset2 index (ECN0 only)
};

struct CsriValue {
  int qOffset1 = kAbsent;  // q-OffsetS-N or q-Offset1S-N, -50..50 (DEFAULT 0)
  int qOffset2 = kAbsent;  // q-Offset2S-N (ECN0 variants DEFAULT 0, gsm type OPTIONAL)
  int maxAllowedULTxPower = kAbsent;
  bool hasHcs = false;  // HCS-NeighbouringCellInformation
  int hcsPrio = kAbsent;
  int qHcs = kAbsent;
  Penalty penalty;
  int mode = 1;  // 0 fdd, 1 tdd, 2 gsm
  int qQualMin = kAbsent;
  int qRxlevMin = kAbsent;
};

void PutCsri(BitWriter& w, Csri type, const CsriValue& c) {
  const bool ecn0 = type == Csri::kEcn0 || type == Csri::kHcsEcn0;
  const bool hcs = type == Csri::kHcsRscp || type == Csri::kHcsEcn0 || type == Csri::kGsm;
  w.Bit(c.qOffset1 != kAbsent);
  if (ecn0 || type == Csri::kGsm) w.Bit(c.qOffset2 != kAbsent);
  w.Bit(c.maxAllowedULTxPower != kAbsent);
  if (hcs) w.Bit(c.hasHcs);
  PutOptional(w, c.qOffset1, -50, 50);
  if (ecn0 || type == Csri::kGsm) PutOptional(w, c.qOffset2, -50, 50);
  PutOptional(w, c.maxAllowedULTxPower, -50, 33);
  if (hcs && c.hasHcs) {
    w.Bit(c.hcsPrio != kAbsent).Bit(c.qHcs != kAbsent);
    PutOptional(w, c.hcsPrio, 0, 7);
    PutOptional(w, c.qHcs, 0, 99);
    w.Constrained(c.penalty.alternative, 0, 6);
    if (c.penalty.alternative != 0) {
      w.Constrained(c.penalty.offset1, 0, 7);
      if (type == Csri::kHcsEcn0) w.Constrained(c.penalty.offset2, 0, 7);
    }
  }
  w.Constrained(c.mode, 0, 2);
  if (c.mode == 0) w.Bit(c.qQualMin != kAbsent);
  w.Bit(c.qRxlevMin != kAbsent);
  if (c.mode == 0) PutOptional(w, c.qQualMin, -24, 0);
  PutOptional(w, c.qRxlevMin, -58, -13);
}

struct RefTime {
  int alternative = -1;  // -1 absent; 0 accuracy40, 1 accuracy256, 2 accuracy2560
  int value = 0;
};

void PutRefTime(BitWriter& w, const RefTime& r) {
  static const int kUpper[] = {960, 150, 15};
  w.Constrained(r.alternative, 0, 2);
  w.Constrained(r.value, 0, kUpper[r.alternative]);
}

// CellInfoSI-RSCP / -ECN0 / -HCS-RSCP / -HCS-ECN0 (Release 99, modeSpecificInfo fdd or tdd).
struct CellInfo {
  int cellIndividualOffset = kAbsent;
  RefTime refTime;
  bool fdd = false;
  int primaryScramblingCode = kAbsent;         // fdd
  int primaryCpichTxPower = kAbsent;           // fdd
  bool txDiversity = false;                    // fdd
  Pccpch pccpch;                               // tdd
  int primaryCcpchTxPower = kAbsent;           // tdd
  std::vector<std::pair<int, int>> timeslots;  // tdd: (timeslotNumber, burstType)
  bool readSFN = false;
  bool hasCsri = false;
  CsriValue csri;
};

void PutCellInfo(BitWriter& w, Csri type, const CellInfo& c) {
  w.Bit(c.cellIndividualOffset != kAbsent).Bit(c.refTime.alternative >= 0).Bit(c.hasCsri);
  PutOptional(w, c.cellIndividualOffset, -20, 20);
  if (c.refTime.alternative >= 0) PutRefTime(w, c.refTime);
  w.Bit(!c.fdd);
  if (c.fdd) {
    w.Bit(c.primaryScramblingCode != kAbsent).Bit(c.primaryCpichTxPower != kAbsent);
    PutOptional(w, c.primaryScramblingCode, 0, 511);
    PutOptional(w, c.primaryCpichTxPower, -10, 50);
    w.Bit(c.readSFN).Bit(c.txDiversity);
  } else {
    w.Bit(c.primaryCcpchTxPower != kAbsent).Bit(!c.timeslots.empty());
    PutPccpch(w, c.pccpch);
    PutOptional(w, c.primaryCcpchTxPower, 6, 43);
    if (!c.timeslots.empty()) {
      PutCount(w, c.timeslots.size(), 1, 14);
      for (const auto& t : c.timeslots) w.Constrained(t.first, 0, 14).Constrained(t.second, 0, 1);
    }
    w.Bit(c.readSFN);
  }
  if (c.hasCsri) PutCsri(w, type, c.csri);
}

// CellInfoSI-*-LCR-r4.
struct CellInfoLcr {
  int cellIndividualOffset = kAbsent;
  RefTime refTime;
  PccpchLcr pccpch;
  int primaryCcpchTxPower = kAbsent;
  std::vector<int> timeslots;  // TimeslotNumber-LCR-r4
  bool readSFN = false;
  bool hasCsri = false;
  CsriValue csri;
};

void PutCellInfoLcr(BitWriter& w, Csri type, const CellInfoLcr& c) {
  w.Bit(c.cellIndividualOffset != kAbsent).Bit(c.refTime.alternative >= 0);
  w.Bit(c.primaryCcpchTxPower != kAbsent).Bit(!c.timeslots.empty()).Bit(c.hasCsri);
  PutOptional(w, c.cellIndividualOffset, -20, 20);
  if (c.refTime.alternative >= 0) PutRefTime(w, c.refTime);
  PutPccpchLcr(w, c.pccpch);
  PutOptional(w, c.primaryCcpchTxPower, 6, 43);
  if (!c.timeslots.empty()) {
    PutCount(w, c.timeslots.size(), 1, 6);
    for (int t : c.timeslots) w.Constrained(t, 0, 6);
  }
  w.Bit(c.readSFN);
  if (c.hasCsri) PutCsri(w, type, c.csri);
}

// RemovedIntraFreqCellList / RemovedInterFreqCellList / RemovedInterRATCellList.
struct Removed {
  int alternative = 2;   // 0 removeAll, 1 removeSome, 2 removeNo
  std::vector<int> ids;  // removeSome
};

void PutRemoved(BitWriter& w, const Removed& r) {
  w.Constrained(r.alternative, 0, 2);
  if (r.alternative != 1) return;
  PutCount(w, r.ids.size(), 1, 32);
  for (int id : r.ids) w.Constrained(id, 0, 31);
}

struct FreqInfo {
  bool fdd = false;
  int uarfcnUL = kAbsent;  // fdd
  int uarfcn = 0;          // fdd: uarfcn-DL, tdd: uarfcn-Nt
};

void PutFreqInfo(BitWriter& w, const FreqInfo& f) {
  w.Bit(!f.fdd);
  if (f.fdd) {
    w.Bit(f.uarfcnUL != kAbsent);
    PutOptional(w, f.uarfcnUL, 0, 16383);
  }
  w.Constrained(f.uarfcn, 0, 16383);
}

template <typename Info>
struct Cell {
  int id = kAbsent;  // intraFreqCellID / interFreqCellID
  bool hasFreq = false;
  FreqInfo freq;  // inter-frequency cells only
  Info info;
};

// IntraFreqCellInfoSI-List-*: removedIntraFreqCellList OPTIONAL, newIntraFreqCellList.
template <typename Info, typename PutInfo>
void PutIntraList(BitWriter& w, const Removed* removed, const std::vector<Cell<Info>>& cells,
                  PutInfo putInfo) {
  w.Bit(removed != nullptr);
  if (removed != nullptr) PutRemoved(w, *removed);
  PutCount(w, cells.size(), 1, 32);
  for (const Cell<Info>& c : cells) {
    w.Bit(c.id != kAbsent);
    PutOptional(w, c.id, 0, 31);
    putInfo(w, c.info);
  }
}

// InterFreqCellInfoSI-List-*: both members OPTIONAL; cells with frequencyInfo OPTIONAL.
template <typename Info, typename PutInfo>
void PutInterList(BitWriter& w, const Removed* removed, const std::vector<Cell<Info>>& cells,
                  PutInfo putInfo) {
  w.Bit(removed != nullptr).Bit(!cells.empty());
  if (removed != nullptr) PutRemoved(w, *removed);
  if (cells.empty()) return;
  PutCount(w, cells.size(), 1, 32);
  for (const Cell<Info>& c : cells) {
    w.Bit(c.id != kAbsent).Bit(c.hasFreq);
    PutOptional(w, c.id, 0, 31);
    if (c.hasFreq) PutFreqInfo(w, c.freq);
    putInfo(w, c.info);
  }
}

// NewInterRATCell / NewInterRATCell-B.
struct RatCell {
  int id = kAbsent;
  int technology = 0;  // 0 gsm, 1 is-2000, 2 absent, 3 spare1
  bool hasCsri = false;
  CsriValue csri;  // CellSelectReselectInfoSIB-11-12
  int individualOffset = 0;
  int ncc = 0;
  int bcc = 0;
  int band = 0;
  int arfcn = 0;
  bool dummy = false;
  int is2000 = 0;  // IS-2000SpecificMeasInfo
};

void PutRatCells(BitWriter& w, const std::vector<RatCell>& cells) {
  PutCount(w, cells.size(), 1, 32);
  for (const RatCell& c : cells) {
    w.Bit(c.id != kAbsent);
    PutOptional(w, c.id, 0, 31);
    w.Constrained(c.technology, 0, 3);
    if (c.technology == 0) {
      w.Bit(c.hasCsri).Bit(c.dummy);
      if (c.hasCsri) PutCsri(w, Csri::kGsm, c.csri);
      w.Constrained(c.individualOffset, -50, 50);
      w.Constrained(c.ncc, 0, 7).Constrained(c.bcc, 0, 7);
      w.Constrained(c.band, 0, 1).Constrained(c.arfcn, 0, 1023);
    } else if (c.technology == 1) {
      w.Constrained(c.is2000, 0, 4);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Measurement and reporting quantities, reporting criteria.

// IntraFreqMeasurementSysInfo-* after the cell list: the four optional reporting members, given as
// ready encodings (empty: absent).
struct IntraReporting {
  BitWriter measQuantity;
  BitWriter reportingQuantityForRach;
  int maxReportedCellsOnRach = kAbsent;
  BitWriter reportingInfoForCellDch;
};

// IntraFreqMeasurementSysInfo-*: ID (DEFAULT 1), list, then the reporting members.
void PutIntraMeas(BitWriter& w, int id, const BitWriter* list, const IntraReporting& r) {
  w.Bit(id != kAbsent).Bit(list != nullptr).Bit(r.measQuantity.size() != 0);
  w.Bit(r.reportingQuantityForRach.size() != 0).Bit(r.maxReportedCellsOnRach != kAbsent);
  w.Bit(r.reportingInfoForCellDch.size() != 0);
  PutOptional(w, id, 1, 16);
  if (list != nullptr) w.Append(*list);
  w.Append(r.measQuantity).Append(r.reportingQuantityForRach);
  PutOptional(w, r.maxReportedCellsOnRach, 0, 7);
  w.Append(r.reportingInfoForCellDch);
}

// IntraFreqMeasQuantity: filterCoefficient (DEFAULT fc0), fdd quantity or tdd list.
BitWriter MeasQuantity(int filter, int fdd, const std::vector<int>& tdd) {
  BitWriter w;
  w.Bit(filter != kAbsent);
  PutOptional(w, filter, 0, 15);
  w.Bit(fdd == kAbsent);
  if (fdd != kAbsent) {
    w.Constrained(fdd, 0, 3);
  } else {
    PutCount(w, tdd.size(), 1, 4);
    for (int q : tdd) w.Constrained(q, 0, 3);
  }
  return w;
}

// IntraFreqReportingQuantityForRACH: sfn-SFN-OTD-Type, fdd quantity or tdd list.
BitWriter RachQuantity(int sfnOtd, int fdd, const std::vector<int>& tdd) {
  BitWriter w;
  w.Constrained(sfnOtd, 0, 2);
  w.Bit(fdd == kAbsent);
  if (fdd != kAbsent) {
    w.Constrained(fdd, 0, 3);
  } else {
    PutCount(w, tdd.size(), 1, 2);
    for (int q : tdd) w.Constrained(q, 0, 2);
  }
  return w;
}

// CellReportingQuantities: dummy, two indicators, fdd (3 booleans) or tdd (4 booleans).
struct CellRq {
  int dummy;
  std::string flags;  // the two common indicators, then 3 (fdd) or 4 (tdd) mode digits
};

void PutCellRq(BitWriter& w, const CellRq& q) {
  w.Constrained(q.dummy, 0, 2);
  w.Pattern(q.flags.substr(0, 2));
  w.Bit(q.flags.size() == 6);  // tdd
  w.Pattern(q.flags.substr(2));
}

struct ForbiddenCell {  // ForbiddenAffectCell: fdd (PrimaryCPICH-Info) or tdd (PrimaryCCPCH-Info)
  bool fdd;
  int primaryScramblingCode;
  Pccpch pccpch;
};

// IntraFreqEvent (Release 99) or IntraFreqEvent-LCR-r4; lcrForbidden replaces forbidden in the
// LCR e1a / e1b.
struct Event {
  int alternative;  // 0 e1a .. 8 e1i
  int triggeringCondition = 0;
  int reportingRange = 0;
  std::vector<ForbiddenCell> forbidden;
  std::vector<PccpchLcr> lcrForbidden;
  int w = 0;
  int reportDeactivationThreshold = 0;  // also replacementActivationThreshold (e1c)
  int reportingAmount = 0;
  int reportingInterval = 0;
  int threshold = 0;  // e1e, e1f, e1h, e1i
  int hysteresis = 0;
  int timeToTrigger = 0;
  int statusAlternative = -1;  // -1 absent, 0..13
  int statusValue = 0;
};

void PutEvent(BitWriter& w, const Event& e, bool lcr) {
  w.Constrained(e.alternative, 0, 8);
  const bool hasForbidden = lcr ? !e.lcrForbidden.empty() : !e.forbidden.empty();
  switch (e.alternative) {
    case 0:  // e1a
    case 1:  // e1b
      w.Bit(hasForbidden);
      w.Constrained(e.triggeringCondition, 0, e.alternative == 0 ? 4 : 2);
      w.Constrained(e.reportingRange, 0, 29);
      if (hasForbidden && lcr) {
        PutCount(w, e.lcrForbidden.size(), 1, 32);
        for (const PccpchLcr& p : e.lcrForbidden) PutPccpchLcr(w, p);
      } else if (hasForbidden) {
        PutCount(w, e.forbidden.size(), 1, 32);
        for (const ForbiddenCell& f : e.forbidden) {
          w.Bit(!f.fdd);
          if (f.fdd) {
            w.Constrained(f.primaryScramblingCode, 0, 511);
          } else {
            PutPccpch(w, f.pccpch);
          }
        }
      }
      w.Constrained(e.w, 0, 20);
      if (e.alternative == 0) {
        w.Constrained(e.reportDeactivationThreshold, 0, 7);
        w.Constrained(e.reportingAmount, 0, 7).Constrained(e.reportingInterval, 0, 7);
      }
      break;
    case 2:  // e1c
      w.Constrained(e.reportDeactivationThreshold, 0, 7);
      w.Constrained(e.reportingAmount, 0, 7).Constrained(e.reportingInterval, 0, 7);
      break;
    case 4:  // e1e
    case 5:  // e1f
      w.Constrained(e.triggeringCondition, 0, e.alternative == 4 ? 4 : 2);
      w.Constrained(e.threshold, -115, 165);
      break;
    case 7:  // e1h
    case 8:  // e1i
      w.Constrained(e.threshold, -115, 165);
      break;
    default:  // e1d, e1g: NULL
      break;
  }
}

// IntraFreqEventCriteriaList(-LCR-r4) elements.
void PutEventCriteria(BitWriter& w, const std::vector<Event>& events, bool lcr) {
  PutCount(w, events.size(), 1, 8);
  for (const Event& e : events) {
    w.Bit(e.statusAlternative >= 0);
    PutEvent(w, e, lcr);
    w.Constrained(e.hysteresis, 0, 15).Constrained(e.timeToTrigger, 0, 15);
    if (e.statusAlternative < 0) continue;
    w.Constrained(e.statusAlternative, 0, 13);
    const int a = e.statusAlternative;
    const int upper = a >= 12 ? 11 : 5;  // Type2 for 13, 14; Type1 / Type3 otherwise
    w.Constrained(e.statusValue, 0, upper);
  }
}

// ReportingInfoForCellDCH(-LCR-r4): quantities, reporting mode, criteria (events or periodical).
BitWriter CellDchReporting(const std::vector<CellRq>& quantities, int transferMode, int trigger,
                           const std::vector<Event>* events, bool lcr, int periodicAmount,
                           int periodicInterval) {
  BitWriter w;
  w.Bit(quantities.size() == 3);
  for (const CellRq& q : quantities) PutCellRq(w, q);
  w.Constrained(transferMode, 0, 1).Constrained(trigger, 0, 1);
  w.Bit(events == nullptr);
  if (events != nullptr) {
    w.Bit(!events->empty());
    if (!events->empty()) PutEventCriteria(w, *events, lcr);
  } else {
    w.Bit(periodicAmount != kAbsent);
    PutOptional(w, periodicAmount, 0, 7);
    w.Constrained(periodicInterval, 0, 15);
  }
  return w;
}

// InterFreqRACHReportingInfo and the v690 Dummy-InterFreqRACHReportingInfo: fdd quantity or tdd
// list, threshold, maximum.
BitWriter RachReportingInfo(int fdd, const std::vector<int>& tdd, int threshold, int maximum) {
  BitWriter w;
  w.Bit(fdd == kAbsent);
  if (fdd != kAbsent) {
    w.Constrained(fdd, 0, 1);
  } else {
    PutCount(w, tdd.size(), 1, 2);
    for (int q : tdd) w.Constrained(q, 0, 1);
  }
  w.Constrained(threshold, -115, 0).Constrained(maximum, 1, 8);
  return w;
}

// ---------------------------------------------------------------------------------------------
// Whole SIBs.

// SysInfoType11 / SysInfoType12 around a ready MeasurementControlSysInfo and extension chain.
BitWriter Sib11(bool sib12indicator, const BitWriter* fach, const BitWriter& control,
                const BitWriter* chain) {
  BitWriter w;
  w.Bit(fach != nullptr).Bit(chain != nullptr).Bit(sib12indicator);
  if (fach != nullptr) w.Append(*fach);
  w.Append(control);
  if (chain != nullptr) w.Append(*chain);
  return w;
}

BitWriter Sib12(const BitWriter* fach, const BitWriter& control, const BitWriter* chain) {
  BitWriter w;
  w.Bit(fach != nullptr).Bit(chain != nullptr);
  if (fach != nullptr) w.Append(*fach);
  w.Append(control);
  if (chain != nullptr) w.Append(*chain);
  return w;
}

// The smallest MeasurementControlSysInfo: hcs_not_used, cpich_RSCP, nothing in it.
// No traffic volume, no dummy; hcs_not_used without inter-RAT; cpich_RSCP without intra / inter.
BitWriter EmptyControl() { return BitWriter().Pattern("00 0 0 0 00"); }

const char kEmptyUseOfHcsText[] =
    "        use_of_HCS\r\n"
    "        {\r\n"
    "            hcs_not_used\r\n"
    "            {\r\n"
    "                cellSelectQualityMeasure\r\n"
    "                {\r\n"
    "                    cpich_RSCP\r\n"
    "                    {\r\n"
    "                    }\r\n"
    "                }\r\n"
    "            }\r\n"
    "        }\r\n";

std::string EmptyControlText() {
  return std::string("    measurementControlSysInfo\r\n    {\r\n") + kEmptyUseOfHcsText +
         "    }\r\n";
}

// Summary record: the three neighbour lists exactly, zero beyond their counts, no cell identity.
struct RatEntry {
  int id, arfcn, bsic;
};
struct IntraEntry {
  int id, cellParametersID;
};
struct InterEntry {
  int id, uarfcn, cellParametersID;
};

void ExpectCells(const tagSystemInformationBlock& out, const std::vector<RatEntry>& rat,
                 const std::vector<IntraEntry>& intra, const std::vector<InterEntry>& inter) {
  EXPECT_EQ(0u, out.sib3.cellIdentity);
  EXPECT_EQ(0u, out.sib4.cellIdentity);
  const tagSystemInformationBlockType11& s = out.sib11;
  ASSERT_EQ(rat.size(), s.interRATCellCount);
  ASSERT_EQ(intra.size(), s.intraFreqCellCount);
  ASSERT_EQ(inter.size(), s.interFreqCellCount);
  tagSystemInformationBlockType11 want;
  std::memset(&want, 0, sizeof want);
  want.interRATCellCount = s.interRATCellCount;
  want.intraFreqCellCount = s.intraFreqCellCount;
  want.interFreqCellCount = s.interFreqCellCount;
  for (size_t i = 0; i < rat.size(); ++i) {
    want.interRATCells[i] = {rat[i].id, rat[i].arfcn, rat[i].bsic};
  }
  for (size_t i = 0; i < intra.size(); ++i) {
    want.intraFreqCells[i] = {intra[i].id, intra[i].cellParametersID};
  }
  for (size_t i = 0; i < inter.size(); ++i) {
    want.interFreqCells[i] = {inter[i].id, inter[i].uarfcn, inter[i].cellParametersID};
  }
  for (size_t i = 0; i < 32; ++i) {
    EXPECT_EQ(want.interRATCells[i].interRATCellID, s.interRATCells[i].interRATCellID) << i;
    EXPECT_EQ(want.interRATCells[i].bcch_ARFCN, s.interRATCells[i].bcch_ARFCN) << i;
    EXPECT_EQ(want.interRATCells[i].bsic, s.interRATCells[i].bsic) << i;
    EXPECT_EQ(want.intraFreqCells[i].intraFreqCellID, s.intraFreqCells[i].intraFreqCellID) << i;
    EXPECT_EQ(want.intraFreqCells[i].cellParametersID, s.intraFreqCells[i].cellParametersID) << i;
    EXPECT_EQ(want.interFreqCells[i].interFreqCellID, s.interFreqCells[i].interFreqCellID) << i;
    EXPECT_EQ(want.interFreqCells[i].uarfcn_Nt, s.interFreqCells[i].uarfcn_Nt) << i;
    EXPECT_EQ(want.interFreqCells[i].cellParametersID, s.interFreqCells[i].cellParametersID) << i;
  }
}

// TrafficVolumeMeasSysInfo of the Release 99 case: ID absent (DEFAULT 4), objects dch 32,
// rachorcpch and usch 1, averageRLC_BufferPayload 13, the three payload flags, the dummy criteria
// with two channels (usch 7 with two event parameter sets; dch 3 without), validity all-States,
// acknowledged / periodical, periodical criteria with ra-Infinity by default and ril64.
BitWriter TrafficVolume() {
  BitWriter w;
  w.Pattern("0 1 1 1 1 1");  // ID, objects, quantity, reporting, dummy, validity
  w.Constrained(3, 1, 32);   // trafficVolumeMeasurementObjectList
  w.Constrained(0, 0, 2).Constrained(32, 1, 32);               // dch 32
  w.Constrained(1, 0, 2);                                      // rachorcpch
  w.Constrained(2, 0, 2).Constrained(1, 1, 32);                // usch 1
  w.Constrained(1, 0, 2).Constrained(13, 1, 13);               // averageRLC-BufferPayload 13
  w.Pattern("101");                                            // trafficVolumeReportingQuantity
  w.Bit(true).Constrained(2, 1, 32);                           // dummy: transChCriteriaList of two
  w.Pattern("11").Constrained(2, 0, 2).Constrained(7, 1, 32);  // ul-transportChannelID usch 7
  w.Constrained(2, 1, 2);                                      // eventSpecificParameters
  w.Pattern("111").Constrained(1, 0, 1).Constrained(25, 0, 25);        // e4b, th768k
  w.Constrained(11, 0, 15).Constrained(6, 0, 6).Constrained(0, 0, 6);  // ttt320, ptat16, txiat0-25
  w.Pattern("000").Constrained(0, 0, 1).Constrained(0, 0, 25);         // e4a, th8
  w.Pattern("10").Constrained(0, 0, 2).Constrained(3, 1, 32);          // second channel: dch 3
  w.Constrained(2, 0, 2);                                              // all-States
  w.Constrained(0, 0, 1).Constrained(0, 0, 1);    // acknowledgedModeRLC, periodical
  w.Bit(true).Bit(false).Constrained(15, 0, 15);  // periodicalReportingCriteria: ril64
  return w;
}

// UE-InternalMeasurementSysInfo: ID 16, ue-RX-TX-TimeDifference, fc1.
BitWriter UeInternal() {
  return BitWriter().Bit(true).Constrained(16, 1, 16).Bit(true).Constrained(2, 0, 2).Constrained(
      1, 0, 15);
}

// ---------------------------------------------------------------------------------------------
// SIB11 with the whole Release 99 tree under hcs_not_used / cpich_RSCP: cell lists of every
// shape, the reporting members with events e1a .. e1h, two GSM neighbours (one without an ID),
// traffic-volume and UE-internal measurement information. Only the GSM cells reach the summary.

TEST(Sib11Golden, Release99TreeWithGsmNeighboursAndReporting) {
  BitWriter fach;
  fach.Pattern("11").Constrained(5, 1, 12).Pattern("01");  // coefficient 5, FDD False, TDD True
  fach.Constrained(2, 1, 15).Pattern("0 1");               // gsm, is2000

  CellInfo fddCell;
  fddCell.cellIndividualOffset = -20;
  fddCell.refTime = {1, 150};
  fddCell.fdd = true;
  fddCell.primaryScramblingCode = 511;
  fddCell.primaryCpichTxPower = -10;
  fddCell.readSFN = true;
  fddCell.hasCsri = true;
  fddCell.csri.maxAllowedULTxPower = 33;
  fddCell.csri.mode = 0;
  fddCell.csri.qQualMin = -24;
  fddCell.csri.qRxlevMin = -58;
  CellInfo tddCell;
  tddCell.pccpch.syncCase = 2;
  tddCell.pccpch.syncValue = 6;
  tddCell.pccpch.cellParametersID = 127;
  tddCell.pccpch.sctd = true;
  tddCell.primaryCcpchTxPower = 43;
  tddCell.timeslots = {{0, 0}, {14, 1}};
  const Removed removedIntra{1, {4, 31}};
  std::vector<Cell<CellInfo>> intraCells(2);
  intraCells[0].id = 7;
  intraCells[0].info = fddCell;
  intraCells[1].info = tddCell;
  BitWriter intraList;
  PutIntraList(intraList, &removedIntra, intraCells,
               [](BitWriter& w, const CellInfo& c) { PutCellInfo(w, Csri::kRscp, c); });

  std::vector<Event> events(8);
  for (int i = 0; i < 8; ++i) {
    events[i].alternative = i;
    events[i].hysteresis = i;
    events[i].timeToTrigger = i;
  }
  Pccpch syncCase1;
  syncCase1.syncCase = 1;
  syncCase1.syncValue = 14;
  Pccpch fddPccpch;
  fddPccpch.fdd = true;
  fddPccpch.txDiversity = true;
  events[0].triggeringCondition = 4;
  events[0].reportingRange = 29;
  events[0].forbidden = {{true, 300, {}}, {false, 0, syncCase1}, {false, 0, fddPccpch}};
  events[0].w = 20;
  events[0].reportDeactivationThreshold = 7;
  events[0].reportingAmount = 7;
  events[0].reportingInterval = 7;
  events[0].hysteresis = 15;
  events[0].timeToTrigger = 11;
  events[0].statusAlternative = 0;
  events[0].statusValue = 5;
  events[1].triggeringCondition = 2;
  events[2].timeToTrigger = 15;
  events[2].statusAlternative = 6;
  events[2].statusValue = 2;
  events[3].statusAlternative = 13;
  events[3].statusValue = 11;
  events[4].triggeringCondition = 1;
  events[4].threshold = -115;
  events[5].threshold = 165;
  events[7].threshold = -1;
  events[7].statusAlternative = 12;
  events[7].statusValue = 0;
  IntraReporting reporting;
  reporting.measQuantity = MeasQuantity(kAbsent, 2, {});
  reporting.reportingQuantityForRach = RachQuantity(2, kAbsent, {0, 2});
  reporting.maxReportedCellsOnRach = 7;
  reporting.reportingInfoForCellDch = CellDchReporting({{1, "10101"}, {0, "011010"}, {2, "11000"}},
                                                       1, 1, &events, false, kAbsent, 0);

  CellInfo interInfo;
  interInfo.cellIndividualOffset = 20;
  interInfo.pccpch = fddPccpch;
  interInfo.readSFN = true;
  interInfo.hasCsri = true;
  interInfo.csri.qOffset1 = -50;
  interInfo.csri.mode = 2;
  interInfo.csri.qRxlevMin = -13;
  std::vector<Cell<CellInfo>> interCells(1);
  interCells[0].id = 2;
  interCells[0].hasFreq = true;
  interCells[0].freq = {true, 100, 16383};
  interCells[0].info = interInfo;
  const Removed removedInter{1, {9}};

  std::vector<RatCell> ratCells(2);
  ratCells[0].id = 12;
  ratCells[0].hasCsri = true;
  ratCells[0].csri.qOffset1 = 50;
  ratCells[0].csri.qOffset2 = -50;
  ratCells[0].csri.maxAllowedULTxPower = -5;
  ratCells[0].csri.hasHcs = true;
  ratCells[0].csri.hcsPrio = 3;
  ratCells[0].csri.qHcs = 4;
  ratCells[0].csri.penalty = {4, 3, 0};  // pt40, to12
  ratCells[0].csri.mode = 0;
  ratCells[0].csri.qQualMin = -10;
  ratCells[0].csri.qRxlevMin = -40;
  ratCells[0].individualOffset = -50;
  ratCells[0].ncc = 7;
  ratCells[0].bcc = 7;
  ratCells[0].band = 1;
  ratCells[0].arfcn = 1023;
  ratCells[0].dummy = true;
  ratCells[1].individualOffset = 50;
  ratCells[1].ncc = 3;
  ratCells[1].bcc = 5;

  BitWriter control;
  control.Pattern("11");  // trafficVolumeMeasSysInfo, dummy
  control.Bit(false);     // hcs_not_used
  control.Bit(true);      // interRATMeasurementSysInfo
  control.Bit(false);     // cpich_RSCP
  control.Pattern("11");  // intra, inter
  PutIntraMeas(control, 3, &intraList, reporting);
  control.Bit(true);  // interFreqMeasurementSysInfo: interFreqCellInfoSI_List
  PutInterList(control, &removedInter, interCells,
               [](BitWriter& w, const CellInfo& c) { PutCellInfo(w, Csri::kRscp, c); });
  control.Bit(true);  // interRATCellInfoList
  PutRemoved(control, Removed{1, {0, 5}});
  PutRatCells(control, ratCells);
  control.Append(TrafficVolume()).Append(UeInternal());

  const Decoded d = DecodeBare(11, Sib11(true, &fach, control, nullptr));
  EXPECT_EQ(1, d.result);
  ExpectCells(d.out, {{12, 1023, 77}, {kAbsentValue, 0, 35}}, {}, {});
  ExpectText(
      "SysInfoType11 ::=\r\n"
      "{\r\n"
      "    sib12indicator = True\r\n"
      "    fach_MeasurementOccasionInfo\r\n"
      "    {\r\n"
      "        fACH_meas_occasion_coeff = 5\r\n"
      "        inter_freq_FDD_meas_ind = False\r\n"
      "        inter_freq_TDD_meas_ind = True\r\n"
      "        inter_RAT_meas_ind[0] = gsm\r\n"
      "        inter_RAT_meas_ind[1] = is2000\r\n"
      "    }\r\n"
      "    measurementControlSysInfo\r\n"
      "    {\r\n"
      "        use_of_HCS\r\n"
      "        {\r\n"
      "            hcs_not_used\r\n"
      "            {\r\n"
      "                cellSelectQualityMeasure\r\n"
      "                {\r\n"
      "                    cpich_RSCP\r\n"
      "                    {\r\n"
      "                        intraFreqMeasurementSysInfo\r\n"
      "                        {\r\n"
      "                            intraFreqMeasurementID = 3\r\n"
      "                            intraFreqCellInfoSI_List\r\n"
      "                            {\r\n"
      "                                removedIntraFreqCellList\r\n"
      "                                {\r\n"
      "                                        removeSomeIntraFreqCells[0] = 4\r\n"
      "                                        removeSomeIntraFreqCells[1] = 31\r\n"
      "                                }\r\n"
      "                                newIntraFreqCellList[0]\r\n"
      "                                {\r\n"
      "                                    intraFreqCellID = 7\r\n"
      "                                    cellInfo\r\n"
      "                                    {\r\n"
      "                                        cellIndividualOffset = -20\r\n"
      "                                        referenceTimeDifferenceToCell\r\n"
      "                                        {\r\n"
      "                                            accuracy256 = 150\r\n"
      "                                        }\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            fdd\r\n"
      "                                            {\r\n"
      "                                                primaryCPICH_Info\r\n"
      "                                                {\r\n"
      "                                                        primaryScramblingCode = 511\r\n"
      "                                                }\r\n"
      "                                                    primaryCPICH_TX_Power = -10\r\n"
      "                                                readSFN_Indicator = True\r\n"
      "                                                tx_DiversityIndicator = False\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        cellSelectionReselectionInfo\r\n"
      "                                        {\r\n"
      "                                            q_OffsetS_N = 0\r\n"
      "                                            maxAllowedUL_TX_Power = 33\r\n"
      "                                            modeSpecificInfo\r\n"
      "                                            {\r\n"
      "                                                fdd\r\n"
      "                                                {\r\n"
      "                                                        q_QualMin = -24\r\n"
      "                                                    q_RxlevMin = -58\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                                newIntraFreqCellList[1]\r\n"
      "                                {\r\n"
      "                                    cellInfo\r\n"
      "                                    {\r\n"
      "                                        cellIndividualOffset = 0\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            tdd\r\n"
      "                                            {\r\n"
      "                                                primaryCCPCH_Info\r\n"
      "                                                {\r\n"
      "                                                    tdd\r\n"
      "                                                    {\r\n"
      "                                                        syncCase\r\n"
      "                                                        {\r\n"
      "                                                            syncCase2\r\n"
      "                                                            {\r\n"
      "                                                                    timeslotSync2 = 6\r\n"
      "                                                            }\r\n"
      "                                                        }\r\n"
      "                                                        cellParametersID = 127\r\n"
      "                                                        sctd_Indicator = True\r\n"
      "                                                    }\r\n"
      "                                                }\r\n"
      "                                                primaryCCPCH_TX_Power = 43\r\n"
      "                                                timeslotInfoList[0]\r\n"
      "                                                {\r\n"
      "                                                    timeslotNumber = 0\r\n"
      "                                                    burstType = type1\r\n"
      "                                                }\r\n"
      "                                                timeslotInfoList[1]\r\n"
      "                                                {\r\n"
      "                                                    timeslotNumber = 14\r\n"
      "                                                    burstType = type2\r\n"
      "                                                }\r\n"
      "                                                readSFN_Indicator = False\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                            intraFreqMeasQuantity\r\n"
      "                            {\r\n"
      "                                filterCoefficient = fc0\r\n"
      "                                modeSpecificInfo\r\n"
      "                                {\r\n"
      "                                    fdd\r\n"
      "                                    {\r\n"
      "                                            intraFreqMeasQuantity_FDD = pathloss\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                            intraFreqReportingQuantityForRACH\r\n"
      "                            {\r\n"
      "                                sfn_SFN_OTD_Type = type2\r\n"
      "                                modeSpecificInfo\r\n"
      "                                {\r\n"
      "                                    tdd\r\n"
      "                                    {\r\n"
      "                                        intraFreqRepQuantityRACH_TDDList[0] = "
      "timeslotISCP\r\n"
      "                                        intraFreqRepQuantityRACH_TDDList[1] = noReport\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                            maxReportedCellsOnRACH = currentAnd-6-BestNeighbour\r\n"
      "                            reportingInfoForCellDCH\r\n"
      "                            {\r\n"
      "                                intraFreqReportingQuantity\r\n"
      "                                {\r\n"
      "                                    activeSetReportingQuantities\r\n"
      "                                    {\r\n"
      "                                        dummy = type1\r\n"
      "                                        cellIdentity_reportingIndicator = True\r\n"
      "                                        cellSynchronisationInfoReportingIndicator = "
      "False\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            fdd\r\n"
      "                                            {\r\n"
      "                                                cpich_Ec_N0_reportingIndicator = True\r\n"
      "                                                cpich_RSCP_reportingIndicator = False\r\n"
      "                                                pathloss_reportingIndicator = True\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                    monitoredSetReportingQuantities\r\n"
      "                                    {\r\n"
      "                                        dummy = noReport\r\n"
      "                                        cellIdentity_reportingIndicator = False\r\n"
      "                                        cellSynchronisationInfoReportingIndicator = True\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            tdd\r\n"
      "                                            {\r\n"
      "                                                timeslotISCP_reportingIndicator = True\r\n"
      "                                                proposedTGSN_ReportingRequired = False\r\n"
      "                                                primaryCCPCH_RSCP_reportingIndicator = "
      "True\r\n"
      "                                                pathloss_reportingIndicator = False\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                    detectedSetReportingQuantities\r\n"
      "                                    {\r\n"
      "                                        dummy = type2\r\n"
      "                                        cellIdentity_reportingIndicator = True\r\n"
      "                                        cellSynchronisationInfoReportingIndicator = True\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            fdd\r\n"
      "                                            {\r\n"
      "                                                cpich_Ec_N0_reportingIndicator = False\r\n"
      "                                                cpich_RSCP_reportingIndicator = False\r\n"
      "                                                pathloss_reportingIndicator = False\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                                measurementReportingMode\r\n"
      "                                {\r\n"
      "                                    measurementReportTransferMode = "
      "unacknowledgedModeRLC\r\n"
      "                                    periodicalOrEventTrigger = eventTrigger\r\n"
      "                                }\r\n"
      "                                reportCriteria\r\n"
      "                                {\r\n"
      "                                    intraFreqReportingCriteria\r\n"
      "                                    {\r\n"
      "                                        eventCriteriaList[0]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1a\r\n"
      "                                                {\r\n"
      "                                                        triggeringCondition = "
      "detectedSetAndMonitoredSetCells\n"
      "                                                        reportingRange = 29\r\n"
      "                                                        forbiddenAffectCellList[0]\r\n"
      "                                                        {\r\n"
      "                                                            fdd\r\n"
      "                                                            {\r\n"
      "                                                                    primaryScramblingCode = "
      "300\r\n"
      "                                                            }\r\n"
      "                                                        }\r\n"
      "                                                        forbiddenAffectCellList[1]\r\n"
      "                                                        {\r\n"
      "                                                            tdd\r\n"
      "                                                            {\r\n"
      "                                                                tdd\r\n"
      "                                                                {\r\n"
      "                                                                    syncCase\r\n"
      "                                                                    {\r\n"
      "                                                                        syncCase1\r\n"
      "                                                                        {\r\n"
      "                                                                            timeslot = "
      "14\r\n"
      "                                                                        }\r\n"
      "                                                                    }\r\n"
      "                                                                    sctd_Indicator = "
      "False\r\n"
      "                                                                }\r\n"
      "                                                            }\r\n"
      "                                                        }\r\n"
      "                                                        forbiddenAffectCellList[2]\r\n"
      "                                                        {\r\n"
      "                                                            tdd\r\n"
      "                                                            {\r\n"
      "                                                                fdd\r\n"
      "                                                                {\r\n"
      "                                                                    tx_DiversityIndicator = "
      "True\r\n"
      "                                                                }\r\n"
      "                                                            }\r\n"
      "                                                        }\r\n"
      "                                                        w = 20\r\n"
      "                                                        reportDeactivationThreshold = t7\n"
      "                                                        reportingAmount = ra-Infinity\n"
      "                                                        reportingInterval = ri16\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 15\r\n"
      "                                            timeToTrigger = ttt320\r\n"
      "                                            reportingCellStatus\r\n"
      "                                            {\r\n"
      "                                                withinActiveSet = e6\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[1]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1b\r\n"
      "                                                {\r\n"
      "                                                        triggeringCondition = "
      "activeSetAndMonitoredSetCells\n"
      "                                                        reportingRange = 0\r\n"
      "                                                        w = 0\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 1\r\n"
      "                                            timeToTrigger = ttt10\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[2]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1c\r\n"
      "                                                {\r\n"
      "                                                        replacementActivationThreshold = "
      "notApplicable\n"
      "                                                        reportingAmount = ra1\n"
      "                                                        reportingInterval = "
      "noPeriodicalreporting\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 2\r\n"
      "                                            timeToTrigger = ttt5000\r\n"
      "                                            reportingCellStatus\r\n"
      "                                            {\r\n"
      "                                                allActivePlusDetectedSet = "
      "viactCellsPlus3\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[3]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1d\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 3\r\n"
      "                                            timeToTrigger = ttt40\r\n"
      "                                            reportingCellStatus\r\n"
      "                                            {\r\n"
      "                                                "
      "withinActSetAndOrMonitoredUsedFreqOrVirtualActSetAndOrMonitoredNonUsedFreq = e12\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[4]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1e\r\n"
      "                                                {\r\n"
      "                                                        triggeringCondition = "
      "monitoredSetCellsOnly\n"
      "                                                        thresholdUsedFrequency = -115\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 4\r\n"
      "                                            timeToTrigger = ttt60\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[5]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1f\r\n"
      "                                                {\r\n"
      "                                                        triggeringCondition = "
      "activeSetCellsOnly\n"
      "                                                        thresholdUsedFrequency = 165\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 5\r\n"
      "                                            timeToTrigger = ttt80\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[6]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                e1g\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 6\r\n"
      "                                            timeToTrigger = ttt100\r\n"
      "                                        }\r\n"
      "                                        eventCriteriaList[7]\r\n"
      "                                        {\r\n"
      "                                            event\r\n"
      "                                            {\r\n"
      "                                                    e1h = -1\r\n"
      "                                            }\r\n"
      "                                            hysteresis = 7\r\n"
      "                                            timeToTrigger = ttt120\r\n"
      "                                            reportingCellStatus\r\n"
      "                                            {\r\n"
      "                                                withinActSetOrVirtualActSet_InterRATcells = "
      "e1\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                        interFreqMeasurementSysInfo\r\n"
      "                        {\r\n"
      "                            interFreqCellInfoSI_List\r\n"
      "                            {\r\n"
      "                                removedInterFreqCellList\r\n"
      "                                {\r\n"
      "                                    removeSomeInterFreqCells[0] = 9\r\n"
      "                                }\r\n"
      "                                    newInterFreqCellList[0]\r\n"
      "                                    {\r\n"
      "                                        interFreqCellID = 2\r\n"
      "                                        frequencyInfo\r\n"
      "                                        {\r\n"
      "                                            modeSpecificInfo\r\n"
      "                                            {\r\n"
      "                                                fdd\r\n"
      "                                                {\r\n"
      "                                                    uarfcn_UL = 100\r\n"
      "                                                    uarfcn_DL = 16383\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        cellInfo\r\n"
      "                                        {\r\n"
      "                                            cellIndividualOffset = 20\r\n"
      "                                            modeSpecificInfo\r\n"
      "                                            {\r\n"
      "                                                tdd\r\n"
      "                                                {\r\n"
      "                                                    primaryCCPCH_Info\r\n"
      "                                                    {\r\n"
      "                                                        fdd\r\n"
      "                                                        {\r\n"
      "                                                            tx_DiversityIndicator = True\r\n"
      "                                                        }\r\n"
      "                                                    }\r\n"
      "                                                    readSFN_Indicator = True\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                            cellSelectionReselectionInfo\r\n"
      "                                            {\r\n"
      "                                                q_OffsetS_N = -50\r\n"
      "                                                modeSpecificInfo\r\n"
      "                                                {\r\n"
      "                                                    gsm\r\n"
      "                                                    {\r\n"
      "                                                        q_RxlevMin = -13\r\n"
      "                                                    }\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "                interRATMeasurementSysInfo\r\n"
      "                {\r\n"
      "                    interRATCellInfoList\r\n"
      "                    {\r\n"
      "                        removedInterRATCellList\r\n"
      "                        {\r\n"
      "                                removeSomeInterRATCells[0] = 0\r\n"
      "                                removeSomeInterRATCells[1] = 5\r\n"
      "                        }\r\n"
      "                        newInterRATCellList[0]\r\n"
      "                        {\r\n"
      "                            interRATCellID = 12\r\n"
      "                            technologySpecificInfo\r\n"
      "                            {\r\n"
      "                                gsm\r\n"
      "                                {\r\n"
      "                                    cellSelectionReselectionInfo\r\n"
      "                                    {\r\n"
      "                                        q_Offset1S_N = 50\r\n"
      "                                        q_Offset2S_N = -50\r\n"
      "                                        maxAllowedUL_TX_Power = -5\r\n"
      "                                        hcs_NeighbouringCellInformation_RSCP\r\n"
      "                                        {\r\n"
      "                                            hcs_PRIO = 3\r\n"
      "                                            q_HCS = 4\r\n"
      "                                            hcs_CellReselectInformation\r\n"
      "                                            {\r\n"
      "                                                penaltyTime\r\n"
      "                                                {\r\n"
      "                                                    pt40 = to12\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                        modeSpecificInfo\r\n"
      "                                        {\r\n"
      "                                            fdd\r\n"
      "                                            {\r\n"
      "                                                    q_QualMin = -10\r\n"
      "                                                q_RxlevMin = -40\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                    interRATCellIndividualOffset = -50\r\n"
      "                                    bsic\r\n"
      "                                    {\r\n"
      "                                        ncc = 7\r\n"
      "                                        bcc = 7\r\n"
      "                                    }\r\n"
      "                                    frequency_band = pcs1900BandUsed\r\n"
      "                                    bcch_ARFCN = 1023\r\n"
      "                                    dummy\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                        newInterRATCellList[1]\r\n"
      "                        {\r\n"
      "                            technologySpecificInfo\r\n"
      "                            {\r\n"
      "                                gsm\r\n"
      "                                {\r\n"
      "                                    interRATCellIndividualOffset = 50\r\n"
      "                                    bsic\r\n"
      "                                    {\r\n"
      "                                        ncc = 3\r\n"
      "                                        bcc = 5\r\n"
      "                                    }\r\n"
      "                                    frequency_band = dcs1800BandUsed\r\n"
      "                                    bcch_ARFCN = 0\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "        trafficVolumeMeasSysInfo\r\n"
      "        {\r\n"
      "            trafficVolumeMeasurementID = 4\r\n"
      "                trafficVolumeMeasurementObjectList[0]\r\n"
      "                {\r\n"
      "                        dch = 32\r\n"
      "                }\r\n"
      "                trafficVolumeMeasurementObjectList[1]\r\n"
      "                {\r\n"
      "                    rachorcpch\r\n"
      "                }\r\n"
      "                trafficVolumeMeasurementObjectList[2]\r\n"
      "                {\r\n"
      "                        usch = 1\r\n"
      "                }\r\n"
      "            trafficVolumeMeasQuantity\r\n"
      "            {\r\n"
      "                    averageRLC_BufferPayload = 13\r\n"
      "            }\r\n"
      "            trafficVolumeReportingQuantity\r\n"
      "            {\r\n"
      "                rlc_RB_BufferPayload = True\r\n"
      "                rlc_RB_BufferPayloadAverage = False\r\n"
      "                rlc_RB_BufferPayloadVariance = True\r\n"
      "            }\r\n"
      "            dummy\r\n"
      "            {\r\n"
      "                    transChCriteriaList[0]\r\n"
      "                    {\r\n"
      "                        ul_transportChannelID\r\n"
      "                        {\r\n"
      "                            usch = 7\r\n"
      "                        }\r\n"
      "                            eventSpecificParameters[0]\r\n"
      "                            {\r\n"
      "                                eventID = e4b\n"
      "                                reportingThreshold = th768k\n"
      "                                timeToTrigger = ttt320\r\n"
      "                                pendingTimeAfterTrigger = ptat16\n"
      "                                tx_InterruptionAfterTrigger = txiat0-25\n"
      "                            }\r\n"
      "                            eventSpecificParameters[1]\r\n"
      "                            {\r\n"
      "                                eventID = e4a\n"
      "                                reportingThreshold = th8\n"
      "                            }\r\n"
      "                    }\r\n"
      "                    transChCriteriaList[1]\r\n"
      "                    {\r\n"
      "                        ul_transportChannelID\r\n"
      "                        {\r\n"
      "                            dch = 3\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "            }\r\n"
      "            measurementValidity\r\n"
      "            {\r\n"
      "                    ue_State = all-States\n"
      "            }\r\n"
      "            measurementReportingMode\r\n"
      "            {\r\n"
      "                measurementReportTransferMode = acknowledgedModeRLC\r\n"
      "                periodicalOrEventTrigger = periodical\r\n"
      "            }\r\n"
      "            reportCriteriaSysInf\r\n"
      "            {\r\n"
      "                periodicalReportingCriteria\r\n"
      "                {\r\n"
      "                        reportingAmount = ra-Infinity\n"
      "                        reportingInterval = ril64\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "        dummy\r\n"
      "        {\r\n"
      "            ue_InternalMeasurementID = 16\r\n"
      "            ue_InternalMeasQuantity\r\n"
      "            {\r\n"
      "                    measurementQuantity = ue-RX-TX-TimeDifference\n"
      "                filterCoefficient = fc1\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

// The reporting members of V590Ext() as printed in SIB11 and SIB12 alike.
const char kV590ReportingText[] =
    "                        intraFreqEventCriteriaList_v590ext[0] = -5\r\n"
    "                        intraFreqEventCriteriaList_v590ext[1] = -1\r\n"
    "                intraFreqReportingCriteria_1b_r5\r\n"
    "                {\r\n"
    "                    periodicReportingInfo_1b\r\n"
    "                    {\r\n"
    "                            reportingAmount = ra64\n"
    "                            reportingInterval = ri0-5\n"
    "                    }\r\n"
    "                }\r\n"
    "                intraFreqEvent_1d_r5\r\n"
    "                {\r\n"
    "                        triggeringCondition = detectedSetCellsOnly\n"
    "                    useCIO = True\r\n"
    "                }\r\n";

// SysInfoType11-v590ext-IEs / SysInfoType12-v590ext-IEs with all six members: intra-frequency
// deltas (-2, -5) and (none), inter-frequency (-1, none), inter-RAT (none, -1); event criteria
// deltas -5, -1; 1b periodic reporting ra64 / ri0-5; 1d detectedSetCellsOnly with useCIO True.
BitWriter V590Ext() {
  BitWriter w;
  w.Pattern("111111");
  w.Constrained(2, 1, 32).Pattern("11").Constrained(-2, -2, -1).Constrained(-5, -5, -1);
  w.Pattern("00");
  w.Constrained(1, 1, 32).Pattern("10").Constrained(-1, -2, -1);
  w.Constrained(1, 1, 32).Pattern("01").Constrained(-1, -5, -1);
  w.Constrained(2, 1, 8).Constrained(-5, -5, -1).Constrained(-1, -5, -1);
  w.Constrained(6, 0, 7).Constrained(2, 0, 7);
  w.Pattern("11").Constrained(3, 0, 4).Bit(true);
  return w;
}

// ---------------------------------------------------------------------------------------------
// SIB11 with the LCR extension under hcs_not_used / cpich_RSCP (three intra- and two
// inter-frequency cells, LCR reporting criteria) and every further level of the chain up to v770.
// The LCR cells fill the summary record; absent IDs and cellParametersIDs become -65535.

BitWriter LcrSib11() {
  std::vector<Cell<CellInfoLcr>> intra(3);
  intra[0].id = 0;
  intra[0].info.cellIndividualOffset = 5;
  intra[0].info.refTime = {0, 960};
  intra[0].info.pccpch = {true, 12, false};
  intra[0].info.primaryCcpchTxPower = 6;
  intra[0].info.timeslots = {0, 6};
  intra[0].info.readSFN = true;
  intra[0].info.hasCsri = true;
  intra[0].info.csri.qOffset1 = -1;
  intra[1].info.pccpch = {false, 127, false};
  intra[2].id = 31;
  intra[2].info.pccpch = {false, kAbsent, true};
  const Removed removeAll{0, {}};
  BitWriter intraList;
  PutIntraList(intraList, &removeAll, intra,
               [](BitWriter& w, const CellInfoLcr& c) { PutCellInfoLcr(w, Csri::kRscp, c); });

  std::vector<Event> events(3);
  events[0].alternative = 0;
  events[0].reportingRange = 1;
  events[0].lcrForbidden = {{true, 9, false}, {false, kAbsent, true}};
  events[0].w = 1;
  events[0].reportDeactivationThreshold = 1;
  events[0].reportingAmount = 1;
  events[0].reportingInterval = 1;
  events[0].hysteresis = 8;
  events[0].timeToTrigger = 12;
  events[1].alternative = 1;
  events[1].triggeringCondition = 1;
  events[1].reportingRange = 2;
  events[1].lcrForbidden = {{false, 0, false}};
  events[1].w = 2;
  events[1].hysteresis = 9;
  events[1].timeToTrigger = 13;
  events[1].statusAlternative = 11;
  events[1].statusValue = 5;
  events[2].alternative = 8;
  events[2].threshold = 165;
  events[2].hysteresis = 10;
  events[2].timeToTrigger = 14;
  events[2].statusAlternative = 10;
  events[2].statusValue = 1;
  IntraReporting reporting;
  reporting.measQuantity = MeasQuantity(9, kAbsent, {0, 1, 2, 3});
  reporting.reportingQuantityForRach = RachQuantity(0, 3, {});
  reporting.reportingInfoForCellDch =
      CellDchReporting({{0, "000000"}, {1, "111111"}}, 0, 1, &events, true, kAbsent, 0);

  std::vector<Cell<CellInfoLcr>> inter(2);
  inter[0].id = 4;
  inter[0].hasFreq = true;
  inter[0].freq.uarfcn = 10054;
  inter[0].info.pccpch.cellParametersID = 64;
  inter[1].hasFreq = true;
  const Removed removeNo{2, {}};

  BitWriter chain;
  chain.Pattern("11");      // sysInfoType11-v4b0ext, v590NonCriticalExtension
  chain.Pattern("1 1");     // fach-MeasurementOccasionInfo-LCR-Ext: TDD128 True
  chain.Pattern("0 0 11");  // hcs_not_used, cpich_RSCP, intra, inter
  PutIntraMeas(chain, kAbsent, &intraList, reporting);
  chain.Bit(true);
  PutInterList(chain, &removeNo, inter,
               [](BitWriter& w, const CellInfoLcr& c) { PutCellInfoLcr(w, Csri::kRscp, c); });
  chain.Bit(true).Append(V590Ext());  // v690NonCriticalExtensions
  chain.Bit(true).Bit(true).Append(RachReportingInfo(kAbsent, {0, 1}, -115, 8));  // v690 dummy
  chain.Bit(true).Bit(true).Append(RachReportingInfo(1, {}, 0, 1));               // v6b0
  chain.Bit(true).Bit(true);  // v770: nonCriticalExtensions, mbsfnFrequencyList
  chain.Constrained(2, 0, 16);
  chain.Bit(true);
  PutFreqInfo(chain, {false, kAbsent, 9500});
  chain.Constrained(3, 0, 127);
  chain.Bit(false);
  PutFreqInfo(chain, {true, kAbsent, 10700});

  return Sib11(false, nullptr, EmptyControl(), &chain);
}

void ExpectLcrSib11Cells(const tagSystemInformationBlock& out) {
  ExpectCells(out, {}, {{0, 12}, {kAbsentValue, 127}, {31, kAbsentValue}},
              {{4, 10054, 64}, {kAbsentValue, 0, kAbsentValue}});
}

std::string LcrSib11Text() {
  return std::string(
             "SysInfoType11 ::=\r\n"
             "{\r\n"
             "    sib12indicator = False\r\n") +
         EmptyControlText() +
         "    v4b0NonCriticalExtensions\r\n"
         "    {\r\n"
         "        sysInfoType11_v4b0ext\r\n"
         "        {\r\n"
         "            fach_MeasurementOccasionInfo_LCR_Ext\r\n"
         "            {\r\n"
         "                inter_freq_TDD128_meas_ind = True\r\n"
         "            }\r\n"
         "            measurementControlSysInfo_LCR\r\n"
         "            {\r\n"
         "                use_of_HCS\r\n"
         "                {\r\n"
         "                    hcs_not_used\r\n"
         "                    {\r\n"
         "                        cellSelectQualityMeasure\r\n"
         "                        {\r\n"
         "                            cpich_RSCP\r\n"
         "                            {\r\n"
         "                                intraFreqMeasurementSysInfo\r\n"
         "                                {\r\n"
         "                                    intraFreqMeasurementID = 1\r\n"
         "                                    intraFreqCellInfoSI_List\r\n"
         "                                    {\r\n"
         "                                        removedIntraFreqCellList\r\n"
         "                                        {\r\n"
         "                                            removeAllIntraFreqCells\r\n"
         "                                        }\r\n"
         "                                        newIntraFreqCellList[0]\r\n"
         "                                        {\r\n"
         "                                            intraFreqCellID = 0\r\n"
         "                                            cellInfo\r\n"
         "                                            {\r\n"
         "                                                cellIndividualOffset = 5\r\n"
         "                                                referenceTimeDifferenceToCell\r\n"
         "                                                {\r\n"
         "                                                    accuracy40 = 960\r\n"
         "                                                }\r\n"
         "                                                primaryCCPCH_Info\r\n"
         "                                                {\r\n"
         "                                                    tstd_Indicator = True\r\n"
         "                                                    cellParametersID = 12\r\n"
         "                                                    sctd_Indicator = False\r\n"
         "                                                }\r\n"
         "                                                primaryCCPCH_TX_Power = 6\r\n"
         "                                                timeslotInfoList[0]\r\n"
         "                                                {\r\n"
         "                                                    timeslotNumber = 0\r\n"
         "                                                }\r\n"
         "                                                timeslotInfoList[1]\r\n"
         "                                                {\r\n"
         "                                                    timeslotNumber = 6\r\n"
         "                                                }\r\n"
         "                                                readSFN_Indicator = True\r\n"
         "                                                cellSelectionReselectionInfo\r\n"
         "                                                {\r\n"
         "                                                    q_OffsetS_N = -1\r\n"
         "                                                    modeSpecificInfo\r\n"
         "                                                    {\r\n"
         "                                                        tdd\r\n"
         "                                                        {\r\n"
         "                                                        }\r\n"
         "                                                    }\r\n"
         "                                                }\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                        newIntraFreqCellList[1]\r\n"
         "                                        {\r\n"
         "                                            cellInfo\r\n"
         "                                            {\r\n"
         "                                                cellIndividualOffset = 0\r\n"
         "                                                primaryCCPCH_Info\r\n"
         "                                                {\r\n"
         "                                                    tstd_Indicator = False\r\n"
         "                                                    cellParametersID = 127\r\n"
         "                                                    sctd_Indicator = False\r\n"
         "                                                }\r\n"
         "                                                readSFN_Indicator = False\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                        newIntraFreqCellList[2]\r\n"
         "                                        {\r\n"
         "                                            intraFreqCellID = 31\r\n"
         "                                            cellInfo\r\n"
         "                                            {\r\n"
         "                                                cellIndividualOffset = 0\r\n"
         "                                                primaryCCPCH_Info\r\n"
         "                                                {\r\n"
         "                                                    tstd_Indicator = False\r\n"
         "                                                    sctd_Indicator = True\r\n"
         "                                                }\r\n"
         "                                                readSFN_Indicator = False\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                    intraFreqMeasQuantity\r\n"
         "                                    {\r\n"
         "                                        filterCoefficient = fc9\n"
         "                                        modeSpecificInfo\r\n"
         "                                        {\r\n"
         "                                            tdd\r\n"
         "                                            {\r\n"
         "                                                intraFreqMeasQuantity_TDDList[0] = "
         "primaryCCPCH-RSCP\r\n"
         "                                                intraFreqMeasQuantity_TDDList[1] = "
         "pathloss\r\n"
         "                                                intraFreqMeasQuantity_TDDList[2] = "
         "timeslotISCP\r\n"
         "                                                intraFreqMeasQuantity_TDDList[3] = "
         "dummy\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                    intraFreqReportingQuantityForRACH\r\n"
         "                                    {\r\n"
         "                                        sfn_SFN_OTD_Type = noReport\r\n"
         "                                        modeSpecificInfo\r\n"
         "                                        {\r\n"
         "                                            fdd\r\n"
         "                                            {\r\n"
         "                                                    intraFreqRepQuantityRACH_FDD = "
         "noReport\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                    reportingInfoForCellDCH\r\n"
         "                                    {\r\n"
         "                                        intraFreqReportingQuantity\r\n"
         "                                        {\r\n"
         "                                            activeSetReportingQuantities\r\n"
         "                                            {\r\n"
         "                                                dummy = noReport\r\n"
         "                                                cellIdentity_reportingIndicator = "
         "False\r\n"
         "                                                "
         "cellSynchronisationInfoReportingIndicator = False\r\n"
         "                                                modeSpecificInfo\r\n"
         "                                                {\r\n"
         "                                                    tdd\r\n"
         "                                                    {\r\n"
         "                                                        timeslotISCP_reportingIndicator "
         "= False\r\n"
         "                                                        proposedTGSN_ReportingRequired = "
         "False\r\n"
         "                                                        "
         "primaryCCPCH_RSCP_reportingIndicator = False\r\n"
         "                                                        pathloss_reportingIndicator = "
         "False\r\n"
         "                                                    }\r\n"
         "                                                }\r\n"
         "                                            }\r\n"
         "                                            monitoredSetReportingQuantities\r\n"
         "                                            {\r\n"
         "                                                dummy = type1\r\n"
         "                                                cellIdentity_reportingIndicator = "
         "True\r\n"
         "                                                "
         "cellSynchronisationInfoReportingIndicator = True\r\n"
         "                                                modeSpecificInfo\r\n"
         "                                                {\r\n"
         "                                                    tdd\r\n"
         "                                                    {\r\n"
         "                                                        timeslotISCP_reportingIndicator "
         "= True\r\n"
         "                                                        proposedTGSN_ReportingRequired = "
         "True\r\n"
         "                                                        "
         "primaryCCPCH_RSCP_reportingIndicator = True\r\n"
         "                                                        pathloss_reportingIndicator = "
         "True\r\n"
         "                                                    }\r\n"
         "                                                }\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                        measurementReportingMode\r\n"
         "                                        {\r\n"
         "                                            measurementReportTransferMode = "
         "acknowledgedModeRLC\r\n"
         "                                            periodicalOrEventTrigger = eventTrigger\r\n"
         "                                        }\r\n"
         "                                        reportCriteria\r\n"
         "                                        {\r\n"
         "                                            intraFreqReportingCriteria\r\n"
         "                                            {\r\n"
         "                                                    eventCriteriaList[0]\r\n"
         "                                                    {\r\n"
         "                                                        event\r\n"
         "                                                        {\r\n"
         "                                                            e1a\r\n"
         "                                                            {\r\n"
         "                                                                    triggeringCondition "
         "= activeSetCellsOnly\n"
         "                                                                    reportingRange = "
         "1\r\n"
         "                                                                    "
         "forbiddenAffectCellList[0]\r\n"
         "                                                                    {\r\n"
         "                                                                        tdd\r\n"
         "                                                                        {\r\n"
         "                                                                            "
         "tstd_Indicator = True\r\n"
         "                                                                            "
         "cellParametersID = 9\r\n"
         "                                                                            "
         "sctd_Indicator = False\r\n"
         "                                                                        }\r\n"
         "                                                                    }\r\n"
         "                                                                    "
         "forbiddenAffectCellList[1]\r\n"
         "                                                                    {\r\n"
         "                                                                        tdd\r\n"
         "                                                                        {\r\n"
         "                                                                            "
         "tstd_Indicator = False\r\n"
         "                                                                            "
         "sctd_Indicator = True\r\n"
         "                                                                        }\r\n"
         "                                                                    }\r\n"
         "                                                                    w = 1\r\n"
         "                                                                    "
         "reportDeactivationThreshold = t1\n"
         "                                                                    reportingAmount = "
         "ra2\n"
         "                                                                    reportingInterval = "
         "ri0-25\n"
         "                                                            }\r\n"
         "                                                        }\r\n"
         "                                                        hysteresis = 8\r\n"
         "                                                        timeToTrigger = ttt640\r\n"
         "                                                    }\r\n"
         "                                                    eventCriteriaList[1]\r\n"
         "                                                    {\r\n"
         "                                                        event\r\n"
         "                                                        {\r\n"
         "                                                            e1b\r\n"
         "                                                            {\r\n"
         "                                                                    triggeringCondition "
         "= monitoredSetCellsOnly\n"
         "                                                                    reportingRange = "
         "2\r\n"
         "                                                                    "
         "forbiddenAffectCellList[0]\r\n"
         "                                                                    {\r\n"
         "                                                                        tdd\r\n"
         "                                                                        {\r\n"
         "                                                                            "
         "tstd_Indicator = False\r\n"
         "                                                                            "
         "cellParametersID = 0\r\n"
         "                                                                            "
         "sctd_Indicator = False\r\n"
         "                                                                        }\r\n"
         "                                                                    }\r\n"
         "                                                                    w = 2\r\n"
         "                                                            }\r\n"
         "                                                        }\r\n"
         "                                                        hysteresis = 9\r\n"
         "                                                        timeToTrigger = ttt1280\r\n"
         "                                                        reportingCellStatus\r\n"
         "                                                        {\r\n"
         "                                                            "
         "allVirtualActSetplusMonitoredSetNonUsedFreq = viactCellsPlus6\r\n"
         "                                                        }\r\n"
         "                                                    }\r\n"
         "                                                    eventCriteriaList[2]\r\n"
         "                                                    {\r\n"
         "                                                        event\r\n"
         "                                                        {\r\n"
         "                                                                e1i = 165\r\n"
         "                                                        }\r\n"
         "                                                        hysteresis = 10\r\n"
         "                                                        timeToTrigger = ttt2560\r\n"
         "                                                        reportingCellStatus\r\n"
         "                                                        {\r\n"
         "                                                            "
         "withinMonitoredAndOrVirtualActiveSetNonUsedFreq = e2\r\n"
         "                                                        }\r\n"
         "                                                    }\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                }\r\n"
         "                                interFreqMeasurementSysInfo\r\n"
         "                                {\r\n"
         "                                    interFreqCellInfoSI_List\r\n"
         "                                    {\r\n"
         "                                        removedInterFreqCellList\r\n"
         "                                        {\r\n"
         "                                            removeNoInterFreqCells\r\n"
         "                                        }\r\n"
         "                                        newInterFreqCellList[0]\r\n"
         "                                        {\r\n"
         "                                            interFreqCellID = 4\r\n"
         "                                            frequencyInfo\r\n"
         "                                            {\r\n"
         "                                                modeSpecificInfo\r\n"
         "                                                {\r\n"
         "                                                    tdd\r\n"
         "                                                    {\r\n"
         "                                                        uarfcn_Nt = 10054\r\n"
         "                                                    }\r\n"
         "                                                }\r\n"
         "                                            }\r\n"
         "                                            cellInfo\r\n"
         "                                            {\r\n"
         "                                                cellIndividualOffset = 0\r\n"
         "                                                primaryCCPCH_Info\r\n"
         "                                                {\r\n"
         "                                                    tstd_Indicator = False\r\n"
         "                                                    cellParametersID = 64\r\n"
         "                                                    sctd_Indicator = False\r\n"
         "                                                }\r\n"
         "                                                readSFN_Indicator = False\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                        newInterFreqCellList[1]\r\n"
         "                                        {\r\n"
         "                                            frequencyInfo\r\n"
         "                                            {\r\n"
         "                                                modeSpecificInfo\r\n"
         "                                                {\r\n"
         "                                                    tdd\r\n"
         "                                                    {\r\n"
         "                                                        uarfcn_Nt = 0\r\n"
         "                                                    }\r\n"
         "                                                }\r\n"
         "                                            }\r\n"
         "                                            cellInfo\r\n"
         "                                            {\r\n"
         "                                                cellIndividualOffset = 0\r\n"
         "                                                primaryCCPCH_Info\r\n"
         "                                                {\r\n"
         "                                                    tstd_Indicator = False\r\n"
         "                                                    sctd_Indicator = False\r\n"
         "                                                }\r\n"
         "                                                readSFN_Indicator = False\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                }\r\n"
         "                            }\r\n"
         "                        }\r\n"
         "                    }\r\n"
         "                }\r\n"
         "            }\r\n"
         "        }\r\n"
         "        v590NonCriticalExtension\r\n"
         "        {\r\n"
         "            sysInfoType11_v590ext\r\n"
         "            {\r\n"
         "                newIntraFrequencyCellInfoList_v590ext[0]\r\n"
         "                {\r\n"
         "                        deltaQrxlevmin = -2\r\n"
         "                        deltaQhcs = -5\r\n"
         "                }\r\n"
         "                newIntraFrequencyCellInfoList_v590ext[1]\r\n"
         "                {\r\n"
         "                }\r\n"
         "                newInterFrequencyCellInfoList_v590ext[0]\r\n"
         "                {\r\n"
         "                        deltaQrxlevmin = -1\r\n"
         "                }\r\n"
         "                newInterRATCellInfoList_v590ext[0]\r\n"
         "                {\r\n"
         "                        deltaQhcs = -1\r\n"
         "                }\r\n" +
         kV590ReportingText +
         "            }\r\n"
         "            v690NonCriticalExtensions\r\n"
         "            {\r\n"
         "                sysInfoType11_v690ext\r\n"
         "                {\r\n"
         "                    dummy\r\n"
         "                    {\r\n"
         "                        modeSpecificInfo\r\n"
         "                        {\r\n"
         "                            tdd\r\n"
         "                            {\r\n"
         "                                        interFreqRepQuantityRACH_TDDList[0] = "
         "timeslotISCP\n"
         "                                        interFreqRepQuantityRACH_TDDList[1] = "
         "primaryCCPCH-RSCP\n"
         "                            }\r\n"
         "                        }\r\n"
         "                            interFreqRACHReportingThreshold = -115\r\n"
         "                            maxReportedCellsOnRACHinterFreq = 8\r\n"
         "                    }\r\n"
         "                }\r\n"
         "                v6b0NonCriticalExtensions\r\n"
         "                {\r\n"
         "                    sysInfoType11_v6b0ext\r\n"
         "                    {\r\n"
         "                        interFreqRACHReportingInfo\r\n"
         "                        {\r\n"
         "                            modeSpecificInfo\r\n"
         "                            {\r\n"
         "                                fdd\r\n"
         "                                {\r\n"
         "                                        interFreqRepQuantityRACH_FDD = cpich-RSCP\n"
         "                                }\r\n"
         "                            }\r\n"
         "                                interFreqRACHReportingThreshold = 0\r\n"
         "                                maxReportedCellsOnRACHinterFreq = 1\r\n"
         "                        }\r\n"
         "                    }\r\n"
         "                    v770NonCriticalExtensions\r\n"
         "                    {\r\n"
         "                        sysInfoType11_v770ext\r\n"
         "                        {\r\n"
         "                                mBSFNFrequencyList[0]\r\n"
         "                                {\r\n"
         "                                    frequencyInfo\r\n"
         "                                    {\r\n"
         "                                        modeSpecificInfo\r\n"
         "                                        {\r\n"
         "                                            tdd\r\n"
         "                                            {\r\n"
         "                                                uarfcn_Nt = 9500\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                    cellParametersID = 3\r\n"
         "                                }\r\n"
         "                                mBSFNFrequencyList[1]\r\n"
         "                                {\r\n"
         "                                    frequencyInfo\r\n"
         "                                    {\r\n"
         "                                        modeSpecificInfo\r\n"
         "                                        {\r\n"
         "                                            fdd\r\n"
         "                                            {\r\n"
         "                                                uarfcn_DL = 10700\r\n"
         "                                            }\r\n"
         "                                        }\r\n"
         "                                    }\r\n"
         "                                }\r\n"
         "                        }\r\n"
         "                        nonCriticalExtensions\r\n"
         "                        {\r\n"
         "                        }\r\n"
         "                    }\r\n"
         "                }\r\n"
         "            }\r\n"
         "        }\r\n"
         "    }\r\n"
         "}\r\n";
}

TEST(Sib11Golden, LcrCellsFeedTheSummaryAndTheChainRunsToV770) {
  const Decoded d = DecodeBare(11, LcrSib11());
  EXPECT_EQ(1, d.result);
  ExpectLcrSib11Cells(d.out);
  ExpectText(LcrSib11Text(), d.text);
}

// ---------------------------------------------------------------------------------------------
// The LCR neighbour lists in the three other branches of measurementControlSysInfo_LCR: printed
// with their elements two levels in, never counted in the summary. The cell-selection variants
// show the three penalty-time forms (notUsed, the RSCP value line, the ECN0 block).

TEST(Sib11Golden, LcrListsOutsideHcsNotUsedRscpAreOnlyPrinted) {
  struct Case {
    const char* name;
    bool hcsUsed;
    bool ecn0;
    Csri csriType;
    CsriValue intraCsri;
    bool interHasCsri;
    CsriValue interCsri;
    const char* intraCsriText;  // the intra cell's cellSelectionReselectionInfo
    const char* interCsriText;  // the inter cell's, or ""
  };
  CsriValue ecn0Intra;
  ecn0Intra.qOffset2 = 7;
  ecn0Intra.maxAllowedULTxPower = -50;
  ecn0Intra.mode = 0;
  ecn0Intra.qRxlevMin = -13;
  CsriValue hcsRscpIntra;
  hcsRscpIntra.qOffset1 = 3;
  hcsRscpIntra.maxAllowedULTxPower = 0;  // ASN.1 order: before the HCS information
  hcsRscpIntra.hasHcs = true;
  hcsRscpIntra.qHcs = 99;
  hcsRscpIntra.penalty = {2, 1, 0};  // pt20, to6
  hcsRscpIntra.mode = 2;
  CsriValue hcsRscpInter;
  hcsRscpInter.hasHcs = true;
  hcsRscpInter.hcsPrio = 7;
  hcsRscpInter.qRxlevMin = -58;
  CsriValue hcsEcn0Intra;
  hcsEcn0Intra.qOffset1 = -3;
  hcsEcn0Intra.hasHcs = true;
  hcsEcn0Intra.hcsPrio = 1;
  hcsEcn0Intra.qHcs = 0;
  hcsEcn0Intra.penalty = {6, 7, 2};  // pt60, infinite, to4
  hcsEcn0Intra.mode = 0;
  hcsEcn0Intra.qQualMin = 0;
  const Case cases[] = {
      {"hcs_not_used / cpich_Ec_N0",
       false,
       true,
       Csri::kEcn0,
       ecn0Intra,
       false,
       {},
       "                                                    cellSelectionReselectionInfo\r\n"
       "                                                    {\r\n"
       "                                                        q_Offset1S_N = 0\r\n"
       "                                                        q_Offset2S_N = 7\r\n"
       "                                                        maxAllowedUL_TX_Power = -50\r\n"
       "                                                        modeSpecificInfo\r\n"
       "                                                        {\r\n"
       "                                                            fdd\r\n"
       "                                                            {\r\n"
       "                                                                q_RxlevMin = -13\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                    }\r\n",
       ""},
      {"hcs_used / cpich_RSCP", true, false, Csri::kHcsRscp, hcsRscpIntra, true, hcsRscpInter,
       "                                                    cellSelectionReselectionInfo\r\n"
       "                                                    {\r\n"
       "                                                        q_OffsetS_N = 3\r\n"
       "                                                        maxAllowedUL_TX_Power = 0\r\n"
       "                                                        "
       "hcs_NeighbouringCellInformation_RSCP\r\n"
       "                                                        {\r\n"
       "                                                            hcs_PRIO = 0\r\n"
       "                                                            q_HCS = 99\r\n"
       "                                                            hcs_CellReselectInformation\r\n"
       "                                                            {\r\n"
       "                                                                penaltyTime\r\n"
       "                                                                {\r\n"
       "                                                                    pt20 = to6\r\n"
       "                                                                }\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                        modeSpecificInfo\r\n"
       "                                                        {\r\n"
       "                                                            gsm\r\n"
       "                                                            {\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                    }\r\n",
       "                                                    cellSelectionReselectionInfo\r\n"
       "                                                    {\r\n"
       "                                                        q_OffsetS_N = 0\r\n"
       "                                                        "
       "hcs_NeighbouringCellInformation_RSCP\r\n"
       "                                                        {\r\n"
       "                                                            hcs_PRIO = 7\r\n"
       "                                                            q_HCS = 0\r\n"
       "                                                            hcs_CellReselectInformation\r\n"
       "                                                            {\r\n"
       "                                                                penaltyTime\r\n"
       "                                                                {\r\n"
       "                                                                    notUsed\r\n"
       "                                                                }\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                        modeSpecificInfo\r\n"
       "                                                        {\r\n"
       "                                                            tdd\r\n"
       "                                                            {\r\n"
       "                                                                q_RxlevMin = -58\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                    }\r\n"},
      {"hcs_used / cpich_Ec_N0",
       true,
       true,
       Csri::kHcsEcn0,
       hcsEcn0Intra,
       false,
       {},
       "                                                    cellSelectionReselectionInfo\r\n"
       "                                                    {\r\n"
       "                                                        q_Offset1S_N = -3\r\n"
       "                                                        q_Offset2S_N = 0\r\n"
       "                                                        "
       "hcs_NeighbouringCellInformation_ECN0\r\n"
       "                                                        {\r\n"
       "                                                            hcs_PRIO = 1\r\n"
       "                                                            q_HCS = 0\r\n"
       "                                                            hcs_CellReselectInformation\r\n"
       "                                                            {\r\n"
       "                                                                penaltyTime\r\n"
       "                                                                {\r\n"
       "                                                                    pt60\r\n"
       "                                                                    {\r\n"
       "                                                                        temporaryOffset1 = "
       "infinite\r\n"
       "                                                                            "
       "temporaryOffset2 = to4\n"
       "                                                                    }\r\n"
       "                                                                }\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                        modeSpecificInfo\r\n"
       "                                                        {\r\n"
       "                                                            fdd\r\n"
       "                                                            {\r\n"
       "                                                                    q_QualMin = 0\r\n"
       "                                                            }\r\n"
       "                                                        }\r\n"
       "                                                    }\r\n",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Cell<CellInfoLcr>> intra(1);
    intra[0].info.pccpch.cellParametersID = 1;
    intra[0].info.hasCsri = true;
    intra[0].info.csri = c.intraCsri;
    std::vector<Cell<CellInfoLcr>> inter(1);
    inter[0].id = 1;
    inter[0].hasFreq = true;
    inter[0].freq.uarfcn = 2000;
    inter[0].info.pccpch.cellParametersID = 5;
    inter[0].info.hasCsri = c.interHasCsri;
    inter[0].info.csri = c.interCsri;
    const Csri type = c.csriType;
    const auto putInfo = [type](BitWriter& w, const CellInfoLcr& i) { PutCellInfoLcr(w, type, i); };
    BitWriter intraList;
    PutIntraList(intraList, nullptr, intra, putInfo);

    BitWriter chain;
    chain.Pattern("10 0");  // sysInfoType11-v4b0ext only; no fach-MeasurementOccasionInfo-LCR-Ext
    chain.Bit(c.hcsUsed).Bit(c.ecn0).Pattern("11");
    PutIntraMeas(chain, kAbsent, &intraList, IntraReporting());
    chain.Bit(true);
    PutInterList(chain, nullptr, inter, putInfo);

    const Decoded d = DecodeBare(11, Sib11(false, nullptr, EmptyControl(), &chain));
    EXPECT_EQ(1, d.result);
    ExpectCells(d.out, {}, {}, {});
    ExpectText(
        std::string("SysInfoType11 ::=\r\n"
                    "{\r\n"
                    "    sib12indicator = False\r\n") +
            EmptyControlText() +
            "    v4b0NonCriticalExtensions\r\n"
            "    {\r\n"
            "        sysInfoType11_v4b0ext\r\n"
            "        {\r\n"
            "            measurementControlSysInfo_LCR\r\n"
            "            {\r\n"
            "                use_of_HCS\r\n"
            "                {\r\n" +
            (c.hcsUsed ? "                    hcs_used\r\n"
                       : "                    hcs_not_used\r\n") +
            "                    {\r\n"
            "                        cellSelectQualityMeasure\r\n"
            "                        {\r\n" +
            (c.ecn0 ? "                            cpich_Ec_N0\r\n"
                    : "                            cpich_RSCP\r\n") +
            "                            {\r\n"
            "                                intraFreqMeasurementSysInfo\r\n"
            "                                {\r\n"
            "                                    intraFreqMeasurementID = 1\r\n"
            "                                    intraFreqCellInfoSI_List\r\n"
            "                                    {\r\n"
            "                                            newIntraFreqCellList[0]\r\n"
            "                                            {\r\n"
            "                                                cellInfo\r\n"
            "                                                {\r\n"
            "                                                    cellIndividualOffset = 0\r\n"
            "                                                    primaryCCPCH_Info\r\n"
            "                                                    {\r\n"
            "                                                        tstd_Indicator = False\r\n"
            "                                                        cellParametersID = 1\r\n"
            "                                                        sctd_Indicator = False\r\n"
            "                                                    }\r\n"
            "                                                    readSFN_Indicator = False\r\n" +
            c.intraCsriText +
            "                                                }\r\n"
            "                                            }\r\n"
            "                                    }\r\n"
            "                                }\r\n"
            "                                interFreqMeasurementSysInfo\r\n"
            "                                {\r\n"
            "                                    interFreqCellInfoSI_List\r\n"
            "                                    {\r\n"
            "                                            newInterFreqCellList[0]\r\n"
            "                                            {\r\n"
            "                                                interFreqCellID = 1\r\n"
            "                                                frequencyInfo\r\n"
            "                                                {\r\n"
            "                                                    modeSpecificInfo\r\n"
            "                                                    {\r\n"
            "                                                        tdd\r\n"
            "                                                        {\r\n"
            "                                                            uarfcn_Nt = 2000\r\n"
            "                                                        }\r\n"
            "                                                    }\r\n"
            "                                                }\r\n"
            "                                                cellInfo\r\n"
            "                                                {\r\n"
            "                                                    cellIndividualOffset = 0\r\n"
            "                                                    primaryCCPCH_Info\r\n"
            "                                                    {\r\n"
            "                                                        tstd_Indicator = False\r\n"
            "                                                        cellParametersID = 5\r\n"
            "                                                        sctd_Indicator = False\r\n"
            "                                                    }\r\n"
            "                                                    readSFN_Indicator = False\r\n" +
            c.interCsriText +
            "                                                }\r\n"
            "                                            }\r\n"
            "                                    }\r\n"
            "                                }\r\n"
            "                            }\r\n"
            "                        }\r\n"
            "                    }\r\n"
            "                }\r\n"
            "            }\r\n"
            "        }\r\n"
            "    }\r\n"
            "}\r\n",
        d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// SIB12: the Release 99 tree under hcs_used / cpich_Ec_N0 (its lists and inter-RAT cells are not
// counted), periodical reporting for CELL_DCH, the LCR cell that is counted, and SIB12's chain:
// v590 lists two levels in, an empty v690 record, v6b0 and then nonCriticalExtensions (no v770).

TEST(Sib12Golden, HcsUsedTreeAndTheChainWithoutV770) {
  CellInfo intraInfo;
  intraInfo.fdd = true;
  intraInfo.readSFN = true;
  intraInfo.txDiversity = true;
  intraInfo.hasCsri = true;
  intraInfo.csri.hasHcs = true;
  intraInfo.csri.penalty = {1, 0, 0};  // pt10: to3, to2
  intraInfo.csri.qRxlevMin = -20;
  std::vector<Cell<CellInfo>> intraCells(1);
  intraCells[0].info = intraInfo;
  const auto putHcsEcn0 = [](BitWriter& w, const CellInfo& c) {
    PutCellInfo(w, Csri::kHcsEcn0, c);
  };
  BitWriter intraList;
  const Removed removeNo{2, {}};
  PutIntraList(intraList, &removeNo, intraCells, putHcsEcn0);
  IntraReporting reporting;
  reporting.maxReportedCellsOnRach = 0;
  reporting.reportingInfoForCellDch =
      CellDchReporting({{0, "00000"}, {0, "00000"}}, 0, 0, nullptr, false, 4, 1);
  std::vector<Cell<CellInfo>> interCells(1);
  interCells[0].info.cellIndividualOffset = -1;

  std::vector<RatCell> ratCells(4);
  ratCells[0].id = 1;
  ratCells[0].ncc = 2;
  ratCells[0].bcc = 3;
  ratCells[0].arfcn = 512;
  ratCells[1].technology = 1;
  ratCells[1].is2000 = 2;
  ratCells[2].technology = 2;
  ratCells[3].id = 30;
  ratCells[3].technology = 3;

  BitWriter control;
  control.Pattern("00 1 1 1 11");  // hcs_used with inter-RAT, cpich_Ec_N0 with intra and inter
  PutIntraMeas(control, 16, &intraList, reporting);
  control.Bit(true);
  PutInterList(control, nullptr, interCells, putHcsEcn0);
  control.Bit(true).Bit(true);  // interRATCellInfoList with cellsForInterRATMeasList
  PutRemoved(control, Removed{0, {}});
  PutRatCells(control, ratCells);
  control.Constrained(2, 1, 32).Constrained(3, 0, 31).Constrained(31, 0, 31);

  std::vector<Cell<CellInfoLcr>> lcr(1);
  lcr[0].id = 9;
  lcr[0].info.pccpch.cellParametersID = 100;
  BitWriter lcrList;
  PutIntraList(lcrList, nullptr, lcr,
               [](BitWriter& w, const CellInfoLcr& c) { PutCellInfoLcr(w, Csri::kRscp, c); });
  BitWriter chain;
  chain.Pattern("11 0 0 0 10");  // v4b0ext, v590; no LCR fach info; hcs_not_used, cpich_RSCP
  PutIntraMeas(chain, kAbsent, &lcrList, IntraReporting());
  chain.Bit(true).Append(V590Ext());
  chain.Bit(true).Bit(false);  // v6b0NonCriticalExtensions; no dummy
  chain.Bit(true).Bit(true).Append(RachReportingInfo(kAbsent, {1}, -1, 4));

  const BitWriter fach = BitWriter().Pattern("00 1 0");  // no coefficient, no list; FDD True
  const Decoded d = DecodeBare(12, Sib12(&fach, control, &chain));
  EXPECT_EQ(1, d.result);
  ExpectCells(d.out, {}, {{9, 100}}, {});
  ExpectText(
      std::string("SysInfoType12 ::=\r\n") +
          "{\r\n"
          "    fach_MeasurementOccasionInfo\r\n"
          "    {\r\n"
          "        inter_freq_FDD_meas_ind = True\r\n"
          "        inter_freq_TDD_meas_ind = False\r\n"
          "    }\r\n"
          "    measurementControlSysInfo\r\n"
          "    {\r\n"
          "        use_of_HCS\r\n"
          "        {\r\n"
          "            hcs_used\r\n"
          "            {\r\n"
          "                cellSelectQualityMeasure\r\n"
          "                {\r\n"
          "                    cpich_Ec_N0\r\n"
          "                    {\r\n"
          "                        intraFreqMeasurementSysInfo\r\n"
          "                        {\r\n"
          "                            intraFreqMeasurementID = 16\r\n"
          "                            intraFreqCellInfoSI_List\r\n"
          "                            {\r\n"
          "                                removedIntraFreqCellList\r\n"
          "                                {\r\n"
          "                                    removeNoIntraFreqCells\r\n"
          "                                }\r\n"
          "                                    newIntraFreqCellList[0]\r\n"
          "                                    {\r\n"
          "                                        cellInfo\r\n"
          "                                        {\r\n"
          "                                            cellIndividualOffset = 0\r\n"
          "                                            modeSpecificInfo\r\n"
          "                                            {\r\n"
          "                                                fdd\r\n"
          "                                                {\r\n"
          "                                                    readSFN_Indicator = True\r\n"
          "                                                    tx_DiversityIndicator = True\r\n"
          "                                                }\r\n"
          "                                            }\r\n"
          "                                            cellSelectionReselectionInfo\r\n"
          "                                            {\r\n"
          "                                                q_Offset1S_N = 0\r\n"
          "                                                q_Offset2S_N = 0\r\n"
          "                                                hcs_NeighbouringCellInformation_ECN0\r\n"
          "                                                {\r\n"
          "                                                    hcs_PRIO = 0\r\n"
          "                                                    q_HCS = 0\r\n"
          "                                                    hcs_CellReselectInformation\r\n"
          "                                                    {\r\n"
          "                                                        penaltyTime\r\n"
          "                                                        {\r\n"
          "                                                            pt10\r\n"
          "                                                            {\r\n"
          "                                                                temporaryOffset1 = "
          "to3\r\n"
          "                                                                    temporaryOffset2 = "
          "to2\n"
          "                                                            }\r\n"
          "                                                        }\r\n"
          "                                                    }\r\n"
          "                                                }\r\n"
          "                                                modeSpecificInfo\r\n"
          "                                                {\r\n"
          "                                                    tdd\r\n"
          "                                                    {\r\n"
          "                                                        q_RxlevMin = -20\r\n"
          "                                                    }\r\n"
          "                                                }\r\n"
          "                                            }\r\n"
          "                                        }\r\n"
          "                                    }\r\n"
          "                            }\r\n"
          "                            maxReportedCellsOnRACH = noReport\r\n"
          "                            reportingInfoForCellDCH\r\n"
          "                            {\r\n"
          "                                intraFreqReportingQuantity\r\n"
          "                                {\r\n"
          "                                    activeSetReportingQuantities\r\n"
          "                                    {\r\n"
          "                                        dummy = noReport\r\n"
          "                                        cellIdentity_reportingIndicator = False\r\n"
          "                                        cellSynchronisationInfoReportingIndicator = "
          "False\r\n"
          "                                        modeSpecificInfo\r\n"
          "                                        {\r\n"
          "                                            fdd\r\n"
          "                                            {\r\n"
          "                                                cpich_Ec_N0_reportingIndicator = "
          "False\r\n"
          "                                                cpich_RSCP_reportingIndicator = "
          "False\r\n"
          "                                                pathloss_reportingIndicator = False\r\n"
          "                                            }\r\n"
          "                                        }\r\n"
          "                                    }\r\n"
          "                                    monitoredSetReportingQuantities\r\n"
          "                                    {\r\n"
          "                                        dummy = noReport\r\n"
          "                                        cellIdentity_reportingIndicator = False\r\n"
          "                                        cellSynchronisationInfoReportingIndicator = "
          "False\r\n"
          "                                        modeSpecificInfo\r\n"
          "                                        {\r\n"
          "                                            fdd\r\n"
          "                                            {\r\n"
          "                                                cpich_Ec_N0_reportingIndicator = "
          "False\r\n"
          "                                                cpich_RSCP_reportingIndicator = "
          "False\r\n"
          "                                                pathloss_reportingIndicator = False\r\n"
          "                                            }\r\n"
          "                                        }\r\n"
          "                                    }\r\n"
          "                                }\r\n"
          "                                measurementReportingMode\r\n"
          "                                {\r\n"
          "                                    measurementReportTransferMode = "
          "acknowledgedModeRLC\r\n"
          "                                    periodicalOrEventTrigger = periodical\r\n"
          "                                }\r\n"
          "                                reportCriteria\r\n"
          "                                {\r\n"
          "                                    periodicalReportingCriteria\r\n"
          "                                    {\r\n"
          "                                            reportingAmount = ra16\n"
          "                                            reportingInterval = ril0-25\n"
          "                                    }\r\n"
          "                                }\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                        interFreqMeasurementSysInfo\r\n"
          "                        {\r\n"
          "                            interFreqCellInfoSI_List\r\n"
          "                            {\r\n"
          "                                    newInterFreqCellList[0]\r\n"
          "                                    {\r\n"
          "                                        cellInfo\r\n"
          "                                        {\r\n"
          "                                            cellIndividualOffset = -1\r\n"
          "                                            modeSpecificInfo\r\n"
          "                                            {\r\n"
          "                                                tdd\r\n"
          "                                                {\r\n"
          "                                                    primaryCCPCH_Info\r\n"
          "                                                    {\r\n"
          "                                                        tdd\r\n"
          "                                                        {\r\n"
          "                                                            sctd_Indicator = False\r\n"
          "                                                        }\r\n"
          "                                                    }\r\n"
          "                                                    readSFN_Indicator = False\r\n"
          "                                                }\r\n"
          "                                            }\r\n"
          "                                        }\r\n"
          "                                    }\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                    }\r\n"
          "                }\r\n"
          "                interRATMeasurementSysInfo\r\n"
          "                {\r\n"
          "                    interRATCellInfoList\r\n"
          "                    {\r\n"
          "                        removedInterRATCellList\r\n"
          "                        {\r\n"
          "                            removeAllInterRATCells\r\n"
          "                        }\r\n"
          "                        newInterRATCellList[0]\r\n"
          "                        {\r\n"
          "                            interRATCellID = 1\r\n"
          "                            technologySpecificInfo\r\n"
          "                            {\r\n"
          "                                gsm\r\n"
          "                                {\r\n"
          "                                    interRATCellIndividualOffset = 0\r\n"
          "                                    bsic\r\n"
          "                                    {\r\n"
          "                                        ncc = 2\r\n"
          "                                        bcc = 3\r\n"
          "                                    }\r\n"
          "                                    frequency_band = dcs1800BandUsed\r\n"
          "                                    bcch_ARFCN = 512\r\n"
          "                                }\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                        newInterRATCellList[1]\r\n"
          "                        {\r\n"
          "                            technologySpecificInfo\r\n"
          "                            {\r\n"
          "                                is_2000\r\n"
          "                                {\r\n"
          "                                        is_2000SpecificMeasInfo = colourcode\n"
          "                                }\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                        newInterRATCellList[2]\r\n"
          "                        {\r\n"
          "                            technologySpecificInfo\r\n"
          "                            {\r\n"
          "                                absent\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                        newInterRATCellList[3]\r\n"
          "                        {\r\n"
          "                            interRATCellID = 30\r\n"
          "                            technologySpecificInfo\r\n"
          "                            {\r\n"
          "                                spare1\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                            cellsForInterRATMeasList[0] = 3\r\n"
          "                            cellsForInterRATMeasList[1] = 31\r\n"
          "                    }\r\n"
          "                }\r\n"
          "            }\r\n"
          "        }\r\n"
          "    }\r\n"
          "    v4b0NonCriticalExtensions\r\n"
          "    {\r\n"
          "        sysInfoType12_v4b0ext\r\n"
          "        {\r\n"
          "            measurementControlSysInfo_LCR\r\n"
          "            {\r\n"
          "                use_of_HCS\r\n"
          "                {\r\n"
          "                    hcs_not_used\r\n"
          "                    {\r\n"
          "                        cellSelectQualityMeasure\r\n"
          "                        {\r\n"
          "                            cpich_RSCP\r\n"
          "                            {\r\n"
          "                                intraFreqMeasurementSysInfo\r\n"
          "                                {\r\n"
          "                                    intraFreqMeasurementID = 1\r\n"
          "                                    intraFreqCellInfoSI_List\r\n"
          "                                    {\r\n"
          "                                        newIntraFreqCellList[0]\r\n"
          "                                        {\r\n"
          "                                            intraFreqCellID = 9\r\n"
          "                                            cellInfo\r\n"
          "                                            {\r\n"
          "                                                cellIndividualOffset = 0\r\n"
          "                                                primaryCCPCH_Info\r\n"
          "                                                {\r\n"
          "                                                    tstd_Indicator = False\r\n"
          "                                                    cellParametersID = 100\r\n"
          "                                                    sctd_Indicator = False\r\n"
          "                                                }\r\n"
          "                                                readSFN_Indicator = False\r\n"
          "                                            }\r\n"
          "                                        }\r\n"
          "                                    }\r\n"
          "                                }\r\n"
          "                            }\r\n"
          "                        }\r\n"
          "                    }\r\n"
          "                }\r\n"
          "            }\r\n"
          "        }\r\n"
          "        v590NonCriticalExtension\r\n"
          "        {\r\n"
          "            sysInfoType12_v590ext\r\n"
          "            {\r\n"
          "                    newIntraFrequencyCellInfoList_v590ext[0]\r\n"
          "                    {\r\n"
          "                            deltaQrxlevmin = -2\r\n"
          "                            deltaQhcs = -5\r\n"
          "                    }\r\n"
          "                    newIntraFrequencyCellInfoList_v590ext[1]\r\n"
          "                    {\r\n"
          "                    }\r\n"
          "                    newInterFrequencyCellInfoList_v590ext[0]\r\n"
          "                    {\r\n"
          "                            deltaQrxlevmin = -1\r\n"
          "                    }\r\n"
          "                    newInterRATCellInfoList_v590ext[0]\r\n"
          "                    {\r\n"
          "                            deltaQhcs = -1\r\n"
          "                    }\r\n" +
          kV590ReportingText +
          "            }\r\n"
          "            v690NonCriticalExtensions\r\n"
          "            {\r\n"
          "                sysInfoType12_v690ext\r\n"
          "                {\r\n"
          "                }\r\n"
          "                v6b0NonCriticalExtensions\r\n"
          "                {\r\n"
          "                    sysInfoType12_v6b0ext\r\n"
          "                    {\r\n"
          "                        interFreqRACHReportingInfo\r\n"
          "                        {\r\n"
          "                            modeSpecificInfo\r\n"
          "                            {\r\n"
          "                                tdd\r\n"
          "                                {\r\n"
          "                                            interFreqRepQuantityRACH_TDDList[0] = "
          "primaryCCPCH-RSCP\n"
          "                                }\r\n"
          "                            }\r\n"
          "                                interFreqRACHReportingThreshold = -1\r\n"
          "                                maxReportedCellsOnRACHinterFreq = 4\r\n"
          "                        }\r\n"
          "                    }\r\n"
          "                    nonCriticalExtensions\r\n"
          "                    {\r\n"
          "                    }\r\n"
          "                }\r\n"
          "            }\r\n"
          "        }\r\n"
          "    }\r\n"
          "}\r\n",
      d.text);
}

// ---------------------------------------------------------------------------------------------
// Extension containers with nothing or little in them.

TEST(Sib11Sib12Golden, ShortExtensionChains) {
  struct Case {
    const char* name;
    unsigned sibType;
    const char* chainBits;
    const char* expectedChain;
  };
  const Case cases[] = {
      {"SIB11, both v4b0 bits clear", 11, "00",
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "    }\r\n"},
      {"SIB12, both v4b0 bits clear", 12, "00",
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "    }\r\n"},
      // v590 only: an empty v590 record, the v690 container absent.
      {"SIB11, v590 record without members", 11, "01 0 000000",
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtension\r\n"
       "        {\r\n"
       "            sysInfoType11_v590ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      // Empty records up to v770, whose mBSFNFrequencyList has no elements (its SIZE starts at 0)
      // and prints nothing, then SIB11's final nonCriticalExtensions.
      {"SIB11, empty records up to nonCriticalExtensions", 11, "01 1 000000 1 0 1 0 1 1 00000",
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtension\r\n"
       "        {\r\n"
       "            sysInfoType11_v590ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "            v690NonCriticalExtensions\r\n"
       "            {\r\n"
       "                sysInfoType11_v690ext\r\n"
       "                {\r\n"
       "                }\r\n"
       "                v6b0NonCriticalExtensions\r\n"
       "                {\r\n"
       "                    sysInfoType11_v6b0ext\r\n"
       "                    {\r\n"
       "                    }\r\n"
       "                    v770NonCriticalExtensions\r\n"
       "                    {\r\n"
       "                        sysInfoType11_v770ext\r\n"
       "                        {\r\n"
       "                        }\r\n"
       "                        nonCriticalExtensions\r\n"
       "                        {\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      // The v690 dummy with its fdd alternative: cpich-EcN0, threshold -60, maximum 3.
      {"SIB12, v690 dummy fdd", 12, "01 1 000000 0 1 0 0 0110111 010",
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtension\r\n"
       "        {\r\n"
       "            sysInfoType12_v590ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "            v690NonCriticalExtensions\r\n"
       "            {\r\n"
       "                sysInfoType12_v690ext\r\n"
       "                {\r\n"
       "                    dummy\r\n"
       "                    {\r\n"
       "                        modeSpecificInfo\r\n"
       "                        {\r\n"
       "                            fdd\r\n"
       "                            {\r\n"
       "                                    interFreqRepQuantityRACH_FDD = cpich-EcN0\n"
       "                            }\r\n"
       "                        }\r\n"
       "                            interFreqRACHReportingThreshold = -60\r\n"
       "                            maxReportedCellsOnRACHinterFreq = 3\r\n"
       "                    }\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BitWriter chain = BitWriter().Pattern(c.chainBits);
    const bool sib11 = c.sibType == 11;
    const Decoded d = DecodeBare(c.sibType, sib11 ? Sib11(true, nullptr, EmptyControl(), &chain)
                                                  : Sib12(nullptr, EmptyControl(), &chain));
    EXPECT_EQ(1, d.result);
    ExpectCells(d.out, {}, {}, {});
    ExpectText(std::string(sib11 ? "SysInfoType11 ::=\r\n{\r\n    sib12indicator = True\r\n"
                                 : "SysInfoType12 ::=\r\n{\r\n") +
                   EmptyControlText() + c.expectedChain + "}\r\n",
               d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// The LCR SIB11 through RRCParserX, cut into a FirstSegment, SubsequentSegments and a
// LastSegmentShort in consecutive BCH blocks: the same text, the raw-data trailer, the summary.

// "\r\n<<<-----raw data ----->>>\r\n", then every input byte as two upper-case hex digits, with
// "\r\n" before each block after the first.
std::string RawDataTrailer(const std::vector<uint8_t>& data) {
  std::string trailer = "\r\n<<<-----raw data ----->>>\r\n";
  char hex[3];
  for (size_t i = 0; i < data.size(); ++i) {
    if (i > 0 && i % 31 == 0) trailer += "\r\n";
    std::snprintf(hex, sizeof hex, "%02X", data[i]);
    trailer += hex;
  }
  return trailer;
}

TEST(Sib11Golden, SegmentedSib11ThroughRrcParserX) {
  const BitWriter sib = LcrSib11();
  std::string digits;
  for (uint8_t b : sib.bits()) digits.push_back(static_cast<char>('0' + b));
  const size_t full = (digits.size() - 1) / 222;  // first and subsequent segments of 222 bits
  ASSERT_GE(full, 2u) << "the SIB should need at least three segments";
  ASSERT_LE(digits.size() - full * 222, 214u) << "the rest must fit a LastSegmentShort";
  std::vector<uint8_t> data;
  const auto addBlock = [&data](uint32_t alternative, const BitWriter& contents) {
    const std::vector<uint8_t> block =
        sibtest::Block(static_cast<uint32_t>(data.size() / 31), alternative, contents);
    data.insert(data.end(), block.begin(), block.end());
  };
  const uint32_t segCount = static_cast<uint32_t>(full + 1);
  addBlock(1, sibtest::FirstSegment(11, segCount, digits.substr(0, 222)));
  for (uint32_t index = 1; index < full; ++index) {
    addBlock(2, sibtest::FollowingSegment(11, index, digits.substr(index * 222, 222)));
  }
  addBlock(3, sibtest::FollowingShort(11, static_cast<uint32_t>(full), digits.substr(full * 222)));

  tagSystemInformationBlock out;
  std::memset(&out, 0xA5, sizeof out);
  std::vector<char> text(102400 + 1024, '\0');
  unsigned int textLen = 0;
  ASSERT_TRUE(
      RRCParserX(data.data(), static_cast<unsigned int>(data.size()), &out, text.data(), textLen));
  ASSERT_LE(textLen, text.size());
  ExpectLcrSib11Cells(out);
  ExpectText(LcrSib11Text() + RawDataTrailer(data), std::string(text.data(), textLen));
}

// ---------------------------------------------------------------------------------------------
// An enumeration index beyond its type stops the decode; the stored index prints " = ???" with the
// type's own line end, and what was never decoded prints as never set (an empty CHOICE brace).

TEST(Sib11Golden, RefusedEnumerationIndexPrintsQuestionMarks) {
  struct Case {
    const char* name;
    const char* controlBits;
    const char* chainBits;  // nullptr: no v4b0NonCriticalExtensions
    std::string expectedControl;
    const char* expectedChain;
  };
  const Case cases[] = {
      {"sfn_SFN_OTD_Type 3 of 3 (\\r\\n)", "00 0 0 0 10 000100 11", nullptr,
       "    measurementControlSysInfo\r\n"
       "    {\r\n"
       "        use_of_HCS\r\n"
       "        {\r\n"
       "            hcs_not_used\r\n"
       "            {\r\n"
       "                cellSelectQualityMeasure\r\n"
       "                {\r\n"
       "                    cpich_RSCP\r\n"
       "                    {\r\n"
       "                        intraFreqMeasurementSysInfo\r\n"
       "                        {\r\n"
       "                            intraFreqMeasurementID = 1\r\n"
       "                            intraFreqReportingQuantityForRACH\r\n"
       "                            {\r\n"
       "                                sfn_SFN_OTD_Type = ???\r\n"
       "                                modeSpecificInfo\r\n"
       "                                {\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n",
       ""},
      {"triggeringCondition 5 of 5 (\\n)", "00 0 0 0 00", "01 0 000001 10 101", EmptyControlText(),
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtension\r\n"
       "        {\r\n"
       "            sysInfoType11_v590ext\r\n"
       "            {\r\n"
       "                intraFreqEvent_1d_r5\r\n"
       "                {\r\n"
       "                        triggeringCondition = ???\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const BitWriter control = BitWriter().Pattern(c.controlBits);
    const BitWriter chain = BitWriter().Pattern(c.chainBits != nullptr ? c.chainBits : "");
    const Decoded d =
        DecodeBare(11, Sib11(false, nullptr, control, c.chainBits != nullptr ? &chain : nullptr));
    EXPECT_EQ(1, d.result);
    ExpectCells(d.out, {}, {}, {});
    ExpectText(std::string("SysInfoType11 ::=\r\n"
                           "{\r\n"
                           "    sib12indicator = False\r\n") +
                   c.expectedControl + c.expectedChain + "}\r\n",
               d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// trafficVolumeMeasSysInfo and the UE-internal dummy in their other shapes: the defaults of the
// measurement IDs and of filterCoefficient (fc0, "\r\n"), rlc_BufferPayload and
// varianceOfRLC_BufferPayload, trafficVolumeReportingCriteria with and without its list.

TEST(Sib11Golden, TrafficVolumeAndUeInternalVariants) {
  struct Case {
    const char* name;
    const char* trafficVolumeBits;
    const char* ueInternalBits;
    const char* expected;  // both blocks
  };
  const Case cases[] = {
      {"rlc_BufferPayload, criteria with a list, defaults",
       "101001 0000 00 00 1 1 0 1 00000 11 00 00010 0 100 0 01000 0000", "0 0 00",
       "        trafficVolumeMeasSysInfo\r\n"
       "        {\r\n"
       "            trafficVolumeMeasurementID = 1\r\n"
       "            trafficVolumeMeasQuantity\r\n"
       "            {\r\n"
       "                rlc_BufferPayload\r\n"
       "            }\r\n"
       "            measurementValidity\r\n"
       "            {\r\n"
       "                    ue_State = cell-DCH\n"
       "            }\r\n"
       "            measurementReportingMode\r\n"
       "            {\r\n"
       "                measurementReportTransferMode = unacknowledgedModeRLC\r\n"
       "                periodicalOrEventTrigger = eventTrigger\r\n"
       "            }\r\n"
       "            reportCriteriaSysInf\r\n"
       "            {\r\n"
       "                trafficVolumeReportingCriteria\r\n"
       "                {\r\n"
       "                        transChCriteriaList[0]\r\n"
       "                        {\r\n"
       "                            ul_transportChannelID\r\n"
       "                            {\r\n"
       "                                dch = 3\r\n"
       "                            }\r\n"
       "                                eventSpecificParameters[0]\r\n"
       "                                {\r\n"
       "                                    eventID = e4a\n"
       "                                    reportingThreshold = th2k\n"
       "                                    timeToTrigger = ttt0\r\n"
       "                                }\r\n"
       "                        }\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "        dummy\r\n"
       "        {\r\n"
       "            ue_InternalMeasurementID = 5\r\n"
       "            ue_InternalMeasQuantity\r\n"
       "            {\r\n"
       "                    measurementQuantity = ue-TransmittedPower\n"
       "                filterCoefficient = fc0\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"varianceOfRLC_BufferPayload, criteria without a list, spare1",
       "011000 00000 00 00000 10 0000 0 0 0 0", "1 0000 1 01 1111",
       "        trafficVolumeMeasSysInfo\r\n"
       "        {\r\n"
       "            trafficVolumeMeasurementID = 4\r\n"
       "                trafficVolumeMeasurementObjectList[0]\r\n"
       "                {\r\n"
       "                        dch = 1\r\n"
       "                }\r\n"
       "            trafficVolumeMeasQuantity\r\n"
       "            {\r\n"
       "                    varianceOfRLC_BufferPayload = 1\r\n"
       "            }\r\n"
       "            measurementReportingMode\r\n"
       "            {\r\n"
       "                measurementReportTransferMode = acknowledgedModeRLC\r\n"
       "                periodicalOrEventTrigger = periodical\r\n"
       "            }\r\n"
       "            reportCriteriaSysInf\r\n"
       "            {\r\n"
       "                trafficVolumeReportingCriteria\r\n"
       "                {\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "        dummy\r\n"
       "        {\r\n"
       "            ue_InternalMeasurementID = 1\r\n"
       "            ue_InternalMeasQuantity\r\n"
       "            {\r\n"
       "                    measurementQuantity = utra-Carrier-RSSI\n"
       "                filterCoefficient = spare1\n"
       "            }\r\n"
       "        }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter control;
    control.Pattern("11 0 0 0 00").Pattern(c.trafficVolumeBits).Pattern(c.ueInternalBits);
    const Decoded d = DecodeBare(11, Sib11(false, nullptr, control, nullptr));
    EXPECT_EQ(1, d.result);
    ExpectText(std::string("SysInfoType11 ::=\r\n"
                           "{\r\n"
                           "    sib12indicator = False\r\n"
                           "    measurementControlSysInfo\r\n"
                           "    {\r\n") +
                   kEmptyUseOfHcsText + c.expected + "    }\r\n}\r\n",
               d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// Cells whose frequency or GSM values are not there (inter-frequency cells without frequencyInfo
// or with its fdd alternative, inter-RAT cells of is_2000 / absent) are still counted one each,
// with their IDs and cellParametersIDs, and do not shift the cells after them.

TEST(Sib11Golden, CellsWithoutTheirFrequencyOrGsmValuesAreStillCounted) {
  std::vector<RatCell> ratCells(3);
  ratCells[0].id = 4;
  ratCells[0].technology = 1;
  ratCells[1].technology = 2;
  ratCells[2].id = 2;
  ratCells[2].ncc = 1;
  ratCells[2].bcc = 2;
  ratCells[2].arfcn = 3;
  BitWriter control;
  control.Pattern("00 0 1 0 00 1");  // hcs_not_used with inter-RAT, cpich_RSCP empty
  PutRemoved(control, Removed{2, {}});
  PutRatCells(control, ratCells);

  std::vector<Cell<CellInfoLcr>> intra(1);
  intra[0].id = 1;
  intra[0].info.pccpch.cellParametersID = 2;
  std::vector<Cell<CellInfoLcr>> inter(3);
  inter[0].id = 3;
  inter[0].info.pccpch.cellParametersID = 4;
  inter[1].id = 5;
  inter[1].hasFreq = true;
  inter[1].freq = {true, 10, 20};
  inter[1].info.pccpch.cellParametersID = 6;
  inter[2].id = 7;
  inter[2].hasFreq = true;
  inter[2].freq.uarfcn = 99;
  inter[2].info.pccpch.cellParametersID = 8;
  const auto putInfo = [](BitWriter& w, const CellInfoLcr& c) {
    PutCellInfoLcr(w, Csri::kRscp, c);
  };
  BitWriter intraList;
  PutIntraList(intraList, nullptr, intra, putInfo);
  BitWriter chain;
  chain.Pattern("10 0 0 0 11");
  PutIntraMeas(chain, kAbsent, &intraList, IntraReporting());
  chain.Bit(true);
  PutInterList(chain, nullptr, inter, putInfo);

  for (unsigned sibType : {11u, 12u}) {
    SCOPED_TRACE(sibType);
    const Decoded d = DecodeBare(sibType, sibType == 11 ? Sib11(false, nullptr, control, &chain)
                                                        : Sib12(nullptr, control, &chain));
    EXPECT_EQ(1, d.result);
    const tagSystemInformationBlockType11& s = d.out.sib11;
    ASSERT_EQ(3u, s.interRATCellCount);
    EXPECT_EQ(4, s.interRATCells[0].interRATCellID);
    EXPECT_EQ(kAbsentValue, s.interRATCells[1].interRATCellID);
    EXPECT_EQ(2, s.interRATCells[2].interRATCellID);
    EXPECT_EQ(3, s.interRATCells[2].bcch_ARFCN);
    EXPECT_EQ(12, s.interRATCells[2].bsic);
    ASSERT_EQ(1u, s.intraFreqCellCount);
    EXPECT_EQ(1, s.intraFreqCells[0].intraFreqCellID);
    EXPECT_EQ(2, s.intraFreqCells[0].cellParametersID);
    ASSERT_EQ(3u, s.interFreqCellCount);
    EXPECT_EQ(3, s.interFreqCells[0].interFreqCellID);
    EXPECT_EQ(4, s.interFreqCells[0].cellParametersID);
    EXPECT_EQ(5, s.interFreqCells[1].interFreqCellID);
    EXPECT_EQ(6, s.interFreqCells[1].cellParametersID);
    EXPECT_EQ(7, s.interFreqCells[2].interFreqCellID);
    EXPECT_EQ(99, s.interFreqCells[2].uarfcn_Nt);
    EXPECT_EQ(8, s.interFreqCells[2].cellParametersID);
  }
}

// A list element whose decode fails (the SIB ends inside the second intra-frequency cell) is not
// counted; the cell before it is.
TEST(Sib11Golden, CellThatFailsToDecodeIsNotCounted) {
  CellInfoLcr first;
  first.pccpch.cellParametersID = 2;
  BitWriter chain;
  chain.Pattern("10 0 0 0 10 010000");  // LCR hcs_not_used / cpich_RSCP: intra list only
  chain.Bit(false);                     // no removedIntraFreqCellList
  PutCount(chain, 2, 1, 32);
  chain.Bit(true).Constrained(1, 0, 31);
  PutCellInfoLcr(chain, Csri::kRscp, first);
  chain.Bit(true).Constrained(3, 0, 31);  // the second cell ends after its ID
  for (unsigned sibType : {11u, 12u}) {
    SCOPED_TRACE(sibType);
    const Decoded d =
        DecodeBare(sibType, sibType == 11 ? Sib11(false, nullptr, EmptyControl(), &chain)
                                          : Sib12(nullptr, EmptyControl(), &chain));
    EXPECT_EQ(1, d.result);
    ExpectCells(d.out, {}, {{1, 2}}, {});
  }
}

// ---------------------------------------------------------------------------------------------
// The Release 99 lists of the three other branches: elements two levels in, the fdd
// primaryCPICH_TX_Power two levels in and the timeslotInfoList elements one level in for every
// cell-information variant, timeslotSync2 two levels in.

TEST(Sib11Golden, Release99ListsOfTheOtherBranches) {
  struct Case {
    bool hcsUsed;
    bool ecn0;
    Csri type;
  };
  const Case cases[] = {
      {false, true, Csri::kEcn0}, {true, false, Csri::kHcsRscp}, {true, true, Csri::kHcsEcn0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.hcsUsed ? "hcs_used" : "hcs_not_used") +
                 (c.ecn0 ? " / cpich_Ec_N0" : " / cpich_RSCP"));
    std::vector<Cell<CellInfo>> intra(1);
    intra[0].info.fdd = true;
    intra[0].info.primaryCpichTxPower = 50;
    std::vector<Cell<CellInfo>> inter(1);
    inter[0].info.pccpch.syncCase = 2;
    inter[0].info.pccpch.sctd = true;
    inter[0].info.timeslots = {{3, 0}};
    inter[0].info.readSFN = true;
    const Csri type = c.type;
    const auto putInfo = [type](BitWriter& w, const CellInfo& i) { PutCellInfo(w, type, i); };
    BitWriter intraList;
    PutIntraList(intraList, nullptr, intra, putInfo);
    BitWriter control;
    control.Pattern("00").Bit(c.hcsUsed).Bit(false).Bit(c.ecn0).Pattern("11");
    PutIntraMeas(control, kAbsent, &intraList, IntraReporting());
    control.Bit(true);
    PutInterList(control, nullptr, inter, putInfo);

    const Decoded d = DecodeBare(11, Sib11(false, nullptr, control, nullptr));
    EXPECT_EQ(1, d.result);
    ExpectCells(d.out, {}, {}, {});
    ExpectText(
        std::string("SysInfoType11 ::=\r\n"
                    "{\r\n"
                    "    sib12indicator = False\r\n"
                    "    measurementControlSysInfo\r\n"
                    "    {\r\n"
                    "        use_of_HCS\r\n"
                    "        {\r\n") +
            (c.hcsUsed ? "            hcs_used\r\n" : "            hcs_not_used\r\n") +
            "            {\r\n"
            "                cellSelectQualityMeasure\r\n"
            "                {\r\n" +
            (c.ecn0 ? "                    cpich_Ec_N0\r\n"
                    : "                    cpich_RSCP\r\n") +
            "                    {\r\n"
            "                        intraFreqMeasurementSysInfo\r\n"
            "                        {\r\n"
            "                            intraFreqMeasurementID = 1\r\n"
            "                            intraFreqCellInfoSI_List\r\n"
            "                            {\r\n"
            "                                    newIntraFreqCellList[0]\r\n"
            "                                    {\r\n"
            "                                        cellInfo\r\n"
            "                                        {\r\n"
            "                                            cellIndividualOffset = 0\r\n"
            "                                            modeSpecificInfo\r\n"
            "                                            {\r\n"
            "                                                fdd\r\n"
            "                                                {\r\n"
            "                                                        primaryCPICH_TX_Power = 50\r\n"
            "                                                    readSFN_Indicator = False\r\n"
            "                                                    tx_DiversityIndicator = False\r\n"
            "                                                }\r\n"
            "                                            }\r\n"
            "                                        }\r\n"
            "                                    }\r\n"
            "                            }\r\n"
            "                        }\r\n"
            "                        interFreqMeasurementSysInfo\r\n"
            "                        {\r\n"
            "                            interFreqCellInfoSI_List\r\n"
            "                            {\r\n"
            "                                    newInterFreqCellList[0]\r\n"
            "                                    {\r\n"
            "                                        cellInfo\r\n"
            "                                        {\r\n"
            "                                            cellIndividualOffset = 0\r\n"
            "                                            modeSpecificInfo\r\n"
            "                                            {\r\n"
            "                                                tdd\r\n"
            "                                                {\r\n"
            "                                                    primaryCCPCH_Info\r\n"
            "                                                    {\r\n"
            "                                                        tdd\r\n"
            "                                                        {\r\n"
            "                                                            syncCase\r\n"
            "                                                            {\r\n"
            "                                                                syncCase2\r\n"
            "                                                                {\r\n"
            "                                                                        timeslotSync2 "
            "= 0\r\n"
            "                                                                }\r\n"
            "                                                            }\r\n"
            "                                                            sctd_Indicator = True\r\n"
            "                                                        }\r\n"
            "                                                    }\r\n"
            "                                                    timeslotInfoList[0]\r\n"
            "                                                    {\r\n"
            "                                                        timeslotNumber = 3\r\n"
            "                                                        burstType = type1\r\n"
            "                                                    }\r\n"
            "                                                    readSFN_Indicator = True\r\n"
            "                                                }\r\n"
            "                                            }\r\n"
            "                                        }\r\n"
            "                                    }\r\n"
            "                            }\r\n"
            "                        }\r\n"
            "                    }\r\n"
            "                }\r\n"
            "            }\r\n"
            "        }\r\n"
            "    }\r\n"
            "}\r\n",
        d.text);
  }
}

}  // namespace
