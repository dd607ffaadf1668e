// The shapes of decoded values that the generated records are built from.
#pragma once

#include <cstdint>

namespace sibdecode {

template <uint32_t Bytes>
struct BitStringValue {
  uint32_t bitCount;
  uint8_t bytes[Bytes];
};

template <uint32_t Bytes>
struct OctetStringValue {
  uint32_t count;
  uint8_t bytes[Bytes];
};

// A decoded CHOICE: tag = alternative index + 1 (0 = not decoded). INTEGER and
// ENUMERATED alternatives live in `value`; every other alternative is a record
// of the decode's arena.
struct ChoiceValue {
  uint32_t tag;
  union {
    uint32_t value;
    int32_t signedValue;
    void* ptr;
  };
};

// The record of alternative `tag` (a Type_Tag constant of the generated
// records), or null when the CHOICE holds another alternative or none.
template <typename Record>
const Record* ChoiceRecord(const ChoiceValue& choice, uint32_t tag) {
  return choice.tag == tag ? static_cast<const Record*>(choice.ptr) : nullptr;
}

// A SEQUENCE OF records: `count` elements decoded, in one array of the
// decode's arena (sized by the list's length, read before its elements).
template <typename Item>
struct ValueList {
  uint32_t count;
  Item* items;
};

template <typename Item, uint32_t Upper>
struct FixedArray {
  uint32_t count;
  Item items[Upper];
};

}  // namespace sibdecode
