"""Many captures on Dask (Debian python3-dask, python3-distributed).

    import sibdecode.dask
    bag = sibdecode.dask.read_captures(["a.pcap", "b.pcapng"])
    rows = sibdecode.dask.summary_frame(["a.pcap", "b.pcapng"])  # a Dask DataFrame
    rows.groupby("arfcn").cell_identity.max().compute()

Each capture is decoded whole and in order by one task, as read_capture does;
small captures are batched into one task, so that Dask's cost per task does
not outweigh the decoding. A task hands its records on one at a time: a
reduction (count, frequencies, foldby, a map that writes them out) keeps one
record at a time in a worker, however long the captures. A record is the SIB
record of docs/records.md: Sib.to_dict(), the object `sibdecode --json`
prints for that SIB, a plain dict of JSON types (time an ISO 8601 string).

A capture that cannot be read becomes an error record, {"file", "error",
"frame"} (frame None when the whole file is concerned; no "type" key), and
the run goes on; errors="skip" leaves it out, errors="raise" fails the task
with sibdecode.CaptureError.
"""

from __future__ import annotations  # annotations stay text: the typing names are not kept

import os
from typing import Any, Dict, Iterator, List, Optional, Sequence, Tuple

import dask.bag
import dask.base

from . import CaptureError, CaptureFault, CaptureReader, Sib, capture_error

__all__ = ["capture_records", "read_captures", "sib_record", "summary_rows", "summary_frame",
           "SUMMARY_COLUMNS", "ERRORS", "is_error"]

ERRORS = ("raise", "record", "skip")
# A task decodes captures adding up to about this many bytes (one capture
# when it is larger), and there are at least a few dozen tasks when there are
# that many captures, so that every worker has its share.
_TASK_BYTES = 64 << 20
_MIN_TASK_BYTES = 1 << 20
_TASKS = 32


def sib_record(sib: Sib, value: bool = True,
               summaries: Optional[Dict[bytes, Dict[str, Any]]] = None) -> Dict[str, Any]:
    """The record of one SIB read from a capture: sib.to_dict(value).
    `summaries` is not used (kept for callers): the SIBs of a reader with
    shared values share the summary dicts of equal summaries."""
    return sib.to_dict(value)


def is_error(record: Dict[str, Any]) -> bool:
    """True for the error record of a capture that could not be read."""
    return "error" in record


def capture_records(path: str, value: bool = True,
                    errors: str = "record") -> Iterator[Dict[str, Any]]:
    """The SIB records of one capture, in capture order (docs/records.md:
    type, type_number, source, frames, arfcn, time as ISO 8601 UTC, complete,
    stop, warnings, summary and, unless value=False, value). Dropped chains
    and packets of the wrong size are left out (read_capture reports them). A capture that cannot be opened, or ends
    in a cut record, ends in an error record (after the SIBs before the cut),
    is left as it is (errors="skip") or raises CaptureError ("raise").
    Records of SIBs of the same type and encoding (a cell repeats its SIBs)
    share one value object, and records of equal summaries one summary dict:
    treat them as read-only (copy one to change it)."""
    if errors not in ERRORS:
        raise ValueError("errors must be one of %s, not %r" % (", ".join(ERRORS), errors))
    fault: Optional[CaptureError] = None
    try:
        # Records carry no text: the reader makes none.
        with CaptureReader(path, shared_values=True, text=False) as reader:
            for event in reader._records(value):  # the Sibs' records, made without the Sibs
                if type(event) is dict:
                    yield event
                elif (isinstance(event, CaptureFault) and event.kind != "wrong_size"
                      and fault is None):
                    fault = event.error()
    except OSError as error:  # CaptureError, or the file went away
        fault = error if isinstance(error, CaptureError) else capture_error(
            path, None, error.strerror or str(error), error.errno)
    if fault is None or errors == "skip":
        return
    if errors == "raise":
        raise fault
    yield {"file": path, "error": fault.message, "frame": fault.frame}


def _identity(path: str) -> Tuple[str, int, int]:
    """The path with its size and modification time: a capture rewritten gets
    new task keys, so Dask never hands back records of its former contents."""
    try:
        stat = os.stat(path)
        return path, stat.st_size, stat.st_mtime_ns
    except OSError:
        return path, -1, -1  # the task reports it


