#include "stream_output.h"

#include <cinttypes>
#include <cstdio>

#include "cells.h"
#include "json_output.h"
#include "output.h"

namespace cli {

namespace {

// --json: the SIB's own bits decoded as JSON, with its frames and cell.
void WriteSibJson(StreamRun& run, const sibdecode::StreamEvent& event, long long repeats) {
  if (run.jsonState == nullptr) run.jsonState = sibdecode::CreateDecoderState();
  if (run.jsonState == nullptr) return;
  tagSystemInformationBlock out;
  size_t jsonLen = 0;
  int result;
  do {
    if (jsonLen > run.json.size()) run.json.resize(jsonLen);
    result = sibdecode::DecodeSibJson(run.jsonState, event.sibType, event.sib, event.sibLen, &out,
                                      run.json.data(), run.json.size(), &jsonLen);
  } while (result == sibdecode::kTextTooSmall && jsonLen > run.json.size());
  if (result != sibdecode::kDecoded) return;
  JsonOrigin origin;
  origin.file = &run.name;
  origin.frames = event.blockTags;
  origin.frameCount = event.blockCount;
  origin.arfcn = static_cast<long>(event.cellKey);
  origin.repeats = repeats;
  WriteJsonLine(event.sibType, origin, out, run.json.data(), jsonLen);
}

std::string FrameList(const sibdecode::StreamEvent& event) {
  std::string frames;
  for (size_t i = 0; i < event.blockCount; ++i) {
    if (i > 0) frames += ',';
    frames += std::to_string(event.blockTags[i]);
  }
  return frames;
}

void WriteFrameList(const sibdecode::StreamEvent& event) {
  for (size_t i = 0; i < event.blockCount; ++i) {
    if (i > 0) OutLiteral(",");
    OutUnsigned(event.blockTags[i]);
  }
}

const char* DropReasonText(sibdecode::ChainDropReason reason) {
  switch (reason) {
    case sibdecode::kDropInterrupted:
      return "a new first segment of the same SIB type came first";
    case sibdecode::kDropOutOfOrder:
      return "a segment is missing or repeated";
    case sibdecode::kDropTooLate:
      return "its next segment came too late for its cell's schedule";
    case sibdecode::kDropFlushed:
      return "the input ended before its last segment";
    case sibdecode::kNotDropped:
      break;
  }
  return "dropped";
}

void OnStreamEvent(const sibdecode::StreamEvent& event, void* context) {
  StreamRun& run = *static_cast<StreamRun*>(context);
  if (event.kind == sibdecode::kChainDropped) {
    Note("%s: frames %s: SIB type %u on ARFCN %" PRIu64 " dropped: %s\n", run.name.c_str(),
         FrameList(event).c_str(), event.sibType, event.cellKey, DropReasonText(event.dropReason));
    return;
  }
  const bool decoded = event.result == sibdecode::kDecoded;
  // master information block, scheduling blocks, SIB types without a decoder
  if (!decoded) ++run.notDecoded;
  long long repeats = -1;
  if (run.options.changes || run.options.cells) {
    SibSeen seen;
    seen.cellKey = event.cellKey;
    seen.sibType = event.sibType;
    seen.decoded = decoded;
    seen.summary = event.summary;
    seen.encoding = event.sib;
    seen.encodingLen = event.sibLen;
    const bool changed = RecordSib(run.decoder.cells, seen, &repeats);
    if (run.options.cells || !changed) return;
  }
  if (!decoded) return;
  ++run.decoder.sibs;
  if (run.options.json) {
    WriteSibJson(run, event, repeats);
    return;
  }
  OutLiteral("# frames ");
  WriteFrameList(event);
  OutLiteral(" arfcn ");
  OutUnsigned(event.cellKey);
  OutLiteral(" time ");
  if (run.timeSet) OutUtcTime(run.time);
  if (repeats >= 0) {
    OutLiteral(" after ");
    OutUnsigned(static_cast<unsigned long long>(repeats));
    OutLiteral(" identical copies");
  }
  OutLiteral("\n");
  WriteSibText(event.text, event.textLen);
  if (run.options.summary) WriteSummary(*event.summary, event.sibType);
  OutEndRecord();
}

}  // namespace

StreamRun::~StreamRun() {
  sibdecode::DestroyStreamState(stream);
  sibdecode::DestroyDecoderState(jsonState);
}

bool StartStreamRun(StreamRun& run) {
  run.stream = sibdecode::CreateStreamState();
  run.foldedBefore = run.decoder.cells.copiesFolded;
  if (run.stream == nullptr) Note("%s: out of memory\n", run.name.c_str());
  return run.stream != nullptr;
}

int FeedGsmtapBlock(StreamRun& run, uint16_t arfcn, uint32_t frameNumber,
                    const unsigned char* block, const struct timeval& time, uint64_t tag) {
  RecordTime(run.decoder.cells, arfcn, time);
  if (IsRepeatedBlock(run.decoder.cells, arfcn, frameNumber, block)) {
    ++run.repeatedBlocks;
    return kExitOk;
  }
  run.time = time;
  run.timeSet = true;
  if (sibdecode::FeedBlock(run.stream, arfcn, tag, block, OnStreamEvent, &run) ==
      sibdecode::kNoMemory) {
    Note("%s: frame %" PRIu64 ": out of memory, pending SIBs dropped\n", run.name.c_str(), tag);
    return kExitIo;
  }
  return kExitOk;
}

void FinishStreamRun(StreamRun& run, unsigned long packets, const char* unit,
                     unsigned long skipped) {
  sibdecode::FlushStream(run.stream, OnStreamEvent, &run);
  std::string counted = std::to_string(packets) + " " + unit + ", " +
                        std::to_string(skipped + run.repeatedBlocks) + " skipped";
  if (run.repeatedBlocks != 0) {
    counted += " (" + std::to_string(run.repeatedBlocks) + " captured twice)";
  }
  sibdecode::StreamCounts counts;
  sibdecode::GetStreamCounts(run.stream, &counts);
  std::string folded;
  if (run.options.changes) {
    folded = ", " + std::to_string(run.decoder.cells.copiesFolded - run.foldedBefore) +
             " identical copies not printed";
  }
  Note("%s: %s; %" PRIu64
       " SIBs decoded, %lu not decoded, "
       "%" PRIu64 " chains dropped, %" PRIu64 " stray segments%s\n",
       run.name.c_str(), counted.c_str(), counts.sibsDecoded, run.notDecoded, counts.chainsDropped,
       counts.segmentsDiscarded, folded.c_str());
}

}  // namespace cli
