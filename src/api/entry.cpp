// One decoding call: reset, block walk, reassembly, dispatch, summary, text.
#include "api/entry.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
// Segments a new state has room for: a SIB of 16 segments with the blocks
// around it. Longer batches grow the queue once; it keeps its size.
constexpr size_t kReservedSegments = 32;

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

// The call's own storage could not be allocated: nothing of the call is kept
// (queues emptied, *out zeroed) and no text is delivered. The exported
// functions report this instead of letting an exception into the host.
int NoMemory(DecoderState& state, tagSystemInformationBlock* out, size_t* textLen) {
  ResetForCall(state, out);
  *textLen = 0;
  return kNoMemory;
}

// Largest text printed whole (the cursor counts in 32 bits); far beyond any SIB.
constexpr size_t kLargestWholeText = size_t{1} << 30;

bool ArgumentsUsable(const DecoderState* state, const tagSystemInformationBlock* out,
                     const size_t* textLen) {
  return state != nullptr && out != nullptr && textLen != nullptr;
}

// Fills the summary record with zero bytes. With SSE2, sixteen bytes a store:
// the compiler's own form for a fixed 1044 bytes is a string instruction that
// takes longer to start than these stores take.
void ZeroRecord(tagSystemInformationBlock* out) {
#if defined(__SSE2__)
  auto* bytes = reinterpret_cast<unsigned char*>(out);
  const __m128i zero = _mm_setzero_si128();
  size_t i = 0;
  for (; i + 16 <= sizeof(*out); i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), zero);
  }
  std::memset(bytes + i, 0, sizeof(*out) - i);
#else
  std::memset(out, 0, sizeof(*out));
#endif
}

}  // namespace

// Steps after reassembly: dispatch, decode, print, summary, text.
int DecodeAndRender(DecoderState& state, uint32_t sibType, const uint8_t* sib, size_t sibSize,
                    tagSystemInformationBlock* out, const unsigned char* raw, size_t rawLen,
                    bool withTrailer, TextLimit limit, TextFormat format, char* text,
                    size_t capacity, size_t* textLen) {
  const SibDispatchRow* row = FindSibRow(sibType);
  if (row == nullptr || row->init == nullptr || row->decode == nullptr || row->print == nullptr ||
      row->printJson == nullptr || row->recordSize > kMaxSibRecordSize) {
    return kNothingDecoded;
  }
  int (*const print)(TextCursor&, const void*) =
      format == TextFormat::Json ? row->printJson : row->print;

  PerContext ctx;
  uint32_t size = sibSize > kMaxPerBufferSize ? kMaxPerBufferSize : static_cast<uint32_t>(sibSize);
  InitPerContext(&ctx, sib, size, &state.feed);
  ctx.arena = &state.arena;  // the decoded tree goes in one step, after printing

  // With the work buffer's limit, a caller's buffer that holds the largest
  // possible text takes the print directly; otherwise the state's own work
  // buffer does, and the text is copied out only if it fits.
  const size_t trailerSize = withTrailer ? RawTrailerSize(rawLen) : 0;
  const bool direct =
      limit == TextLimit::WorkBuffer && text != nullptr && capacity >= TextBufferSize + trailerSize;
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

  alignas(std::max_align_t) unsigned char record[kMaxSibRecordSize];
  row->init(record);
  (void)row->decode(&ctx, record);  // a decode that stops early is printed as far as it got
  if (state.feed.noMemory) {
    ResetArena(&state.arena);
    return NoMemory(state, out, textLen);
  }
  (void)print(cursor, record);  // what was written before a failure is the text
  while (limit == TextLimit::Whole && cursor.failed && workSize < kLargestWholeText) {
    // Longer than the work buffer: printed again, whole, into a larger one.
    workSize *= 2;
    work = StateWorkBuffer(state, workSize);
    if (work == nullptr) {
      ResetArena(&state.arena);
      return NoMemory(state, out, textLen);
    }
    InitTextCursor(cursor, work, static_cast<uint32_t>(workSize));
    (void)print(cursor, record);
  }
  ResetArena(&state.arena);

  DrainSummaryFeed(state.feed, out);

  size_t printed = workSize - static_cast<size_t>(cursor.remaining);
  if (direct && printed > 0) {
    if (withTrailer) WriteRawTrailer(text + printed, raw, rawLen);
    *textLen = printed + trailerSize;
    return kDecoded;
  }
  return DeliverText(work, printed, raw, rawLen, withTrailer, text, capacity, textLen);
}

void ResetForCall(DecoderState& state, tagSystemInformationBlock* out) {
  state.segmentQueue.clear();
  state.currentSegment.bitCount = 0;
  ResetSummaryFeed(state.feed);
  ZeroRecord(out);
}

bool ReassembleBatch(DecoderState& state, const unsigned char* data, size_t len, uint32_t* sibType,
                     std::vector<uint8_t>* packed) {
  WalkBlocks(data, len, state.currentSegment, state.segmentQueue);
  return Reassemble(state.segmentQueue, sibType, packed);
}

