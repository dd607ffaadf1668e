// One decoding call: reset, block walk, reassembly, dispatch, summary, text.
#include "api/entry.h"

#include <cstddef>
#include <cstdint>
#include <new>

#include "api/decode_report.h"
#include "api/raw_trailer.h"
#include "api/sib_dispatch.h"
#include "api/summary_record.h"
#include "api/text_delivery.h"
#include "bch/block_walk.h"
#include "bch/reassembly.h"
#include "per/per.h"
#include "print/emitter.h"
#include "print/plain_layout.h"

namespace sibdecode {

namespace {

constexpr uint32_t kMaxPerBufferSize = 0xFFFFFFFFu;
// Largest text printed whole (the cursor counts in 32 bits); far beyond any SIB.
constexpr size_t kLargestWholeText = size_t{1} << 30;

// The state's work buffer, at least `size` bytes; grown, never shrunk. Null
// when it cannot grow.
char* StateWorkBuffer(DecoderState& state, size_t size) {
  if (state.workBuffer.size() < size) {
    try {
      state.workBuffer.resize(size);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
  }
  return state.workBuffer.data();
}

// The printed text relaid in the plain layout, its trailer with "\n" line ends.
int DeliverPlainText(DecoderState& state, tagSystemInformationBlock* out, const char* printed,
                     size_t printedLen, const unsigned char* raw, size_t rawLen, bool withTrailer,
                     char* text, size_t capacity, size_t* textLen) {
  // One pass in the common case: the relaid text is no longer than the printed one.
  std::vector<char>& relaid = state.plainBuffer;
  const size_t trailerSize = withTrailer ? RawTrailerSize(rawLen) : 0;
  size_t relaidLen = printedLen;
  for (;;) {
    if (relaid.size() < relaidLen + trailerSize) {
      try {
        relaid.resize(relaidLen + trailerSize);
      } catch (const std::bad_alloc&) {
        return NoMemory(state, out, textLen);
      }
    }
    const size_t room = relaid.size() - trailerSize;
    relaidLen = RelayPlainText(printed, printedLen, relaid.data(), room);
    if (relaidLen <= room) break;
  }
  size_t length = relaidLen;
  if (withTrailer) {
    char* trailer = relaid.data() + relaidLen;
    const auto trailerLen = static_cast<size_t>(WriteRawTrailer(trailer, raw, rawLen) - trailer);
    length += RelayPlainText(trailer, trailerLen, trailer, trailerLen);
  }
  return DeliverText(relaid.data(), length, nullptr, 0, false, text, capacity, textLen);
}

}  // namespace

int NoMemory(DecoderState& state, tagSystemInformationBlock* out, size_t* textLen) {
  ResetForCall(state, out);
  *textLen = 0;
  return kNoMemory;
}

void ResetForCall(DecoderState& state, tagSystemInformationBlock* out) {
  state.segmentQueue.clear();
  state.currentSegment.bitCount = 0;
  ResetSummaryFeed(state.feed);
  ZeroRecord(out);
  ResetReport(state.report);
  state.segmentGapBit = DecoderState::kNoGap;
}

// Steps after reassembly: dispatch, decode, print, summary, text.
int DecodeAndRender(DecoderState& state, uint32_t sibType, const uint8_t* sib, size_t sibSize,
                    tagSystemInformationBlock* out, const unsigned char* raw, size_t rawLen,
                    bool withTrailer, TextLimit limit, TextFormat format, char* text,
                    size_t capacity, size_t* textLen) {
  const SibDispatchRow* row = FindSibRow(sibType);
  if (row != nullptr && state.release7 && !row->release7) row = nullptr;
  if (row == nullptr || row->init == nullptr || row->decode == nullptr || row->print == nullptr ||
      row->printJson == nullptr || row->recordSize > kMaxSibRecordSize) {
    state.report.sibType = sibType;
    state.report.stop.kind = kStopUnsupported;
    return kNothingDecoded;
  }
  int (*const print)(TextCursor&, const void*) =
      format == TextFormat::Json ? row->printJson : row->print;

  PerContext ctx;
  uint32_t size = sibSize > kMaxPerBufferSize ? kMaxPerBufferSize : static_cast<uint32_t>(sibSize);
  InitPerContext(&ctx, sib, size, &state.feed);
  ctx.arena = &state.arena;  // the decoded tree goes in one step, after printing
  ResetDecodeNotes(&state.notes);
  ctx.notes = &state.notes;
  ctx.release7 = state.release7;

  // With the work buffer's limit, a caller's buffer that holds the largest
  // possible text takes the print directly; otherwise the state's own work
  // buffer does, and the text is copied out only if it fits.
  const size_t trailerSize = withTrailer ? RawTrailerSize(rawLen) : 0;
  const bool plain = state.textLayout == kTextLayoutPlain && format == TextFormat::Text;
  const bool direct = !plain && limit == TextLimit::WorkBuffer && text != nullptr &&
                      capacity >= TextBufferSize + trailerSize;
  // A whole text may take all of the state's buffer, grown by earlier long
  // texts, so that it is printed once.
  size_t workSize = TextBufferSize;
  if (!direct && limit == TextLimit::Whole && state.workBuffer.size() > workSize) {
    workSize = state.workBuffer.size();
  }
  char* work = direct ? text : StateWorkBuffer(state, workSize);
  if (work == nullptr) return NoMemory(state, out, textLen);
  TextCursor cursor;
  InitTextCursor(cursor, work, static_cast<uint32_t>(workSize));
  cursor.release7 = state.release7;
  cursor.plain = plain;

  alignas(std::max_align_t) unsigned char record[kMaxSibRecordSize];
  row->init(record);
  // A decode that stops early is printed as far as it got.
  const int status = row->decode(&ctx, record);
  if (state.feed.noMemory) {
    ResetArena(&state.arena);
    return NoMemory(state, out, textLen);
  }
  DecodeReport& report = state.report;
  FillReport(report, *row, sibType, status, state.notes, sib, size, state.release7,
             state.warningPaths, &state.arena);
  report.endBit = BitPosition(&ctx);
  // After a later release's container the bits are that container's, not left over.
  if (status == StatusOk && !HasWarning(state.notes, WarningKind::LaterRelease)) {
    NoteBitsLeftOver(report, *row, sib, size, BitPosition(&ctx));
  }
  if (state.segmentGapBit != DecoderState::kNoGap) {
    AddSibWarning(report, *row, kWarnSegmentGap, state.segmentGapBit);
  }
  // JSON of a stopped decode: only what was reached, then where and why it stopped.
  StopFrame stopPath[kMaxStopFrames];
  const uint32_t stopDepth =
      format == TextFormat::Json && status != StatusOk ? OutermostFirst(state.notes, stopPath) : 0;
  auto render = [&](TextCursor& c) {
    if (stopDepth > 0) {
      c.stopAt = stopPath;
      c.stopEnd = stopPath + stopDepth;
    }
    (void)print(c, record);  // what was written before a failure is the text
    if (format == TextFormat::Json && (status != StatusOk || report.warningCount > 0)) {
      (void)WriteJsonReport(c, report);
    }
  };
  const bool textWanted = state.textLayout != kTextLayoutNone || format != TextFormat::Text;
  if (textWanted) render(cursor);
  while (textWanted && limit == TextLimit::Whole && cursor.failed && workSize < kLargestWholeText) {
    // Longer than the work buffer: printed again, whole, into a larger one.
    workSize *= 2;
    work = StateWorkBuffer(state, workSize);
    if (work == nullptr) {
      ResetArena(&state.arena);
      return NoMemory(state, out, textLen);
    }
    InitTextCursor(cursor, work, static_cast<uint32_t>(workSize));
    cursor.release7 = state.release7;
    cursor.plain = plain;
    render(cursor);
  }
  ResetArena(&state.arena);

  DrainSummaryFeed(state.feed, out);
  if (!textWanted) {
    *textLen = 0;
    return kDecoded;
  }

  size_t printed = workSize - static_cast<size_t>(cursor.remaining);
  if (direct && printed > 0) {
    if (withTrailer) WriteRawTrailer(text + printed, raw, rawLen);
    *textLen = printed + trailerSize;
    return kDecoded;
  }
  if (plain && printed > 0) {
    return DeliverPlainText(state, out, work, printed, raw, rawLen, withTrailer, text, capacity,
                            textLen);
  }
  return DeliverText(work, printed, raw, rawLen, withTrailer, text, capacity, textLen);
}

int DecodeBatchText(DecoderState* state, const unsigned char* data, size_t len,
                    tagSystemInformationBlock* out, char* text, size_t textCapacity,
                    size_t* textLen, TextLimit limit, TextFormat format, unsigned int* sibTypeOut) {
  if (!ArgumentsUsable(state, out, textLen)) return kNothingDecoded;
  ResetForCall(*state, out);
  if (data == nullptr) return kNothingDecoded;
  uint32_t sibType = 0;
  std::vector<uint8_t>& packed = state->packedSib;
  bool reassembled = false;
  try {
    reassembled = ReassembleBatch(*state, data, len, &sibType, &packed);
  } catch (const std::bad_alloc&) {
    return NoMemory(*state, out, textLen);
  }
  if (!reassembled) return kNothingDecoded;
  if (sibTypeOut != nullptr) *sibTypeOut = sibType;
  return DecodeAndRender(*state, sibType, packed.data(), packed.size(), out, data, len,
                         format == TextFormat::Text, limit, format, text, textCapacity, textLen);
}

bool ReassembleBatch(DecoderState& state, const unsigned char* data, size_t len, uint32_t* sibType,
                     std::vector<uint8_t>* packed) {
  WalkBlocks(data, len, state.currentSegment, state.segmentQueue);
  return Reassemble(state.segmentQueue, sibType, packed, &state.segmentGapBit);
}

}  // namespace sibdecode
