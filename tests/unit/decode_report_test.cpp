// Decode reports: a SIB cut short says where it stopped (a path of members the
// text prints, a bit inside the SIB) and its JSON leaves out what the decoder
// never reached; a whole SIB is complete; departures from the constraints
// that decoding goes past are warnings with their paths.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/sib_dispatch.h"
#include "sibdecode/sibdecode.h"
#include "support/member_paths.h"
#include "support/model_sibs.h"

namespace sibdecode {
namespace {

struct Outcome {
  int result = 0;
  std::string text;
  DecodeReport report{};
};

Outcome Decode(DecoderState* state, unsigned int sibType, const std::vector<uint8_t>& sib,
               bool json) {
  Outcome outcome;
  std::vector<char> text(1 << 20);
  tagSystemInformationBlock summary;
  size_t length = 0;
  outcome.result = json ? DecodeSibJson(state, sibType, sib.data(), sib.size(), &summary,
                                        text.data(), text.size(), &length)
                        : DecodeSib(state, sibType, sib.data(), sib.size(), &summary, text.data(),
                                    text.size(), &length);
  outcome.text.assign(text.data(), length);
  outcome.report.size = sizeof outcome.report;
  EXPECT_EQ(GetDecodeReport(state, &outcome.report), 1);
  return outcome;
}

std::string LastNamedMember(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot == std::string::npos ? path : path.substr(dot + 1, path.find('[', dot) - dot - 1);
}

// The JSON without its report members, its closing brackets dropped.
std::string OpenPrefix(std::string json) {
  const size_t report = json.find(",\"complete\":false");
  json = json.substr(0, report != std::string::npos ? report : json.find("\"complete\":false"));
  while (!json.empty() && (json.back() == '}' || json.back() == ']')) json.pop_back();
  return json;
}

TEST(DecodeReport, EverySibCutAtEveryByteSaysWhereItStopped) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  ASSERT_GE(samples.size(), 20u) << "tests/data/model_sibs.txt";
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);  // every type, whole extension chains
  size_t cuts = 0;
  for (const sibtest::ModelSib& sample : samples) {
    const Outcome whole = Decode(state, sample.sibType, sample.bare, false);
    ASSERT_EQ(whole.result, kDecoded);
    EXPECT_EQ(whole.report.decoded, 1);
    EXPECT_EQ(whole.report.complete, 1) << "SIB" << sample.sibType << " " << whole.report.stop.path;
    EXPECT_EQ(whole.report.stop.kind, kStopNone);
    EXPECT_EQ(whole.report.warningCount, 0u) << whole.report.warnings[0].path;
    const Outcome wholeJson = Decode(state, sample.sibType, sample.bare, true);
    EXPECT_EQ(wholeJson.text.find("\"complete\":false"), std::string::npos);

    // Model samples may end in zero bytes the decoder never reads.
    const size_t encodingBytes = (whole.report.endBit + 7) / 8;
    for (size_t cut = 0; cut < encodingBytes; ++cut) {
      const std::vector<uint8_t> sib(sample.bare.begin(), sample.bare.begin() + cut);
      const std::string where =
          "SIB" + std::to_string(sample.sibType) + " cut " + std::to_string(cut);
      const Outcome text = Decode(state, sample.sibType, sib, false);
      const DecodeReport& report = text.report;
      ASSERT_EQ(report.decoded, 1) << where;
      ASSERT_EQ(report.complete, 0) << where;
      EXPECT_EQ(report.stop.kind, kStopEndOfData) << where << " " << report.stop.path;
      EXPECT_LE(report.stop.bit, cut * 8) << where;
      // The path starts at the type the text opens with and names a member of
      // this SIB (under the names the text prints, which its JSON keys carry).
      const std::string path = report.stop.path;
      EXPECT_TRUE(IsMemberPath(sample.sibType, path.c_str())) << where << " " << path;
      const std::string root = path.substr(0, path.find('.'));
      EXPECT_EQ(text.text.compare(0, root.size() + 1, root + " "), 0) << where << " " << path;
      const std::string member = LastNamedMember(path);
      if (member != path) {
        EXPECT_NE(wholeJson.text.find("\"" + member + "\":"), std::string::npos)
            << where << " " << path;
      }

      const Outcome json = Decode(state, sample.sibType, sib, true);
      EXPECT_EQ(std::string(json.report.stop.path), path) << where;
      EXPECT_NE(json.text.find("\"complete\":false,\"stop\":{\"reason\":\"end of data\""),
                std::string::npos)
          << where;
      // What the cut SIB's JSON holds is the whole SIB's JSON up to the stop point.
      const std::string prefix = OpenPrefix(json.text);
      EXPECT_EQ(wholeJson.text.compare(0, prefix.size(), prefix), 0) << where << "\n"
                                                                     << json.text << "\n"
                                                                     << wholeJson.text;
      ++cuts;
    }
  }
  DestroyDecoderState(state);
  EXPECT_GT(cuts, 1000u);
}

