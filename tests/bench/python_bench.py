#!/usr/bin/env python3
"""Throughput of the Python package (a benchmark to run by hand, not a test):

- captures decoded per second by sibdecode.dask on a LocalCluster of one and
  of two worker processes (cluster start-up left out; best of --repeat runs);
- the cost of a SIB through read_capture (text only, and with the value
  dict from JSON) against the command-line tool on the same capture.

usage: PYTHONPATH=BUILD/python /usr/bin/python3 tests/bench/python_bench.py \\
           --sibdecode BUILD/cli/sibdecode [--captures 40] [--repeats 300]
The captures repeat the packets of examples/sample.pcap.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time
import warnings

import sibdecode

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(HERE, "..", "..", "examples", "sample.pcap")


def write_capture(path, repeats):
    data = open(SAMPLE, "rb").read()
    with open(path, "wb") as f:
        f.write(data[:24] + data[24:] * repeats)


def best(function, runs):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return min(times)


def count_sibs(path, value):
    n = 0
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for sib in sibdecode.read_capture(path):
            if value:
                sib.value
            n += 1
    return n


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True, help="the command-line tool")
    parser.add_argument("--captures", type=int, default=40)
    parser.add_argument("--repeats", type=int, default=300, help="sample packets per capture, x18")
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()

    import distributed
    import sibdecode.dask

    with tempfile.TemporaryDirectory() as folder:
        paths = []
        for k in range(args.captures):
            paths.append(os.path.join(folder, "capture%03d.pcap" % k))
            write_capture(paths[-1], args.repeats)
        sibs = count_sibs(paths[0], False)
        size = os.path.getsize(paths[0])
        print("%d captures of %d bytes, %d SIBs each" % (len(paths), size, sibs))

        # Per SIB: the tool (whole process, text to /dev/null) against Python.
        big = os.path.join(folder, "big.pcap")
        write_capture(big, args.repeats * 10)
        big_sibs = count_sibs(big, False)
        with open(os.devnull, "wb") as null:
            tool = best(lambda: subprocess.run([args.sibdecode, big], stdout=null,
                                               stderr=null, check=True), args.runs)
        text = best(lambda: count_sibs(big, False), args.runs)
        value = best(lambda: count_sibs(big, True), args.runs)
        print("per SIB (%d SIBs): tool %.2f us, read_capture %.2f us, read_capture + value "
              "%.2f us" % (big_sibs, tool / big_sibs * 1e6, text / big_sibs * 1e6,
                           value / big_sibs * 1e6))

        # What a worker runs for a capture, here, one capture after the other.
        sequential = best(lambda: [sibdecode.dask._partition([(p, 0, 0)], True) for p in paths],
                          args.runs)
        print("the same records sequentially in this process: %.1f captures/s"
              % (len(paths) / sequential))
        for workers in (1, 2):
            cluster = distributed.LocalCluster(n_workers=workers, threads_per_worker=1,
                                               processes=True, host="127.0.0.1",
                                               dashboard_address=None)
            with distributed.Client(cluster):
                sibdecode.dask.read_captures(paths).count().compute()  # library loaded

                def run():
                    # New modification times, new task keys: nothing is reused.
                    for path in paths:
                        os.utime(path)
                    return sibdecode.dask.read_captures(paths).count().compute()

                seconds = best(run, args.runs)
            cluster.close()
            print("dask, %d worker process%s: %.1f captures/s (%.0f SIBs/s)" % (
                workers, "" if workers == 1 else "es", len(paths) / seconds,
                len(paths) * sibs / seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
