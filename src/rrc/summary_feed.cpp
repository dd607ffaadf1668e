#include "rrc/summary_feed.h"

#include <new>

#include "sibdecode/sibdecode.h"

namespace sibdecode {

namespace {

// The bits are left-aligned in the bytes, zeros after them: the value is the
// top bitCount bits of the four bytes.
uint32_t CellIdentityValue(const BitStringValue<4>& cellIdentity) {
  const uint32_t bitCount = cellIdentity.bitCount < 32 ? cellIdentity.bitCount : 32;
  const uint32_t word = uint32_t{cellIdentity.bytes[0]} << 24 |
                        uint32_t{cellIdentity.bytes[1]} << 16 |
                        uint32_t{cellIdentity.bytes[2]} << 8 | uint32_t{cellIdentity.bytes[3]};
  return bitCount == 0 ? 0 : static_cast<uint32_t>(uint64_t{word} >> (32 - bitCount));
}

int32_t OptionalValue(uint32_t presence, uint32_t presentBit, int32_t value) {
  return (presence & presentBit) ? value : kAbsentValue;
}

int32_t CellParametersID(const CellInfoSI_RSCP_LCR_r4& cellInfo) {
  const PrimaryCCPCH_Info_LCR_r4& pccpch = cellInfo.primaryCCPCH_Info;
  return OptionalValue(pccpch.presence, PrimaryCCPCH_Info_LCR_r4::kHas_cellParametersID,
                       pccpch.cellParametersID);
}

// Appends to a queue; a failed allocation marks the feed instead of throwing
// through the generated decoders.
template <typename Queue, typename Entry>
void Push(SummaryFeed& feed, Queue& queue, const Entry& entry) {
  try {
    queue.push_back(entry);
  } catch (const std::bad_alloc&) {
    feed.noMemory = true;
  }
}

}  // namespace

void FeedSib3CellIdentity(PerContext* ctx, const BitStringValue<4>& cellIdentity) {
  if (ctx->feed != nullptr) ctx->feed->sib3CellIdentity = CellIdentityValue(cellIdentity);
}

void FeedSib4CellIdentity(PerContext* ctx, const BitStringValue<4>& cellIdentity) {
  if (ctx->feed != nullptr) ctx->feed->sib4CellIdentity = CellIdentityValue(cellIdentity);
}

void FeedIntraFreqCell(PerContext* ctx, const NewIntraFreqCellSI_RSCP_LCR_r4& cell) {
  if (ctx->feed == nullptr) return;
  using Cell = NewIntraFreqCellSI_RSCP_LCR_r4;
  Push(*ctx->feed, ctx->feed->intraFreqCellQueue,
       tagIntraFreqEntry{
           OptionalValue(cell.presence, Cell::kHas_intraFreqCellID, cell.intraFreqCellID),
           CellParametersID(cell.cellInfo)});
}

void FeedInterFreqCell(PerContext* ctx, const NewInterFreqCellSI_RSCP_LCR_r4& cell) {
  if (ctx->feed == nullptr) return;
  using Cell = NewInterFreqCellSI_RSCP_LCR_r4;
  int32_t frequency = kAbsentValue;
  const auto* tdd = ChoiceRecord<FrequencyInfoTDD>(cell.frequencyInfo.modeSpecificInfo,
                                                   FrequencyInfo_modeSpecificInfo_Tag::tdd);
  if ((cell.presence & Cell::kHas_frequencyInfo) && tdd != nullptr) frequency = tdd->uarfcn_Nt;
  Push(*ctx->feed, ctx->feed->interFreqCellQueue,
       tagInterFreqEntry{
           OptionalValue(cell.presence, Cell::kHas_interFreqCellID, cell.interFreqCellID),
           frequency, CellParametersID(cell.cellInfo)});
}

void FeedInterRatCell(PerContext* ctx, const NewInterRATCell_B& cell) {
  if (ctx->feed == nullptr) return;
  tagInterRatEntry entry = {
      OptionalValue(cell.presence, NewInterRATCell_B::kHas_interRATCellID, cell.interRATCellID),
      kAbsentValue, kAbsentValue, kAbsentValue};
  const auto* gsm = ChoiceRecord<NewInterRATCell_B_technologySpecificInfo_gsm>(
      cell.technologySpecificInfo, NewInterRATCell_B_technologySpecificInfo_Tag::gsm);
  if (gsm != nullptr) {
    entry.ncc = gsm->bsic.ncc;
    entry.bcc = gsm->bsic.bcc;
    entry.bcch_ARFCN = gsm->bcch_ARFCN;
  }
  Push(*ctx->feed, ctx->feed->interRatCellQueue, entry);
}

}  // namespace sibdecode
