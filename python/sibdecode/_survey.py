"""The cell survey over SIBs (docs/records.md): the library's, through the C
interface. `cells`, `neighbours` and `timeline` take Sib objects or SIB records
(dicts with their `value`, as `Sib.to_dict()` and `sibdecode.dask` give them) in
the order they were received and give pandas DataFrames."""
from __future__ import annotations  # annotations stay text: the typing names are not kept

import calendar
import ctypes
import datetime
import hashlib
import json
from typing import Any, Dict, Iterable, List, Optional, Tuple

from . import _native


_TIME = "datetime64[ns, UTC]"
CELL_COLUMNS = {
    "cell": "Int64", "arfcn": "Int64", "mode": "string", "plmn": "string", "lac": "Int64",
    "rac": "Int64", "cell_identity": "Int64", "cell_identity_hex": "string", "rnc_id": "Int64",
    "c_id": "Int64", "first_time": _TIME, "last_time": _TIME, "mib_value_tag": "Int64",
    "value_tags": "object", "intra_freq_cells": "Int64", "inter_freq_cells": "Int64",
    "gsm_cells": "Int64", "eutra_frequencies": "Int64", "sibs": "object",
}
NEIGHBOUR_COLUMNS = {
    "cell": "Int64", "serving_arfcn": "Int64", "serving_cell_identity": "Int64", "sib": "string",
    "kind": "string", "neighbour_id": "Int64", "mode": "string", "uarfcn": "Int64",
    "gsm_arfcn": "Int64", "gsm_band": "string", "earfcn": "Int64", "cell_parameters_id": "Int64",
    "primary_scrambling_code": "Int64", "ncc": "Int64", "bcc": "Int64",
    "physical_cell_id": "Int64", "priority": "Int64", "thresh_x_high": "Int64",
    "thresh_x_low": "Int64", "q_rxlev_min": "Int64", "q_offset": "Int64",
}
TIMELINE_COLUMNS = {
    "cell": "Int64", "type": "string", "type_number": "Int64", "time": _TIME,
    "version": "Int64", "changed": "boolean", "complete": "boolean",
}
COLUMNS = {"cells": CELL_COLUMNS, "neighbours": NEIGHBOUR_COLUMNS, "timeline": TIMELINE_COLUMNS}
_RECORDS = {"cells": 0, "neighbours": 1, "timeline": 2}

# (type number, ARFCN or None, (seconds, microseconds) or None, complete, value text,
#  the capture it came from)
SurveyInput = Tuple[int, Optional[int], Optional[Tuple[int, int]], bool, bytes, Optional[str]]


def _value_text(sib_type: int, value: Any) -> bytes:
    """The value as compact JSON, the library's own form; for a type whose
    values are not read, a digest of it (only telling contents apart matters)."""
    text = json.dumps(value, separators=(",", ":"), ensure_ascii=False).encode("utf-8")
    if _native.library().sibdecode_survey_reads_values(sib_type):
        return text
    return hashlib.blake2b(text, digest_size=16).digest()


def _seconds(time: datetime.datetime) -> Tuple[int, int]:
    return calendar.timegm(time.utctimetuple()), time.microsecond


def survey_input(sib: Any) -> Optional[SurveyInput]:
    """What the survey takes of a Sib or a SIB record; None for a Dask error record."""
    if isinstance(sib, dict):
        if "type" not in sib:
            return None
        if "value" not in sib:
            raise ValueError("the survey reads the SIBs' values: read the records with value=True")
        time = sib["time"]
        when = None
        if time is not None:
            when = _seconds(datetime.datetime.strptime(time, "%Y-%m-%dT%H:%M:%S.%fZ"))
        return (int(sib["type_number"]), sib["arfcn"], when, bool(sib["complete"]),
                _value_text(int(sib["type_number"]), sib["value"]), sib["source"])
    sib_type = int(sib.type)
    when = None if sib.time is None else _seconds(sib.time)
    return (sib_type, sib.arfcn, when, sib.complete is not False, _value_text(sib_type, sib.value),
            sib.file)


