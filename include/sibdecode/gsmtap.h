// GSMTAP: from a captured packet (link layer, IPv4 or IPv6, UDP port 4729) or
// from a UDP payload to the UMTS RRC BCCH-BCH block it carries, its cell and
// its GSMTAP frame number; and the rule that passes over a packet captured
// twice. The capture reader, the command-line tool and the Wireshark plugin
// all take their blocks through here.
#pragma once

#include <sibdecode/capture.h>

#include <cstddef>
#include <cstdint>

namespace sibdecode {

constexpr uint16_t kGsmtapPort = 4729;
constexpr uint8_t kGsmtapTypeUmtsRrc = 0x0c;
constexpr uint8_t kGsmtapRrcBcchBch = 8;  // Wireshark's GSMTAP RRC sub-type
constexpr size_t kBchBlockBytes = 31;

enum class PacketKind {
  kBchBlock,     // a GSMTAP UMTS RRC BCCH-BCH message of 31 bytes
  kWrongSize,    // a GSMTAP UMTS RRC BCCH-BCH message of another size
  kNotBchBlock,  // any other packet: skipped, for `skipCause`
};

struct GsmtapBch {
  // The ARFCN without the PCS and uplink flags: the cell key blocks are fed
  // with (the tool and the capture reader follow one cell per ARFCN).
  uint16_t arfcn = 0;
  uint32_t frameNumber = 0;  // GSMTAP frame number
  const unsigned char* payload = nullptr;
  size_t payloadSize = 0;
  CaptureSkipCause skipCause = kSkipLinkLayer;  // kNotBchBlock: why
};

// Looks for a GSMTAP BCCH-BCH message in one captured packet of the given
// libpcap link type (Ethernet, Linux cooked v1/v2, loopback, raw IP, IPv4,
// IPv6). Only a UDP datagram carried by the packet's own IP header counts: a
// copy quoted inside an ICMP error (port unreachable, when nothing listens on
// the GSMTAP port) is skipped as not UDP.
SIBDECODE_API PacketKind FindGsmtapBch(int linkType, const unsigned char* packet, size_t size,
                                       GsmtapBch* out);

// The same for a UDP payload (GSMTAP header and message); `cut` says that the
// datagram is shorter than it was sent.
SIBDECODE_API PacketKind FindBchInGsmtap(const unsigned char* gsmtap, size_t size, bool cut,
                                         GsmtapBch* out);

// Each cell's last block and GSMTAP frame number: a block that follows itself
// on its cell with the same GSMTAP frame number is the same packet captured
// twice (two capture points, a tool that sends twice), fed once.
struct RepeatedBlockFilter;

// Null when the heap ran out (IsRepeatedBlock then says false).
SIBDECODE_API RepeatedBlockFilter* CreateRepeatedBlockFilter();
SIBDECODE_API void DestroyRepeatedBlockFilter(RepeatedBlockFilter* filter);

// True when the block (kBchBlock) repeats the previous block of the cell
// `cellKey`; otherwise remembers it as the cell's last block. Without memory
// for one more cell, that cell's blocks are all taken as new.
SIBDECODE_API bool IsRepeatedBlock(RepeatedBlockFilter* filter, uint64_t cellKey,
                                   const GsmtapBch& bch);

}  // namespace sibdecode
