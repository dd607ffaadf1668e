// Loads two builds of libsibdecode.so and checks that they behave byte for
// byte alike on the same inputs: every exported call, the whole host buffer
// around each text, the summary record, the results and lengths, at text
// capacities around the size each call needs, and the events of a two-cell
// stream. A refactoring of the library must show no difference here.
//
// Usage: sibdecode_compare OLD.so NEW.so INPUT_DIR [--variants N] [--seed S]
//                          [--batch-corpus DIR] [--sib-corpus DIR]
//
// INPUT_DIR holds what tests/bench/make_inputs.py writes (sibNN.hex: one BCH
// batch per line; sibNN.sib.hex: the same SIBs bare). Each valid input also
// goes in cut, with bits flipped, with two blocks swapped, and interleaved
// with the next input's blocks. --batch-corpus names a folder of binary
// batches (tests/fuzz/corpus), --sib-corpus one of bare SIBs whose first byte
// picks the type among those of INPUT_DIR, as the bare-SIB fuzzer reads them
// (tests/fuzz/corpus_sib).
#include <dirent.h>
#include <dlfcn.h>
#include <sibdecode/sibdecode.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "support/hex_lines.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr size_t kBlockSize = 31;
constexpr unsigned char kFill = 0xA5;
// Room after each buffer that no call may write into.
constexpr size_t kGuard = 64;

struct Library {
  std::string path;
  void* handle = nullptr;
  bool (*rrcParserX)(unsigned char*, unsigned int, tagSystemInformationBlock*, char*,
                     unsigned int&) = nullptr;
  sibdecode::DecoderState* (*createDecoderState)() = nullptr;
  void (*destroyDecoderState)(sibdecode::DecoderState*) = nullptr;
  size_t (*maxTextSize)(size_t) = nullptr;
  int (*decodeBatch)(sibdecode::DecoderState*, const unsigned char*, size_t,
                     tagSystemInformationBlock*, char*, size_t, size_t*) = nullptr;
  int (*decodeSib)(sibdecode::DecoderState*, unsigned int, const unsigned char*, size_t,
                   tagSystemInformationBlock*, char*, size_t, size_t*) = nullptr;
  int (*decodeBatchJson)(sibdecode::DecoderState*, const unsigned char*, size_t,
                         tagSystemInformationBlock*, char*, size_t, size_t*,
                         unsigned int*) = nullptr;
  int (*decodeSibJson)(sibdecode::DecoderState*, unsigned int, const unsigned char*, size_t,
                       tagSystemInformationBlock*, char*, size_t, size_t*) = nullptr;
  sibdecode::StreamState* (*createStreamState)() = nullptr;
  void (*destroyStreamState)(sibdecode::StreamState*) = nullptr;
  int (*feedBlock)(sibdecode::StreamState*, uint64_t, uint64_t, const unsigned char*,
                   sibdecode::StreamCallback, void*) = nullptr;
  int (*flushStream)(sibdecode::StreamState*, sibdecode::StreamCallback, void*) = nullptr;
  void (*getStreamCounts)(const sibdecode::StreamState*, sibdecode::StreamCounts*) = nullptr;
  // Null in a library without decode reports.
  int (*getDecodeReport)(const sibdecode::DecoderState*, sibdecode::DecodeReport*) = nullptr;
  sibdecode::DecoderState* state = nullptr;
};

template <typename Function>
bool Bind(Library& library, Function& function, const char* symbol) {
  function = reinterpret_cast<Function>(dlsym(library.handle, symbol));
  if (function == nullptr) {
    std::fprintf(stderr, "%s: no symbol %s\n", library.path.c_str(), symbol);
    return false;
  }
  return true;
}

