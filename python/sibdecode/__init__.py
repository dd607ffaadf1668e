"""sibdecode: TD-SCDMA broadcast system information (SIBs) from BCH transport
blocks and from pcap/pcapng captures of GSMTAP, through libsibdecode.

    import sibdecode

    for sib in sibdecode.read_capture("drive.pcap"):
        print(sib.type, sib.arfcn, sib.frames, sib.time)
        print(sib.summary.sib3_cell_identity, sib.value)

    decoder = sibdecode.Decoder()
    sib = decoder.decode_batch(bytes.fromhex("000E03..."))

Dropped chains (SIBs whose segments did not all arrive) are reported as
DroppedChainWarning warnings, or yielded as DroppedChain objects with
``read_capture(..., drops=True)``. A BCCH-BCH packet of the wrong size is a
CaptureWarning (a CaptureError with ``strict=True``); a capture that cannot be
opened or ends in a cut record raises CaptureError, naming the file and frame,
once everything before the fault has been yielded.

Standard library only (ctypes over the C interface). The library is found
beside the installed package, through SIBDECODE_LIBRARY, or on the system's
library path.
"""

from __future__ import annotations  # annotations stay text: the typing names are not kept

import ast
import ctypes
import datetime
import errno as _errno
import json
import marshal
import os
import stat
import struct
import threading
import warnings
from dataclasses import dataclass
from typing import IO, Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union

from . import _native

__all__ = [
    "Decoder", "Sib", "Summary", "IntraFreqCell", "InterFreqCell", "InterRatCell",
    "DroppedChain", "CaptureFault", "CaptureCounts", "CaptureReader", "GsmtapReader",
    "read_capture", "capture_error", "__version__", "SibType",
    "is_capture", "SibdecodeError", "CaptureError", "CaptureWarning", "DroppedChainWarning",
    "library_version", "summary_parts", "SUMMARY_SIB3_CELL_IDENTITY",
    "SUMMARY_SIB4_CELL_IDENTITY", "SUMMARY_NEIGHBOUR_CELLS", "ABSENT", "Stop",
    "cells", "neighbours", "timeline",
]

__version__ = "0.1.0"  # the library's version: they are built and shipped together

ABSENT = -65535  # the summary record's mark of an optional number absent from the message
_ABSENT_UNSIGNED = ABSENT & 0xFFFFFFFF


class SibdecodeError(Exception):
    """Base of the package's errors."""


class CaptureError(SibdecodeError, OSError):
    """A capture that cannot be read, or a fault in it: an OSError. ``file``
    (also ``filename``) names the capture, ``frame`` the frame (from 1) or None
    when the whole file is concerned, ``message`` (also ``strerror``) what
    happened, ``errno`` the system's error number when there is one. One for a
    file that is missing, may not be read or is a folder is also a
    FileNotFoundError, PermissionError or IsADirectoryError."""

    def __init__(self, file: str, frame: Optional[int], message: str,
                 errno: Optional[int] = None):
        super().__init__(errno, message, file)
        self.file = file
        self.frame = frame
        self.message = message

    def __str__(self) -> str:
        where = self.file if self.frame is None else "%s: frame %d" % (self.file, self.frame)
        return "%s: %s" % (where, self.message)

    def __reduce__(self) -> Any:  # whole across processes (Dask workers)
        return (capture_error, (self.file, self.frame, self.message, self.errno))


class _CaptureNotFoundError(CaptureError, FileNotFoundError):
    pass


class _CapturePermissionError(CaptureError, PermissionError):
    pass


class _CaptureIsADirectoryError(CaptureError, IsADirectoryError):
    pass


_ERRNO_ERRORS = {_errno.ENOENT: _CaptureNotFoundError, _errno.ENOTDIR: _CaptureNotFoundError,
                 _errno.EACCES: _CapturePermissionError, _errno.EPERM: _CapturePermissionError,
                 _errno.EISDIR: _CaptureIsADirectoryError}


def capture_error(file: str, frame: Optional[int], message: str,
                  errno: Optional[int] = None) -> CaptureError:
    """A CaptureError, of the OSError subclass its errno calls for."""
    return _ERRNO_ERRORS.get(errno, CaptureError)(file, frame, message, errno)  # type: ignore


def _check_path(path: bytes, name: str) -> None:
    """Raises the CaptureError of a path that cannot be a capture: missing, a
    folder, not readable. Nothing is opened (a FIFO is opened once, by the library)."""
    try:
        if stat.S_ISDIR(os.stat(path).st_mode):
            raise capture_error(name, None, os.strerror(_errno.EISDIR), _errno.EISDIR)
    except CaptureError:
        raise
    except OSError as error:
        raise capture_error(name, None, error.strerror or str(error), error.errno) from None
    if not os.access(path, os.R_OK):
        raise capture_error(name, None, os.strerror(_errno.EACCES), _errno.EACCES)


class CaptureWarning(UserWarning):
    """A packet that could not be used (a BCCH-BCH message of the wrong size)."""


class DroppedChainWarning(UserWarning):
    """A SIB whose segments did not all arrive (read_capture without drops=True)."""


def library_version() -> str:
    """The version of the loaded libsibdecode, "0.1.0"."""
    return _native.library().sibdecode_version_string().decode()


# ---- the summary record ----

