// libFuzzer target: the whole input is one batch for RRCParserX, DecodeBatch
// and DecodeBatchJson; its first bytes also pick a text capacity for
// DecodeBatch and a SIB type for DecodeSib on the rest; its blocks are also fed
// to a stream, on two cells.
#include <sibdecode/sibdecode.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "report_check.h"

namespace {

constexpr size_t kWorkBufferSize = 102400;  // where RRCParserX cuts a text

sibdecode::DecoderState* SharedState() {
  static sibdecode::DecoderState* state = sibdecode::CreateDecoderState();
  return state;
}

// Every event's blocks are whole blocks; a decoded SIB has a text (whole,
// however long) and its own bits.
void CheckStreamEvent(const sibdecode::StreamEvent& event, void*) {
  if (event.blocksLen != event.blockCount * 31 || event.blockCount == 0) std::abort();
  if (event.kind == sibdecode::kSibCompleted && event.result == sibdecode::kDecoded &&
      (event.textLen == 0 || event.text == nullptr || event.sibLen == 0)) {
    std::abort();
  }
  if (event.kind == sibdecode::kSibCompleted && event.result == sibdecode::kDecoded) {
    if (event.report == nullptr) std::abort();
    CheckReport(*event.report, event.sibType, uint64_t{event.sibLen} * 8);
  }
}

void FeedStream(const uint8_t* data, size_t size) {
  sibdecode::StreamState* stream = sibdecode::CreateStreamState();
  for (size_t offset = 0; offset + 31 <= size; offset += 31) {
    const std::vector<unsigned char> block(data + offset, data + offset + 31);
    sibdecode::FeedBlock(stream, block[30] & 1u, offset / 31, block.data(), CheckStreamEvent,
                         nullptr);
  }
  sibdecode::FlushStream(stream, CheckStreamEvent, nullptr);
  sibdecode::DestroyStreamState(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // RRCParserX writes into a buffer of exactly the documented size; ASan
  // catches any byte past it.
  std::vector<unsigned char> input(data, data + size);
  tagSystemInformationBlock out;
  std::vector<char> text(sibdecode::MaxTextSize(size));
  unsigned int textLen = 0;
  bool decoded =
      RRCParserX(input.data(), static_cast<unsigned int>(size), &out, text.data(), textLen);
  if (decoded && (textLen == 0 || textLen > text.size())) std::abort();

  FeedStream(data, size);
  if (size < 3) return 0;
  textLen = decoded ? textLen : 0;
  // A capacity anywhere from 0 to a little over the text length.
  size_t capacity = (size_t{data[0]} << 8 | data[1]) * 3;
  char* small = static_cast<char*>(std::malloc(capacity > 0 ? capacity : 1));
  size_t smallLen = 0;
  int result = sibdecode::DecodeBatch(SharedState(), data, size, &out, small, capacity, &smallLen);
  // Calls are independent: a second state gives the same outcome as the process-wide one.
  if (!decoded && result != sibdecode::kNothingDecoded) std::abort();
  if (decoded && result == sibdecode::kNothingDecoded) std::abort();
  if (result == sibdecode::kDecoded && smallLen > capacity) std::abort();
  if (result == sibdecode::kTextTooSmall && smallLen <= capacity) std::abort();
  if (decoded && smallLen != textLen) {
    // RRCParserX cuts a text that its work buffer cannot take together with
    // the NUL of the last formatted write (102400 bytes or more); DecodeBatch
    // delivers it whole, and the cut text is its beginning.
    const size_t trailerSize = sibdecode::MaxTextSize(size) - kWorkBufferSize;
    if (smallLen < kWorkBufferSize + trailerSize || textLen < trailerSize) std::abort();
    if (result == sibdecode::kDecoded &&
        std::memcmp(small, text.data(), textLen - trailerSize) != 0) {
      std::abort();
    }
  } else if (result == sibdecode::kDecoded && std::memcmp(small, text.data(), smallLen) != 0) {
    std::abort();
  }
  std::free(small);

  // The batch as JSON: the same outcome, and the whole value whatever its size.
  std::vector<char> json(sibdecode::MaxTextSize(0));
  size_t jsonLen = 0;
  unsigned int jsonType = 0;
  int jsonResult = sibdecode::DecodeBatchJson(SharedState(), data, size, &out, json.data(),
                                              json.size(), &jsonLen, &jsonType);
  if (jsonResult == sibdecode::kDecoded && (jsonLen == 0 || jsonLen > json.size())) std::abort();
  if ((jsonResult == sibdecode::kNothingDecoded) != (result == sibdecode::kNothingDecoded)) {
    std::abort();
  }
  if (jsonResult == sibdecode::kDecoded) {
    CheckStateReport(SharedState(), jsonType, UINT64_MAX);
    // A stopped SIB's JSON says so at its end.
    sibdecode::DecodeReport report;
    report.size = sizeof report;
    sibdecode::GetDecodeReport(SharedState(), &report);
    static const char kSaid[] = "\"complete\":false";
    const bool said = memmem(json.data(), jsonLen, kSaid, sizeof kSaid - 1) != nullptr;
    if ((report.complete == 0) != said) {
      std::abort();
    }
  }

  // The same bytes as a bare SIB of the type named by the third byte.
  const unsigned char* sib = data + 3;
  size_t sibLen = size - 3;
  std::vector<char> sibText(sibdecode::MaxTextSize(0));
  sibdecode::DecodeSib(SharedState(), data[2] & 0x1F, sib, sibLen, &out, sibText.data(),
                       sibText.size(), &smallLen);
  return 0;
}
