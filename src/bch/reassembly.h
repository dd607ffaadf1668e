// Picks one SIB from the queued segments, checks that they plausibly complete
// it, joins their bits and packs them into bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bch/segment.h"

namespace sibdecode {

// Packs bits (one char 0/1 each) most significant bit first; the last byte is
// padded with zero bits.
std::vector<uint8_t> PackBits(const std::string& bits);

// Returns false when nothing can be reassembled. Always leaves `queue` empty.
bool Reassemble(SegmentQueue& queue, uint32_t* sibType, std::vector<uint8_t>* packed);

}  // namespace sibdecode
