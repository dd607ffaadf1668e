#!/usr/bin/env python3
"""Captures against hex input: sibdecode prints, for every SIB of a pcap, what
it prints for the hex batch of the blocks that carried the SIB; the same
capture written as pcapng over Linux cooked IPv6 and as raw IPv4 prints the
same; skipped packets, dropped chains, a packet of the wrong size, a truncated
and an unreadable capture are reported and the rest is decoded.

usage: check_capture.py --sibdecode PATH [--tshark PATH]
With --tshark it also checks that tshark decodes every GSMTAP packet of the
captures and of examples/sample.pcap as an RRC BCCH-BCH message. The sample
must also be what make_capture.py writes.
"""

import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import make_capture  # noqa: E402

MARKER = b"<<<-----raw data ----->>>"
COMMENT = re.compile(rb"^# frames ([0-9,]+) arfcn (\d+) time (\S+)\n", re.M)
COUNTS = re.compile(r": (\d+) frames, (\d+) skipped(?: \(([^)]*)\))?; (\d+) SIBs decoded "
                    r"\((\d+) complete, (\d+) stopped early\), "
                    r"(\d+) not decoded, (\d+) chains dropped, (\d+) stray segments$", re.M)
STOPPED = re.compile(r"^(.*): frames ([0-9,]+): SIB(\d+) on ARFCN (\d+) stopped at bit (\d+) "
                     r"in ([A-Za-z0-9_.\[\]]+): end of data$", re.M)

failures = []
RELEASE7 = set(make_capture.per_encoder.release7_types())


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL: " + what)


