#!/usr/bin/env python3
"""--listen under load: a flood of distinct SIBs keeps the tool's memory under
its bound and counts what it forgot, and SIGINT ends the run within a second
while the flood goes on (a second SIGINT at once); --status writes a status
line every second.

usage: listen_load.py SIBDECODE [SIBS [--no-rss-bound]]
  SIBS distinct SIB7s (default 10^6); --no-rss-bound: a sanitizer build, whose
  RSS says nothing of what the tool keeps
"""

import os
import pty
import re
import select
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

# SIB7s complete in one block (completeSIB-List of one): SFN-prime 0, the
# list alternative, one element, SIB type 7, the data length, then the SIB:
# SIB6 list present, TDD, and both persistence-level lists of 16 elements
# (3 bits each) drawn from the copy's number, so that every copy is a SIB of
# its own to --changes and --cells.
def distinct_block(k):
    levels = "".join(format((k >> (3 * i)) & 7, "03b") for i in range(32))
    sib = "100" + "1" + "1111" + levels[:48] + "1111" + levels[48:]
    bits = "0" * 11 + "0111" + "0000" + "00111" + format(len(sib) - 1, "08b") + sib
    bits += "0" * (248 - len(bits))
    return int(bits, 2).to_bytes(31, "big")


# --changes and --cells keep at most 65536 versions of SIBs in all (documented
# in the README); the rest of the tool and its stream stay far below this.
RSS_BOUND_KB = 64 * 1024

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def gsmtap(arfcn, frame_number, block):
    return struct.pack("!BBBBHbbIBBBB", 2, 4, 0x0C, 0, arfcn, 0, 0, frame_number, 8, 0, 0, 0) + block


def free_port():
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def start(tool, args, err_path):
    err = open(err_path, "w")
    proc = subprocess.Popen([tool] + args, stdout=subprocess.DEVNULL, stderr=err)
    for _ in range(200):
        with open(err_path) as f:
            if "listening" in f.read():
                break
        time.sleep(0.05)
    return proc


class Flood(threading.Thread):
    """Sends distinct SIB7s to the port until stopped or `count` are sent."""

    def __init__(self, port, count):
        super().__init__(daemon=True)
        self.port, self.count, self.sent, self.stop = port, count, 0, False

    def run(self):
        sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        while not self.stop and (self.count is None or self.sent < self.count):
            try:
                # 256 cells: the bound in all is reached as well as that per cell.
                sender.sendto(gsmtap(10000 + self.sent % 256, 2 * self.sent,
                                     distinct_block(self.sent)),
                              ("127.0.0.1", self.port))
                self.sent += 1
            except OSError:
                time.sleep(0.001)


def counts_line(err_path):
    with open(err_path) as f:
        lines = [line for line in f.read().splitlines() if " packets, " in line]
    return lines[-1] if lines else ""


def main(argv):
    tool = argv[1]
    sibs = int(argv[2]) if len(argv) > 2 else 1000000
    bound = RSS_BOUND_KB if "--no-rss-bound" not in argv else float("inf")
    with tempfile.TemporaryDirectory() as work:
        err_path = os.path.join(work, "err")

        # A flood of distinct SIBs: memory stays under its bound, and what was
        # forgotten is counted.
        for option in ("--cells --changes",):
            port = free_port()
            proc = start(tool, ["--listen", "127.0.0.1:%d" % port] + option.split(), err_path)
            flood = Flood(port, sibs)
            flood.start()
            peak = 0
            while flood.is_alive():
                peak = max(peak, rss_kb(proc.pid))
                time.sleep(0.05)
            time.sleep(0.5)
            peak = max(peak, rss_kb(proc.pid))
            proc.send_signal(signal.SIGINT)
            rc = proc.wait(timeout=30)
            line = counts_line(err_path)
            check(rc == 0 and peak < bound,
                  "%s: %d distinct SIBs sent, peak RSS %d kB (bound %s kB), exit %d: %s" %
                  (option, flood.sent, peak, bound, rc, line))
            # (A slow build may lose datagrams: the bound in all is passed only
            # when more SIBs than it arrived.)
            decoded = re.search(r"; (\d+) SIBs decoded", line)
            if decoded is None or int(decoded.group(1)) > 65536:
                check(" versions not kept" in line, "%s: the forgotten versions are counted: %s" %
                      (option, line))
            print("%s: %d sent, peak RSS %d kB: %s" % (option, flood.sent, peak, line))

        # SIGINT while the flood goes on ends the run within a second; a second
        # SIGINT ends it at once.
        for signals in (1, 2):
            port = free_port()
            proc = start(tool, ["--listen", "127.0.0.1:%d" % port, "--changes", "--status"],
                         err_path)
            flood = Flood(port, None)
            flood.start()
            time.sleep(1.0)
            began = time.monotonic()
            proc.send_signal(signal.SIGINT)
            if signals == 2:
                time.sleep(0.01)
                proc.send_signal(signal.SIGINT)
            try:
                rc = proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                rc = proc.wait()
            took = time.monotonic() - began
            flood.stop = True
            flood.join()
            # The tool decodes what came before the signal for 0.3 s at most; the
            # margin is for a loaded machine. (Without that limit a flood that
            # never pauses keeps the run going until it is killed.)
            check(took < 3.0 and rc == 0,
                  "%d SIGINT under load: ended after %.2f s, exit %d" % (signals, took, rc))
            with open(err_path) as f:
                status = [line for line in f.read().splitlines()
                          if re.match(r"udp:127\.0\.0\.1:\d+: \d+ packets, \d+ SIBs, 0 skipped$",
                                      line)]
            check(len(status) >= 1, "--status: a status line every second")
            print("%d SIGINT under load: ended after %.2f s" % (signals, took))
        # On a terminal the status line is drawn in place every second, unasked
        # (not when the SIBs go into a pipe: the flood runs above with --status).
        master, slave = pty.openpty()
        port = free_port()
        proc = subprocess.Popen([tool, "--listen", "127.0.0.1:%d" % port],
                                stdout=slave, stderr=slave)
        os.close(slave)
        seen = b""
        began = time.monotonic()
        while time.monotonic() - began < 2.5:
            ready, _, _ = select.select([master], [], [], 0.1)
            if ready:
                seen += os.read(master, 65536)
        proc.send_signal(signal.SIGINT)
        proc.wait(timeout=10)
        os.close(master)
        check(re.search(rb"\rudp:127\.0\.0\.1:\d+: 0 packets, 0 SIBs, 0 skipped\x1b\[K", seen)
              is not None, "status line on a terminal: %r" % seen[-200:])
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
