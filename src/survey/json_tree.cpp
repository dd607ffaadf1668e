#include "survey/json_tree.h"

#include <cstring>

namespace sibdecode {

const JsonNode* JsonNode::Member(const char* name) const {
  if (kind != kObject) return nullptr;
  for (const auto& member : members) {
    if (member.first == name) return &member.second;
  }
  return nullptr;
}

const JsonNode* JsonNode::Find(const char* name) const {
  if (kind == kObject) {
    for (const auto& member : members) {
      if (member.first == name) return &member.second;
      if (const JsonNode* found = member.second.Find(name)) return found;
    }
  } else if (kind == kArray) {
    for (const JsonNode& item : items) {
      if (const JsonNode* found = item.Find(name)) return found;
    }
  }
  return nullptr;
}

namespace {

struct JsonCursor {
  const char* at;
  const char* end;

  void SkipSpace() {
    while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r')) ++at;
  }
  bool Take(char c) {
    SkipSpace();
    if (at < end && *at == c) {
      ++at;
      return true;
    }
    return false;
  }
  bool TakeWord(const char* word) {
    const size_t n = std::strlen(word);
    if (static_cast<size_t>(end - at) < n || std::memcmp(at, word, n) != 0) return false;
    at += n;
    return true;
  }
};

void AppendUtf8(std::string* out, unsigned int code) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool ReadString(JsonCursor& cursor, std::string* out) {
  if (!cursor.Take('"')) return false;
  while (cursor.at < cursor.end) {
    const char c = *cursor.at++;
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out->push_back(c);
      continue;
    }
    if (cursor.at >= cursor.end) return false;
    const char escaped = *cursor.at++;
    switch (escaped) {
      case '"':
      case '\\':
      case '/':
        out->push_back(escaped);
        break;
      case 'b':
        out->push_back('\b');
        break;
      case 'f':
        out->push_back('\f');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      case 't':
        out->push_back('\t');
        break;
      case 'u': {
        if (cursor.end - cursor.at < 4) return false;
        unsigned int code = 0;
        for (int i = 0; i < 4; ++i) {
          const int digit = HexDigit(*cursor.at++);
          if (digit < 0) return false;
          code = code * 16 + static_cast<unsigned int>(digit);
        }
        AppendUtf8(out, code);  // a lone surrogate half is kept as it is
        break;
      }
      default:
        return false;
    }
  }
  return false;
}

bool ReadNumber(JsonCursor& cursor, JsonNode* out) {
  const char* start = cursor.at;
  bool negative = false;
  if (cursor.at < cursor.end && *cursor.at == '-') {
    negative = true;
    ++cursor.at;
  }
  if (cursor.at >= cursor.end || *cursor.at < '0' || *cursor.at > '9') return false;
  uint64_t magnitude = 0;
  bool fits = true;
  while (cursor.at < cursor.end && *cursor.at >= '0' && *cursor.at <= '9') {
    const unsigned digit = static_cast<unsigned>(*cursor.at++ - '0');
    if (magnitude > (UINT64_MAX - digit) / 10) fits = false;
    if (fits) magnitude = magnitude * 10 + digit;
  }
  bool fraction = false;
  while (cursor.at < cursor.end &&
         (*cursor.at == '.' || *cursor.at == 'e' || *cursor.at == 'E' || *cursor.at == '+' ||
          *cursor.at == '-' || (*cursor.at >= '0' && *cursor.at <= '9'))) {
    fraction = true;
    ++cursor.at;
  }
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  if (fraction || !fits || magnitude > limit || cursor.at == start) {
    out->kind = JsonNode::kOtherNumber;
    return true;
  }
  out->kind = JsonNode::kInteger;
  out->integer = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

bool ReadValue(JsonCursor& cursor, JsonNode* out, int depth) {
  if (depth > kMaxJsonDepth) return false;
  cursor.SkipSpace();
  if (cursor.at >= cursor.end) return false;
  switch (*cursor.at) {
    case '{': {
      ++cursor.at;
      out->kind = JsonNode::kObject;
      if (cursor.Take('}')) return true;
      do {
        out->members.emplace_back();
        if (!ReadString(cursor, &out->members.back().first) || !cursor.Take(':') ||
            !ReadValue(cursor, &out->members.back().second, depth + 1)) {
          return false;
        }
      } while (cursor.Take(','));
      return cursor.Take('}');
    }
    case '[': {
      ++cursor.at;
      out->kind = JsonNode::kArray;
      if (cursor.Take(']')) return true;
      do {
        out->items.emplace_back();
        if (!ReadValue(cursor, &out->items.back(), depth + 1)) return false;
      } while (cursor.Take(','));
      return cursor.Take(']');
    }
    case '"':
      out->kind = JsonNode::kString;
      return ReadString(cursor, &out->text);
    case 't':
      out->kind = JsonNode::kBool;
      out->boolean = true;
      return cursor.TakeWord("true");
    case 'f':
      out->kind = JsonNode::kBool;
      return cursor.TakeWord("false");
    case 'n':
      return cursor.TakeWord("null");
    default:
      return ReadNumber(cursor, out);
  }
}

}  // namespace

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ReadJson(const char* text, size_t len, JsonNode* out) {
  *out = JsonNode();
  if (text == nullptr) return false;
  JsonCursor cursor{text, text + len};
  if (!ReadValue(cursor, out, 0)) return false;
  cursor.SkipSpace();
  return cursor.at == cursor.end;
}

}  // namespace sibdecode
