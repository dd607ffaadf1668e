// sibdecode: decodes BCH captures (hex text, raw binary, pcap/pcapng with
// GSMTAP) with libsibdecode and prints the text of every SIB.
#include <sibdecode/sibdecode.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "inputs.h"
#include "options.h"

namespace {

// Reads one named file or standard input with the input its options and its
// first bytes select.
int ReadOne(const std::string& path, const cli::Options& options, cli::BatchDecoder& decoder) {
  const bool isStdin = path == "-";
  std::FILE* file = isStdin ? stdin : std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), std::strerror(errno));
    return cli::kExitIo;
  }
  const std::string name = isStdin ? "<stdin>" : path;
  if (!isStdin && !options.binary && !options.bareSib) {
    unsigned char head[4] = {};
    const size_t got = std::fread(head, 1, sizeof(head), file);
    if (cli::IsCaptureMagic(head, got)) {
      std::fclose(file);
      return cli::ReadCapture(path, options);
    }
    std::rewind(file);
  }
  const int status = options.binary ? cli::ReadBinary(file, name, options, decoder)
                                    : cli::ReadHex(file, name, options, decoder);
  if (!isStdin) std::fclose(file);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  cli::Options options;
  int status = cli::ParseArguments(argc, argv, &options);
  if (status >= 0) return status;

  cli::BatchDecoder decoder;
  decoder.state = sibdecode::CreateDecoderState();
  if (decoder.state == nullptr) {
    std::fprintf(stderr, "sibdecode: out of memory\n");
    return cli::kExitIo;
  }
  status = cli::kExitOk;
  for (const std::string& path : options.files) {
    status = cli::WorseExit(status, ReadOne(path, options, decoder));
  }
  sibdecode::DestroyDecoderState(decoder.state);
  // Output that could not be written (a full disk, a closed pipe) is a failure.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    std::fprintf(stderr, "sibdecode: cannot write the output\n");
    return cli::WorseExit(status, cli::kExitIo);
  }
  return status;
}
