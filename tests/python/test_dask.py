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

import sibdecode  # noqa: E402
import sibdecode.dask  # noqa: E402

from test_sibdecode import ROOT, SAMPLE_PCAP, captures  # noqa: E402,F401


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
    assert bag.npartitions == len(paths)
    records = bag.compute()
    assert len(client.scheduler_info()["workers"]) == 2
    assert sorted(map(key, records)) == sorted(map(key, sequential))
    # What read_capture gives, field by field.
    first = [r for r in records if r["file"] == SAMPLE_PCAP]
    sibs = list(sibdecode.read_capture(SAMPLE_PCAP))
    assert [(r["sib"], tuple(r["frames"]), r["text"], r["value"]) for r in first] == [
        (s.type, s.frames, s.text, s.value) for s in sibs]


def test_summary_frame_has_a_row_per_sib(client, paths):
    frame = sibdecode.dask.summary_frame(paths).compute()
    records = [r for path in paths for r in sibdecode.dask.capture_records(path, value=False)]
    assert len(frame) == len(records)
    assert list(frame.columns) == list(sibdecode.dask.SUMMARY_COLUMNS)
    sib3 = frame[(frame.file == SAMPLE_PCAP) & (frame.sib == 3)]
    identities = [s.summary.sib3_cell_identity for s in sibdecode.read_capture(SAMPLE_PCAP)
                  if s.type == 3]
    assert list(sib3.cell_identity.astype(int)) == identities


def test_a_capture_that_cannot_be_read_fails_naming_it(client, captures):  # noqa: F811
    bad = str(captures / "bad.pcap")
    with pytest.raises(sibdecode.CaptureError, match="bad.pcap"):
        sibdecode.dask.read_captures([SAMPLE_PCAP, bad]).compute()


def test_example_script_writes_json_lines_per_cell(client, paths, tmp_path):
    folder = tmp_path / "captures"
    folder.mkdir()
    for path in paths:
        os.symlink(path, folder / (os.path.basename(os.path.dirname(path)) + "-" +
                                   os.path.basename(path)))
    out = tmp_path / "out"
    out.mkdir()
    script = os.path.join(ROOT, "examples", "dask_decode_folder.py")
    address = client.scheduler.address
    proc = subprocess.run([sys.executable, script, str(folder), str(out), "--scheduler", address],
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    assert proc.returncode == 0, proc.stderr
    records = [r for path in paths for r in sibdecode.dask.capture_records(path)]
    written = {}
    for name in os.listdir(out):
        with open(out / name) as f:
            written[name] = [json.loads(line) for line in f]
    assert sorted(written) == sorted("arfcn-%d.jsonl" % a for a in {r["arfcn"] for r in records})
    for name, lines in written.items():
        assert all("arfcn-%d.jsonl" % r["arfcn"] == name for r in lines)
    assert sum(len(lines) for lines in written.values()) == len(records)
