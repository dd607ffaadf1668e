#!/usr/bin/env python3
"""Small pcap helpers for the CLI tests (standard library only; pcap files of
Ethernet/IPv4/UDP packets with microsecond time stamps, as make_capture.py writes).

usage:
  pcap_tool.py twice IN OUT          every packet twice in a row (captured twice)
  pcap_tool.py repeat IN OUT N       the packets N times over
  pcap_tool.py send IN PORT [N]      the GSMTAP payloads (UDP) of the packets, N times
                                     over, to 127.0.0.1:PORT; prints the number sent
  pcap_tool.py free-port             a UDP port of 127.0.0.1 free now
"""

import socket
import struct
import sys
import time


def read_pcap(path):
    with open(path, "rb") as f:
        data = f.read()
    header, packets, offset = data[:24], [], 24
    while offset < len(data):
        seconds, micros, captured, length = struct.unpack("<IIII", data[offset:offset + 16])
        packets.append((seconds, micros, length, data[offset + 16:offset + 16 + captured]))
        offset += 16 + captured
    return header, packets


def write_pcap(path, header, packets):
    with open(path, "wb") as f:
        f.write(header)
        for seconds, micros, length, packet in packets:
            f.write(struct.pack("<IIII", seconds, micros, len(packet), length) + packet)


def udp_payload(packet):
    ip = packet[14:]
    udp = ip[(ip[0] & 0x0F) * 4:]
    return udp[8:struct.unpack("!H", udp[4:6])[0]]


def main(argv):
    if len(argv) == 4 and argv[1] == "twice":
        header, packets = read_pcap(argv[2])
        write_pcap(argv[3], header, [p for p in packets for _ in range(2)])
    elif len(argv) == 5 and argv[1] == "repeat":
        header, packets = read_pcap(argv[2])
        write_pcap(argv[3], header, packets * int(argv[4]))
    elif len(argv) in (4, 5) and argv[1] == "send":
        _, packets = read_pcap(argv[2])
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sent = 0
        for _ in range(int(argv[4]) if len(argv) == 5 else 1):
            for packet in packets:
                sender.sendto(udp_payload(packet[3]), ("127.0.0.1", int(argv[3])))
                sent += 1
                if sent % 50 == 0:
                    time.sleep(0.01)  # the receiver's socket buffer is not the test's subject
        print(sent)
    elif len(argv) == 2 and argv[1] == "free-port":
        probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        probe.bind(("127.0.0.1", 0))
        print(probe.getsockname()[1])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
