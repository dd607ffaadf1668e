// Golden tests for the SIB5 and SIB6 texts. Every encoding is built bit by bit from the
// SysInfoType5 / SysInfoType6 ASN.1 (unaligned PER) and every expected text is spelled out.
//
// Layout these cases pin down:
// - SIB5 and SIB6 print the PICH power offset one level deeper (8) than their other members (4);
// - prach_SystemInformationList[i] and sCCPCH_SystemInformationList[i] are blocks at 8;
// - the extension chain nests one level per container, down to nonCriticalExtensions at 28 in
//   SIB5 (24 in SIB6, whose chain has no v680 level); SIB6 writes "v650nonCriticalExtensions"
//   and "v690nonCriticalExtensions" with a lower-case n;
// - inside the common-channel records every member line and nested block stands one level inside
//   its braces, list elements one level deeper than their siblings, and the elements of a list
//   that is a CHOICE alternative in the alternative's place;
// - every enumeration of these SIBs ends its lines in "\n".
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sibdecode/sibdecode.h"
#include "support/bch_blocks.h"
#include "support/bit_writer.h"
#include "support/golden_text.h"

namespace {

using sibtest::BitWriter;
using sibtest::DecodeBare;
using sibtest::Decoded;
using sibtest::ExpectLinesMatch;
using sibtest::ExpectSummary;
using sibtest::ExpectText;
using sibtest::ParseBlocks;
using sibtest::RawTrailer;
using sibtest::Replaced;

constexpr int kAbsent = -1000;

// ---------------------------------------------------------------------------------------------
// Encoders of the common-channel records.

// PRACH-SystemInformation with prach-RACH-Info tdd, the optional members absent except
// prach-Partitioning (tdd: a list of ASCSetting-TDD).
struct Prach {
  unsigned timeslot = 0;             // 0..14
  bool sf16 = false;                 // channelisationCodeList: sf8 or sf16
  std::vector<unsigned> codes{0};    // TDD-PRACH-CCode8 / 16 indexes
  unsigned midamble = 0;             // direct, direct-Inverted
  int transportChannelIdentity = 1;  // 1..32
  // prach-Partitioning tdd elements: "" accessServiceClass-TDD absent, otherwise its 8-digit
  // channelisationCodeIndices with subchannelSize size1. Empty: prach-Partitioning absent.
  std::vector<std::string> partitioning;
  bool modeFdd = false;  // the element's own modeSpecificInfo: fdd (no members) or tdd
};

void PutPrach(BitWriter& w, const Prach& p) {
  w.Bit(0).Bit(0).Bit(!p.partitioning.empty()).Bit(0).Bit(0);
  w.Bit(1);  // prach-RACH-Info.modeSpecificInfo: tdd
  w.Constrained(p.timeslot, 0, 14);
  w.Bit(p.sf16);
  w.Constrained(static_cast<int64_t>(p.codes.size()), 1, 8);
  for (unsigned code : p.codes) w.Constrained(code, 0, p.sf16 ? 15 : 7);
  w.Constrained(p.midamble, 0, 1);
  w.Constrained(p.transportChannelIdentity, 1, 32);
  if (!p.partitioning.empty()) {
    w.Bit(1);  // PRACH-Partitioning: tdd
    w.Constrained(static_cast<int64_t>(p.partitioning.size()), 1, 8);
    for (const std::string& asc : p.partitioning) {
      w.Bit(!asc.empty());
      if (!asc.empty()) {
        w.Bit(1).Pattern(asc);   // channelisationCodeIndices present
        w.Constrained(0, 0, 3);  // subchannelSize: size1
      }
    }
  }
  w.Bit(!p.modeFdd);
  if (p.modeFdd) w.Pattern("00000");
}

void PutPrachList(BitWriter& w, const std::vector<Prach>& list) {
  w.Constrained(static_cast<int64_t>(list.size()), 1, 16);
  for (const Prach& p : list) PutPrach(w, p);
}

// SCCPCH-SystemInformation: secondaryCCPCH-Info fdd (sf256 code) or tdd, and optionally a
// pich-Info tdd with its DEFAULT members absent.
struct Sccpch {
  bool tdd = false;
  // fdd
  int secondaryScramblingCode = kAbsent;  // 1..15
  bool sttd = false;
  unsigned sfIndex = 6;  // SF256-AndCodeNumber alternative: sf4 .. sf256
  unsigned code = 0;
  bool pilot = false;
  bool tfci = false;
  unsigned position = 0;  // fixed, flexible
  int timingOffset = kAbsent;
  // tdd
  std::vector<unsigned> tddCodes{0};  // SCCPCH-ChannelisationCode indexes
  bool pichInfo = false;
};

// MidambleShiftAndBurstType: type1, ms4, defaultMidamble.
void PutMidambleType1Default(BitWriter& w) {
  w.Constrained(0, 0, 2).Constrained(0, 0, 2).Constrained(0, 0, 2);
}

void PutSccpch(BitWriter& w, const Sccpch& s) {
  w.Bit(0).Bit(0).Bit(s.pichInfo);  // tfcs, fach-PCH-InformationList, pich-Info
  w.Bit(s.tdd);
  if (!s.tdd) {
    w.Bit(0).Bit(s.secondaryScramblingCode != kAbsent).Bit(s.timingOffset != kAbsent);
    w.Constrained(1, 0, 1);  // dummy1: shallNotBeUsed
    if (s.secondaryScramblingCode != kAbsent) w.Constrained(s.secondaryScramblingCode, 1, 15);
    w.Bit(s.sttd);
    w.Constrained(s.sfIndex, 0, 6);
    w.Bits(s.code, s.sfIndex + 2);  // sf4: 0..3 in 2 bits, ... sf256: 0..255 in 8 bits
    w.Bit(s.pilot).Bit(s.tfci);
    w.Constrained(s.position, 0, 1);
    if (s.timingOffset != kAbsent) w.Constrained(s.timingOffset, 0, 149);
  } else {
    // commonTimeslotInfo: tfci-Coding tfci-bits-16, repetitionPeriod2 with offset 1.
    w.Bit(1).Bit(1);
    w.Constrained(1, 0, 1);         // secondInterleavingMode: timeslotRelated
    w.Constrained(2, 0, 3);         // tfci-Coding
    w.Constrained(15, 0, 15);       // puncturingLimit: pl1
    w.Constrained(1, 0, 6).Bit(1);  // repetitionPeriod2: length (NULL), offset 1
    // individualTimeslotInfo: timeslot 14, tfci-Existence, type1 / ms4 / defaultMidamble.
    w.Constrained(14, 0, 14).Bit(1);
    PutMidambleType1Default(w);
    w.Constrained(static_cast<int64_t>(s.tddCodes.size()), 1, 16);
    for (unsigned code : s.tddCodes) w.Constrained(code, 0, 15);
  }
  if (s.pichInfo) {
    w.Bit(1);             // PICH-Info: tdd
    w.Pattern("000000");  // no optional member, pagingIndicatorLength / n-GAP / n-PCH default
    PutMidambleType1Default(w);
  }
}

void PutSccpchList(BitWriter& w, const std::vector<Sccpch>& list) {
  w.Constrained(static_cast<int64_t>(list.size()), 1, 16);
  for (const Sccpch& s : list) PutSccpch(w, s);
}

// modeSpecificInfo of SIB5 / SIB6: fdd with aich-PowerOffset (raw 5 bits, value + 22), or tdd
// with openLoopPowerControl-TDD only (alpha and pusch-ConstantValue absent unless given).
struct Mode {
  bool tdd = true;
  unsigned aichRaw = 22;  // fdd: 0 gives -22
  int dummy = kAbsent;    // SIB6 fdd only: CSICH-PowerOffset -10..5
  int primaryCCPCH_TX_Power = 6;
  int alpha = kAbsent;
  int prachConstant = -35;
  int dpchConstant = 10;
  int puschConstant = kAbsent;
};

void PutMode(BitWriter& w, const Mode& m, bool sib6) {
  w.Bit(m.tdd);
  if (!m.tdd) {
    if (sib6) w.Bit(m.dummy != kAbsent);
    w.Bits(m.aichRaw, 5);
    if (sib6 && m.dummy != kAbsent) w.Constrained(m.dummy, -10, 5);
    return;
  }
  w.Bit(0).Bit(0);  // pusch-SysInfoList-SFN, pdsch-SysInfoList-SFN
  w.Bit(m.alpha != kAbsent).Bit(m.puschConstant != kAbsent);
  w.Constrained(m.primaryCCPCH_TX_Power, 6, 43);
  if (m.alpha != kAbsent) w.Constrained(m.alpha, 0, 8);
  w.Constrained(m.prachConstant, -35, 10).Constrained(m.dpchConstant, -35, 10);
  if (m.puschConstant != kAbsent) w.Constrained(m.puschConstant, -35, 10);
}

// PrimaryCCPCH-Info: fdd (tx-DiversityIndicator) or tdd (syncCase2 timeslotSync2, cellParametersID
// and sctd-Indicator).
struct Pccpch {
  bool tdd = true;
  bool flag = false;  // tx-DiversityIndicator or sctd-Indicator
  int timeslotSync2 = kAbsent;
  int cellParametersID = kAbsent;
};

void PutPccpch(BitWriter& w, const Pccpch& p) {
  w.Bit(p.tdd);
  if (p.tdd) {
    w.Bit(p.timeslotSync2 != kAbsent).Bit(p.cellParametersID != kAbsent);
    if (p.timeslotSync2 != kAbsent) w.Bit(1).Constrained(p.timeslotSync2, 0, 6);
    if (p.cellParametersID != kAbsent) w.Constrained(p.cellParametersID, 0, 127);
  }
  w.Bit(p.flag);
}

struct Cbs {
  int period;  // 1..256
  int offset;  // 0..255
};

struct Sib5 {
  bool sib6indicator = false;
  int pichPowerOffset = 0;  // -10..5
  Mode mode;
  bool hasPccpch = false;
  Pccpch pccpch;
  std::vector<Prach> prach{Prach()};
  std::vector<Sccpch> sccpch{Sccpch()};
  bool hasCbs = false;
  Cbs cbs{1, 0};
  const BitWriter* chain = nullptr;
};

BitWriter EncodeSib5(const Sib5& s) {
  BitWriter w;
  w.Bit(s.hasPccpch).Bit(s.hasCbs).Bit(s.chain != nullptr);
  w.Bit(s.sib6indicator);
  w.Constrained(s.pichPowerOffset, -10, 5);
  PutMode(w, s.mode, false);
  if (s.hasPccpch) PutPccpch(w, s.pccpch);
  PutPrachList(w, s.prach);
  PutSccpchList(w, s.sccpch);
  if (s.hasCbs) w.Constrained(s.cbs.period, 1, 256).Constrained(s.cbs.offset, 0, 255);
  if (s.chain != nullptr) w.Append(*s.chain);
  return w;
}

struct Sib6 {
  int pichPowerOffset = 0;
  Mode mode;
  bool hasPccpch = false;
  Pccpch pccpch;
  std::vector<Prach> prach;    // empty: absent
  std::vector<Sccpch> sccpch;  // empty: absent
  bool hasCbs = false;
  Cbs cbs{1, 0};
  const BitWriter* chain = nullptr;
};

BitWriter EncodeSib6(const Sib6& s) {
  BitWriter w;
  w.Bit(s.hasPccpch).Bit(!s.prach.empty()).Bit(!s.sccpch.empty()).Bit(s.hasCbs);
  w.Bit(s.chain != nullptr);
  w.Constrained(s.pichPowerOffset, -10, 5);
  PutMode(w, s.mode, true);
  if (s.hasPccpch) PutPccpch(w, s.pccpch);
  if (!s.prach.empty()) PutPrachList(w, s.prach);
  if (!s.sccpch.empty()) PutSccpchList(w, s.sccpch);
  if (s.hasCbs) w.Constrained(s.cbs.period, 1, 256).Constrained(s.cbs.offset, 0, 255);
  if (s.chain != nullptr) w.Append(*s.chain);
  return w;
}

// ---------------------------------------------------------------------------------------------
// Text pieces.

// The default Prach() element at index 0.
const char kPrach0[] =
    "        prach_SystemInformationList[0]\r\n"
    "        {\r\n"
    "            prach_RACH_Info\r\n"
    "            {\r\n"
    "                modeSpecificInfo\r\n"
    "                {\r\n"
    "                    tdd\r\n"
    "                    {\r\n"
    "                        timeslot = 0\r\n"
    "                        channelisationCodeList\r\n"
    "                        {\r\n"
    "                            sf8[0] = cc8-1\n"
    "                        }\r\n"
    "                        prach_Midamble = direct\n"
    "                    }\r\n"
    "                }\r\n"
    "            }\r\n"
    "            transportChannelIdentity = 1\r\n"
    "            modeSpecificInfo\r\n"
    "            {\r\n"
    "                tdd\r\n"
    "            }\r\n"
    "        }\r\n";

// The default Sccpch() element at index 0.
const char kSccpch0[] =
    "        sCCPCH_SystemInformationList[0]\r\n"
    "        {\r\n"
    "            secondaryCCPCH_Info\r\n"
    "            {\r\n"
    "                modeSpecificInfo\r\n"
    "                {\r\n"
    "                    fdd\r\n"
    "                    {\r\n"
    "                        dummy1 = shallNotBeUsed\n"
    "                        sttd_Indicator = False\r\n"
    "                        sf_AndCodeNumber\r\n"
    "                        {\r\n"
    "                            sf256 = 0\r\n"
    "                        }\r\n"
    "                        pilotSymbolExistence = False\r\n"
    "                        tfci_Existence = False\r\n"
    "                        positionFixedOrFlexible = fixed\n"
    "                        timingOffset = 0\r\n"
    "                    }\r\n"
    "                }\r\n"
    "            }\r\n"
    "        }\r\n";

// Default modeSpecificInfo (tdd, openLoopPowerControl-TDD without alpha / pusch-ConstantValue).
const char kModeTdd[] =
    "    modeSpecificInfo\r\n"
    "    {\r\n"
    "        tdd\r\n"
    "        {\r\n"
    "            openLoopPowerControl_TDD\r\n"
    "            {\r\n"
    "                primaryCCPCH_TX_Power = 6\r\n"
    "                prach_ConstantValue = -35\r\n"
    "                dpch_ConstantValue = 10\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n";

const char kSib5Head[] =
    "SysInfoType5 ::=\r\n"
    "{\r\n"
    "    sib6indicator = False\r\n"
    "        pich_PowerOffset = 0\r\n";

const char kSib6Head[] =
    "SysInfoType6 ::=\r\n"
    "{\r\n"
    "        pich_PowerOffset = 0\r\n";

// ---------------------------------------------------------------------------------------------
// SIB5

TEST(Sib5Golden, SmallestWithOneElementPerList) {
  const Decoded d = DecodeBare(5, EncodeSib5(Sib5()));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 + "}\r\n", d.text);
}

