// The cell survey: cells told apart by identity and PLMN, what each record
// says, and the JSON reader under it.
#include <gtest/gtest.h>
#include <sibdecode/survey.h>

#include <string>
#include <vector>

#include "survey/json_tree.h"

namespace {

using sibdecode::CellSurvey;
using sibdecode::SurveySib;

struct Received {
  uint64_t arfcn;
  unsigned int type;
  std::string value;
};

std::string Sib3(const char* identityBits) {
  return std::string("{\"cellIdentity\":\"") + identityBits +
         "\",\"cellSelectReselectInfo\":{\"modeSpecificInfo\":{\"tdd\":{\"q_RxlevMin\":-50}}}}";
}
std::string Mib(int mcc2, int tag) {
  return "{\"mib_ValueTag\":" + std::to_string(tag) +
         ",\"plmn_Type\":{\"gsm_MAP\":{\"plmn_Identity\":{\"mcc\":[4,6," + std::to_string(mcc2) +
         "],\"mnc\":[0,7]}}},\"sibSb_ReferenceList\":[{\"sibSb_Type\":{\"sysInfoType3\":5}},"
         "{\"sibSb_Type\":{\"sysInfoType7\":null}},{\"sibSb_Type\":{\"spare1\":null}}]}";
}
const char* const kId1 = "0000000000000000000000000001";
const char* const kId2 = "0000000000000000000000000010";
const std::string kSib7 = "{\"sib7\":1}";

std::vector<std::string> Lines(CellSurvey* survey, sibdecode::SurveyRecords records) {
  size_t needed = 0;
  const int sized = sibdecode::WriteSurveyRecords(survey, records, sibdecode::kSurveyJsonLines,
                                                  nullptr, 0, &needed);
  EXPECT_EQ(sized, needed == 0 ? sibdecode::kSurveyOk : sibdecode::kSurveyTooSmall);
  std::string text(needed, '\0');
  EXPECT_EQ(sibdecode::WriteSurveyRecords(survey, records, sibdecode::kSurveyJsonLines, text.data(),
                                          text.size(), &needed),
            sibdecode::kSurveyOk);
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

CellSurvey* Survey(const std::vector<Received>& sibs) {
  CellSurvey* survey = sibdecode::CreateCellSurvey(true);
  for (size_t i = 0; i < sibs.size(); ++i) {
    SurveySib sib;
    sib.sibType = sibs[i].type;
    sib.hasArfcn = true;
    sib.arfcn = sibs[i].arfcn;
    sib.hasTime = true;
    sib.seconds = 1768467600 + static_cast<int64_t>(i);
    sib.value = sibs[i].value.data();
    sib.valueLen = sibs[i].value.size();
    EXPECT_EQ(sibdecode::AddSurveySib(survey, sib), sibdecode::kSurveyOk) << i;
  }
  return survey;
}

// Each expected cell: a piece of its record that names it, and its SIB counts.
struct CellSplitCase {
  const char* name;
  std::vector<Received> sibs;
  std::vector<std::string> cells;
};

TEST(CellSurvey, TellsCellsApartByArfcnIdentityAndPlmn) {
  const std::vector<CellSplitCase> cases = {
      {"SIBs before the first identity are its cell's",
       {{0, 7, kSib7}, {0, 0, Mib(0, 1)}, {0, 3, Sib3(kId1)}},
       {"\"arfcn\":0,\"mode\":\"1.28 Mcps TDD\",\"plmn\":\"460-07\",\"lac\":null,\"rac\":null,"
        "\"cell_identity\":1,\"cell_identity_hex\":\"0x0000001\",\"rnc_id\":0,\"c_id\":1,"
        "\"first_time\":\"2026-01-15T09:00:00.000000Z\""}},
      {"a new identity on the ARFCN starts a cell; the SIBs since the last identity are its",
       {{0, 3, Sib3(kId1)}, {0, 7, kSib7}, {0, 3, Sib3(kId1)}, {0, 7, kSib7}, {0, 3, Sib3(kId2)}},
       {"\"cell_identity\":1,", "\"cell_identity\":2,"}},
      {"another PLMN starts a cell though the identity is the same",
       {{0, 0, Mib(0, 1)},
        {0, 3, Sib3(kId1)},
        {0, 7, kSib7},
        {0, 0, Mib(1, 1)},
        {0, 3, Sib3(kId1)}},
       {"\"plmn\":\"460-07\",", "\"plmn\":\"461-07\","}},
      {"two ARFCNs interleaved stay two cells",
       {{10054, 3, Sib3(kId1)}, {10071, 3, Sib3(kId2)}, {10054, 7, kSib7}, {10071, 7, kSib7}},
       {"\"arfcn\":10054,", "\"arfcn\":10071,"}},
      {"a cell left and come back to is one record",
       {{0, 3, Sib3(kId1)}, {0, 7, kSib7}, {0, 3, Sib3(kId2)}, {0, 3, Sib3(kId1)}},
       {"\"cell_identity\":1,", "\"cell_identity\":2,"}},
      {"cells in the order of their first SIB, one without identity too",
       {{5, 7, kSib7}, {6, 3, Sib3(kId2)}, {7, 3, Sib3(kId1)}},
       {"\"arfcn\":5,", "\"arfcn\":6,", "\"arfcn\":7,"}},
      {"no identity at all: one cell without one",
       {{5, 7, kSib7}, {5, 7, kSib7}},
       {"\"arfcn\":5,\"mode\":null,\"plmn\":null,\"lac\":null,\"rac\":null,\"cell_identity\":"
        "null"}},
  };
  for (const CellSplitCase& c : cases) {
    CellSurvey* survey = Survey(c.sibs);
    const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
    ASSERT_EQ(cells.size(), c.cells.size()) << c.name;
    for (size_t i = 0; i < cells.size(); ++i) {
      EXPECT_NE(cells[i].find(c.cells[i]), std::string::npos) << c.name << ": " << cells[i];
    }
    // Every SIB lands in exactly one cell's counts and once in the timeline.
    EXPECT_EQ(Lines(survey, sibdecode::kSurveyTimeline).size(), c.sibs.size()) << c.name;
    sibdecode::DestroyCellSurvey(survey);
  }
}

TEST(CellSurvey, SibsBetweenTwoIdentitiesGoToTheNewCell) {
  CellSurvey* survey =
      Survey({{0, 3, Sib3(kId1)}, {0, 7, kSib7}, {0, 7, kSib7}, {0, 3, Sib3(kId2)}});
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 2u);
  EXPECT_EQ(cells[0].find("\"type\":\"SIB7\""), std::string::npos) << cells[0];
  EXPECT_NE(cells[1].find("{\"type\":\"SIB7\",\"type_number\":7,\"count\":2,"), std::string::npos);
  sibdecode::DestroyCellSurvey(survey);
}

TEST(CellSurvey, CountsVersionsAndChangesOfContent) {
  const std::string a = "{\"x\":1}", b = "{\"x\":2}";
  CellSurvey* survey = Survey({{0, 3, Sib3(kId1)}, {0, 7, a}, {0, 7, b}, {0, 7, b}, {0, 7, a}});
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_NE(cells[0].find("{\"type\":\"SIB7\",\"type_number\":7,\"count\":4,\"versions\":2,"
                          "\"changes\":2,\"more_versions\":false}"),
            std::string::npos)
      << cells[0];
  const std::vector<std::string> timeline = Lines(survey, sibdecode::kSurveyTimeline);
  ASSERT_EQ(timeline.size(), 5u);
  const char* const expected[] = {
      "\"version\":1,\"changed\":false", "\"version\":2,\"changed\":true",
      "\"version\":2,\"changed\":false", "\"version\":1,\"changed\":true"};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NE(timeline[i + 1].find(expected[i]), std::string::npos) << timeline[i + 1];
  }
  sibdecode::DestroyCellSurvey(survey);
}

