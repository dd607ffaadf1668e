"""ctypes declarations of the C interface (include/sibdecode/sibdecode_c.h) and
the loading of libsibdecode."""

import ctypes
import ctypes.util
import os
import sys
from typing import Optional

DECODED = 1
NOTHING_DECODED = 0
TEXT_TOO_SMALL = -1
NO_MEMORY = -2
BAD_ARGUMENT = -3

CAPTURE_OK = 0
CAPTURE_NO_LIBPCAP = 1
CAPTURE_UNREADABLE = 2
CAPTURE_NO_MEMORY = 3

EVENT_SIB = 1
EVENT_DROP = 2
EVENT_WRONG_SIZE = 3
EVENT_TRUNCATED = 4
EVENT_NO_MEMORY = 5

SUMMARY_SIZE = 1044


class Summary(ctypes.Structure):
    """The 1044-byte summary record, as bytes: parsed by the package's Summary."""

    _fields_ = [("raw", ctypes.c_uint8 * SUMMARY_SIZE)]


class Note(ctypes.Structure):
    _fields_ = [("kind", ctypes.c_int32), ("bit", ctypes.c_uint64), ("path", ctypes.c_char * 640)]


class Report(ctypes.Structure):
    _fields_ = [("struct_size", ctypes.c_uint32), ("sib_type", ctypes.c_uint32),
                ("decoded", ctypes.c_int32), ("complete", ctypes.c_int32),
                ("warning_count", ctypes.c_uint32), ("end_bit", ctypes.c_uint64),
                ("stop", Note), ("warnings", Note * 8)]


class CaptureEvent(ctypes.Structure):
    _fields_ = [
        ("struct_size", ctypes.c_uint32),
        ("kind", ctypes.c_int32),
        ("frame", ctypes.c_uint64),
        ("seconds", ctypes.c_int64),
        ("microseconds", ctypes.c_uint32),
        ("sib_type", ctypes.c_uint32),
        ("arfcn", ctypes.c_uint64),
        ("drop_reason", ctypes.c_int32),
        ("frames", ctypes.POINTER(ctypes.c_uint64)),
        ("frame_count", ctypes.c_size_t),
        ("text", ctypes.c_void_p),
        ("text_len", ctypes.c_size_t),
        ("summary", ctypes.c_void_p),
        ("sib", ctypes.c_void_p),
        ("sib_len", ctypes.c_size_t),
        ("blocks", ctypes.c_void_p),
        ("blocks_len", ctypes.c_size_t),
        ("message", ctypes.c_char_p),
        ("report", ctypes.POINTER(Report)),
    ]


class CaptureCounts(ctypes.Structure):
    _fields_ = [("struct_size", ctypes.c_uint32)] + [
        (name, ctypes.c_uint64)
        for name in ("frames", "skipped", "skipped_link_layer", "skipped_not_udp",
                     "skipped_other_port", "skipped_not_gsmtap", "skipped_other_message",
                     "wrong_size", "sibs_decoded", "sibs_not_decoded", "chains_dropped",
                     "stray_segments", "skipped_ip_fragment", "skipped_repeated_block",
                     "sibs_stopped", "sibs_warned")
    ]


class SurveySib(ctypes.Structure):
    _fields_ = [("struct_size", ctypes.c_uint32), ("sib_type", ctypes.c_uint32),
                ("has_arfcn", ctypes.c_int32), ("arfcn", ctypes.c_uint64),
                ("has_time", ctypes.c_int32), ("seconds", ctypes.c_int64),
                ("microseconds", ctypes.c_uint32), ("complete", ctypes.c_int32),
                ("value", ctypes.c_char_p), ("value_len", ctypes.c_size_t)]


READ_FUNCTION = ctypes.CFUNCTYPE(ctypes.c_int64, ctypes.c_void_p, ctypes.c_void_p,
                                 ctypes.c_size_t)

_P = ctypes.c_void_p
_SIZE = ctypes.c_size_t
_PSIZE = ctypes.POINTER(ctypes.c_size_t)
_DECODE_ARGS = [_P, ctypes.c_char_p, _SIZE, ctypes.POINTER(Summary), ctypes.c_void_p, _SIZE,
                _PSIZE]
