// Golden tests for the SIB1, SIB2, SIB7 and SIB13 texts. Every encoding is built bit by bit from
// the SysInfoType1 / 2 / 7 / 13 ASN.1 (unaligned PER) and every expected text is spelled out.
//
// Layout these cases pin down:
// - the NAS dump of SIB1 stands alone behind 8 spaces, with no name line;
// - cn_DomainSysInfoList elements at 8; cn_DomainIdentity and cn_DRX_CycleLengthCoeff at 16 beside
//   the cn_Type block at 12; inside cn_Type the gsm-MAP dump behind 20 spaces, "ansi_41" at 24;
// - the timer lines of ue_ConnTimersAndConstants / ue_IdleTimersAndConstants at 12 inside braces
//   at 4; n_312 / n_315 of the v3a0 records at 20 inside braces at 12;
// - ura_IdentityList[i] at 4; ul_Interference at 16 inside "fdd" at 8; the persistence levels at 12
//   and expirationTimeFactor at 8; systemSpecificCapUpdateReqList[i] at 16 beside booleans at 8;
// - the SIB13 extension chain one level deeper per container.
// Every enumeration of these SIBs ends its lines in "\n", integers and booleans in "\r\n".
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

// Marks an OPTIONAL or DEFAULT member that the encoding leaves out.
constexpr int kAbsent = -1000;

// ---------------------------------------------------------------------------------------------
// Encoders, one per ASN.1 type.

// NAS-SystemInformationGSM-MAP: OCTET STRING (SIZE (1..8)), a 3-bit length then the octets.
void PutNas(BitWriter& w, const std::vector<uint8_t>& octets) {
  w.Constrained(static_cast<int64_t>(octets.size()), 1, 8);
  for (uint8_t o : octets) w.Bits(o, 8);
}

struct CnDomain {               // CN-DomainSysInfo
  unsigned identity;            // cs-domain, ps-domain
  bool ansi41;                  // cn-Type: gsm-MAP (false) or ansi-41 (true)
  std::vector<uint8_t> gsmMap;  // gsm-MAP octets
  std::string ansi41Bits;       // ansi-41 digits, SIZE (1..2048)
  int drxCycleLengthCoeff;      // 6..9
};

void PutCnDomain(BitWriter& w, const CnDomain& c) {
  w.Constrained(c.identity, 0, 1);
  w.Bit(c.ansi41);
  if (c.ansi41) {
    w.Constrained(static_cast<int64_t>(c.ansi41Bits.size()), 1, 2048);
    w.Pattern(c.ansi41Bits);
  } else {
    PutNas(w, c.gsmMap);
  }
  w.Constrained(c.drxCycleLengthCoeff, 6, 9);
}

// CN-DomainSysInfoList: SIZE (1..4), a 2-bit count.
void PutCnDomainList(BitWriter& w, const std::vector<CnDomain>& list) {
  w.Constrained(static_cast<int64_t>(list.size()), 1, 4);
  for (const CnDomain& c : list) PutCnDomain(w, c);
}

// UE-ConnTimersAndConstants: 22 DEFAULT members, in order t-301 .. t-317. The lower bound and
// upper bound of each member's encoding (enumerations as indexes).
struct ConnTimerField {
  int lower;
  int upper;
};
const ConnTimerField kConnTimerFields[22] = {
    {0, 15}, {0, 7}, {0, 15}, {0, 7}, {0, 7},  {0, 7}, {0, 7}, {0, 7}, {0, 3}, {1, 8}, {0, 7},
    {0, 7},  {0, 7}, {0, 15}, {0, 7}, {0, 15}, {0, 7}, {0, 7}, {0, 7}, {0, 7}, {0, 7}, {0, 7},
};

// values: 22 entries, each an index / integer value or kAbsent (the default).
void PutConnTimers(BitWriter& w, const std::vector<int>& values) {
  for (int v : values) w.Bit(v != kAbsent);
  for (size_t i = 0; i < values.size(); ++i) {
    if (values[i] != kAbsent) {
      w.Constrained(values[i], kConnTimerFields[i].lower, kConnTimerFields[i].upper);
    }
  }
}

std::vector<int> AllDefault() { return std::vector<int>(22, kAbsent); }

struct IdleTimers {  // UE-IdleTimersAndConstants
  unsigned t300;     // T-300 index: 15 identifiers in 4 bits
  int n300;          // 0..7
  int t312;          // 0..15
  unsigned n312;     // N-312 index
};

void PutIdleTimers(BitWriter& w, const IdleTimers& t) {
  w.Bits(t.t300, 4);
  w.Constrained(t.n300, 0, 7);
  w.Constrained(t.t312, 0, 15);
  w.Constrained(t.n312, 0, 7);
}

// N-312ext / N-315ext (s2, s4, s10, s20) behind its presence bit.
void PutExtIndex(BitWriter& w, int index) {
  if (index != kAbsent) w.Constrained(index, 0, 3);
}

struct Sib1V3a0 {
  int connN312 = kAbsent;
  int connN315 = kAbsent;
  int idleN312 = kAbsent;
  bool nonCriticalExtensions = false;
};

struct Sib1 {
  std::vector<uint8_t> nas;
  std::vector<CnDomain> cnDomains;
  bool hasConn = false;
  std::vector<int> conn = AllDefault();
  bool hasIdle = false;
  IdleTimers idle{0, 0, 0, 0};
  bool hasV3a0 = false;
  Sib1V3a0 v3a0;
};

BitWriter EncodeSib1(const Sib1& s) {
  BitWriter w;
  w.Bit(s.hasConn).Bit(s.hasIdle).Bit(s.hasV3a0);
  PutNas(w, s.nas);
  PutCnDomainList(w, s.cnDomains);
  if (s.hasConn) PutConnTimers(w, s.conn);
  if (s.hasIdle) PutIdleTimers(w, s.idle);
  if (s.hasV3a0) {
    w.Bit(s.v3a0.nonCriticalExtensions);
    w.Bit(s.v3a0.connN312 != kAbsent).Bit(s.v3a0.connN315 != kAbsent);
    PutExtIndex(w, s.v3a0.connN312);
    PutExtIndex(w, s.v3a0.connN315);
    w.Bit(s.v3a0.idleN312 != kAbsent);
    PutExtIndex(w, s.v3a0.idleN312);
  }
  return w;
}

BitWriter EncodeSib2(const std::vector<uint16_t>& uraIdentities, bool nonCriticalExtensions) {
  BitWriter w;
  w.Bit(nonCriticalExtensions);
  w.Constrained(static_cast<int64_t>(uraIdentities.size()), 1, 8);
  for (uint16_t id : uraIdentities) w.Bits(id, 16);
  return w;
}

