// Values that the SIB3/4/11/12 decoders hand to the summary record while they
// decode: the cell identity and the three neighbour-cell queues.
#pragma once

#include <cstdint>
#include <deque>

namespace sibdecode {

struct tagUtraCellEntry {
  int32_t cellID;
  int32_t cellParametersID;
};

struct tagInterRatEntry {
  int32_t interRATCellID;
  int32_t ncc;
  int32_t bcc;
  int32_t bcch_ARFCN;
};

struct SummaryFeed {
  uint32_t cellIdentityAccumulator = 0;
  std::deque<tagUtraCellEntry> utraCellQueue;  // intra-frequency cells, then inter-frequency
  std::deque<int32_t> frequencyQueue;          // one per inter-frequency cell
  std::deque<tagInterRatEntry> interRatCellQueue;
};

inline void ResetSummaryFeed(SummaryFeed& feed) {
  feed.cellIdentityAccumulator = 0;
  feed.utraCellQueue.clear();
  feed.frequencyQueue.clear();
  feed.interRatCellQueue.clear();
}

}  // namespace sibdecode
