// Outputs of the sibdecode tool: the library's text and the summary record.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstddef>

namespace cli {

// The text byte for byte as the library returns it, then "\r\n".
void WriteSibText(const char* text, size_t textLen);

// The summary record in readable form.
void WriteSummary(const tagSystemInformationBlock& out);

}  // namespace cli
