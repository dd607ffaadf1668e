"""The Python package against the command-line tool: the same SIBs, texts,
values and summaries from captures and hex batches; errors naming file and
frame; streaming in flat memory; `python3 -m sibdecode` printing what the tool
prints. Run by run_tests.py (ctest), which says where the tool and the
package are."""

import datetime
import io
import json
import os
import pickle
import re
import resource
import subprocess
import sys
import warnings

import pytest

import sibdecode

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "capture"))
import make_capture  # noqa: E402

TOOL = os.environ.get("SIBDECODE_CLI", "sibdecode")
SAMPLE_PCAP = os.path.join(ROOT, "examples", "sample.pcap")
SAMPLE_HEX = os.path.join(ROOT, "examples", "sample.hex")
EXTENSION_PCAP = os.path.join(ROOT, "examples", "extension_types.pcap")
TWO_CELLS_PCAP = os.path.join(ROOT, "examples", "two_cells.pcap")
# The examples' captures and every capture of the capture check.
RECORD_CAPTURES = ["SAMPLE_PCAP", "EXTENSION_PCAP", "TWO_CELLS_PCAP", "cells.pcap", "cells_cooked_ipv6.pcapng",
                   "cells_raw_ipv4.pcap", "cells_two_links.pcapng", "wrong_size.pcap",
                   "stopped.pcap"]
REPORT_KEYS = {"complete", "stop", "warnings"}
# Two bare SIB3s, one a line: a list above its SIZE bound followed by bits set
# after the SIB's end (two warnings), and one cut after 7 bytes (stopped).
WARNED_AND_STOPPED_HEX = (
    "f7e4a6ef2fffffed7ffff6bffffb5ffffdaeffffed7ffff6bffffb5dffffdaffffed5fffffe2c5"
    "88bc58b138b178b162b69fff1dffa6fdffffdaffffed7ffff6bf3eaf5fffffffffffffffffffe7fe0080\n"
    "16df875e0e3e86\n")
COMMENT = re.compile(rb"^# frames ([0-9,]+) arfcn (\d+) time (\S+)\n", re.M)


def tool(*args, stdin=None):
    proc = subprocess.run([TOOL] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          stdin=stdin)
    return proc.returncode, proc.stdout, proc.stderr.decode()


@pytest.fixture(scope="module")
def captures(tmp_path_factory):
    """The capture check's captures (cells, pcapng over cooked IPv6, raw IPv4,
    a wrong-size packet) and cut and refused copies."""
    folder = tmp_path_factory.mktemp("captures")
    make_capture.test_captures(str(folder))
    data = (folder / "cells.pcap").read_bytes()
    (folder / "cut.pcap").write_bytes(data[:-20])
    (folder / "bad.pcap").write_bytes(data[:4] + b"\x09\x00" + data[6:24])
    return folder


def capture_path(name, captures):
    return {"SAMPLE_PCAP": SAMPLE_PCAP, "EXTENSION_PCAP": EXTENSION_PCAP,
            "TWO_CELLS_PCAP": TWO_CELLS_PCAP}.get(
        name, str(captures / name))


def tool_records(*args):
    """The objects `sibdecode --json ARGS` prints, one per line."""
    _, out, _ = tool("--json", *args)  # exit status 2 for a SIB that stopped early
    return [json.loads(line) for line in out.decode().splitlines()]


def tool_sibs(path):
    """[(frames, arfcn, time, text bytes)] and [json objects] the tool prints."""
    _, out, _ = tool(path)
    marks = list(COMMENT.finditer(out))
    sibs = []
    for k, m in enumerate(marks):
        end = marks[k + 1].start() if k + 1 < len(marks) else len(out)
        sibs.append((tuple(int(f) for f in m.group(1).split(b",")), int(m.group(2)),
                     m.group(3).decode(), out[m.end():end - 1]))  # "\n" behind each text
    _, out, _ = tool("--json", path)
    return sibs, [json.loads(line) for line in out.decode().splitlines()]


