// Raw binary input: the whole file is one batch.
#include <cstdio>

#include "inputs.h"

namespace cli {

int ReadBinary(std::FILE* file, const std::string& name, const Options& options,
               BatchDecoder& decoder) {
  std::vector<unsigned char> bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + n);
  if (std::ferror(file)) {
    std::fprintf(stderr, "%s: read error\n", name.c_str());
    return kExitIo;
  }
  DecodeAndWriteBatch(options, decoder, name, bytes);
  return kExitOk;
}

}  // namespace cli
