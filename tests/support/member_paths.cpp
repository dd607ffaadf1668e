// IsMemberPath: the walk over the generated member tables (member_steps.cpp).
#include "support/member_paths.h"

#include <cstddef>
#include <cstring>

#include "api/sib_dispatch.h"

namespace sibdecode {

bool IsMemberPath(uint32_t sibType, const char* path) {
  const SibDispatchRow* row = FindSibRow(sibType);
  if (row == nullptr) return false;
  const size_t rootLength = std::strlen(row->name);
  if (std::strncmp(path, row->name, rootLength) != 0) return false;
  const char* at = path + rootLength;
  int type = kRootSteps[sibType];
  while (*at != '\0') {
    if (type < 0) return false;  // a step below a simple value
    const TypeSteps& steps = kTypeSteps[type];
    const MemberStep* step = nullptr;
    if (*at == '[') {
      const char* digits = ++at;
      while (*at >= '0' && *at <= '9') ++at;
      if (at == digits || *at != ']') return false;
      ++at;
      if (steps.count == 1 && kMemberSteps[steps.first].name == nullptr) {
        step = &kMemberSteps[steps.first];
      }
    } else if (*at == '.') {
      const char* name = ++at;
      while (*at != '\0' && *at != '.' && *at != '[') ++at;
      const size_t length = static_cast<size_t>(at - name);
      for (uint32_t i = 0; i < steps.count && step == nullptr; ++i) {
        const MemberStep& candidate = kMemberSteps[steps.first + i];
        if (candidate.name != nullptr && std::strlen(candidate.name) == length &&
            std::strncmp(candidate.name, name, length) == 0) {
          step = &candidate;
        }
      }
    }
    if (step == nullptr) return false;
    type = step->type;
  }
  return true;
}

}  // namespace sibdecode
