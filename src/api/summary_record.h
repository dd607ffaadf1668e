// The summary record the host receives: zeroed at the start of a call, then
// filled from the summary feed once the SIB has decoded.
#pragma once

#include "rrc/summary_feed.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

// Fills the record with zero bytes.
void ZeroRecord(tagSystemInformationBlock* out);

// Copies the cell identities and the cell queues into the summary record, at
// most 32 entries per neighbour list.
void DrainSummaryFeed(const SummaryFeed& feed, tagSystemInformationBlock* out);

}  // namespace sibdecode
