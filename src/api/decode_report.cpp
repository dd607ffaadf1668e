// Decode reports: stop paths as the text names members, warnings with theirs.
#include "api/decode_report.h"

#include <cinttypes>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "api/generated/sib_types.h"
#include "print/json_support.h"

namespace sibdecode {

static_assert(kLongestStopPath < kReportPathSize, "a stop path would be cut");
static_assert(kDeepestStopPath <= kMaxStopFrames, "a stop path would lose levels");

namespace {

int StopKindOf(int status) {
  switch (status) {
    case StatusEndOfData:
      return kStopEndOfData;
    case StatusNoMemory:
      return kStopNoMemory;
    case StatusUnsupported:
      return kStopUnsupported;
    default:
      return kStopOutOfRange;  // out of range, too many, a bad constraint
  }
}

// Appends `text` to the path being built, cutting it (NUL-terminated) at the end of the buffer.
void Append(char* path, size_t& length, const char* text) {
  while (*text != '\0' && length + 1 < kReportPathSize) path[length++] = *text++;
  path[length] = '\0';
}

// `rootName` and the frames (innermost first, as the unwinding noted them).
void FormatPath(char* path, const char* rootName, const DecodeNotes& notes) {
  size_t length = 0;
  path[0] = '\0';
  Append(path, length, rootName);
  const uint32_t kept = notes.depth < kMaxStopFrames ? notes.depth : kMaxStopFrames;
  for (uint32_t i = kept; i-- > 0;) {
    const StopFrame& frame = notes.frames[i];
    if (frame.member == kStopBeforeMembers) continue;
    if (frame.name != nullptr) {
      Append(path, length, ".");
      Append(path, length, frame.name);
    } else {
      char index[16];
      (void)std::snprintf(index, sizeof index, "[%" PRIu32 "]", frame.member);
      Append(path, length, index);
    }
  }
}

void SetNote(DecodeNote& note, int kind, uint64_t bit, const char* rootName,
             const DecodeNotes* frames) {
  note.kind = kind;
  note.bit = bit;
  if (frames != nullptr) {
    FormatPath(note.path, rootName, *frames);
  } else {
    size_t length = 0;
    note.path[0] = '\0';
    Append(note.path, length, rootName);
  }
}

// Decodes the SIB again, stopping at warning `number` (from 1), so that the
// unwinding notes the warning's path. Kept out of line: it needs a record of its own.
__attribute__((noinline)) void TraceWarning(DecodeNote& note, const SibDispatchRow& row,
                                            uint32_t number, const uint8_t* sib, uint32_t sibSize,
                                            bool release7, RecordArena* arena) {
  alignas(std::max_align_t) unsigned char record[kMaxSibRecordSize];
  DecodeNotes trace;
  ResetDecodeNotes(&trace);
  trace.traceWarning = number;
  PerContext ctx;
  InitPerContext(&ctx, sib, sibSize, nullptr);  // no summary feed: the first run filled it
  ctx.arena = arena;
  ctx.notes = &trace;
  ctx.release7 = release7;
  row.init(record);
  if (row.decode(&ctx, record) == StatusTraceStop)
    SetNote(note, note.kind, note.bit, row.name, &trace);
}

void AddWarning(DecodeReport& report, int kind, uint64_t bit, const char* rootName) {
  if (report.warningCount < kReportWarnings) {
    SetNote(report.warnings[report.warningCount], kind, bit, rootName, nullptr);
  }
  ++report.warningCount;
}

}  // namespace

void ResetReport(DecodeReport& report) {
  report.sibType = 0;
  report.decoded = 0;
  report.complete = 0;
  report.endBit = 0;
  report.stop.kind = kStopNone;
  report.stop.bit = 0;
  report.stop.path[0] = '\0';
  report.warningCount = 0;
}

namespace {

void CopyNote(const DecodeNote& from, DecodeNote* to) {
  to->kind = from.kind;
  to->bit = from.bit;
  const void* end = std::memchr(from.path, '\0', sizeof from.path - 1);
  const size_t length = end != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(end) - from.path)
                            : sizeof from.path - 1;
  std::memcpy(to->path, from.path, length);
  to->path[length] = '\0';
}

}  // namespace

void CopyDecodeReport(const DecodeReport& from, DecodeReport* to) {
  std::memcpy(to, &from, offsetof(DecodeReport, stop));
  CopyNote(from.stop, &to->stop);
  const unsigned int kept =
      from.warningCount < kReportWarnings ? from.warningCount : kReportWarnings;
  for (unsigned int i = 0; i < kept; ++i) CopyNote(from.warnings[i], &to->warnings[i]);
}

void FillReport(DecodeReport& report, const SibDispatchRow& row, uint32_t sibType, int status,
                const DecodeNotes& notes, const uint8_t* sib, uint32_t sibSize, bool release7,
                bool warningPaths, RecordArena* arena) {
  report.sibType = sibType;
  report.decoded = 1;
  report.complete = status == StatusOk ? 1 : 0;
  if (status != StatusOk) SetNote(report.stop, StopKindOf(status), notes.stopBit, row.name, &notes);
  for (uint32_t i = 0; i < notes.warningCount; ++i) {
    if (i < kMaxKeptWarnings && i < kReportWarnings) {
      const WarningSite& site = notes.warnings[i];
      AddWarning(report, static_cast<int>(site.kind), site.bit, row.name);
      if (warningPaths) TraceWarning(report.warnings[i], row, i + 1, sib, sibSize, release7, arena);
    } else {
      ++report.warningCount;
    }
  }
}

void AddSibWarning(DecodeReport& report, const SibDispatchRow& row, DecodeWarning kind,
                   uint64_t bit) {
  AddWarning(report, kind, bit, row.name);
}