SUMMARY_SIB3_CELL_IDENTITY = 1  # sib3.cellIdentity
SUMMARY_SIB4_CELL_IDENTITY = 2  # sib4.cellIdentity
SUMMARY_NEIGHBOUR_CELLS = 4  # the intra-frequency, inter-frequency and GSM cells


def summary_parts(sib_type: int) -> int:
    """The parts of the summary record a decoded SIB of this type fills:
    SUMMARY_* bits, or'ed (0 for a type the library does not decode)."""
    return _native.library().sibdecode_sib_summary_parts(sib_type)


class IntraFreqCell(NamedTuple):
    intra_freq_cell_id: Optional[int]
    cell_parameters_id: Optional[int]


class InterFreqCell(NamedTuple):
    inter_freq_cell_id: Optional[int]
    uarfcn_nt: Optional[int]
    cell_parameters_id: Optional[int]


class InterRatCell(NamedTuple):
    inter_rat_cell_id: Optional[int]
    bcch_arfcn: Optional[int]
    bsic: Optional[int]  # NCC * 10 + BCC


# 261 32-bit words: SIB3 and SIB4 cell identity, then the three cell lists,
# each a count and 32 entries (inter-RAT 3 words, intra-frequency 2, inter-frequency 3).
_RECORD = struct.Struct("=2I" + "I96i" + "I64i" + "I96i")
_INTER_RAT, _INTRA, _INTER = 2, 99, 164


def _present(value: int) -> Optional[int]:
    return None if value == ABSENT else value


@dataclass(frozen=True)
class Summary:
    """The summary record: cell identity (SIB3, SIB4) and neighbour cells
    (SIB11/SIB12). None where the record holds its absent value, and (made
    with the SIB's type, as Sib.summary is) for a cell identity that SIB does
    not give."""

    sib3_cell_identity: Optional[int]
    sib4_cell_identity: Optional[int]
    intra_freq_cells: Tuple[IntraFreqCell, ...]
    inter_freq_cells: Tuple[InterFreqCell, ...]
    inter_rat_cells: Tuple[InterRatCell, ...]

    @staticmethod
    def words(record: bytes) -> Tuple[int, ...]:
        """The record's 261 words as stored (absent values included)."""
        return _RECORD.unpack(record)

    @classmethod
    def from_record(cls, record: bytes, sib_type: Optional[int] = None) -> "Summary":
        """The Summary of a record. With the type of the SIB that filled it, a
        cell identity that SIB does not give is None (the record holds 0)."""
        w = _RECORD.unpack(record)
        parts = (SUMMARY_SIB3_CELL_IDENTITY | SUMMARY_SIB4_CELL_IDENTITY if sib_type is None
                 else summary_parts(sib_type))

        def cells(at: int, width: int, kind: Any) -> Tuple[Any, ...]:
            count = min(w[at], 32)
            return tuple(kind(*(_present(v) for v in w[at + 1 + k * width:at + 1 + (k + 1) * width]))
                         for k in range(count))

        return cls(
            None if w[0] == _ABSENT_UNSIGNED or not parts & SUMMARY_SIB3_CELL_IDENTITY else w[0],
            None if w[1] == _ABSENT_UNSIGNED or not parts & SUMMARY_SIB4_CELL_IDENTITY else w[1],
            cells(_INTRA, 2, IntraFreqCell),
            cells(_INTER, 3, InterFreqCell),
            cells(_INTER_RAT, 3, InterRatCell),
        )

    def to_dict(self) -> Dict[str, Any]:
        """The summary object of the SIB record, as `sibdecode --json` prints it
        (docs/records.md): the record's names, None (null) where absent."""
        return {
            "sib3": {"cellIdentity": self.sib3_cell_identity},
            "sib4": {"cellIdentity": self.sib4_cell_identity},
            "sib11": {
                "interRATCells": [{"interRATCellID": c.inter_rat_cell_id,
                                   "bcch_ARFCN": c.bcch_arfcn, "bsic": c.bsic}
                                  for c in self.inter_rat_cells],
                "intraFreqCells": [{"intraFreqCellID": c.intra_freq_cell_id,
                                    "cellParametersID": c.cell_parameters_id}
                                   for c in self.intra_freq_cells],
                "interFreqCells": [{"interFreqCellID": c.inter_freq_cell_id,
                                    "uarfcn_Nt": c.uarfcn_nt,
                                    "cellParametersID": c.cell_parameters_id}
                                   for c in self.inter_freq_cells],
            },
        }


# ---- decoding ----



class _Buffer:
    """A text buffer grown to the longest text met."""

    def __init__(self) -> None:
        self.buffer = ctypes.create_string_buffer(0)

    def ensure(self, size: int) -> None:
        if size > len(self.buffer):
            self.buffer = ctypes.create_string_buffer(size)