TEST(CellSurvey, MibValueTagsByTheNamesOfTheScheduledSibs) {
  CellSurvey* survey = Survey({{0, 0, Mib(0, 3)}, {0, 3, Sib3(kId1)}});
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_NE(cells[0].find("\"mib_value_tag\":3,\"value_tags\":{\"SIB3\":5,\"SIB7\":null},"),
            std::string::npos)
      << cells[0];
  sibdecode::DestroyCellSurvey(survey);
}

TEST(CellSurvey, NeighbourRowsOfEveryListAndTheirValues) {
  const std::string sib11 =
      "{\"measurementControlSysInfo\":{\"use_of_HCS\":{\"hcs_not_used\":{"
      "\"cellSelectQualityMeasure\":"
      "{\"cpich_RSCP\":{\"intraFreqMeasurementSysInfo\":{\"intraFreqCellInfoSI_List\":{"
      "\"newIntraFreqCellList\":[{\"intraFreqCellID\":1,\"cellInfo\":{\"modeSpecificInfo\":{"
      "\"fdd\":"
      "{\"primaryCPICH_Info\":{\"primaryScramblingCode\":300}}},\"cellSelectionReselectionInfo\":"
      "{\"q_OffsetS_N\":4,\"modeSpecificInfo\":{\"fdd\":{\"q_RxlevMin\":-58}}}}}]}},"
      "\"interFreqMeasurementSysInfo\":{\"interFreqCellInfoSI_List\":{\"newInterFreqCellList\":["
      "{\"interFreqCellID\":2,\"frequencyInfo\":{\"modeSpecificInfo\":{\"tdd\":{\"uarfcn_Nt\":"
      "10096}}},"
      "\"cellInfo\":{\"primaryCCPCH_Info\":{\"cellParametersID\":77}}},"
      "{\"interFreqCellID\":3,\"cellInfo\":{}}]}}}},\"interRATMeasurementSysInfo\":{"
      "\"interRATCellInfoList\":{\"newInterRATCellList\":[{\"interRATCellID\":4,"
      "\"technologySpecificInfo\":{\"gsm\":{\"bsic\":{\"ncc\":3,\"bcc\":1},\"frequency_band\":"
      "\"dcs1800BandUsed\",\"bcch_ARFCN\":520}}},{\"interRATCellID\":5,\"technologySpecificInfo\":"
      "{\"is_2000\":null}}]}}}}},\"v7b0NonCriticalExtensions\":{\"sysInfoType11_v7b0ext\":{"
      "\"newInterFreqCellList\":[{\"intraSecondaryFreqIndicator\":true},{}]}}}";
  const std::string sib19 =
      "{\"utra_PriorityInfoList\":{\"utran_TDD_FrequencyList\":[{\"uarfcn\":10120,\"priority\":2,"
      "\"threshXhigh\":4,\"threshXlow\":1,\"qRxLevMinTDD\":-22}]},\"gsm_PriorityInfoList\":[{"
      "\"gsmCellGroup\":{\"startingARFCN\":17,\"bandIndicator\":\"dcs1800\"},\"priority\":1,"
      "\"qRxLevMinGSM\":-50,\"threshXhigh\":3,\"threshXlow\":2}],"
      "\"eutra_FrequencyAndPriorityInfoList\":[{\"earfcn\":38950,\"priority\":5,\"threshXhigh\":6,"
      "\"threshXlow\":0,\"eutra_blackListedCellList\":[{\"physicalCellIdentity\":404}]}]}";
  CellSurvey* survey = Survey({{10088, 3, Sib3(kId1)},
                               {10088, 11, sib11},
                               {10088, sibdecode::kSibTypeExtension2Base, sib19}});
  const std::vector<std::string> rows = Lines(survey, sibdecode::kSurveyNeighbours);
  const char* const expected[] = {
      "\"sib\":\"SIB11\",\"kind\":\"intra\",\"neighbour_id\":1,\"mode\":\"FDD\",\"uarfcn\":10088,"
      "\"gsm_arfcn\":null,\"gsm_band\":null,\"earfcn\":null,\"cell_parameters_id\":null,"
      "\"primary_scrambling_code\":300,",
      "\"q_rxlev_min\":-58,\"q_offset\":4}",
      "\"kind\":\"inter\",\"neighbour_id\":2,\"mode\":\"TDD\",\"uarfcn\":10096,"
      "\"gsm_arfcn\":null,\"gsm_band\":null,\"earfcn\":null,\"cell_parameters_id\":77,",
      // No frequencyInfo: the previous entry's frequency.
      "\"kind\":\"inter\",\"neighbour_id\":3,\"mode\":\"TDD\",\"uarfcn\":10096,",
      "\"kind\":\"gsm\",\"neighbour_id\":4,\"mode\":null,\"uarfcn\":null,\"gsm_arfcn\":520,"
      "\"gsm_band\":\"dcs1800BandUsed\",\"earfcn\":null,\"cell_parameters_id\":null,"
      "\"primary_scrambling_code\":null,\"ncc\":3,\"bcc\":1,",
      "\"kind\":\"other_rat\",\"neighbour_id\":5,",
      "\"sib\":\"SIB19\",\"kind\":\"utra_layer\",\"neighbour_id\":null,\"mode\":\"TDD\","
      "\"uarfcn\":10120,",
      "\"kind\":\"gsm_layer\",\"neighbour_id\":null,\"mode\":null,\"uarfcn\":null,\"gsm_arfcn\":17,"
      "\"gsm_band\":\"dcs1800\",",
      "\"kind\":\"eutra_layer\",\"neighbour_id\":null,\"mode\":null,\"uarfcn\":null,"
      "\"gsm_arfcn\":null,\"gsm_band\":null,\"earfcn\":38950,",
      "\"kind\":\"eutra_blacklisted\",\"neighbour_id\":null,\"mode\":null,\"uarfcn\":null,"
      "\"gsm_arfcn\":null,\"gsm_band\":null,\"earfcn\":38950,\"cell_parameters_id\":null,"
      "\"primary_scrambling_code\":null,\"ncc\":null,\"bcc\":null,\"physical_cell_id\":404,",
  };
  ASSERT_EQ(rows.size(), 9u);
  const size_t rowOf[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
  for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
    EXPECT_NE(rows[rowOf[i]].find(expected[i]), std::string::npos) << rows[rowOf[i]];
  }
  EXPECT_NE(
      rows[5].find("\"priority\":2,\"thresh_x_high\":4,\"thresh_x_low\":1,\"q_rxlev_min\":-22"),
      std::string::npos);
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_NE(cells[0].find("\"intra_freq_cells\":1,\"inter_freq_cells\":2,\"gsm_cells\":1,"
                          "\"eutra_frequencies\":1,"),
            std::string::npos)
      << cells[0];
  sibdecode::DestroyCellSurvey(survey);
}

