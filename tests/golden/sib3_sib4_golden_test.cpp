// Golden tests for the SIB3 and SIB4 texts. Every encoding is built bit by bit from the
// SysInfoType3 / SysInfoType4 ASN.1 (unaligned PER) and every expected text is spelled out.
//
// Depths that are easy to get wrong and that these cases pin down:
// - mappingInfo elements stand at 12 inside cellSelectReselectInfo (4), their "rat" at 20;
// - rat_List elements stand at 20 in "fdd" (12) but at 16 in "tdd" (12);
// - "fdd" puts s_Intrasearch, s_Intersearch and q_QualMin at 20 but s_SearchHCS and q_RxlevMin
//   at 16;
// - t_CRMaxHyst stands one level deeper than n_CR; deltaQrxlevmin / deltaQhcs two levels inside
//   their block; t_Reselection_S_FACH one level deeper than the other PCH/FACH members.
// Enumeration lines end in "\n" except functionType, rat_Identifier, the ReservedIndicator members
// and the barred/notBarred list elements, which end in "\r\n".
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "sibdecode/sibdecode.h"
#include "support/bit_writer.h"
#include "support/golden_text.h"

namespace {

using sibtest::BitWriter;
using sibtest::DecodeBare;
using sibtest::Decoded;
using sibtest::ExpectLinesMatch;
using sibtest::ExpectSummary;
using sibtest::ExpectText;

// Marks an OPTIONAL or DEFAULT integer that the encoding leaves out.
constexpr int kAbsent = -1000;

// ---------------------------------------------------------------------------------------------
// Encoders, one per ASN.1 type under SysInfoType3 / SysInfoType4.

struct MapFn {            // MappingFunctionParameter
  unsigned functionType;  // linear, functionType2, functionType3, functionType4
  int mapParameter1;      // 0..127 or kAbsent
  int mapParameter2;      // 0..127
  int upperLimit;         // 1..91 or kAbsent
};

// MappingFunctionParameterList: SIZE (1..3), a 2-bit count.
void PutMapFnList(BitWriter& w, const std::vector<MapFn>& list) {
  w.Constrained(static_cast<int64_t>(list.size()), 1, 3);
  for (const MapFn& f : list) {
    w.Bit(f.mapParameter1 != kAbsent).Bit(f.upperLimit != kAbsent);
    w.Constrained(f.functionType, 0, 3);
    if (f.mapParameter1 != kAbsent) w.Constrained(f.mapParameter1, 0, 127);
    w.Constrained(f.mapParameter2, 0, 127);
    if (f.upperLimit != kAbsent) w.Constrained(f.upperLimit, 1, 91);
  }
}

struct Mapping {
  unsigned rat;  // utra-FDD, utra-TDD, gsm, cdma2000
  std::vector<MapFn> functions;
};

// MappingInfo: SIZE (1..16), a 4-bit count.
void PutMappingInfo(BitWriter& w, const std::vector<Mapping>& list) {
  w.Constrained(static_cast<int64_t>(list.size()), 1, 16);
  for (const Mapping& m : list) {
    w.Constrained(m.rat, 0, 3);
    PutMapFnList(w, m.functions);
  }
}

// T-CRMax alternatives (3-bit index); 6 and 7 lie outside the choice.
enum : unsigned { kNotUsed = 0, kT30, kT60, kT120, kT180, kT240 };

struct TCrMax {
  unsigned alternative;
  int nCR;        // 1..16 or kAbsent (DEFAULT 8)
  unsigned hyst;  // T-CRMaxHyst: notUsed, t10 .. t70
};

void PutTCrMax(BitWriter& w, const TCrMax& t) {
  w.Bits(t.alternative, 3);
  if (t.alternative >= kT30 && t.alternative <= kT240) {
    w.Bit(t.nCR != kAbsent);
    if (t.nCR != kAbsent) w.Constrained(t.nCR, 1, 16);
    w.Constrained(t.hyst, 0, 7);
  }
}

struct Hcs {    // HCS-ServingCellInformation
  int hcsPrio;  // 0..7 or kAbsent (DEFAULT 0)
  int qHcs;     // 0..99 or kAbsent (DEFAULT 0)
  bool hasTCrMax;
  TCrMax tCrMax;
};

void PutHcs(BitWriter& w, const Hcs& h) {
  w.Bit(h.hcsPrio != kAbsent).Bit(h.qHcs != kAbsent).Bit(h.hasTCrMax);
  if (h.hcsPrio != kAbsent) w.Constrained(h.hcsPrio, 0, 7);
  if (h.qHcs != kAbsent) w.Constrained(h.qHcs, 0, 99);
  if (h.hasTCrMax) PutTCrMax(w, h.tCrMax);
}

struct RatInfo {           // RAT-FDD-Info or RAT-TDD-Info
  unsigned ratIdentifier;  // gsm, cdma2000
  int sSearchRAT;
  int sHcsRat;  // or kAbsent
  int sLimitSearchRAT;
};

// CellSelectReselectInfoSIB-3-4. The defaults make the smallest tdd encoding.
struct Csri {
  std::vector<Mapping> mappingInfo;  // empty: absent
  bool cpichEcN0 = false;            // false: cpich-RSCP
  int qHyst2S = kAbsent;
  bool fdd = false;
  int sIntrasearch = kAbsent;
  int sIntersearch = kAbsent;
  int sSearchHCS = kAbsent;
  std::vector<RatInfo> ratList;  // empty: absent
  int qQualMin = -24;            // fdd only
  int qRxlevMin = -13;
  int qHystlS = 0;
  int tReselectionS = 0;
  bool hasHcs = false;
  Hcs hcs{kAbsent, kAbsent, false, {kNotUsed, kAbsent, 0}};
  int maxAllowedULTxPower = 33;
};

void PutCsri(BitWriter& w, const Csri& c) {
  w.Bit(!c.mappingInfo.empty()).Bit(c.hasHcs);
  if (!c.mappingInfo.empty()) PutMappingInfo(w, c.mappingInfo);
  // cellSelectQualityMeasure: cpich-Ec-N0 (0) or cpich-RSCP (1).
  w.Bit(!c.cpichEcN0);
  if (c.cpichEcN0) {
    w.Bit(c.qHyst2S != kAbsent);
    if (c.qHyst2S != kAbsent) w.Constrained(c.qHyst2S, 0, 20);
  }
  // modeSpecificInfo: fdd (0) or tdd (1).
  w.Bit(!c.fdd);
  w.Bit(c.sIntrasearch != kAbsent).Bit(c.sIntersearch != kAbsent).Bit(c.sSearchHCS != kAbsent);
  w.Bit(!c.ratList.empty());
  const int searchLower = c.fdd ? -16 : -53;  // S-SearchQual or S-SearchRXLEV
  const int searchUpper = c.fdd ? 10 : 45;
  if (c.sIntrasearch != kAbsent) w.Constrained(c.sIntrasearch, searchLower, searchUpper);
  if (c.sIntersearch != kAbsent) w.Constrained(c.sIntersearch, searchLower, searchUpper);
  if (c.sSearchHCS != kAbsent) w.Constrained(c.sSearchHCS, -53, 45);
  if (!c.ratList.empty()) {
    w.Constrained(static_cast<int64_t>(c.ratList.size()), 1, 15);
    for (const RatInfo& r : c.ratList) {
      w.Bit(r.sHcsRat != kAbsent);
      w.Constrained(r.ratIdentifier, 0, 1);
      w.Constrained(r.sSearchRAT, searchLower, searchUpper);
      if (r.sHcsRat != kAbsent) w.Constrained(r.sHcsRat, -53, 45);
      w.Constrained(r.sLimitSearchRAT, searchLower, searchUpper);
    }
  }
  if (c.fdd) w.Constrained(c.qQualMin, -24, 0);
  w.Constrained(c.qRxlevMin, -58, -13);
  w.Constrained(c.qHystlS, 0, 20);
  w.Constrained(c.tReselectionS, 0, 31);
  if (c.hasHcs) PutHcs(w, c.hcs);
  w.Constrained(c.maxAllowedULTxPower, -50, 33);
}

// CellAccessRestriction. The defaults: notBarred, notReserved, reserved, no list.
struct Car {
  bool barred = false;
  unsigned intraFreqCellReselectionInd = 0;  // allowed, notAllowed
  unsigned tBarred = 0;                      // s10 .. s1280
  unsigned cellReservedForOperatorUse = 1;   // reserved, notReserved
  unsigned cellReservationExtension = 0;
  std::string accessClassBarred;  // 16 digits, 0 barred / 1 notBarred; empty: absent
};

void PutCar(BitWriter& w, const Car& c) {
  w.Bit(!c.accessClassBarred.empty());
  w.Bit(!c.barred);
  if (c.barred) {
    w.Constrained(c.intraFreqCellReselectionInd, 0, 1);
    w.Constrained(c.tBarred, 0, 7);
  }
  w.Constrained(c.cellReservedForOperatorUse, 0, 1);
  w.Constrained(c.cellReservationExtension, 0, 1);
  // AccessClassBarredList is SIZE (16): no count, one bit per element.
  if (!c.accessClassBarred.empty()) w.Pattern(c.accessClassBarred);
}

// DomainSpecificAccessRestriction-v670ext: "" noRestriction, "-" restriction without a list,
// otherwise restriction with the 16 list digits.
void PutDomainRestriction(BitWriter& w, const std::string& r) {
  if (r.empty()) {
    w.Bit(0);
    return;
  }
  w.Bit(1);
  w.Bit(r != "-");
  if (r != "-") w.Pattern(r);
}

void PutDomainParams(BitWriter& w, const std::string& cs, const std::string& ps) {
  PutDomainRestriction(w, cs);
  PutDomainRestriction(w, ps);
}

BitWriter Sib3(bool sib4indicator, uint32_t cellIdentity, const Csri& csri, const Car& car,
               const BitWriter* chain) {
  BitWriter w;
  w.Bit(chain != nullptr);  // v4b0NonCriticalExtensions
  w.Bit(sib4indicator);
  w.Bits(cellIdentity, 28);
  PutCsri(w, csri);
  PutCar(w, car);
  if (chain != nullptr) w.Append(*chain);
  return w;
}

BitWriter Sib4(uint32_t cellIdentity, const Csri& csri, const Car& car, const BitWriter* chain) {
  BitWriter w;
  w.Bit(chain != nullptr);
  w.Bits(cellIdentity, 28);
  PutCsri(w, csri);
  PutCar(w, car);
  if (chain != nullptr) w.Append(*chain);
  return w;
}

// ---------------------------------------------------------------------------------------------
// Text pieces of the smallest SIB3 / SIB4: cellIdentity 0x5A5A5A5, cpich_RSCP, tdd with
// q_RxlevMin only, no HCS, notBarred, notReserved / reserved, no list.

constexpr uint32_t kSmallIdentity = 0x5A5A5A5;

const char kSmallHead3[] =
    "SysInfoType3 ::=\r\n"
    "{\r\n"
    "    sib4indicator = False\r\n"
    "    cellIdentity = \"0101101001011010010110100101\"\r\n";

const char kSmallHead4[] =
    "SysInfoType4 ::=\r\n"
    "{\r\n"
    "    cellIdentity = \"0101101001011010010110100101\"\r\n";

const char kCsriOpen[] =
    "    cellSelectReselectInfo\r\n"
    "    {\r\n";

const char kRscpTdd[] =  // cellSelectQualityMeasure and modeSpecificInfo of the smallest SIB
    "        cellSelectQualityMeasure\r\n"
    "        {\r\n"
    "            cpich_RSCP\r\n"
    "        }\r\n"
    "        modeSpecificInfo\r\n"
    "        {\r\n"
    "            tdd\r\n"
    "            {\r\n"
    "                q_RxlevMin = -13\r\n"
    "            }\r\n"
    "        }\r\n";

const char kHystResel00[] =
    "        q_Hyst_l_S = 0\r\n"
    "        t_Reselection_S = 0\r\n";

const char kCsriClose[] =
    "        maxAllowedUL_TX_Power = 33\r\n"
    "    }\r\n";

const char kSmallCar[] =
    "    cellAccessRestriction\r\n"
    "    {\r\n"
    "        cellBarred\r\n"
    "        {\r\n"
    "            notBarred\r\n"
    "        }\r\n"
    "        cellReservedForOperatorUse = notReserved\r\n"
    "        cellReservationExtension = reserved\r\n"
    "    }\r\n";

std::string SmallCsriText() {
  return std::string(kCsriOpen) + kRscpTdd + kHystResel00 + kCsriClose;
}

// ---------------------------------------------------------------------------------------------
// SIB3 with every level of its extension chain filled.

TEST(Sib3Golden, FullExtensionChainToV770WithNonCriticalExtensions) {
  Csri csri;
  csri.mappingInfo = {{1, {{0, kAbsent, 5, kAbsent}, {2, 10, 20, 91}}}, {3, {{3, 127, 0, 1}}}};
  csri.cpichEcN0 = true;
  csri.qHyst2S = 20;
  csri.sIntrasearch = -53;
  csri.sIntersearch = 45;
  csri.sSearchHCS = 0;
  csri.ratList = {{0, -1, 7, 12}};
  csri.qRxlevMin = -58;
  csri.qHystlS = 20;
  csri.tReselectionS = 31;
  csri.hasHcs = true;
  csri.hcs = {7, 99, true, {kT120, 16, 7}};
  csri.maxAllowedULTxPower = -50;
  Car car;
  car.barred = true;
  car.intraFreqCellReselectionInd = 1;
  car.tBarred = 7;
  car.cellReservedForOperatorUse = 1;
  car.cellReservationExtension = 0;
  car.accessClassBarred = "0110 1001 0000 1111";

  BitWriter chain;
  // v4b0NonCriticalExtensions: v590 present; sysInfoType3-v4b0ext with mapping-LCR.
  chain.Bit(1).Bit(1);
  PutMapFnList(chain, {{0, 0, 127, 45}, {1, kAbsent, 64, kAbsent}, {3, kAbsent, 1, 2}});
  // v590NonCriticalExtension: v5c0 present; cellSelectReselectInfo-v590ext with both deltas.
  chain.Bit(1).Bit(1).Bit(1).Bit(1);
  chain.Constrained(-2, -2, -1).Constrained(-5, -5, -1);
  // v5c0NoncriticalExtension: v670 present; TreselectionScaling with all four members.
  chain.Bit(1).Bit(1).Pattern("1111");
  PutTCrMax(chain, {kT30, kAbsent, 1});
  chain.Constrained(10, 0, 10).Constrained(4, 4, 19).Constrained(19, 4, 19);
  // v670NonCriticalExtension: v770 present; both members of sysInfoType3-v670ext.
  chain.Bit(1).Pattern("11");
  PutDomainParams(chain, "", "1000000000000001");
  chain.Bit(0);            // domainSpecificAccessRestictionList
  chain.Pattern("10001");  // operators 1 and 5
  PutDomainParams(chain, "-", "");
  PutDomainParams(chain, "", "");
  // v770NonCriticalExtension: nonCriticalExtensions present; all four members.
  chain.Bit(1).Pattern("1111");
  chain.Bit(1).Bit(1);  // modeSpecificInfo present: tdd
  chain.Constrained(2, 1, 2).Constrained(1, 0, 1).Constrained(0, 0, 1);
  chain.Constrained(16, 1, 16).Constrained(1, 1, 8);  // mbsfnOnlyService takes no bits

  const Decoded d = DecodeBare(3, Sib3(true, 0x0123456, csri, car, &chain));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0x123456, 0);
  ExpectText(
      "SysInfoType3 ::=\r\n"
      "{\r\n"
      "    sib4indicator = True\r\n"
      "    cellIdentity = \"0000000100100011010001010110\"\r\n"
      "    cellSelectReselectInfo\r\n"
      "    {\r\n"
      "            mappingInfo[0]\r\n"
      "            {\r\n"
      "                    rat = utra-TDD\n"
      "                mappingFunctionParameterList[0]\r\n"
      "                {\r\n"
      "                    functionType = linear\r\n"
      "                    mapParameter2 = 5\r\n"
      "                }\r\n"
      "                mappingFunctionParameterList[1]\r\n"
      "                {\r\n"
      "                    functionType = functionType3\r\n"
      "                    mapParameter1 = 10\r\n"
      "                    mapParameter2 = 20\r\n"
      "                    upperLimit = 91\r\n"
      "                }\r\n"
      "            }\r\n"
      "            mappingInfo[1]\r\n"
      "            {\r\n"
      "                    rat = cdma2000\n"
      "                mappingFunctionParameterList[0]\r\n"
      "                {\r\n"
      "                    functionType = functionType4\r\n"
      "                    mapParameter1 = 127\r\n"
      "                    mapParameter2 = 0\r\n"
      "                    upperLimit = 1\r\n"
      "                }\r\n"
      "            }\r\n"
      "        cellSelectQualityMeasure\r\n"
      "        {\r\n"
      "            cpich_Ec_N0\r\n"
      "            {\r\n"
      "                q_HYST_2_S = 20\r\n"
      "            }\r\n"
      "        }\r\n"
      "        modeSpecificInfo\r\n"
      "        {\r\n"
      "            tdd\r\n"
      "            {\r\n"
      "                s_Intrasearch = -53\r\n"
      "                s_Intersearch = 45\r\n"
      "                s_SearchHCS = 0\r\n"
      "                rat_List[0]\r\n"
      "                {\r\n"
      "                    rat_Identifier = gsm\r\n"
      "                    s_SearchRAT = -1\r\n"
      "                    s_HCS_RAT = 7\r\n"
      "                    s_Limit_SearchRAT = 12\r\n"
      "                }\r\n"
      "                q_RxlevMin = -58\r\n"
      "            }\r\n"
      "        }\r\n"
      "        q_Hyst_l_S = 20\r\n"
      "        t_Reselection_S = 31\r\n"
      "        hcs_ServingCellInformation\r\n"
      "        {\r\n"
      "            hcs_PRIO = 7\r\n"
      "            q_HCS = 99\r\n"
      "            t_CR_Max\r\n"
      "            {\r\n"
      "                t120\r\n"
      "                {\r\n"
      "                    n_CR = 16\r\n"
      "                        t_CRMaxHyst = t70\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "        maxAllowedUL_TX_Power = -50\r\n"
      "    }\r\n"
      "    cellAccessRestriction\r\n"
      "    {\r\n"
      "        cellBarred\r\n"
      "        {\r\n"
      "            barred\r\n"
      "            {\r\n"
      "                    intraFreqCellReselectionInd = notAllowed\n"
      "                    t_Barred = s1280\n"
      "            }\r\n"
      "        }\r\n"
      "        cellReservedForOperatorUse = notReserved\r\n"
      "        cellReservationExtension = reserved\r\n"
      "        accessClassBarredList[0] = barred\r\n"
      "        accessClassBarredList[1] = notBarred\r\n"
      "        accessClassBarredList[2] = notBarred\r\n"
      "        accessClassBarredList[3] = barred\r\n"
      "        accessClassBarredList[4] = notBarred\r\n"
      "        accessClassBarredList[5] = barred\r\n"
      "        accessClassBarredList[6] = barred\r\n"
      "        accessClassBarredList[7] = notBarred\r\n"
      "        accessClassBarredList[8] = barred\r\n"
      "        accessClassBarredList[9] = barred\r\n"
      "        accessClassBarredList[10] = barred\r\n"
      "        accessClassBarredList[11] = barred\r\n"
      "        accessClassBarredList[12] = notBarred\r\n"
      "        accessClassBarredList[13] = notBarred\r\n"
      "        accessClassBarredList[14] = notBarred\r\n"
      "        accessClassBarredList[15] = notBarred\r\n"
      "    }\r\n"
      "    v4b0NonCriticalExtensions\r\n"
      "    {\r\n"
      "        sysInfoType3_v4b0ext\r\n"
      "        {\r\n"
      "            mapping_LCR\r\n"
      "            {\r\n"
      "                mappingFunctionParameterList[0]\r\n"
      "                {\r\n"
      "                    functionType = linear\r\n"
      "                    mapParameter1 = 0\r\n"
      "                    mapParameter2 = 127\r\n"
      "                    upperLimit = 45\r\n"
      "                }\r\n"
      "                mappingFunctionParameterList[1]\r\n"
      "                {\r\n"
      "                    functionType = functionType2\r\n"
      "                    mapParameter2 = 64\r\n"
      "                }\r\n"
      "                mappingFunctionParameterList[2]\r\n"
      "                {\r\n"
      "                    functionType = functionType4\r\n"
      "                    mapParameter2 = 1\r\n"
      "                    upperLimit = 2\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "        v590NonCriticalExtension\r\n"
      "        {\r\n"
      "            sysInfoType3_v590ext\r\n"
      "            {\r\n"
      "                cellSelectReselectInfo_v590ext\r\n"
      "                {\r\n"
      "                        deltaQrxlevmin = -2\r\n"
      "                        deltaQhcs = -5\r\n"
      "                }\r\n"
      "            }\r\n"
      "            v5c0NoncriticalExtension\r\n"
      "            {\r\n"
      "                sysInfoType3_v5c0ext\r\n"
      "                {\r\n"
      "                    cellSelectReselectInfoTreselectionScaling_v5c0ext\r\n"
      "                    {\r\n"
      "                        non_HCS_t_CR_Max\r\n"
      "                        {\r\n"
      "                            t30\r\n"
      "                            {\r\n"
      "                                n_CR = 8\r\n"
      "                                    t_CRMaxHyst = t10\n"
      "                            }\r\n"
      "                        }\r\n"
      "                            speedDependentScalingFactor = 10\r\n"
      "                            interFrequencyTreselectionScalingFactor = 4\r\n"
      "                            interRATTreselectionScalingFactor = 19\r\n"
      "                    }\r\n"
      "                }\r\n"
      "                v670NonCriticalExtension\r\n"
      "                {\r\n"
      "                    sysInfoType3_v670ext\r\n"
      "                    {\r\n"
      "                        domainSpecificAccessRestrictionParametersForPLMNOfMIB\r\n"
      "                        {\r\n"
      "                            cSDomainSpecificAccessRestriction\r\n"
      "                            {\r\n"
      "                                noRestriction\r\n"
      "                            }\r\n"
      "                            pSDomainSpecificAccessRestriction\r\n"
      "                            {\r\n"
      "                                restriction\r\n"
      "                                {\r\n"
      "                                    domainSpecficAccessClassBarredList[0] = notBarred\r\n"
      "                                    domainSpecficAccessClassBarredList[1] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[2] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[3] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[4] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[5] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[6] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[7] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[8] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[9] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[10] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[11] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[12] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[13] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[14] = barred\r\n"
      "                                    domainSpecficAccessClassBarredList[15] = notBarred\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                        domainSpecificAccessRestictionForSharedNetwork\r\n"
      "                        {\r\n"
      "                            domainSpecificAccessRestictionList\r\n"
      "                            {\r\n"
      "                                domainSpecificAccessRestrictionParametersForOperator1\r\n"
      "                                {\r\n"
      "                                    cSDomainSpecificAccessRestriction\r\n"
      "                                    {\r\n"
      "                                        restriction\r\n"
      "                                        {\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                    pSDomainSpecificAccessRestriction\r\n"
      "                                    {\r\n"
      "                                        noRestriction\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                                domainSpecificAccessRestrictionParametersForOperator5\r\n"
      "                                {\r\n"
      "                                    cSDomainSpecificAccessRestriction\r\n"
      "                                    {\r\n"
      "                                        noRestriction\r\n"
      "                                    }\r\n"
      "                                    pSDomainSpecificAccessRestriction\r\n"
      "                                    {\r\n"
      "                                        noRestriction\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "                    v770NonCriticalExtension\r\n"
      "                    {\r\n"
      "                        sysInfoType3_v770ext\r\n"
      "                        {\r\n"
      "                            deferredMeasurementControlReadingSupport\r\n"
      "                            {\r\n"
      "                                modeSpecificInfo\r\n"
      "                                {\r\n"
      "                                    tdd\r\n"
      "                                    {\r\n"
      "                                                intraFreqMeasQuantity_TDDList[0] = "
      "timeslotISCP\n"
      "                                                intraFreqMeasQuantity_TDDList[1] = "
      "primaryCCPCH-RSCP\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                                q_QualMin_Offset = 16\r\n"
      "                                q_RxlevMin_Offset = 1\r\n"
      "                                mBSFNOnlyService = true\n"
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

// ---------------------------------------------------------------------------------------------
// The chain cut at every level, each extension record empty: names and nesting depths.

struct ChainCase {
  const char* name;
  int levels;  // containers present, counted from v4b0
  bool nonCriticalExtensions;
  const char* expectedChain;
};

// SIB3 levels: v4b0 (v4b0ext: 1 bit), v590 (v590ext: 1 bit), v5c0 (v5c0ext: 1 bit),
// v670 (v670ext: 2 bits), v770 (v770ext: 4 bits). Each container's own presence bit comes first.
BitWriter EmptySib3Chain(int levels, bool nonCritical) {
  const unsigned recordBits[] = {1, 1, 1, 2, 4};
  BitWriter w;
  for (int level = 1; level <= levels; ++level) {
    w.Bit(level < 5 ? level < levels : nonCritical);
    w.Bits(0, recordBits[level - 1]);
  }
  return w;
}

const ChainCase kSib3Chains[] = {
    {"v4b0", 1, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v590", 2, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType3_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v5c0", 3, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType3_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5c0NoncriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType3_v5c0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v670", 4, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType3_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5c0NoncriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType3_v5c0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "                v670NonCriticalExtension\r\n"
     "                {\r\n"
     "                    sysInfoType3_v670ext\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v770", 5, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType3_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5c0NoncriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType3_v5c0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "                v670NonCriticalExtension\r\n"
     "                {\r\n"
     "                    sysInfoType3_v670ext\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                    v770NonCriticalExtension\r\n"
     "                    {\r\n"
     "                        sysInfoType3_v770ext\r\n"
     "                        {\r\n"
     "                        }\r\n"
     "                    }\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v770AndNonCriticalExtensions", 5, true,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType3_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType3_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5c0NoncriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType3_v5c0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "                v670NonCriticalExtension\r\n"
     "                {\r\n"
     "                    sysInfoType3_v670ext\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                    v770NonCriticalExtension\r\n"
     "                    {\r\n"
     "                        sysInfoType3_v770ext\r\n"
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
};

TEST(Sib3Golden, ExtensionChainCutAtEachLevel) {
  for (const ChainCase& c : kSib3Chains) {
    SCOPED_TRACE(c.name);
    const BitWriter chain = EmptySib3Chain(c.levels, c.nonCriticalExtensions);
    const Decoded d = DecodeBare(3, Sib3(false, kSmallIdentity, Csri(), Car(), &chain));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSmallHead3) + SmallCsriText() + kSmallCar + c.expectedChain + "}\r\n",
               d.text);
  }
}

TEST(Sib3Golden, NoExtensionsPrintsNoExtensionBraces) {
  const Decoded d = DecodeBare(3, Sib3(false, kSmallIdentity, Csri(), Car(), nullptr));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, kSmallIdentity, 0);
  ExpectText(
      "SysInfoType3 ::=\r\n"
      "{\r\n"
      "    sib4indicator = False\r\n"
      "    cellIdentity = \"0101101001011010010110100101\"\r\n"
      "    cellSelectReselectInfo\r\n"
      "    {\r\n"
      "        cellSelectQualityMeasure\r\n"
      "        {\r\n"
      "            cpich_RSCP\r\n"
      "        }\r\n"
      "        modeSpecificInfo\r\n"
      "        {\r\n"
      "            tdd\r\n"
      "            {\r\n"
      "                q_RxlevMin = -13\r\n"
      "            }\r\n"
      "        }\r\n"
      "        q_Hyst_l_S = 0\r\n"
      "        t_Reselection_S = 0\r\n"
      "        maxAllowedUL_TX_Power = 33\r\n"
      "    }\r\n"
      "    cellAccessRestriction\r\n"
      "    {\r\n"
      "        cellBarred\r\n"
      "        {\r\n"
      "            notBarred\r\n"
      "        }\r\n"
      "        cellReservedForOperatorUse = notReserved\r\n"
      "        cellReservationExtension = reserved\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

// ---------------------------------------------------------------------------------------------
// The contents of the v670 and v770 records.

struct V670V770Case {
  const char* name;
  std::function<void(BitWriter&)> v670ext;
  bool nonCriticalExtensions;
  std::function<void(BitWriter&)> v770ext;
  const char* expected;  // from sysInfoType3_v670ext to the closing brace of v770
};

const char kChainToV670[] =
    "    v4b0NonCriticalExtensions\r\n"
    "    {\r\n"
    "        sysInfoType3_v4b0ext\r\n"
    "        {\r\n"
    "        }\r\n"
    "        v590NonCriticalExtension\r\n"
    "        {\r\n"
    "            sysInfoType3_v590ext\r\n"
    "            {\r\n"
    "            }\r\n"
    "            v5c0NoncriticalExtension\r\n"
    "            {\r\n"
    "                sysInfoType3_v5c0ext\r\n"
    "                {\r\n"
    "                }\r\n"
    "                v670NonCriticalExtension\r\n"
    "                {\r\n";

const char kChainFromV670[] =
    "                }\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n";

TEST(Sib3Golden, V670AndV770Contents) {
  const V670V770Case cases[] = {
      {"ForAllAndDeferredFdd",
       [](BitWriter& w) {
         w.Pattern("01");
         w.Bit(1);  // domainSpecificAccessRestictionParametersForAll
         PutDomainParams(w, "0000000000000000", "");
       },
       false,
       [](BitWriter& w) {
         w.Pattern("1000");
         w.Bit(1).Bit(0).Constrained(1, 0, 1);  // modeSpecificInfo fdd: cpich-RSCP
       },
       "                    sysInfoType3_v670ext\r\n"
       "                    {\r\n"
       "                        domainSpecificAccessRestictionForSharedNetwork\r\n"
       "                        {\r\n"
       "                            domainSpecificAccessRestictionParametersForAll\r\n"
       "                            {\r\n"
       "                                cSDomainSpecificAccessRestriction\r\n"
       "                                {\r\n"
       "                                    restriction\r\n"
       "                                    {\r\n"
       "                                        domainSpecficAccessClassBarredList[0] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[1] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[2] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[3] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[4] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[5] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[6] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[7] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[8] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[9] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[10] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[11] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[12] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[13] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[14] = barred\r\n"
       "                                        domainSpecficAccessClassBarredList[15] = barred\r\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                                pSDomainSpecificAccessRestriction\r\n"
       "                                {\r\n"
       "                                    noRestriction\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                    v770NonCriticalExtension\r\n"
       "                    {\r\n"
       "                        sysInfoType3_v770ext\r\n"
       "                        {\r\n"
       "                            deferredMeasurementControlReadingSupport\r\n"
       "                            {\r\n"
       "                                modeSpecificInfo\r\n"
       "                                {\r\n"
       "                                    fdd\r\n"
       "                                    {\r\n"
       "                                            intraFreqMeasQuantity_FDD = cpich-RSCP\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                        }\r\n"
       "                    }\r\n"},
      {"PlmnRestrictionsWithoutListsAndDeferredWithoutMode",
       [](BitWriter& w) {
         w.Pattern("10");
         PutDomainParams(w, "-", "-");
       },
       false,
       [](BitWriter& w) {
         w.Pattern("1010");
         w.Bit(0);  // no modeSpecificInfo
         w.Constrained(8, 1, 8);
       },
       "                    sysInfoType3_v670ext\r\n"
       "                    {\r\n"
       "                        domainSpecificAccessRestrictionParametersForPLMNOfMIB\r\n"
       "                        {\r\n"
       "                            cSDomainSpecificAccessRestriction\r\n"
       "                            {\r\n"
       "                                restriction\r\n"
       "                                {\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                            pSDomainSpecificAccessRestriction\r\n"
       "                            {\r\n"
       "                                restriction\r\n"
       "                                {\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                    v770NonCriticalExtension\r\n"
       "                    {\r\n"
       "                        sysInfoType3_v770ext\r\n"
       "                        {\r\n"
       "                            deferredMeasurementControlReadingSupport\r\n"
       "                            {\r\n"
       "                            }\r\n"
       "                                q_RxlevMin_Offset = 8\r\n"
       "                        }\r\n"
       "                    }\r\n"},
      {"DeferredFddEcN0AndOneTddElementWithOperators2To4",
       [](BitWriter& w) {
         w.Pattern("01");
         w.Bit(0);            // domainSpecificAccessRestictionList
         w.Pattern("01110");  // operators 2, 3 and 4
         PutDomainParams(w, "", "-");
         PutDomainParams(w, "-", "");
         PutDomainParams(w, "", "");
       },
       true,
       [](BitWriter& w) {
         w.Pattern("1101");
         w.Bit(1).Bit(1).Constrained(1, 1, 2).Constrained(0, 0, 1);  // tdd, one element
         w.Constrained(1, 1, 16);
       },
       "                    sysInfoType3_v670ext\r\n"
       "                    {\r\n"
       "                        domainSpecificAccessRestictionForSharedNetwork\r\n"
       "                        {\r\n"
       "                            domainSpecificAccessRestictionList\r\n"
       "                            {\r\n"
       "                                domainSpecificAccessRestrictionParametersForOperator2\r\n"
       "                                {\r\n"
       "                                    cSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        noRestriction\r\n"
       "                                    }\r\n"
       "                                    pSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        restriction\r\n"
       "                                        {\r\n"
       "                                        }\r\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                                domainSpecificAccessRestrictionParametersForOperator3\r\n"
       "                                {\r\n"
       "                                    cSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        restriction\r\n"
       "                                        {\r\n"
       "                                        }\r\n"
       "                                    }\r\n"
       "                                    pSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        noRestriction\r\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                                domainSpecificAccessRestrictionParametersForOperator4\r\n"
       "                                {\r\n"
       "                                    cSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        noRestriction\r\n"
       "                                    }\r\n"
       "                                    pSDomainSpecificAccessRestriction\r\n"
       "                                    {\r\n"
       "                                        noRestriction\r\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                        }\r\n"
       "                    }\r\n"
       "                    v770NonCriticalExtension\r\n"
       "                    {\r\n"
       "                        sysInfoType3_v770ext\r\n"
       "                        {\r\n"
       "                            deferredMeasurementControlReadingSupport\r\n"
       "                            {\r\n"
       "                                modeSpecificInfo\r\n"
       "                                {\r\n"
       "                                    tdd\r\n"
       "                                    {\r\n"
       "                                                intraFreqMeasQuantity_TDDList[0] = "
       "primaryCCPCH-RSCP\n"
       "                                    }\r\n"
       "                                }\r\n"
       "                            }\r\n"
       "                                q_QualMin_Offset = 1\r\n"
       "                                mBSFNOnlyService = true\n"
       "                        }\r\n"
       "                        nonCriticalExtensions\r\n"
       "                        {\r\n"
       "                        }\r\n"
       "                    }\r\n"},
  };
  for (const V670V770Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter chain;
    chain.Pattern("10 10 10");  // v4b0, v590, v5c0: next level present, empty record
    chain.Bit(1);               // v670: v770 present
    c.v670ext(chain);
    chain.Bit(c.nonCriticalExtensions);
    c.v770ext(chain);
    const Decoded d = DecodeBare(3, Sib3(false, kSmallIdentity, Csri(), Car(), &chain));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSmallHead3) + SmallCsriText() + kSmallCar + kChainToV670 + c.expected +
                   kChainFromV670 + "}\r\n",
               d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// SIB4 with every level of its chain filled, fdd branch with rat_List elements.

TEST(Sib4Golden, FullExtensionChainToV5c0WithNonCriticalExtensions) {
  Csri csri;
  csri.fdd = true;
  csri.sIntrasearch = -16;
  csri.sIntersearch = 10;
  csri.sSearchHCS = -53;
  csri.ratList = {{1, 10, 45, -16}, {0, -16, kAbsent, 0}};
  csri.qQualMin = 0;
  csri.qRxlevMin = -13;
  csri.qHystlS = 1;
  csri.tReselectionS = 2;
  csri.hasHcs = true;
  csri.hcs = {kAbsent, kAbsent, true, {kT240, 1, 0}};
  csri.maxAllowedULTxPower = 0;
  Car car;
  car.cellReservedForOperatorUse = 0;
  car.cellReservationExtension = 1;

  BitWriter chain;
  chain.Bit(1).Bit(0);  // v4b0: v590 present; no mapping-LCR
  chain.Bit(1).Bit(1);  // v590: v5b0 present; cellSelectReselectInfo-v590ext
  chain.Pattern("01").Constrained(-1, -5, -1);  // deltaQhcs only
  chain.Bit(1).Bit(1);  // v5b0: v5c0 present; cellSelectReselectInfoPCHFACH-v5b0ext
  chain.Pattern("111111");
  chain.Constrained(0, 0, 40).Constrained(40, 0, 40).Constrained(17, 0, 40).Constrained(1, 0, 40);
  chain.Constrained(31, 0, 31).Constrained(0, 0, 31);
  chain.Bit(1).Bit(1);  // v5c0: nonCriticalExtensions present; TreselectionScaling
  chain.Pattern("1010");
  PutTCrMax(chain, {kNotUsed, kAbsent, 0});
  chain.Constrained(12, 4, 19);

  const Decoded d = DecodeBare(4, Sib4(0xABCDEF1, csri, car, &chain));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0xABCDEF1);
  ExpectText(
      "SysInfoType4 ::=\r\n"
      "{\r\n"
      "    cellIdentity = \"1010101111001101111011110001\"\r\n"
      "    cellSelectReselectInfo\r\n"
      "    {\r\n"
      "        cellSelectQualityMeasure\r\n"
      "        {\r\n"
      "            cpich_RSCP\r\n"
      "        }\r\n"
      "        modeSpecificInfo\r\n"
      "        {\r\n"
      "            fdd\r\n"
      "            {\r\n"
      "                    s_Intrasearch = -16\r\n"
      "                    s_Intersearch = 10\r\n"
      "                s_SearchHCS = -53\r\n"
      "                    rat_List[0]\r\n"
      "                    {\r\n"
      "                        rat_Identifier = cdma2000\r\n"
      "                            s_SearchRAT = 10\r\n"
      "                        s_HCS_RAT = 45\r\n"
      "                            s_Limit_SearchRAT = -16\r\n"
      "                    }\r\n"
      "                    rat_List[1]\r\n"
      "                    {\r\n"
      "                        rat_Identifier = gsm\r\n"
      "                            s_SearchRAT = -16\r\n"
      "                            s_Limit_SearchRAT = 0\r\n"
      "                    }\r\n"
      "                    q_QualMin = 0\r\n"
      "                q_RxlevMin = -13\r\n"
      "            }\r\n"
      "        }\r\n"
      "        q_Hyst_l_S = 1\r\n"
      "        t_Reselection_S = 2\r\n"
      "        hcs_ServingCellInformation\r\n"
      "        {\r\n"
      "            hcs_PRIO = 0\r\n"
      "            q_HCS = 0\r\n"
      "            t_CR_Max\r\n"
      "            {\r\n"
      "                t240\r\n"
      "                {\r\n"
      "                    n_CR = 1\r\n"
      "                        t_CRMaxHyst = notUsed\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "        maxAllowedUL_TX_Power = 0\r\n"
      "    }\r\n"
      "    cellAccessRestriction\r\n"
      "    {\r\n"
      "        cellBarred\r\n"
      "        {\r\n"
      "            notBarred\r\n"
      "        }\r\n"
      "        cellReservedForOperatorUse = reserved\r\n"
      "        cellReservationExtension = notReserved\r\n"
      "    }\r\n"
      "    v4b0NonCriticalExtensions\r\n"
      "    {\r\n"
      "        sysInfoType4_v4b0ext\r\n"
      "        {\r\n"
      "        }\r\n"
      "        v590NonCriticalExtension\r\n"
      "        {\r\n"
      "            sysInfoType4_v590ext\r\n"
      "            {\r\n"
      "                cellSelectReselectInfo_v590ext\r\n"
      "                {\r\n"
      "                        deltaQhcs = -1\r\n"
      "                }\r\n"
      "            }\r\n"
      "            v5b0NonCriticalExtension\r\n"
      "            {\r\n"
      "                sysInfoType4_v5b0ext\r\n"
      "                {\r\n"
      "                    cellSelectReselectInfoPCHFACH_v5b0ext\r\n"
      "                    {\r\n"
      "                        q_Hyst_l_S_PCH = 0\r\n"
      "                        q_Hyst_l_S_FACH = 40\r\n"
      "                        q_Hyst_2_S_PCH = 17\r\n"
      "                        q_Hyst_2_S_FACH = 1\r\n"
      "                        t_Reselection_S_PCH = 31\r\n"
      "                            t_Reselection_S_FACH = 0\r\n"
      "                    }\r\n"
      "                }\r\n"
      "                v5c0NonCriticalExtension\r\n"
      "                {\r\n"
      "                    sysInfoType4_v5c0ext\r\n"
      "                    {\r\n"
      "                        cellSelectReselectInfoTreselectionScaling_v5c0ext\r\n"
      "                        {\r\n"
      "                            non_HCS_t_CR_Max\r\n"
      "                            {\r\n"
      "                                notUsed\r\n"
      "                            }\r\n"
      "                                interFrequencyTreselectionScalingFactor = 12\r\n"
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

// SIB4 levels: v4b0 (1 bit), v590 (1 bit), v5b0 (1 bit), v5c0 (1 bit).
BitWriter EmptySib4Chain(int levels, bool nonCritical) {
  BitWriter w;
  for (int level = 1; level <= levels; ++level) {
    w.Bit(level < 4 ? level < levels : nonCritical);
    w.Bit(0);
  }
  return w;
}

const ChainCase kSib4Chains[] = {
    {"v4b0", 1, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType4_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v590", 2, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType4_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType4_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v5b0", 3, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType4_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType4_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5b0NonCriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType4_v5b0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v5c0", 4, false,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType4_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType4_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5b0NonCriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType4_v5b0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "                v5c0NonCriticalExtension\r\n"
     "                {\r\n"
     "                    sysInfoType4_v5c0ext\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
    {"v5c0AndNonCriticalExtensions", 4, true,
     "    v4b0NonCriticalExtensions\r\n"
     "    {\r\n"
     "        sysInfoType4_v4b0ext\r\n"
     "        {\r\n"
     "        }\r\n"
     "        v590NonCriticalExtension\r\n"
     "        {\r\n"
     "            sysInfoType4_v590ext\r\n"
     "            {\r\n"
     "            }\r\n"
     "            v5b0NonCriticalExtension\r\n"
     "            {\r\n"
     "                sysInfoType4_v5b0ext\r\n"
     "                {\r\n"
     "                }\r\n"
     "                v5c0NonCriticalExtension\r\n"
     "                {\r\n"
     "                    sysInfoType4_v5c0ext\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                    nonCriticalExtensions\r\n"
     "                    {\r\n"
     "                    }\r\n"
     "                }\r\n"
     "            }\r\n"
     "        }\r\n"
     "    }\r\n"},
};

TEST(Sib4Golden, ExtensionChainCutAtEachLevel) {
  for (const ChainCase& c : kSib4Chains) {
    SCOPED_TRACE(c.name);
    const BitWriter chain = EmptySib4Chain(c.levels, c.nonCriticalExtensions);
    const Decoded d = DecodeBare(4, Sib4(kSmallIdentity, Csri(), Car(), &chain));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSmallHead4) + SmallCsriText() + kSmallCar + c.expectedChain + "}\r\n",
               d.text);
  }
}

// SIB4 with mappingInfo in cellSelectReselectInfo, mapping_LCR in v4b0 and deltaQrxlevmin alone
// in v590.
TEST(Sib4Golden, MappingLcrAndDeltaQrxlevmin) {
  Csri csri;
  csri.mappingInfo = {{1, {{1, kAbsent, 33, 12}}}};
  BitWriter chain;
  chain.Bit(1).Bit(1);  // v4b0: v590 present; mapping-LCR present
  PutMapFnList(chain, {{2, 64, 65, kAbsent}, {0, kAbsent, 0, 91}});
  chain.Bit(0).Bit(1).Pattern("10").Constrained(-1, -2, -1);  // v590: deltaQrxlevmin only
  const Decoded d = DecodeBare(4, Sib4(kSmallIdentity, csri, Car(), &chain));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, kSmallIdentity);
  ExpectText(std::string(kSmallHead4) + kCsriOpen +
                 "            mappingInfo[0]\r\n"
                 "            {\r\n"
                 "                    rat = utra-TDD\n"
                 "                mappingFunctionParameterList[0]\r\n"
                 "                {\r\n"
                 "                    functionType = functionType2\r\n"
                 "                    mapParameter2 = 33\r\n"
                 "                    upperLimit = 12\r\n"
                 "                }\r\n"
                 "            }\r\n" +
                 kRscpTdd + kHystResel00 + kCsriClose + kSmallCar +
                 "    v4b0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "        sysInfoType4_v4b0ext\r\n"
                 "        {\r\n"
                 "            mapping_LCR\r\n"
                 "            {\r\n"
                 "                mappingFunctionParameterList[0]\r\n"
                 "                {\r\n"
                 "                    functionType = functionType3\r\n"
                 "                    mapParameter1 = 64\r\n"
                 "                    mapParameter2 = 65\r\n"
                 "                }\r\n"
                 "                mappingFunctionParameterList[1]\r\n"
                 "                {\r\n"
                 "                    functionType = linear\r\n"
                 "                    mapParameter2 = 0\r\n"
                 "                    upperLimit = 91\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "        v590NonCriticalExtension\r\n"
                 "        {\r\n"
                 "            sysInfoType4_v590ext\r\n"
                 "            {\r\n"
                 "                cellSelectReselectInfo_v590ext\r\n"
                 "                {\r\n"
                 "                        deltaQrxlevmin = -1\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "    }\r\n"
                 "}\r\n",
             d.text);
}

// SIB4 v5c0 with every TreselectionScaling member, non_HCS_t_CR_Max with n_CR absent: the
// deeper SIB4 depths (t = 24).
TEST(Sib4Golden, TreselectionScalingDepthsInSib4) {
  BitWriter chain;
  chain.Pattern("10 10 10");  // v4b0, v590, v5b0: next level present, empty record
  chain.Bit(0).Bit(1).Pattern("1111");
  PutTCrMax(chain, {kT180, kAbsent, 6});
  chain.Constrained(0, 0, 10).Constrained(19, 4, 19).Constrained(4, 4, 19);
  const Decoded d = DecodeBare(4, Sib4(kSmallIdentity, Csri(), Car(), &chain));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, kSmallIdentity);
  ExpectText(std::string(kSmallHead4) + SmallCsriText() + kSmallCar +
                 "    v4b0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "        sysInfoType4_v4b0ext\r\n"
                 "        {\r\n"
                 "        }\r\n"
                 "        v590NonCriticalExtension\r\n"
                 "        {\r\n"
                 "            sysInfoType4_v590ext\r\n"
                 "            {\r\n"
                 "            }\r\n"
                 "            v5b0NonCriticalExtension\r\n"
                 "            {\r\n"
                 "                sysInfoType4_v5b0ext\r\n"
                 "                {\r\n"
                 "                }\r\n"
                 "                v5c0NonCriticalExtension\r\n"
                 "                {\r\n"
                 "                    sysInfoType4_v5c0ext\r\n"
                 "                    {\r\n"
                 "                        cellSelectReselectInfoTreselectionScaling_v5c0ext\r\n"
                 "                        {\r\n"
                 "                            non_HCS_t_CR_Max\r\n"
                 "                            {\r\n"
                 "                                t180\r\n"
                 "                                {\r\n"
                 "                                    n_CR = 8\r\n"
                 "                                        t_CRMaxHyst = t60\n"
                 "                                }\r\n"
                 "                            }\r\n"
                 "                                speedDependentScalingFactor = 0\r\n"
                 "                                interFrequencyTreselectionScalingFactor = 19\r\n"
                 "                                interRATTreselectionScalingFactor = 4\r\n"
                 "                        }\r\n"
                 "                    }\r\n"
                 "                }\r\n"
                 "            }\r\n"
                 "        }\r\n"
                 "    }\r\n"
                 "}\r\n",
             d.text);
}

