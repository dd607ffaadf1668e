#!/usr/bin/env python3
"""The speed table: per SIB type, on the same valid encodings (make_inputs.py),

  - the CLI against `tshark -V`, whole process, measured in one run: the CLI
    decoding the BCH batches, tshark decoding the same SIBs bare (user DLT
    mapped to rrc.si.sibN); best of three runs each;
  - with --bench: RRCParserX per call and the warm memcpy of the texts it
    returns (Google Benchmark, BM_Batches and BM_MemcpyTexts), and their ratio.

usage: speed_report.py --sibdecode CLI [--bench BENCH] [--count N] [--sib N ...]
Standard library only; tshark is used as a black box.
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "interop"))

import per_encoder  # noqa: E402
import tshark_side  # noqa: E402


def best_of(command, runs=3, **kw):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, **kw)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def bench_figures(bench, inputs):
    """{sib: (ns per call, ns per memcpy, mean text bytes)} from the benchmark program."""
    env = dict(os.environ, SIBDECODE_BENCH_INPUTS=inputs)
    out = subprocess.run([bench, "--benchmark_filter=BM_Batches|BM_MemcpyTexts", "--benchmark_format=json",
                          "--benchmark_repetitions=3", "--benchmark_report_aggregates_only=true"],
                         env=env, capture_output=True, check=True).stdout
    figures = {}
    for b in json.loads(out)["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        kind, name = b["run_name"].split("/")
        sib = int(name[3:])
        entry = figures.setdefault(sib, {})
        entry[kind] = b["calls"] * 1e9  # seconds per call, inverted rate
        if kind == "BM_Batches":
            entry["text"] = b["textBytes"]
    return {sib: (e["BM_Batches"], e["BM_MemcpyTexts"], e["text"]) for sib, e in figures.items()
            if "BM_Batches" in e and "BM_MemcpyTexts" in e}


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--bench")
    parser.add_argument("--tshark", default=tshark_side.TSHARK)
    parser.add_argument("--count", type=int, default=3000)
    parser.add_argument("--sib", type=int, action="append")
    args = parser.parse_args(argv)
    sibs = args.sib or per_encoder.decoded_types()
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, os.path.join(HERE, "make_inputs.py"), tmp, "--count", str(args.count)]
                       + sum((["--sib", str(s)] for s in sibs), []), check=True)
        figures = bench_figures(args.bench, tmp) if args.bench else {}
        print("SIB    mean text  CLI (s)  tshark -V (s)  CLI faster  per call (us)  memcpy (us)  call/memcpy")
        for sib in sibs:
            batches = os.path.join(tmp, "sib%02d.hex" % sib)
            with open(os.path.join(tmp, "sib%02d.sib.hex" % sib)) as f:
                bare = [bytes.fromhex(line) for line in f.read().split()]
            pcap = os.path.join(tmp, "sib%02d.pcap" % sib)
            tshark_side.write_pcap(pcap, bare)
            uat = 'uat:user_dlts:"User 0 (DLT=%d)","rrc.si.sib%d","0","","0",""' % (tshark_side.USER_DLT, sib)
            cli = best_of([args.sibdecode, batches])
            tshark = best_of([args.tshark, "-n", "-r", pcap, "-o", uat, "-V"])
            row = "SIB%-3d %10s  %7.3f  %13.3f  %9.1fx" % (
                sib, "%.0f B" % figures[sib][2] if sib in figures else "-", cli, tshark, tshark / cli)
            if sib in figures:
                call, copy, _text = figures[sib]
                row += "  %13.3f  %11.3f  %10.0fx" % (call / 1e3, copy / 1e3, call / copy)
            print(row)
    return 0


if __name__ == "__main__":
    sys.exit(main())