// A live table's view counts the SIBs waiting for an identity with the cell
// they would go to, and leaves them waiting.
TEST(CellSurvey, ViewCountsWaitingSibsWithoutTakingThem) {
  CellSurvey* survey = Survey(
      {{0, 0, Mib(0, 1)}, {0, 3, Sib3(kId1)}, {0, 7, kSib7}, {0, 0, Mib(1, 1)}, {5, 7, kSib7}});
  std::vector<sibdecode::SurveyCellView> views(3);
  ASSERT_EQ(sibdecode::ViewSurveyCells(survey, views.data(), views.size()), 3u);
  EXPECT_TRUE(views[0].hasIdentity);
  EXPECT_EQ(views[0].identity, 1u);
  EXPECT_STREQ(views[0].plmn, "460-07");
  EXPECT_EQ(views[0].counts[7], 1u);   // before the other network's MIB: the first cell's
  EXPECT_FALSE(views[1].hasIdentity);  // ARFCN 0's next cell: another network
  EXPECT_STREQ(views[1].plmn, "461-07");
  EXPECT_EQ(views[1].counts[7], 0u);
  EXPECT_EQ(views[1].counts[0], 1u);  // its MIB, waiting for the identity
  EXPECT_EQ(views[2].arfcn, 5u);
  EXPECT_EQ(views[2].counts[7], 1u);
  // Nothing was taken: the identity that comes names the waiting SIBs' cell.
  SurveySib sib;
  const std::string sib3 = Sib3(kId2);
  sib.sibType = 3;
  sib.hasArfcn = true;
  sib.value = sib3.data();
  sib.valueLen = sib3.size();
  ASSERT_EQ(sibdecode::AddSurveySib(survey, sib), sibdecode::kSurveyOk);
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_NE(cells[1].find("\"plmn\":\"461-07\",\"lac\":null,\"rac\":null,\"cell_identity\":2,"),
            std::string::npos)
      << cells[1];
  sibdecode::DestroyCellSurvey(survey);
}