def summary_as_tool_json(summary, sib_type):
    """The tool's JSON summary object from a Summary of a SIB of the given type
    (absent values null; a cell identity only for the SIB that carries it):
    Summary.to_dict(), once its attributes are seen to hold the same values."""
    record = summary.to_dict()
    assert summary.sib3_cell_identity is None or sib_type == 3
    assert summary.sib4_cell_identity is None or sib_type == 4
    assert record["sib3"]["cellIdentity"] == summary.sib3_cell_identity
    assert record["sib4"]["cellIdentity"] == summary.sib4_cell_identity
    lists = record["sib11"]
    for key, cells in (("interRATCells", summary.inter_rat_cells),
                       ("intraFreqCells", summary.intra_freq_cells),
                       ("interFreqCells", summary.inter_freq_cells)):
        assert [tuple(c.values()) for c in lists[key]] == list(cells)
    return record


@pytest.mark.parametrize("name", ["sample", "cells.pcap", "cells_cooked_ipv6.pcapng",
                                  "cells_raw_ipv4.pcap"])
def test_read_capture_gives_what_the_tool_prints(name, captures):
    path = SAMPLE_PCAP if name == "sample" else str(captures / name)
    texts, objects = tool_sibs(path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", sibdecode.DroppedChainWarning)
        sibs = list(sibdecode.read_capture(path))
    assert len(sibs) == len(texts) == len(objects) > 0
    for sib, (frames, arfcn, time, text), obj in zip(sibs, texts, objects):
        assert (sib.frames, sib.arfcn, sib.file) == (frames, arfcn, path)
        assert sib.time.strftime("%Y-%m-%dT%H:%M:%S.%fZ") == time
        assert sib.text_bytes == text and sib.text == text.decode()
        assert sib.type == obj["type_number"] and str(sib.type) == obj["type"]
        assert sib.value == obj["value"]
        assert summary_as_tool_json(sib.summary, sib.type) == obj["summary"]
        assert sib.time == datetime.datetime.fromisoformat(obj["time"].replace("Z", "+00:00"))


def deface(value):
    """Changes every dict and list in a value, however deep."""
    items = list(value.values()) if isinstance(value, dict) else list(value)
    if isinstance(value, dict):
        value["defaced"] = True
    else:
        value.append("defaced")
    for item in items:
        if isinstance(item, (dict, list)):
            deface(item)


@pytest.mark.parametrize("shared", [False, True])
def test_repeated_sibs_have_their_json_s_values(shared, tmp_path):
    """However often a SIB's encoding comes (its value then copied, at last by
    compiled code), its value is its JSON's: key for key, in order, of the
    same types. Without shared values a SIB's value is its own: changing it
    through and through changes no other SIB's; shared, equal SIBs share one."""
    path = str(tmp_path / "repeats.pcap")
    make_capture.big(path, 6000)
    first = {}
    for sib in sibdecode.read_capture(path, shared_values=shared):
        library = json.loads(sib.value_json)
        want = json.dumps({k: v for k, v in library.items() if k not in REPORT_KEYS})
        assert json.dumps(sib.value) == want
        key = (sib.type, sib.sib_bits)
        first.setdefault(key, []).append(sib.value)
        assert len(first[key]) == 1 or (sib.value is first[key][0]) is shared
        if not shared:
            deface(sib.value)
    assert min(len(values) for values in first.values()) > 2 * sibdecode._Copies.COMPILE_AFTER


def test_decode_batch_gives_what_the_tool_prints():
    _, out, _ = tool("--summary", SAMPLE_HEX)
    _, json_out, _ = tool("--json", SAMPLE_HEX)
    objects = [json.loads(line) for line in json_out.decode().splitlines()]
    decoder = sibdecode.Decoder()
    batches = [bytes.fromhex(line) for line in open(SAMPLE_HEX) if line[:1].isalnum()]
    sibs = [decoder.decode_batch(batch) for batch in batches]
    assert len(sibs) == len(objects) == len(batches) == 7
    texts = out.split(b"\nsummary: ")
    for sib, obj, text in zip(sibs, objects, texts):
        assert text.endswith(sib.text_bytes)
        assert (sib.type, sib.value) == (obj["type_number"], obj["value"])
        assert summary_as_tool_json(sib.summary, sib.type) == obj["summary"]
        assert sib.frames is None and sib.time is None
        assert obj["source"].startswith(SAMPLE_HEX + ":")
        assert sib.to_dict() == dict(obj, source=None)  # no file: the bytes were given
    sib3 = next(sib for sib in sibs if sib.type == 3)
    assert sib3.type == 3 and sib3.summary.sib3_cell_identity is not None
    assert decoder.decode_batch(b"\x00" * 7) is None
    assert decoder.decode_sib(31, b"\x00" * 8) is None  # extensionType: its cell's schedule names it


def test_decode_sib_and_bare_bits_of_a_capture():
    decoder = sibdecode.Decoder()
    for sib in sibdecode.read_capture(SAMPLE_PCAP):
        bare = decoder.decode_sib(sib.type, sib.sib_bits)
        assert bare is not None and sib.text_bytes.startswith(bare.text_bytes)
        assert bare.value == sib.value and bare.summary == sib.summary


def test_capture_errors_name_file_and_frame(captures):
    bad = str(captures / "bad.pcap")
    with pytest.raises(sibdecode.CaptureError) as refused:
        list(sibdecode.read_capture(bad))
    assert refused.value.file == bad and refused.value.frame is None
    assert str(refused.value).startswith(bad + ": unreadable capture: ")

    cut = str(captures / "cut.pcap")
    _, _, err = tool(cut)
    frame = int(re.search(r"frame (\d+): truncated", err).group(1))
    got = []
    with pytest.raises(sibdecode.CaptureError) as truncated:
        for sib in sibdecode.read_capture(cut, drops=True):
            got.append(sib)
    assert truncated.value.frame == frame and truncated.value.file == cut
    assert "truncated" in truncated.value.message
    assert len([s for s in got if isinstance(s, sibdecode.Sib)]) == len(tool_sibs(cut)[0])

    wrong = str(captures / "wrong_size.pcap")
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        sibs = list(sibdecode.read_capture(wrong))
    messages = [str(w.message) for w in caught if w.category is sibdecode.CaptureWarning]
    assert len(messages) == 1 and "BCCH-BCH message of 30 bytes" in messages[0]
    assert len(sibs) == len(tool_sibs(wrong)[0])
    with pytest.raises(sibdecode.CaptureError) as strict:
        list(sibdecode.read_capture(wrong, strict=True))
    assert strict.value.frame is not None and wrong in str(strict.value)


def test_dropped_chains_as_warnings_or_objects(captures):
    cells = str(captures / "cells.pcap")
    _, _, err = tool(cells)
    drop_lines = [line for line in err.splitlines() if " dropped: " in line]
    assert drop_lines
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        list(sibdecode.read_capture(cells))
    assert [str(w.message) for w in caught
            if w.category is sibdecode.DroppedChainWarning] == drop_lines
    drops = [e for e in sibdecode.read_capture(cells, drops=True)
             if isinstance(e, sibdecode.DroppedChain)]
    assert len(drops) == len(drop_lines)
    assert all(d.reason in ("interrupted", "out_of_order", "too_late", "flushed") for d in drops)


def test_file_objects_and_pipes_read_as_the_path():
    by_path = [(s.frames, s.text_bytes) for s in sibdecode.read_capture(SAMPLE_PCAP)]
    with open(SAMPLE_PCAP, "rb") as f:
        assert [(s.frames, s.text_bytes) for s in sibdecode.read_capture(f)] == by_path
    data = open(SAMPLE_PCAP, "rb").read()
    assert [(s.frames, s.text_bytes)
            for s in sibdecode.read_capture(io.BytesIO(data))] == by_path
    cat = subprocess.Popen(["cat", SAMPLE_PCAP], stdout=subprocess.PIPE)
    assert [(s.frames, s.text_bytes) for s in sibdecode.read_capture(cat.stdout)] == by_path
    cat.wait()

    class Failing(io.RawIOBase):
        def readable(self):
            return True

        def readinto(self, buffer):
            raise OSError("the device went away")

    with pytest.raises(OSError, match="went away"):
        list(sibdecode.read_capture(Failing()))


class OverLong:
    """Honest for the first call, then handing back more than asked for."""

    def __init__(self, by_readinto):
        self.data, self.calls = open(SAMPLE_PCAP, "rb").read(), 0
        if by_readinto:
            self.readinto = self._readinto
        else:
            self.read = self._read

    def readable(self):
        return True

    def _read(self, size=-1):
        self.calls += 1
        chunk, self.data = self.data[:size], self.data[size:]
        return chunk if self.calls == 1 else chunk + bytes(200000)

    def _readinto(self, buffer):
        self.calls += 1
        n = min(len(buffer), len(self.data))
        buffer[:n], self.data = self.data[:n], self.data[n:]
        return n if self.calls == 1 else len(buffer) + 1


@pytest.mark.parametrize("by_readinto", [False, True])
def test_a_read_of_more_than_asked_for_is_refused(by_readinto):
    """A careless wrapper's read(n) giving more than n bytes: a ValueError, no
    byte copied past the room (run under AddressSanitizer by the sanitizer build)."""
    with pytest.raises(ValueError, match="more than asked for"):
        list(sibdecode.read_capture(OverLong(by_readinto)))


class Repeated(io.RawIOBase):
    """A capture of `size` bytes: the sample's header, then its packets again and again."""

    def __init__(self, size):
        data = open(SAMPLE_PCAP, "rb").read()
        self.header, self.records = data[:24], data[24:]
        self.left = 24 + size // len(self.records) * len(self.records)  # whole records

    def readable(self):
        return True

    def readinto(self, buffer):
        if self.left <= 0:
            return 0
        if self.header:
            chunk, self.header = self.header, b""
        else:
            repeat = max(1, len(buffer) // len(self.records))
            chunk = self.records * repeat
        n = min(len(chunk), len(buffer), self.left)
        buffer[:n] = chunk[:n]
        self.left -= n
        return n


def test_iteration_streams_in_flat_memory():
    """Memory after a 32 MB capture is what it was after the first 4 MB."""
    size = 32 << 20
    count = 0
    rss_early = None
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for count, sib in enumerate(sibdecode.read_capture(Repeated(size)), 1):
            if count == 20000:
                rss_early = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    rss_late = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
    assert count > 100000
    assert rss_late - rss_early < 8 << 10  # kilobytes


@pytest.mark.parametrize("args", [
    ["SAMPLE_PCAP"], ["--summary", "SAMPLE_PCAP"], ["--json", "SAMPLE_PCAP"],
    ["--summary", "SAMPLE_HEX"], ["--json", "SAMPLE_HEX"], ["--sib", "3", "SAMPLE_HEX"],
    ["cells.pcap", "cut.pcap", "bad.pcap", "wrong_size.pcap", "SAMPLE_HEX", "missing.pcap"],
    ["--summary", "FAULTS_HEX", "FOLDER", "SAMPLE_HEX"], ["--sib=3", "SAMPLE_HEX"],
    ["stopped.pcap"], ["--json", "stopped.pcap"], ["--sib", "3", "STOPPED_HEX"],
    ["--json", "--sib", "3", "STOPPED_HEX"],
])
def test_module_prints_what_the_tool_prints(args, captures, tmp_path):
    # Hex input faults: a byte-order mark, batches of 32 and 30 bytes; a folder.
    sib3 = [line for line in open(SAMPLE_HEX) if line.startswith("000E03")][0].strip()
    (tmp_path / "faults.hex").write_bytes(
        b"\xef\xbb\xbf" + ("%s00\n%s\n%s\n" % (sib3, sib3[:60], sib3)).encode())
    # SIB3s that stop early (cut after 7 bytes, after 1) and one whose list
    # exceeds its SIZE bound, then the same with bits set after its end.
    list4 = ("f7e4a6ef2fffffed7ffff6bffffb5ffffdaeffffed7ffff6bffffb5dffffdaffffed5fffffe2c5"
             "88bc58b138b178b162b69fff1dffa6fdffffdaffffed7ffff6bf3eaf5fffffffffffffffffffe7fe")
    (tmp_path / "stopped.hex").write_text("16df875e0e3e86\n80\n%s\n%s0080\n" % (list4, list4))
    paths = {"SAMPLE_PCAP": SAMPLE_PCAP, "SAMPLE_HEX": SAMPLE_HEX,
             "FAULTS_HEX": str(tmp_path / "faults.hex"), "FOLDER": str(tmp_path),
             "STOPPED_HEX": str(tmp_path / "stopped.hex")}
    argv = [paths.get(a, str(captures / a) if a.endswith(("pcap", "pcapng")) else a)
            for a in args]
    want = tool(*argv)
    proc = subprocess.run([sys.executable, "-m", "sibdecode"] + argv, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE)
    assert (proc.returncode, proc.stdout, proc.stderr.decode()) == want


def test_module_reads_standard_input():
    with open(SAMPLE_PCAP, "rb") as f:
        want = tool(stdin=f)
    with open(SAMPLE_PCAP, "rb") as f:
        proc = subprocess.run([sys.executable, "-m", "sibdecode"], stdin=f,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert (proc.returncode, proc.stdout, proc.stderr.decode()) == want
    assert want[0] == 0 and b"::=" in want[1]


def all_fields(sib):
    """A SIB's fields, not the caches it shares with its reader or builds on demand."""
    return {name: getattr(sib, name) for name in sib.__slots__
            if name not in ("_summary", "_values")}


@pytest.mark.parametrize("capture, complete, value_built", [
    ("SAMPLE_PCAP", True, False), ("stopped.pcap", False, False),
    ("stopped.pcap", True, True), ("stopped.pcap", False, True),
])
def test_sibs_pickle_whole(capture, complete, value_built, captures):
    import pickle
    path = SAMPLE_PCAP if capture == "SAMPLE_PCAP" else str(captures / capture)
    sib = next(s for s in sibdecode.read_capture(path) if s.complete == complete)
    if value_built:
        sib.value
    copy = pickle.loads(pickle.dumps(sib))
    assert all_fields(copy) == all_fields(sib)
    assert copy.stop is not None and copy.complete == complete
    assert (copy.value, copy.summary) == (sib.value, sib.summary)


@pytest.mark.parametrize("source, error, errno", [
    ("missing.pcap", FileNotFoundError, 2),
    ("FOLDER", IsADirectoryError, 21),
    ("SAMPLE_HEX", sibdecode.CaptureError, None),  # opens, but is no capture
])
def test_capture_errors_are_os_errors_raised_at_once(source, error, errno, tmp_path):
    import pickle
    path = {"FOLDER": str(tmp_path), "SAMPLE_HEX": SAMPLE_HEX}.get(source, source)
    with pytest.raises(error) as raised:
        sibdecode.read_capture(path)  # not iterated
    for e in (raised.value, pickle.loads(pickle.dumps(raised.value))):
        assert isinstance(e, sibdecode.CaptureError) and isinstance(e, error)
        assert (e.errno, e.filename, e.file, e.frame) == (errno, path, path, None)
        assert str(e).startswith(path + ": ") and e.strerror == e.message


def test_the_package_names_only_its_own():
    assert sibdecode.__version__ == sibdecode.library_version()
    assert all(hasattr(sibdecode, name) for name in sibdecode.__all__)
    import importlib
    import typing
    for module in (sibdecode, importlib.import_module("sibdecode.dask")):
        assert not set(dir(module)) & (set(typing.__all__) | {"annotations", "dataclass"})


@pytest.mark.parametrize("source, want", [
    ("SAMPLE_PCAP", True), ("PCAPNG", True), ("SAMPLE_HEX", False),
    (b"\xd4\xc3\xb2\xa1", True), (b"000E", False), (bytearray(b"\n\r\r\n"), True),
])
def test_is_capture_takes_a_path_or_bytes(source, want, captures):
    names = {"SAMPLE_PCAP": SAMPLE_PCAP, "SAMPLE_HEX": SAMPLE_HEX,
             "PCAPNG": captures / "cells_cooked_ipv6.pcapng"}
    source = names[source] if isinstance(source, str) else source
    assert sibdecode.is_capture(source) is want
    if isinstance(source, (str, os.PathLike)):
        assert sibdecode.is_capture(open(source, "rb").read(4)) is want


def test_objects_pickle_and_convert():
    sib = next(iter(sibdecode.read_capture(SAMPLE_PCAP)))
    record = sib.to_dict()
    assert record["type_number"] == sib.type and record["type"] == str(sib.type)
    assert record["summary"]["sib3"]["cellIdentity"] == sib.summary.sib3_cell_identity
    assert (sib.summary.sib3_cell_identity is None) == (sib.type != 3)
    assert json.loads(json.dumps(record)) == record
    assert sibdecode.is_capture(open(SAMPLE_PCAP, "rb").read(4))
    assert not sibdecode.is_capture(b"000E")


def test_gsmtap_reader_takes_datagrams_from_a_socket():
    """Datagrams sent over UDP on loopback, fed as they arrive: the SIBs of the
    sample's batches, with their frames; a stray first segment is flushed."""
    import datetime
    import socket
    decoder = sibdecode.Decoder()
    batches = [bytes.fromhex(line) for line in open(SAMPLE_HEX) if line[:1].isalnum()]
    header = bytes([2, 4, 0x0c, 0, 0x27, 0x68, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0])  # ARFCN 10088
    receiver = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    receiver.bind(("127.0.0.1", 0))
    sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    reader = sibdecode.GsmtapReader()
    when = datetime.datetime(2026, 3, 1, 12, 0, 0, 250000, tzinfo=datetime.timezone.utc)
    events, frame, last_frames = [], 0, []
    for batch in batches:
        for at in range(0, len(batch), 31):
            sender.sendto(header + batch[at:at + 31], receiver.getsockname())
            events += reader.feed(receiver.recv(65535), when)
            frame += 1
        last_frames.append(frame)
    events += reader.feed(header + batches[-1][:31])  # a first segment left pending
    events += reader.feed(b"\x02")  # not GSMTAP
    events += reader.finish()
    sibs = [e for e in events if isinstance(e, sibdecode.Sib)]
    assert [s.text_bytes for s in sibs] == [decoder.decode_batch(b).text_bytes for b in batches]
    assert [s.frames[-1] for s in sibs] == last_frames
    assert all(s.arfcn == 10088 and s.time == when for s in sibs)
    drops = [e for e in events if isinstance(e, sibdecode.DroppedChain)]
    assert len(drops) == 1 and drops[0].reason == "flushed" and drops[0].frames == (frame + 1,)
    counts = reader.counts
    assert (counts.frames, counts.skipped_not_gsmtap, counts.sibs_decoded) == (
        frame + 2, 1, len(batches))
    reader.close()
    receiver.close()
    sender.close()


@pytest.mark.parametrize("hex_sib, reason", [
    ("16df875e0e3e86", "end of data"),  # a SIB3 cut after 7 bytes
    ("80", "end of data"),
])
def test_sib_says_where_its_decode_stopped(hex_sib, reason):
    with sibdecode.Decoder() as decoder:
        sib = decoder.decode_sib(3, bytes.fromhex(hex_sib))
        assert sib.complete is False
        assert sib.stop.reason == reason
        assert sib.stop.path.startswith("SysInfoType3")
        assert sib.stop.bit <= 8 * len(hex_sib) // 2
        batch = [line for line in open(SAMPLE_HEX) if line.startswith("000E03")][0]
        whole = decoder.decode_batch(bytes.fromhex(batch.strip()))
        assert whole.complete and whole.stop.reason is None and whole.stop.warnings == []


def test_capture_sibs_say_where_their_decode_stopped(captures):
    stopped = {sib.type: sib.stop for sib in sibdecode.read_capture(str(captures / "stopped.pcap"))}
    assert sorted(t for t, stop in stopped.items() if not stop.complete) == [3, 11]
    assert all(stop.reason == "end of data" and stop.path.startswith("SysInfoType%d." % t)
               for t, stop in stopped.items() if not stop.complete)
    assert all(stop.complete and stop.warning_count == 0
               for t, stop in stopped.items() if t in (2, 7))
    with sibdecode.CaptureReader(str(captures / "stopped.pcap")) as reader:
        list(reader)
        assert (reader.counts.sibs_decoded, reader.counts.sibs_stopped) == (5, 2)  # and the MIB


@pytest.mark.parametrize("given,number,name", [
    (0, 0, "MIB"), ("mib", 0, "MIB"), ("sb1", 27, "SB1"), (3, 3, "SIB3"), ("11bis", 32, "SIB11bis"),
    ("19", 40, "SIB19"), ("SIB15.1bis", 34, "SIB15.1bis"), (30, 30, "SIB5bis"), (31, 31, "extensionType"),
])
def test_sib_types_are_numbers_with_names(given, number, name):
    sib_type = sibdecode.SibType(given)
    assert sib_type == number and str(sib_type) == sib_type.name == name
    assert pickle.loads(pickle.dumps(sib_type)) == sib_type and json.dumps(sib_type) == str(number)


def test_sib_type_of_no_name_is_refused():
    with pytest.raises(ValueError):
        sibdecode.SibType("11ter")


def test_an_extension_type_is_named_by_its_cells_schedule(tmp_path):
    capture = tmp_path / "extension_types.pcap"
    make_capture.extension_types(str(capture))
    names = [str(sib.type) for sib in sibdecode.read_capture(str(capture))]
    assert names.count("SIB11bis") == names.count("SIB19") == 2 and "extensionType" not in names
    assert names.count("MIB") == names.count("SB1") == names.count("SIB18") == 2


@pytest.mark.parametrize("name", RECORD_CAPTURES)
def test_to_dict_is_the_tools_json_line(name, captures):
    """The tool's --json lines are the SIBs' to_dict(), key for key and in order;
    the decode's report is beside the value, never in it."""
    path = capture_path(name, captures)
    lines = tool_records(path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        sibs = list(sibdecode.read_capture(path))
    records = [sib.to_dict() for sib in sibs]
    assert records == lines and len(lines) > 0
    assert [list(r) for r in records] == [list(line) for line in lines]
    for sib, record in zip(sibs, records):
        assert sib.time.tzinfo is not None and record["time"].endswith("Z")
        library = json.loads(sib.value_json)  # the library's JSON: the report among the values
        assert {k: v for k, v in library.items() if k not in REPORT_KEYS} == record["value"]
        assert not REPORT_KEYS & set(record["value"])
        if sib.complete and not sib.stop.warnings:
            assert not REPORT_KEYS & set(library) and record["warnings"] == []
        else:
            assert library["warnings"] == record["warnings"]
            assert library.get("stop") == record["stop"]
            assert library.get("complete", True) is record["complete"]
    if name == "stopped.pcap":
        assert [r["complete"] for r in records].count(False) == 2


SURVEY_KINDS = {"cells": "--cells", "neighbours": "--neighbours", "timeline": "--timeline"}


@pytest.mark.parametrize("name", RECORD_CAPTURES)
def test_survey_is_the_tools_from_objects_and_records(name, captures):
    """cells(), neighbours() and timeline() of Sib objects and of their records
    are the tool's --cells, --neighbours and --timeline JSON lines, in nullable dtypes."""
    from sibdecode import _survey

    path = capture_path(name, captures)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        sibs = list(sibdecode.read_capture(path))
    for kind, option in SURVEY_KINDS.items():
        lines = [json.loads(line) for line in tool(option, "--json", path)[1].splitlines()]
        frame = getattr(sibdecode, kind)(sibs)
        assert frame.equals(getattr(sibdecode, kind)([sib.to_dict() for sib in sibs]))
        columns = _survey.COLUMNS[kind]
        assert list(frame.columns) == list(columns) and len(frame) == len(lines)
        assert lines or kind == "neighbours"
        assert {str(t) for t in frame.dtypes} <= {"Int64", "string", "boolean", "object",
                                                  "datetime64[ns, UTC]"}
        for row, line in zip(frame.to_dict("records"), lines):
            for key, want in line.items():
                got = row[key]
                if want is None:
                    assert str(got) in ("NaT", "<NA>", "None"), key
                elif key.endswith("time"):
                    assert got.strftime("%Y-%m-%dT%H:%M:%S.%fZ") == want, key
                else:
                    assert got == want, (key, got, want)


def test_survey_needs_the_values():
    sib = next(iter(sibdecode.read_capture(SAMPLE_PCAP)))
    with pytest.raises(ValueError, match="value=True"):
        sibdecode.cells([sib.to_dict(value=False)])


def test_record_captures_are_every_test_capture(captures):
    """The record tests above take every capture the capture check writes
    (not the cut and refused copies made here)."""
    written = {p.name for p in captures.iterdir() if p.suffix in (".pcap", ".pcapng")}
    assert written - {"cut.pcap", "bad.pcap"} == set(RECORD_CAPTURES) - {
        "SAMPLE_PCAP", "EXTENSION_PCAP", "TWO_CELLS_PCAP"}


def test_a_warned_sib_s_record_says_so(tmp_path):
    """A SIB3 whose list exceeds its SIZE bound, with bits after its end: complete,
    its warnings in the record and not in its value (hex input: no file, frames,
    cell or time)."""
    path = tmp_path / "warned.hex"
    path.write_text(WARNED_AND_STOPPED_HEX)
    lines = tool_records("--sib", "3", str(path))
    with sibdecode.Decoder() as decoder:
        sibs = [decoder.decode_sib(3, bytes.fromhex(line)) for line in path.read_text().split()]
    assert [dict(line, source=None) for line in lines] == [s.to_dict() for s in sibs]
    assert [line["source"] for line in lines] == ["%s:%d" % (path, n) for n in (1, 2)]
    warned, stopped = lines
    assert warned["complete"] is True and warned["stop"] is None
    assert [w["warning"] for w in warned["warnings"]] == [t for t, _, _ in sibs[0].stop.warnings]
    assert len(warned["warnings"]) >= 2
    assert stopped["complete"] is False and stopped["stop"]["reason"] == "end of data"
    assert all(not REPORT_KEYS & set(line["value"]) for line in lines)
    assert all(line[k] is None for line in lines for k in ("frames", "arfcn", "time"))


RECORDS_DOC = os.path.join(ROOT, "docs", "records.md")


def documented_keys():
    """{heading: [keys of its table, in order]} of docs/records.md."""
    tables, heading = {}, None
    for line in open(RECORDS_DOC):
        if line.startswith("#"):
            heading = line.lstrip("#").strip()
        m = re.match(r"\| `(\w+)` \|", line)
        if m and heading:
            tables.setdefault(heading, []).append(m.group(1))
    return tables


def keys_printed(table, captures, tmp_path):
    """The keys the tool (or the package) gives for a table of docs/records.md,
    each record's in order."""
    if table == "The SIB record":
        return [list(r) for args in ([SAMPLE_PCAP], [str(captures / "stopped.pcap")],
                                     ["--sib", "3", SAMPLE_HEX], [SAMPLE_HEX])
                for r in tool_records(*args)]
    if table in ("`stop`", "A `warnings` entry"):
        (tmp_path / "notes.hex").write_text(WARNED_AND_STOPPED_HEX)
        records = tool_records("--sib", "3", str(tmp_path / "notes.hex"))
        records += tool_records(str(captures / "stopped.pcap"))
        if table.startswith("`stop`"):
            return [list(r["stop"]) for r in records if r["stop"] is not None]
        return [list(w) for r in records for w in r["warnings"]]
    if table == "The summary object":
        return [list(r["summary"]) for r in tool_records(SAMPLE_PCAP)]
    if table == "With `--changes`":
        make_capture.repeats(str(tmp_path), rounds=12, changes=(4, 8))
        records = tool_records("--changes", str(tmp_path / "repeats.pcap"))
        plain = documented_keys()["The SIB record"]
        return [[k for k in r if k not in plain] for r in records if "repeats" in r]
    survey = {"`--neighbours --json`: the neighbour record": "--neighbours",
              "`--timeline --json`: the timeline record": "--timeline"}
    if table in survey:
        return [list(json.loads(line)) for line in
                tool(survey[table], "--json", SAMPLE_PCAP, EXTENSION_PCAP)[1].splitlines()]
    cells = [json.loads(line) for line in tool("--cells", "--json", SAMPLE_PCAP)[1].splitlines()]
    if table == "`--cells --json`: the cell record":
        return [list(c) for c in cells]
    if table == "A cell's `sibs` entry":
        return [list(s) for c in cells for s in c["sibs"]]
    import dataclasses
    assert table == "The closing counts"
    return [[f.name for f in dataclasses.fields(sibdecode.CaptureCounts)]]


@pytest.mark.parametrize("table", [
    "The SIB record", "The summary object", "With `--changes`", "`stop`", "A `warnings` entry",
    "`--cells --json`: the cell record", "A cell's `sibs` entry",
    "`--neighbours --json`: the neighbour record", "`--timeline --json`: the timeline record",
    "The closing counts",
])
def test_records_doc_names_every_key_printed(table, captures, tmp_path):
    """Every key printed is documented and every key documented printed, in order."""
    documented = documented_keys()[table]
    printed = keys_printed(table, captures, tmp_path)
    assert printed and all(keys == documented for keys in printed), (documented, printed[:1])
