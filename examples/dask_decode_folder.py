#!/usr/bin/env python3
"""Decodes every capture of a folder on a Dask cluster into JSON lines per cell.

usage: dask_decode_folder.py FOLDER OUT [--scheduler ADDRESS | --workers N]

Each capture (*.pcap, *.pcapng, also in subfolders) is one task; a worker
writes its records to OUT/parts/arfcn-N/, then the client joins the parts into
OUT/arfcn-N.jsonl, one JSON object per SIB (file, sib, frames, arfcn, time,
text, summary, value). Without --scheduler a LocalCluster of N worker
processes runs on this machine; with one, the workers must see FOLDER and OUT
under the same paths (a shared file system).

Needs sibdecode on PYTHONPATH (where `cmake --install` put it, or BUILD/python)
and Debian's python3-dask and python3-distributed.
"""

import argparse
import json
import os
import shutil
import sys
from typing import Any, Dict, List

import distributed

import sibdecode.dask


def write_by_cell(records: List[Dict[str, Any]], parts: str) -> List[Dict[str, Any]]:
    """Runs on a worker: one capture's records into a part file per cell."""
    by_cell: Dict[int, List[str]] = {}
    for record in records:
        by_cell.setdefault(record["arfcn"], []).append(json.dumps(record) + "\n")
    counts = []
    for arfcn, lines in by_cell.items():
        folder = os.path.join(parts, "arfcn-%d" % arfcn)
        os.makedirs(folder, exist_ok=True)
        name = os.path.abspath(records[0]["file"]).replace(os.sep, "_") + ".jsonl"
        with open(os.path.join(folder, name), "w") as f:
            f.writelines(lines)
        counts.append({"arfcn": arfcn, "sibs": len(lines)})
    return counts


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
    parts = os.path.join(os.path.abspath(args.out), "parts")
    shutil.rmtree(parts, ignore_errors=True)

    if args.scheduler:
        client = distributed.Client(args.scheduler)
    else:
        cluster = distributed.LocalCluster(n_workers=args.workers, threads_per_worker=1,
                                           processes=True, host="127.0.0.1",
                                           dashboard_address=None)
        client = distributed.Client(cluster)
    with client:
        bag = sibdecode.dask.read_captures(paths)
        counts = bag.map_partitions(write_by_cell, parts).compute()

    totals: Dict[int, int] = {}
    for count in counts:
        totals[count["arfcn"]] = totals.get(count["arfcn"], 0) + count["sibs"]
    for arfcn in sorted(totals):
        folder = os.path.join(parts, "arfcn-%d" % arfcn)
        with open(os.path.join(args.out, "arfcn-%d.jsonl" % arfcn), "w") as joined:
            for name in sorted(os.listdir(folder)):
                with open(os.path.join(folder, name)) as part:
                    shutil.copyfileobj(part, joined)
        print("arfcn %d: %d SIBs" % (arfcn, totals[arfcn]))
    shutil.rmtree(parts)
    print("%d captures, %d SIBs, %d cells" % (len(paths), sum(totals.values()), len(totals)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
