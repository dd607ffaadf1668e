#!/usr/bin/env python3
"""What the plugin costs tshark: time and peak memory of `tshark -r F` (one
pass) and `tshark -r F -2` with the plugin against without it, on a capture of
about a million frames made at run time (two cells repeating their SIBs, from
tests/capture/make_capture.py; not kept).

usage: bench_plugin.py --plugin PATH [--tshark PATH] [--rounds N] [--repeat K]
Prints each run and the ratios (with / without). Runs tshark as nobody when
run as root (Wireshark loads no personal plugin for root).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
MAKE_CAPTURE = os.path.join(ROOT, "tests", "capture", "make_capture.py")


def homes(workdir, tshark, plugin):
    """A HOME with the plugin in its personal plugin folder, and one without."""
    version = re.search(r"(\d+)\.(\d+)\.", subprocess.run(
        [tshark, "--version"], capture_output=True, text=True).stdout).groups()
    with_plugin = os.path.join(workdir, "home")
    folder = os.path.join(with_plugin, ".local", "lib", "wireshark", "plugins",
                          "%s.%s" % version, "epan")
    os.makedirs(folder)
    shutil.copy(plugin, os.path.join(folder, "sibdecode.so"))
    without = os.path.join(workdir, "bare-home")
    os.makedirs(without)
    for base, _, files in os.walk(workdir):
        os.chmod(base, 0o755)
        for name in files:
            os.chmod(os.path.join(base, name), 0o644)
    return with_plugin, without


def run(tshark, home, capture, passes):
    """(CPU seconds, wall seconds, peak resident kB) of one tshark run, its
    output thrown away. The CPU time (user and system) is the measure: on a
    machine shared with other work the wall time says more about the others."""
    command = [tshark, "-n", "-r", capture] + (["-2"] if passes == 2 else [])
    if os.geteuid() == 0:
        command = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] + command
    env = dict(os.environ, HOME=home)
    env.pop("WIRESHARK_CONFIG_DIR", None)
    start = time.monotonic()
    with open(os.devnull, "wb") as null:
        proc = subprocess.Popen(command, env=env, stdout=null, stderr=subprocess.PIPE)
        _, _, usage = os.wait4(proc.pid, 0)
    elapsed = time.monotonic() - start
    proc.stderr.read()
    return usage.ru_utime + usage.ru_stime, elapsed, usage.ru_maxrss


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--tshark", default=shutil.which("tshark"))
    parser.add_argument("--rounds", type=int, default=52632, help="19 frames each")
    parser.add_argument("--repeat", type=int, default=1, help="runs of each, the fastest kept")
    args = parser.parse_args()
    if not args.tshark:
        print("tshark not found")
        return 77
    workdir = tempfile.mkdtemp(prefix="sibdecode-bench-")
    try:
        os.chmod(workdir, 0o755)
        subprocess.run([sys.executable, MAKE_CAPTURE, "repeats", workdir, str(args.rounds)],
                       check=True)
        capture = os.path.join(workdir, "repeats.pcap")
        os.chmod(capture, 0o644)
        with_plugin, without = homes(workdir, args.tshark, args.plugin)
        print("capture: %d rounds, %.0f MB" % (args.rounds, os.path.getsize(capture) / 1e6))
        failed = False
        for passes in (1, 2):
            results = {}
            for label, home in (("without", without), ("with", with_plugin)):
                runs = [run(args.tshark, home, capture, passes) for _ in range(args.repeat)]
                results[label] = tuple(min(r[k] for r in runs) for k in range(3))
                print("%d pass%s %-7s plugin: %6.2f s CPU (%6.2f s wall) %7.0f MB" %
                      (passes, "" if passes == 1 else "es", label, results[label][0],
                       results[label][1], results[label][2] / 1024))
            time_ratio = results["with"][0] / results["without"][0]
            memory_ratio = results["with"][2] / results["without"][2]
            print("%d pass%s: CPU time %.2fx, memory %.2fx (target 1.3x)" %
                  (passes, "" if passes == 1 else "es", time_ratio, memory_ratio))
            failed |= time_ratio > 1.3 or memory_ratio > 1.3
        return 1 if failed else 0
    finally:
        shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