struct WarningCase {
  const char* name;
  unsigned int sibType;
  const char* hex;
  int kind;
  const char* path;
};

// A SIB of a later release decoded at Release 7: the container past the
// Release 7 level is noted as such (where it starts), not as bits left over;
// at the latest release it is decoded and nothing is noted.
TEST(DecodeReport, ALaterReleasesContainerIsNotedAtRelease7) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  DecoderState* release7 = CreateDecoderState();
  DecoderState* latest = CreateDecoderState();
  SetDecodeRelease(latest, kReleaseLatest);
  size_t noted = 0;
  for (const sibtest::ModelSib& sample : samples) {
    if (!IsDecodedSibType(sample.sibType)) {
      EXPECT_EQ(Decode(release7, sample.sibType, sample.bare, false).result, kNothingDecoded);
      continue;
    }
    const Outcome cut = Decode(release7, sample.sibType, sample.bare, false);
    const Outcome whole = Decode(latest, sample.sibType, sample.bare, false);
    const std::string where = "SIB" + std::to_string(sample.sibType);
    ASSERT_EQ(whole.report.complete, 1) << where;
    EXPECT_EQ(whole.report.warningCount, 0u) << where << " " << whole.report.warnings[0].path;
    ASSERT_EQ(cut.report.complete, 1) << where;
    if (cut.report.endBit == whole.report.endBit) {
      EXPECT_EQ(cut.report.warningCount, 0u) << where;
      continue;
    }
    ++noted;
    ASSERT_EQ(cut.report.warningCount, 1u) << where;
    const DecodeNote& note = cut.report.warnings[0];
    EXPECT_EQ(note.kind, kWarnLaterRelease) << where << " " << note.path;
    EXPECT_TRUE(IsMemberPath(sample.sibType, note.path)) << note.path;
    EXPECT_NE(std::string(note.path).find("NonCritical"), std::string::npos) << note.path;
    EXPECT_EQ(note.bit, cut.report.endBit) << where << ": noted where its content starts";
    EXPECT_NE(cut.text.find("nonCriticalExtensions\r\n"), std::string::npos) << where;
  }
  EXPECT_GT(noted, 5u) << "the model SIBs must carry later containers";
  DestroyDecoderState(release7);
  DestroyDecoderState(latest);
}

TEST(DecodeReport, DeparturesFromTheConstraintsAreWarnings) {
  // A SIB3 whose mappingFunctionParameterList (SIZE(1..3)) has 4 elements;
  // the same with non-zero bits after its end.
  const char* list4 =
      "f7e4a6ef2fffffed7ffff6bffffb5ffffdaeffffed7ffff6bffffb5dffffdaffffed5fffffe2c588bc58b138b178"
      "b162b69fff1dffa6fdffffdaffffed7ffff6bf3eaf5fffffffffffffffffffe7fe";
  const std::string list4Tail = std::string(list4) + "0080";
  const WarningCase cases[] = {
      {"list above SIZE", 3, list4, kWarnListAboveSize,
       "SysInfoType3.cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList"},
      {"bits left over", 3, list4Tail.c_str(), kWarnBitsLeftOver, "SysInfoType3"},
  };
  DecoderState* state = CreateDecoderState();
  for (const WarningCase& c : cases) {
    const Outcome outcome = Decode(state, c.sibType, sibtest::FromHex(c.hex), false);
    ASSERT_EQ(outcome.result, kDecoded) << c.name;
    EXPECT_EQ(outcome.report.complete, 1) << c.name;
    ASSERT_GE(outcome.report.warningCount, 1u) << c.name;
    const DecodeNote& last = outcome.report.warnings[outcome.report.warningCount - 1];
    EXPECT_EQ(last.kind, c.kind) << c.name;
    EXPECT_TRUE(IsMemberPath(c.sibType, last.path)) << c.name;
    EXPECT_STREQ(last.path, c.path) << c.name;
    EXPECT_LE(last.bit, c.hex == list4 ? 631u : 640u) << c.name;
    // The JSON lists the warnings after the values, and no stop.
    const Outcome json = Decode(state, c.sibType, sibtest::FromHex(c.hex), true);
    const std::string listed = "\"warning\":\"" + std::string(DecodeWarningText(c.kind)) +
                               "\",\"bit\":" + std::to_string(last.bit) + ",\"path\":\"" + c.path +
                               "\"}]}";
    EXPECT_NE(json.text.find(",\"warnings\":[{\"warning\":"), std::string::npos) << c.name;
    EXPECT_NE(json.text.find(listed), std::string::npos) << c.name << " " << json.text;
    EXPECT_EQ(json.text.find("\"complete\""), std::string::npos) << c.name;
  }
  DestroyDecoderState(state);
}

