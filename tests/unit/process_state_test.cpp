// RRCParserX keeps one process-wide state from call to call. Whatever came
// before (any number of calls, SIBs of any type in any order, partial and
// unsupported batches), a call gives exactly what the same call gives on a
// fresh state.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api/entry.h"
#include "sibdecode/sibdecode.h"
#include "support/model_sibs.h"

namespace sibdecode {
namespace {

constexpr unsigned int kUntouched = 0xC0FFEEu;
constexpr char kMarker = '\x5A';

struct Outcome {
  bool decoded = false;
  unsigned int textLen = 0;
  std::string text;  // the whole buffer, so that untouched bytes are compared too
  std::vector<unsigned char> summary;
};

template <typename Decode>
Outcome Run(const std::vector<uint8_t>& batch, Decode decode) {
  Outcome o;
  std::vector<char> text(MaxTextSize(batch.size()), kMarker);
  tagSystemInformationBlock out;
  std::memset(&out, 0xA5, sizeof out);
  unsigned int textLen = kUntouched;
  o.decoded = decode(batch, &out, text.data(), textLen);
  o.textLen = textLen;
  o.text.assign(text.data(), text.size());
  o.summary.resize(sizeof out);
  std::memcpy(o.summary.data(), &out, sizeof out);
  return o;
}

Outcome ProcessWide(const std::vector<uint8_t>& batch) {
  return Run(batch, [](const std::vector<uint8_t>& b, tagSystemInformationBlock* out, char* text,
                       unsigned int& textLen) {
    std::vector<uint8_t> copy = b;  // RRCParserX takes a non-const pointer
    return RRCParserX(copy.data(), static_cast<unsigned int>(copy.size()), out, text, textLen);
  });
}

// RRCParserX's own steps (the work buffer's limit, the documented buffer size)
// on a state created for this one call.
Outcome Fresh(const std::vector<uint8_t>& batch) {
  return Run(batch, [](const std::vector<uint8_t>& b, tagSystemInformationBlock* out, char* text,
                       unsigned int& textLen) {
    DecoderState* state = CreateDecoderState();
    size_t written = textLen;
    int result = DecodeBatchText(state, b.data(), b.size(), out, text, MaxTextSize(b.size()),
                                 &written, TextLimit::WorkBuffer, TextFormat::Text, nullptr);
    DestroyDecoderState(state);
    textLen = static_cast<unsigned int>(written);
    return result == kDecoded;
  });
}

// Model-drawn SIBs of every decoded type; each one's first block alone (a
// segment that cannot complete), its batch cut inside the last block, and a
// batch of a type that is not decoded.
std::vector<std::vector<uint8_t>> Inputs() {
  std::vector<std::vector<uint8_t>> inputs;
  for (const sibtest::ModelSib& sample :
       sibtest::LoadModelSibs(std::string(SIBDECODE_TEST_DATA_DIR) + "/model_sibs.txt")) {
    inputs.push_back(sample.batch);
    if (sample.batch.size() > 31) {
      inputs.emplace_back(sample.batch.begin(), sample.batch.begin() + 31);
      inputs.emplace_back(sample.batch.begin(), sample.batch.end() - 5);
    }
  }
  std::vector<uint8_t> sib8(31, 0);
  sib8[1] = 0x09 << 1;  // SFN-prime 0, payload 9 (complete SIB), SIB type 8 ...
  sib8[2] = 0x80;       // ... its five bits straddle bytes 1 and 2
  inputs.push_back(sib8);
  inputs.emplace_back();  // no input at all
  return inputs;
}

TEST(ProcessState, RRCParserXGivesFreshResultsAfterAnyCallsInAnyOrder) {
  const std::vector<std::vector<uint8_t>> inputs = Inputs();
  ASSERT_GE(inputs.size(), 30u) << "tests/data/model_sibs.txt";
  std::vector<Outcome> expected;
  size_t decoded = 0;
  for (const auto& input : inputs) {
    expected.push_back(Fresh(input));
    decoded += expected.back().decoded;
  }
  ASSERT_GE(decoded, 20u) << "every model-drawn SIB must decode";

  for (unsigned int seed = 1; seed <= 6; ++seed) {
    std::mt19937 rng(seed);
    std::vector<size_t> order;
    // Each input several times, in a random order, repeats back to back included.
    for (int round = 0; round < 3; ++round) {
      for (size_t i = 0; i < inputs.size(); ++i) order.push_back(i);
    }
    std::shuffle(order.begin(), order.end(), rng);
    for (size_t k = 0; k < order.size(); ++k) {
      const size_t i = order[k];
      const Outcome got = ProcessWide(inputs[i]);
      SCOPED_TRACE("seed " + std::to_string(seed) + ", call " + std::to_string(k) + ", input " +
                   std::to_string(i));
      ASSERT_EQ(got.decoded, expected[i].decoded);
      ASSERT_EQ(got.textLen, expected[i].textLen);
      ASSERT_TRUE(got.text == expected[i].text) << "text differs";
      ASSERT_EQ(got.summary, expected[i].summary);
    }
  }
}

}  // namespace
}  // namespace sibdecode
