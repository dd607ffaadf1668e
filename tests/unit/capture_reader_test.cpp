// The capture reader fed with GSMTAP datagrams: SIBs as DecodeBatch gives them
// for the batch of their blocks, with frames, cell and time; faults, skipped
// datagrams by cause, and chains dropped when the feeding ends.
#include <gtest/gtest.h>
#include <sibdecode/capture.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace sibdecode {
namespace {

using Bytes = std::vector<unsigned char>;

// The batches of examples/sample.hex, one per line.
std::vector<Bytes> SampleBatches() {
  std::ifstream file(std::string(SIBDECODE_TEST_DATA_DIR) + "/../../examples/sample.hex");
  std::vector<Bytes> batches;
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    Bytes batch;
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
      batch.push_back(static_cast<unsigned char>(std::stoi(line.substr(i, 2), nullptr, 16)));
    }
    batches.push_back(batch);
  }
  return batches;
}

// A GSMTAP v2 datagram (header of 16 bytes) of the given type and RRC sub-type.
Bytes Datagram(const unsigned char* message, size_t size, uint16_t arfcn, uint8_t type = 0x0c,
               uint8_t subType = 8) {
  Bytes d(16 + size, 0);
  d[0] = 2;
  d[1] = 4;
  d[2] = type;
  d[4] = static_cast<unsigned char>(0x40 | arfcn >> 8);  // the uplink flag, set
  d[5] = static_cast<unsigned char>(arfcn);
  d[12] = subType;
  std::copy(message, message + size, d.begin() + 16);
  return d;
}

// At the release and in the layout a capture reader decodes at.
std::string BatchText(const Bytes& batch) {
  DecoderState* state = CreateDecoderState();
  SetDecodeRelease(state, kReleaseLatest);
  SetTextLayout(state, kTextLayoutPlain);
  std::vector<char> text(MaxTextSize(batch.size()) * 4);
  tagSystemInformationBlock out;
  size_t textLen = 0;
  const int result =
      DecodeBatch(state, batch.data(), batch.size(), &out, text.data(), text.size(), &textLen);
  DestroyDecoderState(state);
  return result == kDecoded ? std::string(text.data(), textLen) : std::string();
}

std::vector<CaptureEvent> TakeEvents(CaptureReader* reader, std::vector<std::string>* texts) {
  std::vector<CaptureEvent> events;
  CaptureEvent event;
  while (NextCaptureEvent(reader, &event) == 1) {
    events.push_back(event);
    texts->emplace_back(event.kind == kCaptureSib ? std::string(event.text, event.textLen)
                                                  : std::string(event.message));
  }
  return events;
}

TEST(GsmtapReader, FedDatagramsGiveTheSibsOfTheirBatches) {
  const std::vector<Bytes> batches = SampleBatches();
  ASSERT_EQ(batches.size(), 7u);
  CaptureReader* reader = CreateGsmtapReader();
  ASSERT_NE(reader, nullptr);
  uint64_t frame = 0;
  size_t sibs = 0;
  for (const Bytes& batch : batches) {
    std::vector<CaptureEvent> events;
    std::vector<std::string> texts;
    for (size_t at = 0; at < batch.size(); at += 31) {
      const Bytes datagram = Datagram(batch.data() + at, 31, 10088);
      ++frame;
      FeedGsmtapDatagram(reader, datagram.data(), datagram.size(), 1700000000 + frame, 250);
      for (const CaptureEvent& e : TakeEvents(reader, &texts)) events.push_back(e);
    }
    const std::string expected = BatchText(batch);
    if (expected.empty()) continue;
    ++sibs;
    ASSERT_EQ(events.size(), 1u) << "batch " << sibs;
    EXPECT_EQ(events[0].kind, kCaptureSib);
    EXPECT_EQ(texts[0], expected) << "batch " << sibs;
    EXPECT_EQ(events[0].arfcn, 10088u);
    EXPECT_EQ(events[0].frame, frame);
    EXPECT_EQ(events[0].seconds, static_cast<int64_t>(1700000000 + frame));
    EXPECT_EQ(events[0].microseconds, 250u);
    EXPECT_EQ(events[0].frameCount, batch.size() / 31);
    EXPECT_EQ(events[0].frames[events[0].frameCount - 1], frame);
  }
  CaptureCounts counts;
  GetCaptureCounts(reader, &counts);
  EXPECT_EQ(counts.frames, frame);
  EXPECT_EQ(sibs, batches.size());
  EXPECT_EQ(counts.sibsDecoded, sibs);
  EXPECT_EQ(counts.skipped, 0u);
  CloseCapture(reader);
}

