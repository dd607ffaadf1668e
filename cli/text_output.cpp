#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "output.h"

namespace cli {

namespace {

// Large enough for a few of the longest texts between two writes.
constexpr size_t kInitialCapacity = size_t{512} * 1024;

struct OutputBuffer {
  char* data = nullptr;
  size_t size = 0;
  size_t capacity = 0;
  bool failed = false;           // a write of standard output failed
  bool closed = false;           // the reader closed standard output: what comes is dropped
  bool flushEachRecord = false;  // live input: every record at once
  int terminal = -1;             // standard output is a terminal; -1 until asked
  int inOrder = -1;              // notes keep their place among the texts; -1 until asked
};

OutputBuffer output;

// The progress line on standard error.
struct Progress {
  bool active = false;
  bool drawn = false;
  const char* name = "";
  unsigned long long total = 0;
  struct timespec start = {};
  struct timespec lastDraw = {};
};

Progress progress;

// Inputs up to this size are read before a progress line would matter.
constexpr unsigned long long kProgressMinBytes = 4ull << 20;

double SecondsBetween(const struct timespec& from, const struct timespec& to) {
  return static_cast<double>(to.tv_sec - from.tv_sec) +
         static_cast<double>(to.tv_nsec - from.tv_nsec) / 1e9;
}

void ClearProgress() {
  if (!progress.drawn) return;
  std::fputs("\r\033[K", stderr);
  progress.drawn = false;
}

bool IsTerminal() {
  if (output.terminal < 0) output.terminal = isatty(STDOUT_FILENO) ? 1 : 0;
  return output.terminal == 1;
}

// On a terminal, or when standard error is the same file as standard output
// (2>&1), what standard output holds is written before a note.
bool KeepNotesInOrder() {
  if (output.inOrder < 0) {
    struct stat out;
    struct stat err;
    const bool sameFile = fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
                          out.st_dev == err.st_dev && out.st_ino == err.st_ino;
    output.inOrder = sameFile || IsTerminal() ? 1 : 0;
  }
  return output.inOrder == 1;
}

void WriteAll(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(STDOUT_FILENO, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EPIPE) {
      output.closed = true;
      return;
    }
    if (n <= 0) {
      output.failed = true;
      return;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
}

void Flush() {
  if (output.size == 0) return;
  if (IsTerminal()) ClearProgress();
  if (!output.closed) WriteAll(output.data, output.size);
  output.size = 0;
}

}  // namespace

char* OutReserve(size_t size) {
  if (output.capacity - output.size >= size) return output.data + output.size;
  Flush();
  if (output.capacity < size || output.data == nullptr) {
    size_t capacity = output.capacity < kInitialCapacity ? kInitialCapacity : output.capacity;
    while (capacity < size) capacity *= 2;
    char* grown = static_cast<char*>(std::realloc(output.data, capacity));
    if (grown == nullptr) return nullptr;
    output.data = grown;
    output.capacity = capacity;
  }
  return output.data;
}

void OutCommit(size_t size) { output.size += size; }

void OutAppend(const char* data, size_t size) {
  if (size == 0) return;
  char* end = OutReserve(size);
  if (end == nullptr) {  // too large to buffer: written as it is
    Flush();
    if (!output.closed) WriteAll(data, size);
    return;
  }
  std::memcpy(end, data, size);
  output.size += size;
}

void OutUnsigned(unsigned long long value) {
  char digits[20];
  size_t n = 0;
  do {
    digits[sizeof(digits) - ++n] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  OutAppend(digits + sizeof(digits) - n, n);
}

void OutRecordValue(int value, const char* absent) {
  if (value == kAbsentValue) {
    OutAppend(absent, std::strlen(absent));
  } else {
    OutSigned(value);
  }
}

void OutCellIdentity(bool given, unsigned int identity, const char* absent) {
  if (given) {
    OutUnsigned(identity);
  } else {
    OutAppend(absent, std::strlen(absent));
  }
}

void OutSigned(long long value) {
  if (value < 0) {
    OutLiteral("-");
    OutUnsigned(0 - static_cast<unsigned long long>(value));
  } else {
    OutUnsigned(static_cast<unsigned long long>(value));
  }
}

size_t OutUtcTime(const struct timeval& time) {
  std::time_t seconds = time.tv_sec;
  std::tm utc;
  char buffer[64];
  if (gmtime_r(&seconds, &utc) == nullptr) {
    OutLiteral("?");
    return 1;
  }
  size_t n = std::strftime(buffer, sizeof(buffer), "%Y-%m-%dT%H:%M:%S", &utc);
  n += static_cast<size_t>(
      std::snprintf(buffer + n, sizeof(buffer) - n, ".%06ldZ", static_cast<long>(time.tv_usec)));
  if (n >= sizeof(buffer)) n = sizeof(buffer) - 1;
  OutAppend(buffer, n);
  return n;
}

void OutEndRecord() {
  if (output.flushEachRecord || IsTerminal()) Flush();
}

void OutFlushEachRecord() { output.flushEachRecord = true; }

bool OutFinish() {
  Flush();
  return !output.failed;
}

bool OutputClosed() { return output.closed; }

void ProgressStart(const char* name, unsigned long long totalBytes) {
  progress = Progress();
  if (totalBytes <= kProgressMinBytes || !isatty(STDERR_FILENO)) return;
  progress.active = true;
  progress.name = name;
  progress.total = totalBytes;
  clock_gettime(CLOCK_MONOTONIC, &progress.start);
  progress.lastDraw = progress.start;
  progress.lastDraw.tv_sec -= 1;  // the first update draws
}

void ProgressUpdate(unsigned long long bytesRead, unsigned long long sibs) {
  if (!progress.active) return;
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (SecondsBetween(progress.lastDraw, now) < 0.2) return;
  progress.lastDraw = now;
  // What standard output holds for the terminal goes first, so the line stays last.
  if (output.size != 0 && IsTerminal()) Flush();
  const double seconds = SecondsBetween(progress.start, now);
  const double megabytes = static_cast<double>(bytesRead) / 1e6;
  const unsigned long long read = bytesRead < progress.total ? bytesRead : progress.total;
  std::fprintf(stderr, "\r%s: %llu%% of %.1f MB read, %llu SIBs, %.1f MB/s\033[K", progress.name,
               read * 100 / progress.total, static_cast<double>(progress.total) / 1e6, sibs,
               seconds > 0 ? megabytes / seconds : 0.0);
  progress.drawn = true;
}

void ProgressEnd() {
  ClearProgress();
  progress.active = false;
}

void StatusLine(const char* text, bool terminal) {
  if (!terminal) {
    Note("%s\n", text);
    return;
  }
  if (output.size != 0 && IsTerminal()) Flush();
  std::fprintf(stderr, "\r%s\033[K", text);
  progress.drawn = true;
}

void Note(const char* format, ...) {  // NOLINT(cert-dcl50-cpp): checked as printf formats
  if (output.size != 0 && KeepNotesInOrder()) Flush();
  ClearProgress();
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

void WriteSibText(const char* text, size_t textLen, bool crlf) {
  OutAppend(text, textLen);
  if (crlf) {
    OutLiteral("\r\n");
  } else {
    OutLiteral("\n");
  }
}

}  // namespace cli
