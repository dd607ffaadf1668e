// Reads the input files the benchmarks and the comparison of builds share
// (tests/bench/make_inputs.py): one hex encoding per line.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace sibtest {

// The non-empty lines of `path` as bytes (two hex digits each); none when the
// file cannot be read.
inline std::vector<std::vector<unsigned char>> ReadHexLines(const std::string& path) {
  std::vector<std::vector<unsigned char>> lines;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
      bytes.push_back(static_cast<unsigned char>(std::stoi(line.substr(i, 2), nullptr, 16)));
    }
    if (!bytes.empty()) lines.push_back(bytes);
  }
  return lines;
}

}  // namespace sibtest
