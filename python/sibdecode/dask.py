"""Many captures on Dask (Debian python3-dask, python3-distributed).

    import sibdecode.dask
    bag = sibdecode.dask.read_captures(["a.pcap", "b.pcapng"])  # a partition per file
    rows = sibdecode.dask.summary_frame(["a.pcap", "b.pcapng"])  # a Dask DataFrame
    rows.groupby("arfcn").cell_identity.max().compute()

Each file is decoded whole by one task, sequentially, as read_capture does;
the files are spread over the workers by Dask's own scheduler (threads,
processes or a distributed.Client). Records are plain dicts, so they travel
between processes and serialise to JSON as they are.
"""

import gc
import os
import warnings
from typing import Any, Dict, Iterable, Iterator, List, Optional, Sequence, Tuple

import dask.bag

from . import SUMMARY_SIB3_CELL_IDENTITY, SUMMARY_SIB4_CELL_IDENTITY, Sib, read_capture, summary_parts

__all__ = ["capture_records", "read_captures", "summary_rows", "summary_frame", "SUMMARY_COLUMNS"]


def _time(sib: Sib) -> str:
    assert sib.time is not None
    return sib.time.strftime("%Y-%m-%dT%H:%M:%S.%fZ")


def capture_records(path: str, value: bool = True) -> Iterator[Dict[str, Any]]:
    """The SIB records of one capture, in capture order: file, sib, frames,
    arfcn, time (ISO 8601, UTC), text, summary and (unless value=False) value.
    Dropped chains are left out (they are warnings of read_capture)."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for sib in read_capture(path):
            assert isinstance(sib, Sib)
            yield {
                "file": path,
                "sib": sib.type,
                "frames": list(sib.frames or ()),
                "arfcn": sib.arfcn,
                "time": _time(sib),
                "text": sib.text,
                "summary": sib.summary.to_dict(),
                **({"value": sib.value} if value else {}),
            }


def _partition(files: Iterable[Tuple[str, int, int]], value: bool) -> List[Dict[str, Any]]:
    # The records of a capture are many small dicts kept until the task ends:
    # the cyclic collector would walk all of them again and again (it took
    # four fifths of a worker's time), and they hold no cycles.
    collecting = gc.isenabled()
    gc.disable()
    try:
        return [record for path, _, _ in files for record in capture_records(path, value)]
    finally:
        if collecting:
            gc.enable()


def _identity(path: str) -> Tuple[str, int, int]:
    """The path with its size and modification time: a capture rewritten gets
    new task keys, so Dask never hands back records of its former contents."""
    try:
        stat = os.stat(path)
        return path, stat.st_size, stat.st_mtime_ns
    except OSError:
        return path, -1, -1  # the task reports it


def read_captures(paths: Sequence[str], value: bool = True) -> dask.bag.Bag:
    """A Dask bag of the SIB records of every capture, a partition per file.
    A capture that cannot be read (or ends in a cut record) fails its task
    with sibdecode.CaptureError naming the file and frame."""
    paths = [str(p) for p in paths]
    if not paths:
        return dask.bag.from_sequence([], npartitions=1)
    files = dask.bag.from_sequence([_identity(p) for p in paths], partition_size=1)
    return files.map_partitions(_partition, value)


# One row per SIB: where it came from, and the summary fields that SIB fills.
SUMMARY_COLUMNS = {
    "file": "object",
    "arfcn": "int64",
    "sib": "int64",
    "frames": "object",  # "1,2,3"
    "time": "datetime64[ns, UTC]",
    "cell_identity": "float64",  # SIB3 or SIB4 rows; NaN elsewhere
    "intra_freq_cells": "int64",
    "inter_freq_cells": "int64",
    "inter_rat_cells": "int64",
}


def summary_rows(record: Dict[str, Any]) -> Dict[str, Any]:
    """A record's summary row (see SUMMARY_COLUMNS)."""
    import pandas

    summary = record["summary"]
    identity: Optional[int] = None
    parts = summary_parts(record["sib"])
    if parts & SUMMARY_SIB3_CELL_IDENTITY:
        identity = summary["sib3_cell_identity"]
    elif parts & SUMMARY_SIB4_CELL_IDENTITY:
        identity = summary["sib4_cell_identity"]
    return {
        "file": record["file"],
        "arfcn": record["arfcn"],
        "sib": record["sib"],
        "frames": ",".join(map(str, record["frames"])),
        "time": pandas.Timestamp(record["time"]),
        "cell_identity": float("nan") if identity is None else float(identity),
        "intra_freq_cells": len(summary["intra_freq_cells"]),
        "inter_freq_cells": len(summary["inter_freq_cells"]),
        "inter_rat_cells": len(summary["inter_rat_cells"]),
    }


def summary_frame(paths: Sequence[str]) -> Any:
    """A Dask DataFrame of summary rows, one per SIB of every capture (a
    partition per file): file, arfcn, sib, frames, time, cell identity and the
    neighbour-cell counts."""
    import pandas

    meta = pandas.DataFrame({name: pandas.Series(dtype=dtype)
                             for name, dtype in SUMMARY_COLUMNS.items()})
    return read_captures(paths, value=False).map(summary_rows).to_dataframe(meta=meta)
