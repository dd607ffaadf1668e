#!/usr/bin/env python3
"""Regenerates the codec into a temporary folder and fails when any committed
generated file differs or is missing.

usage: check_generated.py REPO_ROOT [ASN1_FOLDER]
ASN1_FOLDER defaults to REPO_ROOT/../shared/asn1. Exits 77 (skipped) when it is absent.
"""

import filecmp
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import generate  # noqa: E402

SKIPPED = 77


def main(argv):
    if len(argv) not in (2, 3):
        sys.stderr.write(__doc__)
        return 2
    repo = os.path.abspath(argv[1])
    asn1_folder = argv[2] if len(argv) == 3 else os.path.join(repo, "..", "shared", "asn1")
    if not os.path.isdir(asn1_folder):
        print("skipped: no ASN.1 folder at %s" % asn1_folder)
        return SKIPPED
    with tempfile.TemporaryDirectory() as tmp:
        written = generate.generate(asn1_folder, tmp)
        differing = [rel for rel in written
                     if not os.path.exists(os.path.join(repo, rel))
                     or not filecmp.cmp(os.path.join(tmp, rel), os.path.join(repo, rel), shallow=False)]
    if differing:
        print("generated files differ from a fresh generation: %s" % ", ".join(differing))
        print("run: python3 tools/asn1gen/generate.py %s ." % asn1_folder)
        return 1
    print("%d generated files match a fresh generation" % len(written))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
