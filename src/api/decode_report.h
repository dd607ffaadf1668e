// The decode report: what a decode's notes (per/decode_notes.h) become for
// the caller, and the JSON that ends a stopped SIB's object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/sib_dispatch.h"
#include "per/per.h"
#include "print/emitter.h"
#include "sibdecode/sibdecode.h"

namespace sibdecode {

// Nothing decoded yet: not decoded, not complete, no stop, no warnings.
void ResetReport(DecodeReport& report);

// Copies what a report holds (its members, the stop and the kept warnings, each
// path up to its end), not the whole struct's room for paths.
void CopyDecodeReport(const DecodeReport& from, DecodeReport* to);

// The report of one decode of `row`'s type that ended with `status` and left
// `notes`. Warnings the decoder noted get their paths from tracing runs (a
// decode that stops at the warning, at the same release), in `arena`.
void FillReport(DecodeReport& report, const SibDispatchRow& row, uint32_t sibType, int status,
                const DecodeNotes& notes, const uint8_t* sib, uint32_t sibSize, bool release7,
                bool warningPaths, RecordArena* arena);

// Adds a warning at `bit` whose path is the SIB type itself.
void AddSibWarning(DecodeReport& report, const SibDispatchRow& row, DecodeWarning kind,
                   uint64_t bit);

// Notes a warning when a bit after `position` in the SIB's bytes is 1.
void NoteBitsLeftOver(DecodeReport& report, const SibDispatchRow& row, const uint8_t* sib,
                      uint32_t sibSize, uint64_t position);

// The stop path outermost first, for the JSON printers; returns its length.
uint32_t OutermostFirst(const DecodeNotes& notes, StopFrame* frames);

// Replaces the closing "}" of the object just written with the report's
// members and a new "}": "complete": false, "stop" and "warnings" for a decode
// that stopped; "warnings" for a complete one.
int WriteJsonReport(TextCursor& cursor, const DecodeReport& report);

}  // namespace sibdecode
