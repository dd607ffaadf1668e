#!/usr/bin/env python3
"""Writes the seed corpora of the capture, GSMTAP and C-interface fuzz targets
from the sample capture (examples/sample.pcap), kept small:

  corpus_capture/  the sample as pcap, as a pcapng of two link types
                   (Ethernet and Linux cooked IPv6), and each compressed
                   with gzip, xz and zstd
  corpus_gsmtap/   its GSMTAP datagrams, each as a 2-byte length and its bytes
  corpus_capi/     call sequences: the sample's batches decoded, its datagrams
                   fed and taken with odd struct_size values, a capture read

usage: make_capture_corpus.py [FUZZ_DIR]    (default: this folder)
Needs the gzip, xz and zstd programs.
"""

import hashlib
import os
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "capture"))
sys.path.insert(0, os.path.join(HERE, "..", "cli"))

import make_capture  # noqa: E402
import pcap_tool  # noqa: E402

SAMPLE = os.path.join(HERE, "..", "..", "examples", "sample.pcap")


def write(folder, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, hashlib.sha1(data).hexdigest()), "wb") as f:
        f.write(data)


def compressed(program, data):
    return subprocess.run([program, "-c"], input=data, stdout=subprocess.PIPE, check=True).stdout


def main(argv):
    out = argv[1] if len(argv) > 1 else HERE
    with open(SAMPLE, "rb") as f:
        pcap = f.read()
    _, packets = pcap_tool.read_pcap(SAMPLE)
    datagrams = [pcap_tool.udp_payload(p[3]) for p in packets]

    mixed = [(seconds * 1000000 + micros,
              *make_capture.frame("ethernet" if k % 2 == 0 else "cooked-ipv6", d, k))
             for k, ((seconds, micros, _, _), d) in enumerate(zip(packets, datagrams))]
    pcapng_path = os.path.join(out, "two_links.tmp")
    make_capture.write_pcapng_links(pcapng_path, mixed)
    with open(pcapng_path, "rb") as f:
        pcapng = f.read()
    os.remove(pcapng_path)
    captures = os.path.join(out, "corpus_capture")
    for data in (pcap, pcapng):
        write(captures, data)
        for program in ("gzip", "xz", "zstd"):
            write(captures, compressed(program, data))

    framed = [struct.pack("!H", len(d)) + d for d in datagrams]
    write(os.path.join(out, "corpus_gsmtap"), b"".join(framed))
    write(os.path.join(out, "corpus_gsmtap"), b"".join(framed[:8]))

    # Operation bytes as fuzz_capi.cpp reads them.
    capi = os.path.join(out, "corpus_capi")
    with open(os.path.join(HERE, "..", "..", "examples", "sample.hex")) as f:
        batches = [bytes.fromhex(line.strip()) for line in f if line[:1].isalnum()]
    decode = b"".join(b"\x00" + bytes([how]) + struct.pack("!H", len(b)) + b + struct.pack("!H", 4000)
                      + b"\x02" + struct.pack("!H", 300) + bytes(300) + b"\x40"
                      for how in (0, 2) for b in batches)
    write(capi, decode)
    feed = b"".join(b"\x07" + struct.pack("!H", len(d)) + d + b"\x05" + b"\x08" +
                    struct.pack("!H", 200) + bytes(196) + b"\x40" for d in datagrams[:12])
    write(capi, feed + b"\x09" + b"\x0a" + struct.pack("!H", 64) + bytes(60))
    small = pcap[:1800]  # cut inside a packet: the end of a capture as well
    write(capi, b"\x0b" + struct.pack("!H", len(small)) + small)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