void NoteBitsLeftOver(DecodeReport& report, const SibDispatchRow& row, const uint8_t* sib,
                      uint32_t sibSize, uint64_t position) {
  const uint64_t first = position / 8;
  if (first >= sibSize) return;
  // The rest of the byte the decoder ended in, then whole bytes.
  bool leftOver = (sib[first] & (0xFFu >> (position % 8))) != 0;
  for (uint64_t i = first + 1; i < sibSize && !leftOver; ++i) leftOver = sib[i] != 0;
  if (leftOver) AddWarning(report, kWarnBitsLeftOver, position, row.name);
}

uint32_t OutermostFirst(const DecodeNotes& notes, StopFrame* frames) {
  const uint32_t kept = notes.depth < kMaxStopFrames ? notes.depth : kMaxStopFrames;
  for (uint32_t i = 0; i < kept; ++i) frames[i] = notes.frames[kept - 1 - i];
  return kept;
}

const char* DecodeStopText(int kind) {
  switch (kind) {
    case kStopEndOfData:
      return "end of data";
    case kStopOutOfRange:
      return "value out of range";
    case kStopUnsupported:
      return "unsupported";
    case kStopNoMemory:
      return "no memory";
    case kStopTypeNotKnown:
      return "extension type not yet known";
    default:
      return "complete";
  }
}

namespace {

// Appends as far as the buffer reaches (one byte kept for the NUL), counting
// the whole line.
struct LineWriter {
  char* text;
  size_t capacity;
  size_t length;

  void Add(const char* piece) {
    const size_t size = std::strlen(piece);
    if (length + 1 < capacity) {
      const size_t room = capacity - 1 - length;
      std::memcpy(text + length, piece, size < room ? size : room);
    }
    length += size;
  }
  void AddNumber(uint64_t number) {
    char digits[24];
    (void)std::snprintf(digits, sizeof digits, "%" PRIu64, number);
    Add(digits);
  }
  // "at bit N in PATH: WHAT", the path below the SIB type (the type itself for the whole SIB).
  void AddNote(const DecodeNote& note, const char* what) {
    const char* dot = std::strchr(note.path, '.');
    Add("at bit ");
    AddNumber(note.bit);
    Add(" in ");
    Add(dot != nullptr ? dot + 1 : note.path);
    Add(": ");
    Add(what);
  }
};

}  // namespace

size_t DescribeDecodeReport(const DecodeReport* report, char* text, size_t capacity) {
  LineWriter line{text, text != nullptr ? capacity : 0, 0};
  if (report != nullptr && report->decoded != 0) {
    if (report->complete == 0) {
      line.Add("stopped ");
      line.AddNote(report->stop, DecodeStopText(report->stop.kind));
    }
    const unsigned int kept =
        report->warningCount < kReportWarnings ? report->warningCount : kReportWarnings;
    for (unsigned int i = 0; i < kept; ++i) {
      line.Add(i > 0 || report->complete == 0 ? "; warning " : "warning ");
      line.AddNote(report->warnings[i], DecodeWarningText(report->warnings[i].kind));
    }
    if (report->warningCount > kept) {
      line.Add("; ");
      line.AddNumber(report->warningCount - kept);
      line.Add(" more warnings");
    }
  }
  if (line.capacity > 0) {
    text[line.length < line.capacity ? line.length : line.capacity - 1] = '\0';
  }
  return line.length;
}

const char* DecodeWarningText(int kind) {
  switch (kind) {
    case kWarnListAboveSize:
      return "list above its SIZE bound";
    case kWarnBitsLeftOver:
      return "bits left over";
    case kWarnSegmentGap:
      return "segment gap";
    case kWarnLaterRelease:
      return "later-release extension not decoded at Release 7";
    default:
      return "warning";
  }
}

namespace {

int WriteJsonNote(TextCursor& cursor, const char* label, const char* text, const DecodeNote& note) {
  char bit[32];
  (void)std::snprintf(bit, sizeof bit, "%" PRIu64, note.bit);
  PRINT_TRY(WriteText(cursor, "{\""));
  PRINT_TRY(WriteText(cursor, label));
  PRINT_TRY(WriteText(cursor, "\":\""));
  PRINT_TRY(WriteText(cursor, text));
  PRINT_TRY(WriteText(cursor, "\",\"bit\":"));
  PRINT_TRY(WriteText(cursor, bit));
  PRINT_TRY(WriteText(cursor, ",\"path\":\""));
  PRINT_TRY(WriteText(cursor, note.path));  // names and [index]: nothing to escape
  return WriteText(cursor, "\"}");
}

}  // namespace

int WriteJsonReport(TextCursor& cursor, const DecodeReport& report) {
  if (cursor.failed) return -1;
  // Back over the closing brace; an empty object takes no comma.
  --cursor.pos;
  ++cursor.remaining;
  if (cursor.pos[-1] != '{') PRINT_TRY(WriteText(cursor, ","));
  if (report.complete == 0) {
    PRINT_TRY(WriteText(cursor, "\"complete\":false,\"stop\":"));
    PRINT_TRY(WriteJsonNote(cursor, "reason", DecodeStopText(report.stop.kind), report.stop));
    PRINT_TRY(WriteText(cursor, ","));
  }
  PRINT_TRY(WriteText(cursor, "\"warnings\":["));
  const unsigned kept =
      report.warningCount < kReportWarnings ? report.warningCount : kReportWarnings;
  for (unsigned i = 0; i < kept; ++i) {
    if (i > 0) PRINT_TRY(WriteText(cursor, ","));
    PRINT_TRY(WriteJsonNote(cursor, "warning", DecodeWarningText(report.warnings[i].kind),
                            report.warnings[i]));
  }
  return WriteText(cursor, "]}");
}

}  // namespace sibdecode