def survey_records(inputs: Iterable[Optional[SurveyInput]],
                   kinds: Tuple[str, ...] = ("cells", "neighbours", "timeline"),
                   ) -> Dict[str, List[Dict[str, Any]]]:
    """The survey's records of each kind asked for, as dicts (the JSON objects)."""
    lib = _native.library()
    survey = lib.sibdecode_survey_create(1 if "timeline" in kinds else 0)
    if not survey:
        raise MemoryError("sibdecode: no memory for the survey")
    try:
        sib = _native.SurveySib()
        sib.struct_size = ctypes.sizeof(sib)
        source = None
        for item in inputs:
            if item is None:
                continue
            sib_type, arfcn, when, complete, value, origin = item
            if origin != source:  # what waits for an identity at a capture's end is its own
                lib.sibdecode_survey_settle(survey)
                source = origin
            sib.sib_type = sib_type
            sib.has_arfcn = arfcn is not None
            sib.arfcn = 0 if arfcn is None else arfcn
            sib.has_time = when is not None
            sib.seconds, sib.microseconds = (0, 0) if when is None else when
            sib.complete = complete
            sib.value = value
            sib.value_len = len(value)
            result = lib.sibdecode_survey_add(survey, ctypes.byref(sib))
            if result == _native.NO_MEMORY:
                raise MemoryError("sibdecode: no memory for the survey")
            if result == _native.BAD_ARGUMENT:
                raise ValueError("not a SIB type: %r" % (sib_type,))
        records = {}
        for kind in kinds:
            records[kind] = [json.loads(line) for line in _write(lib, survey, _RECORDS[kind])]
        return records
    finally:
        lib.sibdecode_survey_destroy(survey)


def _write(lib: ctypes.CDLL, survey: Any, kind: int) -> List[bytes]:
    size = ctypes.c_size_t(0)
    buffer = ctypes.create_string_buffer(1 << 16)
    while True:
        result = lib.sibdecode_survey_write(survey, kind, 0, buffer, len(buffer),
                                            ctypes.byref(size))
        if result == _native.TEXT_TOO_SMALL:
            buffer = ctypes.create_string_buffer(size.value)
            continue
        if result != _native.DECODED:
            raise MemoryError("sibdecode: no memory for the survey's records")
        return buffer.raw[:size.value].splitlines()


def frame(records: List[Dict[str, Any]], columns: Dict[str, str]) -> Any:
    """The records as a DataFrame with the columns in order, nullable dtypes."""
    import pandas

    data = {}
    for name, dtype in columns.items():
        values = [record[name] for record in records]
        if dtype == _TIME:
            data[name] = pandas.Series(pandas.to_datetime(values, utc=True), dtype=dtype)
        else:
            data[name] = pandas.Series(values, dtype=dtype)
    return pandas.DataFrame(data, columns=list(columns))


def table(inputs: Iterable[Optional[SurveyInput]], kind: str) -> Any:
    """The survey's records of one kind ("cells", "neighbours", "timeline") as
    a DataFrame with their columns."""
    return frame(survey_records(inputs, (kind,))[kind], COLUMNS[kind])


def cells(sibs: Iterable[Any]) -> Any:
    """One row per cell (CELL_COLUMNS): network, LAC, RAC, identity, value
    tags, neighbour counts and per SIB type its counts, versions and changes."""
    return table(map(survey_input, sibs), "cells")


def neighbours(sibs: Iterable[Any]) -> Any:
    """One row per neighbour entry of each cell's latest SIB11, SIB11bis, SIB12
    and SIB19 (NEIGHBOUR_COLUMNS)."""
    return table(map(survey_input, sibs), "neighbours")


def timeline(sibs: Iterable[Any]) -> Any:
    """One row per SIB received: its cell, type, time, version and whether it
    changed (TIMELINE_COLUMNS)."""
    return table(map(survey_input, sibs), "timeline")