bool Load(Library& library) {
  // RTLD_LOCAL: neither library joins the global scope, so each one's calls to
  // the names both export stay inside it. (RTLD_DEEPBIND would too, but the
  // sanitizers refuse it.)
  library.handle = dlopen(library.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library.handle == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return false;
  }
  bool bound =
      Bind(library, library.rrcParserX, "_Z10RRCParserXPhjP25tagSystemInformationBlockPcRj") &&
      Bind(library, library.createDecoderState, "_ZN9sibdecode18CreateDecoderStateEv") &&
      Bind(library, library.destroyDecoderState,
           "_ZN9sibdecode19DestroyDecoderStateEPNS_12DecoderStateE") &&
      Bind(library, library.maxTextSize, "_ZN9sibdecode11MaxTextSizeEm") &&
      Bind(library, library.decodeBatch,
           "_ZN9sibdecode11DecodeBatchEPNS_12DecoderStateEPKhmP25tagSystemInformationBlockPcmPm") &&
      Bind(library, library.decodeSib,
           "_ZN9sibdecode9DecodeSibEPNS_12DecoderStateEjPKhmP25tagSystemInformationBlockPcmPm") &&
      Bind(library, library.decodeBatchJson,
           "_ZN9sibdecode15DecodeBatchJsonEPNS_12DecoderStateEPKhmP25tagSystemInformationBlockPcmP"
           "mPj") &&
      Bind(library, library.decodeSibJson,
           "_ZN9sibdecode13DecodeSibJsonEPNS_12DecoderStateEjPKhmP25tagSystemInformationBlockPcmP"
           "m") &&
      Bind(library, library.createStreamState, "_ZN9sibdecode17CreateStreamStateEv") &&
      Bind(library, library.destroyStreamState,
           "_ZN9sibdecode18DestroyStreamStateEPNS_11StreamStateE") &&
      Bind(library, library.feedBlock,
           "_ZN9sibdecode9FeedBlockEPNS_11StreamStateEmmPKhPFvRKNS_11StreamEventEPvES7_") &&
      Bind(library, library.flushStream,
           "_ZN9sibdecode11FlushStreamEPNS_11StreamStateEPFvRKNS_11StreamEventEPvES5_") &&
      Bind(library, library.getStreamCounts,
           "_ZN9sibdecode15GetStreamCountsEPKNS_11StreamStateEPNS_12StreamCountsE");
  if (!bound) return false;
  library.getDecodeReport = reinterpret_cast<decltype(library.getDecodeReport)>(dlsym(
      library.handle, "_ZN9sibdecode15GetDecodeReportEPKNS_12DecoderStateEPNS_12DecodeReportE"));
  library.state = library.createDecoderState();
  return library.state != nullptr;
}

// What one call left behind: everything a caller can see.
struct Outcome {
  std::string text;  // the whole buffer, guard included
  Bytes record;
  long long result = 0;
  size_t length = 0;
  unsigned int sibType = 0;

  bool operator==(const Outcome& other) const {
    return text == other.text && record == other.record && result == other.result &&
           length == other.length && sibType == other.sibType;
  }
};

Bytes RecordBytes(const tagSystemInformationBlock& record) {
  const auto* begin = reinterpret_cast<const unsigned char*>(&record);
  return Bytes(begin, begin + sizeof(record));
}

void FillRecord(tagSystemInformationBlock* record) { std::memset(record, kFill, sizeof(*record)); }

Outcome CallRrcParserX(const Library& library, const Bytes& input) {
  Outcome outcome;
  Bytes data = input;  // the call takes a non-const pointer
  outcome.text.assign(library.maxTextSize(data.size()) + kGuard, static_cast<char>(kFill));
  tagSystemInformationBlock record;
  FillRecord(&record);
  unsigned int textLen = 0x5A5A5A5A;
  outcome.result = library.rrcParserX(data.data(), static_cast<unsigned int>(data.size()), &record,
                                      &outcome.text[0], textLen);
  outcome.length = textLen;
  outcome.record = RecordBytes(record);
  return outcome;
}

enum class Call { kBatch, kSib, kBatchJson, kSibJson };

Outcome CallDecode(const Library& library, Call call, unsigned int sibType, const Bytes& input,
                   size_t capacity) {
  Outcome outcome;
  outcome.text.assign(capacity + kGuard, static_cast<char>(kFill));
  tagSystemInformationBlock record;
  FillRecord(&record);
  size_t length = 0x5A5A5A5A;
  unsigned int foundType = 0xA5A5A5A5;
  char* text = &outcome.text[0];
  switch (call) {
    case Call::kBatch:
      outcome.result = library.decodeBatch(library.state, input.data(), input.size(), &record, text,
                                           capacity, &length);
      break;
    case Call::kSib:
      outcome.result = library.decodeSib(library.state, sibType, input.data(), input.size(),
                                         &record, text, capacity, &length);
      break;
    case Call::kBatchJson:
      outcome.result = library.decodeBatchJson(library.state, input.data(), input.size(), &record,
                                               text, capacity, &length, &foundType);
      break;
    case Call::kSibJson:
      outcome.result = library.decodeSibJson(library.state, sibType, input.data(), input.size(),
                                             &record, text, capacity, &length);
      break;
  }
  outcome.length = length;
  outcome.sibType = foundType;
  outcome.record = RecordBytes(record);
  return outcome;
}