_SIGNATURES = {
    "sibdecode_version": (ctypes.c_uint32, []),
    "sibdecode_version_string": (ctypes.c_char_p, []),
    "sibdecode_decoder_create": (_P, []),
    "sibdecode_decoder_destroy": (None, [_P]),
    "sibdecode_max_text_size": (_SIZE, [_SIZE]),
    "sibdecode_sib_summary_parts": (ctypes.c_uint32, [ctypes.c_uint32]),
    "sibdecode_decode_batch": (ctypes.c_int32, _DECODE_ARGS),
    "sibdecode_decode_batch_json": (ctypes.c_int32,
                                    _DECODE_ARGS + [ctypes.POINTER(ctypes.c_uint32)]),
    "sibdecode_decode_sib": (ctypes.c_int32, [_P, ctypes.c_uint32] + _DECODE_ARGS[1:]),
    "sibdecode_decode_sib_json": (ctypes.c_int32, [_P, ctypes.c_uint32] + _DECODE_ARGS[1:]),
    "sibdecode_capture_open_file": (ctypes.c_int32, [ctypes.c_char_p, ctypes.POINTER(_P),
                                                     ctypes.c_char_p, _SIZE]),
    "sibdecode_capture_open_read": (ctypes.c_int32, [READ_FUNCTION, _P, ctypes.POINTER(_P),
                                                     ctypes.c_char_p, _SIZE]),
    "sibdecode_capture_create_gsmtap": (_P, []),
    "sibdecode_capture_feed_gsmtap": (ctypes.c_int32, [_P, ctypes.c_char_p, _SIZE, ctypes.c_int64,
                                                       ctypes.c_uint32]),
    "sibdecode_capture_finish": (ctypes.c_int32, [_P]),
    "sibdecode_capture_next": (ctypes.c_int32, [_P, ctypes.POINTER(CaptureEvent)]),
    "sibdecode_capture_counts_get": (ctypes.c_int32, [_P, ctypes.POINTER(CaptureCounts)]),
    "sibdecode_capture_close": (None, [_P]),
    "sibdecode_capture_set_text": (ctypes.c_int32, [_P, ctypes.c_int32]),
    "sibdecode_is_capture_magic": (ctypes.c_int32, [ctypes.c_char_p, _SIZE]),
    "sibdecode_decoder_report_get": (ctypes.c_int32, [_P, ctypes.POINTER(Report)]),
    "sibdecode_stop_text": (ctypes.c_char_p, [ctypes.c_int32]),
    "sibdecode_sib_type_name": (ctypes.c_char_p, [ctypes.c_uint32]),
    "sibdecode_sib_type_from_name": (ctypes.c_int32, [ctypes.c_char_p,
                                                      ctypes.POINTER(ctypes.c_uint32)]),
    "sibdecode_warning_text": (ctypes.c_char_p, [ctypes.c_int32]),
    "sibdecode_survey_reads_values": (ctypes.c_int32, [ctypes.c_uint32]),
    "sibdecode_survey_create": (_P, [ctypes.c_int32]),
    "sibdecode_survey_destroy": (None, [_P]),
    "sibdecode_survey_settle": (None, [_P]),
    "sibdecode_survey_add": (ctypes.c_int32, [_P, ctypes.POINTER(SurveySib)]),
    "sibdecode_survey_write": (ctypes.c_int32, [_P, ctypes.c_int32, ctypes.c_int32, ctypes.c_char_p,
                                                _SIZE, _PSIZE]),
    "sibdecode_report_describe": (ctypes.c_size_t, [ctypes.POINTER(Report), ctypes.c_char_p,
                                                    ctypes.c_size_t]),
}

_library: Optional[ctypes.CDLL] = None


def _candidates():
    """Where libsibdecode may be, the most specific first."""
    named = os.environ.get("SIBDECODE_LIBRARY")
    if named:
        yield named
        return
    try:  # written by the build and by `cmake --install`: the library beside the package
        from . import _location
        yield os.path.normpath(os.path.join(os.path.dirname(__file__), _location.LIBRARY))
    except ImportError:
        pass
    yield ctypes.util.find_library("sibdecode") or ""
    yield "sibdecode.dll" if sys.platform == "win32" else "libsibdecode.so.0"


def library() -> ctypes.CDLL:
    """libsibdecode, loaded at the first call (SIBDECODE_LIBRARY names another file)."""
    global _library
    if _library is not None:
        return _library
    errors = []
    for path in _candidates():
        if not path:
            continue
        try:
            lib = ctypes.CDLL(path)
        except OSError as error:
            errors.append(str(error))
            continue
        for name, (restype, argtypes) in _SIGNATURES.items():
            function = getattr(lib, name)
            function.restype = restype
            function.argtypes = argtypes
        if lib.sibdecode_version() >> 16 != 0 or (lib.sibdecode_version() >> 8) & 0xFF < 1:
            raise OSError("%s is libsibdecode %s; this package needs 0.1 or later 0.x"
                          % (path, lib.sibdecode_version_string().decode()))
        _library = lib
        return lib
    raise OSError("libsibdecode cannot be loaded (set SIBDECODE_LIBRARY to its path): "
                  + "; ".join(errors))
