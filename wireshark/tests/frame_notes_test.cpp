// The plugin's per-frame notes outside Wireshark: what a frame shows after the
// first pass, chains given up on the way, and a first pass that goes on after a
// later one looked at the frames (a live capture in the GUI).
#include "frame_notes.h"

#include <epan/epan.h>
#include <gtest/gtest.h>
#include <wiretap/wtap.h>
#include <wsutil/privileges.h>

#include <fstream>
#include <map>
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
    sibplugin::FeedBlock(frame, 10088, blocks_.data() + k * kBlockBytes);
  }
  // The frame's own notes, as the dissector reads them.
  const sibplugin::FrameNotes* NotesOf(guint32 frame) { return sibplugin::NotesOf(frame); }
  const sibplugin::DroppedChain* EndedChainsOf(guint32 frame) {
    return sibplugin::EndedChainsOf(frame);
  }
  void ExpectCompletedIn(guint32 frame, const std::vector<guint32>& carriers) {
    const sibplugin::FrameNotes* notes = NotesOf(frame);
    ASSERT_NE(notes, nullptr);
    ASSERT_NE(notes->sibs, nullptr);
    EXPECT_EQ(notes->sibs->sibType, 5u);
    EXPECT_TRUE(notes->sibs->decoded);
    // Decoded when shown: the first pass only reassembled it.
    sibplugin::ShownDecode shown;
    ASSERT_TRUE(sibplugin::DecodeShown(*notes->sibs, wmem_epan_scope(), &shown));
    EXPECT_TRUE(shown.complete);
    EXPECT_EQ(shown.note, nullptr);
    EXPECT_FALSE(shown.hasSummary);  // a SIB5 has no part in the summary record
    EXPECT_EQ(Frames(notes->sibs->frames, notes->sibs->frameCount), carriers);
    for (guint k = 0; k + 1 < carriers.size(); ++k) {
      sibplugin::SegmentNote segment;
      ASSERT_TRUE(sibplugin::SegmentOf(carriers[k], &segment));
      EXPECT_EQ(segment.index, k + 1);
      EXPECT_EQ(segment.count, carriers.size());
      EXPECT_EQ(segment.reassembledIn, frame);
      EXPECT_EQ(segment.sibType, 5u);
    }
    sibplugin::SegmentNote none;
    EXPECT_FALSE(sibplugin::SegmentOf(frame, &none));  // its last frame completes it
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
  EXPECT_EQ(EndedChainsOf(7), nullptr);
}

// The table of frames grows in pages: notes on either side of a page's end,
// and far beyond it, stay with their frames.
TEST_F(FrameNotesTest, NotesAcrossPagesOfTheFrameTable) {
  const guint32 frames[] = {4095, 4096, 4097, 70000};
  for (size_t k = 0; k < 4; ++k) Feed(k, frames[k]);
  ExpectCompletedIn(70000, {4095, 4096, 4097, 70000});
  EXPECT_EQ(NotesOf(4096), nullptr);
  EXPECT_EQ(NotesOf(1u << 30), nullptr);  // a frame the table never reached
  guint size = 99;
  EXPECT_FALSE(sibplugin::WrongSizeOf(4097, &size));
  sibplugin::NoteWrongSize(70001, 0);
  sibplugin::NoteWrongSize(70002, 40);
  ASSERT_TRUE(sibplugin::WrongSizeOf(70001, &size));
  EXPECT_EQ(size, 0u);
  ASSERT_TRUE(sibplugin::WrongSizeOf(70002, &size));
  EXPECT_EQ(size, 40u);
}

TEST_F(FrameNotesTest, FirstPassGoesOnAfterTheChainsWereReportedAsEnded) {
  Feed(0, 1);
  Feed(1, 2);
  sibplugin::ReportPendingAsEnded();
  const sibplugin::DroppedChain* ended = EndedChainsOf(2);
  ASSERT_NE(ended, nullptr);
  EXPECT_EQ(ended->reason, sibdecode::kDropFlushed);
  EXPECT_EQ(Frames(ended->frames, ended->frameCount), (std::vector<guint32>{1, 2}));
  EXPECT_EQ(ended->next, nullptr);

  // More frames come: the chain goes on as if it had never been flushed.
  Feed(2, 3);
  EXPECT_EQ(EndedChainsOf(2), nullptr);
  sibplugin::ReportPendingAsEnded();
  ASSERT_NE(EndedChainsOf(3), nullptr);
  Feed(3, 4);
  ExpectCompletedIn(4, {1, 2, 3, 4});
  sibplugin::ReportPendingAsEnded();
  EXPECT_EQ(EndedChainsOf(3), nullptr);
  EXPECT_EQ(NotesOf(4)->drops, nullptr);
}

// Chains given up on the way are noted in the frame that gives them up, with
// the frames that carried them; the SIB completes where its last block comes.
TEST_F(FrameNotesTest, ChainsGivenUpInTheFrameThatEndsThem) {
  struct Row {
    const char* what;
    std::vector<size_t> blocks;  // the SIB5's blocks fed in frames 1, 2, ...
    guint32 dropIn;              // 0: nothing dropped
    sibdecode::ChainDropReason reason;
    std::vector<guint32> dropped;
    std::vector<guint32> completedFrom;  // empty: not completed
  };
  const Row rows[] = {
      {"in order", {0, 1, 2, 3}, 0, sibdecode::kNotDropped, {}, {1, 2, 3, 4}},
      {"a segment missing", {0, 2, 3}, 2, sibdecode::kDropOutOfOrder, {1}, {}},
      {"a new first segment",
       {0, 1, 0, 1, 2, 3},
       3,
       sibdecode::kDropInterrupted,
       {1, 2},
       {3, 4, 5, 6}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    sibplugin::EndCapture();
    ASSERT_TRUE(sibplugin::StartCapture());
    for (guint32 frame = 1; frame <= row.blocks.size(); ++frame) Feed(row.blocks[frame - 1], frame);
    for (guint32 frame = 1; frame <= row.blocks.size(); ++frame) {
      const sibplugin::FrameNotes* own = NotesOf(frame);
      const sibplugin::DroppedChain* drop = own != nullptr ? own->drops : nullptr;
      if (frame != row.dropIn) {
        EXPECT_EQ(drop, nullptr) << "frame " << frame;
        continue;
      }
      ASSERT_NE(drop, nullptr);
      EXPECT_EQ(drop->reason, row.reason);
      EXPECT_EQ(Frames(drop->frames, drop->frameCount), row.dropped);
    }
    if (!row.completedFrom.empty()) ExpectCompletedIn(row.completedFrom.back(), row.completedFrom);
    const sibplugin::FrameNotes* last = NotesOf(static_cast<guint32>(row.blocks.size()));
    EXPECT_EQ(last != nullptr && last->sibs != nullptr, !row.completedFrom.empty());
  }
}

}  // namespace