TEST(CellSurvey, RefusesBadArgumentsAndCountsValuesItCannotRead) {
  CellSurvey* survey = sibdecode::CreateCellSurvey(false);
  SurveySib sib;
  sib.sibType = sibdecode::kSibTypeNumbers;
  EXPECT_EQ(sibdecode::AddSurveySib(survey, sib), sibdecode::kSurveyBadArgument);
  EXPECT_EQ(sibdecode::AddSurveySib(nullptr, SurveySib()), sibdecode::kSurveyBadArgument);
  sib.sibType = 3;
  sib.size = sizeof(SurveySib) - 1;
  EXPECT_EQ(sibdecode::AddSurveySib(survey, sib), sibdecode::kSurveyBadArgument);
  sib.size = sizeof(SurveySib);
  const std::string broken = "{\"cellIdentity\":\"01\"";
  sib.value = broken.data();
  sib.valueLen = broken.size();
  EXPECT_EQ(sibdecode::AddSurveySib(survey, sib), sibdecode::kSurveyValueNotRead);
  const std::vector<std::string> cells = Lines(survey, sibdecode::kSurveyCells);
  ASSERT_EQ(cells.size(), 1u);
  EXPECT_NE(cells[0].find("\"cell_identity\":null"), std::string::npos);
  EXPECT_NE(cells[0].find("{\"type\":\"SIB3\",\"type_number\":3,\"count\":1,"), std::string::npos);
  // No timeline kept: none written.
  EXPECT_TRUE(Lines(survey, sibdecode::kSurveyTimeline).empty());
  size_t needed = 0;
  char small[8];
  EXPECT_EQ(sibdecode::WriteSurveyRecords(survey, sibdecode::kSurveyCells, sibdecode::kSurveyTable,
                                          small, sizeof small, &needed),
            sibdecode::kSurveyTooSmall);
  EXPECT_GT(needed, sizeof small);
  EXPECT_EQ(sibdecode::WriteSurveyRecords(survey, static_cast<sibdecode::SurveyRecords>(7),
                                          sibdecode::kSurveyTable, small, sizeof small, &needed),
            sibdecode::kSurveyBadArgument);
  sibdecode::DestroyCellSurvey(survey);
}

