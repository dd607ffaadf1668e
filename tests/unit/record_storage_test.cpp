// The decoders build a SIB's tree in the state's arena when the library
// decodes, or on the heap (released by the generated Release functions) when
// there is no arena. Both must give the same tree: the same text for every
// model-drawn SIB, whole and cut at every byte (a decode that stops inside a
// list drops the failing element, which the heap form frees on the spot).
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

// Decodes `sib` with the type's row and prints it; on the heap when `arena` is null.
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
  if (arena == nullptr) {
    row.release(record);  // under the sanitizer build a missed free shows up as a leak
  } else {
    ResetArena(arena);
  }
  return decoded;
}

TEST(RecordStorage, ArenaAndHeapGiveTheSameTreeWholeAndCut) {
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
      const Decoded onHeap = DecodeAndPrint(*row, sib, nullptr);
      const Decoded inArena = DecodeAndPrint(*row, sib, &arena);
      ASSERT_EQ(onHeap.status, inArena.status) << "SIB" << sample.sibType << " cut " << cut;
      ASSERT_EQ(onHeap.text, inArena.text) << "SIB" << sample.sibType << " cut " << cut;
      if (onHeap.status != StatusOk) ++stopped;
    }
  }
  EXPECT_GT(stopped, 0u) << "the cut decodes must reach the stopping paths";
}

}  // namespace
}  // namespace sibdecode
