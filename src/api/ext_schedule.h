// Which type an extension-type SIB is: a SIB sent as extensionType says its
// type only through the cell's schedule (the extension lists of the MIB and
// the scheduling blocks), by where in the SFN cycle its segments come.
#pragma once

#include <cstdint>
#include <vector>

#include "rrc/summary_feed.h"

namespace sibdecode {

// The schedule a cell's MIB, SB1 and SB2 gave last, each replacing its own part.
struct CellSchedule {
  static constexpr uint32_t kSources = 3;  // MIB, SB1, SB2
  std::vector<ExtSibSchedule> extension[kSources];
  bool received[kSources] = {};
  uint64_t lastFeed = 0;
};

// The part of CellSchedule a SIB type fills, or -1 for a type that schedules nothing.
int ScheduleSource(uint32_t sibType);

// The type of an extensionType segment (index 0 for a first segment or a
// complete SIB) whose block has SFN-prime `sfnPrime` (the IE value: its SFN is
// twice that): the one extension type scheduled, or the one whose segment
// `index` comes at that SFN. kSibTypeExtension when no schedule has come yet
// or it names none or several types.
uint32_t NameExtensionSegment(const CellSchedule& schedule, uint32_t index, uint32_t sfnPrime);

}  // namespace sibdecode