class Decoder:
    """Decodes batches of 31-byte BCH blocks and bare SIBs. One decoder per
    thread; it keeps its buffers from call to call."""

    def __init__(self) -> None:
        self._lib = _native.library()
        self._handle = self._lib.sibdecode_decoder_create()
        if not self._handle:
            raise MemoryError("sibdecode: no memory for a decoder")
        self._text = _Buffer()
        self._summary = _native.Summary()
        self._type = ctypes.c_uint32()

    def close(self) -> None:
        if getattr(self, "_handle", None):  # also when __init__ failed half-way
            self._lib.sibdecode_decoder_destroy(self._handle)
            self._handle = None

    def __del__(self) -> None:
        self.close()

    def __enter__(self) -> "Decoder":
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def _call(self, function: Any, head: Tuple[Any, ...], data: bytes,
              tail: Tuple[Any, ...] = ()) -> Tuple[int, bytes]:
        """Runs a decode call, again with a larger buffer when the text is longer."""
        if not self._handle:
            raise SibdecodeError("the decoder is closed")
        data = bytes(data)
        self._text.ensure(self._lib.sibdecode_max_text_size(len(data)))
        length = ctypes.c_size_t(0)
        while True:
            buffer = self._text.buffer
            result = function(self._handle, *head, data, len(data), ctypes.byref(self._summary),
                              buffer, len(buffer), ctypes.byref(length), *tail)
            if result == _native.TEXT_TOO_SMALL and length.value > len(buffer):
                self._text.ensure(length.value)
                continue
            break
        if result == _native.NO_MEMORY:
            raise MemoryError("sibdecode: the heap ran out decoding")
        if result != _native.DECODED:
            return result, b""
        return result, ctypes.string_at(buffer, length.value)

    def _record(self) -> bytes:
        return bytes(self._summary.raw)

    def batch_text(self, data: bytes) -> Tuple[Optional[bytes], bytes]:
        """(text bytes or None when nothing was decoded, summary record bytes)."""
        result, text = self._call(self._lib.sibdecode_decode_batch, (), data)
        return (text if result == _native.DECODED else None), self._record()

    def sib_text(self, sib_type: int, data: bytes) -> Tuple[Optional[bytes], bytes]:
        result, text = self._call(self._lib.sibdecode_decode_sib, (sib_type,), data)
        return (text if result == _native.DECODED else None), self._record()

    def batch_json(self, data: bytes) -> Tuple[Optional[bytes], int, bytes]:
        """(JSON bytes or None, SIB type, summary record bytes)."""
        result, value = self._call(self._lib.sibdecode_decode_batch_json, (), data,
                                   (ctypes.byref(self._type),))
        return (value if result == _native.DECODED else None), self._type.value, self._record()

    def sib_json(self, sib_type: int, data: bytes) -> Tuple[Optional[bytes], bytes]:
        result, value = self._call(self._lib.sibdecode_decode_sib_json, (sib_type,), data)
        return (value if result == _native.DECODED else None), self._record()

    def _value_json(self, source: "_Source", sib_type: int) -> Optional[bytes]:
        """The library's JSON of a SIB without the report it appends to a
        stopped or warned decode (the record carries that beside the value)."""
        if source.kind == "batch":
            value, _, _ = self.batch_json(source.data)
        else:
            value, _ = self.sib_json(sib_type, source.data)
        if value is None:
            return None
        report = self._report()
        if not report.decoded or (report.complete and not report.warning_count):
            return value
        # The report is the value's last members (no path holds a quote).
        at = value.rfind(b'"complete":false,' if not report.complete else b'"warnings":[')
        if at <= 0:
            return value
        return value[:at - 1 if value[at - 1:at] == b"," else at] + b"}"

    def report(self) -> "Stop":
        """Where the last decode call stopped: Stop(complete, reason, bit, path,
        warnings), warnings a list of (text, bit, path); reason None when complete."""
        return _stop_of(self._lib, self._report())

    def _report(self) -> Any:
        report = _native.Report()
        report.struct_size = ctypes.sizeof(report)
        if self._lib.sibdecode_decoder_report_get(self._handle, ctypes.byref(report)) != 0:
            raise SibdecodeError("no decode report")
        return report

    def decode_batch(self, data: bytes) -> Optional["Sib"]:
        """The SIB a batch of BCH blocks carries (its text ends in the raw-data
        trailer of the batch), or None when nothing was decoded."""
        text, record = self.batch_text(data)
        if text is None:
            return None
        report = self._report()
        sib = Sib(report.sib_type, text, record, _Source("batch", bytes(data)))
        sib.stop = _stop_of(self._lib, report)
        return sib

    def decode_sib(self, sib_type: Any, data: bytes) -> Optional["Sib"]:
        """A bare SIB of type sib_type (a number or a name, "mib", "11bis"; its
        encoding without BCH framing; no trailer in the text), or None when nothing
        was decoded."""
        sib_type = SibType(sib_type)
        text, record = self.sib_text(sib_type, data)
        if text is None:
            return None
        sib = Sib(sib_type, text, record, _Source("sib", bytes(data)))
        sib.stop = self.report()
        return sib


def _stop_of(lib: ctypes.CDLL, report: Any) -> "Stop":
    """The Stop of a C report."""
    if report.complete and not report.warning_count:  # most SIBs: nothing to convert
        return Stop(True, None, None, None, [], 0, "")
    text = lib.sibdecode_warning_text
    warnings = [(text(n.kind).decode(), n.bit, n.path.decode())
                for n in report.warnings[:min(report.warning_count, 8)]]
    line = ctypes.create_string_buffer(1024)
    length = lib.sibdecode_report_describe(ctypes.byref(report), line, len(line))
    if length >= len(line):
        line = ctypes.create_string_buffer(length + 1)
        lib.sibdecode_report_describe(ctypes.byref(report), line, len(line))
    note = line.value.decode()
    if report.complete:
        return Stop(True, None, None, None, warnings, report.warning_count, note)
    return Stop(False, lib.sibdecode_stop_text(report.stop.kind).decode(), report.stop.bit,
                report.stop.path.decode(), warnings, report.warning_count, note)


