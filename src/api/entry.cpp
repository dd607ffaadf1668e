// One decoding call: reset, block walk, reassembly, dispatch, summary, text.
#include "api/entry.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

#include "api/sib_dispatch.h"
#include "bch/block_walk.h"
#include "bch/reassembly.h"
#include "per/per.h"
#include "print/emitter.h"

namespace sibdecode {

// The summary record is part of the host interface: fixed offsets, 1044 bytes.
static_assert(sizeof(tagSystemInformationBlock) == 1044, "summary record size");
static_assert(offsetof(tagSystemInformationBlock, sib4) == 4, "sib4 offset");
static_assert(offsetof(tagSystemInformationBlock, sib11) == 8, "sib11 offset");
static_assert(offsetof(tagSystemInformationBlockType11, interRATCells) == 4, "interRATCells");
static_assert(offsetof(tagSystemInformationBlockType11, intraFreqCellCount) == 388,
              "intraFreqCellCount");
static_assert(offsetof(tagSystemInformationBlockType11, intraFreqCells) == 392, "intraFreqCells");
static_assert(offsetof(tagSystemInformationBlockType11, interFreqCellCount) == 648,
              "interFreqCellCount");
static_assert(offsetof(tagSystemInformationBlockType11, interFreqCells) == 652, "interFreqCells");
static_assert(sizeof(tagIntraFreqCell) == 8 && sizeof(tagInterFreqCell) == 12 &&
                  sizeof(tagInterRATCell) == 12,
              "cell entry sizes");

namespace {

constexpr char kTrailerHeader[] = "\r\n<<<-----raw data ----->>>\r\n";
constexpr size_t kTrailerHeaderSize = sizeof(kTrailerHeader) - 1;
constexpr size_t kMaxListEntries = 32;
constexpr uint32_t kMaxPerBufferSize = 0xFFFFFFFFu;

bool ArgumentsUsable(const DecoderState* state, const tagSystemInformationBlock* out,
                     const size_t* textLen) {
  return state != nullptr && out != nullptr && textLen != nullptr;
}

}  // namespace

int DecodeAndRender(DecoderState& state, uint32_t sibType, const uint8_t* sib, size_t sibSize,
                    tagSystemInformationBlock* out, const unsigned char* raw, size_t rawLen,
                    bool withTrailer, char* text, size_t capacity, size_t* textLen) {
  const SibDispatchRow* row = FindSibRow(sibType);
  if (row == nullptr || row->decode == nullptr || row->print == nullptr ||
      row->recordSize > kMaxSibRecordSize) {
    return kNothingDecoded;
  }

  PerContext ctx;
  uint32_t size = sibSize > kMaxPerBufferSize ? kMaxPerBufferSize : static_cast<uint32_t>(sibSize);
  InitPerContext(&ctx, sib, size, &state.feed);
  std::unique_ptr<char[]> work(new char[TextBufferSize]());
  TextCursor cursor;
  InitTextCursor(cursor, work.get(), TextBufferSize);

  // Zero-filled first, so members a stopped decode never reached print as 0.
  alignas(std::max_align_t) unsigned char record[kMaxSibRecordSize];
  std::memset(record, 0, row->recordSize);
  if (row->init != nullptr) row->init(record);
  (void)row->decode(&ctx, record);  // a decode that stops early is printed as far as it got
  switch (row->cellIdentity) {
    case CellIdentityTarget::Sib3:
      out->sib3.cellIdentity = state.feed.cellIdentityAccumulator;
      break;
    case CellIdentityTarget::Sib4:
      out->sib4.cellIdentity = state.feed.cellIdentityAccumulator;
      break;
    case CellIdentityTarget::None:
      break;
  }
  (void)row->print(cursor, record);  // what was written before a failure is the text
  if (row->release != nullptr) row->release(record);

  DrainSummaryFeed(state.feed, &out->sib11);

  size_t printed = TextBufferSize - static_cast<size_t>(cursor.remaining);
  return DeliverText(work.get(), printed, raw, rawLen, withTrailer, text, capacity, textLen);
}

void ResetForCall(DecoderState& state, tagSystemInformationBlock* out) {
  state.segmentQueue.clear();
  state.currentSegment.bits.clear();
  ResetSummaryFeed(state.feed);
  std::memset(out, 0, sizeof(*out));
}

bool ReassembleBatch(DecoderState& state, const unsigned char* data, size_t len, uint32_t* sibType,
                     std::vector<uint8_t>* packed) {
  WalkBlocks(data, len, state.currentSegment, state.segmentQueue);
  return Reassemble(state.segmentQueue, sibType, packed);
}

void DrainSummaryFeed(const SummaryFeed& feed, tagSystemInformationBlockType11* lists) {
  // The intra-frequency cells come first in utraCellQueue; the rest pair one
  // to one, in order, with the frequencies.
  const size_t utraCount = feed.utraCellQueue.size();
  const size_t frequencyCount = feed.frequencyQueue.size();
  const size_t intraCount = utraCount > frequencyCount ? utraCount - frequencyCount : 0;
  const size_t interCount = utraCount - intraCount;

  size_t stored = intraCount < kMaxListEntries ? intraCount : kMaxListEntries;
  lists->intraFreqCellCount = static_cast<unsigned int>(stored);
  for (size_t k = 0; k < stored; ++k) {
    const tagUtraCellEntry& cell = feed.utraCellQueue[k];
    lists->intraFreqCells[k] = tagIntraFreqCell{cell.cellID, cell.cellParametersID};
  }

  stored = interCount < kMaxListEntries ? interCount : kMaxListEntries;
  if (stored > frequencyCount) stored = frequencyCount;
  lists->interFreqCellCount = static_cast<unsigned int>(stored);
  for (size_t k = 0; k < stored; ++k) {
    const tagUtraCellEntry& cell = feed.utraCellQueue[intraCount + k];
    lists->interFreqCells[k] =
        tagInterFreqCell{cell.cellID, feed.frequencyQueue[k], cell.cellParametersID};
  }

  const size_t ratCount = feed.interRatCellQueue.size();
  stored = ratCount < kMaxListEntries ? ratCount : kMaxListEntries;
  lists->interRATCellCount = static_cast<unsigned int>(stored);
  for (size_t i = 0; i < stored; ++i) {
    const tagInterRatEntry& cell = feed.interRatCellQueue[i];
    // A cell that is not GSM has no BSIC: it stays marked absent.
    const int bsic = cell.ncc == kAbsentValue ? kAbsentValue : cell.ncc * 10 + cell.bcc;
    lists->interRATCells[i] = tagInterRATCell{cell.interRATCellID, cell.bcch_ARFCN, bsic};
  }
}

size_t RawTrailerSize(size_t len) {
  if (len == 0) return kTrailerHeaderSize;
  return kTrailerHeaderSize + 2 * len + 2 * ((len - 1) / 31);
}

std::string BuildRawTrailer(const unsigned char* data, size_t len) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string trailer;
  trailer.reserve(RawTrailerSize(len));
  trailer.append(kTrailerHeader, kTrailerHeaderSize);
  for (size_t i = 0; i < len; ++i) {
    if (i > 0 && i % 31 == 0) trailer.append("\r\n");
    trailer.push_back(kHex[data[i] >> 4]);
    trailer.push_back(kHex[data[i] & 0x0F]);
  }
  return trailer;
}

