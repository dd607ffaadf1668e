// Google Benchmark programs: every supported SIB type through RRCParserX, the
// block walk and reassembly alone, and the hottest PER primitives. The inputs
// are the valid model-drawn batches of the fuzz seed corpus and, when the
// environment names a folder of them (SIBDECODE_BENCH_INPUTS, written by
// tests/bench/make_inputs.py), thousands of valid batches per SIB type, each
// type also timed as a warm memcpy of the texts it returns: the least a call
// must do.
#include <benchmark/benchmark.h>
#include <sibdecode/sibdecode.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "api/entry.h"
#include "api/generated/sib_types.h"
#include "per/per.h"
#include "support/hex_lines.h"

namespace {

std::vector<unsigned char> ReadSeed(const std::string& name) {
  std::vector<unsigned char> bytes;
  std::string path = std::string(SIBDECODE_CORPUS_DIR) + "/" + name;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
  std::fclose(file);
  return bytes;
}

void BM_RRCParserX(benchmark::State& state, const std::string& seed) {
  std::vector<unsigned char> data = ReadSeed(seed);
  if (data.empty()) {
    state.SkipWithError(("missing seed " + seed).c_str());
    return;
  }
  std::vector<char> text(sibdecode::MaxTextSize(data.size()));
  tagSystemInformationBlock out;
  unsigned int textLen = 0;
  for (auto _ : state) {
    bool decoded =
        RRCParserX(data.data(), static_cast<unsigned int>(data.size()), &out, text.data(), textLen);
    benchmark::DoNotOptimize(decoded);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  state.counters["textBytes"] = textLen;
}

void BM_WalkAndReassemble(benchmark::State& state) {
  std::vector<unsigned char> data = ReadSeed("model_sib05_1");
  if (data.empty()) {
    state.SkipWithError("missing seed model_sib05_1");
    return;
  }
  sibdecode::DecoderState* decoder = sibdecode::CreateDecoderState();
  tagSystemInformationBlock out;
  uint32_t sibType = 0;
  std::vector<uint8_t> packed;
  for (auto _ : state) {
    sibdecode::ResetForCall(*decoder, &out);
    bool found = sibdecode::ReassembleBatch(*decoder, data.data(), data.size(), &sibType, &packed);
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
  sibdecode::DestroyDecoderState(decoder);
}
BENCHMARK(BM_WalkAndReassemble);

// The stream fed by many cells, each block the first segment of a SIB left
// pending: beyond the stream's bound of cells with pending chains every block
// gives up the chains of the cell fed least recently.
void BM_FeedManyCells(benchmark::State& state) {
  // The first of the four blocks of the sample's SIB5.
  static const unsigned char kFirst[31] = {0x00, 0x02, 0x53, 0xE0, 0x83, 0xC1, 0x01, 0x02,
                                           0xB8, 0x80, 0x88, 0xE0, 0x01, 0xFF, 0xFF, 0xFE,
                                           0x6B, 0xA3, 0xB1, 0x3D, 0x52, 0x03, 0x60, 0xC0,
                                           0x17, 0x14, 0x4D, 0x1D, 0xD4, 0x76, 0x4C};
  const uint64_t cells = static_cast<uint64_t>(state.range(0));
  sibdecode::StreamState* stream = sibdecode::CreateStreamState();
  uint64_t fed = 0;
  for (auto _ : state) {
    const int events = sibdecode::FeedBlock(stream, fed % cells, fed, kFirst, nullptr, nullptr);
    benchmark::DoNotOptimize(events);
    ++fed;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  sibdecode::DestroyStreamState(stream);
}
BENCHMARK(BM_FeedManyCells)->Arg(1000)->Arg(16384);

void BM_ReadWholeNumber(benchmark::State& state) {
  const uint64_t range = static_cast<uint64_t>(state.range(0));
  std::vector<uint8_t> data(4096, 0x5A);
  for (auto _ : state) {
    sibdecode::PerContext ctx;
    sibdecode::InitPerContext(&ctx, data.data(), static_cast<uint32_t>(data.size()));
    uint32_t value = 0;
    uint64_t sum = 0;
    while (sibdecode::ReadWholeNumber(&ctx, range, &value) == sibdecode::StatusOk) sum += value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ReadWholeNumber)->Arg(2)->Arg(16)->Arg(4096);

using Batch = std::vector<unsigned char>;

// One iteration decodes every batch of the file once; the per-call figure is
// the "calls" rate inverted.
void BM_Batches(benchmark::State& state, const std::vector<Batch>& batches) {
  std::vector<char> text(sibdecode::MaxTextSize(31 * 16));
  tagSystemInformationBlock out;
  size_t textBytes = 0;
  for (auto _ : state) {
    for (const Batch& batch : batches) {
      unsigned int textLen = 0;
      RRCParserX(const_cast<unsigned char*>(batch.data()), static_cast<unsigned int>(batch.size()),
                 &out, text.data(), textLen);
      textBytes += textLen;
    }
  }
  state.counters["calls"] = benchmark::Counter(
      static_cast<double>(batches.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["textBytes"] =
      static_cast<double>(textBytes) / static_cast<double>(state.iterations() * batches.size());
}

// The texts those calls return, copied from a warm cache into one buffer.
void BM_MemcpyTexts(benchmark::State& state, const std::vector<Batch>& batches) {
  std::vector<std::string> texts;
  std::vector<char> text(sibdecode::MaxTextSize(31 * 16));
  tagSystemInformationBlock out;
  for (const Batch& batch : batches) {
    unsigned int textLen = 0;
    if (RRCParserX(const_cast<unsigned char*>(batch.data()),
                   static_cast<unsigned int>(batch.size()), &out, text.data(), textLen)) {
      texts.emplace_back(text.data(), textLen);
    }
  }
  for (auto _ : state) {
    for (const std::string& t : texts) {
      std::memcpy(text.data(), t.data(), t.size());
      benchmark::ClobberMemory();
    }
  }
  state.counters["calls"] = benchmark::Counter(
      static_cast<double>(texts.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void RegisterInputBenchmarks() {
  const char* folder = std::getenv("SIBDECODE_BENCH_INPUTS");
  if (folder == nullptr) return;
  static std::vector<std::vector<Batch>> inputs;  // kept for the benchmarks' lifetime
  inputs.reserve(32);
  for (unsigned int type : sibdecode::kDecodedSibTypes) {
    char name[32];
    std::snprintf(name, sizeof(name), "sib%02u", type);
    std::vector<Batch> batches = sibtest::ReadHexLines(std::string(folder) + "/" + name + ".hex");
    if (batches.empty()) continue;
    inputs.push_back(std::move(batches));
    const std::vector<Batch>& kept = inputs.back();
    benchmark::RegisterBenchmark((std::string("BM_Batches/") + name).c_str(), BM_Batches, kept);
    benchmark::RegisterBenchmark((std::string("BM_MemcpyTexts/") + name).c_str(), BM_MemcpyTexts,
                                 kept);
  }
}

void RegisterSibBenchmarks() {
  for (unsigned int type : sibdecode::kDecodedSibTypes) {
    for (int variant = 0; variant < 2; ++variant) {
      char seed[32];
      std::snprintf(seed, sizeof(seed), "model_sib%02u_%d", type, variant);
      benchmark::RegisterBenchmark((std::string("BM_RRCParserX/") + seed).c_str(), BM_RRCParserX,
                                   std::string(seed));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterSibBenchmarks();
  RegisterInputBenchmarks();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