void DrainSummaryFeed(const SummaryFeed& feed, tagSystemInformationBlock* out) {
  out->sib3.cellIdentity = feed.sib3CellIdentity;
  out->sib4.cellIdentity = feed.sib4CellIdentity;
  tagSystemInformationBlockType11* lists = &out->sib11;

  const size_t intraCount = feed.intraFreqCellQueue.size();
  size_t stored = intraCount < kMaxListEntries ? intraCount : kMaxListEntries;
  lists->intraFreqCellCount = static_cast<unsigned int>(stored);
  for (size_t k = 0; k < stored; ++k) {
    const tagIntraFreqEntry& cell = feed.intraFreqCellQueue[k];
    lists->intraFreqCells[k] = tagIntraFreqCell{cell.cellID, cell.cellParametersID};
  }

  const size_t interCount = feed.interFreqCellQueue.size();
  stored = interCount < kMaxListEntries ? interCount : kMaxListEntries;
  lists->interFreqCellCount = static_cast<unsigned int>(stored);
  for (size_t k = 0; k < stored; ++k) {
    const tagInterFreqEntry& cell = feed.interFreqCellQueue[k];
    lists->interFreqCells[k] = tagInterFreqCell{cell.cellID, cell.uarfcn_Nt, cell.cellParametersID};
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

namespace {

// "%02X" of every byte value.
struct HexPairs {
  char pairs[256][2];
  constexpr HexPairs() : pairs() {
    const char digits[] = "0123456789ABCDEF";
    for (int value = 0; value < 256; ++value) {
      pairs[value][0] = digits[value >> 4];
      pairs[value][1] = digits[value & 0x0F];
    }
  }
};
constexpr HexPairs kHexPairs;

#if defined(__SSE2__)
// The sixteen hex digits of the eight bytes at `in`.
void PutHexOf8(char* out, const unsigned char* in) {
  const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in));
  const __m128i low4 = _mm_set1_epi8(0x0F);
  const __m128i high = _mm_and_si128(_mm_srli_epi16(bytes, 4), low4);
  const __m128i low = _mm_and_si128(bytes, low4);
  const __m128i nibbles = _mm_unpacklo_epi8(high, low);  // first digit of each byte first
  // '0' + n, and 7 more for 'A' to 'F'.
  const __m128i letters =
      _mm_and_si128(_mm_cmpgt_epi8(nibbles, _mm_set1_epi8(9)), _mm_set1_epi8(7));
  const __m128i digits = _mm_add_epi8(_mm_add_epi8(nibbles, _mm_set1_epi8('0')), letters);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
}
#endif
constexpr size_t kBlockSize = 31;

}  // namespace

char* WriteRawTrailer(char* out, const unsigned char* data, size_t len) {
  std::memcpy(out, kTrailerHeader, kTrailerHeaderSize);
  out += kTrailerHeaderSize;
  for (size_t start = 0; start < len; start += kBlockSize) {
    if (start > 0) {  // one line per block
      *out++ = '\r';
      *out++ = '\n';
    }
    const size_t end = len - start < kBlockSize ? len : start + kBlockSize;
    size_t i = start;
#if defined(__SSE2__)
    if (end - start >= 8) {
      for (; i + 8 <= end; i += 8, out += 16) PutHexOf8(out, data + i);
      // The last bytes with the eight that end the block, rewriting some digits.
      if (i < end) {
        PutHexOf8(out - 2 * (i + 8 - end), data + end - 8);
        out += 2 * (end - i);
        i = end;
      }
    }
#endif
    for (; i < end; ++i, out += 2) std::memcpy(out, kHexPairs.pairs[data[i]], 2);
  }
  return out;
}

std::string BuildRawTrailer(const unsigned char* data, size_t len) {
  std::string trailer(RawTrailerSize(len), '\0');
  WriteRawTrailer(&trailer[0], data, len);
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
  if (withTrailer) WriteRawTrailer(text + printedLen, raw, rawLen);
  *textLen = needed;
  return kDecoded;
}

DecoderState* CreateDecoderState() {
  DecoderState* state = nullptr;
  try {
    state = new DecoderState();
    state->segmentQueue.reserve(kReservedSegments);
    return state;
  } catch (const std::bad_alloc&) {
    delete state;
    return nullptr;
  }
}

void DestroyDecoderState(DecoderState* state) { delete state; }

size_t MaxTextSize(size_t len) { return TextBufferSize + RawTrailerSize(len); }

int DecodeBatch(DecoderState* state, const unsigned char* data, size_t len,
                tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  return DecodeBatchText(state, data, len, out, text, textCapacity, textLen, TextLimit::Whole,
                         TextFormat::Text, nullptr);
}

int DecodeBatchJson(DecoderState* state, const unsigned char* data, size_t len,
                    tagSystemInformationBlock* out, char* json, size_t jsonCapacity,
                    size_t* jsonLen, unsigned int* sibType) {
  return DecodeBatchText(state, data, len, out, json, jsonCapacity, jsonLen, TextLimit::Whole,
                         TextFormat::Json, sibType);
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

namespace {

int DecodeBareSib(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
                  tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen,
                  TextFormat format) {
  if (!ArgumentsUsable(state, out, textLen)) return kNothingDecoded;
  ResetForCall(*state, out);
  if (sib == nullptr && len > 0) return kNothingDecoded;
  return DecodeAndRender(*state, sibType, sib, len, out, nullptr, 0, false, TextLimit::Whole,
                         format, text, textCapacity, textLen);
}

}  // namespace

int DecodeSib(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
              tagSystemInformationBlock* out, char* text, size_t textCapacity, size_t* textLen) {
  return DecodeBareSib(state, sibType, sib, len, out, text, textCapacity, textLen,
                       TextFormat::Text);
}

int DecodeSibJson(DecoderState* state, unsigned int sibType, const unsigned char* sib, size_t len,
                  tagSystemInformationBlock* out, char* json, size_t jsonCapacity,
                  size_t* jsonLen) {
  return DecodeBareSib(state, sibType, sib, len, out, json, jsonCapacity, jsonLen,
                       TextFormat::Json);
}

}  // namespace sibdecode
