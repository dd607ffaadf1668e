// The members of every decoded SIB type as the text names them, for tests
// that check a decode report's paths. Generated with the codec
// (tests/support/generated/member_steps.cpp); not in the shipped library.
#pragma once

#include <cstdint>

namespace sibdecode {

// A member's printed name (null: a list's elements) and its type's index in
// kTypeSteps (-1: a simple value) ...
struct MemberStep {
  const char* name;
  int type;
};
// ... and each type's members, kMemberSteps[first] to kMemberSteps[first + count - 1].
struct TypeSteps {
  uint32_t first;
  uint32_t count;
};
extern const MemberStep kMemberSteps[];
extern const TypeSteps kTypeSteps[];
// Per SIB type number, its type's index in kTypeSteps (-1: no decoder).
extern const int kRootSteps[];

// True when `path` is the type's name followed by members (".name", as the
// text prints them) and list elements ("[index]") the type has: what a
// decode report's paths must be.
bool IsMemberPath(uint32_t sibType, const char* path);

}  // namespace sibdecode
