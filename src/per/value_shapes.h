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
// ENUMERATED alternatives live in `value`; every other alternative is a heap record.
struct ChoiceValue {
  uint32_t tag;
  union {
    uint32_t value;
    int32_t signedValue;
    void* ptr;
  };
};

struct ListNode {
  void* data;
  ListNode* next;
  ListNode* prev;
};

struct ValueList {
  uint32_t count;
  ListNode* head;
  ListNode* tail;
};

template <typename Item, uint32_t Upper>
struct FixedArray {
  uint32_t count;
  Item items[Upper];
};

}  // namespace sibdecode
