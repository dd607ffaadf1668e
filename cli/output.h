// Outputs of the sibdecode tool. Standard output is collected in one large
// buffer and written with write(2) when it fills up (after every record when
// standard output is a terminal); the library decodes texts straight into it.
// Notes and errors go unbuffered to standard error.
#pragma once

#include <sibdecode/sibdecode.h>
#include <sys/time.h>

#include <cstddef>

namespace cli {

// At least `size` free bytes at the end of the output, to be filled and then
// committed with OutCommit; nullptr when the buffer cannot grow that large.
char* OutReserve(size_t size);
void OutCommit(size_t size);

void OutAppend(const char* data, size_t size);
void OutUnsigned(unsigned long long value);
void OutSigned(long long value);
template <size_t N>
void OutLiteral(const char (&text)[N]) {
  OutAppend(text, N - 1);
}

// A number of the summary record, or `absent` ("absent", "null") where the
// message did not hold it (kAbsentValue) or, for a cell identity, where the
// SIB type gives none.
void OutRecordValue(int value, const char* absent);
void OutCellIdentity(bool given, unsigned int identity, const char* absent);

// The time as 2026-01-15T09:00:00.040000Z (UTC); returns the characters written.
size_t OutUtcTime(const struct timeval& time);

// A record (a SIB's text, its summary) is complete: on a terminal, or after
// OutFlushEachRecord, it is written now.
void OutEndRecord();
void OutFlushEachRecord();

// Writes what is buffered. Returns false when any write of the output failed
// (not when the reader closed it).
bool OutFinish();

// The reader of standard output closed it (`| head`): nothing more is written
// and the input need not be read further.
bool OutputClosed();

// Progress of a long input on standard error, when that is a terminal: one
// line (share read, SIBs decoded, rate) redrawn at most a few times a second
// and cleared before anything else is written to the terminal. Inputs of a few
// megabytes or less show none.
void ProgressStart(const char* name, unsigned long long totalBytes);
void ProgressUpdate(unsigned long long bytesRead, unsigned long long sibs);
void ProgressEnd();

// A status line on standard error: on a terminal redrawn in place (and
// cleared before anything else is written to it), otherwise one line each.
void StatusLine(const char* text, bool terminal);

// One line on standard error. On a terminal, or when standard error goes to
// the same file as standard output, what standard output holds comes first.
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The library's text byte for byte, then the layout's line end ("\r\n" for
// RRCParserX's text, `crlf`; "\n" for the plain layout).
void WriteSibText(const char* text, size_t textLen, bool crlf);

// The summary record of a SIB of the given type in readable form: "absent"
// for a value the message did not hold, and for the cell identity of a SIB
// other than SIB3 (sib3) or SIB4 (sib4).
void WriteSummary(const tagSystemInformationBlock& out, unsigned int sibType);

}  // namespace cli
