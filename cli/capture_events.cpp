#include "capture_events.h"

#include <cinttypes>
#include <cstdio>

#include "cells.h"
#include "inputs.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

struct timeval TimeOf(const sibdecode::CaptureEvent& event) {
  struct timeval time;
  time.tv_sec = static_cast<time_t>(event.seconds);
  time.tv_usec = static_cast<suseconds_t>(event.microseconds);
  return time;
}

// --json and the survey: the SIB's own bits decoded as JSON, with its frames and cell.
void WriteSibJson(CaptureRun& run, const sibdecode::CaptureEvent& event, long long repeats) {
  if (run.jsonState == nullptr) {
    run.jsonState = sibdecode::CreateDecoderState();
    sibdecode::SetDecodeRelease(
        run.jsonState, run.options.release7 ? sibdecode::kRelease7 : sibdecode::kReleaseLatest);
  }
  tagSystemInformationBlock out;
  sibdecode::DecodeReport valueReport;
  valueReport.size = sizeof valueReport;
  valueReport.decoded = 0;
  const bool survey = run.options.survey != Options::kNoSurvey;
  if (run.jsonState == nullptr) {
    // No values (no memory): the survey still counts the SIB.
    if (survey) SurveyValue(run.decoder, event.sibType, &event, "", 0, valueReport);
    return;
  }
  size_t jsonLen = 0;
  int result;
  do {
    if (jsonLen > run.json.size()) run.json.resize(jsonLen);
    result = sibdecode::DecodeSibJson(run.jsonState, event.sibType, event.sib, event.sibLen, &out,
                                      run.json.data(), run.json.size(), &jsonLen);
  } while (result == sibdecode::kTextTooSmall && jsonLen > run.json.size());
  if (result != sibdecode::kDecoded) {
    // A type without values at this release: the survey still counts it.
    if (survey) SurveyValue(run.decoder, event.sibType, &event, "", 0, valueReport);
    return;
  }
  if (sibdecode::GetDecodeReport(run.jsonState, &valueReport) != 1) valueReport.decoded = 0;
  const struct timeval time = TimeOf(event);
  if (survey) {
    SurveyValue(run.decoder, event.sibType, &event, run.json.data(), jsonLen, valueReport);
    return;
  }
  JsonOrigin origin;
  origin.file = &run.name;
  origin.frames = event.frames;
  origin.frameCount = event.frameCount;
  origin.arfcn = static_cast<long>(event.arfcn);
  origin.time = &time;
  origin.repeats = repeats;
  origin.report = event.report;
  WriteJsonLine(event.sibType, origin, out, run.json.data(), jsonLen, valueReport);
}

std::string FrameList(const sibdecode::CaptureEvent& event) {
  std::string frames;
  for (size_t i = 0; i < event.frameCount; ++i) {
    if (i > 0) frames += ',';
    frames += std::to_string(event.frames[i]);
  }
  return frames;
}

void WriteFrameList(const sibdecode::CaptureEvent& event) {
  for (size_t i = 0; i < event.frameCount; ++i) {
    if (i > 0) OutLiteral(",");
    OutUnsigned(event.frames[i]);
  }
}

// Notes a SIB that stopped early or carried warnings, as its drop would be noted.
void NoteSibReport(const CaptureRun& run, const sibdecode::CaptureEvent& event) {
  if (!HasDecodeNote(*event.report)) return;
  const std::string cell = " on ARFCN " + std::to_string(event.arfcn);
  NoteDecodeReport(run.name + ": frames " + FrameList(event), cell.c_str(), *event.report);
}

// Returns the exit status the SIB calls for. An identical copy of the cell's
// SIB (--changes, --cells) gets no note of its own: the first copy had it.
int WriteSib(CaptureRun& run, const sibdecode::CaptureEvent& event) {
  ++run.decoder.sibs;
  const int status = event.report->complete == 0 ? kExitMalformed : kExitOk;
  long long repeats = -1;
  bool changed = true;
  const bool survey = run.options.survey != Options::kNoSurvey;
  if (run.options.changes || survey) {
    SibSeen seen;
    seen.cellKey = event.arfcn;
    seen.sibType = event.sibType;
    seen.encoding = event.sib;
    seen.encodingLen = event.sibLen;
    changed = RecordSib(run.decoder.cells, seen, &repeats);
  }
  if (changed) NoteSibReport(run, event);
  if (survey) {
    WriteSibJson(run, event, repeats);
    return status;
  }
  if (!changed) return status;
  if (run.options.json) {
    WriteSibJson(run, event, repeats);
    return status;
  }
  OutLiteral("# frames ");
  WriteFrameList(event);
  OutLiteral(" arfcn ");
  OutUnsigned(event.arfcn);
  OutLiteral(" time ");
  OutUtcTime(TimeOf(event));
  if (repeats >= 0) {
    OutLiteral(" after ");
    OutUnsigned(static_cast<unsigned long long>(repeats));
    OutLiteral(" identical copies");
  }
  OutLiteral("\n");
  WriteSibText(event.text, event.textLen, run.options.release7);
  if (run.options.summary) WriteSummary(*event.summary, event.sibType);
  OutEndRecord();
  return status;
}

}  // namespace