TEST(DecodeReport, ABatchWithoutOneOfItsSegmentsWarnsOfTheGap) {
  // Each segmented model SIB without its second block: the segments left are
  // joined (the decode may then stop anywhere), with a warning where the gap is.
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);
  std::vector<char> text(1 << 20);
  size_t gaps = 0;
  for (const sibtest::ModelSib& sample : samples) {
    // (a batch of an extension type is extensionType's: only a cell's schedule names it)
    if (sample.batch.size() < 3 * 31 || sample.sibType >= kSibTypeExtension) continue;
    std::vector<uint8_t> batch(sample.batch);
    batch.erase(batch.begin() + 31, batch.begin() + 62);
    tagSystemInformationBlock summary;
    size_t length = 0;
    const int result =
        DecodeBatch(state, batch.data(), batch.size(), &summary, text.data(), text.size(), &length);
    const std::string where = "SIB" + std::to_string(sample.sibType);
    ASSERT_EQ(result, kDecoded) << where;
    DecodeReport report{};
    report.size = sizeof report;
    ASSERT_EQ(GetDecodeReport(state, &report), 1);
    const unsigned int kept =
        report.warningCount < kReportWarnings ? report.warningCount : kReportWarnings;
    ASSERT_GE(kept, 1u) << where;
    const DecodeNote& gap = report.warnings[kept - 1];
    EXPECT_EQ(gap.kind, kWarnSegmentGap) << where;
    EXPECT_EQ(std::string(gap.path), FindSibRow(sample.sibType)->name) << where;
    EXPECT_GT(gap.bit, 0u) << where;
    EXPECT_LT(gap.bit, 8 * batch.size()) << where;
    ++gaps;
  }
  DestroyDecoderState(state);
  EXPECT_GT(gaps, 3u);
}

TEST(DecodeReport, MemberPathsAreTheTypesOwn) {
  const struct {
    unsigned int sibType;
    const char* path;
    bool member;
  } cases[] = {
      {3, "SysInfoType3", true},
      {3, "SysInfoType3.cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList[2]",
       true},
      {3, "SysInfoType3.cellIdentity", true},
      {3, "SysInfoType3.cellIdentity.more", false},  // below a simple value
      {3, "SysInfoType3.noSuchMember", false},
      {3, "SysInfoType3[0]", false},  // not a list
      {3, "SysInfoType3.cellSelectReselectInfo.mappingInfo[]", false},
      {4, "SysInfoType3.cellIdentity", false},  // another type's path
      {0, "MasterInformationBlock", true},
      {0, "MasterInformationBlock.v690NonCriticalExtensions.v6b0NonCriticalExtensions", true},
      {31, "extensionType", false},  // no decoder: its type is the schedule's to name
  };
  for (const auto& c : cases) EXPECT_EQ(IsMemberPath(c.sibType, c.path), c.member) << c.path;
}

TEST(DecodeReport, ShortSizeFieldCopiesOnlyWhatTheCallerHas) {
  DecoderState* state = CreateDecoderState();
  DecodeReport report{};
  report.size = 0;
  EXPECT_EQ(GetDecodeReport(state, &report), 0);
  EXPECT_EQ(GetDecodeReport(nullptr, &report), 0);
  // An older caller's struct that ends after `decoded`: nothing past it is written.
  struct Older {
    size_t size;
    unsigned int sibType;
    int decoded;
    unsigned char guard[16];
  } older{};
  older.size = offsetof(Older, guard);
  for (unsigned char& b : older.guard) b = 0xA5;
  EXPECT_EQ(GetDecodeReport(state, reinterpret_cast<DecodeReport*>(&older)), 1);
  for (unsigned char b : older.guard) EXPECT_EQ(b, 0xA5);
  DestroyDecoderState(state);
}

}  // namespace
}  // namespace sibdecode
