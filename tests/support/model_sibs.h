// The model-drawn SIB samples of tests/data/model_sibs.txt (written by
// tests/support/make_model_sibs.py): per decoded type, the bare SIB and the
// same SIB framed into BCH blocks.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace sibtest {

struct ModelSib {
  unsigned int sibType = 0;
  std::vector<uint8_t> bare;
  std::vector<uint8_t> batch;
};

inline std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Empty when the file cannot be read.
inline std::vector<ModelSib> LoadModelSibs(const std::string& path) {
  std::vector<ModelSib> samples;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    ModelSib sample;
    std::string bare;
    std::string batch;
    if (fields >> sample.sibType >> bare >> batch) {
      sample.bare = FromHex(bare);
      sample.batch = FromHex(batch);
      samples.push_back(sample);
    }
  }
  return samples;
}

}  // namespace sibtest