def run(tool, *args):
    proc = subprocess.run([tool] + list(args), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return proc.returncode, proc.stdout, proc.stderr.decode()


def split_sibs(output):
    """[(frames, arfcn, body)] of a capture's output, body without the comment."""
    marks = list(COMMENT.finditer(output))
    sibs = []
    for k, m in enumerate(marks):
        end = marks[k + 1].start() if k + 1 < len(marks) else len(output)
        frames = [int(f) for f in m.group(1).split(b",")]
        sibs.append((frames, int(m.group(2)), output[m.end():end]))
    return sibs


def without_comments(output):
    return COMMENT.sub(b"", output)


def trailer(hex_blocks, eol=b"\n"):
    """The raw-data trailer of these blocks; eol: the layout's line end ("\r\n" at --release 7)."""
    data = bytes.fromhex(hex_blocks)
    lines = [data[i:i + 31].hex().upper().encode() for i in range(0, len(data), 31)]
    return eol + MARKER + eol + eol.join(lines)


def decode_hex(tool, workdir, hex_line, options=()):
    path = os.path.join(workdir, "batch.hex")
    with open(path, "w") as f:
        f.write(hex_line + "\n")
    return run(tool, "--summary", *options, path)


def check_against_hex(tool, workdir, expected, output, options=()):
    sibs = split_sibs(output)
    check(len(sibs) == len(expected["sibs"]),
          "%d SIBs printed, %d expected" % (len(sibs), len(expected["sibs"])))
    for (frames, arfcn, body), want in zip(sibs, expected["sibs"]):
        name = "%s in frames %s" % (make_capture.per_encoder.type_name(want["sib"]), want["frames"])
        check(frames == want["frames"] and arfcn == want["arfcn"],
              "%s: comment says frames %s arfcn %d" % (name, frames, arfcn))
        rc, batch, _ = decode_hex(tool, workdir, want["blocks"], options)
        if want["batch_equivalent"]:
            check(rc == 0 and body == batch, name + ": differs from the hex batch of its blocks")
            continue
        # DecodeBatch starts at another SIB of these blocks (or sorts them
        # across the SFN-prime wrap): the text must be that of the SIB alone,
        # with the trailer of the blocks that carried it.
        rc, alone, _ = decode_hex(tool, workdir, want["alone"], options)
        eol = b"\r\n" if "--release" in options else b"\n"
        at = alone.index(eol + MARKER)
        end = alone.index(eol + b"summary: ", at)
        expected_body = alone[:at] + trailer(want["blocks"], eol) + alone[end:]
        check(rc == 0 and body == expected_body,
              name + ": differs from the SIB alone with the trailer of its blocks")


def check_counts(stderr, name, expected, decoded, dropped, skipped):
    m = COUNTS.search(stderr)
    check(m is not None, name + ": no counts line")
    if m is None:
        return
    causes = m.group(3)
    frames, skipped_seen, decoded_seen, complete, stopped, _, dropped_seen, _ = \
        (int(g) for g in m.groups()[:2] + m.groups()[3:])
    check((frames, skipped_seen, decoded_seen, complete, stopped, dropped_seen) ==
          (expected, skipped, decoded, decoded, 0, dropped),
          "%s: counts %s" % (name, m.group(0)))
    # The skipped packets of the test captures: a DNS query and a GSMTAP BCCH-FACH message.
    check(causes == "1 other UDP port, 1 other GSMTAP type or sub-type",
          "%s: skip causes %s" % (name, causes))
    drop_lines = len(re.findall(r": frames [0-9,]+: \S+ on ARFCN \d+ dropped: ", stderr))
    check(drop_lines == dropped, "%s: %d drop lines" % (name, drop_lines))


def check_tshark(tshark, path, blocks):
    """Every GSMTAP BCCH-BCH packet is an RRC BCCH-BCH message with its SFN-prime."""
    proc = subprocess.run([tshark, "-n", "-r", path, "-T", "fields", "-e", "gsmtap.rrc_sub_type",
                           "-e", "rrc.sfn_Prime", "-e", "_ws.malformed"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    rows = [line.split("\t") for line in proc.stdout.splitlines()]
    bch = [row for row in rows if row[0] == "8"]
    check(len(bch) == blocks, "tshark: %d BCCH-BCH packets in %s, %d expected" %
          (len(bch), path, blocks))
    check(all(row[1] != "" and row[2] == "" for row in bch),
          "tshark: a BCCH-BCH packet of %s not decoded as one" % path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--tshark")
    parser.add_argument("--sample", default=os.path.join(HERE, "..", "..", "examples",
                                                         "sample.pcap"))
    args = parser.parse_args()
    tool = args.sibdecode

    with tempfile.TemporaryDirectory() as workdir:
        make_capture.test_captures(workdir)
        with open(os.path.join(workdir, "expected.json")) as f:
            expected = json.load(f)
        check({4, 5, 6, 8}.issubset(expected["alternatives"]),
              "the capture lacks shared blocks: %s" % expected["alternatives"])
        check(expected["dropped"] == 2, "the capture breaks %d chains" % expected["dropped"])
        decoded = len(expected["sibs"])
        cells = os.path.join(workdir, "cells.pcap")

        rc, output, stderr = run(tool, "--summary", cells)
        check(rc == 0, "cells.pcap: exit %d" % rc)
        check_against_hex(tool, workdir, expected, output)
        check(b"\r" not in output and b"Message dump" not in output,
              "cells.pcap: the default text is not in the plain layout")
        check_counts(stderr, "cells.pcap", expected["frames"], decoded, expected["dropped"],
                     expected["skipped"])

        # --json: one object per decoded SIB, with the frames, ARFCN and summary
        # of the text's "#" line and summary.
        rc, json_output, _ = run(tool, "--json", cells)
        objects = [json.loads(line) for line in json_output.decode().splitlines()]
        comments = re.findall(rb"^# frames ([0-9,]+) arfcn (\d+) ", output, re.M)
        check(rc == 0 and len(objects) == len(comments) == decoded,
              "cells.pcap --json: %d objects for %d SIBs" % (len(objects), decoded))
        check(all(o["frames"] == [int(n) for n in frames.split(b",")] and o["arfcn"] == int(arfcn)
                  for o, (frames, arfcn) in zip(objects, comments)),
              "cells.pcap --json: frames or ARFCN differ from the text's")

        # Compressed captures are read as the plain file (the tools' own formats).
        for program, suffix in (("gzip", ".gz"), ("xz", ".xz"), ("zstd", ".zst")):
            if shutil.which(program) is None:
                print("%s is not installed: %s captures not checked" % (program, suffix))
                continue
            packed = cells + suffix
            with open(cells, "rb") as f, open(packed, "wb") as g:
                subprocess.run([program, "-c"], stdin=f, stdout=g, check=True)
            rc, same, stderr = run(tool, "--summary", packed)
            check(rc == 0 and same == output, "cells.pcap%s: output differs (%d, %s)" %
                  (suffix, rc, stderr))
            check_counts(stderr, "cells.pcap" + suffix, expected["frames"], decoded,
                         expected["dropped"], expected["skipped"])
            # Cut short: what came before is decoded, one line says why, exit 1.
            with open(packed, "rb") as f:
                data = f.read()
            with open(packed + ".cut", "wb") as f:
                f.write(data[:len(data) * 2 // 3])
            # (zstd may hold back the whole block, and the file's start with it).
            rc, part, stderr = run(tool, packed + ".cut")
            check(rc == 1 and len([line for line in stderr.splitlines()
                                   if "ends inside the compressed stream" in line]) == 1,
                  "cells.pcap%s cut: exit %d, %s" % (suffix, rc, stderr))
        gz = os.path.join(workdir, "cells_two_links.pcapng.gz")
        with open(os.path.join(workdir, "cells_two_links.pcapng"), "rb") as f, open(gz, "wb") as g:
            subprocess.run(["gzip", "-c"], stdin=f, stdout=g, check=True)

        for other in ("cells_cooked_ipv6.pcapng", "cells_raw_ipv4.pcap", "cells_two_links.pcapng",
                      gz):
            rc, same, stderr = run(tool, "--summary", os.path.join(workdir, other))
            check(rc == 0 and same == output, other + ": output differs from cells.pcap")
            check_counts(stderr, other, expected["frames"], decoded, expected["dropped"],
                         expected["skipped"])

        # A Release 9 cell: every SIB decoded, the extension types named by the MIB's
        # schedule and printed as the bare SIB of that type is (with the trailer of its
        # blocks); --release 7 prints only RRCParserX's types, as it does.
        ext = os.path.join(workdir, "extension_types.pcap")
        ext_expected_path = os.path.join(workdir, "extension_types.json")
        make_capture.extension_types(ext, ext_expected_path)
        with open(ext_expected_path) as f:
            ext_expected = json.load(f)
        rc, ext_output, stderr = run(tool, ext)
        sibs = split_sibs(ext_output)
        check(rc == 0 and len(sibs) == len(ext_expected["sibs"]),
              "extension_types.pcap: exit %d, %d SIBs for %d" % (rc, len(sibs), len(ext_expected["sibs"])))
        check(re.search(r"; %d SIBs decoded \(%d complete, 0 stopped early\), 0 not decoded, 0 chains" % (
            len(ext_expected["sibs"]), len(ext_expected["sibs"])), stderr) is not None,
              "extension_types.pcap: counts " + stderr)
        for (frames, arfcn, body), want in zip(sibs, ext_expected["sibs"]):
            bare = os.path.join(workdir, "bare.hex")
            with open(bare, "w") as f:
                f.write(want["bare"] + "\n")
            rc, alone, _ = run(tool, "--sib", want["name"], bare)
            check(frames == want["frames"] and rc == 0 and body == alone[:-1] + trailer(want["blocks"]) + b"\n",
                  "extension_types.pcap: %s in frames %s differs from --sib %s" % (want["name"], frames, want["name"]))
        # --cells counts every type by its name, the extension types too.
        rc, cells_out, _ = run(tool, "--cells", ext)
        names = sorted({want["name"] for want in ext_expected["sibs"]})
        row = cells_out.decode().splitlines()[-1].split()
        check(rc == 0 and sorted(w for w in row if ":" in w and not w.startswith("20"))
              == sorted("%s:2/1/0" % name for name in names),
              "extension_types.pcap --cells: %s" % row)

        # The same capture without its first MIB (a capture started after it): the first
        # round's extension-type SIBs are reported as not named, the second round's decode.
        header, records = make_capture.pcap_records(ext)
        late = os.path.join(workdir, "extension_types_late.pcap")
        with open(late, "wb") as f:
            f.write(header + b"".join(records[1:]))
        rc, late_output, stderr = run(tool, late)
        unnamed = re.findall(r"^.*: frames [0-9,]+: extensionType on ARFCN 10088 not decoded: "
                             r"extension type not yet known$", stderr, re.M)
        named = [body.split(b" ", 1)[0] for _, _, body in split_sibs(late_output)]
        check(rc == 0 and len(unnamed) == 2 and named.count(b"SysInfoType11bis") == 1 and
              named.count(b"SysInfoType19") == 1 and
              re.search(r"; %d SIBs decoded .*, 2 not decoded, " % (len(ext_expected["sibs"]) - 3), stderr),
              "extension_types_late.pcap: exit %d, %s" % (rc, stderr))

        rc, r7_output, stderr = run(tool, "--release", "7", "--summary", ext)
        check(rc == 0, "extension_types.pcap --release 7: exit %d" % rc)
        check_against_hex(tool, workdir, {"sibs": [want for want in ext_expected["sibs"] if want["sib"] in RELEASE7]},
                          r7_output, ("--release", "7"))

        # A packet of the wrong size: one error line, the rest decoded, exit 2.
        wrong = os.path.join(workdir, "wrong_size.pcap")
        rc, wrong_output, stderr = run(tool, "--summary", wrong)
        check(rc == 2, "wrong_size.pcap: exit %d" % rc)
        check(re.search(r"^%s: frame %d: BCCH-BCH message of 30 bytes, expected 31" %
                        (re.escape(wrong), expected["wrong_size_frame"]), stderr, re.M),
              "wrong_size.pcap: message: " + stderr)
        check(without_comments(wrong_output) == without_comments(output),
              "wrong_size.pcap: the other packets are not decoded as in cells.pcap")

        # SIBs whose encodings end half-way: printed as far as they go, one note
        # each saying where, counted as stopped early, exit 2.
        stopped = os.path.join(workdir, "stopped.pcap")
        want = expected["stopped"]
        rc, stopped_output, stderr = run(tool, stopped)
        notes = STOPPED.findall(stderr)
        sibs = split_sibs(stopped_output)
        # (its MIB is printed too)
        printed = [int(m.group(1)) for m in (re.match(rb"SysInfoType(\d+)", body) for _, _, body in sibs) if m]
        check(rc == 2 and sorted(printed) == sorted(want["types"] + want["complete"]),
              "stopped.pcap: exit %d, SIBs %s" % (rc, printed))
        cut = [",".join(map(str, frames)) for frames, _, body in sibs
               if re.match(rb"SysInfoType(\d+)", body) and
               int(re.match(rb"SysInfoType(\d+)", body).group(1)) in want["types"]]
        check([(n[0], n[1], int(n[2]), int(n[3])) for n in notes] ==
              [(stopped, f, t, want["arfcn"]) for f, t in zip(cut, want["types"])],
              "stopped.pcap: notes " + stderr)
        check(re.search(r"; %d SIBs decoded \(%d complete, %d stopped early\), " % (
            len(sibs), len(sibs) - len(want["types"]), len(want["types"])), stderr) is not None,
              "stopped.pcap: counts " + stderr)

        # Truncated inside the last packet: the SIBs completed before it, exit 1.
        with open(cells, "rb") as f:
            data = f.read()
        cut = os.path.join(workdir, "cut.pcap")
        with open(cut, "wb") as f:
            f.write(data[:-20])
        rc, cut_output, stderr = run(tool, cut, cells)
        lines = [line for line in stderr.splitlines() if "truncated" in line]
        check(rc == 1, "cut.pcap: exit %d" % rc)
        check(len(lines) == 1 and lines[0].startswith("%s: frame %d: truncated" %
                                                      (cut, expected["frames"])),
              "cut.pcap: message: " + stderr)
        rc, plain, _ = run(tool, cells)
        check(plain in cut_output and cut_output.endswith(plain) and
              len(cut_output) > len(plain), "cut.pcap: what came before the cut is lost, "
              "or the next file is not decoded")

        # A capture libpcap refuses (pcap magic, version 9), then a hex file.
        bad = os.path.join(workdir, "bad.pcap")
        with open(bad, "wb") as f:
            f.write(data[:4] + b"\x09\x00" + data[6:24])
        hex_path = os.path.join(workdir, "one.hex")
        with open(hex_path, "w") as f:
            f.write(expected["sibs"][-1]["blocks"] + "\n")
        rc, bad_output, stderr = run(tool, bad, hex_path)
        check(rc == 1 and stderr.startswith(bad + ": unreadable capture: ") and
              stderr.count("\n") == 1, "bad.pcap: exit %d, %r" % (rc, stderr))
        check(b"::=" in bad_output, "bad.pcap: the next file is not decoded")

        if args.tshark:
            blocks = expected["frames"] - expected["skipped"]
            check_tshark(args.tshark, cells, blocks)
            check_tshark(args.tshark, os.path.join(workdir, "cells_cooked_ipv6.pcapng"), blocks)
            check_tshark(args.tshark, os.path.join(workdir, "cells_two_links.pcapng"), blocks)

        # The sample in examples/ is what the generator writes.
        regenerated = os.path.join(workdir, "sample.pcap")
        make_capture.sample(regenerated)
        with open(regenerated, "rb") as f, open(args.sample, "rb") as g:
            check(f.read() == g.read(), "examples/sample.pcap differs from make_capture.py sample")
        regenerated_hex = os.path.join(workdir, "sample.hex")
        make_capture.sample_hex(regenerated_hex)
        sample_hex = os.path.join(os.path.dirname(args.sample), "sample.hex")
        with open(regenerated_hex) as f, open(sample_hex) as g:
            check(f.read() == g.read(), "examples/sample.hex differs from make_capture.py sample-hex")

    if args.tshark:
        rc, output, stderr = run(tool, args.sample)
        m = COUNTS.search(stderr)
        check(rc == 0 and m is not None and m.group(2) == "0" and m.group(6) == "0",
              "sample: exit %d, %s" % (rc, stderr))
        check_tshark(args.tshark, args.sample, int(m.group(1)) if m else -1)

    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