struct JsonCase {
  std::string text;
  bool read;
};

TEST(ReadJson, TakesWellFormedValuesAndRefusesTheRest) {
  const std::vector<JsonCase> cases = {
      {" {\"a\":[1,-2,true,false,null,\"x\\u00e9\\n\"],\"b\":{}} ", true},
      {"[]", true},
      {"9223372036854775807", true},
      {"99999999999999999999", true},  // read, but not as an integer
      {"1.5e3", true},
      {"{\"a\":1", false},
      {"{\"a\" 1}", false},
      {"[1,]", false},
      {"\"unterminated", false},
      {"\"bad \\x escape\"", false},
      {"tru", false},
      {"{} {}", false},
      {"", false},
      {std::string(300, '[') + std::string(300, ']'), false},  // nested too deep
      {std::string(200, '[') + std::string(200, ']'), true},
  };
  for (const JsonCase& c : cases) {
    sibdecode::JsonNode node;
    EXPECT_EQ(sibdecode::ReadJson(c.text.data(), c.text.size(), &node), c.read) << c.text;
  }
  sibdecode::JsonNode node;
  const std::string text =
      "{\"a\":{\"b\":[{\"c\":-9223372036854775808}]},\"d\":99999999999999999999}";
  ASSERT_TRUE(sibdecode::ReadJson(text.data(), text.size(), &node));
  ASSERT_NE(node.Find("c"), nullptr);
  EXPECT_EQ(node.Find("c")->integer, INT64_MIN);
  EXPECT_FALSE(node.Member("d")->IsInteger());
  EXPECT_EQ(node.Member("c"), nullptr);
}

}  // namespace