def _tasks(files: List[Tuple[str, int, int]]) -> List[List[Tuple[str, int, int]]]:
    """The captures in order, in groups of about the same size."""
    total = sum(max(size, 0) for _, size, _ in files)
    limit = min(_TASK_BYTES, max(_MIN_TASK_BYTES, total // _TASKS))
    tasks: List[List[Tuple[str, int, int]]] = [[]]
    size = 0
    for file in files:
        if tasks[-1] and size + max(file[1], 0) > limit:
            tasks.append([])
            size = 0
        tasks[-1].append(file)
        size += max(file[1], 0)
    return tasks


def read_captures(paths: Sequence[str], value: bool = True,
                  errors: str = "record") -> dask.bag.Bag:
    """A Dask bag of the SIB records of every capture (see capture_records),
    with an error record for each capture that could not be read (errors=
    "record"), none ("skip"), or the task failing with CaptureError ("raise")."""
    if errors not in ERRORS:
        raise ValueError("errors must be one of %s, not %r" % (", ".join(ERRORS), errors))
    paths = [os.fspath(p) for p in paths]
    if not paths:
        return dask.bag.from_sequence([], npartitions=1)
    files = [_identity(p) for p in paths]
    name = "sibdecode-records-" + dask.base.tokenize(files, value, errors)
    # reify makes a task's records a list when the task stands alone (its
    # result then travels); fused with what follows it (a reduction, a map),
    # Dask's bag optimisation takes reify away and the records stream.
    graph = {(name, k): (dask.bag.core.reify, (_task_records, [path for path, _, _ in task],
                                                value, errors))
             for k, task in enumerate(_tasks(files))}
    return dask.bag.Bag(graph, name, len(graph))


def _task_records(paths: List[str], value: bool, errors: str) -> Iterator[Dict[str, Any]]:
    """A task: the records of its captures, one at a time."""
    for path in paths:
        yield from capture_records(path, value, errors)


# One row per SIB: its record's keys but the summary, which gives the cell
# identity (SIB3 and SIB4 rows; <NA> elsewhere) and the neighbour-cell counts.
# pandas' nullable dtypes: <NA> for what is absent, never a float for an integer.
SUMMARY_COLUMNS = {
    "type": "string",  # "SIB11bis"
    "type_number": "Int64",
    "source": "string",
    "frames": "object",  # a list of frame numbers
    "arfcn": "Int64",
    "time": "datetime64[ns, UTC]",
    "complete": "boolean",
    "stop": "string",  # <NA>, or why the decode stopped ("end of data")
    "cell_identity": "Int64",
    "intra_freq_cells": "Int64",
    "inter_freq_cells": "Int64",
    "inter_rat_cells": "Int64",
}


def summary_rows(record: Dict[str, Any]) -> Dict[str, Any]:
    """A record's summary row (see SUMMARY_COLUMNS)."""
    import pandas

    summary = record["summary"]
    identity = summary["sib3"]["cellIdentity"]
    if identity is None:
        identity = summary["sib4"]["cellIdentity"]
    lists = summary["sib11"]
    return {
        "type": record["type"],
        "type_number": record["type_number"],
        "source": record["source"],
        "frames": record["frames"],
        "arfcn": record["arfcn"],
        "time": pandas.NaT if record["time"] is None else pandas.Timestamp(record["time"]),
        "complete": record["complete"],
        "stop": None if record["stop"] is None else record["stop"]["reason"],
        "cell_identity": identity,
        "intra_freq_cells": len(lists["intraFreqCells"]),
        "inter_freq_cells": len(lists["interFreqCells"]),
        "inter_rat_cells": len(lists["interRATCells"]),
    }


def summary_frame(paths: Sequence[str], errors: str = "skip") -> Any:
    """A Dask DataFrame of summary rows, one per SIB of every capture: type,
    type_number, source, frames, arfcn, time, complete, stop, cell identity
    and the neighbour-cell counts (SUMMARY_COLUMNS). Captures that cannot be read are left out
    (errors="skip") or fail the computation ("raise")."""
    import pandas

    if errors not in ("raise", "skip"):
        raise ValueError("errors must be 'raise' or 'skip', not %r" % (errors,))
    meta = pandas.DataFrame({name: pandas.Series(dtype=dtype)
                             for name, dtype in SUMMARY_COLUMNS.items()})
    return read_captures(paths, value=False, errors=errors).map(summary_rows).to_dataframe(
        meta=meta)


def _survey_inputs(paths: Sequence[str], errors: str) -> List[Any]:
    """What the survey takes of every SIB of the captures, in order: each task
    hands back compact tuples (a digest for the values the survey does not read)."""
    from . import _survey

    records = read_captures(paths, value=True, errors=errors)
    return [item for item in records.map(_survey.survey_input).compute() if item is not None]


def cells(paths: Sequence[str], errors: str = "skip") -> Any:
    """sibdecode.cells over many captures, read by Dask's workers: one table,
    the captures taken in the order given."""
    from . import _survey

    return _survey.table(_survey_inputs(paths, errors), "cells")


def neighbours(paths: Sequence[str], errors: str = "skip") -> Any:
    """sibdecode.neighbours over many captures, as cells()."""
    from . import _survey

    return _survey.table(_survey_inputs(paths, errors), "neighbours")


del annotations, Any, Dict, Iterator, List, Optional, Sequence, Tuple