struct Sib7 {
  bool tdd = true;
  unsigned ulInterferenceRaw = 0;  // 6 bits, value + 110 (fdd only)
  std::vector<int> sib5Levels;     // 1..8
  std::vector<int> sib6Levels;     // empty: absent
  int expirationTimeFactor = kAbsent;
  bool nonCriticalExtensions = false;
};

// DynamicPersistenceLevelList: SIZE (1..16), a 4-bit count; INTEGER (1..8) items.
void PutPersistenceLevels(BitWriter& w, const std::vector<int>& levels) {
  w.Constrained(static_cast<int64_t>(levels.size()), 1, 16);
  for (int level : levels) w.Constrained(level, 1, 8);
}

BitWriter EncodeSib7(const Sib7& s) {
  BitWriter w;
  w.Bit(!s.sib6Levels.empty()).Bit(s.expirationTimeFactor != kAbsent).Bit(s.nonCriticalExtensions);
  w.Bit(s.tdd);
  if (!s.tdd) w.Bits(s.ulInterferenceRaw, 6);
  PutPersistenceLevels(w, s.sib5Levels);
  if (!s.sib6Levels.empty()) PutPersistenceLevels(w, s.sib6Levels);
  if (s.expirationTimeFactor != kAbsent) w.Constrained(s.expirationTimeFactor, 1, 8);
  return w;
}

// Extension chain of SIB13; each level present only when the one before it is.
struct Sib13Chain {
  int levels = 0;        // 0 none, 1 v3a0, 2 v3a0 + v4b0, 3 v3a0 + v4b0 + v770
  int n312 = kAbsent;    // N-312ext of the v3a0 record
  int tdd128 = kAbsent;  // capabilityUpdateRequirement-r4Ext: 0 / 1 or kAbsent
  int tdd768 = kAbsent;  // capabilityUpdateRequirement of v770: 0 / 1 or kAbsent
  bool nonCriticalExtensions = false;
};

struct CapabilityUpdate {
  bool fdd;
  bool tdd;
  size_t gsmCount;  // systemSpecificCapUpdateReqList: 0 absent
};

struct Sib13 {
  std::vector<CnDomain> cnDomains;
  bool hasIdle = false;
  IdleTimers idle{0, 0, 0, 0};
  bool hasCapability = false;
  CapabilityUpdate capability{false, false, 0};
  Sib13Chain chain;
};

void PutOptionalBool(BitWriter& w, int value) {
  w.Bit(value != kAbsent);
  if (value != kAbsent) w.Bit(value != 0);
}

BitWriter EncodeSib13(const Sib13& s) {
  BitWriter w;
  w.Bit(s.hasIdle).Bit(s.hasCapability).Bit(s.chain.levels >= 1);
  PutCnDomainList(w, s.cnDomains);
  if (s.hasIdle) PutIdleTimers(w, s.idle);
  if (s.hasCapability) {
    w.Bit(s.capability.gsmCount > 0).Bit(s.capability.fdd).Bit(s.capability.tdd);
    // SystemSpecificCapUpdateReq has the single value gsm: the items take no bits.
    if (s.capability.gsmCount > 0)
      w.Constrained(static_cast<int64_t>(s.capability.gsmCount), 1, 16);
  }
  if (s.chain.levels >= 1) {
    w.Bit(s.chain.levels >= 2);
    w.Bit(s.chain.n312 != kAbsent);
    PutExtIndex(w, s.chain.n312);
  }
  if (s.chain.levels >= 2) {
    w.Bit(s.chain.levels >= 3);
    PutOptionalBool(w, s.chain.tdd128);
  }
  if (s.chain.levels >= 3) {
    w.Bit(s.chain.nonCriticalExtensions);
    PutOptionalBool(w, s.chain.tdd768);
  }
  return w;
}

// One BCH block carrying the whole SIB as a completeSIB.
std::vector<uint8_t> CompleteSibBlock(unsigned sibType, const BitWriter& sib) {
  EXPECT_LE(sib.size(), 226u);
  return sibtest::Block(7, 9, BitWriter().Bits(sibType, 5).Append(sib));
}

// ---------------------------------------------------------------------------------------------
// Text pieces.

// The 22 lines of ue_ConnTimersAndConstants when every member takes its default.
const char kConnDefaults[] =
    "            t_301 = ms2000\n"
    "            n_301 = 2\r\n"
    "            t_302 = ms4000\n"
    "            n_302 = 3\r\n"
    "            t_304 = ms2000\n"
    "            n_304 = 2\r\n"
    "            t_305 = m30\n"
    "            t_307 = s30\n"
    "            t_308 = ms160\n"
    "            t_309 = 5\r\n"
    "            t_310 = ms160\n"
    "            n_310 = 4\r\n"
    "            t_311 = ms2000\n"
    "            t_312 = 1\r\n"
    "            n_312 = s1\n"
    "            t_313 = 3\r\n"
    "            n_313 = s20\n"
    "            t_314 = s12\n"
    "            t_315 = s180\n"
    "            n_315 = s1\n"
    "            t_316 = s30\n"
    "            t_317 = infinity4\n";

const char kConnOpen[] =
    "    ue_ConnTimersAndConstants\r\n"
    "    {\r\n";
const char kClose4[] = "    }\r\n";

// The SIB1 header, "{" and the NAS dump behind its 8 spaces; `bytes` is the dump's data line.
std::string Sib1Head(const std::string& bytes) {
  return "SysInfoType1 ::=\r\n"
         "{\r\n"
         "        \r\n"
         "Message dump (Hex):\r\n" +
         bytes;
}

// Content of a cn_Type block: the gsm-MAP dump behind 20 spaces, or the ansi_41 line at 24.
std::string GsmMapText(const std::string& bytes) {
  return "                    \r\n"
         "Message dump (Hex):\r\n" +
         bytes;
}
std::string Ansi41Text(const std::string& bits) {
  return "                        ansi_41 = \"" + bits + "\"\r\n";
}

// One cn_DomainSysInfoList element at 8.
std::string CnDomainText(int index, const char* identity, const std::string& cnType, int drx) {
  return "        cn_DomainSysInfoList[" + std::to_string(index) +
         "]\r\n"
         "        {\r\n"
         "                cn_DomainIdentity = " +
         identity +
         "\n"
         "            cn_Type\r\n"
         "            {\r\n" +
         cnType +
         "            }\r\n"
         "                cn_DRX_CycleLengthCoeff = " +
         std::to_string(drx) +
         "\r\n"
         "        }\r\n";
}

// ue_IdleTimersAndConstants and capabilityUpdateRequirement announced but never decoded: their
// values have no defined content ("*" matches any value).
const char kIdleUnreached[] =
    "    ue_IdleTimersAndConstants\r\n"
    "    {\r\n"
    "            t_300 = *\n"
    "            n_300 = *\r\n"
    "            t_312 = *\r\n"
    "            n_312 = *\n"
    "    }\r\n";