int DeliverText(const char* printed, size_t printedLen, const unsigned char* raw, size_t rawLen,
                bool withTrailer, char* text, size_t capacity, size_t* textLen) {
  if (printedLen == 0) {
    *textLen = 0;
    return kNothingDecoded;
  }
  const size_t needed = printedLen + (withTrailer ? RawTrailerSize(rawLen) : 0);
  if (text == nullptr || needed > capacity) {
    *textLen = needed;
    return kTextTooSmall;
  }
  std::memcpy(text, printed, printedLen);
  if (withTrailer) {
    std::string trailer = BuildRawTrailer(raw, rawLen);
    std::memcpy(text + printedLen, trailer.data(), trailer.size());
  }
  *textLen = needed;
  return kDecoded;
}

DecoderState* CreateDecoderState() { return new DecoderState(); }

void DestroyDecoderState(DecoderState* state) { delete state; }

size_t MaxTextSize(size_t len) { return TextBufferSize + RawTrailerSize(len); }

int DecodeBatch(DecoderState* state, const unsigned char* data, size_t len,
                tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  if (!ArgumentsUsable(state, out, textLen)) return kNothingDecoded;
  ResetForCall(*state, out);
  if (data == nullptr) return kNothingDecoded;
  uint32_t sibType = 0;
  std::vector<uint8_t> packed;
  if (!ReassembleBatch(*state, data, len, &sibType, &packed)) return kNothingDecoded;
  return DecodeAndRender(*state, sibType, packed.data(), packed.size(), out, data, len, true, text,
                         textCapacity, textLen);
}

int DecodeSib(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
              tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  if (!ArgumentsUsable(state, out, textLen)) return kNothingDecoded;
  ResetForCall(*state, out);
  if (sib == nullptr && len > 0) return kNothingDecoded;
  return DecodeAndRender(*state, sibType, sib, len, out, nullptr, 0, false, text, textCapacity,
                         textLen);
}

}  // namespace sibdecode
