// What the Linux library and sibdecode.dll must agree on: the batches of a hex
// capture, and per batch the outcome of RRCParserX and of DecodeBatch (result,
// text length, text bytes, the 1044-byte summary record, whether the text
// buffer beyond the text was left alone). The Linux side writes the outcomes
// to a file; the Windows test computes its own and compares batch by batch.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sibdecode/sibdecode.h"

namespace dlltest {

struct Batch {
  int line = 0;  // line number in the capture
  std::vector<unsigned char> bytes;
};

// Hex text as the CLI reads it: one batch per line, spaces allowed, '#' starts a
// comment, blank lines skipped. Returns false with a message on malformed input.
inline bool ReadHexBatches(const char* path, std::vector<Batch>* batches, std::string* error) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) {
    *error = std::string("cannot open ") + path;
    return false;
  }
  std::string line;
  int lineNumber = 0;
  bool ok = true;
  for (int c = 0; ok && c != EOF;) {
    line.clear();
    while ((c = std::fgetc(f)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
    if (c == EOF && line.empty()) break;
    ++lineNumber;
    Batch batch;
    batch.line = lineNumber;
    int pending = -1;
    for (char ch : line) {
      if (ch == '#') break;
      if (ch == ' ' || ch == '\t' || ch == '\r') continue;
      int value = ch >= '0' && ch <= '9'   ? ch - '0'
                  : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                  : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                           : -1;
      if (value < 0) {
        *error = std::string(path) + ":" + std::to_string(lineNumber) + ": not hex";
        ok = false;
        break;
      }
      if (pending < 0) {
        pending = value;
      } else {
        batch.bytes.push_back(static_cast<unsigned char>(pending * 16 + value));
        pending = -1;
      }
    }
    if (ok && pending >= 0) {
      *error = std::string(path) + ":" + std::to_string(lineNumber) + ": odd number of digits";
      ok = false;
    }
    if (ok && !batch.bytes.empty()) batches->push_back(batch);
  }
  std::fclose(f);
  return ok;
}

// Marks in the caller's buffers before a call, to see what the call touched.
constexpr unsigned char kTextFill = 0xA5;
constexpr unsigned char kSummaryFill = 0x5A;
constexpr uint32_t kTextLenMark = 0xDEADBEEFu;

struct Outcome {
  int32_t result = 0;          // RRCParserX: 0/1; DecodeBatch: its status
  uint32_t textLen = 0;        // as left by the call (kTextLenMark when untouched)
  std::string text;            // the first textLen bytes of the buffer, when that many fit
  uint32_t touchedBeyond = 0;  // bytes after the text that differ from kTextFill
  unsigned char summary[sizeof(tagSystemInformationBlock)] = {};
};

// Fills the caller-side buffers with their marks.
inline void PrepareCall(std::vector<char>* text, tagSystemInformationBlock* out) {
  std::memset(text->data(), kTextFill, text->size());
  std::memset(static_cast<void*>(out), kSummaryFill, sizeof(*out));
}

// Records what a call left in the buffers.
inline void RecordCall(int32_t result, uint32_t textLen, const std::vector<char>& text,
                       const tagSystemInformationBlock& out, Outcome* outcome) {
  outcome->result = result;
  outcome->textLen = textLen;
  size_t kept = textLen <= text.size() ? textLen : 0;
  outcome->text.assign(text.data(), kept);
  outcome->touchedBeyond = 0;
  for (size_t i = kept; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) != kTextFill) ++outcome->touchedBeyond;
  }
  std::memcpy(outcome->summary, &out, sizeof(out));
}

// ---- results file: per batch, the RRCParserX outcome then the DecodeBatch outcome ----

inline void PutWord(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

inline bool GetWord(const std::string& in, size_t* pos, uint32_t* value) {
  if (in.size() - *pos < 4) return false;
  *value = 0;
  for (int i = 0; i < 4; ++i) {
    *value |= static_cast<uint32_t>(static_cast<unsigned char>(in[*pos + i])) << (8 * i);
  }
  *pos += 4;
  return true;
}

inline void PutOutcome(std::string* out, const Outcome& o) {
  PutWord(out, static_cast<uint32_t>(o.result));
  PutWord(out, o.textLen);
  PutWord(out, static_cast<uint32_t>(o.text.size()));
  out->append(o.text);
  PutWord(out, o.touchedBeyond);
  out->append(reinterpret_cast<const char*>(o.summary), sizeof(o.summary));
}

inline bool GetOutcome(const std::string& in, size_t* pos, Outcome* o) {
  uint32_t result = 0;
  uint32_t size = 0;
  if (!GetWord(in, pos, &result) || !GetWord(in, pos, &o->textLen) || !GetWord(in, pos, &size)) {
    return false;
  }
  o->result = static_cast<int32_t>(result);
  if (in.size() - *pos < size) return false;
  o->text.assign(in, *pos, size);
  *pos += size;
  if (!GetWord(in, pos, &o->touchedBeyond)) return false;
  if (in.size() - *pos < sizeof(o->summary)) return false;
  std::memcpy(o->summary, in.data() + *pos, sizeof(o->summary));
  *pos += sizeof(o->summary);
  return true;
}

// Describes the first difference between two outcomes; empty when they are equal.
inline std::string FirstDifference(const Outcome& expected, const Outcome& actual) {
  char message[160];
  if (expected.result != actual.result) {
    std::snprintf(message, sizeof message, "result %ld, expected %ld",
                  static_cast<long>(actual.result), static_cast<long>(expected.result));
    return message;
  }
  if (expected.textLen != actual.textLen) {
    std::snprintf(message, sizeof message, "textLen %lu, expected %lu",
                  static_cast<unsigned long>(actual.textLen),
                  static_cast<unsigned long>(expected.textLen));
    return message;
  }
  if (expected.text != actual.text) {
    size_t i = 0;
    while (i < expected.text.size() && i < actual.text.size() &&
           expected.text[i] == actual.text[i]) {
      ++i;
    }
    std::snprintf(message, sizeof message, "text differs from byte %lu",
                  static_cast<unsigned long>(i));
    return message;
  }
  if (expected.touchedBeyond != actual.touchedBeyond) {
    std::snprintf(message, sizeof message, "%lu bytes written beyond the text, expected %lu",
                  static_cast<unsigned long>(actual.touchedBeyond),
                  static_cast<unsigned long>(expected.touchedBeyond));
    return message;
  }
  for (size_t i = 0; i < sizeof(expected.summary); ++i) {
    if (expected.summary[i] != actual.summary[i]) {
      std::snprintf(message, sizeof message, "summary record differs at offset %lu",
                    static_cast<unsigned long>(i));
      return message;
    }
  }
  return std::string();
}

inline bool ReadFile(const char* path, std::string* contents) {
  std::FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return false;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) contents->append(buffer, n);
  std::fclose(f);
  return true;
}

inline bool WriteFile(const char* path, const std::string& contents) {
  std::FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  bool ok = std::fwrite(contents.data(), 1, contents.size(), f) == contents.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace dlltest
