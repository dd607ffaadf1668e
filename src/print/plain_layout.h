// The plain layout of a SIB's text, for people: RRCParserX's text relaid so
// that a line's depth is its nesting and nothing else.
#pragma once

#include <cstddef>

namespace sibdecode {

// Writes `text` (RRCParserX's layout, "\r\n" or "\n" line ends) relaid to `out`:
// every line ends in "\n", stands 4 spaces per "{" line open around it ("{"
// and "}" at the depth of the block's name), and empty lines stay empty.
// Returns the bytes of the whole relaid text; only when that is at most
// `capacity` is all of it written (`out` may be null to ask for the size).
// `out` may be `text` when no line stands deeper than it did (lines at depth 0).
size_t RelayPlainText(const char* text, size_t length, char* out, size_t capacity);

}  // namespace sibdecode