struct Tally {
  size_t comparisons = 0;
  size_t differences = 0;
  size_t reportedJson = 0;  // JSON of a SIB whose decode stopped or warned: meant to differ
};

// True when the library's last decode stopped before the end of its SIB or
// warned: its JSON then ends with what the report says.
bool LastDecodeReported(const Library& library) {
  if (library.getDecodeReport == nullptr) return false;
  sibdecode::DecodeReport report;
  report.size = sizeof report;
  return library.getDecodeReport(library.state, &report) == 1 && report.decoded != 0 &&
         (report.complete == 0 || report.warningCount > 0);
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 15];
  }
  return hex;
}

void Report(Tally& tally, const std::string& what, const std::string& label, const Bytes& input,
            const Outcome& before, const Outcome& after) {
  ++tally.comparisons;
  if (before == after) return;
  ++tally.differences;
  if (tally.differences > 20) return;
  std::printf("DIFFERENCE %s on %s: result %lld/%lld length %zu/%zu type %u/%u record %s text %s\n",
              what.c_str(), label.c_str(), before.result, after.result, before.length, after.length,
              before.sibType, after.sibType, before.record == after.record ? "same" : "differs",
              before.text == after.text ? "same" : "differs");
  std::printf("  input %s\n", Hex(input).c_str());
}

const char* CallName(Call call) {
  switch (call) {
    case Call::kBatch:
      return "DecodeBatch";
    case Call::kSib:
      return "DecodeSib";
    case Call::kBatchJson:
      return "DecodeBatchJson";
    case Call::kSibJson:
      return "DecodeSibJson";
  }
  return "";
}

// One call at capacities 0, needed - 1, needed, needed + 1 and large, where
// "needed" is what the older library reports at the large capacity.
void CompareAtCapacities(const Library& before, const Library& after, Call call,
                         unsigned int sibType, const Bytes& input, const std::string& label,
                         Tally& tally) {
  const size_t large = 1 << 20;
  Outcome probe = CallDecode(before, call, sibType, input, large);
  std::vector<size_t> capacities = {0, large};
  if (probe.length > 0 && probe.length < large) {
    capacities.insert(capacities.end(), {probe.length - 1, probe.length, probe.length + 1});
  }
  const bool json = call == Call::kBatchJson || call == Call::kSibJson;
  for (size_t capacity : capacities) {
    Outcome old = CallDecode(before, call, sibType, input, capacity);
    Outcome now = CallDecode(after, call, sibType, input, capacity);
    if (json && LastDecodeReported(after)) {
      // Its JSON leaves out what was not reached and says where it stopped;
      // the summary record and the type stay.
      ++tally.reportedJson;
      old.text = now.text;
      old.length = now.length;
      old.result = now.result;
    }
    Report(tally, std::string(CallName(call)) + " capacity " + std::to_string(capacity), label,
           input, old, now);
  }
}

void CompareBatch(const Library& before, const Library& after, const Bytes& batch,
                  const std::string& label, Tally& tally) {
  Report(tally, "RRCParserX", label, batch, CallRrcParserX(before, batch),
         CallRrcParserX(after, batch));
  CompareAtCapacities(before, after, Call::kBatch, 0, batch, label, tally);
  CompareAtCapacities(before, after, Call::kBatchJson, 0, batch, label, tally);
}

void CompareSib(const Library& before, const Library& after, unsigned int sibType, const Bytes& sib,
                const std::string& label, Tally& tally) {
  CompareAtCapacities(before, after, Call::kSib, sibType, sib, label, tally);
  CompareAtCapacities(before, after, Call::kSibJson, sibType, sib, label, tally);
}

