// The decoders build a SIB's tree in the state's arena, which a state keeps
// from decode to decode and hands out again zero-filled. A reused arena must
// give the tree a fresh one gives: the same text for every model-drawn SIB,
// whole and cut at every byte (a decode that stops inside a list leaves the
// failing element out of it).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "api/sib_dispatch.h"
#include "per/per.h"
#include "support/model_sibs.h"

namespace sibdecode {
namespace {

struct Decoded {
  int status = 0;
  std::string text;
};

// Decodes `sib` with the type's row into `arena` and prints it.
Decoded DecodeAndPrint(const SibDispatchRow& row, const std::vector<uint8_t>& sib,
                       RecordArena* arena) {
  alignas(std::max_align_t) unsigned char record[kMaxSibRecordSize];
  std::memset(record, 0, row.recordSize);
  if (row.init != nullptr) row.init(record);
  PerContext ctx;
  InitPerContext(&ctx, sib.data(), static_cast<uint32_t>(sib.size()));
  ctx.arena = arena;
  Decoded decoded;
  decoded.status = row.decode(&ctx, record);
  std::vector<char> buffer(1 << 20);
  TextCursor cursor;
  InitTextCursor(cursor, buffer.data(), static_cast<uint32_t>(buffer.size()));
  row.print(cursor, record);
  decoded.text.assign(buffer.data(), buffer.size() - static_cast<size_t>(cursor.remaining));
  ResetArena(arena);
  return decoded;
}

TEST(RecordStorage, ReusedAndFreshArenasGiveTheSameTreeWholeAndCut) {
  const std::vector<sibtest::ModelSib> samples =
      sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt");
  ASSERT_GE(samples.size(), 20u) << "tests/data/model_sibs.txt";
  RecordArena arena;  // one arena for all, as a state keeps it from call to call
  size_t stopped = 0;
  for (const sibtest::ModelSib& sample : samples) {
    const SibDispatchRow* row = FindSibRow(sample.sibType);
    ASSERT_NE(row, nullptr) << sample.sibType;
    for (size_t cut = 0; cut <= sample.bare.size(); ++cut) {
      const std::vector<uint8_t> sib(sample.bare.begin(), sample.bare.begin() + cut);
      RecordArena fresh;
      const Decoded first = DecodeAndPrint(*row, sib, &fresh);
      const Decoded reused = DecodeAndPrint(*row, sib, &arena);
      ASSERT_EQ(first.status, reused.status) << "SIB" << sample.sibType << " cut " << cut;
      ASSERT_EQ(first.text, reused.text) << "SIB" << sample.sibType << " cut " << cut;
      if (first.status != StatusOk) ++stopped;
    }
  }
  EXPECT_GT(stopped, 0u) << "the cut decodes must reach the stopping paths";
}

}  // namespace
}  // namespace sibdecode
