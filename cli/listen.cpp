// --listen: GSMTAP packets received over UDP, decoded as they arrive (the
// capture reader takes each datagram through the library's GSMTAP front end).
#include <netdb.h>
#include <netinet/in.h>
#include <sibdecode/capture.h>
#include <sibdecode/gsmtap.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "capture_events.h"
#include "inputs.h"
#include "output.h"

namespace cli {

namespace {

// Signals received: the first ends the run after what the socket holds, the second at once.
volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) {
  if (stopRequested < 2) stopRequested = stopRequested + 1;
}

// How long the first stop goes on decoding what arrived before it.
constexpr long kDrainNanoseconds = 300L * 1000 * 1000;

struct timespec Now() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

double SecondsSince(const struct timespec& then) {
  const struct timespec now = Now();
  return static_cast<double>(now.tv_sec - then.tv_sec) +
         static_cast<double>(now.tv_nsec - then.tv_nsec) / 1e9;
}

// "udp:127.0.0.1:4729: 1200 packets, 37 SIBs, 3 skipped (3 other UDP port)".
void WriteStatus(const std::string& name, const sibdecode::CaptureReader* reader, bool terminal) {
  sibdecode::CaptureCounts counts;
  sibdecode::GetCaptureCounts(reader, &counts);
  const std::string line = name + ": " + std::to_string(counts.frames) + " packets, " +
                           std::to_string(counts.sibsDecoded) + " SIBs, " +
                           std::to_string(counts.skipped) + " skipped" + SkipCauses(counts);
  StatusLine(line.c_str(), terminal);
}

// --write: each datagram received as a raw-IP packet of a pcap file, from its
// sender to the address listened on, written out as it comes. The packets go
// to GSMTAP's port whatever port was listened on: what arrived is GSMTAP, and
// Wireshark and this tool tell GSMTAP by its port.
struct PcapWriter {
  std::FILE* file = nullptr;
  struct sockaddr_storage local = {};

  bool Open(const std::string& path, int socket) {
    socklen_t length = sizeof local;
    if (getsockname(socket, reinterpret_cast<struct sockaddr*>(&local), &length) != 0) {
      return false;
    }
    file = std::fopen(path.c_str(), "wbe");
    if (file == nullptr) return false;
    constexpr uint32_t kLinktypeRaw = 101;
    const uint32_t header[6] = {0xA1B2C3D4, 2 | (4u << 16), 0, 0, 65535, kLinktypeRaw};
    if (std::fwrite(header, sizeof header, 1, file) == 1 && std::fflush(file) == 0) return true;
    const int error = errno;
    Close();
    errno = error;
    return false;
  }

  bool Write(const struct timeval& arrival, const struct sockaddr_storage& from,
             const unsigned char* payload, size_t size) {
    unsigned char packet[48];
    size_t headerSize;
    const size_t udpLength = size + 8;
    if (from.ss_family == AF_INET6 && local.ss_family == AF_INET6) {
      const auto& source = reinterpret_cast<const struct sockaddr_in6&>(from);
      const auto& destination = reinterpret_cast<const struct sockaddr_in6&>(local);
      headerSize = 40;
      std::memset(packet, 0, headerSize);
      packet[0] = 0x60;
      Put16(packet + 4, udpLength);
      packet[6] = 17;  // UDP
      packet[7] = 64;
      std::memcpy(packet + 8, &source.sin6_addr, 16);
      std::memcpy(packet + 24, &destination.sin6_addr, 16);
      PutUdp(packet + 40, source.sin6_port, udpLength);
    } else if (from.ss_family == AF_INET && local.ss_family == AF_INET) {
      const auto& source = reinterpret_cast<const struct sockaddr_in&>(from);
      const auto& destination = reinterpret_cast<const struct sockaddr_in&>(local);
      headerSize = 20;
      std::memset(packet, 0, headerSize);
      packet[0] = 0x45;
      Put16(packet + 2, udpLength + 20);
      packet[6] = 0x40;  // don't fragment
      packet[8] = 64;
      packet[9] = 17;  // UDP
      std::memcpy(packet + 12, &source.sin_addr, 4);
      std::memcpy(packet + 16, &destination.sin_addr, 4);
      uint32_t sum = 0;
      for (size_t k = 0; k < 20; k += 2)
        sum += static_cast<uint32_t>(packet[k] << 8 | packet[k + 1]);
      while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
      Put16(packet + 10, ~sum & 0xFFFF);
      PutUdp(packet + 20, source.sin_port, udpLength);
    } else {
      return true;  // an address family without an IP header to write
    }
    const size_t captured = headerSize + 8 + size;
    const uint32_t record[4] = {static_cast<uint32_t>(arrival.tv_sec),
                                static_cast<uint32_t>(arrival.tv_usec),
                                static_cast<uint32_t>(captured), static_cast<uint32_t>(captured)};
    return std::fwrite(record, sizeof record, 1, file) == 1 &&
           std::fwrite(packet, headerSize + 8, 1, file) == 1 &&
           (size == 0 || std::fwrite(payload, size, 1, file) == 1) && std::fflush(file) == 0;
  }