TEST(GsmtapReader, FaultsSkipsAndUnfinishedChains) {
  const std::vector<Bytes> batches = SampleBatches();
  const Bytes* segmented = nullptr;
  for (const Bytes& batch : batches) {
    if (batch.size() > 31) segmented = &batch;
  }
  ASSERT_NE(segmented, nullptr);
  const Bytes block(segmented->begin(), segmented->begin() + 31);
  struct Fed {
    Bytes datagram;
    CaptureSkipCause skipCause;  // kSkipCauseCount: not skipped
  };
  const Fed fed[] = {
      {Datagram(block.data(), 31, 7), kSkipCauseCount},     // the first segment, left pending
      {Datagram(block.data(), 31, 7), kSkipRepeatedBlock},  // the same packet captured twice
      {Datagram(block.data(), 30, 7), kSkipCauseCount},     // wrong size
      {Datagram(block.data(), 31, 7, 0x01), kSkipOtherMessage},
      {Datagram(block.data(), 31, 7, 0x0c, 7), kSkipOtherMessage},
      {Bytes(block.begin(), block.begin() + 10), kSkipNotGsmtap},
      {Bytes(40, 3), kSkipNotGsmtap},
      {Bytes(), kSkipNotGsmtap},
  };
  CaptureReader* reader = CreateGsmtapReader();
  std::vector<std::string> texts;
  std::vector<CaptureEvent> events;
  uint64_t expectedSkips[kSkipCauseCount] = {};
  for (const Fed& f : fed) {
    FeedGsmtapDatagram(reader, f.datagram.data(), f.datagram.size(), 5, 0);
    for (const CaptureEvent& e : TakeEvents(reader, &texts)) events.push_back(e);
    if (f.skipCause != kSkipCauseCount) ++expectedSkips[f.skipCause];
  }
  EXPECT_EQ(FinishGsmtapReader(reader), 1);
  for (const CaptureEvent& e : TakeEvents(reader, &texts)) events.push_back(e);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, kCaptureWrongSize);
  EXPECT_EQ(events[0].frame, 3u);
  EXPECT_EQ(texts[0], "BCCH-BCH message of 30 bytes, expected 31");
  EXPECT_EQ(events[1].kind, kCaptureDrop);
  EXPECT_EQ(events[1].dropReason, kDropFlushed);
  ASSERT_EQ(events[1].frameCount, 1u);
  EXPECT_EQ(events[1].frames[0], 1u);
  EXPECT_EQ(events[1].arfcn, 7u);
  EXPECT_EQ(texts[1], ChainDropReasonText(kDropFlushed));

  CaptureCounts counts;
  GetCaptureCounts(reader, &counts);
  EXPECT_EQ(counts.frames, 8u);
  EXPECT_EQ(counts.wrongSize, 1u);
  EXPECT_EQ(counts.skipped, 6u);
  for (int cause = 0; cause < kSkipCauseCount; ++cause) {
    EXPECT_EQ(counts.skippedBy[cause], expectedSkips[cause]) << "cause " << cause;
  }
  EXPECT_EQ(counts.chainsDropped, 1u);
  // A fed reader has no file to read.
  EXPECT_EQ(NextCaptureEvent(reader, &events[0]), 0);
  CloseCapture(reader);
}

#ifndef _WIN32
// A read function honest for its first call (the file header), then saying it
// filled more than the room it was given: an error, the capture cut there,
// never bytes taken from past the buffer (ASan watches in the sanitizer build).
struct OverLongSource {
  std::FILE* file;
  int calls;
  bool honest;
};

long long ReadSource(void* context, void* buffer, size_t size) {
  OverLongSource* source = static_cast<OverLongSource*>(context);
  const bool first = source->calls++ == 0;
  const size_t n = std::fread(buffer, 1, first && size > 100 ? 100 : size, source->file);
  if (n == 0 || first || source->honest) return static_cast<long long>(n);
  return static_cast<long long>(size) + 200000;
}

TEST(CaptureReadFunction, ACountAboveTheRoomAskedForIsACutCapture) {
  const std::string pcap = std::string(SIBDECODE_TEST_DATA_DIR) + "/../../examples/sample.pcap";
  size_t sibs[2] = {0, 0};
  size_t cuts[2] = {0, 0};
  for (const bool honest : {true, false}) {
    OverLongSource source{std::fopen(pcap.c_str(), "rb"), 0, honest};
    ASSERT_NE(source.file, nullptr);
    CaptureReader* reader = nullptr;
    char message[256] = "";
    ASSERT_EQ(OpenCaptureReadFunction(ReadSource, &source, &reader, message, sizeof message),
              kCaptureOk)
        << message;
    std::vector<std::string> texts;
    for (const CaptureEvent& event : TakeEvents(reader, &texts)) {
      sibs[honest] += event.kind == kCaptureSib;
      cuts[honest] += event.kind == kCaptureTruncated;
    }
    CloseCapture(reader);
    std::fclose(source.file);
  }
  EXPECT_GT(sibs[true], 0u);
  EXPECT_EQ(cuts[true], 0u);
  EXPECT_LT(sibs[false], sibs[true]);
  EXPECT_EQ(cuts[false], 1u);
}
#endif

TEST(GsmtapReader, MicrosecondsOutOfRangeCarryIntoTheSeconds) {
  const Bytes block(31, 0);
  const struct {
    int64_t seconds;
    uint32_t microseconds;
    int64_t wantSeconds;
    uint32_t wantMicroseconds;
  } rows[] = {
      {1800000000, 999999, 1800000000, 999999},
      {1800000000, 1000000, 1800000001, 0},
      {1800000000, 4294967295u, 1800004294, 967295},
  };
  for (const auto& row : rows) {
    CaptureReader* reader = CreateGsmtapReader();
    const Bytes datagram = Datagram(block.data(), 30, 7);  // wrong size: an event at once
    ASSERT_EQ(FeedGsmtapDatagram(reader, datagram.data(), datagram.size(), row.seconds,
                                 row.microseconds),
              1);
    CaptureEvent event;
    ASSERT_EQ(NextCaptureEvent(reader, &event), 1);
    EXPECT_EQ(event.seconds, row.wantSeconds);
    EXPECT_EQ(event.microseconds, row.wantMicroseconds);
    CloseCapture(reader);
  }
}

}  // namespace
}  // namespace sibdecode
