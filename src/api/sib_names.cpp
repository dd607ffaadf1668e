// SIB type names as people and the tool's options write them. The names
// themselves are generated with the dispatch table (SibTypeName).
#include <cstddef>
#include <cstdlib>

#include "sibdecode/sibdecode.h"

namespace sibdecode {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `name` equals `candidate` without case, or `candidate` without its "SIB" prefix.
bool NameMatches(const char* name, const char* candidate) {
  auto equal = [](const char* a, const char* b) {
    while (*a != '\0' && *b != '\0' && Lower(*a) == Lower(*b)) {
      ++a;
      ++b;
    }
    return *a == '\0' && *b == '\0';
  };
  if (equal(name, candidate)) return true;
  const bool sibPrefix = candidate[0] == 'S' && candidate[1] == 'I' && candidate[2] == 'B';
  return sibPrefix && candidate[3] >= '0' && candidate[3] <= '9' && equal(name, candidate + 3);
}

}  // namespace

int SibTypeFromName(const char* name, unsigned int* sibType) {
  if (name == nullptr || sibType == nullptr || *name == '\0') return 0;
  for (unsigned int type = 0; type < kSibTypeNumbers; ++type) {
    const char* candidate = SibTypeName(type);
    if (candidate[0] != '?' && NameMatches(name, candidate)) {
      *sibType = type;
      return 1;
    }
  }
  // A SIB-Type index: the numbers no SIB is named by (0, 21..31).
  char* end = nullptr;
  const unsigned long index = std::strtoul(name, &end, 10);
  if (name[0] < '0' || name[0] > '9' || *end != '\0' || index > kSibTypeExtension) return 0;
  *sibType = static_cast<unsigned int>(index);
  return 1;
}

}  // namespace sibdecode
