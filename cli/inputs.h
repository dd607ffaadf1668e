// Inputs of the sibdecode tool. Each reads one opened file, decodes what it
// holds, reports problems one per line on standard error and returns an Exit.
#pragma once

#include <sibdecode/sibdecode.h>

#include <cstdio>
#include <string>
#include <vector>

#include "options.h"

namespace cli {

// What decoding keeps from one batch to the next.
struct BatchDecoder {
  sibdecode::DecoderState* state = nullptr;
  std::vector<char> text;  // grown to the longest text so far, never shrunk
};

// Decodes one batch of BCH blocks (or, with --sib, one bare SIB) and writes the
// outcome; `where` names the batch in notes.
void DecodeAndWriteBatch(const Options& options, BatchDecoder& decoder, const std::string& where,
                         const std::vector<unsigned char>& bytes);

// Hex text, one batch per line.
int ReadHex(std::FILE* file, const std::string& name, const Options& options,
            BatchDecoder& decoder);

// The whole file is one batch of raw bytes.
int ReadBinary(std::FILE* file, const std::string& name, const Options& options,
               BatchDecoder& decoder);

// True when the bytes start with a pcap or pcapng magic number.
bool IsCaptureMagic(const unsigned char* head, size_t size);

// A pcap or pcapng file, read through libpcap.
int ReadCapture(const std::string& path, const Options& options);

}  // namespace cli
