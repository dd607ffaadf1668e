// --listen: GSMTAP packets received over UDP, decoded as they arrive.
#include <netdb.h>
#include <netinet/in.h>
#include <sibdecode/capture.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include "capture_events.h"
#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

// "PORT", "ADDR:PORT", "[IPV6]:PORT", "IPV6" or "ADDR" (port 4729).
bool SplitAddress(const std::string& text, std::string* host, std::string* port) {
  *port = "4729";  // GSMTAP's port
  const size_t colon = text.find(':');
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    *host = text.substr(1, close - 1);
    if (close + 1 != text.size()) {
      if (text[close + 1] != ':') return false;
      *port = text.substr(close + 2);
    }
  } else if (text.find_first_not_of("0123456789") == std::string::npos) {
    *host = "127.0.0.1";
    *port = text;
  } else if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
    *host = text.substr(0, colon);
    *port = text.substr(colon + 1);
  } else {
    *host = text;  // an IPv6 address without a port, or a name
  }
  if (host->empty() || port->empty() || port->size() > 5 ||
      port->find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const unsigned long number = std::stoul(*port);
  return number >= 1 && number <= 65535;
}

// A UDP socket bound to the address; -1 with a note when it cannot be had
// (*status says why: bad arguments or the address not to be had).
// *name receives the address as "udp:HOST:PORT" for the notes.
int OpenSocket(const std::string& address, std::string* name, int* status) {
  std::string host;
  std::string port;
  *status = kExitMalformed;
  if (!SplitAddress(address, &host, &port)) {
    Note("sibdecode: --listen %s: expected [ADDR:]PORT (PORT 1..65535)\n", address.c_str());
    return -1;
  }
  *status = kExitIo;
  *name = "udp:" + (host.find(':') == std::string::npos ? host : "[" + host + "]") + ":" + port;
  struct addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  struct addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (lookup != 0) {
    Note("sibdecode: --listen %s: %s\n", address.c_str(), gai_strerror(lookup));
    return -1;
  }
  int fd = -1;
  int error = 0;
  for (struct addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      error = errno;
      continue;
    }
    // No SO_REUSEADDR: the kernel would hand each datagram to one of the
    // programs bound to the port, so a second listener is refused instead.
    // Bursts of a busy cell must not be lost while a long text is written.
    const int receiveBuffer = 4 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof(receiveBuffer));
    // The wait wakes up now and then, so that a signal that came just before
    // it is not left waiting for the next packet.
    const struct timeval wake = {0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wake, sizeof(wake));
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0) {
      error = errno;
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0 && error == EADDRINUSE) {
    Note("sibdecode: --listen %s: port %s is in use by another program\n", address.c_str(),
         port.c_str());
  } else if (fd < 0) {
    Note("sibdecode: --listen %s: %s\n", address.c_str(), std::strerror(error));
  }
  return fd;
}

}  // namespace

int Listen(const Options& options, BatchDecoder& decoder) {
  std::string name;
  int openStatus = kExitOk;
  const int fd = OpenSocket(options.listenAddress, &name, &openStatus);
  if (fd < 0) return openStatus;
  sibdecode::CaptureReader* reader = sibdecode::CreateGsmtapReader();
  if (reader == nullptr) {
    Note("sibdecode: out of memory\n");
    close(fd);
    return kExitIo;
  }
  // SIGINT and SIGTERM interrupt the wait (no SA_RESTART) and end the run.
  struct sigaction stop = {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
  // Each SIB is written as it comes, for a reader such as grep behind a pipe.
  OutFlushEachRecord();

  CaptureRun run(options, decoder, name, "packets");
  int status = kExitOk;
  unsigned char datagram[65536];
  Note("%s: listening (Ctrl-C ends)\n", name.c_str());
  bool draining = false;  // stopped: what the socket holds already is still decoded
  while (!OutputClosed()) {
    if (stopRequested) draining = true;
    const ssize_t n = recv(fd, datagram, sizeof(datagram), draining ? MSG_DONTWAIT : 0);
    if (n < 0) {
      if (draining) break;
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      Note("%s: %s\n", name.c_str(), std::strerror(errno));
      status = kExitIo;
      break;
    }
    struct timeval arrival;
    gettimeofday(&arrival, nullptr);
    sibdecode::FeedGsmtapDatagram(reader, datagram, static_cast<size_t>(n), arrival.tv_sec,
                                  static_cast<uint32_t>(arrival.tv_usec));
    while (TakeCaptureEvent(run, reader, &status)) {
    }
  }
  close(fd);
  sibdecode::FinishGsmtapReader(reader);
  while (TakeCaptureEvent(run, reader, &status)) {
  }
  if (!OutputClosed()) WriteCaptureCounts(run, reader);
  sibdecode::CloseCapture(reader);
  return status;
}

}  // namespace cli
