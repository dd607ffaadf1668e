#include "bch/block_walk.h"

namespace sibdecode {

namespace {

// Data bit strings of the segment kinds.
constexpr SizeConstraint kFixedData222 = {0, 222, 222};
constexpr SizeConstraint kFixedData226 = {0, 226, 226};
constexpr SizeConstraint kVariableData = {0, 1, 214};
constexpr SizeConstraint kCompleteListSize = {0, 1, 16};
static_assert(kFixedData226.upper == kMaxSegmentBits && kFixedData222.upper < kMaxSegmentBits &&
                  kVariableData.upper < kMaxSegmentBits,
              "every segment's data fits tagSibSegment::data");

constexpr uint64_t kSfnPrimeRange = 2048;
constexpr uint64_t kPayloadRange = 16;
constexpr uint64_t kSibTypeRange = 32;

enum class DataSize { Fixed222, Fixed226, Variable };

// Reads the segment's data straight into `current` and queues a copy of it.
int ReadSegmentData(PerContext* ctx, DataSize size, tagSibSegment& current, SegmentQueue& queue) {
  switch (size) {
    case DataSize::Fixed222:
      ctx->pendingSize = &kFixedData222;
      break;
    case DataSize::Fixed226:
      ctx->pendingSize = &kFixedData226;
      break;
    case DataSize::Variable:
      ctx->pendingSize = &kVariableData;
      break;
  }
  uint32_t bitCount = 0;
  // Zeroes the whole array first, so the bits after the data are zero.
  int status = ReadBitString(ctx, &bitCount, current.data, kMaxSegmentBytes);
  if (status != StatusOk) return status;
  current.bitCount = bitCount;
  queue.push_back(current);
  current.bitCount = 0;
  return StatusOk;
}

int ReadSibType(PerContext* ctx, tagSibSegment& current) {
  uint32_t sibType = 0;
  int status = ReadWholeNumber(ctx, kSibTypeRange, &sibType);
  if (status != StatusOk) return status;
  current.sibType = sibType;
  return StatusOk;
}

// FirstSegment and FirstSegmentShort: sib-Type, seg-Count (1..16), data.
int DecodeFirst(PerContext* ctx, DataSize size, tagSibSegment& current, SegmentQueue& queue) {
  int status = ReadSibType(ctx, current);
  if (status != StatusOk) return status;
  uint8_t segCount = 0;
  status = DecodeUInt8(ctx, 1, 16, &segCount);
  if (status != StatusOk) return status;
  current.segCount = segCount;
  current.segmentIndex = 0;
  return ReadSegmentData(ctx, size, current, queue);
}

// SubsequentSegment, LastSegment and LastSegmentShort: sib-Type, segment index
// (1..15 in 4 bits, so the field value 15 is refused), data.
int DecodeFollowing(PerContext* ctx, DataSize size, tagSibSegment& current, SegmentQueue& queue) {
  int status = ReadSibType(ctx, current);
  if (status != StatusOk) return status;
  uint8_t index = 0;
  status = DecodeUInt8(ctx, 1, 15, &index);
  if (status != StatusOk) return status;
  current.segCount = 0;
  current.segmentIndex = index;
  return ReadSegmentData(ctx, size, current, queue);
}

// CompleteSIB and CompleteSIBshort: sib-Type, data.
int DecodeComplete(PerContext* ctx, DataSize size, tagSibSegment& current, SegmentQueue& queue) {
  int status = ReadSibType(ctx, current);
  if (status != StatusOk) return status;
  current.segCount = 1;
  current.segmentIndex = 0;
  return ReadSegmentData(ctx, size, current, queue);
}

// Each element is queued as soon as it is read, so the elements before a
// failing one stay queued.
int DecodeCompleteList(PerContext* ctx, tagSibSegment& current, SegmentQueue& queue) {
  uint32_t count = 0;
  ctx->pendingSize = &kCompleteListSize;
  int status = ReadLength(ctx, &count);
  if (status != StatusOk) return status;
  for (uint32_t i = 0; i < count; ++i) {
    status = DecodeComplete(ctx, DataSize::Variable, current, queue);
    if (status != StatusOk) return status;
  }
  return StatusOk;
}

}  // namespace

int DecodePayload(PerContext* ctx, tagSibSegment& current, SegmentQueue& queue) {
  uint32_t alternative = 0;
  int status = ReadWholeNumber(ctx, kPayloadRange, &alternative);
  if (status != StatusOk) return status;
  current.payloadKind = alternative + 1;
  current.bitCount = 0;

  switch (alternative) {
    case kFirstSegment:
      return DecodeFirst(ctx, DataSize::Fixed222, current, queue);
    case kSubsequentSegment:
      return DecodeFollowing(ctx, DataSize::Fixed222, current, queue);
    case kLastSegmentShort:
      return DecodeFollowing(ctx, DataSize::Variable, current, queue);
    case kLastAndFirst:
      status = DecodeFollowing(ctx, DataSize::Variable, current, queue);
      if (status != StatusOk) return status;
      return DecodeFirst(ctx, DataSize::Variable, current, queue);
    case kLastAndComplete:
      status = DecodeFollowing(ctx, DataSize::Variable, current, queue);
      if (status != StatusOk) return status;
      return DecodeCompleteList(ctx, current, queue);
    case kLastAndCompleteAndFirst:
      status = DecodeFollowing(ctx, DataSize::Variable, current, queue);
      if (status != StatusOk) return status;
      status = DecodeCompleteList(ctx, current, queue);
      if (status != StatusOk) return status;
      return DecodeFirst(ctx, DataSize::Variable, current, queue);
    case kCompleteSibList:
      return DecodeCompleteList(ctx, current, queue);
    case kCompleteAndFirst:
      status = DecodeCompleteList(ctx, current, queue);
      if (status != StatusOk) return status;
      return DecodeFirst(ctx, DataSize::Variable, current, queue);
    case kCompleteSib:
      return DecodeComplete(ctx, DataSize::Fixed226, current, queue);
    case kLastSegment:
      return DecodeFollowing(ctx, DataSize::Fixed222, current, queue);
    default:  // noSegment and the spares carry nothing
      return StatusOk;
  }
}

void WalkBlocks(const uint8_t* data, size_t len, tagSibSegment& current, SegmentQueue& queue) {
  if (data == nullptr) return;
  for (size_t offset = 0; len >= kBchBlockSize && offset <= len - kBchBlockSize;
       offset += kBchBlockSize) {
    PerContext ctx;
    InitPerContext(&ctx, data + offset, static_cast<uint32_t>(kBchBlockSize));
    uint32_t sfnPrime = 0;
    if (ReadWholeNumber(&ctx, kSfnPrimeRange, &sfnPrime) != StatusOk) continue;
    current.sfnPrime = sfnPrime;
    // A failing block only loses its own remaining segments.
    (void)DecodePayload(&ctx, current, queue);
  }
}

}  // namespace sibdecode
