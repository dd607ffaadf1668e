#!/usr/bin/env python3
"""Decodes every capture of a folder on a Dask cluster into JSON lines per cell.

usage: dask_decode_folder.py FOLDER OUT [--scheduler ADDRESS | --workers N]

Each capture (*.pcap, *.pcapng, also in subfolders) is decoded by a worker,
small ones several to a task; a worker writes the records as they come to
OUT/parts/arfcn-N/, then the client joins the parts into OUT/arfcn-N.jsonl, one
JSON object per SIB: its record (docs/records.md), the line `sibdecode --json`
prints for it. A capture that cannot be read (not a capture, cut
short, unreadable in the middle) does not stop the others: it is listed in
OUT/failed.jsonl ({"file", "error", "frame"} per line; its SIBs before the
fault are in the results) and named on standard error. Without --scheduler a
LocalCluster of N worker processes runs on this machine; with one, the
workers must see FOLDER and OUT under the same paths (a shared file system).

Exit status: 0 when every capture was read, or some could not be and the
others were (see OUT/failed.jsonl); 1 when every capture failed (the SIBs of
those cut short are written all the same) or there were none; 2 on a usage
error.

Needs sibdecode on PYTHONPATH (where `cmake --install` put it, or BUILD/python)
and Debian's python3-dask and python3-distributed.
"""

import argparse
import json
import os
import shutil
import sys
from typing import Any, Dict, Iterable, List, Tuple

import distributed

import sibdecode.dask


def write_by_cell(records: Iterable[Dict[str, Any]], parts: str) -> List[Dict[str, Any]]:
    """Runs on a worker: a task's records, as they come, into a part file per
    capture and cell; what it wrote (cell, SIB count) and the failed captures."""
    out: Dict[Tuple[str, int], Any] = {}
    counts: Dict[int, int] = {}
    failed = []
    try:
        for record in records:
            if sibdecode.dask.is_error(record):
                failed.append(record)
                continue
            key = (record["source"], record["arfcn"])
            if out and next(iter(out))[0] != record["source"]:  # a task's captures come in turn
                for f in out.values():
                    f.close()
                out.clear()
            if key not in out:
                folder = os.path.join(parts, "arfcn-%d" % record["arfcn"])
                os.makedirs(folder, exist_ok=True)
                name = os.path.abspath(record["source"]).replace(os.sep, "_") + ".jsonl"
                out[key] = open(os.path.join(folder, name), "w")
            out[key].write(json.dumps(record) + "\n")
            counts[record["arfcn"]] = counts.get(record["arfcn"], 0) + 1
    finally:
        for f in out.values():
            f.close()
    return [{"arfcn": arfcn, "sibs": n} for arfcn, n in counts.items()] + failed


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("out")
    where = parser.add_mutually_exclusive_group()
    where.add_argument("--scheduler", help="address of a running Dask scheduler")
    where.add_argument("--workers", type=int, default=2, help="local worker processes")
    args = parser.parse_args()

    paths = sorted(os.path.join(root, name) for root, _, names in os.walk(args.folder)
                   for name in names if name.endswith((".pcap", ".pcapng")))
    if not paths:
        print("no captures in %s" % args.folder, file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    parts = os.path.join(os.path.abspath(args.out), "parts")
    shutil.rmtree(parts, ignore_errors=True)
    try:
        if args.scheduler:
            client = distributed.Client(args.scheduler)
        else:
            cluster = distributed.LocalCluster(n_workers=args.workers, threads_per_worker=1,
                                               processes=True, host="127.0.0.1",
                                               dashboard_address=None)
            client = distributed.Client(cluster)
        with client:
            bag = sibdecode.dask.read_captures(paths)
            results = bag.map_partitions(write_by_cell, parts).compute()
        totals = join_parts(results, parts, args.out)
    finally:
        shutil.rmtree(parts, ignore_errors=True)

    failed = [r for r in results if sibdecode.dask.is_error(r)]
    with open(os.path.join(args.out, "failed.jsonl"), "w") as f:
        for record in sorted(failed, key=lambda r: r["file"]):
            f.write(json.dumps(record) + "\n")
            where = "" if record["frame"] is None else ": frame %d" % record["frame"]
            print("%s%s: %s" % (record["file"], where, record["error"]), file=sys.stderr)
    for arfcn in sorted(totals):
        print("arfcn %d: %d SIBs" % (arfcn, totals[arfcn]))
    print("%d captures (%d failed), %d SIBs, %d cells" % (
        len(paths), len(failed), sum(totals.values()), len(totals)))
    return 1 if len(failed) == len(paths) else 0


def join_parts(results: List[Dict[str, Any]], parts: str, out: str) -> Dict[int, int]:
    """The part files of each cell into OUT/arfcn-N.jsonl; the SIBs per cell."""
    totals: Dict[int, int] = {}
    for count in results:
        if "sibs" in count:
            totals[count["arfcn"]] = totals.get(count["arfcn"], 0) + count["sibs"]
    for arfcn in sorted(totals):
        folder = os.path.join(parts, "arfcn-%d" % arfcn)
        with open(os.path.join(out, "arfcn-%d.jsonl" % arfcn), "w") as joined:
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name)) as part:
                    shutil.copyfileobj(part, joined)
    return totals


if __name__ == "__main__":
    sys.exit(main())
