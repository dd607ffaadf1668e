// The plugin's per-frame notes outside Wireshark: what a frame shows after the
// first pass, and a first pass that goes on after a later one looked at the
// frames (a live capture in the GUI).
#include "frame_notes.h"

#include <epan/epan.h>
#include <gtest/gtest.h>
#include <wiretap/wtap.h>
#include <wsutil/privileges.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr size_t kBlockBytes = 31;

// The blocks of the sample's SIB5 (four, one SIB in blocks of its own).
std::vector<guint8> Sib5Blocks() {
  std::ifstream sample(SIBDECODE_SAMPLE_HEX);
  std::string line;
  while (std::getline(sample, line) && line.rfind("# SIB5,", 0) != 0) {
  }
  std::getline(sample, line);
  std::vector<guint8> bytes;
  for (size_t i = 0; i + 1 < line.size(); i += 2) {
    bytes.push_back(static_cast<guint8>(std::stoi(line.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::vector<guint32> Frames(const guint32* frames, guint count) {
  return std::vector<guint32>(frames, frames + count);
}

class FrameNotesTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    init_process_policies();
    wtap_init(FALSE);
    ASSERT_TRUE(epan_init(nullptr, nullptr, FALSE));
    sibplugin::RegisterFrameNotes();
  }
  static void TearDownTestSuite() {
    epan_cleanup();
    wtap_cleanup();
  }
  // A session opens the file scope that the notes live in, as opening a capture does.
  void SetUp() override {
    blocks_ = Sib5Blocks();
    ASSERT_EQ(blocks_.size(), 4 * kBlockBytes);
    session_ = epan_new(nullptr, &providerFuncs_);
    ASSERT_TRUE(sibplugin::StartCapture());
  }
  void TearDown() override {
    sibplugin::EndCapture();
    epan_free(session_);
  }
  // Block k of the SIB5 (from 0) as the given frame, on cell 10088.
  void Feed(size_t k, guint32 frame) {
    sibplugin::FeedBlock(frame, 10088, frame, blocks_.data() + k * kBlockBytes);
  }
  void ExpectCompletedIn(guint32 frame, const std::vector<guint32>& carriers) {
    const sibplugin::FrameNotes* notes = sibplugin::NotesOf(frame);
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(notes->sibs, nullptr);
    EXPECT_EQ(notes->sibs->sibType, 5u);
    EXPECT_TRUE(notes->sibs->decoded);
    EXPECT_EQ(Frames(notes->sibs->frames, notes->sibs->frameCount), carriers);
    for (guint k = 0; k + 1 < carriers.size(); ++k) {
      const sibplugin::FrameNotes* carrier = sibplugin::NotesOf(carriers[k]);
      ASSERT_NE(carrier, nullptr);
      ASSERT_NE(carrier->segments, nullptr);
      EXPECT_EQ(carrier->segments->index, k + 1);
      EXPECT_EQ(carrier->segments->count, carriers.size());
      EXPECT_EQ(carrier->segments->reassembledIn, frame);
    }
  }
  std::vector<guint8> blocks_;
  packet_provider_funcs providerFuncs_ = {};
  epan_t* session_ = nullptr;
};

TEST_F(FrameNotesTest, SegmentsPointAtTheFrameThatCompletesTheSib) {
  for (size_t k = 0; k < 4; ++k) Feed(k, static_cast<guint32>(3 + 2 * k));
  Feed(3, 9);  // the same frame met again is not fed twice
  ExpectCompletedIn(9, {3, 5, 7, 9});
  sibplugin::ReportPendingAsEnded();
  EXPECT_EQ(sibplugin::EndedChainsOf(7), nullptr);
}

TEST_F(FrameNotesTest, FirstPassGoesOnAfterTheChainsWereReportedAsEnded) {
  Feed(0, 1);
  Feed(1, 2);
  sibplugin::ReportPendingAsEnded();
  const sibplugin::DroppedChain* ended = sibplugin::EndedChainsOf(2);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->reason, sibdecode::kDropFlushed);
  EXPECT_EQ(Frames(ended->frames, ended->frameCount), (std::vector<guint32>{1, 2}));
  EXPECT_EQ(ended->next, nullptr);

  // More frames come: the chain goes on as if it had never been flushed.
  Feed(2, 3);
  EXPECT_EQ(sibplugin::EndedChainsOf(2), nullptr);
  sibplugin::ReportPendingAsEnded();
  ASSERT_NE(sibplugin::EndedChainsOf(3), nullptr);
  Feed(3, 4);
  ExpectCompletedIn(4, {1, 2, 3, 4});
  sibplugin::ReportPendingAsEnded();
  EXPECT_EQ(sibplugin::EndedChainsOf(3), nullptr);
  EXPECT_EQ(sibplugin::NotesOf(4)->drops, nullptr);
}

// The forecast of a read-ahead gives the first pass the notes on later frames
// only while the frames it has seen itself agree with it.
TEST_F(FrameNotesTest, ForecastIsTrustedOnlyWhileTheFirstPassAgrees) {
  struct Row {
    const char* what;
    std::vector<guint32> foreseen;  // the frames of the SIB5's blocks in the read-ahead
    guint32 lastFrame;              // of the file read ahead
    std::vector<guint32> seen;      // ... in the first pass
    guint32 secondAgainIn;          // the first pass only: the second block captured twice
    guint32 givenUpIn;              // the first frame without the forecast (0: none)
  };
  const Row rows[] = {
      {"the same frames", {3, 5, 7, 9}, 12, {3, 5, 7, 9}, 0, 0},
      {"a block in another frame", {3, 5, 7, 9}, 12, {3, 5, 8, 9}, 0, 7},
      {"the first block in another frame", {2, 5, 7, 9}, 12, {3, 5, 7, 9}, 0, 2},
      {"more frames than were read ahead", {3, 5, 7}, 7, {3, 5, 7, 9}, 0, 8},
      // The copy is passed over: the same SIB, but not the same blocks.
      {"a block the read-ahead did not see", {3, 5, 7, 9}, 12, {3, 5, 7, 9}, 6, 6},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    sibplugin::EndCapture();
    ASSERT_TRUE(sibplugin::StartCapture());
    ASSERT_TRUE(sibplugin::StartForecast());
    for (size_t k = 0; k < row.foreseen.size(); ++k) {
      ASSERT_TRUE(sibplugin::ForecastBlock(row.foreseen[k], 10088, row.foreseen[k],
                                           blocks_.data() + k * kBlockBytes));
    }
    sibplugin::FinishForecast(row.lastFrame);
    for (guint32 frame = 1; frame <= row.seen.back(); ++frame) {  // the first pass
      for (size_t k = 0; k < row.seen.size(); ++k) {
        if (row.seen[k] == frame) Feed(k, frame);
      }
      if (frame == row.secondAgainIn) Feed(1, frame);
      sibplugin::CheckForecast(frame);
      const bool trusted = sibplugin::ForecastSegmentsOf(row.foreseen[0]) != nullptr ||
                           sibplugin::ForecastEndedChainsOf(row.foreseen.back()) != nullptr;
      EXPECT_EQ(trusted, row.givenUpIn == 0 || frame < row.givenUpIn) << "frame " << frame;
    }
  }
  const sibplugin::SegmentNote* first = sibplugin::ForecastSegmentsOf(3);
  ASSERT_EQ(first, nullptr);  // the last row's forecast was given up
}

TEST_F(FrameNotesTest, ForecastNamesTheChainsTheEndOfTheFileGivesUp) {
  ASSERT_TRUE(sibplugin::StartForecast());
  ASSERT_TRUE(sibplugin::ForecastBlock(1, 10088, 1, blocks_.data()));
  ASSERT_TRUE(sibplugin::ForecastBlock(2, 10088, 2, blocks_.data() + kBlockBytes));
  sibplugin::FinishForecast(4);
  for (guint32 frame = 1; frame <= 2; ++frame) {
    Feed(frame - 1, frame);
    sibplugin::CheckForecast(frame);
  }
  EXPECT_EQ(sibplugin::ForecastEndedChainsOf(1), nullptr);
  const sibplugin::DroppedChain* ended = sibplugin::ForecastEndedChainsOf(2);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->reason, sibdecode::kDropFlushed);
  EXPECT_EQ(Frames(ended->frames, ended->frameCount), (std::vector<guint32>{1, 2}));
  EXPECT_EQ(sibplugin::ForecastSegmentsOf(1), nullptr);  // its SIB never completes
  sibplugin::CheckForecast(3);
  sibplugin::CheckForecast(4);
  EXPECT_NE(sibplugin::ForecastEndedChainsOf(2), nullptr);
}

}  // namespace