class SibType(int):
    """A SIB type: its number (the SIB-Type index; 32 and up the extension types:
    32 SIB11bis, 40 SIB19, ...) with its name ("MIB", "SB1", "SIB5bis", "SIB19")
    as str() and .name. SibType("11bis") and SibType("mib") read a name."""

    def __new__(cls, value: Any) -> "SibType":
        if isinstance(value, str):
            number = ctypes.c_uint32(0)
            if not _native.library().sibdecode_sib_type_from_name(value.encode(),
                                                                   ctypes.byref(number)):
                raise ValueError("no SIB type named %r" % value)
            value = number.value
        return super().__new__(cls, value)

    @property
    def name(self) -> str:
        name = self.__dict__.get("name")  # asked for once per object
        if name is None:
            name = self.__dict__["name"] = _native.library().sibdecode_sib_type_name(
                int(self)).decode()
        return name  # type: ignore[no-any-return]

    def __str__(self) -> str:
        return self.name

    def __repr__(self) -> str:
        return "SibType(%d, %s)" % (int(self), self.name)

    def __reduce__(self) -> Tuple[Any, Tuple[int]]:
        return (SibType, (int(self),))


_local = threading.local()


def _thread_decoder() -> Decoder:
    """A decoder for this thread, for the values decoded on demand."""
    decoder = getattr(_local, "decoder", None)
    if decoder is None:
        decoder = _local.decoder = Decoder()
    return decoder


class _Source(NamedTuple):
    kind: str  # "batch": BCH blocks; "sib": a bare SIB's bits
    data: bytes


class Stop(NamedTuple):
    """What a decode found: complete, or why (reason), where (bit, from the
    SIB's first) and in what (path, as the text names members) it stopped;
    warnings (text, bit, path), the first 8 of warning_count; note, all of it in
    one line as the tool prints it ("stopped at bit 55 in ...: end of data")."""
    complete: bool
    reason: Optional[str]
    bit: Optional[int]
    path: Optional[str]
    warnings: List[Tuple[str, int, str]]
    warning_count: int = 0
    note: str = ""


class Sib:
    """One decoded SIB.

    type     SIB type, a SibType: its number, and its name as str(sib.type) ("SIB11bis")
    text     the library's text (\\r\\n line ends; from a batch or a capture with
             the raw-data trailer of the blocks that carried it)
    value    the decoded value as a dict (built from the library's JSON on first use;
             where the decode stopped and its warnings are `stop`, not among the values)
    summary  the summary record (Summary; None for a cell identity the SIB does not give)
    frames   capture frame numbers of the carrying blocks (None outside captures)
    arfcn    the cell's ARFCN (captures; None elsewhere)
    time     time of the last carrying block, an aware UTC datetime (captures; None elsewhere)
    file     the capture it came from (None for Decoder's SIBs)
    stop     Stop: complete, or where the decode stopped, and its warnings
    complete stop.complete

    to_dict() is its SIB record (docs/records.md), the object `sibdecode --json` prints.
    """

    __slots__ = ("type", "_text", "_record", "_source", "frames", "arfcn", "time", "file",
                 "_value", "_summary", "stop", "_values")

    def __init__(self, sib_type: int, text: bytes, record: bytes, source: _Source,
                 frames: Optional[Tuple[int, ...]] = None, arfcn: Optional[int] = None,
                 time: Optional[datetime.datetime] = None, file: Optional[str] = None):
        self.type = sib_type if type(sib_type) is SibType else SibType(sib_type)
        self._text = text
        self._record = record
        self._source = source
        self.frames = frames
        self.arfcn = arfcn
        self.time = time
        self.file = file
        self._value: Optional[Dict[str, Any]] = None
        self._summary: Optional[Summary] = None
        self.stop: Optional[Stop] = None
        self._values: Optional[_Values] = None  # the values its reader has made

    @property
    def complete(self) -> Optional[bool]:
        return None if self.stop is None else self.stop.complete

    @property
    def text(self) -> str:
        return self._text.decode("utf-8", "surrogateescape")

    @property
    def text_bytes(self) -> bytes:
        """The text exactly as the library wrote it."""
        return self._text

    @property
    def sib_bits(self) -> bytes:
        """The SIB's own encoding (for Decoder.decode_sib); a batch for decode_batch."""
        return self._source.data

    @property
    def value_json(self) -> bytes:
        """The decoded value as the library's JSON text."""
        decoder = _thread_decoder()
        if self._source.kind == "batch":
            value, _, _ = decoder.batch_json(self._source.data)
        else:
            value, _ = decoder.sib_json(self.type, self._source.data)
        if value is None:
            raise SibdecodeError("%s no longer decodes as JSON" % self.type)
        return value

    @property
    def value(self) -> Dict[str, Any]:
        """The decoded values (the record's `value`: complete, stop and
        warnings are the SIB's own attributes, not among the values)."""
        if self._value is None:
            self._value = (json.loads(_value_bytes(self.type, self._source))
                           if self._values is None else self._values.value(self.type, self._source))
        return self._value

    @property
    def summary(self) -> Summary:
        if self._summary is None:
            self._summary = (Summary.from_record(self._record, self.type)
                             if self._values is None
                             else self._values.summary(self._record, self.type))
        return self._summary

    @property
    def summary_record(self) -> bytes:
        """The 1044-byte record as the library filled it."""
        return self._record

    def to_dict(self, value: bool = True, text: bool = False) -> Dict[str, Any]:
        """The SIB record (docs/records.md): exactly the object `sibdecode
        --json` prints for this SIB, JSON types only (time an ISO 8601 string,
        None for what is absent). value=False leaves out "value", text=True
        adds the text as "text". A shared reader's records share their summary
        dicts (read-only, as its values)."""
        record = _sib_record(self.type, self.file,
                             None if self.frames is None else list(self.frames), self.arfcn,
                             None if self.time is None else _iso_time(self.time), self.stop,
                             self.summary.to_dict() if self._values is None
                             else self._values.summary_dict(self._record, self.type))
        if value:
            record["value"] = self.value
        if text:
            record["text"] = self.text
        return record

    def __reduce__(self) -> Any:  # every field, and the value when it was built
        return (Sib, (self.type, self._text, self._record, self._source, self.frames,
                      self.arfcn, self.time, self.file),
                (None, {"stop": self.stop, "_value": self._value}))

    def __repr__(self) -> str:
        where = "" if self.frames is None else " frames %s arfcn %s" % (
            ",".join(map(str, self.frames)), self.arfcn)
        return "<Sib %s%s>" % (self.type, where)


