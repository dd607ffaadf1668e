// Golden tests for types decoded past Release 7 (the MIB and scheduling blocks, SIB18,
// SIB19 ...). The encodings are built bit by bit from the Release 9 ASN.1 and the texts spelled
// out: these types follow the generic layout (a member 4 spaces inside its parent's braces, list
// elements 8, a NULL alternative as its name alone) with no departures of their own.
//
// Layout these cases pin down:
// - the MIB's header line and its PLMN identity digits as list elements of mcc and mnc;
// - the extension chain down to the v860 level, each container one level deeper, both extension
//   lists with their SIB-TypeExt / SIB-TypeExt2 alternative and schedule;
// - a segCount the encoding leaves out printed with its default 1;
// - SIB18's PLMN list element without its OPTIONAL identity as an empty block;
// - SIB14's timeslot list elements at 8 beside its expirationTimeFactor at 4; SIB9's list of
//   integers inside a list element at 16; an empty SIB15.8 as its braces alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "sibdecode/sibdecode.h"
#include "support/bit_writer.h"
#include "support/golden_text.h"

namespace {

using sibtest::BitWriter;
using sibtest::DecodeBare;
using sibtest::Decoded;
using sibtest::ExpectText;

// SchedulingInformation with segCount left to its DEFAULT and no sib-PosOffsetInfo: the sib-Pos
// alternative (rep4 .. rep4096) and its value in that alternative's width.
void PutSchedule(BitWriter& w, int repetition, int value, unsigned width) {
  w.Bit(false).Bit(false);
  w.Constrained(repetition, 0, 10);
  w.Bits(static_cast<uint64_t>(value), width);
}

// PLMN-Identity: three MCC digits, then the MNC's digit count (2 or 3) and digits.
void PutPlmn(BitWriter& w, const std::string& mcc, const std::string& mnc) {
  for (char digit : mcc) w.Bits(static_cast<uint64_t>(digit - '0'), 4);
  w.Constrained(static_cast<int64_t>(mnc.size()), 2, 3);
  for (char digit : mnc) w.Bits(static_cast<uint64_t>(digit - '0'), 4);
}

// A MIB of PLMN 460-07 that schedules SIB1 and, in its v6b0 and v860 extension lists, SIB11bis
// (rep256, 10) and SIB19 (rep256, 40).
BitWriter EncodeMib() {
  BitWriter w;
  w.Bit(true);             // v690NonCriticalExtensions
  w.Constrained(3, 1, 8);  // mib-ValueTag
  w.Constrained(0, 0, 3);  // plmn-Type: gsm-MAP
  PutPlmn(w, "460", "07");
  w.Constrained(1, 1, 32);   // sibSb-ReferenceList
  w.Constrained(0, 0, 31);   // sysInfoType1 ...
  w.Constrained(1, 1, 256);  // ... PLMN-ValueTag
  PutSchedule(w, 5, 2, 6);   // rep128
  w.Bit(true);               // v6b0NonCriticalExtensions
  w.Bit(false);              // multiplePLMN-List
  w.Bit(true);               // v860NonCriticalExtensions
  w.Bit(true);               // extSIBTypeInfoSchedulingInfo-List
  w.Constrained(1, 1, 32);
  w.Constrained(0, 0, 7);                       // systemInfoType11bis
  PutSchedule(w, 6, 10, 7);                     // rep256
  w.Constrained(1, 0, 3).Constrained(2, 1, 4);  // cellValueTag 2
  w.Bit(false);                                 // nonCriticalExtensions
  w.Bit(true).Bit(false).Bit(false);            // -List2 only
  w.Constrained(1, 1, 32);
  w.Constrained(0, 0, 7);                       // systemInfoType19
  PutSchedule(w, 6, 40, 7);                     // rep256
  w.Constrained(1, 0, 3).Constrained(1, 1, 4);  // cellValueTag 1
  return w;
}

TEST(MibGolden, PlmnScheduleAndBothExtensionLists) {
  const Decoded d = DecodeBare(0, EncodeMib(), sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "MasterInformationBlock ::=\r\n"
      "{\r\n"
      "    mib_ValueTag = 3\r\n"
      "    plmn_Type\r\n"
      "    {\r\n"
      "        gsm_MAP\r\n"
      "        {\r\n"
      "            plmn_Identity\r\n"
      "            {\r\n"
      "                    mcc[0] = 4\r\n"
      "                    mcc[1] = 6\r\n"
      "                    mcc[2] = 0\r\n"
      "                    mnc[0] = 0\r\n"
      "                    mnc[1] = 7\r\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "        sibSb_ReferenceList[0]\r\n"
      "        {\r\n"
      "            sibSb_Type\r\n"
      "            {\r\n"
      "                sysInfoType1 = 1\r\n"
      "            }\r\n"
      "            scheduling\r\n"
      "            {\r\n"
      "                scheduling\r\n"
      "                {\r\n"
      "                    segCount = 1\r\n"
      "                    sib_Pos\r\n"
      "                    {\r\n"
      "                        rep128 = 2\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "    v690NonCriticalExtensions\r\n"
      "    {\r\n"
      "        masterInformationBlock_v690ext\r\n"
      "        {\r\n"
      "        }\r\n"
      "        v6b0NonCriticalExtensions\r\n"
      "        {\r\n"
      "            masterInformationBlock_v6b0ext\r\n"
      "            {\r\n"
      "                    extSIBTypeInfoSchedulingInfo_List[0]\r\n"
      "                    {\r\n"
      "                        extensionSIB_Type\r\n"
      "                        {\r\n"
      "                            systemInfoType11bis\r\n"
      "                        }\r\n"
      "                        schedulingInfo\r\n"
      "                        {\r\n"
      "                            scheduling\r\n"
      "                            {\r\n"
      "                                segCount = 1\r\n"
      "                                sib_Pos\r\n"
      "                                {\r\n"
      "                                    rep256 = 10\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                        valueTagInfo\r\n"
      "                        {\r\n"
      "                            cellValueTag = 2\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "            }\r\n"
      "            v860NonCriticalExtensions\r\n"
      "            {\r\n"
      "                masterInformationBlock_v860ext\r\n"
      "                {\r\n"
      "                        extSIBTypeInfoSchedulingInfo_List[0]\r\n"
      "                        {\r\n"
      "                            extensionSIB_Type2\r\n"
      "                            {\r\n"
      "                                systemInfoType19\r\n"
      "                            }\r\n"
      "                            schedulingInfo\r\n"
      "                            {\r\n"
      "                                scheduling\r\n"
      "                                {\r\n"
      "                                    segCount = 1\r\n"
      "                                    sib_Pos\r\n"
      "                                    {\r\n"
      "                                        rep256 = 40\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                            valueTagInfo\r\n"
      "                            {\r\n"
      "                                cellValueTag = 1\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
  // RRCParserX's release has no MIB decoder.
  EXPECT_EQ(sibdecode::kNothingDecoded, DecodeBare(0, EncodeMib()).result);
}

TEST(Sib18Golden, IdleModePlmnsOfTwoIntraFrequencyCells) {
  BitWriter w;
  w.Bit(true).Bit(false).Bit(false);  // idleModePLMNIdentities only
  w.Bit(true).Bit(false).Bit(false);  // plmnsOfIntraFreqCellsList only
  w.Constrained(2, 1, 32);
  w.Bit(true);
  PutPlmn(w, "208", "10");
  w.Bit(false);  // the second cell's PLMN is the serving cell's
  const Decoded d = DecodeBare(26, w, sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType18 ::=\r\n"
      "{\r\n"
      "    idleModePLMNIdentities\r\n"
      "    {\r\n"
      "            plmnsOfIntraFreqCellsList[0]\r\n"
      "            {\r\n"
      "                plmn_Identity\r\n"
      "                {\r\n"
      "                        mcc[0] = 2\r\n"
      "                        mcc[1] = 0\r\n"
      "                        mcc[2] = 8\r\n"
      "                        mnc[0] = 1\r\n"
      "                        mnc[1] = 0\r\n"
      "                }\r\n"
      "            }\r\n"
      "            plmnsOfIntraFreqCellsList[1]\r\n"
      "            {\r\n"
      "            }\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib14Golden, TwoTimeslotsAndTheExpirationTimeFactor) {
  BitWriter w;
  w.Bit(true).Bit(false);  // expirationTimeFactor present, nonCriticalExtensions absent
  w.Constrained(2, 1, 14);
  w.Constrained(1, 0, 14).Constrained(-105, -110, -52);
  w.Constrained(4, 0, 14).Constrained(-52, -110, -52);
  w.Constrained(3, 1, 8);
  const Decoded d = DecodeBare(18, w, sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType14 ::=\r\n"
      "{\r\n"
      "        individualTS_InterferenceList[0]\r\n"
      "        {\r\n"
      "            timeslot = 1\r\n"
      "            ul_TimeslotInterference = -105\r\n"
      "        }\r\n"
      "        individualTS_InterferenceList[1]\r\n"
      "        {\r\n"
      "            timeslot = 4\r\n"
      "            ul_TimeslotInterference = -52\r\n"
      "        }\r\n"
      "    expirationTimeFactor = 3\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib9Golden, OneCpchSetWithTwoPersistenceLevels) {
  BitWriter w;
  w.Bit(false);  // nonCriticalExtensions absent
  w.Constrained(1, 1, 16);
  w.Constrained(16, 1, 16);  // cpch-SetID
  w.Constrained(2, 1, 16);
  w.Constrained(1, 1, 8).Constrained(8, 1, 8);
  const Decoded d = DecodeBare(9, w, sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType9 ::=\r\n"
      "{\r\n"
      "        dummy[0]\r\n"
      "        {\r\n"
      "            cpch_SetID = 16\r\n"
      "                dynamicPersistenceLevelTF_List[0] = 1\r\n"
      "                dynamicPersistenceLevelTF_List[1] = 8\r\n"
      "        }\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib15_8Golden, NothingPresent) {
  BitWriter w;
  w.Bit(false).Bit(false).Bit(false);
  const Decoded d = DecodeBare(39, w, sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType15_8 ::=\r\n"
      "{\r\n"
      "}\r\n",
      d.text);
}

}  // namespace
