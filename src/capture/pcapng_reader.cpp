#include "pcapng_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace sibdecode {

namespace {

constexpr uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kInterfaceDescription = 1;
constexpr uint32_t kObsoletePacket = 2;
constexpr uint32_t kSimplePacket = 3;
constexpr uint32_t kEnhancedPacket = 6;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint32_t kMaxBlockBytes = 16u << 20;  // as libpcap: larger is taken for a corrupt file

uint32_t Native32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

uint32_t Read32(const PcapngReader& reader, const unsigned char* p) {
  const uint32_t v = Native32(p);
  return reader.swapped ? __builtin_bswap32(v) : v;
}

uint16_t Read16(const PcapngReader& reader, const unsigned char* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return reader.swapped ? __builtin_bswap16(v) : v;
}

int Fail(PcapngReader& reader, const char* what, uint32_t value = 0) {
  static_cast<void>(std::snprintf(reader.error, sizeof reader.error, what, value));
  return -1;
}

// Reads exactly `size` bytes; returns those read (fewer at the end), -1 on an error.
long long ReadExactly(PcapngReader& reader, unsigned char* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    const long long n = reader.read(reader.context, buffer + done, size - done);
    if (n < 0 || static_cast<unsigned long long>(n) > size - done) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<long long>(done);
}

// The rest of a block whose first `already` bytes are read, into reader.block
// (body and trailing length); -1 when it cannot be had.
int ReadBody(PcapngReader& reader, uint32_t length, size_t already) {
  if (length < already + 4 || length % 4 != 0 || length > kMaxBlockBytes) {
    return Fail(reader, "malformed pcapng block length %u", length);
  }
  const size_t rest = length - already;
  try {
    reader.block.resize(rest);
  } catch (const std::bad_alloc&) {
    return Fail(reader, "out of memory for a pcapng block of %u bytes", length);
  }
  const long long n = ReadExactly(reader, reader.block.data(), rest);
  if (n < 0) return Fail(reader, "the capture cannot be read further");
  if (static_cast<size_t>(n) < rest) return Fail(reader, "the file ends inside a pcapng block");
  if (Read32(reader, reader.block.data() + rest - 4) != length) {
    return Fail(reader, "pcapng block lengths disagree (%u at its start)", length);
  }
  return 0;
}

void ReadInterface(PcapngReader& reader, const unsigned char* body, size_t size,
                   PcapngInterface* interface) {
  // The file's link type as libpcap names it (DLT_): they differ for raw IP only.
  constexpr int kLinktypeRaw = 101;
  constexpr int kDltRaw = 12;
  interface->linkType = Read16(reader, body);
  if (interface->linkType == kLinktypeRaw) interface->linkType = kDltRaw;
  // Options behind link type, reserved and snapshot length: code, length, value padded to 4.
  for (size_t at = 8; at + 4 <= size;) {
    const uint16_t code = Read16(reader, body + at);
    const uint16_t length = Read16(reader, body + at + 2);
    const unsigned char* value = body + at + 4;
    if (code == 0 || length > size - at - 4) break;
    if (code == 9 && length >= 1) {  // if_tsresol: 10^-v, or 2^-v with the top bit set
      const unsigned v = value[0] & 0x7F;
      if ((value[0] & 0x80) != 0 && v < 64) {
        interface->unitsPerSecond = uint64_t{1} << v;
      } else if ((value[0] & 0x80) == 0 && v <= 19) {
        uint64_t units = 1;
        for (unsigned k = 0; k < v; ++k) units *= 10;
        interface->unitsPerSecond = units;
      }
    } else if (code == 14 && length >= 8) {  // if_tsoffset: seconds
      uint64_t offset;
      std::memcpy(&offset, value, sizeof offset);
      if (reader.swapped) offset = __builtin_bswap64(offset);
      interface->offsetSeconds = static_cast<int64_t>(offset);
    }
    at += 4 + ((length + 3u) & ~3u);
  }
}

void SetTime(const PcapngInterface& interface, uint32_t high, uint32_t low, PcapngPacket* packet) {
  const uint64_t stamp = uint64_t{high} << 32 | low;
  const uint64_t units = interface.unitsPerSecond;
  // Wrapping, not overflowing, for the odd offset of a faulty file.
  packet->seconds =
      static_cast<int64_t>(stamp / units + static_cast<uint64_t>(interface.offsetSeconds));
  packet->microseconds =
      static_cast<uint64_t>(static_cast<unsigned __int128>(stamp % units) * 1000000 / units);
}

// A packet of the interface `id`, its data in reader.block from `at`.
int Packet(PcapngReader& reader, uint32_t id, size_t at, uint32_t captured, uint32_t length,
           size_t bodySize, PcapngPacket* packet) {
  if (captured > bodySize - at) return Fail(reader, "pcapng packet longer than its block");
  packet->knownInterface = id < reader.interfaces.size();
  packet->linkType = packet->knownInterface ? reader.interfaces[id].linkType : -1;
  packet->data = reader.block.data() + at;
  packet->captured = captured;
  packet->length = length;
  return 1;
}

}  // namespace

