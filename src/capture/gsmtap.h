// GSMTAP packets in a capture: link layer, IPv4 or IPv6, UDP port 4729, and
// the GSMTAP header of a UMTS RRC BCCH-BCH message.
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
  uint16_t arfcn = 0;        // without the PCS and uplink flags
  uint32_t frameNumber = 0;  // GSMTAP frame number
  const unsigned char* payload = nullptr;
  size_t payloadSize = 0;
  CaptureSkipCause skipCause = kSkipLinkLayer;  // kNotBchBlock: why
};

// Looks for a GSMTAP BCCH-BCH message in one captured packet of the given
// libpcap link type (Ethernet, Linux cooked v1/v2, loopback, raw IP, IPv4, IPv6).
PacketKind FindGsmtapBch(int linkType, const unsigned char* packet, size_t size, GsmtapBch* out);

// The same for a UDP payload (GSMTAP header and message); `cut` says that the
// datagram is shorter than it was sent.
PacketKind FindBchInGsmtap(const unsigned char* gsmtap, size_t size, bool cut, GsmtapBch* out);

}  // namespace sibdecode
