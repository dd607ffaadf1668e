// Outputs of the sibdecode tool. Standard output is collected in one large
// buffer and written with write(2) when it fills up (after every record when
// standard output is a terminal); the library decodes texts straight into it.
// Notes and errors go unbuffered to standard error.
#pragma once

#include <sibdecode/sibdecode.h>

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

// A record (a SIB's text, its summary) is complete: on a terminal it is shown now.
void OutEndRecord();

// Writes what is buffered. Returns false when any write of the output failed.
bool OutFinish();

// One line on standard error. On a terminal, or when standard error goes to
// the same file as standard output, what standard output holds comes first.
void Note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The library's text byte for byte, then "\r\n".
void WriteSibText(const char* text, size_t textLen);

// The summary record in readable form.
void WriteSummary(const tagSystemInformationBlock& out);

}  // namespace cli
