// Everything one decoding call works on besides its arguments. RRCParserX uses
// one process-wide instance; the reentrant API takes one per thread.
#pragma once

#include "bch/segment.h"
#include "rrc/summary_feed.h"

namespace sibdecode {

struct DecoderState {
  SegmentQueue segmentQueue;
  tagSibSegment currentSegment;
  SummaryFeed feed;  // reached by the SIB decoders through PerContext::feed
};

}  // namespace sibdecode
