// What both fuzz targets ask of a decode report: complete means no stop; a
// stop names a member path of the SIB's type at a bit the decoder reached (and
// inside the SIB, when its size is known); so does every warning kept.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstdint>
#include <cstdlib>

#include "api/sib_dispatch.h"
#include "support/member_paths.h"

inline void CheckReport(const sibdecode::DecodeReport& report, unsigned int sibType,
                        uint64_t sibBits) {
  if (report.decoded != 1 || report.sibType != sibType) std::abort();
  if ((report.complete != 0) != (report.stop.kind == sibdecode::kStopNone)) std::abort();
  if (report.endBit > sibBits) std::abort();
  if (report.complete == 0) {
    if (report.stop.bit > report.endBit) std::abort();
    if (!sibdecode::IsMemberPath(sibType, report.stop.path)) std::abort();
  }
  const unsigned int kept = report.warningCount < sibdecode::kReportWarnings
                                ? report.warningCount
                                : sibdecode::kReportWarnings;
  for (unsigned int i = 0; i < kept; ++i) {
    if (!sibdecode::IsMemberPath(sibType, report.warnings[i].path)) std::abort();
  }
}

inline void CheckStateReport(sibdecode::DecoderState* state, unsigned int sibType,
                             uint64_t sibBits) {
  sibdecode::DecodeReport report;
  report.size = sizeof report;
  if (sibdecode::GetDecodeReport(state, &report) != 1) std::abort();
  CheckReport(report, sibType, sibBits);
}
