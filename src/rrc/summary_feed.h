// Values that the SIB3/4/11/12 decoders hand to the summary record while they
// decode: the cell identity and the three neighbour-cell queues.
#pragma once

#include <cstdint>
#include <vector>

#include "rrc/generated/rrc_types.h"

namespace sibdecode {

struct tagIntraFreqEntry {
  int32_t cellID;
  int32_t cellParametersID;
};

struct tagInterFreqEntry {
  int32_t cellID;
  int32_t uarfcn_Nt;
  int32_t cellParametersID;
};

struct tagInterRatEntry {
  int32_t interRATCellID;
  int32_t ncc;
  int32_t bcc;
  int32_t bcch_ARFCN;
};

// An extension-type SIB a MIB or scheduling block schedules: its type number
// (sibdecode.h) and when its segments come, in frames of the SFN cycle: the
// first where SFN mod repetition == position, segment i offsets[i-1] frames
// after segment i-1 (2 frames for those sib-PosOffsetInfo does not give).
struct ExtSibSchedule {
  uint32_t sibType;
  uint32_t repetition;
  uint32_t position;
  uint32_t offsetCount;
  uint8_t offsets[15];
};

struct SummaryFeed {
  uint32_t sib3CellIdentity = 0;  // 0 unless a SIB3 decoder fed it
  uint32_t sib4CellIdentity = 0;
  // Queues that keep their storage from call to call: emptied, not released.
  std::vector<tagIntraFreqEntry> intraFreqCellQueue;
  std::vector<tagInterFreqEntry> interFreqCellQueue;
  std::vector<tagInterRatEntry> interRatCellQueue;
  std::vector<ExtSibSchedule> extSibSchedule;  // of the MIB or SB just decoded
  bool noMemory = false;  // a queue could not grow: the summary would be incomplete
};

inline void ResetSummaryFeed(SummaryFeed& feed) {
  feed.sib3CellIdentity = 0;
  feed.sib4CellIdentity = 0;
  feed.noMemory = false;
  feed.intraFreqCellQueue.clear();
  feed.interFreqCellQueue.clear();
  feed.interRatCellQueue.clear();
  feed.extSibSchedule.clear();
}

// Hooks the generated decoders call once a value has decoded without error.
// Each does nothing when the decode has no feed (ctx->feed is null). None
// throws: a queue that cannot grow sets feed->noMemory instead.

// The 28 bits of a SIB3 or SIB4 cellIdentity, first bit most significant.
void FeedSib3CellIdentity(PerContext* ctx, const BitStringValue<4>& cellIdentity);
void FeedSib4CellIdentity(PerContext* ctx, const BitStringValue<4>& cellIdentity);

// Neighbour cells of the LCR lists under hcs_not_used / cpich_RSCP, and the
// GSM cells under hcs_not_used; absent numbers are queued as kAbsentValue.
void FeedIntraFreqCell(PerContext* ctx, const NewIntraFreqCellSI_RSCP_LCR_r4& cell);
// The cell's frequency is the TDD carrier number, or kAbsentValue when
// frequencyInfo is absent or holds the FDD alternative.
void FeedInterFreqCell(PerContext* ctx, const NewInterFreqCellSI_RSCP_LCR_r4& cell);
// A cell that is not GSM keeps its ID; its NCC, BCC and ARFCN are kAbsentValue.
void FeedInterRatCell(PerContext* ctx, const NewInterRATCell_B& cell);

// An entry of a MIB's or scheduling block's extSIBTypeInfoSchedulingInfo-List
// (SIB-TypeExt) or -List2 (SIB-TypeExt2).
void FeedExtSibSchedule(PerContext* ctx, const ExtSIBTypeInfoSchedulingInfo& entry);
void FeedExtSibSchedule2(PerContext* ctx, const ExtSIBTypeInfoSchedulingInfo2& entry);

}  // namespace sibdecode
