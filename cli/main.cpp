// sibdecode: decodes BCH captures (hex text, raw binary, pcap/pcapng with
// GSMTAP) with libsibdecode and prints the text of every SIB.
#include <fcntl.h>
#include <sibdecode/sibdecode.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "inputs.h"
#include "options.h"
#include "output.h"

namespace {

// Reads one named file or standard input with the input its options and its
// first bytes select.
int ReadOne(const std::string& path, const cli::Options& options, cli::BatchDecoder& decoder) {
  const bool isStdin = path == "-";
  cli::InputFile input;
  input.fd = isStdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (input.fd < 0) {
    cli::Note("%s: %s\n", path.c_str(), std::strerror(errno));
    return cli::kExitIo;
  }
  const std::string name = isStdin ? "<stdin>" : path;
  int status;
  if (!options.binary && !options.bareSib) {
    // Files, pipes and standard input alike: what was read to tell a capture
    // from hex text is handed on, the file is never opened again.
    const auto head = [&input] { return reinterpret_cast<const unsigned char*>(input.data); };
    while (input.end < 4 && cli::MayStartCapture(head(), input.end) && cli::FillInput(&input)) {
    }
    if (input.end >= 4 && cli::MayStartCapture(head(), input.end)) {
      status = cli::ReadCapture(input, name, options);
      cli::ReleaseInput(&input);
      if (!isStdin) close(input.fd);
      return status;
    }
  }
  if (decoder.state == nullptr) decoder.state = sibdecode::CreateDecoderState();
  if (decoder.state == nullptr) {
    cli::Note("sibdecode: out of memory\n");
    status = cli::kExitIo;
  } else {
    status = options.binary ? cli::ReadBinary(input, name, options, decoder)
                            : cli::ReadHex(input, name, options, decoder);
  }
  cli::ReleaseInput(&input);
  if (!isStdin) close(input.fd);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  cli::Options options;
  int status = cli::ParseArguments(argc, argv, &options);
  if (status >= 0) return status;

  cli::BatchDecoder decoder;  // its state is created for the first hex or binary input
  status = cli::kExitOk;
  for (const std::string& path : options.files) {
    status = cli::WorseExit(status, ReadOne(path, options, decoder));
  }
  sibdecode::DestroyDecoderState(decoder.state);
  // Output that could not be written (a full disk, a closed pipe) is a failure.
  if (!cli::OutFinish()) {
    cli::Note("sibdecode: cannot write the output\n");
    return cli::WorseExit(status, cli::kExitIo);
  }
  return status;
}
