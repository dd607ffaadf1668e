// sibdecode: decodes BCH captures (hex text, raw binary, pcap/pcapng with
// GSMTAP, GSMTAP received over UDP) with libsibdecode and prints the text of
// every SIB.
#include <fcntl.h>
#include <sibdecode/sibdecode.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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
  struct stat file;
  const bool statted = fstat(input.fd, &file) == 0;
  if (statted && S_ISDIR(file.st_mode)) {
    cli::Note("%s: %s\n", path.c_str(), std::strerror(EISDIR));
    if (!isStdin) close(input.fd);
    return cli::kExitIo;
  }
  const std::string name = isStdin ? "<stdin>" : path;
  // Files, pipes and standard input alike: what was read to tell a capture
  // from other input is handed on, the file is never opened again. A capture
  // is told by its magic number whatever the options.
  const auto head = [&input] { return reinterpret_cast<const unsigned char*>(input.data); };
  while (input.end < 4 && cli::MayStartCapture(head(), input.end) && cli::FillInput(&input)) {
  }
  int status;
  if (input.end == 0 && input.atEnd && !input.failed && !input.noMemory) {
    cli::Note("%s: empty, nothing to decode\n", name.c_str());
    if (!isStdin) close(input.fd);
    cli::ReleaseInput(&input);
    return cli::kExitOk;
  }
  if (input.end >= 4 && cli::MayStartCapture(head(), input.end)) {
    if (options.bareSib) {
      cli::Note("%s: a capture file, not bare SIBs: read it without --sib\n", name.c_str());
      status = cli::kExitMalformed;
    } else {
      status = cli::ReadCapture(input, name, options, decoder);
    }
    cli::ReleaseInput(&input);
    if (!isStdin) close(input.fd);
    return status;
  }
  if (decoder.state == nullptr) {
    decoder.state = sibdecode::CreateDecoderState();
    sibdecode::SetDecodeRelease(
        decoder.state, options.release7 ? sibdecode::kRelease7 : sibdecode::kReleaseLatest);
    sibdecode::SetTextLayout(decoder.state, options.release7 ? sibdecode::kTextLayoutRRCParserX
                                                             : sibdecode::kTextLayoutPlain);
  }
  if (decoder.state == nullptr) {
    cli::Note("sibdecode: out of memory\n");
    status = cli::kExitIo;
  } else {
    const bool regular = statted && S_ISREG(file.st_mode);
    cli::ProgressStart(name.c_str(), regular ? static_cast<unsigned long long>(file.st_size) : 0);
    status = options.binary ? cli::ReadBinary(input, name, options, decoder)
                            : cli::ReadHex(input, name, options, decoder);
    cli::ProgressEnd();
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
  // A reader that closes the output (`| head`) ends the run quietly: writes
  // then fail with EPIPE instead of killing the process mid-record.
  std::signal(SIGPIPE, SIG_IGN);

  cli::BatchDecoder decoder;  // its state is created for the first hex or binary input
  status = cli::kExitOk;
  if (options.survey != cli::Options::kNoSurvey) {
    // A live run keeps no timeline unless asked: its memory would grow with every SIB.
    decoder.survey = sibdecode::CreateCellSurvey(!options.listen ||
                                                 options.survey == cli::Options::kSurveyTimeline);
    if (decoder.survey == nullptr) {
      cli::Note("sibdecode: out of memory\n");
      return cli::kExitIo;
    }
  }
  if (options.listen) {
    status = cli::Listen(options, decoder);
  } else {
    for (const std::string& path : options.files) {
      status = cli::WorseExit(status, ReadOne(path, options, decoder));
      // What waits for a cell's identity at a capture's end is that capture's.
      sibdecode::SettleCellSurvey(decoder.survey);
      if (cli::OutputClosed()) break;
    }
  }
  if (decoder.survey != nullptr)
    status = cli::WorseExit(status, cli::WriteSurvey(options, decoder));
  sibdecode::DestroyCellSurvey(decoder.survey);
  sibdecode::DestroyDecoderState(decoder.state);
  // Output that could not be written (a full disk) is a failure.
  if (!cli::OutFinish()) {
    cli::Note("sibdecode: cannot write the output\n");
    return cli::WorseExit(status, cli::kExitIo);
  }
  return status;
}
