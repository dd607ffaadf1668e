// The legacy entry point's process-wide decoder state behind RRCParserX, built
// when the library is loaded and torn down when it is unloaded.
#pragma once

namespace sibdecode {

// Creates the process-wide state; a second call while it exists does nothing.
// Never throws: when the heap is exhausted the state stays absent, and the next
// call tries again.
void ConstructProcessState();

// Destroys the process-wide state; a second call does nothing.
void DestroyProcessState();

}  // namespace sibdecode
