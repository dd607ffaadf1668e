// GSMTAP BCCH-BCH messages found in captured packets of each link type, other
// packets skipped, and packets cut anywhere never read past their end.
#include <gtest/gtest.h>
#include <pcap/dlt.h>
#include <sibdecode/gsmtap.h>

#include <cstdint>
#include <vector>

namespace sibdecode {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v >> 8));
  b.push_back(static_cast<uint8_t>(v));
}

Bytes Gsmtap(uint16_t arfcnField, uint8_t type, uint8_t subType, size_t payloadSize) {
  Bytes b = {2, 4, type, 0};
  Put16(b, arfcnField);
  b.insert(b.end(), {0xBA, 20, 0, 0, 0x01, 0x2C, subType, 0, 0, 0});
  for (size_t i = 0; i < payloadSize; ++i) b.push_back(static_cast<uint8_t>(i + 1));
  return b;
}

Bytes Udp(const Bytes& payload, uint16_t dstPort, uint16_t srcPort = 40000) {
  Bytes b;
  Put16(b, srcPort);
  Put16(b, dstPort);
  Put16(b, static_cast<uint16_t>(8 + payload.size()));
  Put16(b, 0);
  b.insert(b.end(), payload.begin(), payload.end());
  return b;
}

Bytes Ipv4(const Bytes& datagram, uint16_t flagsAndOffset = 0x4000, uint8_t protocol = 17) {
  Bytes b = {0x45, 0};
  Put16(b, static_cast<uint16_t>(20 + datagram.size()));
  b.insert(b.end(), {0, 1});
  Put16(b, flagsAndOffset);
  b.insert(b.end(), {64, protocol, 0, 0, 10, 0, 0, 1, 10, 0, 0, 2});
  b.insert(b.end(), datagram.begin(), datagram.end());
  return b;
}

// The ICMP port unreachable error a host sends back for `ip`, quoting it.
Bytes IcmpUnreachable(const Bytes& ip) {
  Bytes b = {3, 3, 0, 0, 0, 0, 0, 0};
  b.insert(b.end(), ip.begin(), ip.end());
  return Ipv4(b, 0x4000, 1);
}

Bytes Ipv6(const Bytes& datagram) {
  Bytes b = {0x60, 0, 0, 0};
  Put16(b, static_cast<uint16_t>(datagram.size()));
  b.insert(b.end(), {17, 64});
  b.insert(b.end(), 32, 0xFD);
  b.insert(b.end(), datagram.begin(), datagram.end());
  return b;
}

Bytes Ethernet(const Bytes& ip, uint16_t etherType, bool vlan = false) {
  Bytes b(12, 0x02);
  if (vlan) {
    Put16(b, 0x8100);
    Put16(b, 0x0064);
  }
  Put16(b, etherType);
  b.insert(b.end(), ip.begin(), ip.end());
  return b;
}

Bytes Cooked(const Bytes& ip, uint16_t etherType) {
  Bytes b(14, 0);
  Put16(b, etherType);
  b.insert(b.end(), ip.begin(), ip.end());
  return b;
}

Bytes Cooked2(const Bytes& ip, uint16_t etherType) {
  Bytes b;
  Put16(b, etherType);
  b.insert(b.end(), 18, 0);
  b.insert(b.end(), ip.begin(), ip.end());
  return b;
}

Bytes Loopback(const Bytes& ip, uint8_t family) {
  Bytes b = {family, 0, 0, 0};
  b.insert(b.end(), ip.begin(), ip.end());
  return b;
}

struct Case {
  const char* what;
  int linkType;
  Bytes packet;
  PacketKind kind;
  CaptureSkipCause skipCause = kSkipLinkLayer;  // kNotBchBlock
};

std::vector<Case> Cases() {
  const Bytes bch = Udp(Gsmtap(0x0000, 0x0c, 8, 31), 4729);
  const Bytes pcsBch = Udp(Gsmtap(0x8000 | 512, 0x0c, 8, 31), 4729);
  return {
      {"Ethernet IPv4", DLT_EN10MB, Ethernet(Ipv4(bch), 0x0800), PacketKind::kBchBlock},
      {"Ethernet VLAN IPv4", DLT_EN10MB, Ethernet(Ipv4(pcsBch), 0x0800, true),
       PacketKind::kBchBlock},
      {"Ethernet IPv6", DLT_EN10MB, Ethernet(Ipv6(bch), 0x86DD), PacketKind::kBchBlock},
      {"Linux cooked IPv4", DLT_LINUX_SLL, Cooked(Ipv4(bch), 0x0800), PacketKind::kBchBlock},
      {"Linux cooked v2 IPv6", DLT_LINUX_SLL2, Cooked2(Ipv6(bch), 0x86DD), PacketKind::kBchBlock},
      {"raw IPv4", DLT_RAW, Ipv4(bch), PacketKind::kBchBlock},
      {"raw IPv6", DLT_RAW, Ipv6(bch), PacketKind::kBchBlock},
      {"loopback IPv4", DLT_NULL, Loopback(Ipv4(bch), 2), PacketKind::kBchBlock},
      {"loopback IPv6", DLT_LOOP, Loopback(Ipv6(bch), 30), PacketKind::kBchBlock},
      {"sent from the GSMTAP port", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x0c, 8, 31), 50000, 4729)),
       PacketKind::kBchBlock},
      {"message of 30 bytes", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x0c, 8, 30), 4729)),
       PacketKind::kWrongSize},
      {"message of 32 bytes", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x0c, 8, 32), 4729)),
       PacketKind::kWrongSize},
      {"BCCH-FACH sub-type", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x0c, 7, 31), 4729)),
       PacketKind::kNotBchBlock, kSkipOtherMessage},
      {"GSM Um type", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x01, 8, 31), 4729)), PacketKind::kNotBchBlock,
       kSkipOtherMessage},
      {"other UDP ports", DLT_RAW, Ipv4(Udp(Gsmtap(0, 0x0c, 8, 31), 53)), PacketKind::kNotBchBlock,
       kSkipOtherPort},
      {"not GSMTAP version 2", DLT_RAW, Ipv4(Udp(Bytes(20, 3), 4729)), PacketKind::kNotBchBlock,
       kSkipNotGsmtap},
      {"IPv4 fragment", DLT_RAW, Ipv4(bch, 0x2000), PacketKind::kNotBchBlock, kSkipIpFragment},
      {"ICMP error quoting a block", DLT_RAW, IcmpUnreachable(Ipv4(bch)), PacketKind::kNotBchBlock,
       kSkipNotUdp},
      {"ARP over Ethernet", DLT_EN10MB, Ethernet(Bytes(28, 0), 0x0806), PacketKind::kNotBchBlock},
      {"unknown link type", 9999, Ipv4(bch), PacketKind::kNotBchBlock},
  };
}

