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
//   integers inside a list element at 16; an empty SIB15.8 as its braces alone;
// - SIB16's predefined radio configuration with one of each list it must hold, NULL and
//   enumerated alternatives, and a DEFAULT-less TDD power control value.
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

// SysInfoType16 with every OPTIONAL member absent, every list of one element, the lowest values
// and the TDD (or same-as-RB) alternatives: one line per PER field, in encoding order.
BitWriter EncodeSib16() {
  BitWriter w;
  w.Bit(false);              // SysInfoType16.v770NonCriticalExtensions present
  w.Constrained(0, 0, 1);    // predefinedRB-Configuration.re-EstablishmentTimer useT314
  w.Constrained(1, 1, 8);    // predefinedRB-Configuration.srb-InformationList count
  w.Bit(false);              // srb-InformationList[0].rb-Identity present
  w.Constrained(1, 0, 1);    // srb-InformationList[0].rlc-InfoChoice same-as-RB
  w.Constrained(1, 1, 32);   // rlc-InfoChoice.same-as-RB
  w.Constrained(1, 1, 8);    // srb-InformationList[0].rb-MappingInfo count
  w.Bit(false);              // rb-MappingInfo[0].ul-LogicalChannelMappings present
  w.Bit(false);              // rb-MappingInfo[0].dl-LogicalChannelMappingList present
  w.Constrained(1, 1, 8);    // predefinedRB-Configuration.rb-InformationList count
  w.Bit(false);              // rb-InformationList[0].pdcp-Info present
  w.Constrained(1, 1, 32);   // rb-InformationList[0].rb-Identity
  w.Constrained(1, 0, 1);    // rb-InformationList[0].rlc-InfoChoice same-as-RB
  w.Constrained(1, 1, 32);   // rlc-InfoChoice.same-as-RB
  w.Constrained(1, 1, 8);    // rb-InformationList[0].rb-MappingInfo count
  w.Bit(false);              // rb-MappingInfo[0].ul-LogicalChannelMappings present
  w.Bit(false);              // rb-MappingInfo[0].dl-LogicalChannelMappingList present
  w.Bit(false);              // ul-CommonTransChInfo.tfc-Subset present
  w.Bit(false);              // ul-CommonTransChInfo.prach-TFCS present
  w.Bit(false);              // ul-CommonTransChInfo.modeSpecificInfo present
  w.Constrained(1, 1, 32);   // preDefTransChConfiguration.ul-AddReconfTrChInfoList count
  w.Constrained(0, 0, 1);    // ul-AddReconfTrChInfoList[0].ul-TransportChannelType dch
  w.Constrained(1, 1, 32);   // ul-AddReconfTrChInfoList[0].transportChannelIdentity
  w.Constrained(0, 0, 1);    // ul-AddReconfTrChInfoList[0].transportFormatSet dedicatedTransChTFS
  w.Constrained(0, 0, 4);    // dedicatedTransChTFS.tti tti10
  w.Constrained(1, 1, 32);   // tti.tti10 count
  w.Constrained(0, 0, 1);    // tti10[0].rlc-Size bitMode
  w.Constrained(0, 0, 3);    // rlc-Size.bitMode sizeType1
  w.Constrained(0, 0, 127);  // bitMode.sizeType1
  w.Constrained(1, 1, 32);   // tti10[0].numberOfTbSizeList count
  w.Constrained(0, 0, 3);    // tti10[0].numberOfTbSizeList[0] zero
  w.Constrained(0, 0, 2);    // tti10[0].logicalChannelList allSizes
  w.Constrained(0, 0, 2);    // semistaticTF-Information.channelCodingType noCoding
  w.Constrained(1, 1, 256);  // semistaticTF-Information.rateMatchingAttribute
  w.Constrained(0, 0, 4);    // semistaticTF-Information.crc-Size crc0
  w.Bit(false);              // dl-CommonTransChInfo.sccpch-TFCS present
  w.Constrained(1, 0, 1);    // dl-CommonTransChInfo.modeSpecificInfo tdd
  w.Bit(false);              // tdd.individualDL-CCTrCH-InfoList present
  w.Constrained(1, 1, 32);   // preDefTransChConfiguration.dl-TrChInfoList count
  w.Bit(false);              // dl-TrChInfoList[0].dch-QualityTarget present
  w.Bit(false);              // dl-TrChInfoList[0].dummy present
  w.Constrained(0, 0, 1);    // dl-TrChInfoList[0].dl-TransportChannelType dch
  w.Constrained(1, 1, 32);   // dl-TrChInfoList[0].dl-transportChannelIdentity
  w.Constrained(0, 0, 1);    // dl-TrChInfoList[0].tfs-SignallingMode explicit-config
  w.Constrained(0, 0, 1);    // tfs-SignallingMode.explicit-config dedicatedTransChTFS
  w.Constrained(0, 0, 4);    // dedicatedTransChTFS.tti tti10
  w.Constrained(1, 1, 32);   // tti.tti10 count
  w.Constrained(0, 0, 1);    // tti10[0].rlc-Size bitMode
  w.Constrained(0, 0, 3);    // rlc-Size.bitMode sizeType1
  w.Constrained(0, 0, 127);  // bitMode.sizeType1
  w.Constrained(1, 1, 32);   // tti10[0].numberOfTbSizeList count
  w.Constrained(0, 0, 3);    // tti10[0].numberOfTbSizeList[0] zero
  w.Constrained(0, 0, 2);    // tti10[0].logicalChannelList allSizes
  w.Constrained(0, 0, 2);    // semistaticTF-Information.channelCodingType noCoding
  w.Constrained(1, 1, 256);  // semistaticTF-Information.rateMatchingAttribute
  w.Constrained(0, 0, 4);    // semistaticTF-Information.crc-Size crc0
  w.Bit(false);              // preDefPhyChConfiguration.dl-CommonInformationPredef present
  w.Constrained(1, 0, 1);    // ul-DPCH-InfoPredef.ul-DPCH-PowerControlInfo tdd
  w.Constrained(-35, -35, 10);  // tdd.dpch-ConstantValue
  w.Constrained(1, 0, 1);       // ul-DPCH-InfoPredef.modeSpecificInfo tdd
  w.Bit(false);                 // commonTimeslotInfo.tfci-Coding present
  w.Bit(false);                 // commonTimeslotInfo.repetitionPeriodAndLength present
  w.Constrained(0, 0, 1);       // commonTimeslotInfo.secondInterleavingMode frameRelated
  w.Constrained(0, 0, 15);      // commonTimeslotInfo.puncturingLimit pl0-40
  return w;
}

