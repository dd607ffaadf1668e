// What the capture fuzz targets ask of a capture reader's events: each kind is
// counted as the counts say, frames only go forward, times are whole, SIB
// reports are consistent, nothing comes after the end.
#pragma once

#include <sibdecode/capture.h>

#include <cstdint>
#include <cstdlib>

#include "report_check.h"

struct EventTally {
  uint64_t sibs = 0;
  uint64_t drops = 0;
  uint64_t wrongSize = 0;
  uint64_t truncated = 0;
  uint64_t notDecoded = 0;
  uint64_t lastFrame = 0;
};

inline void CheckEvent(const sibdecode::CaptureEvent& event, EventTally* tally) {
  if (event.frame < tally->lastFrame) std::abort();
  // A record that cannot be read is the frame after the last one read; the
  // chains it leaves are dropped at that last one.
  if (event.kind != sibdecode::kCaptureTruncated) tally->lastFrame = event.frame;
  if (event.microseconds >= 1000000) std::abort();
  if (tally->truncated != 0 && event.kind != sibdecode::kCaptureDrop) std::abort();
  switch (event.kind) {
    case sibdecode::kCaptureSib:
      ++tally->sibs;
      if (event.report == nullptr || event.summary == nullptr || event.textLen == 0) std::abort();
      CheckReport(*event.report, event.sibType, uint64_t{event.sibLen} * 8);
      if (event.frameCount == 0 || event.blocksLen != event.frameCount * 31) std::abort();
      for (size_t i = 0; i < event.frameCount; ++i) {
        if (event.frames[i] > event.frame) std::abort();
      }
      break;
    case sibdecode::kCaptureDrop:
      ++tally->drops;
      if (event.frameCount == 0 || event.blocksLen != event.frameCount * 31) std::abort();
      if (event.message == nullptr || event.message[0] == '\0') std::abort();
      break;
    case sibdecode::kCaptureWrongSize:
      ++tally->wrongSize;
      if (event.message == nullptr || event.message[0] == '\0') std::abort();
      break;
    case sibdecode::kCaptureTruncated:
      ++tally->truncated;
      if (event.message == nullptr || event.message[0] == '\0') std::abort();
      break;
    case sibdecode::kCaptureNotDecoded:  // an extensionType SIB no schedule names
      ++tally->notDecoded;
      if (event.sibType != sibdecode::kSibTypeExtension) std::abort();
      if (event.frameCount == 0 || event.blocksLen != event.frameCount * 31) std::abort();
      if (event.message == nullptr || event.message[0] == '\0') std::abort();
      break;
    case sibdecode::kCaptureNoMemoryEvent:
      break;
    default:
      std::abort();
  }
}

// The counts against what the events said.
inline void CheckCounts(const sibdecode::CaptureReader* reader, const EventTally& tally) {
  sibdecode::CaptureCounts counts;
  sibdecode::GetCaptureCounts(reader, &counts);
  uint64_t skipped = 0;
  for (uint64_t by : counts.skippedBy) skipped += by;
  if (skipped != counts.skipped || counts.skipped > counts.frames) std::abort();
  if (counts.sibsDecoded != tally.sibs || counts.chainsDropped != tally.drops) std::abort();
  if (counts.wrongSize != tally.wrongSize || tally.truncated > 1) std::abort();
  if (tally.notDecoded > counts.sibsNotDecoded) std::abort();
  if (counts.sibsStopped > counts.sibsDecoded || counts.sibsWarned > counts.sibsDecoded) {
    std::abort();
  }
  if (tally.lastFrame > counts.frames + 1) std::abort();
}
