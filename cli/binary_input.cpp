// Raw binary input: the whole file is one batch.
#include <cstring>

#include "inputs.h"
#include "output.h"

namespace cli {

int ReadBinary(InputFile& input, const std::string& name, const Options& options,
               BatchDecoder& decoder) {
  while (FillInput(&input)) {
  }
  if (input.noMemory) {
    Note("%s: out of memory\n", name.c_str());
    return kExitIo;
  }
  if (input.failed) {
    Note("%s: read error: %s\n", name.c_str(), std::strerror(input.error));
    return kExitIo;
  }
  return DecodeAndWriteBatch(options, decoder, BatchSource{&name, 0},
                             reinterpret_cast<const unsigned char*>(input.data + input.begin),
                             input.end - input.begin);
}

}  // namespace cli