def _value_bytes(sib_type: SibType, source: _Source) -> bytes:
    """A SIB's value as JSON: the library's, without the decode's report."""
    value = _thread_decoder()._value_json(source, sib_type)
    if value is None:
        raise SibdecodeError("%s no longer decodes as JSON" % sib_type)
    return value


def _sib_record(sib_type: SibType, file: Optional[str], frames: Optional[List[int]],
                arfcn: Optional[int], time: Optional[str], stop: Optional[Stop],
                summary: Dict[str, Any]) -> Dict[str, Any]:
    """The SIB record (docs/records.md) but its value and text, in the keys' order."""
    return {
        "type": sib_type.name,
        "type_number": int(sib_type),
        "source": file,
        "frames": frames,
        "arfcn": arfcn,
        "time": time,
        "complete": None if stop is None else stop.complete,
        "stop": None if stop is None or stop.complete else {
            "reason": stop.reason, "bit": stop.bit, "path": stop.path},
        "warnings": [] if stop is None else [
            {"warning": warning, "bit": bit, "path": path}
            for warning, bit, path in stop.warnings],
        "summary": summary,
    }


def _iso_time(time: datetime.datetime) -> str:
    """2026-01-15T09:00:00.020000Z: UTC to the microsecond, as the tool prints times."""
    if time.tzinfo is not datetime.timezone.utc:
        time = time.astimezone(datetime.timezone.utc)
    return time.isoformat(timespec="microseconds")[:-6] + "Z"  # "+00:00" becomes "Z"


def _literal(value: Any) -> Any:
    """The expression that builds a JSON value anew (dicts, lists, text,
    numbers, booleans, None): dict and list displays around constants."""
    kind = type(value)
    if kind is dict:
        return ast.Dict([ast.Constant(key) for key in value],
                        [_literal(item) for item in value.values()])
    if kind is list:
        return ast.List([_literal(item) for item in value], ast.Load())
    if kind not in (str, int, float, bool, type(None)):
        raise TypeError("not a JSON value: %s" % kind.__name__)
    return ast.Constant(value)


_NO_NAMES: Dict[str, Any] = {"__builtins__": {}}


class _Copies:
    """Copies of one value, each a whole new tree of dicts and lists (the text,
    numbers, booleans and None in it are immutable and shared): from marshal
    data at first, and once the value has come COMPILE_AFTER times, from code
    that builds it, which runs two to three times quicker than marshal.loads
    (the leaves are its constants, not made again)."""

    COMPILE_AFTER = 32  # a compile costs about fifty marshal loads of the value
    __slots__ = ("_data", "_code", "_uses")

    def __init__(self, value: Any) -> None:
        self._data = marshal.dumps(value)
        self._code: Any = None
        self._uses = 0

    def copy(self) -> Any:
        code = self._code
        if code is not None:
            return eval(code, _NO_NAMES)  # constants and displays only: no name to look up
        value = marshal.loads(self._data)
        self._uses += 1
        if self._uses == self.COMPILE_AFTER:
            try:
                self._code = compile(ast.fix_missing_locations(ast.Expression(_literal(value))),
                                     "<sibdecode value>", "eval")
            except (RecursionError, MemoryError, TypeError, ValueError):
                pass  # too deep or too large to compile: marshal data it stays
        return value


