// Raw binary input: the whole file is one batch.
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
    Note("%s: read error\n", name.c_str());
    return kExitIo;
  }
  DecodeAndWriteBatch(options, decoder, BatchSource{&name, 0},
                      reinterpret_cast<const unsigned char*>(input.data + input.begin),
                      input.end - input.begin);
  return kExitOk;
}

}  // namespace cli
