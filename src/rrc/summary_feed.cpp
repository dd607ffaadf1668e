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

namespace {

// sib-Pos: the alternative names the repetition period (rep4 .. rep4096), the
// value is half the position of the first segment.
void PushExtSchedule(PerContext* ctx, uint32_t sibType, const SchedulingInformation& info) {
  const SchedulingInformation_scheduling& scheduling = info.scheduling;
  const ChoiceValue& pos = scheduling.sib_Pos;
  if (pos.tag < 1 || pos.tag > 11) return;
  ExtSibSchedule entry = {sibType, 4u << (pos.tag - 1), 2 * pos.value, 0, {}};
  if (scheduling.presence & SchedulingInformation_scheduling::kHas_sib_PosOffsetInfo) {
    const SibOFF_List& offsets = scheduling.sib_PosOffsetInfo;
    for (uint32_t i = 0; i < offsets.count && i < 15; ++i) {
      entry.offsets[entry.offsetCount++] =
          static_cast<uint8_t>(2 * (offsets.items[i] + 1));  // so2..so32
    }
  }
  Push(*ctx->feed, ctx->feed->extSibSchedule, entry);
}

}  // namespace

void FeedExtSibSchedule(PerContext* ctx, const ExtSIBTypeInfoSchedulingInfo& entry) {
  if (ctx->feed == nullptr || entry.extensionSIB_Type.tag == 0) return;
  PushExtSchedule(ctx, kSibTypeExtensionBase + entry.extensionSIB_Type.tag - 1,
                  entry.schedulingInfo);
}

void FeedExtSibSchedule2(PerContext* ctx, const ExtSIBTypeInfoSchedulingInfo2& entry) {
  if (ctx->feed == nullptr || entry.extensionSIB_Type2.tag == 0) return;
  PushExtSchedule(ctx, kSibTypeExtension2Base + entry.extensionSIB_Type2.tag - 1,
                  entry.schedulingInfo);
}

}  // namespace sibdecode