// Everything a stream hands its callback, flattened into one string.
void RecordEvent(const sibdecode::StreamEvent& event, void* context) {
  std::string& log = *static_cast<std::string*>(context);
  char head[160];
  std::snprintf(head, sizeof(head), "event %d %d %llu %u %d %zu %zu %zu %zu\n", event.kind,
                event.dropReason, static_cast<unsigned long long>(event.cellKey), event.sibType,
                event.result, event.textLen, event.sibLen, event.blocksLen, event.blockCount);
  log += head;
  if (event.text != nullptr) log.append(event.text, event.textLen);
  if (event.summary != nullptr) {
    log.append(reinterpret_cast<const char*>(event.summary), sizeof(*event.summary));
  }
  if (event.sib != nullptr) log.append(reinterpret_cast<const char*>(event.sib), event.sibLen);
  if (event.blocks != nullptr) {
    log.append(reinterpret_cast<const char*>(event.blocks), event.blocksLen);
  }
  if (event.blockTags != nullptr) {
    log.append(reinterpret_cast<const char*>(event.blockTags), event.blockCount * sizeof(uint64_t));
  }
}

struct StreamBlock {
  uint64_t cell;
  const unsigned char* block;
};

std::string RunStream(const Library& library, const std::vector<StreamBlock>& blocks) {
  std::string log;
  sibdecode::StreamState* stream = library.createStreamState();
  if (stream == nullptr) return "no stream state";
  uint64_t tag = 0;
  for (const StreamBlock& block : blocks) {
    int result = library.feedBlock(stream, block.cell, ++tag, block.block, RecordEvent, &log);
    log += "feed " + std::to_string(result) + "\n";
  }
  log += "flush " + std::to_string(library.flushStream(stream, RecordEvent, &log)) + "\n";
  sibdecode::StreamCounts counts;
  library.getStreamCounts(stream, &counts);
  log.append(reinterpret_cast<const char*>(&counts), sizeof(counts));
  library.destroyStreamState(stream);
  return log;
}

// Two cells: the batches alternate between cell 1 and cell 2 and the two
// cells' blocks are interleaved one by one.
void CompareStream(const Library& before, const Library& after, const std::vector<Bytes>& batches,
                   const std::string& label, Tally& tally) {
  std::vector<StreamBlock> cells[2];
  for (size_t i = 0; i < batches.size(); ++i) {
    for (size_t at = 0; at + kBlockSize <= batches[i].size(); at += kBlockSize) {
      cells[i % 2].push_back({i % 2 + 1, batches[i].data() + at});
    }
  }
  std::vector<StreamBlock> blocks;
  for (size_t i = 0; i < std::max(cells[0].size(), cells[1].size()); ++i) {
    for (const auto& cell : cells) {
      if (i < cell.size()) blocks.push_back(cell[i]);
    }
  }
  ++tally.comparisons;
  if (RunStream(before, blocks) != RunStream(after, blocks)) {
    ++tally.differences;
    std::printf("DIFFERENCE stream on %s\n", label.c_str());
  }
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] != '.') names.push_back(folder + "/" + entry->d_name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The valid input and its damaged variants, each with a name.
std::vector<std::pair<std::string, Bytes>> Variants(const Bytes& input, const Bytes& next,
                                                    bool framed, int count, std::mt19937& random) {
  std::vector<std::pair<std::string, Bytes>> variants = {{"valid", input}};
  if (input.empty()) return variants;
  for (int i = 0; i < count; ++i) {
    Bytes cut(input.begin(), input.begin() + static_cast<long>(random() % input.size()));
    variants.push_back({"cut", cut});
    Bytes flipped = input;
    for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips) {
      flipped[random() % flipped.size()] ^= static_cast<unsigned char>(1u << (random() % 8));
    }
    variants.push_back({"flipped", flipped});
  }
  size_t blocks = input.size() / kBlockSize;
  if (framed && blocks >= 2) {
    Bytes swapped = input;
    size_t a = random() % blocks;
    size_t b = (a + 1 + random() % (blocks - 1)) % blocks;
    std::swap_ranges(swapped.begin() + static_cast<long>(a * kBlockSize),
                     swapped.begin() + static_cast<long>((a + 1) * kBlockSize),
                     swapped.begin() + static_cast<long>(b * kBlockSize));
    variants.push_back({"swapped", swapped});
  }
  if (framed && !next.empty()) {
    Bytes interleaved;
    size_t nextBlocks = next.size() / kBlockSize;
    for (size_t i = 0; i < std::max(blocks, nextBlocks); ++i) {
      if (i < blocks) {
        interleaved.insert(interleaved.end(), input.begin() + static_cast<long>(i * kBlockSize),
                           input.begin() + static_cast<long>((i + 1) * kBlockSize));
      }
      if (i < nextBlocks) {
        interleaved.insert(interleaved.end(), next.begin() + static_cast<long>(i * kBlockSize),
                           next.begin() + static_cast<long>((i + 1) * kBlockSize));
      }
    }
    variants.push_back({"interleaved", interleaved});
  }
  return variants;
}

