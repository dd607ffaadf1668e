#include "rrc/summary_feed.h"

namespace sibdecode {

void FeedCellIdentity(PerContext* ctx, const BitStringValue<4>& cellIdentity) {
  if (ctx->feed == nullptr) return;
  uint32_t value = 0;
  for (uint32_t i = 0; i < cellIdentity.bitCount; ++i) {
    value = value * 2 + ((cellIdentity.bytes[i / 8] >> (7 - i % 8)) & 1u);
  }
  ctx->feed->cellIdentityAccumulator = value;
}

}  // namespace sibdecode
