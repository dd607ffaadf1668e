"""sibdecode.dask on a LocalCluster of two worker processes on loopback: the
bag holds exactly the records the sequential read_capture gives (order aside),
the summary frame a row per SIB, and the example script writes them per cell."""

import json
import os
import subprocess
import sys

import pytest

dask = pytest.importorskip("dask")
distributed = pytest.importorskip("distributed")
pandas = pytest.importorskip("pandas")

import sibdecode  # noqa: E402
import sibdecode.dask  # noqa: E402

from test_sibdecode import (ROOT, SAMPLE_PCAP, RECORD_CAPTURES, capture_path,  # noqa: E402
                            captures, tool_records)  # noqa: F401


@pytest.fixture(scope="module")
def client():
    cluster = distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                       host="127.0.0.1", dashboard_address=None)
    with distributed.Client(cluster) as c:
        yield c
    cluster.close()


@pytest.fixture(scope="module")
def paths(captures):  # noqa: F811
    names = ["cells.pcap", "cells_cooked_ipv6.pcapng", "cells_raw_ipv4.pcap", "wrong_size.pcap"]
    return [SAMPLE_PCAP] + [str(captures / name) for name in names]


def key(record):
    return json.dumps(record, sort_keys=True)


def test_bag_holds_the_sequential_records(client, paths):
    sequential = [r for path in paths for r in sibdecode.dask.capture_records(path)]
    bag = sibdecode.dask.read_captures(paths)
    assert bag.npartitions == 1  # small captures: one task
    records = bag.compute()
    assert len(client.scheduler_info()["workers"]) == 2
    assert sorted(map(key, records)) == sorted(map(key, sequential))
    # What read_capture gives, field by field.
    first = [r for r in records if r["source"] == SAMPLE_PCAP]
    sibs = list(sibdecode.read_capture(SAMPLE_PCAP))
    assert [(r["type_number"], tuple(r["frames"]), r["value"]) for r in first] == [
        (s.type, s.frames, s.value) for s in sibs]


MB = 1 << 20

GROWTH = """
import resource, sys
import sibdecode.dask
bag = sibdecode.dask.read_captures([sys.argv[1]])
bag.take(1)  # the library loaded, the first values made
before = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss
n = bag.count().compute(scheduler="sync") if sys.argv[2] == "count" else len(bag.compute(
    scheduler="sync"))
print(n, (resource.getrusage(resource.RUSAGE_SELF).ru_maxrss - before) >> 10)
"""


SMALL_PARENT = "import subprocess, sys; sys.exit(subprocess.call(sys.argv[1:]))"


def test_a_reduction_holds_one_record_at_a_time(tmp_path):
    """count() of a capture's records with values: the worker's peak memory
    grows by little, where the records gathered take tens of MB."""
    import make_capture
    path = str(tmp_path / "long.pcap")
    make_capture.big(path, 80000)  # records share their values: a long capture's take tens of MB
    grown = {}
    for how in ("count", "gather"):
        # Started by a small process: a process's peak RSS starts at that of the
        # process it was forked from (here pytest, with pandas and Dask loaded).
        proc = subprocess.run([sys.executable, "-c", SMALL_PARENT, sys.executable, "-c", GROWTH,
                               path, how], stdout=subprocess.PIPE, check=True, text=True)
        grown[how] = tuple(map(int, proc.stdout.split()))
    assert grown["count"][0] == grown["gather"][0] > 40000
    assert grown["count"][1] < 10 < 4 * 10 < grown["gather"][1], grown  # MB


@pytest.mark.parametrize("sizes, tasks", [
    ([100_000] * 50, [10] * 5),  # small captures: a few tasks
    ([2 * MB] * 200, [6] * 33 + [2]),  # a folder: a few dozen tasks of about the same size
    ([500 * MB, 1000, 1000, 300 * MB], [1, 2, 1]),  # large ones alone
    ([-1, 1000], [2]),  # a missing file: in a task, which reports it
])
def test_small_captures_are_batched(sizes, tasks):
    files = [("f%d" % k, size, 0) for k, size in enumerate(sizes)]
    groups = sibdecode.dask._tasks(files)
    assert [len(g) for g in groups] == tasks
    assert [f for g in groups for f in g] == files


def test_summary_frame_has_a_row_per_sib(client, paths):
    frame = sibdecode.dask.summary_frame(paths).compute()
    records = [r for path in paths for r in sibdecode.dask.capture_records(path, value=False)]
    assert len(frame) == len(records)
    assert list(frame.columns) == list(sibdecode.dask.SUMMARY_COLUMNS)
    sib3 = frame[(frame.source == SAMPLE_PCAP) & (frame.type_number == 3)]
    identities = [s.summary.sib3_cell_identity for s in sibdecode.read_capture(SAMPLE_PCAP)
                  if s.type == 3]
    assert list(sib3.cell_identity.astype(int)) == identities
    assert frame.complete.all() and frame.stop.isna().all()