TEST(Sib5Golden, PichPowerOffsetModeAndCbsBounds) {
  struct Case {
    const char* name;
    bool sib6indicator;
    int pich;
    Mode mode;
    Cbs cbs;
    const char* head;
    const char* mode_text;
    const char* cbs_text;
  };
  Mode fddLow;
  fddLow.tdd = false;
  fddLow.aichRaw = 0;
  Mode fddHigh;
  fddHigh.tdd = false;
  fddHigh.aichRaw = 27;
  Mode tddFull;
  tddFull.primaryCCPCH_TX_Power = 43;
  tddFull.alpha = 8;
  tddFull.prachConstant = 10;
  tddFull.dpchConstant = -35;
  tddFull.puschConstant = 0;
  const Case cases[] = {
      {"Lowest",
       false,
       -10,
       fddLow,
       {1, 0},
       "    sib6indicator = False\r\n"
       "        pich_PowerOffset = -10\r\n",
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "        fdd\r\n"
       "        {\r\n"
       "            aich_PowerOffset = -22\r\n"
       "        }\r\n"
       "    }\r\n",
       "    cbs_DRX_Level1Information\r\n"
       "    {\r\n"
       "        ctch_AllocationPeriod = 1\r\n"
       "        cbs_FrameOffset = 0\r\n"
       "    }\r\n"},
      {"Highest",
       true,
       5,
       fddHigh,
       {256, 255},
       "    sib6indicator = True\r\n"
       "        pich_PowerOffset = 5\r\n",
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "        fdd\r\n"
       "        {\r\n"
       "            aich_PowerOffset = 5\r\n"
       "        }\r\n"
       "    }\r\n",
       "    cbs_DRX_Level1Information\r\n"
       "    {\r\n"
       "        ctch_AllocationPeriod = 256\r\n"
       "        cbs_FrameOffset = 255\r\n"
       "    }\r\n"},
      {"TddAllPowerControlMembers",
       true,
       -1,
       tddFull,
       {100, 37},
       "    sib6indicator = True\r\n"
       "        pich_PowerOffset = -1\r\n",
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "        tdd\r\n"
       "        {\r\n"
       "            openLoopPowerControl_TDD\r\n"
       "            {\r\n"
       "                primaryCCPCH_TX_Power = 43\r\n"
       "                alpha = 8\r\n"
       "                prach_ConstantValue = 10\r\n"
       "                dpch_ConstantValue = -35\r\n"
       "                pusch_ConstantValue = 0\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n",
       "    cbs_DRX_Level1Information\r\n"
       "    {\r\n"
       "        ctch_AllocationPeriod = 100\r\n"
       "        cbs_FrameOffset = 37\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib5 s;
    s.sib6indicator = c.sib6indicator;
    s.pichPowerOffset = c.pich;
    s.mode = c.mode;
    s.hasCbs = true;
    s.cbs = c.cbs;
    const Decoded d = DecodeBare(5, EncodeSib5(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string("SysInfoType5 ::=\r\n{\r\n") + c.head + c.mode_text + kPrach0 +
                   kSccpch0 + c.cbs_text + "}\r\n",
               d.text);
  }
}

TEST(Sib5Golden, PrimaryCcpchInfoBothAlternatives) {
  struct Case {
    const char* name;
    Pccpch pccpch;
    const char* text;
  };
  const Case cases[] = {
      {"Fdd",
       {false, true, kAbsent, kAbsent},
       "    primaryCCPCH_Info\r\n"
       "    {\r\n"
       "        fdd\r\n"
       "        {\r\n"
       "            tx_DiversityIndicator = True\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"TddOnlySctd",
       {true, false, kAbsent, kAbsent},
       "    primaryCCPCH_Info\r\n"
       "    {\r\n"
       "        tdd\r\n"
       "        {\r\n"
       "            sctd_Indicator = False\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"TddAll",
       {true, true, 6, 127},
       "    primaryCCPCH_Info\r\n"
       "    {\r\n"
       "        tdd\r\n"
       "        {\r\n"
       "            syncCase\r\n"
       "            {\r\n"
       "                syncCase2\r\n"
       "                {\r\n"
       "                    timeslotSync2 = 6\r\n"
       "                }\r\n"
       "            }\r\n"
       "            cellParametersID = 127\r\n"
       "            sctd_Indicator = True\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib5 s;
    s.hasPccpch = true;
    s.pccpch = c.pccpch;
    const Decoded d = DecodeBare(5, EncodeSib5(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSib5Head) + kModeTdd + c.text + kPrach0 + kSccpch0 + "}\r\n", d.text);
  }
}

TEST(Sib5Golden, ChannelListsWithSeveralElements) {
  Sib5 s;
  Prach p1;
  p1.timeslot = 14;
  p1.sf16 = true;
  p1.codes = {15, 0, 7};
  p1.midamble = 1;
  p1.transportChannelIdentity = 32;
  p1.partitioning = {"10000001", ""};
  p1.modeFdd = true;
  s.prach = {Prach(), p1};
  Sccpch c1;
  c1.secondaryScramblingCode = 15;
  c1.sttd = true;
  c1.sfIndex = 0;
  c1.code = 3;
  c1.pilot = true;
  c1.tfci = true;
  c1.position = 1;
  c1.timingOffset = 149;
  Sccpch c2;
  c2.tdd = true;
  c2.tddCodes = {0, 15};
  c2.pichInfo = true;
  s.sccpch = {Sccpch(), c1, c2};
  const Decoded d = DecodeBare(5, EncodeSib5(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 +
                 "        prach_SystemInformationList[1]\r\n"
                 "        {\r\n"
                 "            prach_RACH_Info\r\n"
                 "            {\r\n"
                 "                modeSpecificInfo\r\n"
                 "                {\r\n"
                 "                    tdd\r\n"
                 "                    {\r\n"
                 "                        timeslot = 14\r\n"
                 "                        channelisationCodeList\r\n"
                 "                        {\r\n"
                 "                            sf16[0] = cc16-16\n"
                 "                            sf16[1] = cc16-1\n"
                 "                            sf16[2] = cc16-8\n"
                 "                        }\r\n"
                 "                        prach_Midamble = direct-Inverted\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            transportChannelIdentity = 32\r\n"
                 "            prach_Partitioning\r\n"
                 "            {\r\n"
                 "                tdd[0]\r\n"
                 "                {\r\n"
                 "                    accessServiceClass_TDD\r\n"
                 "                    {\r\n"
                 "                        channelisationCodeIndices = \"10000001\"\r\n"
                 "                        subchannelSize\r\n"
                 "                        {\r\n"
                 "                            size1\r\n"
                 "                        }\r\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "                tdd[1]\r\n"
                 "                {\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            modeSpecificInfo\r\n"
                 "            {\r\n"
                 "                fdd\r\n"
                 "                {\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n" +
                 kSccpch0 +
                 "        sCCPCH_SystemInformationList[1]\r\n"
                 "        {\r\n"
                 "            secondaryCCPCH_Info\r\n"
                 "            {\r\n"
                 "                modeSpecificInfo\r\n"
                 "                {\r\n"
                 "                    fdd\r\n"
                 "                    {\r\n"
                 "                        dummy1 = shallNotBeUsed\n"
                 "                        secondaryScramblingCode = 15\r\n"
                 "                        sttd_Indicator = True\r\n"
                 "                        sf_AndCodeNumber\r\n"
                 "                        {\r\n"
                 "                            sf4 = 3\r\n"
                 "                        }\r\n"
                 "                        pilotSymbolExistence = True\r\n"
                 "                        tfci_Existence = True\r\n"
                 "                        positionFixedOrFlexible = flexible\n"
                 "                        timingOffset = 149\r\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "        sCCPCH_SystemInformationList[2]\r\n"
                 "        {\r\n"
                 "            secondaryCCPCH_Info\r\n"
                 "            {\r\n"
                 "                modeSpecificInfo\r\n"
                 "                {\r\n"
                 "                    tdd\r\n"
                 "                    {\r\n"
                 "                        commonTimeslotInfo\r\n"
                 "                        {\r\n"
                 "                            secondInterleavingMode = timeslotRelated\n"
                 "                            tfci_Coding = tfci-bits-16\n"
                 "                            puncturingLimit = pl1\n"
                 "                            repetitionPeriodLengthAndOffset\r\n"
                 "                            {\r\n"
                 "                                repetitionPeriod2\r\n"
                 "                                {\r\n"
                 "                                    length\r\n"
                 "                                    offset = 1\r\n"
                 "                                }\r\n"
                 "                            }\r\n"
                 "                        }\r\n"
                 "                        individualTimeslotInfo\r\n"
                 "                        {\r\n"
                 "                            timeslotNumber = 14\r\n"
                 "                            tfci_Existence = True\r\n"
                 "                            midambleShiftAndBurstType\r\n"
                 "                            {\r\n"
                 "                                burstType\r\n"
                 "                                {\r\n"
                 "                                    type1\r\n"
                 "                                    {\r\n"
                 "                                        midambleConfigurationBurstType1and3 = "
                 "ms4\n"
                 "                                        midambleAllocationMode\r\n"
                 "                                        {\r\n"
                 "                                            defaultMidamble\r\n"
                 "                                        }\r\n"
                 "                                    }\r\n"
                 "                                }\r\n"
                 "                            }\r\n"
                 "                        }\r\n"
                 "                            channelisationCode[0] = cc16-1\n"
                 "                            channelisationCode[1] = cc16-16\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            pich_Info\r\n"
                 "            {\r\n"
                 "                tdd\r\n"
                 "                {\r\n"
                 "                    midambleShiftAndBurstType\r\n"
                 "                    {\r\n"
                 "                        burstType\r\n"
                 "                        {\r\n"
                 "                            type1\r\n"
                 "                            {\r\n"
                 "                                midambleConfigurationBurstType1and3 = ms4\n"
                 "                                midambleAllocationMode\r\n"
                 "                                {\r\n"
                 "                                    defaultMidamble\r\n"
                 "                                }\r\n"
                 "                            }\r\n"
                 "                        }\r\n"
                 "                    }\r\n"
                 "                    pagingIndicatorLength = pi4\n"
                 "                    n_GAP = f4\n"
                 "                    n_PCH = 2\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "}\r\n",
             d.text);
}

// A PRACH element with prach-RACH-Info fdd, persistenceScalingFactorList, the fixed-size
// ac-To-ASC-MappingTable (SIZE (7): no count) and every member of its fdd modeSpecificInfo.
TEST(Sib5Golden, PrachFddMembersAndItsTwoScalarLists) {
  BitWriter w;
  w.Pattern("000").Bit(0).Constrained(0, -10, 5);
  PutMode(w, Mode(), false);
  w.Constrained(1, 1, 16);
  w.Pattern("00011");  // persistenceScalingFactorList, ac-To-ASC-MappingTable
  w.Bit(0);            // prach-RACH-Info: fdd
  w.Pattern("1000000000000001").Constrained(3, 0, 3).Constrained(15, 0, 15);
  w.Constrained(15, 0, 15).Pattern("010101010101");
  w.Constrained(7, 1, 32);
  w.Constrained(2, 1, 6).Constrained(7, 0, 7).Constrained(0, 0, 7);
  for (int i = 0; i < 7; ++i) w.Constrained(i, 0, 7);
  w.Bit(0).Pattern("11111");  // modeSpecificInfo fdd, every member
  w.Constrained(-10, -10, 50).Constrained(-35, -35, -10);
  w.Constrained(8, 1, 8).Constrained(64, 1, 64);
  w.Constrained(32, 1, 32).Constrained(0, 0, 50).Constrained(50, 0, 50);
  w.Constrained(255, 0, 255).Bit(1).Constrained(1, 0, 1);
  PutSccpchList(w, {Sccpch()});
  const Decoded d = DecodeBare(5, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(std::string(kSib5Head) + kModeTdd +
                 "        prach_SystemInformationList[0]\r\n"
                 "        {\r\n"
                 "            prach_RACH_Info\r\n"
                 "            {\r\n"
                 "                modeSpecificInfo\r\n"
                 "                {\r\n"
                 "                    fdd\r\n"
                 "                    {\r\n"
                 "                        availableSignatures = \"1000000000000001\"\r\n"
                 "                        availableSF = sfpr256\n"
                 "                        preambleScramblingCodeWordNumber = 15\r\n"
                 "                        puncturingLimit = pl1\n"
                 "                        availableSubChannelNumbers = \"010101010101\"\r\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            transportChannelIdentity = 7\r\n"
                 "                persistenceScalingFactorList[0] = psf0-2\n"
                 "                persistenceScalingFactorList[1] = psf0-9\n"
                 "                ac_To_ASC_MappingTable[0] = 0\r\n"
                 "                ac_To_ASC_MappingTable[1] = 1\r\n"
                 "                ac_To_ASC_MappingTable[2] = 2\r\n"
                 "                ac_To_ASC_MappingTable[3] = 3\r\n"
                 "                ac_To_ASC_MappingTable[4] = 4\r\n"
                 "                ac_To_ASC_MappingTable[5] = 5\r\n"
                 "                ac_To_ASC_MappingTable[6] = 6\r\n"
                 "            modeSpecificInfo\r\n"
                 "            {\r\n"
                 "                fdd\r\n"
                 "                {\r\n"
                 "                    primaryCPICH_TX_Power = -10\r\n"
                 "                    constantValue = -35\r\n"
                 "                    prach_PowerOffset\r\n"
                 "                    {\r\n"
                 "                        powerRampStep = 8\r\n"
                 "                        preambleRetransMax = 64\r\n"
                 "                    }\r\n"
                 "                    rach_TransmissionParameters\r\n"
                 "                    {\r\n"
                 "                        mmax = 32\r\n"
                 "                        nb01Min = 0\r\n"
                 "                        nb01Max = 50\r\n"
                 "                    }\r\n"
                 "                    aich_Info\r\n"
                 "                    {\r\n"
                 "                        channelisationCode256 = 255\r\n"
                 "                        sttd_Indicator = True\r\n"
                 "                        aich_TransmissionTiming = e1\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n" +
                 kSccpch0 + "}\r\n",
             d.text);
}

TEST(Sib5Golden, WholeChainToV770WithNonCriticalExtensions) {
  BitWriter chain;
  chain.Pattern("11");     // v4b0: sysInfoType5-v4b0ext, v590 present
  chain.Pattern("11001");  // pNBSCH-Allocation-r4, openLoopPowerControl-IPDL-TDD, frequencyBand
  chain.Constrained(23, 0, 23);                     // c80
  chain.Constrained(8, 0, 8).Constrained(3, 0, 3);  // ipdl-alpha, maxPowerIncrease
  chain.Constrained(6, 0, 7);                       // bandVII
  chain.Pattern("11").Pattern("1 00");              // v590: hcr-r5-SpecificInfo, no lists
  chain.Pattern("11").Constrained(0, 0, 15);        // v650: bandVIII
  chain.Pattern("11").Pattern("1");                 // v680: hsdpa-CapableCell (no bits)
  chain.Pattern("1").Pattern("1000");               // v690: edch-CapableCell (no bits)
  chain.Pattern("1").Pattern("1001");               // v770: modeSpecificInfo, tDD-MBSFN
  chain.Constrained(2, 0, 2).Pattern("0");          // tdd128 without its list
  chain.Constrained(2, 1, 14);
  chain.Constrained(14, 0, 14).Constrained(0, 0, 127);
  chain.Constrained(0, 0, 14).Constrained(127, 0, 127);
  Sib5 s;
  s.chain = &chain;
  const Decoded d = DecodeBare(5, EncodeSib5(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 +
                 "    v4b0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "        sysInfoType5_v4b0ext\r\n"
                 "        {\r\n"
                 "            pNBSCH_Allocation_r4\r\n"
                 "            {\r\n"
                 "                numberOfRepetitionsPerSFNPeriod = c80\n"
                 "            }\r\n"
                 "            openLoopPowerControl_IPDL_TDD\r\n"
                 "            {\r\n"
                 "                ipdl_alpha = 8\r\n"
                 "                maxPowerIncrease = 3\r\n"
                 "            }\r\n"
                 "            frequencyBandIndicator = bandVII\n"
                 "        }\r\n"
                 "        v590NonCriticalExtensions\r\n"
                 "        {\r\n"
                 "            sysInfoType5_v590ext\r\n"
                 "            {\r\n"
                 "                hcr_r5_SpecificInfo\r\n"
                 "                {\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            v650NonCriticalExtensions\r\n"
                 "            {\r\n"
                 "                sysInfoType5_v650ext\r\n"
                 "                {\r\n"
                 "                    frequencyBandIndicator2 = bandVIII\n"
                 "                }\r\n"
                 "                v680NonCriticalExtensions\r\n"
                 "                {\r\n"
                 "                    sysInfoType5_v680ext\r\n"
                 "                    {\r\n"
                 "                        hsdpa_CellIndicator = hsdpa-CapableCell\n"
                 "                    }\r\n"
                 "                    v690NonCriticalExtensions\r\n"
                 "                    {\r\n"
                 "                        sysInfoType5_v690ext\r\n"
                 "                        {\r\n"
                 "                            edch_CellIndicator = edch-CapableCell\n"
                 "                        }\r\n"
                 "                        v770NonCriticalExtensions\r\n"
                 "                        {\r\n"
                 "                            sysInfoType5_v770ext\r\n"
                 "                            {\r\n"
                 "                                modeSpecificInfo\r\n"
                 "                                {\r\n"
                 "                                    tdd128\r\n"
                 "                                    {\r\n"
                 "                                    }\r\n"
                 "                                }\r\n"
                 "                                    tDD_MBSFNInformation[0]\r\n"
                 "                                    {\r\n"
                 "                                        timeSlotNumber = 14\r\n"
                 "                                        cellParametersID = 0\r\n"
                 "                                    }\r\n"
                 "                                    tDD_MBSFNInformation[1]\r\n"
                 "                                    {\r\n"
                 "                                        timeSlotNumber = 0\r\n"
                 "                                        cellParametersID = 127\r\n"
                 "                                    }\r\n"
                 "                            }\r\n"
                 "                            nonCriticalExtensions\r\n"
                 "                            {\r\n"
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

const char kChainToV770[] =
    "    v4b0NonCriticalExtensions\r\n"
    "    {\r\n"
    "        v590NonCriticalExtensions\r\n"
    "        {\r\n"
    "            v650NonCriticalExtensions\r\n"
    "            {\r\n"
    "                v680NonCriticalExtensions\r\n"
    "                {\r\n"
    "                    v690NonCriticalExtensions\r\n"
    "                    {\r\n"
    "                        sysInfoType5_v690ext\r\n"
    "                        {\r\n"
    "                        }\r\n"
    "                        v770NonCriticalExtensions\r\n"
    "                        {\r\n"
    "                            sysInfoType5_v770ext\r\n"
    "                            {\r\n"
    "                            }\r\n"
    "                        }\r\n"
    "                    }\r\n"
    "                }\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n";

// The chain cut at each level; the OPTIONAL extension records absent, the mandatory v690 and
// v770 records without members.
TEST(Sib5Golden, ExtensionChainCutAtEachLevel) {
  struct Case {
    const char* name;
    int levels;  // containers present, from v4b0 (1) to v770 (6)
    bool nonCriticalExtensions;
    std::string text;
  };
  const Case cases[] = {
      {"V4b0", 1, false,
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "    }\r\n"},
      {"V590", 2, false,
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtensions\r\n"
       "        {\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V650", 3, false,
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtensions\r\n"
       "        {\r\n"
       "            v650NonCriticalExtensions\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V680", 4, false,
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtensions\r\n"
       "        {\r\n"
       "            v650NonCriticalExtensions\r\n"
       "            {\r\n"
       "                v680NonCriticalExtensions\r\n"
       "                {\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V690", 5, false,
       "    v4b0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        v590NonCriticalExtensions\r\n"
       "        {\r\n"
       "            v650NonCriticalExtensions\r\n"
       "            {\r\n"
       "                v680NonCriticalExtensions\r\n"
       "                {\r\n"
       "                    v690NonCriticalExtensions\r\n"
       "                    {\r\n"
       "                        sysInfoType5_v690ext\r\n"
       "                        {\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V770", 6, false, kChainToV770},
      {"V770WithNonCriticalExtensions", 6, true,
       Replaced(kChainToV770,
                "                            sysInfoType5_v770ext\r\n"
                "                            {\r\n"
                "                            }\r\n",
                "                            sysInfoType5_v770ext\r\n"
                "                            {\r\n"
                "                            }\r\n"
                "                            nonCriticalExtensions\r\n"
                "                            {\r\n"
                "                            }\r\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter chain;
    // v4b0 .. v680: the record's bit (0) and the next container's bit.
    for (int level = 1; level <= 4 && level <= c.levels; ++level) {
      chain.Bit(0).Bit(c.levels > level);
    }
    if (c.levels >= 5) chain.Bit(c.levels > 5).Pattern("0000");  // v690: next bit, record
    if (c.levels >= 6) chain.Bit(c.nonCriticalExtensions).Pattern("0000");
    Sib5 s;
    s.chain = &chain;
    const Decoded d = DecodeBare(5, EncodeSib5(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 + c.text + "}\r\n", d.text);
  }
}

// The 1.28 Mcps TDD records of the v4b0 and v770 extension records: the LCR PRACH list,
// tdd128SpecificInfo with its mandatory SCCPCH extension list, and the v770 tdd128 PRACH list.
TEST(Sib5Golden, LcrRecordsOfTheExtensionChain) {
  BitWriter chain;
  chain.Pattern("11");     // v4b0: sysInfoType5-v4b0ext, v590 present
  chain.Pattern("00110");  // prach-SystemInformationList-LCR-r4, tdd128SpecificInfo
  chain.Constrained(1, 1, 16);
  chain.Pattern("00");  // no rach-TransportFormatSet-LCR, no prach-Partitioning-LCR
  // sync-UL-Info: bitmap, prxUpPCHdes 62, powerRampStep 3, tr8, mmax 32.
  chain.Pattern("10100101").Constrained(62, 0, 62).Constrained(3, 0, 3).Constrained(3, 0, 3);
  chain.Constrained(32, 1, 32);
  chain.Constrained(1, 1, 8);                                               // prach-DefinitionList
  chain.Constrained(6, 1, 6);                                               // timeslot
  chain.Constrained(2, 1, 4).Constrained(27, 0, 27).Constrained(4, 0, 27);  // cc16-16, cc8-1
  chain.Constrained(2, 0, 2).Constrained(15, 0, 15).Constrained(8, 1, 8);   // ueSpecificMidamble
  // fpach-Info: timeslot 0, cc16-1, defaultMidamble / 1, wi 4.
  chain.Constrained(0, 0, 6).Constrained(0, 0, 15).Constrained(0, 0, 2).Constrained(1, 1, 8);
  chain.Constrained(4, 1, 4);
  // tdd128SpecificInfo: pCCPCH-LCR-Extensions (tstd False) and one SCCPCH extension.
  chain.Pattern("001").Bit(0);
  chain.Constrained(1, 1, 16);
  chain.Bit(1);                                     // pich-Info present
  chain.Constrained(1, 0, 2).Constrained(4, 1, 8);  // commonMidamble, 4
  chain.Constrained(1, 0, 1).Constrained(2, 0, 2);  // mod-8PSK, sixteenOverSF
  chain.Pattern("11111").Constrained(6, 0, 6);      // PICH-Info-LCR-r4, timeslot 6
  chain.Constrained(2, 1, 2).Constrained(2, 0, 15).Constrained(15, 0, 15);
  chain.Constrained(0, 0, 2).Constrained(2, 1, 8);                       // defaultMidamble, 2
  chain.Constrained(8, 0, 8).Constrained(63, 0, 63);                     // rpp64-4 = 63
  chain.Constrained(2, 0, 2).Constrained(2, 0, 2).Constrained(8, 1, 8);  // pi16, f8, 8
  chain.Pattern("01").Pattern("01").Pattern("01");  // v590, v650, v680: no record, next present
  chain.Pattern("1").Pattern("0000");               // v690: empty record, v770 present
  chain.Pattern("0").Pattern("1000");               // v770: modeSpecificInfo only
  chain.Constrained(2, 0, 2).Bit(1).Constrained(1, 1, 16).Pattern("00001111");
  Sib5 s;
  s.chain = &chain;
  const Decoded d = DecodeBare(5, EncodeSib5(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  const std::string v4b0ext =
      "        sysInfoType5_v4b0ext\r\n"
      "        {\r\n"
      "                prach_SystemInformationList_LCR_r4[0]\r\n"
      "                {\r\n"
      "                    prach_RACH_Info_LCR\r\n"
      "                    {\r\n"
      "                        sync_UL_Info\r\n"
      "                        {\r\n"
      "                            sync_UL_Codes_Bitmap = \"10100101\"\r\n"
      "                            prxUpPCHdes = 62\r\n"
      "                            powerRampStep = 3\r\n"
      "                            max_SYNC_UL_Transmissions = tr8\n"
      "                            mmax = 32\r\n"
      "                        }\r\n"
      "                            prach_DefinitionList[0]\r\n"
      "                            {\r\n"
      "                                timeslot = 6\r\n"
      "                                    prach_ChanCodes_LCR[0] = cc16-16\n"
      "                                    prach_ChanCodes_LCR[1] = cc8-1\n"
      "                                midambleShiftAndBurstType\r\n"
      "                                {\r\n"
      "                                    midambleAllocationMode\r\n"
      "                                    {\r\n"
      "                                        ueSpecificMidamble\r\n"
      "                                        {\r\n"
      "                                            midambleShift = 15\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                    midambleConfiguration = 8\r\n"
      "                                }\r\n"
      "                                fpach_Info\r\n"
      "                                {\r\n"
      "                                    timeslot = 0\r\n"
      "                                    channelisationCode = cc16-1\n"
      "                                    midambleShiftAndBurstType\r\n"
      "                                    {\r\n"
      "                                        midambleAllocationMode\r\n"
      "                                        {\r\n"
      "                                            defaultMidamble\r\n"
      "                                        }\r\n"
      "                                        midambleConfiguration = 1\r\n"
      "                                    }\r\n"
      "                                    wi = 4\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            tdd128SpecificInfo\r\n"
      "            {\r\n"
      "                pCCPCH_LCR_Extensions\r\n"
      "                {\r\n"
      "                    tstd_Indicator = False\r\n"
      "                }\r\n"
      "                    sCCPCH_LCR_ExtensionsList[0]\r\n"
      "                    {\r\n"
      "                        secondaryCCPCH_LCR_Extensions\r\n"
      "                        {\r\n"
      "                            individualTimeslotLCR_Ext\r\n"
      "                            {\r\n"
      "                                midambleShiftAndBurstType\r\n"
      "                                {\r\n"
      "                                    midambleAllocationMode\r\n"
      "                                    {\r\n"
      "                                        commonMidamble\r\n"
      "                                    }\r\n"
      "                                    midambleConfiguration = 4\r\n"
      "                                }\r\n"
      "                                modulation = mod-8PSK\n"
      "                                ss_TPC_Symbols = sixteenOverSF\n"
      "                            }\r\n"
      "                        }\r\n"
      "                        pich_Info\r\n"
      "                        {\r\n"
      "                            timeslot = 6\r\n"
      "                                pichChannelisationCodeList_LCR_r4[0] = cc16-3\n"
      "                                pichChannelisationCodeList_LCR_r4[1] = cc16-16\n"
      "                            midambleShiftAndBurstType\r\n"
      "                            {\r\n"
      "                                midambleAllocationMode\r\n"
      "                                {\r\n"
      "                                    defaultMidamble\r\n"
      "                                }\r\n"
      "                                midambleConfiguration = 2\r\n"
      "                            }\r\n"
      "                            repetitionPeriodLengthOffset\r\n"
      "                            {\r\n"
      "                                rpp64_4 = 63\r\n"
      "                            }\r\n"
      "                            pagingIndicatorLength = pi16\n"
      "                            n_GAP = f8\n"
      "                            n_PCH = 8\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "            }\r\n"
      "        }\r\n";
  const std::string v770Content =
      "                                modeSpecificInfo\r\n"
      "                                {\r\n"
      "                                    tdd128\r\n"
      "                                    {\r\n"
      "                                            prach_SystemInformationList[0]\r\n"
      "                                            {\r\n"
      "                                                prach_RACH_Info_LCR\r\n"
      "                                                {\r\n"
      "                                                    "
      "e_RUCCH_Sync_UL_Codes_Bitmap = \"00001111\"\r\n"
      "                                                }\r\n"
      "                                            }\r\n"
      "                                    }\r\n"
      "                                }\r\n";
  const char v770Empty[] =
      "                            sysInfoType5_v770ext\r\n"
      "                            {\r\n"
      "                            }\r\n";
  const std::string chainText =
      Replaced(Replaced(kChainToV770, "    {\r\n        v590NonCriticalExtensions\r\n",
                        "    {\r\n" + v4b0ext + "        v590NonCriticalExtensions\r\n"),
               v770Empty,
               "                            sysInfoType5_v770ext\r\n"
               "                            {\r\n" +
                   v770Content + "                            }\r\n");
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 + chainText + "}\r\n", d.text);
}

TEST(Sib5Golden, RefusedChoiceIndexLeavesEmptyBraces) {
  // The v770 modeSpecificInfo CHOICE has three alternatives in 2 bits: index 3 is refused, the
  // choice keeps no alternative and prints empty braces. The nonCriticalExtensions bit, read
  // before the record, still prints its block; tDD-MBSFNInformation, announced, stays empty.
  BitWriter chain;
  chain.Pattern("01").Pattern("01").Pattern("01").Pattern("01");  // v4b0 .. v680, no records
  chain.Pattern("1").Pattern("0000");                             // v690
  chain.Pattern("1").Pattern("1001").Bits(3, 2).Pattern("0000");  // v770
  Sib5 s;
  s.chain = &chain;
  const Decoded d = DecodeBare(5, EncodeSib5(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 +
                 Replaced(kChainToV770,
                          "                            sysInfoType5_v770ext\r\n"
                          "                            {\r\n"
                          "                            }\r\n",
                          "                            sysInfoType5_v770ext\r\n"
                          "                            {\r\n"
                          "                                modeSpecificInfo\r\n"
                          "                                {\r\n"
                          "                                }\r\n"
                          "                            }\r\n"
                          "                            nonCriticalExtensions\r\n"
                          "                            {\r\n"
                          "                            }\r\n") +
                 "}\r\n",
             d.text);
}

TEST(Sib5Golden, RepetitionsIndexBeyondTheListStopsTheDecode) {
  // numberOfRepetitionsPerSFNPeriod has 24 identifiers in 5 bits: index 31 is refused, stays
  // stored and prints "???". frequencyBandIndicator, announced, is never reached.
  BitWriter chain;
  chain.Pattern("10").Pattern("10001").Bits(31, 5).Pattern("000");
  Sib5 s;
  s.chain = &chain;
  const Decoded d = DecodeBare(5, EncodeSib5(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(std::string(kSib5Head) + kModeTdd + kPrach0 + kSccpch0 +
                       "    v4b0NonCriticalExtensions\r\n"
                       "    {\r\n"
                       "        sysInfoType5_v4b0ext\r\n"
                       "        {\r\n"
                       "            pNBSCH_Allocation_r4\r\n"
                       "            {\r\n"
                       "                numberOfRepetitionsPerSFNPeriod = ???\n"
                       "            }\r\n"
                       "            frequencyBandIndicator = *\n"
                       "        }\r\n"
                       "    }\r\n"
                       "}\r\n",
                   d.text);
}

TEST(Sib5Golden, AichPowerOffsetOutOfRangeStopsBeforeTheLists) {
  // aich-PowerOffset is -22..5 in 5 bits: raw 31 gives 9, refused but stored. Neither list is
  // reached (no element lines); cbs_DRX_Level1Information, announced, holds undefined values;
  // the v4b0 container prints empty.
  BitWriter w;
  w.Pattern("011").Bit(1).Constrained(5, -10, 5).Bit(0).Bits(31, 5).Pattern("0000 0000");
  const Decoded d = DecodeBare(5, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(
      {
          "SysInfoType5 ::=\r\n",
          "{\r\n",
          "    sib6indicator = True\r\n",
          "        pich_PowerOffset = 5\r\n",
          "    modeSpecificInfo\r\n",
          "    {\r\n",
          "        fdd\r\n",
          "        {\r\n",
          "            aich_PowerOffset = 9\r\n",
          "        }\r\n",
          "    }\r\n",
          "    cbs_DRX_Level1Information\r\n",
          "    {\r\n",
          "        ctch_AllocationPeriod = *\r\n",
          "        cbs_FrameOffset = *\r\n",
          "    }\r\n",
          "    v4b0NonCriticalExtensions\r\n",
          "    {\r\n",
          "    }\r\n",
          "}\r\n",
      },
      d.text);
}

TEST(Sib5Golden, StopInTheSecondPrachElement) {
  // Two PRACH elements announced, the encoding ends inside the second: it is not appended, the
  // SCCPCH list is never reached.
  BitWriter w;
  w.Pattern("000").Bit(0).Constrained(0, -10, 5);
  PutMode(w, Mode(), false);
  w.Constrained(2, 1, 16);
  PutPrach(w, Prach());
  w.Pattern("00000 1");  // its preamble and prach-RACH-Info tdd; the 18 bits after it are missing
  const Decoded d = DecodeBare(5, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(std::string(kSib5Head) + kModeTdd + kPrach0 + "}\r\n", d.text);
}

TEST(Sib5Golden, OneBchBlockThroughRrcParserX) {
  Sib5 s;
  s.sib6indicator = true;
  s.pichPowerOffset = -3;
  s.mode.tdd = false;
  s.mode.aichRaw = 20;
  const std::vector<uint8_t> block =
      sibtest::Block(100, 9, BitWriter().Bits(5, 5).Append(EncodeSib5(s)));
  ASSERT_LE(EncodeSib5(s).size(), 226u);
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string("SysInfoType5 ::=\r\n"
                         "{\r\n"
                         "    sib6indicator = True\r\n"
                         "        pich_PowerOffset = -3\r\n"
                         "    modeSpecificInfo\r\n"
                         "    {\r\n"
                         "        fdd\r\n"
                         "        {\r\n"
                         "            aich_PowerOffset = -2\r\n"
                         "        }\r\n"
                         "    }\r\n") +
                 kPrach0 + kSccpch0 + "}\r\n" + RawTrailer(block),
             d.text);
}

// ---------------------------------------------------------------------------------------------
// SIB6

TEST(Sib6Golden, AllPreambleBitsZero) {
  struct Case {
    const char* name;
    Mode mode;
    const char* text;
  };
  Mode fddWithDummy;
  fddWithDummy.tdd = false;
  fddWithDummy.aichRaw = 27;
  fddWithDummy.dummy = -10;
  Mode fddWithoutDummy;
  fddWithoutDummy.tdd = false;
  fddWithoutDummy.aichRaw = 0;
  const Case cases[] = {
      {"Tdd", Mode(), kModeTdd},
      {"FddWithDummy", fddWithDummy,
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "        fdd\r\n"
       "        {\r\n"
       "            aich_PowerOffset = 5\r\n"
       "            dummy = -10\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"FddWithoutDummy", fddWithoutDummy,
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "        fdd\r\n"
       "        {\r\n"
       "            aich_PowerOffset = -22\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib6 s;
    s.mode = c.mode;
    const Decoded d = DecodeBare(6, EncodeSib6(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectSummary(d.out, 0, 0);
    ExpectText(std::string(kSib6Head) + c.text + "}\r\n", d.text);
  }
}

TEST(Sib6Golden, EveryOptionalMember) {
  Sib6 s;
  s.pichPowerOffset = 5;
  s.hasPccpch = true;
  s.pccpch = {false, false, kAbsent, kAbsent};
  s.prach = {Prach()};
  s.sccpch = {Sccpch()};
  s.hasCbs = true;
  s.cbs = {256, 0};
  BitWriter chain;
  chain.Pattern("00");
  s.chain = &chain;
  const Decoded d = DecodeBare(6, EncodeSib6(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(std::string("SysInfoType6 ::=\r\n"
                         "{\r\n"
                         "        pich_PowerOffset = 5\r\n") +
                 kModeTdd +
                 "    primaryCCPCH_Info\r\n"
                 "    {\r\n"
                 "        fdd\r\n"
                 "        {\r\n"
                 "            tx_DiversityIndicator = False\r\n"
                 "        }\r\n"
                 "    }\r\n" +
                 kPrach0 + kSccpch0 +
                 "    cbs_DRX_Level1Information\r\n"
                 "    {\r\n"
                 "        ctch_AllocationPeriod = 256\r\n"
                 "        cbs_FrameOffset = 0\r\n"
                 "    }\r\n"
                 "    v4b0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "    }\r\n"
                 "}\r\n",
             d.text);
}

TEST(Sib6Golden, OnlyTheSccpchList) {
  // The PRACH list's presence bit is clear: no PRACH element, the SCCPCH elements at 8.
  Sib6 s;
  Sccpch c;
  c.sfIndex = 3;
  c.code = 31;
  s.sccpch = {c, Sccpch()};
  const Decoded d = DecodeBare(6, EncodeSib6(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  const std::string first = Replaced(kSccpch0, "sf256 = 0", "sf32 = 31");
  const std::string second = Replaced(kSccpch0, "[0]", "[1]");
  ExpectText(std::string(kSib6Head) + kModeTdd + first + second + "}\r\n", d.text);
}

TEST(Sib6Golden, WholeChainWithLowerCaseContainerNames) {
  BitWriter chain;
  chain.Pattern("11");                              // v4b0: sysInfoType6-v4b0ext, v590 present
  chain.Pattern("0011");                            // tdd128SpecificInfo, frequencyBandIndicator
  chain.Pattern("0010").Bit(1);                     // pCCPCH-LCR-Extensions: tstd-Indicator True
  chain.Constrained(0, 0, 7);                       // fdd2100
  chain.Pattern("11").Pattern("0");                 // v590: empty sysInfoType6-v590ext
  chain.Pattern("11").Constrained(15, 0, 15);       // v650: extension-indicator
  chain.Pattern("1").Pattern("0");                  // v690: empty sysInfoType6-v690ext
  chain.Pattern("1").Pattern("10").Pattern("000");  // v770: empty tdd768SpecificInfo
  Sib6 s;
  s.chain = &chain;
  const Decoded d = DecodeBare(6, EncodeSib6(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string(kSib6Head) + kModeTdd +
                 "    v4b0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "        sysInfoType6_v4b0ext\r\n"
                 "        {\r\n"
                 "            tdd128SpecificInfo\r\n"
                 "            {\r\n"
                 "                pCCPCH_LCR_Extensions\r\n"
                 "                {\r\n"
                 "                    tstd_Indicator = True\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "            frequencyBandIndicator = fdd2100\n"
                 "        }\r\n"
                 "        v590NonCriticalExtensions\r\n"
                 "        {\r\n"
                 "            sysInfoType6_v590ext\r\n"
                 "            {\r\n"
                 "            }\r\n"
                 "            v650nonCriticalExtensions\r\n"
                 "            {\r\n"
                 "                sysInfoType6_v650ext\r\n"
                 "                {\r\n"
                 "                    frequencyBandIndicator2 = extension-indicator\n"
                 "                }\r\n"
                 "                v690nonCriticalExtensions\r\n"
                 "                {\r\n"
                 "                    sysInfoType6_v690ext\r\n"
                 "                    {\r\n"
                 "                    }\r\n"
                 "                    v770NonCriticalExtensions\r\n"
                 "                    {\r\n"
                 "                        sysInfoType6_v770ext\r\n"
                 "                        {\r\n"
                 "                            tdd768SpecificInfo\r\n"
                 "                            {\r\n"
                 "                            }\r\n"
                 "                        }\r\n"
                 "                        nonCriticalExtensions\r\n"
                 "                        {\r\n"
                 "                        }\r\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "    }\r\n"
                 "}\r\n",
             d.text);
}

TEST(Sib6Golden, OneBchBlockThroughRrcParserX) {
  Sib6 s;
  s.pichPowerOffset = -10;
  s.prach = {Prach()};
  const std::vector<uint8_t> block =
      sibtest::Block(2047, 9, BitWriter().Bits(6, 5).Append(EncodeSib6(s)));
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string("SysInfoType6 ::=\r\n"
                         "{\r\n"
                         "        pich_PowerOffset = -10\r\n") +
                 kModeTdd + kPrach0 + "}\r\n" + RawTrailer(block),
             d.text);
}

// An encoding of no bytes: the first presence bit cannot be read. The lists stay empty, the
// modeSpecificInfo CHOICE is never chosen (empty braces), and the values never decoded
// (sib6indicator, pich_PowerOffset) have no defined content.
TEST(EmptyEncodingGolden, Sib5Sib6) {
  const Decoded five = DecodeBare(5, BitWriter());
  ASSERT_EQ(sibdecode::kDecoded, five.result);
  ExpectLinesMatch({"SysInfoType5 ::=\r\n", "{\r\n", "    sib6indicator = *\r\n",
                    "        pich_PowerOffset = *\r\n", "    modeSpecificInfo\r\n", "    {\r\n",
                    "    }\r\n", "}\r\n"},
                   five.text);
  const Decoded six = DecodeBare(6, BitWriter());
  ASSERT_EQ(sibdecode::kDecoded, six.result);
  ExpectLinesMatch({"SysInfoType6 ::=\r\n", "{\r\n", "        pich_PowerOffset = *\r\n",
                    "    modeSpecificInfo\r\n", "    {\r\n", "    }\r\n", "}\r\n"},
                   six.text);
}

}  // namespace