CaptureRun::~CaptureRun() { sibdecode::DestroyDecoderState(jsonState); }

void ConfigureReader(const Options& options, sibdecode::CaptureReader* reader) {
  sibdecode::SetCaptureRelease(reader,
                               options.release7 ? sibdecode::kRelease7 : sibdecode::kReleaseLatest);
  if (options.json || options.survey != Options::kNoSurvey) {
    sibdecode::SetCaptureText(reader, false);
  }
}

bool TakeCaptureEvent(CaptureRun& run, sibdecode::CaptureReader* reader, int* status) {
  sibdecode::CaptureEvent event;
  if (OutputClosed() || sibdecode::NextCaptureEvent(reader, &event) != 1) return false;
  const char* name = run.name.c_str();
  switch (event.kind) {
    case sibdecode::kCaptureSib:
      *status = WorseExit(*status, WriteSib(run, event));
      break;
    case sibdecode::kCaptureDrop:
      Note("%s: frames %s: %s on ARFCN %" PRIu64 " dropped: %s\n", name, FrameList(event).c_str(),
           sibdecode::SibTypeName(event.sibType), event.arfcn, event.message);
      break;
    case sibdecode::kCaptureNotDecoded:
      Note("%s: frames %s: %s on ARFCN %" PRIu64 " not decoded: %s\n", name,
           FrameList(event).c_str(), sibdecode::SibTypeName(event.sibType), event.arfcn,
           event.message);
      break;
    case sibdecode::kCaptureWrongSize:
      Note("%s: frame %" PRIu64 ": %s\n", name, event.frame, event.message);
      *status = WorseExit(*status, kExitMalformed);
      break;
    case sibdecode::kCaptureTruncated:
    case sibdecode::kCaptureNoMemoryEvent:
      Note("%s: frame %" PRIu64 ": %s\n", name, event.frame, event.message);
      *status = WorseExit(*status, kExitIo);
      break;
  }
  return true;
}

std::string SkipCauses(const sibdecode::CaptureCounts& counts) {
  static const char* const kCauses[sibdecode::kSkipCauseCount] = {
      "other link type or network protocol",
      "not UDP or cut short",
      "other UDP port",
      "not GSMTAP version 2",
      "other GSMTAP type or sub-type",
      "IP fragment",
      "captured twice"};
  std::string causes;
  for (int cause = 0; cause < sibdecode::kSkipCauseCount; ++cause) {
    if (counts.skippedBy[cause] == 0) continue;
    causes += causes.empty() ? " (" : ", ";
    causes += std::to_string(counts.skippedBy[cause]) + " " + kCauses[cause];
  }
  if (!causes.empty()) causes += ")";
  return causes;
}

void WriteCaptureCounts(const CaptureRun& run, const sibdecode::CaptureReader* reader) {
  sibdecode::CaptureCounts counts;
  sibdecode::GetCaptureCounts(reader, &counts);
  const std::string causes = SkipCauses(counts);
  std::string folded;
  if (run.options.changes) {
    folded = ", " + std::to_string(run.decoder.cells.copiesFolded - run.foldedBefore) +
             " identical copies not printed";
  }
  const uint64_t notKept = run.decoder.cells.versionsNotKept - run.notKeptBefore;
  if (notKept > 0) {
    folded += ", " + std::to_string(notKept) + " versions not kept (more than " +
              std::to_string(kMaxVersionsKept) + " in all or " +
              std::to_string(kMaxVersionsPerType) + " per cell and type)";
  }
  Note("%s: %" PRIu64 " %s, %" PRIu64 " skipped%s; %" PRIu64 " SIBs decoded (%" PRIu64
       " complete, %" PRIu64 " stopped early), %" PRIu64 " not decoded, %" PRIu64
       " chains dropped, %" PRIu64 " stray segments%s\n",
       run.name.c_str(), counts.frames, run.unit, counts.skipped, causes.c_str(),
       counts.sibsDecoded, counts.sibsDecoded - counts.sibsStopped, counts.sibsStopped,
       counts.sibsNotDecoded, counts.chainsDropped, counts.straySegments, folded.c_str());
}

}  // namespace cli