@pytest.mark.parametrize("kind", ["cells", "neighbours"])
def test_survey_over_many_captures_is_the_tools_one_table(client, paths, bad_files, kind):
    """sibdecode.dask.cells/neighbours over the captures (a bad file among them
    left out) are the tool's one table of them all."""
    frame = getattr(sibdecode.dask, kind)(paths + [bad_files[0][0]])  # the PNG
    records = [r for path in paths for r in sibdecode.dask.capture_records(path)]
    assert frame.equals(getattr(sibdecode, kind)(records))
    out = subprocess.run([os.environ.get("SIBDECODE_CLI", "sibdecode"), "--" + kind, "--json"]
                         + paths, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    lines = [json.loads(line) for line in out.splitlines()]
    assert len(lines) == len(frame) > 0
    assert [line["cell"] for line in lines] == list(frame["cell"])


def test_records_say_whether_their_decode_stopped(client, captures):  # noqa: F811
    path = str(captures / "stopped.pcap")
    records = sibdecode.dask.read_captures([path]).compute()
    sibs = list(sibdecode.read_capture(path))
    assert [(r["complete"], r["stop"], r["warnings"]) for r in records] == [
        (s.complete, None if s.complete else {"reason": s.stop.reason, "bit": s.stop.bit,
                                              "path": s.stop.path}, []) for s in sibs]
    assert [r["complete"] for r in records].count(False) == 2
    frame = sibdecode.dask.summary_frame([path]).compute()
    assert list(frame.complete) == [s.complete for s in sibs]
    assert list(frame.stop.fillna("-")) == [s.stop.reason or "-" for s in sibs]


def test_a_capture_that_cannot_be_read_fails_naming_it(client, captures):  # noqa: F811
    bad = str(captures / "bad.pcap")
    with pytest.raises(sibdecode.CaptureError, match="bad.pcap"):
        sibdecode.dask.read_captures([SAMPLE_PCAP, bad], errors="raise").compute()


@pytest.fixture(scope="module")
def bad_files(captures, tmp_path_factory):  # noqa: F811
    """A PNG named .pcap, a pcap cut in its last record, and a pcapng whose
    thirteenth block says it is longer than the file: (path, frame of the fault
    or None, SIBs before it). (A pcapng with several link types is read.)"""
    folder = tmp_path_factory.mktemp("bad")
    png = folder / "picture.pcap"
    png.write_bytes(b"\x89PNG\r\n\x1a\n" + bytes(200))
    cells = (captures / "cells.pcap").read_bytes()
    cut = folder / "cut.pcap"
    cut.write_bytes(cells[:-20])
    blocks = pcapng_blocks((captures / "cells_cooked_ipv6.pcapng").read_bytes())
    lying = blocks[12][:4] + (1 << 30).to_bytes(4, "little") + blocks[12][8:]
    broken = folder / "broken_block.pcapng"
    broken.write_bytes(b"".join(blocks[:12] + [lying] + blocks[13:]))
    found = []
    for path in (png, cut, broken):
        records = list(sibdecode.dask.capture_records(str(path)))
        assert sibdecode.dask.is_error(records[-1]) and not any(map(sibdecode.dask.is_error,
                                                                     records[:-1]))
        found.append((str(path), records[-1]["frame"], len(records) - 1))
    assert [frame is None for _, frame, _ in found] == [True, False, False]
    return found


def pcapng_blocks(data):
    blocks, at = [], 0
    while at < len(data):
        size = int.from_bytes(data[at + 4:at + 8], "little")
        blocks.append(data[at:at + size])
        at += size
    return blocks


@pytest.mark.parametrize("errors", ["record", "skip", "raise"])
def test_bad_files_among_good_ones(client, paths, bad_files, errors):
    """Each bad file: an error record naming it, after the SIBs it had before
    the fault; the good files' records all there."""
    bag = sibdecode.dask.read_captures(paths + [p for p, _, _ in bad_files], errors=errors)
    if errors == "raise":
        with pytest.raises(sibdecode.CaptureError):
            bag.compute()
        return
    records = bag.compute()
    failed = [r for r in records if sibdecode.dask.is_error(r)]
    want = [] if errors == "skip" else [p for p, _, _ in bad_files]
    assert sorted(r["file"] for r in failed) == sorted(want)
    assert all(set(r) == {"file", "error", "frame"} and r["error"] for r in failed)
    frames = {path: frame for path, frame, _ in bad_files}
    assert all(r["frame"] == frames[r["file"]] for r in failed)
    good = [r for path in paths for r in sibdecode.dask.capture_records(path)]
    assert sorted(map(key, good)) == sorted(
        key(r) for r in records if r.get("source") in paths)
    for path, _, sibs in bad_files:
        assert sum(1 for r in records if r.get("source") == path) == sibs
    assert sum(sibs for _, _, sibs in bad_files) > 0  # the cut files had SIBs before the cut


@pytest.mark.parametrize("with_bad_files", [False, True])
def test_example_script_writes_json_lines_per_cell(client, paths, bad_files, tmp_path,
                                                   with_bad_files):
    folder = tmp_path / "captures"
    folder.mkdir()
    inputs = paths + ([p for p, _, _ in bad_files] if with_bad_files else [])
    for path in inputs:
        os.symlink(path, folder / (os.path.basename(os.path.dirname(path)) + "-" +
                                   os.path.basename(path)))
    out = tmp_path / "out"
    out.mkdir()
    script = os.path.join(ROOT, "examples", "dask_decode_folder.py")
    address = client.scheduler.address
    proc = subprocess.run([sys.executable, script, str(folder), str(out), "--scheduler", address],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert proc.returncode == 0, proc.stderr
    assert not os.path.exists(out / "parts")
    records = [r for path in inputs for r in sibdecode.dask.capture_records(path, errors="skip")]
    written = {}
    for name in os.listdir(out):
        with open(out / name) as f:
            written[name] = [json.loads(line) for line in f]
    failed = written.pop("failed.jsonl")
    assert sorted(os.path.basename(r["file"]).split("-", 1)[1] for r in failed) == sorted(
        os.path.basename(p) for p, _, _ in bad_files if with_bad_files)
    assert sorted(written) == sorted("arfcn-%d.jsonl" % a for a in {r["arfcn"] for r in records})
    for name, lines in written.items():
        assert all("arfcn-%d.jsonl" % r["arfcn"] == name for r in lines)
    assert sum(len(lines) for lines in written.values()) == len(records)


def test_example_script_fails_when_every_capture_does(client, bad_files, tmp_path):
    folder = tmp_path / "captures"
    folder.mkdir()
    os.symlink(bad_files[0][0], folder / "picture.pcap")
    script = os.path.join(ROOT, "examples", "dask_decode_folder.py")
    proc = subprocess.run([sys.executable, script, str(folder), str(tmp_path / "out"),
                           "--scheduler", client.scheduler.address],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert proc.returncode == 1 and "picture.pcap" in proc.stderr


@pytest.mark.parametrize("name", RECORD_CAPTURES)
def test_records_and_rows_are_the_tools_json_lines(client, name, captures):  # noqa: F811
    """A capture's Dask records are the tool's --json lines, key for key and in
    order; its summary rows use nullable dtypes: an integer is never a float."""
    path = capture_path(name, captures)
    lines = tool_records(path)
    records = sibdecode.dask.read_captures([path]).compute()
    assert records == lines and [list(r) for r in records] == [list(line) for line in lines]
    without = sibdecode.dask.read_captures([path], value=False).compute()
    assert without == [{k: v for k, v in line.items() if k != "value"} for line in lines]
    assert [list(r) for r in without] == [[k for k in line if k != "value"] for line in lines]
    frame = sibdecode.dask.summary_frame([path]).compute()
    assert {str(t) for t in frame.dtypes} <= {"Int64", "string", "boolean", "object",
                                               "datetime64[ns, UTC]"}
    assert dict(frame.dtypes.astype(str)) == sibdecode.dask.SUMMARY_COLUMNS
    assert list(frame.time) == [pandas_time(line["time"]) for line in lines]
    assert list(frame.type_number) == [line["type_number"] for line in lines]
    identities = [next((s[k]["cellIdentity"] for k in ("sib3", "sib4")
                        if s[k]["cellIdentity"] is not None), None)
                  for s in (line["summary"] for line in lines)]
    assert [None if x is pandas.NA else x for x in frame.cell_identity] == identities
    assert list(frame.stop.fillna("-")) == [
        "-" if line["stop"] is None else line["stop"]["reason"] for line in lines]


def pandas_time(text):
    return pandas.Timestamp(text).tz_convert("UTC")


def test_records_doc_names_every_summary_column():
    from test_sibdecode import documented_keys
    assert documented_keys()["Python and pandas"] == list(sibdecode.dask.SUMMARY_COLUMNS)
