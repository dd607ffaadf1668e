#!/usr/bin/env python3
"""Throughput and memory of the Python package (a benchmark to run by hand,
not a test). Prints:

- the cost of a SIB (processor time) through read_capture against the
  command-line tool on the same capture, as a ratio: text only, with each SIB's own value, with
  shared values (read_capture(..., shared_values=True));
- a folder of --captures captures of --size MB (written here, at run time):
  the tool over all of them against sibdecode.dask on a LocalCluster of one
  and of two worker processes (count() of the records, with and without
  values; cluster start-up left out; wall time), as captures/s and ratios;
- a capture of --frames frames through read_captures(...).count() with
  values on one worker: the worker's peak RSS growth.

usage: PYTHONPATH=BUILD/python /usr/bin/python3 tests/bench/python_bench.py \\
           --sibdecode BUILD/cli/sibdecode [--captures 200] [--size 2] [--frames 200000]
The captures come from tests/capture/make_capture.py (two cells repeating
their SIBs).
"""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import sibdecode

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "capture"))
import make_capture  # noqa: E402

FRAME_BYTES = 105  # a GSMTAP BCH packet over Ethernet and IPv4, with its record header


def best(function, runs):
    """The shortest wall time of `runs` runs."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return min(times)


def best_cpu(function, runs):
    """The least processor time (user and system, this process and the
    programs it ran) of `runs` runs: steadier than wall time on a shared machine."""
    def used():
        own = resource.getrusage(resource.RUSAGE_SELF)
        children = resource.getrusage(resource.RUSAGE_CHILDREN)
        return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime

    times = []
    for _ in range(runs):
        start = used()
        function()
        times.append(used() - start)
    return min(times)


def count_sibs(path, value, shared=False):
    n = 0
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for sib in sibdecode.read_capture(path, shared_values=shared):
            if value:
                sib.value
            n += 1
    return n


def per_sib(args, folder):
    path = os.path.join(folder, "per_sib.pcap")
    make_capture.big(path, 40000)
    sibs = count_sibs(path, False)
    with open(os.devnull, "wb") as null:
        tool = best_cpu(lambda: subprocess.run([args.sibdecode, path], stdout=null, stderr=null,
                                               check=True), args.runs)
    print("per SIB (%d SIBs; processor time, the least of %d runs): the tool %.2f us" % (
        sibs, args.runs, tool / sibs * 1e6))
    for what, value, shared in [("text only", False, False), ("with values", True, False),
                                ("with shared values", True, True)]:
        seconds = best_cpu(lambda: count_sibs(path, value, shared), args.runs)
        print("  read_capture %-18s %6.2f us  %.1fx the tool" % (
            what, seconds / sibs * 1e6, seconds / tool))


def fleet(args, folder):
    import distributed
    import sibdecode.dask

    captures = os.path.join(folder, "captures")
    os.makedirs(captures)
    first = os.path.join(captures, "capture000.pcap")
    make_capture.big(first, int(args.size * (1 << 20)) // FRAME_BYTES)
    paths = [first]
    for k in range(1, args.captures):
        paths.append(os.path.join(captures, "capture%03d.pcap" % k))
        shutil.copyfile(first, paths[-1])
    size = sum(os.path.getsize(p) for p in paths)
    sibs = count_sibs(first, False) * len(paths)
    print("%d captures, %.0f MB, %d SIBs (wall time, the best of %d runs)" % (
        len(paths), size / 1e6, sibs, args.runs))
    with open(os.devnull, "wb") as null:
        tool = best(lambda: subprocess.run([args.sibdecode] + paths, stdout=null, stderr=null,
                                           check=True), args.runs)
    print("  the tool, one process: %.1f captures/s" % (len(paths) / tool))
    rates = {}
    for workers in (1, 2):
        cluster = distributed.LocalCluster(n_workers=workers, threads_per_worker=1,
                                           processes=True, host="127.0.0.1",
                                           dashboard_address=None)
        with distributed.Client(cluster):
            sibdecode.dask.read_captures(paths[:1]).count().compute()  # library loaded
            for value in (False, True):
                def run():
                    for path in paths:  # new modification times, new task keys
                        os.utime(path)
                    return sibdecode.dask.read_captures(paths, value=value).count().compute()

                seconds = best(run, args.runs)
                rates[workers, value] = len(paths) / seconds
                print("  dask, %d worker%s, %s: %.1f captures/s, %.2fx the tool" % (
                    workers, "" if workers == 1 else "s", "values" if value else "no values",
                    rates[workers, value], tool / seconds))
        cluster.close()
    for value in (False, True):
        print("  dask %s: 2 workers %.2fx one worker" % (
            "values" if value else "no values", rates[2, value] / rates[1, value]))


def memory(args, folder):
    import distributed
    import sibdecode.dask

    path = os.path.join(folder, "long.pcap")
    make_capture.big(path, args.frames)

    def peak():
        return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss << 10

    cluster = distributed.LocalCluster(n_workers=1, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address=None)
    with distributed.Client(cluster) as client:
        sibdecode.dask.read_captures([make_capture_sample(folder)]).count().compute()
        before = list(client.run(peak).values())[0]
        start = time.perf_counter()
        n = sibdecode.dask.read_captures([path]).count().compute()
        seconds = time.perf_counter() - start
        after = list(client.run(peak).values())[0]
    cluster.close()
    print("%d frames (%.0f MB), %d SIBs through read_captures(...).count() with values: "
          "%.1f s, the worker's peak RSS grew %.1f MB" % (
              args.frames, os.path.getsize(path) / 1e6, n, seconds, (after - before) / 1e6))


def make_capture_sample(folder):
    path = os.path.join(folder, "warm.pcap")
    make_capture.big(path, 100)
    return path


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True, help="the command-line tool")
    parser.add_argument("--captures", type=int, default=200)
    parser.add_argument("--size", type=float, default=2, help="MB per capture")
    parser.add_argument("--frames", type=int, default=200000, help="frames of the long capture")
    parser.add_argument("--runs", type=int, default=2)
    parser.add_argument("--only", choices=("per-sib", "fleet", "memory"))
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as folder:
        for name, part in (("per-sib", per_sib), ("memory", memory), ("fleet", fleet)):
            if args.only in (None, name):
                part(args, folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
