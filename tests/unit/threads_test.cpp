// Decoder states share nothing: threads decoding at once, one state each, get
// exactly what one thread gets alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "api/generated/sib_types.h"
#include "sibdecode/sibdecode.h"
#include "support/bch_blocks.h"

namespace {

using sibtest::BitWriter;
using sibtest::Block;
using sibtest::DataBits;

struct Result {
  int status = 0;
  std::string text;
  std::vector<uint8_t> summary;
};

Result Decode(sibdecode::DecoderState* state, const std::vector<uint8_t>& batch) {
  Result r;
  tagSystemInformationBlock out;
  std::vector<char> text(sibdecode::MaxTextSize(batch.size()));
  size_t textLen = 0;
  r.status = sibdecode::DecodeBatch(state, batch.data(), batch.size(), &out, text.data(),
                                    text.size(), &textLen);
  if (r.status == sibdecode::kDecoded) r.text.assign(text.data(), textLen);
  r.summary.resize(sizeof out);
  std::memcpy(r.summary.data(), &out, sizeof out);
  return r;
}

// Every decoded SIB type a block names (SIB-Type, below extensionType),
// complete and in three segments, with pseudo-random contents.
std::vector<std::vector<uint8_t>> Batches() {
  std::vector<std::vector<uint8_t>> batches;
  for (uint32_t sib : sibdecode::kDecodedSibTypes) {
    if (sib >= sibdecode::kSibTypeExtension) continue;
    for (uint32_t seed = 1; seed <= 4; ++seed) {
      batches.push_back(
          Block(seed, 9, BitWriter().Bits(sib, 5).Pattern(DataBits(226, sib * seed))));
      std::vector<uint8_t> segmented;
      for (uint32_t index = 0; index < 3; ++index) {
        BitWriter segment = index == 0 ? sibtest::FirstSegment(sib, 3, DataBits(222, seed + 7))
                                       : sibtest::FollowingSegment(sib, index, DataBits(222, seed));
        std::vector<uint8_t> block = Block(10 + index,
                                           index == 0   ? 1
                                           : index == 1 ? 2
                                                        : 10,
                                           segment);
        segmented.insert(segmented.end(), block.begin(), block.end());
      }
      batches.push_back(segmented);
    }
  }
  return batches;
}

TEST(DecoderState, ThreadsWithTheirOwnStatesGetTheSameResultsAsOneThread) {
  const std::vector<std::vector<uint8_t>> batches = Batches();
  sibdecode::DecoderState* alone = sibdecode::CreateDecoderState();
  sibdecode::SetDecodeRelease(alone, sibdecode::kReleaseLatest);
  std::vector<Result> expected;
  for (const auto& batch : batches) expected.push_back(Decode(alone, batch));
  sibdecode::DestroyDecoderState(alone);
  size_t decoded = 0;
  for (const Result& r : expected) decoded += r.status == sibdecode::kDecoded;
  ASSERT_GT(decoded, batches.size() / 2) << "the batches must reach the decoders";

  constexpr int kThreads = 4;
  constexpr int kRounds = 5;
  std::vector<std::vector<Result>> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
      sibdecode::SetDecodeRelease(state, sibdecode::kReleaseLatest);
      for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < batches.size(); ++i) {
          // start each thread at a different batch so that different SIBs overlap
          results[t].push_back(Decode(state, batches[(i + t * 7) % batches.size()]));
        }
      }
      sibdecode::DestroyDecoderState(state);
    });
  }
  for (auto& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(results[t].size(), batches.size() * kRounds);
    for (size_t k = 0; k < results[t].size(); ++k) {
      const Result& want = expected[(k % batches.size() + t * 7) % batches.size()];
      EXPECT_EQ(results[t][k].status, want.status) << "thread " << t << " call " << k;
      EXPECT_EQ(results[t][k].text, want.text) << "thread " << t << " call " << k;
      EXPECT_EQ(results[t][k].summary, want.summary) << "thread " << t << " call " << k;
    }
  }
}

}  // namespace
