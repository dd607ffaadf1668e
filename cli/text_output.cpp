#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "output.h"

namespace cli {

namespace {

// Large enough for a few of the longest texts between two writes.
constexpr size_t kInitialCapacity = size_t{512} * 1024;

struct OutputBuffer {
  char* data = nullptr;
  size_t size = 0;
  size_t capacity = 0;
  bool failed = false;  // a write of standard output failed
  int terminal = -1;    // standard output is a terminal; -1 until asked
  int inOrder = -1;     // notes keep their place among the texts; -1 until asked
};

OutputBuffer output;

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
  WriteAll(output.data, output.size);
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
    WriteAll(data, size);
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

void OutSigned(long long value) {
  if (value < 0) {
    OutLiteral("-");
    OutUnsigned(0 - static_cast<unsigned long long>(value));
  } else {
    OutUnsigned(static_cast<unsigned long long>(value));
  }
}

void OutEndRecord() {
  if (IsTerminal()) Flush();
}

bool OutFinish() {
  Flush();
  return !output.failed;
}

void Note(const char* format, ...) {  // NOLINT(cert-dcl50-cpp): checked as printf formats
  if (output.size != 0 && KeepNotesInOrder()) Flush();
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
}

void WriteSibText(const char* text, size_t textLen) {
  OutAppend(text, textLen);
  OutLiteral("\r\n");
}

}  // namespace cli