TEST(FindGsmtapBch, LinkTypesAndMessageKinds) {
  for (const Case& c : Cases()) {
    GsmtapBch found;
    EXPECT_EQ(FindGsmtapBch(c.linkType, c.packet.data(), c.packet.size(), &found), c.kind)
        << c.what;
    if (c.kind == PacketKind::kNotBchBlock) {
      EXPECT_EQ(found.skipCause, c.skipCause) << c.what;
    }
    if (c.kind != PacketKind::kBchBlock) continue;
    ASSERT_EQ(found.payloadSize, 31u) << c.what;
    EXPECT_EQ(found.payload, c.packet.data() + c.packet.size() - 31) << c.what;
    EXPECT_EQ(found.payload[0], 1) << c.what;
    EXPECT_EQ(found.frameNumber, 300u) << c.what;
  }
}

TEST(FindGsmtapBch, ArfcnWithoutTheFlagBits) {
  const Bytes packet = Ipv4(Udp(Gsmtap(0xC000 | 10054, 0x0c, 8, 31), 4729));
  GsmtapBch found;
  ASSERT_EQ(FindGsmtapBch(DLT_RAW, packet.data(), packet.size(), &found), PacketKind::kBchBlock);
  EXPECT_EQ(found.arfcn, 10054);
}

TEST(FindGsmtapBch, PacketsCutShortStayInsideTheirBytes) {
  // Every prefix of every packet, copied to a buffer of exactly that size, so
  // that a read past it shows under AddressSanitizer; a cut message is never
  // taken for a whole block.
  for (const Case& c : Cases()) {
    for (size_t size = 0; size < c.packet.size(); ++size) {
      const Bytes cut(c.packet.begin(), c.packet.begin() + static_cast<long>(size));
      GsmtapBch found;
      const PacketKind kind = FindGsmtapBch(c.linkType, cut.data(), cut.size(), &found);
      EXPECT_NE(kind, PacketKind::kBchBlock) << c.what << " cut to " << size;
      if (kind == PacketKind::kWrongSize) {
        EXPECT_LE(found.payload + found.payloadSize, cut.data() + cut.size()) << c.what;
      }
    }
  }
}

// A block that follows itself on its cell with the same GSMTAP frame number is
// the same packet captured twice; anything else is new.
TEST(IsRepeatedBlock, SameBlockAndFrameNumberRightAfterItselfOnItsCell) {
  struct Step {
    uint64_t cell;
    uint32_t frameNumber;
    uint8_t firstByte;
    bool repeated;
  };
  const Step steps[] = {
      {7, 100, 1, false}, {7, 100, 1, true},  // captured twice
      {7, 100, 1, true},                      // and three times
      {9, 100, 1, false},                     // another cell
      {7, 100, 1, true},                      // cell 7's last is still this one
      {7, 100, 2, false},                     // another block, same frame number
      {7, 102, 2, false},                     // the same block sent again later
      {7, 100, 1, false},                     // not right after itself
  };
  RepeatedBlockFilter* filter = CreateRepeatedBlockFilter();
  ASSERT_NE(filter, nullptr);
  unsigned char block[31] = {};
  for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
    const Step& step = steps[i];
    block[0] = step.firstByte;
    GsmtapBch bch;
    bch.frameNumber = step.frameNumber;
    bch.payload = block;
    bch.payloadSize = sizeof block;
    EXPECT_EQ(IsRepeatedBlock(filter, step.cell, bch), step.repeated) << "step " << i;
  }
  DestroyRepeatedBlockFilter(filter);
  GsmtapBch bch;
  bch.payload = block;
  bch.payloadSize = sizeof block;
  EXPECT_FALSE(IsRepeatedBlock(nullptr, 7, bch));  // no filter: every block is new
}

}  // namespace
}  // namespace sibdecode