class _Values:
    """The values of the SIBs one reader read, by type and encoding: a cell
    repeats its SIBs over and over, so most come again. Shared, a SIB that
    came before gets the same value object; otherwise a value of its own, a
    _Copies copy: several times quicker than decoding the SIB and parsing its
    JSON again."""

    LIMIT = 256  # values kept (then the store starts afresh): a few cells' worth

    def __init__(self, shared: bool) -> None:
        self._shared = shared
        self._known: Dict[Tuple[int, bytes], Any] = {}
        self._summaries: Dict[Tuple[int, bytes], Summary] = {}
        self._summary_dicts: Dict[Tuple[int, bytes], Dict[str, Any]] = {}
        self._parts: Dict[int, int] = {}  # summary_parts by SIB type

    def _parts_of(self, sib_type: int) -> int:
        parts = self._parts.get(sib_type)
        if parts is None:
            parts = self._parts[sib_type] = summary_parts(sib_type)
        return parts

    def summary(self, record: bytes, sib_type: int) -> Summary:
        """The Summary of a record (immutable: always shared)."""
        key = (self._parts_of(sib_type), record)
        summary = self._summaries.get(key)
        if summary is None:
            if len(self._summaries) >= self.LIMIT:
                self._summaries.clear()
            summary = self._summaries[key] = Summary.from_record(record, sib_type)
        return summary

    def summary_dict(self, record: bytes, sib_type: int) -> Dict[str, Any]:
        """The summary object of a SIB's record: shared, when values are, by
        the records of equal summaries."""
        if not self._shared:
            return self.summary(record, sib_type).to_dict()
        key = (self._parts_of(sib_type), record)
        summary = self._summary_dicts.get(key)
        if summary is None:
            if len(self._summary_dicts) >= self.LIMIT:
                self._summary_dicts.clear()
            summary = self._summary_dicts[key] = self.summary(record, sib_type).to_dict()
        return summary

    def value(self, sib_type: SibType, source: _Source) -> Dict[str, Any]:
        key = (sib_type, source.data)
        known = self._known.get(key)
        if known is not None:
            return known if self._shared else known.copy()  # type: ignore
        value = json.loads(_value_bytes(sib_type, source))
        if len(self._known) >= self.LIMIT:
            self._known.clear()
        self._known[key] = value if self._shared else _Copies(value)
        return value  # type: ignore[no-any-return]


# ---- captures ----

_DROP_REASONS = {1: "interrupted", 2: "out_of_order", 3: "flushed", 4: "too_late", 5: "evicted"}
_FAULTS = {_native.EVENT_WRONG_SIZE: "wrong_size", _native.EVENT_TRUNCATED: "truncated",
           _native.EVENT_NO_MEMORY: "no_memory"}


@dataclass(frozen=True)
class DroppedChain:
    """A SIB given up before all its segments came: `reason` is "interrupted",
    "out_of_order", "too_late", "flushed" (pending at the end) or "evicted" (given up
    to bound the memory a stream keeps: its cell sent nothing for it too long, or too many
    cells had SIBs pending)."""

    file: str
    type: int
    arfcn: int
    frames: Tuple[int, ...]
    reason: str
    message: str
    time: datetime.datetime


@dataclass(frozen=True)
class CaptureFault:
    """A packet of the wrong size ("wrong_size"; reading went on), a cut or
    unreadable record ("truncated"; the end), or no memory ("no_memory")."""

    file: str
    kind: str
    frame: int
    message: str

    def error(self) -> CaptureError:
        return CaptureError(self.file, self.frame, self.message)


@dataclass(frozen=True)
class CaptureCounts:
    frames: int
    skipped: int
    skipped_link_layer: int
    skipped_not_udp: int
    skipped_other_port: int
    skipped_not_gsmtap: int
    skipped_other_message: int
    wrong_size: int
    sibs_decoded: int
    sibs_not_decoded: int
    chains_dropped: int
    stray_segments: int
    skipped_ip_fragment: int
    skipped_repeated_block: int  # the same packet captured twice: fed once
    sibs_stopped: int  # of sibs_decoded: decoded only up to where the decode stopped
    sibs_warned: int  # of sibs_decoded: decoded with a warning


_EPOCH = datetime.datetime(1970, 1, 1, tzinfo=datetime.timezone.utc)

_CaptureSource = Union[str, "os.PathLike[str]", IO[bytes]]


