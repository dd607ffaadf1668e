#include "api/ext_schedule.h"

#include "sibdecode/sibdecode.h"

namespace sibdecode {

namespace {

constexpr uint32_t kSfnCycle = 4096;  // frames; SFN-prime counts them in steps of 2
constexpr uint32_t kDefaultSegmentOffset = 2;

// Frame of segment `index` within the cycle, from the first segment's position.
uint32_t SegmentPosition(const ExtSibSchedule& entry, uint32_t index) {
  uint32_t position = entry.position;
  for (uint32_t i = 1; i <= index; ++i) {
    position += i <= entry.offsetCount ? entry.offsets[i - 1] : kDefaultSegmentOffset;
  }
  return position;
}

}  // namespace

int ScheduleSource(uint32_t sibType) {
  switch (sibType) {
    case 0:  // MIB
      return 0;
    case 27:  // SB1
      return 1;
    case 28:  // SB2
      return 2;
    default:
      return -1;
  }
}

uint32_t NameExtensionSegment(const CellSchedule& schedule, uint32_t index, uint32_t sfnPrime) {
  const uint32_t sfn = (2 * sfnPrime) % kSfnCycle;
  uint32_t scheduled = kSibTypeExtension;  // the one type scheduled ...
  bool severalScheduled = false;           // ... unless there are several
  uint32_t matching = kSibTypeExtension;   // the type whose segment `index` comes at sfn ...
  bool severalMatching = false;            // ... unless several do
  for (const std::vector<ExtSibSchedule>& entries : schedule.extension) {
    for (const ExtSibSchedule& entry : entries) {
      if (scheduled == kSibTypeExtension) {
        scheduled = entry.sibType;
      } else if (scheduled != entry.sibType) {
        severalScheduled = true;
      }
      if (entry.repetition == 0 ||
          sfn % entry.repetition != SegmentPosition(entry, index) % entry.repetition) {
        continue;
      }
      if (matching == kSibTypeExtension) {
        matching = entry.sibType;
      } else if (matching != entry.sibType) {
        severalMatching = true;
      }
    }
  }
  if (!severalScheduled) return scheduled;
  return severalMatching ? kSibTypeExtension : matching;
}

}  // namespace sibdecode
