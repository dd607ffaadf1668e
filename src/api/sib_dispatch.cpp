#include "api/sib_dispatch.h"

namespace sibdecode {

namespace {

constexpr uint32_t kSibTypeCount = 32;

// Indexed by the SIB-Type value; a null row means the type is not decoded.
const SibDispatchRow* const kSibDispatchTable[kSibTypeCount] = {
    nullptr,  // 0 master information block
    nullptr,  // 1
    nullptr,  // 2
    nullptr,  // 3
    nullptr,  // 4
    nullptr,  // 5
    nullptr,  // 6
    nullptr,  // 7
    nullptr,  // 8
    nullptr,  // 9
    nullptr,  // 10
    nullptr,  // 11
    nullptr,  // 12
    nullptr,  // 13
    nullptr,  // 14
    nullptr,  // 15
    nullptr,  // 16
    nullptr,  // 17
    nullptr,  // 18
    nullptr,  // 19
    nullptr,  // 20
    nullptr,  // 21
    nullptr,  // 22
    nullptr,  // 23
    nullptr,  // 24
    nullptr,  // 25
    nullptr,  // 26
    nullptr,  // 27
    nullptr,  // 28
    nullptr,  // 29
    nullptr,  // 30
    nullptr,  // 31
};

}  // namespace

const SibDispatchRow* FindSibRow(uint32_t sibType) {
  return sibType < kSibTypeCount ? kSibDispatchTable[sibType] : nullptr;
}

}  // namespace sibdecode