class _EventSource:
    """A reader handle of the C interface and the events it hands back."""

    name: str

    def __init__(self) -> None:
        self._lib = _native.library()
        self._handle = ctypes.c_void_p()
        self._event = _native.CaptureEvent()
        self._event.struct_size = ctypes.sizeof(_native.CaptureEvent)
        self._values = _Values(False)
        self._types: Dict[int, SibType] = {}  # one object a type: its name is asked for once
        self._second: Tuple[Optional[int], str] = (None, "")  # a second and its ISO 8601 text

    def close(self) -> None:
        if getattr(self, "_handle", None):  # also when __init__ failed half-way
            self._lib.sibdecode_capture_close(self._handle)
            self._handle = ctypes.c_void_p()

    def __enter__(self) -> Any:
        return self

    def __exit__(self, *exc: Any) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()

    def _type(self, number: int) -> SibType:
        sib_type = self._types.get(number)
        if sib_type is None:
            sib_type = self._types[number] = SibType(number)
        return sib_type

    def _sib(self, event: Any) -> Sib:
        """The Sib of a SIB event."""
        time = _EPOCH + datetime.timedelta(seconds=event.seconds, microseconds=event.microseconds)
        sib = Sib(self._type(event.sib_type), ctypes.string_at(event.text, event.text_len),
                  ctypes.string_at(event.summary, _native.SUMMARY_SIZE),
                  _Source("sib", ctypes.string_at(event.sib, event.sib_len)),
                  tuple(event.frames[:event.frame_count]), event.arfcn, time, self.name)
        sib.stop = _stop_of(self._lib, event.report.contents)
        sib._values = self._values
        return sib

    def _record(self, event: Any, value: bool) -> Dict[str, Any]:
        """The SIB record of a SIB event: what _sib(event).to_dict(value)
        gives, made without the Sib (nor a copy of its text)."""
        sib_type = self._type(event.sib_type)
        seconds, microseconds = event.seconds, event.microseconds
        if microseconds >= 1000000:  # not a frame time's: the datetime carries it on
            time = _iso_time(_EPOCH + datetime.timedelta(seconds=seconds,
                                                         microseconds=microseconds))
        else:  # the date and second written once for the SIBs of that second
            if self._second[0] != seconds:
                self._second = (seconds, _iso_time(
                    _EPOCH + datetime.timedelta(seconds=seconds))[:-8])
            time = "%s.%06dZ" % (self._second[1], microseconds)
        record = _sib_record(sib_type, self.name, event.frames[:event.frame_count], event.arfcn,
                             time, _stop_of(self._lib, event.report.contents),
                             self._values.summary_dict(
                                 ctypes.string_at(event.summary, _native.SUMMARY_SIZE), sib_type))
        if value:
            record["value"] = self._values.value(
                sib_type, _Source("sib", ctypes.string_at(event.sib, event.sib_len)))
        return record

    def _take(self, sib_of: Optional[Any] = None) -> Iterator[Any]:
        """The events waiting (for a file: read as far as the next one): of
        a SIB, what sib_of makes of it (a Sib without sib_of)."""
        lib, event, name = self._lib, self._event, self.name
        sib_of = sib_of or self._sib
        while self._handle and lib.sibdecode_capture_next(self._handle, ctypes.byref(event)) == 1:
            if event.kind == _native.EVENT_SIB:
                yield sib_of(event)
            elif event.kind == _native.EVENT_DROP:
                time = _EPOCH + datetime.timedelta(seconds=event.seconds,
                                                   microseconds=event.microseconds)
                yield DroppedChain(name, SibType(event.sib_type), event.arfcn,
                                   tuple(event.frames[:event.frame_count]),
                                   _DROP_REASONS.get(event.drop_reason, "dropped"),
                                   event.message.decode(errors="replace"), time)
            else:
                yield CaptureFault(name, _FAULTS.get(event.kind, "fault"), event.frame,
                                   event.message.decode(errors="replace"))

    @property
    def counts(self) -> CaptureCounts:
        """Frames read, packets skipped (by cause), SIBs, drops so far."""
        counts = _native.CaptureCounts()
        counts.struct_size = ctypes.sizeof(counts)
        if self._handle:
            self._lib.sibdecode_capture_counts_get(self._handle, ctypes.byref(counts))
        return CaptureCounts(*(getattr(counts, field) for field, _ in counts._fields_[1:]))


class CaptureReader(_EventSource):
    """Every event of one capture, in capture order: Sib, DroppedChain and
    CaptureFault objects. Reads as far as the next event only, so memory stays
    flat however long the capture. `source` is a path or a binary file object
    (read from where it stands; never seeked). `name` names it in errors.
    With shared_values, SIBs of the same type and encoding share one `value`
    object (treat it as read-only): the value of a SIB that came before costs
    nothing; otherwise each SIB's value is its own. With text=False the SIBs'
    texts are not made (each `text` is empty): for a reader of values and
    summaries only, it saves most of the decoding time."""

    def __init__(self, source: _CaptureSource, name: Optional[str] = None, *,
                 shared_values: bool = False, text: bool = True):
        super().__init__()
        self._values = _Values(shared_values)
        self._read_error: Optional[BaseException] = None
        self._reader = None
        message = ctypes.create_string_buffer(512)
        if isinstance(source, (str, bytes, os.PathLike)):
            path = os.fsencode(source)
            self.name = name if name is not None else os.fsdecode(path)
            _check_path(path, self.name)
            status = self._lib.sibdecode_capture_open_file(path, ctypes.byref(self._handle),
                                                           message, len(message))
        else:
            self.name = name if name is not None else str(getattr(source, "name", "<stream>"))
            self._reader = _native.READ_FUNCTION(self._read_function(source))
            status = self._lib.sibdecode_capture_open_read(self._reader, None,
                                                           ctypes.byref(self._handle), message,
                                                           len(message))
        if status != _native.CAPTURE_OK:
            if self._read_error is not None:
                raise self._read_error
            raise CaptureError(self.name, None, message.value.decode(errors="replace"))
        if not text:
            self._lib.sibdecode_capture_set_text(self._handle, 0)

    def _read_function(self, stream: IO[bytes]) -> Any:
        readinto = getattr(stream, "readinto", None)

        def read(_context: Any, buffer: int, size: int) -> int:
            try:
                if readinto is not None:
                    n = readinto((ctypes.c_char * size).from_address(buffer)) or 0
                else:
                    data = stream.read(size) or b""
                    n = len(data)
                    if n <= size:
                        ctypes.memmove(buffer, data, n)
                if n > size:  # never copied: the room ends at `size`
                    raise ValueError("%s: read(%d) returned %d bytes, more than asked for"
                                     % (self.name, size, n))
                return n
            except BaseException as error:  # reported by the iteration, not lost in C
                self._read_error = error
                return -1

        return read

    def __enter__(self) -> "CaptureReader":
        return self

    def __iter__(self) -> Iterator[Union[Sib, DroppedChain, CaptureFault]]:
        return self._events(self._take())

    def _records(self, value: bool) -> Iterator[Union[Dict[str, Any], DroppedChain,
                                                      CaptureFault]]:
        """Its events with SIB records for Sibs: each the to_dict(value) of its Sib."""
        return self._events(self._take(lambda event: self._record(event, value)))

    def _events(self, events: Iterator[Any]) -> Iterator[Any]:
        for event in events:
            if self._read_error is not None:
                raise self._read_error
            yield event
        if self._read_error is not None:
            raise self._read_error