const char kCapabilityUnreached[] =
    "    capabilityUpdateRequirement\r\n"
    "    {\r\n"
    "        ue_RadioCapabilityFDDUpdateRequirement = *\r\n"
    "        ue_RadioCapabilityTDDUpdateRequirement = *\r\n"
    "    }\r\n";

// ---------------------------------------------------------------------------------------------
// SIB2

TEST(Sib2Golden, ThreeUraIdentities) {
  const Decoded d = DecodeBare(2, EncodeSib2({0x0001, 0x8000, 0xFFFF}, false));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(
      "SysInfoType2 ::=\r\n"
      "{\r\n"
      "    ura_IdentityList[0] = \"0000000000000001\"\r\n"
      "    ura_IdentityList[1] = \"1000000000000000\"\r\n"
      "    ura_IdentityList[2] = \"1111111111111111\"\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib2Golden, EightIdentitiesAndNonCriticalExtensions) {
  const Decoded d = DecodeBare(
      2, EncodeSib2({0x0102, 0x0304, 0x0506, 0x0708, 0x090A, 0x0B0C, 0x0D0E, 0xA55A}, true));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType2 ::=\r\n"
      "{\r\n"
      "    ura_IdentityList[0] = \"0000000100000010\"\r\n"
      "    ura_IdentityList[1] = \"0000001100000100\"\r\n"
      "    ura_IdentityList[2] = \"0000010100000110\"\r\n"
      "    ura_IdentityList[3] = \"0000011100001000\"\r\n"
      "    ura_IdentityList[4] = \"0000100100001010\"\r\n"
      "    ura_IdentityList[5] = \"0000101100001100\"\r\n"
      "    ura_IdentityList[6] = \"0000110100001110\"\r\n"
      "    ura_IdentityList[7] = \"1010010101011010\"\r\n"
      "    nonCriticalExtensions\r\n"
      "    {\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib2Golden, TruncatedListPrintsItsWholeCount) {
  // Count 4, but the encoding ends inside the third identity: the count is stored before the
  // items, the third item took its bit count and no bits, the fourth keeps its empty bit string.
  BitWriter w;
  w.Bit(1).Constrained(4, 1, 8).Bits(0x1234, 16).Bits(0xFEDC, 16).Bits(0x5, 4);
  ASSERT_EQ(40u, w.size());
  const Decoded d = DecodeBare(2, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(
      {
          "SysInfoType2 ::=\r\n",
          "{\r\n",
          "    ura_IdentityList[0] = \"0001001000110100\"\r\n",
          "    ura_IdentityList[1] = \"1111111011011100\"\r\n",
          "    ura_IdentityList[2] = \"*\"\r\n",
          "    ura_IdentityList[3] = \"\"\r\n",
          "    nonCriticalExtensions\r\n",
          "    {\r\n",
          "    }\r\n",
          "}\r\n",
      },
      d.text);
}

TEST(Sib2Golden, OneBchBlockThroughRrcParserX) {
  const std::vector<uint8_t> block = CompleteSibBlock(2, EncodeSib2({0xC3A5}, true));
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  // SFN prime 7, completeSIB (9), sib-Type 2, then 1 + 000 + 1100001110100101.
  const std::string trailer =
      "\r\n<<<-----raw data ----->>>\r\n"
      "00F228C3A50000000000000000000000000000000000000000000000000000";
  EXPECT_EQ(trailer, RawTrailer(block));
  ExpectText(
      "SysInfoType2 ::=\r\n"
      "{\r\n"
      "    ura_IdentityList[0] = \"1100001110100101\"\r\n"
      "    nonCriticalExtensions\r\n"
      "    {\r\n"
      "    }\r\n"
      "}\r\n" +
          trailer,
      d.text);
}

// ---------------------------------------------------------------------------------------------
// SIB7

TEST(Sib7Golden, TddWithOnePersistenceLevel) {
  Sib7 s;
  s.sib5Levels = {1};
  const Decoded d = DecodeBare(7, EncodeSib7(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(
      "SysInfoType7 ::=\r\n"
      "{\r\n"
      "    modeSpecificInfo\r\n"
      "    {\r\n"
      "        tdd\r\n"
      "    }\r\n"
      "            prach_Information_SIB5_List[0] = 1\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib7Golden, FddBothListsExpirationTimeFactorAndNonCriticalExtensions) {
  struct Case {
    const char* name;
    unsigned raw;
    const char* line;
  };
  const Case cases[] = {
      {"Raw0", 0, "                ul_Interference = -110\r\n"},
      {"Raw40", 40, "                ul_Interference = -70\r\n"},
      {"Raw17", 17, "                ul_Interference = -93\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib7 s;
    s.tdd = false;
    s.ulInterferenceRaw = c.raw;
    s.sib5Levels = {8, 1, 4};
    s.sib6Levels = {2, 7};
    s.expirationTimeFactor = 8;
    s.nonCriticalExtensions = true;
    const Decoded d = DecodeBare(7, EncodeSib7(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string("SysInfoType7 ::=\r\n"
                           "{\r\n"
                           "    modeSpecificInfo\r\n"
                           "    {\r\n"
                           "        fdd\r\n"
                           "        {\r\n") +
                   c.line +
                   "        }\r\n"
                   "    }\r\n"
                   "            prach_Information_SIB5_List[0] = 8\r\n"
                   "            prach_Information_SIB5_List[1] = 1\r\n"
                   "            prach_Information_SIB5_List[2] = 4\r\n"
                   "            prach_Information_SIB6_List[0] = 2\r\n"
                   "            prach_Information_SIB6_List[1] = 7\r\n"
                   "        expirationTimeFactor = 8\r\n"
                   "    nonCriticalExtensions\r\n"
                   "    {\r\n"
                   "    }\r\n"
                   "}\r\n",
               d.text);
  }
}

TEST(Sib7Golden, SixteenLevelsAndExpirationTimeFactorOne) {
  Sib7 s;
  s.sib5Levels = {1, 2, 3, 4, 5, 6, 7, 8, 8, 7, 6, 5, 4, 3, 2, 1};
  s.expirationTimeFactor = 1;
  const Decoded d = DecodeBare(7, EncodeSib7(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType7 ::=\r\n"
      "{\r\n"
      "    modeSpecificInfo\r\n"
      "    {\r\n"
      "        tdd\r\n"
      "    }\r\n"
      "            prach_Information_SIB5_List[0] = 1\r\n"
      "            prach_Information_SIB5_List[1] = 2\r\n"
      "            prach_Information_SIB5_List[2] = 3\r\n"
      "            prach_Information_SIB5_List[3] = 4\r\n"
      "            prach_Information_SIB5_List[4] = 5\r\n"
      "            prach_Information_SIB5_List[5] = 6\r\n"
      "            prach_Information_SIB5_List[6] = 7\r\n"
      "            prach_Information_SIB5_List[7] = 8\r\n"
      "            prach_Information_SIB5_List[8] = 8\r\n"
      "            prach_Information_SIB5_List[9] = 7\r\n"
      "            prach_Information_SIB5_List[10] = 6\r\n"
      "            prach_Information_SIB5_List[11] = 5\r\n"
      "            prach_Information_SIB5_List[12] = 4\r\n"
      "            prach_Information_SIB5_List[13] = 3\r\n"
      "            prach_Information_SIB5_List[14] = 2\r\n"
      "            prach_Information_SIB5_List[15] = 1\r\n"
      "        expirationTimeFactor = 1\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib7Golden, UlInterference41StopsTheDecode) {
  // Raw 41 gives -69, outside -110..-70: refused but stored and printed. The lists were never
  // reached (counts 0); expirationTimeFactor, announced but not reached, has no defined value;
  // nonCriticalExtensions prints from its presence bit.
  BitWriter w;
  w.Pattern("111").Bit(0).Bits(41, 6).Pattern("0000 000 0000 000 000");
  const Decoded d = DecodeBare(7, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(
      {
          "SysInfoType7 ::=\r\n",
          "{\r\n",
          "    modeSpecificInfo\r\n",
          "    {\r\n",
          "        fdd\r\n",
          "        {\r\n",
          "                ul_Interference = -69\r\n",
          "        }\r\n",
          "    }\r\n",
          "        expirationTimeFactor = *\r\n",
          "    nonCriticalExtensions\r\n",
          "    {\r\n",
          "    }\r\n",
          "}\r\n",
      },
      d.text);
}

TEST(Sib7Golden, TruncatedLevelList) {
  // Count 3 with only the first level in the encoding (3 + 1 + 4 + 3 = 11 bits, padded to 16):
  // the count is stored before the items, the second item reads the padding, the third fails.
  BitWriter w;
  w.Pattern("000").Bit(1).Constrained(3, 1, 16).Constrained(6, 1, 8);
  const Decoded d = DecodeBare(7, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(
      {
          "SysInfoType7 ::=\r\n",
          "{\r\n",
          "    modeSpecificInfo\r\n",
          "    {\r\n",
          "        tdd\r\n",
          "    }\r\n",
          "            prach_Information_SIB5_List[0] = 6\r\n",
          "            prach_Information_SIB5_List[1] = 1\r\n",
          "            prach_Information_SIB5_List[2] = *\r\n",
          "}\r\n",
      },
      d.text);
}

TEST(Sib7Golden, OneBchBlockThroughRrcParserX) {
  Sib7 s;
  s.tdd = false;
  s.ulInterferenceRaw = 20;
  s.sib5Levels = {3};
  s.sib6Levels = {5};
  const std::vector<uint8_t> block = CompleteSibBlock(7, EncodeSib7(s));
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(
      "SysInfoType7 ::=\r\n"
      "{\r\n"
      "    modeSpecificInfo\r\n"
      "    {\r\n"
      "        fdd\r\n"
      "        {\r\n"
      "                ul_Interference = -90\r\n"
      "        }\r\n"
      "    }\r\n"
      "            prach_Information_SIB5_List[0] = 3\r\n"
      "            prach_Information_SIB6_List[0] = 5\r\n"
      "}\r\n" +
          RawTrailer(block),
      d.text);
}

// ---------------------------------------------------------------------------------------------
// SIB1

TEST(Sib1Golden, ConnTimersPresentWithNoMembersPrintTheDefaults) {
  Sib1 s;
  s.nas = {0x5A};
  s.cnDomains = {{0, false, {0x00}, "", 7}};
  s.hasConn = true;
  const Decoded d = DecodeBare(1, EncodeSib1(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(Sib1Head("\t5A\t\r\n") + CnDomainText(0, "cs-domain", GsmMapText("\t00\t\r\n"), 7) +
                 kConnOpen + kConnDefaults + kClose4 + "}\r\n",
             d.text);
}

// Each member present with a value other than its default, or absent (default), per case.
TEST(Sib1Golden, ConnTimersPresentAndDefaultMembers) {
  struct Case {
    const char* name;
    std::vector<int> values;
    const char* lines;
  };
  const Case cases[] = {
      {"AllPresentEdgeValues",
       {15, 7, 0, 0, 7, 5, 0, 7, 3, 8, 0, 0, 0, 0, 7, 15, 0, 0, 7, 1, 6, 0},
       "            t_301 = spare\n"
       "            n_301 = 7\r\n"
       "            t_302 = ms100\n"
       "            n_302 = 0\r\n"
       "            t_304 = spare1\n"
       "            n_304 = 5\r\n"
       "            t_305 = noUpdate\n"
       "            t_307 = spare\n"
       "            t_308 = ms320\n"
       "            t_309 = 8\r\n"
       "            t_310 = ms40\n"
       "            n_310 = 0\r\n"
       "            t_311 = ms250\n"
       "            t_312 = 0\r\n"
       "            n_312 = s1000\n"
       "            t_313 = 15\r\n"
       "            n_313 = s1\n"
       "            t_314 = s0\n"
       "            t_315 = s1800\n"
       "            n_315 = s50\n"
       "            t_316 = s-inf\n"
       "            t_317 = infinity0\n"},
      {"SomePresent",
       {kAbsent, kAbsent, 13,      kAbsent, kAbsent, kAbsent, 7,       kAbsent,
        kAbsent, 1,       kAbsent, kAbsent, 4,       kAbsent, kAbsent, kAbsent,
        kAbsent, kAbsent, kAbsent, 7,       kAbsent, 7},
       "            t_301 = ms2000\n"
       "            n_301 = 2\r\n"
       "            t_302 = ms6000\n"
       "            n_302 = 3\r\n"
       "            t_304 = ms2000\n"
       "            n_304 = 2\r\n"
       "            t_305 = m720\n"
       "            t_307 = s30\n"
       "            t_308 = ms160\n"
       "            t_309 = 1\r\n"
       "            t_310 = ms160\n"
       "            n_310 = 4\r\n"
       "            t_311 = ms1250\n"
       "            t_312 = 1\r\n"
       "            n_312 = s1\n"
       "            t_313 = 3\r\n"
       "            n_313 = s20\n"
       "            t_314 = s12\n"
       "            t_315 = s180\n"
       "            n_315 = s1000\n"
       "            t_316 = s30\n"
       "            t_317 = infinity7\n"},
      // The defaults sent explicitly print as when left out.
      {"DefaultsSentExplicitly",
       {10, 2, 12, 3, 4, 2, 3, 4, 2, 5, 3, 4, 7, 1, 0, 3, 4, 5, 4, 0, 3, 4},
       kConnDefaults},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib1 s;
    s.nas = {0x01};
    s.cnDomains = {{1, true, {}, "1", 6}};
    s.hasConn = true;
    s.conn = c.values;
    const Decoded d = DecodeBare(1, EncodeSib1(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(Sib1Head("\t01\t\r\n") + CnDomainText(0, "ps-domain", Ansi41Text("1"), 6) +
                   kConnOpen + c.lines + kClose4 + "}\r\n",
               d.text);
  }
}

TEST(Sib1Golden, EveryMemberPresent) {
  Sib1 s;
  s.nas = {0x12, 0xAB, 0x00};
  s.cnDomains = {{0, false, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}, "", 9},
                 {1, true, {}, "1011", 6}};
  s.hasConn = true;
  s.conn = AllDefault();
  s.conn[0] = 0;   // t_301 ms100
  s.conn[21] = 3;  // t_317 infinity3
  s.hasIdle = true;
  s.idle = {14, 7, 0, 4};
  s.hasV3a0 = true;
  s.v3a0.connN312 = 3;
  s.v3a0.connN315 = 0;
  s.v3a0.idleN312 = 2;
  s.v3a0.nonCriticalExtensions = true;
  const Decoded d = DecodeBare(1, EncodeSib1(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  const std::string conns = Replaced(Replaced(kConnDefaults, "t_301 = ms2000", "t_301 = ms100"),
                                     "t_317 = infinity4", "t_317 = infinity3");
  ExpectText(std::string("SysInfoType1 ::=\r\n"
                         "{\r\n"
                         "        \r\n"
                         "Message dump (Hex):\r\n"
                         "\t12\tAB\t00\t\r\n"
                         "        cn_DomainSysInfoList[0]\r\n"
                         "        {\r\n"
                         "                cn_DomainIdentity = cs-domain\n"
                         "            cn_Type\r\n"
                         "            {\r\n"
                         "                    \r\n"
                         "Message dump (Hex):\r\n"
                         "\t01\t23\t45\t67\t89\tAB\tCD\tEF\t\r\n"
                         "            }\r\n"
                         "                cn_DRX_CycleLengthCoeff = 9\r\n"
                         "        }\r\n"
                         "        cn_DomainSysInfoList[1]\r\n"
                         "        {\r\n"
                         "                cn_DomainIdentity = ps-domain\n"
                         "            cn_Type\r\n"
                         "            {\r\n"
                         "                        ansi_41 = \"1011\"\r\n"
                         "            }\r\n"
                         "                cn_DRX_CycleLengthCoeff = 6\r\n"
                         "        }\r\n") +
                 kConnOpen + conns + kClose4 +
                 "    ue_IdleTimersAndConstants\r\n"
                 "    {\r\n"
                 "            t_300 = ms8000\n"
                 "            n_300 = 7\r\n"
                 "            t_312 = 0\r\n"
                 "            n_312 = s400\n"
                 "    }\r\n"
                 "    v3a0NonCriticalExtensions\r\n"
                 "    {\r\n"
                 "        sysInfoType1_v3a0ext\r\n"
                 "        {\r\n"
                 "            ue_ConnTimersAndConstants_v3a0ext\r\n"
                 "            {\r\n"
                 "                    n_312 = s20\n"
                 "                    n_315 = s2\n"
                 "            }\r\n"
                 "            ue_IdleTimersAndConstants_v3a0ext\r\n"
                 "            {\r\n"
                 "                    n_312 = s10\n"
                 "            }\r\n"
                 "        }\r\n"
                 "        nonCriticalExtensions\r\n"
                 "        {\r\n"
                 "        }\r\n"
                 "    }\r\n"
                 "}\r\n",
             d.text);
}

// The v3a0 records with n_312 / n_315 present and absent: absent members leave no line, the
// blocks stay.
TEST(Sib1Golden, V3a0MembersPresentAndAbsent) {
  struct Case {
    const char* name;
    Sib1V3a0 v3a0;
    const char* text;
  };
  const Case cases[] = {
      {"NoneNoNonCritical",
       {kAbsent, kAbsent, kAbsent, false},
       "    v3a0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        sysInfoType1_v3a0ext\r\n"
       "        {\r\n"
       "            ue_ConnTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "            ue_IdleTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"OnlyN315",
       {kAbsent, 3, kAbsent, false},
       "    v3a0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        sysInfoType1_v3a0ext\r\n"
       "        {\r\n"
       "            ue_ConnTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "                    n_315 = s20\n"
       "            }\r\n"
       "            ue_IdleTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"ConnN312AndIdleN312",
       {1, kAbsent, 0, true},
       "    v3a0NonCriticalExtensions\r\n"
       "    {\r\n"
       "        sysInfoType1_v3a0ext\r\n"
       "        {\r\n"
       "            ue_ConnTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "                    n_312 = s4\n"
       "            }\r\n"
       "            ue_IdleTimersAndConstants_v3a0ext\r\n"
       "            {\r\n"
       "                    n_312 = s2\n"
       "            }\r\n"
       "        }\r\n"
       "        nonCriticalExtensions\r\n"
       "        {\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib1 s;
    s.nas = {0xFF, 0xEE, 0xDD, 0xCC, 0xBB};
    s.cnDomains = {{0, true, {}, "0110", 8}};
    s.hasV3a0 = true;
    s.v3a0 = c.v3a0;
    const Decoded d = DecodeBare(1, EncodeSib1(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(Sib1Head("\tFF\tEE\tDD\tCC\tBB\t\r\n") +
                   CnDomainText(0, "cs-domain", Ansi41Text("0110"), 8) + c.text + "}\r\n",
               d.text);
  }
}

TEST(Sib1Golden, EmptyEncodingPrintsAnEmptyNasDump) {
  // Not even the presence bits can be read: the NAS count stays 0 and the list empty.
  const Decoded d = DecodeBare(1, BitWriter());
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType1 ::=\r\n"
      "{\r\n"
      "        \r\n"
      "Message dump (Hex):\r\n"
      "\t\r\n"
      "}\r\n",
      d.text);
}

TEST(Sib1Golden, StopInTheCnDomainList) {
  // 3 + 11 + 2 + 16 bits = 4 bytes: the second CN domain is announced but its first bit lies past
  // the end. It is not appended; ue_ConnTimersAndConstants, never reached, prints its defaults;
  // ue_IdleTimersAndConstants, never reached, prints undefined values; the v3a0 records, never
  // reached, print with their members absent.
  BitWriter w;
  w.Pattern("111");
  PutNas(w, {0x80});
  w.Constrained(2, 1, 4);
  PutCnDomain(w, {1, true, {}, "0", 9});
  ASSERT_EQ(32u, w.size());
  const Decoded d = DecodeBare(1, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(Sib1Head("\t80\t\r\n") + CnDomainText(0, "ps-domain", Ansi41Text("0"), 9) +
                       kConnOpen + kConnDefaults + kClose4 + kIdleUnreached +
                       "    v3a0NonCriticalExtensions\r\n"
                       "    {\r\n"
                       "        sysInfoType1_v3a0ext\r\n"
                       "        {\r\n"
                       "            ue_ConnTimersAndConstants_v3a0ext\r\n"
                       "            {\r\n"
                       "            }\r\n"
                       "            ue_IdleTimersAndConstants_v3a0ext\r\n"
                       "            {\r\n"
                       "            }\r\n"
                       "        }\r\n"
                       "    }\r\n"
                       "}\r\n",
                   d.text);
}

TEST(Sib1Golden, StopInsideConnTimersKeepsTheRestAtDefault) {
  // t_301, t_302 and t_317 announced; the encoding ends after t_302 (3 + 11 + 2 + 16 + 22 + 4 + 4
  // = 62 bits, 2 padding bits), so t_317 keeps its default.
  std::vector<int> conn = AllDefault();
  conn[0] = 1;
  conn[2] = 14;
  conn[21] = 0;
  BitWriter w;
  w.Pattern("100");
  PutNas(w, {0x00});
  w.Constrained(1, 1, 4);
  PutCnDomain(w, {0, true, {}, "1", 6});
  for (int v : conn) w.Bit(v != kAbsent);
  w.Constrained(1, 0, 15).Constrained(14, 0, 15);
  ASSERT_EQ(62u, w.size());
  const Decoded d = DecodeBare(1, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  const std::string conns = Replaced(Replaced(kConnDefaults, "t_301 = ms2000", "t_301 = ms200"),
                                     "t_302 = ms4000", "t_302 = ms8000");
  ExpectText(Sib1Head("\t00\t\r\n") + CnDomainText(0, "cs-domain", Ansi41Text("1"), 6) + kConnOpen +
                 conns + kClose4 + "}\r\n",
             d.text);
}

TEST(Sib1Golden, T300BeyondItsFifteenIdentifiers) {
  // T-300 has 15 identifiers in 4 bits: index 15 is refused, stays stored and prints "???";
  // the decode ends there.
  Sib1 s;
  s.nas = {0x01, 0x02};
  s.cnDomains = {{0, true, {}, "11", 7}};
  s.hasIdle = true;
  s.idle = {15, 3, 9, 2};
  const Decoded d = DecodeBare(1, EncodeSib1(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch(
      {
          "SysInfoType1 ::=\r\n",
          "{\r\n",
          "        \r\n",
          "Message dump (Hex):\r\n",
          "\t01\t02\t\r\n",
          "        cn_DomainSysInfoList[0]\r\n",
          "        {\r\n",
          "                cn_DomainIdentity = cs-domain\n",
          "            cn_Type\r\n",
          "            {\r\n",
          "                        ansi_41 = \"11\"\r\n",
          "            }\r\n",
          "                cn_DRX_CycleLengthCoeff = 7\r\n",
          "        }\r\n",
          "    ue_IdleTimersAndConstants\r\n",
          "    {\r\n",
          "            t_300 = ???\n",
          "            n_300 = *\r\n",
          "            t_312 = *\r\n",
          "            n_312 = *\n",
          "    }\r\n",
          "}\r\n",
      },
      d.text);
}

TEST(Sib1Golden, OneBchBlockThroughRrcParserX) {
  Sib1 s;
  s.nas = {0x32, 0xF4, 0x10};
  s.cnDomains = {{0, false, {0x0A, 0xBC}, "", 7}, {1, false, {0xDE}, "", 8}};
  s.hasIdle = true;
  s.idle = {3, 1, 5, 7};
  const std::vector<uint8_t> block = CompleteSibBlock(1, EncodeSib1(s));
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(Sib1Head("\t32\tF4\t10\t\r\n") +
                 CnDomainText(0, "cs-domain", GsmMapText("\t0A\tBC\t\r\n"), 7) +
                 CnDomainText(1, "ps-domain", GsmMapText("\tDE\t\r\n"), 8) +
                 "    ue_IdleTimersAndConstants\r\n"
                 "    {\r\n"
                 "            t_300 = ms600\n"
                 "            n_300 = 1\r\n"
                 "            t_312 = 5\r\n"
                 "            n_312 = s1000\n"
                 "    }\r\n"
                 "}\r\n" +
                 RawTrailer(block),
             d.text);
}

// ---------------------------------------------------------------------------------------------
// SIB13

const std::string kAnsiDomainText =
    CnDomainText(0, "ps-domain", Ansi41Text("101100111000111100001111100000"), 9);
const CnDomain kAnsiDomain{1, true, {}, "101100111000111100001111100000", 9};

TEST(Sib13Golden, OneAnsi41Domain) {
  Sib13 s;
  s.cnDomains = {kAnsiDomain};
  const Decoded d = DecodeBare(13, EncodeSib13(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(std::string("SysInfoType13 ::=\r\n"
                         "{\r\n") +
                 kAnsiDomainText + "}\r\n",
             d.text);
}

TEST(Sib13Golden, Ansi41OfTheLargestSize) {
  // 2048 bits, the upper bound: an 11-bit length of 2047, every bit printed.
  std::string bits;
  for (int i = 0; i < 512; ++i) bits += i % 2 == 0 ? "1100" : "0011";
  ASSERT_EQ(2048u, bits.size());
  Sib13 s;
  s.cnDomains = {{0, true, {}, bits, 6}};
  const Decoded d = DecodeBare(13, EncodeSib13(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectText(
      "SysInfoType13 ::=\r\n{\r\n" + CnDomainText(0, "cs-domain", Ansi41Text(bits), 6) + "}\r\n",
      d.text);
}

TEST(Sib13Golden, EveryMemberAndTheWholeChain) {
  Sib13 s;
  s.cnDomains = {{0, false, {0x9F, 0x00, 0x7E}, "", 6},
                 {1, true, {}, "1", 7},
                 {0, false, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, "", 8},
                 {1, false, {0xA0}, "", 9}};
  s.hasIdle = true;
  s.idle = {0, 0, 15, 0};
  s.hasCapability = true;
  s.capability = {true, false, 3};
  s.chain.levels = 3;
  s.chain.n312 = 1;
  s.chain.tdd128 = 1;
  s.chain.tdd768 = 0;
  s.chain.nonCriticalExtensions = true;
  const Decoded d = DecodeBare(13, EncodeSib13(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(
      "SysInfoType13 ::=\r\n"
      "{\r\n"
      "        cn_DomainSysInfoList[0]\r\n"
      "        {\r\n"
      "                cn_DomainIdentity = cs-domain\n"
      "            cn_Type\r\n"
      "            {\r\n"
      "                    \r\n"
      "Message dump (Hex):\r\n"
      "\t9F\t00\t7E\t\r\n"
      "            }\r\n"
      "                cn_DRX_CycleLengthCoeff = 6\r\n"
      "        }\r\n"
      "        cn_DomainSysInfoList[1]\r\n"
      "        {\r\n"
      "                cn_DomainIdentity = ps-domain\n"
      "            cn_Type\r\n"
      "            {\r\n"
      "                        ansi_41 = \"1\"\r\n"
      "            }\r\n"
      "                cn_DRX_CycleLengthCoeff = 7\r\n"
      "        }\r\n"
      "        cn_DomainSysInfoList[2]\r\n"
      "        {\r\n"
      "                cn_DomainIdentity = cs-domain\n"
      "            cn_Type\r\n"
      "            {\r\n"
      "                    \r\n"
      "Message dump (Hex):\r\n"
      "\t11\t22\t33\t44\t55\t66\t77\t88\t\r\n"
      "            }\r\n"
      "                cn_DRX_CycleLengthCoeff = 8\r\n"
      "        }\r\n"
      "        cn_DomainSysInfoList[3]\r\n"
      "        {\r\n"
      "                cn_DomainIdentity = ps-domain\n"
      "            cn_Type\r\n"
      "            {\r\n"
      "                    \r\n"
      "Message dump (Hex):\r\n"
      "\tA0\t\r\n"
      "            }\r\n"
      "                cn_DRX_CycleLengthCoeff = 9\r\n"
      "        }\r\n"
      "    ue_IdleTimersAndConstants\r\n"
      "    {\r\n"
      "            t_300 = ms100\n"
      "            n_300 = 0\r\n"
      "            t_312 = 15\r\n"
      "            n_312 = s1\n"
      "    }\r\n"
      "    capabilityUpdateRequirement\r\n"
      "    {\r\n"
      "        ue_RadioCapabilityFDDUpdateRequirement = True\r\n"
      "        ue_RadioCapabilityTDDUpdateRequirement = False\r\n"
      "                systemSpecificCapUpdateReqList[0] = gsm\n"
      "                systemSpecificCapUpdateReqList[1] = gsm\n"
      "                systemSpecificCapUpdateReqList[2] = gsm\n"
      "    }\r\n"
      "    v3a0NonCriticalExtensions\r\n"
      "    {\r\n"
      "        sysInfoType13_v3a0ext\r\n"
      "        {\r\n"
      "            ue_IdleTimersAndConstants_v3a0ext\r\n"
      "            {\r\n"
      "                    n_312 = s4\n"
      "            }\r\n"
      "        }\r\n"
      "        v4b0NonCriticalExtensions\r\n"
      "        {\r\n"
      "            sysInfoType13_v4b0ext\r\n"
      "            {\r\n"
      "                capabilityUpdateRequirement_r4Ext\r\n"
      "                {\r\n"
      "                    ue_RadioCapabilityUpdateRequirement_TDD128 = True\r\n"
      "                }\r\n"
      "            }\r\n"
      "            v770NonCriticalExtensions\r\n"
      "            {\r\n"
      "                sysInfoType13_v770ext\r\n"
      "                {\r\n"
      "                    capabilityUpdateRequirement\r\n"
      "                    {\r\n"
      "                        ue_RadioCapabilityTDDUpdateRequirement_TDD768 = False\r\n"
      "                    }\r\n"
      "                }\r\n"
      "                nonCriticalExtensions\r\n"
      "                {\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "}\r\n",
      d.text);
}

// The chain cut at each level, the extension records' optional members absent.
TEST(Sib13Golden, ChainCutAtEachLevel) {
  struct Case {
    const char* name;
    int levels;
    bool nonCriticalExtensions;
    const char* chain;
  };
  const char v3a0Open[] =
      "    v3a0NonCriticalExtensions\r\n"
      "    {\r\n"
      "        sysInfoType13_v3a0ext\r\n"
      "        {\r\n"
      "            ue_IdleTimersAndConstants_v3a0ext\r\n"
      "            {\r\n"
      "            }\r\n"
      "        }\r\n";
  const Case cases[] = {
      {"None", 0, false, ""},
      {"V3a0", 1, false, "    }\r\n"},
      {"V4b0", 2, false,
       "        v4b0NonCriticalExtensions\r\n"
       "        {\r\n"
       "            sysInfoType13_v4b0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V770", 3, false,
       "        v4b0NonCriticalExtensions\r\n"
       "        {\r\n"
       "            sysInfoType13_v4b0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "            v770NonCriticalExtensions\r\n"
       "            {\r\n"
       "                sysInfoType13_v770ext\r\n"
       "                {\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
      {"V770WithNonCriticalExtensions", 3, true,
       "        v4b0NonCriticalExtensions\r\n"
       "        {\r\n"
       "            sysInfoType13_v4b0ext\r\n"
       "            {\r\n"
       "            }\r\n"
       "            v770NonCriticalExtensions\r\n"
       "            {\r\n"
       "                sysInfoType13_v770ext\r\n"
       "                {\r\n"
       "                }\r\n"
       "                nonCriticalExtensions\r\n"
       "                {\r\n"
       "                }\r\n"
       "            }\r\n"
       "        }\r\n"
       "    }\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib13 s;
    s.cnDomains = {kAnsiDomain};
    s.chain.levels = c.levels;
    s.chain.nonCriticalExtensions = c.nonCriticalExtensions;
    const Decoded d = DecodeBare(13, EncodeSib13(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string("SysInfoType13 ::=\r\n"
                           "{\r\n") +
                   kAnsiDomainText + (c.levels > 0 ? v3a0Open : "") + c.chain + "}\r\n",
               d.text);
  }
}

TEST(Sib13Golden, CapabilityUpdateRequirementWithoutListAndSixteenGsm) {
  struct Case {
    const char* name;
    CapabilityUpdate capability;
    const char* lines;
  };
  const Case cases[] = {
      {"NoList",
       {false, true, 0},
       "        ue_RadioCapabilityFDDUpdateRequirement = False\r\n"
       "        ue_RadioCapabilityTDDUpdateRequirement = True\r\n"},
      {"SixteenGsm",
       {true, true, 16},
       "        ue_RadioCapabilityFDDUpdateRequirement = True\r\n"
       "        ue_RadioCapabilityTDDUpdateRequirement = True\r\n"
       "                systemSpecificCapUpdateReqList[0] = gsm\n"
       "                systemSpecificCapUpdateReqList[1] = gsm\n"
       "                systemSpecificCapUpdateReqList[2] = gsm\n"
       "                systemSpecificCapUpdateReqList[3] = gsm\n"
       "                systemSpecificCapUpdateReqList[4] = gsm\n"
       "                systemSpecificCapUpdateReqList[5] = gsm\n"
       "                systemSpecificCapUpdateReqList[6] = gsm\n"
       "                systemSpecificCapUpdateReqList[7] = gsm\n"
       "                systemSpecificCapUpdateReqList[8] = gsm\n"
       "                systemSpecificCapUpdateReqList[9] = gsm\n"
       "                systemSpecificCapUpdateReqList[10] = gsm\n"
       "                systemSpecificCapUpdateReqList[11] = gsm\n"
       "                systemSpecificCapUpdateReqList[12] = gsm\n"
       "                systemSpecificCapUpdateReqList[13] = gsm\n"
       "                systemSpecificCapUpdateReqList[14] = gsm\n"
       "                systemSpecificCapUpdateReqList[15] = gsm\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Sib13 s;
    s.cnDomains = {kAnsiDomain};
    s.hasCapability = true;
    s.capability = c.capability;
    const Decoded d = DecodeBare(13, EncodeSib13(s));
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectText(std::string("SysInfoType13 ::=\r\n"
                           "{\r\n") +
                   kAnsiDomainText +
                   "    capabilityUpdateRequirement\r\n"
                   "    {\r\n" +
                   c.lines + "    }\r\n}\r\n",
               d.text);
  }
}

TEST(Sib13Golden, T300BeyondItsIdentifiersStopsBeforeCapabilityAndChain) {
  // The decode ends at t_300 = 15: the capability booleans have no defined value, its list count
  // stays 0, and the chain prints its levels' blocks from the presence bits never read (0).
  Sib13 s;
  s.cnDomains = {kAnsiDomain};
  s.hasIdle = true;
  s.idle = {15, 1, 1, 1};
  s.hasCapability = true;
  s.capability = {true, true, 2};
  s.chain.levels = 3;
  const Decoded d = DecodeBare(13, EncodeSib13(s));
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch("SysInfoType13 ::=\r\n{\r\n" + kAnsiDomainText +
                       Replaced(kIdleUnreached, "t_300 = *", "t_300 = ???") + kCapabilityUnreached +
                       "    v3a0NonCriticalExtensions\r\n"
                       "    {\r\n"
                       "        sysInfoType13_v3a0ext\r\n"
                       "        {\r\n"
                       "            ue_IdleTimersAndConstants_v3a0ext\r\n"
                       "            {\r\n"
                       "            }\r\n"
                       "        }\r\n"
                       "    }\r\n"
                       "}\r\n",
                   d.text);
}

TEST(Sib13Golden, DomainCutInsideItsOctetsIsNotListed) {
  // The second CN domain announces 8 octets and the encoding ends after 2 of them: the element
  // fails and is not appended; nothing after the list is read.
  BitWriter w;
  w.Pattern("110");
  w.Constrained(2, 1, 4);
  PutCnDomain(w, kAnsiDomain);
  w.Constrained(0, 0, 1).Bit(0).Constrained(8, 1, 8).Bits(0xABCD, 16);
  const Decoded d = DecodeBare(13, w);
  ASSERT_EQ(sibdecode::kDecoded, d.result);
  ExpectLinesMatch("SysInfoType13 ::=\r\n{\r\n" + kAnsiDomainText + kIdleUnreached +
                       kCapabilityUnreached + "}\r\n",
                   d.text);
}

TEST(Sib13Golden, OneBchBlockThroughRrcParserX) {
  Sib13 s;
  s.cnDomains = {{0, false, {0x42}, "", 7}};
  s.hasCapability = true;
  s.capability = {false, false, 1};
  s.chain.levels = 2;
  s.chain.tdd128 = 0;
  const std::vector<uint8_t> block = CompleteSibBlock(13, EncodeSib13(s));
  const Decoded d = ParseBlocks(block);
  ASSERT_EQ(1, d.result);
  ExpectSummary(d.out, 0, 0);
  ExpectText(
      "SysInfoType13 ::=\r\n"
      "{\r\n"
      "        cn_DomainSysInfoList[0]\r\n"
      "        {\r\n"
      "                cn_DomainIdentity = cs-domain\n"
      "            cn_Type\r\n"
      "            {\r\n"
      "                    \r\n"
      "Message dump (Hex):\r\n"
      "\t42\t\r\n"
      "            }\r\n"
      "                cn_DRX_CycleLengthCoeff = 7\r\n"
      "        }\r\n"
      "    capabilityUpdateRequirement\r\n"
      "    {\r\n"
      "        ue_RadioCapabilityFDDUpdateRequirement = False\r\n"
      "        ue_RadioCapabilityTDDUpdateRequirement = False\r\n"
      "                systemSpecificCapUpdateReqList[0] = gsm\n"
      "    }\r\n"
      "    v3a0NonCriticalExtensions\r\n"
      "    {\r\n"
      "        sysInfoType13_v3a0ext\r\n"
      "        {\r\n"
      "            ue_IdleTimersAndConstants_v3a0ext\r\n"
      "            {\r\n"
      "            }\r\n"
      "        }\r\n"
      "        v4b0NonCriticalExtensions\r\n"
      "        {\r\n"
      "            sysInfoType13_v4b0ext\r\n"
      "            {\r\n"
      "                capabilityUpdateRequirement_r4Ext\r\n"
      "                {\r\n"
      "                    ue_RadioCapabilityUpdateRequirement_TDD128 = False\r\n"
      "                }\r\n"
      "            }\r\n"
      "        }\r\n"
      "    }\r\n"
      "}\r\n" +
          RawTrailer(block),
      d.text);
}

// ---------------------------------------------------------------------------------------------
// An encoding of no bytes: not even the first presence bit is read. What prints comes from the
// record's preparation alone: empty lists, clear presence bits, a CHOICE never chosen.

TEST(EmptyEncodingGolden, Sib2Sib7Sib13) {
  struct Case {
    unsigned sibType;
    const char* text;
  };
  const Case cases[] = {
      {2, "SysInfoType2 ::=\r\n{\r\n}\r\n"},
      {7,
       "SysInfoType7 ::=\r\n"
       "{\r\n"
       "    modeSpecificInfo\r\n"
       "    {\r\n"
       "    }\r\n"
       "}\r\n"},
      {13, "SysInfoType13 ::=\r\n{\r\n}\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sibType);
    const Decoded d = DecodeBare(c.sibType, BitWriter());
    ASSERT_EQ(sibdecode::kDecoded, d.result);
    ExpectSummary(d.out, 0, 0);
    ExpectText(c.text, d.text);
  }
}

}  // namespace