// ---------------------------------------------------------------------------------------------
// hcs_ServingCellInformation: every t_CR_Max alternative, n_CR absent and present, the
// DEFAULT members absent and present.

struct HcsCase {
  const char* name;
  Hcs hcs;
  const char* expected;  // the hcs_ServingCellInformation block
};

TEST(CellSelectReselectGolden, HcsServingCellInformation) {
  const HcsCase cases[] = {
      {"NotUsedDefaults",
       {kAbsent, kAbsent, true, {kNotUsed, kAbsent, 0}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                notUsed\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T30DefaultNcr",
       {kAbsent, kAbsent, true, {kT30, kAbsent, 0}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t30\r\n"
       "                {\r\n"
       "                    n_CR = 8\r\n"
       "                        t_CRMaxHyst = notUsed\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T60DefaultNcr",
       {5, kAbsent, true, {kT60, kAbsent, 2}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 5\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t60\r\n"
       "                {\r\n"
       "                    n_CR = 8\r\n"
       "                        t_CRMaxHyst = t20\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T60Ncr3",
       {kAbsent, 1, true, {kT60, 3, 5}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 1\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t60\r\n"
       "                {\r\n"
       "                    n_CR = 3\r\n"
       "                        t_CRMaxHyst = t50\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T120Ncr1",
       {kAbsent, 42, true, {kT120, 1, 3}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 42\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t120\r\n"
       "                {\r\n"
       "                    n_CR = 1\r\n"
       "                        t_CRMaxHyst = t30\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T180Ncr16",
       {0, 0, true, {kT180, 16, 4}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t180\r\n"
       "                {\r\n"
       "                    n_CR = 16\r\n"
       "                        t_CRMaxHyst = t40\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T180DefaultNcr",
       {kAbsent, kAbsent, true, {kT180, kAbsent, 1}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t180\r\n"
       "                {\r\n"
       "                    n_CR = 8\r\n"
       "                        t_CRMaxHyst = t10\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T240Ncr9",
       {3, 77, true, {kT240, 9, 6}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 3\r\n"
       "            q_HCS = 77\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t240\r\n"
       "                {\r\n"
       "                    n_CR = 9\r\n"
       "                        t_CRMaxHyst = t60\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"T240DefaultNcr",
       {kAbsent, kAbsent, true, {kT240, kAbsent, 7}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "            t_CR_Max\r\n"
       "            {\r\n"
       "                t240\r\n"
       "                {\r\n"
       "                    n_CR = 8\r\n"
       "                        t_CRMaxHyst = t70\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"},
      {"NoTCrMax",
       {7, 99, false, {kNotUsed, kAbsent, 0}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 7\r\n"
       "            q_HCS = 99\r\n"
       "        }\r\n"},
      {"NothingPresent",
       {kAbsent, kAbsent, false, {kNotUsed, kAbsent, 0}},
       "        hcs_ServingCellInformation\r\n"
       "        {\r\n"
       "            hcs_PRIO = 0\r\n"
       "            q_HCS = 0\r\n"
       "        }\r\n"},
  };
  for (const HcsCase& c : cases) {
    SCOPED_TRACE(c.name);
    Csri csri;
    csri.hasHcs = true;
    csri.hcs = c.hcs;
    const Decoded d = DecodeBare(3, Sib3(false, kSmallIdentity, csri, Car(), nullptr));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSmallHead3) + kCsriOpen + kRscpTdd + kHystResel00 + c.expected +
                   kCsriClose + kSmallCar + "}\r\n",
               d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// cellSelectQualityMeasure, modeSpecificInfo and mappingInfo.

struct CsriCase {
  const char* name;
  std::function<void(Csri&)> set;
  const char* expected;  // the cellSelectReselectInfo block
};

TEST(CellSelectReselectGolden, QualityMeasureModeAndMapping) {
  const CsriCase cases[] = {
      {"EcN0WithoutHyst2", [](Csri& c) { c.cpichEcN0 = true; },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_Ec_N0\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            tdd\r\n"
       "            {\r\n"
       "                q_RxlevMin = -13\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
      {"EcN0WithHyst2",
       [](Csri& c) {
         c.cpichEcN0 = true;
         c.qHyst2S = 0;
         c.qHystlS = 13;
         c.tReselectionS = 17;
         c.maxAllowedULTxPower = -10;
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_Ec_N0\r\n"
       "            {\r\n"
       "                q_HYST_2_S = 0\r\n"
       "            }\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            tdd\r\n"
       "            {\r\n"
       "                q_RxlevMin = -13\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 13\r\n"
       "        t_Reselection_S = 17\r\n"
       "        maxAllowedUL_TX_Power = -10\r\n"
       "    }\r\n"},
      {"FddMinimal",
       [](Csri& c) {
         c.fdd = true;
         c.qQualMin = -24;
         c.qRxlevMin = -58;
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_RSCP\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            fdd\r\n"
       "            {\r\n"
       "                    q_QualMin = -24\r\n"
       "                q_RxlevMin = -58\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
      {"FddAllMembers",
       [](Csri& c) {
         c.fdd = true;
         c.sIntrasearch = 10;
         c.sIntersearch = -16;
         c.sSearchHCS = 45;
         c.ratList = {{0, -16, -53, 10}, {1, 0, kAbsent, -1}};
         c.qQualMin = -7;
         c.qRxlevMin = -20;
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_RSCP\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            fdd\r\n"
       "            {\r\n"
       "                    s_Intrasearch = 10\r\n"
       "                    s_Intersearch = -16\r\n"
       "                s_SearchHCS = 45\r\n"
       "                    rat_List[0]\r\n"
       "                    {\r\n"
       "                        rat_Identifier = gsm\r\n"
       "                            s_SearchRAT = -16\r\n"
       "                        s_HCS_RAT = -53\r\n"
       "                            s_Limit_SearchRAT = 10\r\n"
       "                    }\r\n"
       "                    rat_List[1]\r\n"
       "                    {\r\n"
       "                        rat_Identifier = cdma2000\r\n"
       "                            s_SearchRAT = 0\r\n"
       "                            s_Limit_SearchRAT = -1\r\n"
       "                    }\r\n"
       "                    q_QualMin = -7\r\n"
       "                q_RxlevMin = -20\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
      {"FddSearchHcsOnly",
       [](Csri& c) {
         c.fdd = true;
         c.sSearchHCS = -1;
         c.qQualMin = -1;
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_RSCP\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            fdd\r\n"
       "            {\r\n"
       "                s_SearchHCS = -1\r\n"
       "                    q_QualMin = -1\r\n"
       "                q_RxlevMin = -13\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
      {"TddAllMembers",
       [](Csri& c) {
         c.sIntrasearch = 45;
         c.sIntersearch = -53;
         c.sSearchHCS = 1;
         c.ratList = {{1, 45, kAbsent, -53}, {0, -53, 45, 0}};
         c.qRxlevMin = -30;
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_RSCP\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            tdd\r\n"
       "            {\r\n"
       "                s_Intrasearch = 45\r\n"
       "                s_Intersearch = -53\r\n"
       "                s_SearchHCS = 1\r\n"
       "                rat_List[0]\r\n"
       "                {\r\n"
       "                    rat_Identifier = cdma2000\r\n"
       "                    s_SearchRAT = 45\r\n"
       "                    s_Limit_SearchRAT = -53\r\n"
       "                }\r\n"
       "                rat_List[1]\r\n"
       "                {\r\n"
       "                    rat_Identifier = gsm\r\n"
       "                    s_SearchRAT = -53\r\n"
       "                    s_HCS_RAT = 45\r\n"
       "                    s_Limit_SearchRAT = 0\r\n"
       "                }\r\n"
       "                q_RxlevMin = -30\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
      {"MappingInfoUtraFddAndGsm",
       [](Csri& c) {
         c.mappingInfo = {{0, {{1, 99, 100, 90}, {2, kAbsent, 3, kAbsent}, {0, 1, 2, 3}}},
                          {2, {{3, kAbsent, 127, 60}}}};
       },
       "    cellSelectReselectInfo\r\n"
       "    {\r\n"
       "            mappingInfo[0]\r\n"
       "            {\r\n"
       "                    rat = utra-FDD\n"
       "                mappingFunctionParameterList[0]\r\n"
       "                {\r\n"
       "                    functionType = functionType2\r\n"
       "                    mapParameter1 = 99\r\n"
       "                    mapParameter2 = 100\r\n"
       "                    upperLimit = 90\r\n"
       "                }\r\n"
       "                mappingFunctionParameterList[1]\r\n"
       "                {\r\n"
       "                    functionType = functionType3\r\n"
       "                    mapParameter2 = 3\r\n"
       "                }\r\n"
       "                mappingFunctionParameterList[2]\r\n"
       "                {\r\n"
       "                    functionType = linear\r\n"
       "                    mapParameter1 = 1\r\n"
       "                    mapParameter2 = 2\r\n"
       "                    upperLimit = 3\r\n"
       "                }\r\n"
       "            }\r\n"
       "            mappingInfo[1]\r\n"
       "            {\r\n"
       "                    rat = gsm\n"
       "                mappingFunctionParameterList[0]\r\n"
       "                {\r\n"
       "                    functionType = functionType4\r\n"
       "                    mapParameter2 = 127\r\n"
       "                    upperLimit = 60\r\n"
       "                }\r\n"
       "            }\r\n"
       "        cellSelectQualityMeasure\r\n"
       "        {\r\n"
       "            cpich_RSCP\r\n"
       "        }\r\n"
       "        modeSpecificInfo\r\n"
       "        {\r\n"
       "            tdd\r\n"
       "            {\r\n"
       "                q_RxlevMin = -13\r\n"
       "            }\r\n"
       "        }\r\n"
       "        q_Hyst_l_S = 0\r\n"
       "        t_Reselection_S = 0\r\n"
       "        maxAllowedUL_TX_Power = 33\r\n"
       "    }\r\n"},
  };
  for (const CsriCase& c : cases) {
    SCOPED_TRACE(c.name);
    Csri csri;
    c.set(csri);
    const Decoded d = DecodeBare(3, Sib3(false, kSmallIdentity, csri, Car(), nullptr));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string(kSmallHead3) + c.expected + kSmallCar + "}\r\n", d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// cellAccessRestriction, in SIB3 and in SIB4.

struct CarCase {
  const char* name;
  Car car;
  const char* expected;  // the cellAccessRestriction block
};

Car MakeCar(bool barred, unsigned intraInd, unsigned tBarred, unsigned reserved, unsigned extension,
            const char* list) {
  Car c;
  c.barred = barred;
  c.intraFreqCellReselectionInd = intraInd;
  c.tBarred = tBarred;
  c.cellReservedForOperatorUse = reserved;
  c.cellReservationExtension = extension;
  c.accessClassBarred = list;
  return c;
}

TEST(CellAccessRestrictionGolden, BarredNotBarredReservationsAndList) {
  const CarCase cases[] = {
      {"BarredAllowedS10", MakeCar(true, 0, 0, 0, 0, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = allowed\n"
       "                    t_Barred = s10\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = reserved\r\n"
       "        cellReservationExtension = reserved\r\n"
       "    }\r\n"},
      {"BarredNotAllowedS20", MakeCar(true, 1, 1, 1, 1, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = notAllowed\n"
       "                    t_Barred = s20\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = notReserved\r\n"
       "        cellReservationExtension = notReserved\r\n"
       "    }\r\n"},
      {"BarredS40", MakeCar(true, 0, 2, 0, 1, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = allowed\n"
       "                    t_Barred = s40\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = reserved\r\n"
       "        cellReservationExtension = notReserved\r\n"
       "    }\r\n"},
      {"BarredS80", MakeCar(true, 1, 3, 1, 0, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = notAllowed\n"
       "                    t_Barred = s80\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = notReserved\r\n"
       "        cellReservationExtension = reserved\r\n"
       "    }\r\n"},
      {"BarredS160", MakeCar(true, 0, 4, 1, 0, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = allowed\n"
       "                    t_Barred = s160\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = notReserved\r\n"
       "        cellReservationExtension = reserved\r\n"
       "    }\r\n"},
      {"BarredS320", MakeCar(true, 0, 5, 1, 0, ""),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = allowed\n"
       "                    t_Barred = s320\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = notReserved\r\n"
       "        cellReservationExtension = reserved\r\n"
       "    }\r\n"},
      {"BarredS640WithList", MakeCar(true, 1, 6, 0, 0, "1111 1111 1111 1110"),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            barred\r\n"
       "            {\r\n"
       "                    intraFreqCellReselectionInd = notAllowed\n"
       "                    t_Barred = s640\n"
       "            }\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = reserved\r\n"
       "        cellReservationExtension = reserved\r\n"
       "        accessClassBarredList[0] = notBarred\r\n"
       "        accessClassBarredList[1] = notBarred\r\n"
       "        accessClassBarredList[2] = notBarred\r\n"
       "        accessClassBarredList[3] = notBarred\r\n"
       "        accessClassBarredList[4] = notBarred\r\n"
       "        accessClassBarredList[5] = notBarred\r\n"
       "        accessClassBarredList[6] = notBarred\r\n"
       "        accessClassBarredList[7] = notBarred\r\n"
       "        accessClassBarredList[8] = notBarred\r\n"
       "        accessClassBarredList[9] = notBarred\r\n"
       "        accessClassBarredList[10] = notBarred\r\n"
       "        accessClassBarredList[11] = notBarred\r\n"
       "        accessClassBarredList[12] = notBarred\r\n"
       "        accessClassBarredList[13] = notBarred\r\n"
       "        accessClassBarredList[14] = notBarred\r\n"
       "        accessClassBarredList[15] = barred\r\n"
       "    }\r\n"},
      {"NotBarredWithList", MakeCar(false, 0, 0, 1, 1, "0000 0000 0000 0001"),
       "    cellAccessRestriction\r\n"
       "    {\r\n"
       "        cellBarred\r\n"
       "        {\r\n"
       "            notBarred\r\n"
       "        }\r\n"
       "        cellReservedForOperatorUse = notReserved\r\n"
       "        cellReservationExtension = notReserved\r\n"
       "        accessClassBarredList[0] = barred\r\n"
       "        accessClassBarredList[1] = barred\r\n"
       "        accessClassBarredList[2] = barred\r\n"
       "        accessClassBarredList[3] = barred\r\n"
       "        accessClassBarredList[4] = barred\r\n"
       "        accessClassBarredList[5] = barred\r\n"
       "        accessClassBarredList[6] = barred\r\n"
       "        accessClassBarredList[7] = barred\r\n"
       "        accessClassBarredList[8] = barred\r\n"
       "        accessClassBarredList[9] = barred\r\n"
       "        accessClassBarredList[10] = barred\r\n"
       "        accessClassBarredList[11] = barred\r\n"
       "        accessClassBarredList[12] = barred\r\n"
       "        accessClassBarredList[13] = barred\r\n"
       "        accessClassBarredList[14] = barred\r\n"
       "        accessClassBarredList[15] = notBarred\r\n"
       "    }\r\n"},
  };
  for (const CarCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d3 = DecodeBare(3, Sib3(false, kSmallIdentity, Csri(), c.car, nullptr));
    ASSERT_EQ(sibdecode::kDecoded, d3.result);
    ExpectText(std::string(kSmallHead3) + SmallCsriText() + c.expected + "}\r\n", d3.text);
    const Decoded d4 = DecodeBare(4, Sib4(kSmallIdentity, Csri(), c.car, nullptr));
    ASSERT_EQ(sibdecode::kDecoded, d4.result);
    ExpectText(std::string(kSmallHead4) + SmallCsriText() + c.expected + "}\r\n", d4.text);
  }
}

// ---------------------------------------------------------------------------------------------
// The cell identity in the text and in the summary record.

struct IdentityCase {
  unsigned sibType;
  uint32_t identity;
  const char* expected;
  unsigned sib3;
  unsigned sib4;
};

TEST(CellIdentityGolden, FirstAndLastBitIntoTheSummary) {
  const IdentityCase cases[] = {
      {3, 1u << 27,
       "SysInfoType3 ::=\r\n{\r\n"
       "    sib4indicator = True\r\n"
       "    cellIdentity = \"1000000000000000000000000000\"\r\n",
       134217728u, 0},
      {3, 1,
       "SysInfoType3 ::=\r\n{\r\n"
       "    sib4indicator = True\r\n"
       "    cellIdentity = \"0000000000000000000000000001\"\r\n",
       1, 0},
      {4, 1u << 27,
       "SysInfoType4 ::=\r\n{\r\n"
       "    cellIdentity = \"1000000000000000000000000000\"\r\n",
       0, 134217728u},
      {4, 1,
       "SysInfoType4 ::=\r\n{\r\n"
       "    cellIdentity = \"0000000000000000000000000001\"\r\n",
       0, 1},
  };
  for (const IdentityCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.sibType) + " " + std::to_string(c.identity));
    const BitWriter bits = c.sibType == 3 ? Sib3(true, c.identity, Csri(), Car(), nullptr)
                                          : Sib4(c.identity, Csri(), Car(), nullptr);
    const Decoded d = DecodeBare(c.sibType, bits);
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectSummary(d.out, c.sib3, c.sib4);
    ExpectText(std::string(c.expected) + SmallCsriText() + kSmallCar + "}\r\n", d.text);
  }
}

// ---------------------------------------------------------------------------------------------
// A complete SIB3 in one BCH transport block through RRCParserX.

TEST(Sib3Golden, CompleteSibInOneBchBlock) {
  BitWriter block;
  block.Constrained(5, 0, 2047);  // SFN prime
  block.Constrained(9, 0, 15);    // completeSIB
  block.Constrained(3, 0, 31);    // sib-Type: systemInformationBlockType3
  const BitWriter sib = Sib3(true, 0xFEDCBA9, Csri(), Car(), nullptr);
  ASSERT_LE(sib.size(), 226u);
  block.Append(sib);
  std::vector<uint8_t> data = block.PadTo(31);

  tagSystemInformationBlock out;
  std::memset(&out, 0xA5, sizeof out);
  std::vector<char> text(102400 + 256, '\0');
  unsigned int textLen = 0;
  ASSERT_TRUE(RRCParserX(data.data(), 31, &out, text.data(), textLen));
  ASSERT_LE(textLen, text.size());
  ExpectSummary(out, 0xFEDCBA9, 0);
  ExpectText(
      "SysInfoType3 ::=\r\n"
      "{\r\n"
      "    sib4indicator = True\r\n"
      "    cellIdentity = \"1111111011011100101110101001\"\r\n"
      "    cellSelectReselectInfo\r\n"
      "    {\r\n"
      "        cellSelectQualityMeasure\r\n"
      "        {\r\n"
      "            cpich_RSCP\r\n"
      "        }\r\n"
      "        modeSpecificInfo\r\n"
      "        {\r\n"
      "            tdd\r\n"
      "            {\r\n"
      "                q_RxlevMin = -13\r\n"
      "            }\r\n"
      "        }\r\n"
      "        q_Hyst_l_S = 0\r\n"
      "        t_Reselection_S = 0\r\n"
      "        maxAllowedUL_TX_Power = 33\r\n"
      "    }\r\n"
      "    cellAccessRestriction\r\n"
      "    {\r\n"
      "        cellBarred\r\n"
      "        {\r\n"
      "            notBarred\r\n"
      "        }\r\n"
      "        cellReservedForOperatorUse = notReserved\r\n"
      "        cellReservationExtension = reserved\r\n"
      "    }\r\n"
      "}\r\n"
      "\r\n"
      "<<<-----raw data ----->>>\r\n"
      "00B237FB72EA4C2D0029B00000000000000000000000000000000000000000",
      std::string(text.data(), textLen));
}

// ---------------------------------------------------------------------------------------------
// Decodes that stop early: printed as far as decoded. Values the decoder never reached have no
// defined content, so their lines are matched by name only ("*").

TEST(Sib3Golden, CutRightAfterCellSelectReselectInfo) {
  // 1 + 1 + 28 + 34 bits = 8 whole bytes: the SIB ends exactly after cellSelectReselectInfo, so
  // the first read of cellAccessRestriction fails. The v4b0 bit is set: the chain record, never
  // decoded, prints with its members absent.
  Csri csri;
  csri.hasHcs = true;  // three DEFAULT/OPTIONAL bits, all absent
  BitWriter w;
  w.Bit(1).Bit(1).Bits(kSmallIdentity, 28);
  PutCsri(w, csri);
  ASSERT_EQ(64u, w.size());
  const Decoded d = DecodeBare(3, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, kSmallIdentity, 0);
  ExpectLinesMatch(
      {
          "SysInfoType3 ::=\r\n",
          "{\r\n",
          "    sib4indicator = True\r\n",
          "    cellIdentity = \"0101101001011010010110100101\"\r\n",
          "    cellSelectReselectInfo\r\n",
          "    {\r\n",
          "        cellSelectQualityMeasure\r\n",
          "        {\r\n",
          "            cpich_RSCP\r\n",
          "        }\r\n",
          "        modeSpecificInfo\r\n",
          "        {\r\n",
          "            tdd\r\n",
          "            {\r\n",
          "                q_RxlevMin = -13\r\n",
          "            }\r\n",
          "        }\r\n",
          "        q_Hyst_l_S = 0\r\n",
          "        t_Reselection_S = 0\r\n",
          "        hcs_ServingCellInformation\r\n",
          "        {\r\n",
          "            hcs_PRIO = 0\r\n",
          "            q_HCS = 0\r\n",
          "        }\r\n",
          "        maxAllowedUL_TX_Power = 33\r\n",
          "    }\r\n",
          "    cellAccessRestriction\r\n",
          "    {\r\n",
          "        cellBarred\r\n",  // the choice was never decoded: empty braces
          "        {\r\n",
          "        }\r\n",
          "        cellReservedForOperatorUse = *\r\n",
          "        cellReservationExtension = *\r\n",
          "    }\r\n",
          "    v4b0NonCriticalExtensions\r\n",
          "    {\r\n",
          "        sysInfoType3_v4b0ext\r\n",
          "        {\r\n",
          "        }\r\n",
          "    }\r\n",
          "}\r\n",
      },
      d.text);
}

// Every ENUMERATED under SysInfoType3 and SysInfoType4 has a power-of-two number of
// identifiers (or a single one, which takes no bits), so no encoding can carry an enumeration index
// out of range. The only count that is not a power of two is the six-alternative T-CRMax choice,
// and integers with ranges such as Q-HCS (0..99 in seven bits).
struct BadValueCase {
  const char* name;
  std::function<void(BitWriter&)> hcs;  // the hcs_ServingCellInformation encoding
  std::vector<std::string> hcsLines;
};

TEST(Sib3Golden, RefusedValuesStopTheDecode) {
  const BadValueCase cases[] = {
      // T-CRMax has six alternatives in three bits: indexes 6 and 7 are refused and the choice
      // stays undecoded, an empty block.
      {"TCrMaxIndex6",
       [](BitWriter& w) { w.Pattern("001").Bits(6, 3); },
       {"        hcs_ServingCellInformation\r\n", "        {\r\n", "            hcs_PRIO = 0\r\n",
        "            q_HCS = 0\r\n", "            t_CR_Max\r\n", "            {\r\n",
        "            }\r\n", "        }\r\n"}},
      {"TCrMaxIndex7",
       [](BitWriter& w) { w.Pattern("101").Constrained(2, 0, 7).Bits(7, 3); },
       {"        hcs_ServingCellInformation\r\n", "        {\r\n", "            hcs_PRIO = 2\r\n",
        "            q_HCS = 0\r\n", "            t_CR_Max\r\n", "            {\r\n",
        "            }\r\n", "        }\r\n"}},
      // Q-HCS is 0..99 in seven bits: 127 is refused but stays stored and printed; t_CR_Max,
      // announced by its presence bit, was never reached.
      {"QHcs127",
       [](BitWriter& w) { w.Pattern("011").Bits(127, 7); },
       {"        hcs_ServingCellInformation\r\n", "        {\r\n", "            hcs_PRIO = 0\r\n",
        "            q_HCS = 127\r\n", "            t_CR_Max\r\n", "            {\r\n",
        "            }\r\n", "        }\r\n"}},
  };
  for (const BadValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    w.Bit(0).Bit(0).Bits(kSmallIdentity, 28);
    w.Pattern("01");               // no mappingInfo, hcs_ServingCellInformation present
    w.Pattern("1 1 0000");         // cpich_RSCP, tdd without optional members
    w.Constrained(-13, -58, -13);  // q_RxlevMin
    w.Constrained(0, 0, 20).Constrained(0, 0, 31);
    c.hcs(w);
    w.Pattern("1111111 0 1 1 0");  // bits after the failure, never read
    const Decoded d = DecodeBare(3, w);
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectSummary(d.out, kSmallIdentity, 0);
    std::vector<std::string> lines = {
        "SysInfoType3 ::=\r\n",
        "{\r\n",
        "    sib4indicator = False\r\n",
        "    cellIdentity = \"0101101001011010010110100101\"\r\n",
        "    cellSelectReselectInfo\r\n",
        "    {\r\n",
        "        cellSelectQualityMeasure\r\n",
        "        {\r\n",
        "            cpich_RSCP\r\n",
        "        }\r\n",
        "        modeSpecificInfo\r\n",
        "        {\r\n",
        "            tdd\r\n",
        "            {\r\n",
        "                q_RxlevMin = -13\r\n",
        "            }\r\n",
        "        }\r\n",
        "        q_Hyst_l_S = 0\r\n",
        "        t_Reselection_S = 0\r\n",
    };
    lines.insert(lines.end(), c.hcsLines.begin(), c.hcsLines.end());
    const std::vector<std::string> tail = {
        "        maxAllowedUL_TX_Power = *\r\n",
        "    }\r\n",
        "    cellAccessRestriction\r\n",
        "    {\r\n",
        "        cellBarred\r\n",
        "        {\r\n",
        "        }\r\n",
        "        cellReservedForOperatorUse = *\r\n",
        "        cellReservationExtension = *\r\n",
        "    }\r\n",
        "}\r\n",
    };
    lines.insert(lines.end(), tail.begin(), tail.end());
    ExpectLinesMatch(lines, d.text);
  }
}

}  // namespace