TEST(Sib16Golden, SmallestPredefinedConfiguration) {
  const Decoded d = DecodeBare(23, EncodeSib16(), sibdecode::kReleaseLatest);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType16 ::=\r\n"
      "{\r\n"
      "    preDefinedRadioConfiguration\r\n"
      "    {\r\n"
      "        predefinedRB_Configuration\r\n"
      "        {\r\n"
      "            re_EstablishmentTimer = useT314\n"
      "                srb_InformationList[0]\r\n"
      "                {\r\n"
      "                    rlc_InfoChoice\r\n"
      "                    {\r\n"
      "                        same_as_RB = 1\r\n"
      "                    }\r\n"
      "                        rb_MappingInfo[0]\r\n"
      "                        {\r\n"
      "                        }\r\n"
      "                }\r\n"
      "                rb_InformationList[0]\r\n"
      "                {\r\n"
      "                    rb_Identity = 1\r\n"
      "                    rlc_InfoChoice\r\n"
      "                    {\r\n"
      "                        same_as_RB = 1\r\n"
      "                    }\r\n"
      "                        rb_MappingInfo[0]\r\n"
      "                        {\r\n"
      "                        }\r\n"
      "                }\r\n"
      "        }\r\n"
      "        preDefTransChConfiguration\r\n"
      "        {\r\n"
      "            ul_CommonTransChInfo\r\n"
      "            {\r\n"
      "            }\r\n"
      "                ul_AddReconfTrChInfoList[0]\r\n"
      "                {\r\n"
      "                    ul_TransportChannelType = dch\n"
      "                    transportChannelIdentity = 1\r\n"
      "                    transportFormatSet\r\n"
      "                    {\r\n"
      "                        dedicatedTransChTFS\r\n"
      "                        {\r\n"
      "                            tti\r\n"
      "                            {\r\n"
      "                                tti10[0]\r\n"
      "                                {\r\n"
      "                                    rlc_Size\r\n"
      "                                    {\r\n"
      "                                        bitMode\r\n"
      "                                        {\r\n"
      "                                            sizeType1 = 0\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                        numberOfTbSizeList[0]\r\n"
      "                                        {\r\n"
      "                                            zero\r\n"
      "                                        }\r\n"
      "                                    logicalChannelList\r\n"
      "                                    {\r\n"
      "                                        allSizes\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                            }\r\n"
      "                            semistaticTF_Information\r\n"
      "                            {\r\n"
      "                                channelCodingType\r\n"
      "                                {\r\n"
      "                                    noCoding\r\n"
      "                                }\r\n"
      "                                rateMatchingAttribute = 1\r\n"
      "                                crc_Size = crc0\n"
      "                            }\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            dl_CommonTransChInfo\r\n"
      "            {\r\n"
      "                modeSpecificInfo\r\n"
      "                {\r\n"
      "                    tdd\r\n"
      "                    {\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            }\r\n"
      "                dl_TrChInfoList[0]\r\n"
      "                {\r\n"
      "                    dl_TransportChannelType = dch\n"
      "                    dl_transportChannelIdentity = 1\r\n"
      "                    tfs_SignallingMode\r\n"
      "                    {\r\n"
      "                        explicit_config\r\n"
      "                        {\r\n"
      "                            dedicatedTransChTFS\r\n"
      "                            {\r\n"
      "                                tti\r\n"
      "                                {\r\n"
      "                                    tti10[0]\r\n"
      "                                    {\r\n"
      "                                        rlc_Size\r\n"
      "                                        {\r\n"
      "                                            bitMode\r\n"
      "                                            {\r\n"
      "                                                sizeType1 = 0\r\n"
      "                                            }\r\n"
      "                                        }\r\n"
      "                                            numberOfTbSizeList[0]\r\n"
      "                                            {\r\n"
      "                                                zero\r\n"
      "                                            }\r\n"
      "                                        logicalChannelList\r\n"
      "                                        {\r\n"
      "                                            allSizes\r\n"
      "                                        }\r\n"
      "                                    }\r\n"
      "                                }\r\n"
      "                                semistaticTF_Information\r\n"
      "                                {\r\n"
      "                                    channelCodingType\r\n"
      "                                    {\r\n"
      "                                        noCoding\r\n"
      "                                    }\r\n"
      "                                    rateMatchingAttribute = 1\r\n"
      "                                    crc_Size = crc0\n"
      "                                }\r\n"
      "                            }\r\n"
      "                        }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "        }\r\n"
      "        preDefPhyChConfiguration\r\n"
      "        {\r\n"
      "            ul_DPCH_InfoPredef\r\n"
      "            {\r\n"
      "                ul_DPCH_PowerControlInfo\r\n"
      "                {\r\n"
      "                    tdd\r\n"
      "                    {\r\n"
      "                        dpch_ConstantValue = -35\r\n"
      "                    }\r\n"
      "                }\r\n"
      "                modeSpecificInfo\r\n"
      "                {\r\n"
      "                    tdd\r\n"
      "                    {\r\n"
      "                        commonTimeslotInfo\r\n"
      "                        {\r\n"
      "                            secondInterleavingMode = frameRelated\n"
      "                            puncturingLimit = pl0-40\n"
      "                        }\r\n"
      "                    }\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

}  // namespace