  // False when the file could not be written to its end.
  bool Close() {
    if (file == nullptr) return true;
    const bool closed = std::fclose(file) == 0;
    file = nullptr;
    return closed;
  }

  static void Put16(unsigned char* p, size_t value) {
    p[0] = static_cast<unsigned char>(value >> 8);
    p[1] = static_cast<unsigned char>(value);
  }

  // A UDP header to the GSMTAP port, without a checksum (the source port as
  // the socket address holds it).
  static void PutUdp(unsigned char* p, uint16_t sourcePort, size_t length) {
    constexpr size_t kGsmtapPort = 4729;
    std::memcpy(p, &sourcePort, 2);
    Put16(p + 2, kGsmtapPort);
    Put16(p + 4, length);
    p[6] = p[7] = 0;
  }
};

// "PORT", "ADDR:PORT", "[IPV6]:PORT", "IPV6" or "ADDR" (port 4729).
bool SplitAddress(const std::string& text, std::string* host, std::string* port) {
  *port = std::to_string(sibdecode::kGsmtapPort);
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
  PcapWriter writer;
  if (!options.writePath.empty() && !writer.Open(options.writePath, fd)) {
    Note("sibdecode: --write %s: %s\n", options.writePath.c_str(), std::strerror(errno));
    close(fd);
    return kExitIo;
  }
  sibdecode::CaptureReader* reader = sibdecode::CreateGsmtapReader();
  if (reader == nullptr) {
    Note("sibdecode: out of memory\n");
    close(fd);
    return kExitIo;
  }
  ConfigureReader(options, reader);
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
  // The status line on a terminal that also shows the SIBs; not when they
  // go into a pipe (whose reader may write to the same terminal) unless asked.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  const bool showStatus = (terminal && isatty(STDOUT_FILENO) != 0) || options.status;
  struct timespec lastStatus = Now();
  // Stopped once: what the socket holds already is still decoded, for a
  // moment at most; stopped twice: at once.
  bool draining = false;
  struct timespec drainEnd = {};
  while (!OutputClosed() && stopRequested < 2) {
    if (stopRequested && !draining) {
      draining = true;
      drainEnd = Now();
      drainEnd.tv_nsec += kDrainNanoseconds;
    }
    if (draining && SecondsSince(drainEnd) >= 0) break;
    struct sockaddr_storage from;
    socklen_t fromLength = sizeof from;
    const ssize_t n = recvfrom(fd, datagram, sizeof(datagram), draining ? MSG_DONTWAIT : 0,
                               reinterpret_cast<struct sockaddr*>(&from), &fromLength);
    if (showStatus && SecondsSince(lastStatus) >= 1.0) {
      lastStatus = Now();
      WriteStatus(name, reader, terminal);
    }
    if (n < 0) {
      if (draining) break;
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      Note("%s: %s\n", name.c_str(), std::strerror(errno));
      status = kExitIo;
      break;
    }
    struct timeval arrival;
    gettimeofday(&arrival, nullptr);
    if (writer.file != nullptr && !writer.Write(arrival, from, datagram, static_cast<size_t>(n))) {
      Note("sibdecode: --write %s: %s\n", options.writePath.c_str(), std::strerror(errno));
      status = kExitIo;
      writer.Close();
    }
    sibdecode::FeedGsmtapDatagram(reader, datagram, static_cast<size_t>(n), arrival.tv_sec,
                                  static_cast<uint32_t>(arrival.tv_usec));
    while (TakeCaptureEvent(run, reader, &status)) {
    }
  }
  close(fd);
  if (!writer.Close()) {
    Note("sibdecode: --write %s: %s\n", options.writePath.c_str(), std::strerror(errno));
    status = kExitIo;
  }
  sibdecode::FinishGsmtapReader(reader);
  while (TakeCaptureEvent(run, reader, &status)) {
  }
  if (!OutputClosed()) WriteCaptureCounts(run, reader);
  sibdecode::CloseCapture(reader);
  return status;
}

}  // namespace cli