class GsmtapReader(_EventSource):
    """SIBs from GSMTAP datagrams as a program receives them (no capture file,
    no libpcap):

        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        sock.bind(("127.0.0.1", 4729))
        reader = sibdecode.GsmtapReader()
        while True:
            for event in reader.feed(sock.recv(65535)):
                ...

    Each datagram is a frame (counted from 1); `feed` returns the events it
    brought (Sib, DroppedChain, CaptureFault), `finish` the chains still pending."""

    def __init__(self, name: str = "<gsmtap>"):
        super().__init__()
        self.name = name
        self._handle = ctypes.c_void_p(self._lib.sibdecode_capture_create_gsmtap())
        if not self._handle:
            raise MemoryError("sibdecode: no memory for a reader")

    def __enter__(self) -> "GsmtapReader":
        return self

    def feed(self, datagram: bytes, time: Optional[datetime.datetime] = None
             ) -> List[Union[Sib, DroppedChain, CaptureFault]]:
        """One UDP payload (GSMTAP header and message) received at `time`
        (an aware datetime; now when None)."""
        if not self._handle:
            raise SibdecodeError("the reader is closed")
        stamp = (time or datetime.datetime.now(datetime.timezone.utc)) - _EPOCH
        seconds = stamp.days * 86400 + stamp.seconds
        data = bytes(datagram)
        self._lib.sibdecode_capture_feed_gsmtap(self._handle, data, len(data), seconds,
                                                stamp.microseconds)
        return list(self._take())

    def finish(self) -> List[Union[Sib, DroppedChain, CaptureFault]]:
        """Gives up the chains still pending (DroppedChain, reason "flushed")."""
        if self._handle:
            self._lib.sibdecode_capture_finish(self._handle)
        return list(self._take())


def read_capture(source: _CaptureSource, *, drops: bool = False, strict: bool = False,
                 name: Optional[str] = None,
                 shared_values: bool = False) -> Iterator[Union[Sib, DroppedChain]]:
    """Yields the SIBs of a pcap or pcapng capture (GSMTAP UMTS RRC BCCH-BCH
    over UDP port 4729, cells told apart by ARFCN), each as soon as its last
    segment is read.

    drops          also yield DroppedChain objects (otherwise: DroppedChainWarning)
    strict         a packet of the wrong size raises CaptureError (otherwise: CaptureWarning)
    shared_values  SIBs of the same type and encoding (a cell repeats its SIBs)
                   share one `value` object, read-only by contract: a repeated
                   SIB's value then costs nothing (otherwise each has its own copy)

    A capture that cannot be opened raises CaptureError at once, before
    anything is iterated; one that ends in a cut record raises it after the
    SIBs before the cut (and the chains dropped by the end) have come.
    """
    return _read(CaptureReader(source, name, shared_values=shared_values), drops, strict)


def _read(reader: CaptureReader, drops: bool, strict: bool) -> Iterator[Union[Sib, DroppedChain]]:
    with reader:
        fault: Optional[CaptureFault] = None
        for event in reader:
            if isinstance(event, Sib):
                yield event
            elif isinstance(event, DroppedChain):
                if drops:
                    yield event
                else:
                    warnings.warn("%s: frames %s: %s on ARFCN %d dropped: %s" % (
                        event.file, ",".join(map(str, event.frames)), event.type, event.arfcn,
                        event.message), DroppedChainWarning, stacklevel=2)
            elif event.kind == "wrong_size":
                if strict:
                    raise event.error()
                warnings.warn(str(event.error()), CaptureWarning, stacklevel=2)
            elif fault is None:
                fault = event  # raised once the events after it are delivered
        if fault is not None:
            raise fault.error()


def is_capture(source: Union[bytes, str, "os.PathLike[str]"]) -> bool:
    """True when the bytes, or the file a path names, start with a pcap or
    pcapng magic number. A path is opened and its first 4 bytes read (OSError
    when it cannot be); bytes and bytearrays are data, never paths."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        head = bytes(source[:4])
    else:
        with open(source, "rb") as f:
            head = f.read(4)
    return bool(_native.library().sibdecode_is_capture_magic(head, len(head)))


from ._survey import cells, neighbours, timeline  # noqa: E402  (over the classes above)

# The package's names only: no typing helpers among them.
del annotations, IO, Any, Dict, Iterator, List, NamedTuple, Optional, Tuple, Union, dataclass
