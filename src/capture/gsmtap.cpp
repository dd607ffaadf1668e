#include <sibdecode/gsmtap.h>

#if __has_include(<pcap/dlt.h>)
#include <pcap/dlt.h>
#else
// libpcap's link-type numbers, for builds without its headers (the Windows DLL,
// which reads fed datagrams only).
#define DLT_NULL 0
#define DLT_EN10MB 1
#define DLT_RAW 12
#define DLT_LOOP 108
#define DLT_LINUX_SLL 113
#define DLT_IPV4 228
#define DLT_IPV6 229
#define DLT_LINUX_SLL2 276
#endif

#include <cstring>
#include <new>
#include <unordered_map>

namespace sibdecode {

struct RepeatedBlockFilter {
  struct LastBlock {
    uint32_t frameNumber = 0;
    unsigned char block[kBchBlockBytes] = {};
  };
  std::unordered_map<uint64_t, LastBlock> lastBlocks;  // by cell key
};

namespace {

constexpr uint16_t kEtherTypeIpv4 = 0x0800;
constexpr uint16_t kEtherTypeIpv6 = 0x86DD;
constexpr uint16_t kEtherTypeVlan = 0x8100;
constexpr uint16_t kEtherTypeQinQ = 0x88A8;
constexpr uint8_t kProtocolUdp = 17;
constexpr size_t kUdpHeaderSize = 8;
constexpr size_t kGsmtapMinHeaderSize = 16;
constexpr uint16_t kArfcnFlags = 0xC000;  // PCS band, uplink

uint16_t Read16(const unsigned char* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Read32(const unsigned char* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// A byte range of the packet; an empty one means "not found".
struct Span {
  const unsigned char* data = nullptr;
  size_t size = 0;
};

// The network-layer bytes behind the link header, and their EtherType.
bool NetworkLayer(int linkType, const unsigned char* p, size_t size, uint16_t* etherType,
                  Span* network) {
  size_t offset = 0;
  switch (linkType) {
    case DLT_EN10MB:
      if (size < 14) return false;
      *etherType = Read16(p + 12);
      offset = 14;
      while ((*etherType == kEtherTypeVlan || *etherType == kEtherTypeQinQ) && size >= offset + 4) {
        *etherType = Read16(p + offset + 2);
        offset += 4;
      }
      break;
    case DLT_LINUX_SLL:
      if (size < 16) return false;
      *etherType = Read16(p + 14);
      offset = 16;
      break;
    case DLT_LINUX_SLL2:
      if (size < 20) return false;
      *etherType = Read16(p);
      offset = 20;
      break;
    case DLT_NULL:  // loopback: a 4-byte address family, then IP
    case DLT_LOOP:
      offset = 4;
      [[fallthrough]];
    case DLT_RAW:
    case DLT_IPV4:
    case DLT_IPV6:
      if (size <= offset) return false;
      *etherType = (p[offset] >> 4) == 6 ? kEtherTypeIpv6 : kEtherTypeIpv4;
      break;
    default:
      return false;
  }
  if (offset > size) return false;
  *network = Span{p + offset, size - offset};
  return true;
}

// The UDP datagram inside an unfragmented IPv4 or IPv6 packet; *fragment
// tells an IPv4 fragment from other packets without one.
bool UdpDatagram(uint16_t etherType, Span ip, Span* udp, bool* fragment) {
  const unsigned char* p = ip.data;
  if (etherType == kEtherTypeIpv4) {
    if (ip.size < 20 || (p[0] >> 4) != 4) return false;
    const size_t headerSize = size_t{p[0] & 0x0Fu} * 4;
    const size_t totalSize = Read16(p + 2);
    *fragment = (Read16(p + 6) & 0x3FFF) != 0;  // MF flag or an offset
    if (headerSize < 20 || p[9] != kProtocolUdp || *fragment) return false;
    if (totalSize < headerSize || ip.size < headerSize) return false;
    const size_t end = totalSize < ip.size ? totalSize : ip.size;
    *udp = Span{p + headerSize, end - headerSize};
    return true;
  }
  if (etherType == kEtherTypeIpv6) {
    // UDP right behind the fixed header; extension headers are not followed.
    if (ip.size < 40 || (p[0] >> 4) != 6 || p[6] != kProtocolUdp) return false;
    const size_t payloadSize = Read16(p + 4);
    const size_t available = ip.size - 40;
    *udp = Span{p + 40, payloadSize < available ? payloadSize : available};
    return true;
  }
  return false;
}

}  // namespace

PacketKind FindGsmtapBch(int linkType, const unsigned char* packet, size_t size, GsmtapBch* out) {
  uint16_t etherType = 0;
  Span network;
  Span udp;
  if (packet == nullptr || !NetworkLayer(linkType, packet, size, &etherType, &network)) {
    out->skipCause = kSkipLinkLayer;
    return PacketKind::kNotBchBlock;
  }
  if (etherType != kEtherTypeIpv4 && etherType != kEtherTypeIpv6) {
    out->skipCause = kSkipLinkLayer;
    return PacketKind::kNotBchBlock;
  }
  bool fragment = false;
  if (!UdpDatagram(etherType, network, &udp, &fragment) || udp.size < kUdpHeaderSize) {
    out->skipCause = fragment ? kSkipIpFragment : kSkipNotUdp;
    return PacketKind::kNotBchBlock;
  }
  // Sent to the GSMTAP port as a rule; some tools send from it.
  if (Read16(udp.data + 2) != kGsmtapPort && Read16(udp.data) != kGsmtapPort) {
    out->skipCause = kSkipOtherPort;
    return PacketKind::kNotBchBlock;
  }
  // The UDP length bounds the message when the capture holds padding behind
  // it; a packet cut shorter than its UDP length cannot hold a whole block.
  size_t udpSize = Read16(udp.data + 4);
  const bool cut = udpSize > udp.size;
  if (udpSize < kUdpHeaderSize || cut) udpSize = udp.size;
  return FindBchInGsmtap(udp.data + kUdpHeaderSize, udpSize - kUdpHeaderSize, cut, out);
}

PacketKind FindBchInGsmtap(const unsigned char* g, size_t gsmtapSize, bool cut, GsmtapBch* out) {
  if (g == nullptr || gsmtapSize < kGsmtapMinHeaderSize || g[0] != 2) {
    out->skipCause = kSkipNotGsmtap;
    return PacketKind::kNotBchBlock;
  }
  const size_t headerSize = size_t{g[1]} * 4;
  if (headerSize < kGsmtapMinHeaderSize || headerSize > gsmtapSize) {
    out->skipCause = kSkipNotGsmtap;
    return PacketKind::kNotBchBlock;
  }
  if (g[2] != kGsmtapTypeUmtsRrc || g[12] != kGsmtapRrcBcchBch) {
    out->skipCause = kSkipOtherMessage;
    return PacketKind::kNotBchBlock;
  }

  out->arfcn = static_cast<uint16_t>(Read16(g + 4) & ~kArfcnFlags);
  out->frameNumber = Read32(g + 8);
  out->payload = g + headerSize;
  out->payloadSize = gsmtapSize - headerSize;
  return out->payloadSize == kBchBlockBytes && !cut ? PacketKind::kBchBlock
                                                    : PacketKind::kWrongSize;
}

RepeatedBlockFilter* CreateRepeatedBlockFilter() { return new (std::nothrow) RepeatedBlockFilter; }

void DestroyRepeatedBlockFilter(RepeatedBlockFilter* filter) { delete filter; }

bool IsRepeatedBlock(RepeatedBlockFilter* filter, uint64_t cellKey, const GsmtapBch& bch) {
  if (filter == nullptr || bch.payload == nullptr || bch.payloadSize != kBchBlockBytes) {
    return false;
  }
  try {
    auto [last, added] = filter->lastBlocks.try_emplace(cellKey);
    RepeatedBlockFilter::LastBlock& previous = last->second;
    if (!added && previous.frameNumber == bch.frameNumber &&
        std::memcmp(previous.block, bch.payload, kBchBlockBytes) == 0) {
      return true;
    }
    previous.frameNumber = bch.frameNumber;
    std::memcpy(previous.block, bch.payload, kBchBlockBytes);
  } catch (const std::bad_alloc&) {
    // Without memory for one more cell its blocks are fed as they come.
  }
  return false;
}

}  // namespace sibdecode
