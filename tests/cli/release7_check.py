#!/usr/bin/env python3
"""`sibdecode --release 7` prints what RRCParserX returns: for every batch of the
test inputs (the model SIBs of every type, the sample, the batch fuzz corpus),
the tool's standard output is RRCParserX's text of each batch it decodes, each
followed by the tool's record end ("\\r\\n"), byte for byte.

The tool's default text of the same batches is the plain layout: no "\\r", no
unnamed dump, every line standing 4 spaces per block it is in (a walk of the
braces), every text's braces closed.

usage: release7_check.py --sibdecode TOOL --library LIBSIBDECODE_SO
"""

import argparse
import ctypes
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
SUMMARY_BYTES = 1044
WORK_BUFFER = 102400


def batches():
    """(origin, bytes) of every test batch."""
    with open(os.path.join(ROOT, "tests", "data", "model_sibs.txt")) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                sib, _bare, batch = line.split()
                yield "model SIB type %s" % sib, bytes.fromhex(batch)
    with open(os.path.join(ROOT, "examples", "sample.hex")) as f:
        for n, line in enumerate(f, 1):
            if line.strip() and not line.startswith("#"):
                yield "sample.hex:%d" % n, bytes.fromhex(line.strip())
    corpus = os.path.join(ROOT, "tests", "fuzz", "corpus")
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), "rb") as f:
            data = f.read()
        data = data[:len(data) - len(data) % 31]
        if data:
            yield "corpus/" + name, data


def rrc_parser_x(library):
    parse = library._Z10RRCParserXPhjP25tagSystemInformationBlockPcRj
    parse.restype = ctypes.c_bool
    parse.argtypes = [ctypes.c_char_p, ctypes.c_uint, ctypes.c_void_p, ctypes.c_char_p,
                      ctypes.POINTER(ctypes.c_uint)]

    def call(data):
        size = WORK_BUFFER + 29 + 2 * len(data) + 2 * ((len(data) - 1) // 31)
        text = ctypes.create_string_buffer(size)
        out = ctypes.create_string_buffer(SUMMARY_BYTES)
        length = ctypes.c_uint(0)
        if not parse(data, len(data), out, text, ctypes.byref(length)):
            return None
        return text.raw[:length.value]
    return call


def plain_layout_faults(output):
    """Where the tool's default output departs from the plain layout."""
    faults = []
    if b"\r" in output:
        faults.append("a carriage return at byte %d" % output.index(b"\r"))
    if b"Message dump" in output:
        faults.append("an unnamed dump at byte %d" % output.index(b"Message dump"))
    depth = 0
    texts = 0
    for n, line in enumerate(output.decode("latin-1").split("\n"), 1):
        content = line.lstrip(" ")
        if content.endswith(" ::="):
            if depth != 0:
                faults.append("line %d: a text starts with %d blocks open" % (n, depth))
            depth = 0
            texts += 1
        if content == "}":
            depth -= 1
        if content and len(line) - len(content) != 4 * depth:
            faults.append("line %d stands %d spaces in at depth %d: %r" % (n, len(line) - len(content), depth, line))
        if content == "{":
            depth += 1
        if depth < 0:
            faults.append("line %d closes a block that is not open" % n)
            depth = 0
    if depth != 0:
        faults.append("the last text ends with %d blocks open" % depth)
    return texts, faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--library", required=True)
    args = parser.parse_args()
    call = rrc_parser_x(ctypes.CDLL(args.library))
    inputs = []
    expected = b""
    decoded = 0
    for origin, data in batches():
        text = call(data)
        if text is not None and len(text) >= WORK_BUFFER:
            continue  # cut at the work buffer by RRCParserX; the tool prints it whole
        inputs.append((origin, data))
        if text is not None:
            expected += text + b"\r\n"
            decoded += 1
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, "batches.hex")
        with open(path, "w") as f:
            for _origin, data in inputs:
                f.write(data.hex() + "\n")
        proc = subprocess.run([args.sibdecode, "--release", "7", path], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
        plain = subprocess.run([args.sibdecode, path], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
    texts, faults = plain_layout_faults(plain.stdout)
    print("%d texts in the default layout: %s" % (texts, "; ".join(faults[:5]) if faults else "plain"))
    same = proc.stdout == expected
    print("%d batches, %d decoded by RRCParserX: the tool's text %s" %
          (len(inputs), decoded, "is the same" if same else "DIFFERS"))
    if not same:
        at = next(i for i, (a, b) in enumerate(zip(proc.stdout, expected)) if a != b) \
            if proc.stdout[:len(expected)] != expected[:len(proc.stdout)] else min(len(proc.stdout), len(expected))
        print("first difference at byte %d:\n tool: %r\n RRCParserX: %r" %
              (at, proc.stdout[at - 80:at + 80], expected[at - 80:at + 80]))
    return 0 if same and decoded > 20 and not faults and texts > decoded else 1


if __name__ == "__main__":
    sys.exit(main())