int Usage() {
  std::fprintf(stderr,
               "usage: sibdecode_compare OLD.so NEW.so INPUT_DIR [--variants N] [--seed S]\n"
               "                         [--batch-corpus DIR] [--sib-corpus DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  Library before, after;
  before.path = argv[1];
  after.path = argv[2];
  std::string inputDir = argv[3];
  int variantCount = 2;
  unsigned seed = 20261207;
  std::string batchCorpus, sibCorpus;
  for (int i = 4; i < argc; ++i) {
    std::string option = argv[i];
    if (i + 1 >= argc) return Usage();
    std::string value = argv[++i];
    if (option == "--variants") {
      variantCount = std::atoi(value.c_str());
    } else if (option == "--seed") {
      seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    } else if (option == "--batch-corpus") {
      batchCorpus = value;
    } else if (option == "--sib-corpus") {
      sibCorpus = value;
    } else {
      return Usage();
    }
  }
  if (!Load(before) || !Load(after)) return 2;
  if (before.handle == after.handle) {
    std::fprintf(stderr, "both paths name the same loaded library\n");
    return 2;
  }

  std::mt19937 random(seed);
  Tally tally;
  size_t inputs = 0;
  std::vector<Bytes> streamBatches;
  std::vector<unsigned int> sibTypes;
  for (const std::string& path : FilesIn(inputDir)) {
    size_t slash = path.rfind('/');
    std::string name = path.substr(slash + 1);
    unsigned int sibType = 0;
    char suffix[16] = {0};
    if (std::sscanf(name.c_str(), "sib%2u.%15s", &sibType, suffix) != 2) continue;
    bool framed = std::strcmp(suffix, "hex") == 0;
    if (!framed && std::strcmp(suffix, "sib.hex") != 0) continue;
    if (framed) sibTypes.push_back(sibType);
    const std::vector<Bytes> lines = sibtest::ReadHexLines(path);
    for (size_t i = 0; i < lines.size(); ++i) {
      const Bytes& next = lines[(i + 1) % lines.size()];
      for (const auto& variant : Variants(lines[i], next, framed, variantCount, random)) {
        std::string label = name + ":" + std::to_string(i + 1) + " " + variant.first;
        ++inputs;
        if (framed) {
          CompareBatch(before, after, variant.second, label, tally);
          if (variant.first != "interleaved") streamBatches.push_back(variant.second);
        } else {
          CompareSib(before, after, sibType, variant.second, label, tally);
          // The same bits read as another type: decoders meet foreign data.
          CompareSib(before, after, sibType % 13 + 1, variant.second, label + " as other type",
                     tally);
        }
      }
    }
    if (framed) {
      CompareStream(before, after, streamBatches, name + " stream", tally);
      streamBatches.clear();
    }
  }
  if (!batchCorpus.empty()) {
    std::vector<Bytes> corpus;
    for (const std::string& path : FilesIn(batchCorpus)) {
      corpus.push_back(ReadFile(path));
      ++inputs;
      CompareBatch(before, after, corpus.back(), path, tally);
    }
    CompareStream(before, after, corpus, "batch corpus stream", tally);
  }
  if (!sibCorpus.empty() && !sibTypes.empty()) {
    for (const std::string& path : FilesIn(sibCorpus)) {
      Bytes seedBytes = ReadFile(path);
      if (seedBytes.empty()) continue;
      ++inputs;
      Bytes sib(seedBytes.begin() + 1, seedBytes.end());
      CompareSib(before, after, sibTypes[seedBytes[0] % sibTypes.size()], sib, path, tally);
    }
  }
  before.destroyDecoderState(before.state);
  after.destroyDecoderState(after.state);
  std::printf(
      "%zu inputs, %zu comparisons, %zu differences (%zu JSON texts of SIBs that stopped or warned "
      "not "
      "compared)\n",
      inputs, tally.comparisons, tally.differences, tally.reportedJson);
  return tally.differences == 0 && tally.comparisons > 0 ? 0 : 1;
}