int NextPcapngPacket(PcapngReader& reader, PcapngPacket* packet) {
  for (;;) {
    unsigned char head[12];
    const long long n = ReadExactly(reader, head, 8);
    if (n == 0 && reader.started) return 0;
    if (n < 0) return Fail(reader, "the capture cannot be read further");
    if (n < 8) return Fail(reader, "the file ends inside a pcapng block header");
    const uint32_t type = Native32(head);
    if (type == kSectionHeader) {
      if (ReadExactly(reader, head + 8, 4) != 4) {
        return Fail(reader, "the file ends inside a pcapng section header");
      }
      const uint32_t order = Native32(head + 8);
      if (order != kByteOrderMagic && order != __builtin_bswap32(kByteOrderMagic)) {
        return Fail(reader, "pcapng section header of unknown byte order");
      }
      reader.swapped = order != kByteOrderMagic;
      const uint32_t length = Read32(reader, head + 4);
      if (length < 28) return Fail(reader, "malformed pcapng block length %u", length);
      if (ReadBody(reader, length, 12) < 0) return -1;
      reader.interfaces.clear();
      reader.started = true;
      continue;
    }
    if (!reader.started) return Fail(reader, "no pcapng section header");
    const uint32_t length = Read32(reader, head + 4);
    if (ReadBody(reader, length, 8) < 0) return -1;
    const unsigned char* body = reader.block.data();
    const size_t bodySize = length - 12;
    switch (Read32(reader, head)) {
      case kInterfaceDescription:
        if (bodySize < 8) return Fail(reader, "pcapng interface description too short");
        try {
          reader.interfaces.emplace_back();
        } catch (const std::bad_alloc&) {
          return Fail(reader, "out of memory for a pcapng interface");
        }
        ReadInterface(reader, body, bodySize, &reader.interfaces.back());
        break;
      case kEnhancedPacket: {
        if (bodySize < 20) return Fail(reader, "pcapng packet block too short");
        const uint32_t id = Read32(reader, body);
        if (id < reader.interfaces.size()) {
          SetTime(reader.interfaces[id], Read32(reader, body + 4), Read32(reader, body + 8),
                  packet);
        }
        return Packet(reader, id, 20, Read32(reader, body + 12), Read32(reader, body + 16),
                      bodySize, packet);
      }
      case kObsoletePacket: {
        if (bodySize < 20) return Fail(reader, "pcapng packet block too short");
        const uint32_t id = Read16(reader, body);
        if (id < reader.interfaces.size()) {
          SetTime(reader.interfaces[id], Read32(reader, body + 4), Read32(reader, body + 8),
                  packet);
        }
        return Packet(reader, id, 20, Read32(reader, body + 12), Read32(reader, body + 16),
                      bodySize, packet);
      }
      case kSimplePacket: {
        if (bodySize < 4) return Fail(reader, "pcapng packet block too short");
        const uint32_t length = Read32(reader, body);
        const size_t room = bodySize - 4;
        packet->seconds = 0;  // a simple packet carries no time
        packet->microseconds = 0;
        return Packet(reader, 0, 4, length < room ? length : static_cast<uint32_t>(room), length,
                      bodySize, packet);
      }
      default:
        break;  // statistics, name resolution, custom blocks ...
    }
  }
}

}  // namespace sibdecode
