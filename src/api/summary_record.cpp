#include "api/summary_record.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

constexpr size_t kMaxListEntries = 32;

}  // namespace

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

}  // namespace sibdecode
