#!/usr/bin/env python3
"""The README's examples work as written: every `console` block's `$ ` lines
run from the checkout (with the tool under test in place of ./build/cli/sibdecode)
and print exactly the lines shown under them (standard output and standard
error together); the first set-up command builds into build/, where the
examples point, and ends with a run of the tool on the sample; the second
builds the tests there and runs them.

usage: readme_test.py --sibdecode PATH [--readme README.md]
"""

import argparse
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
TOOL_IN_README = "./build/cli/sibdecode"


def blocks(text, language):
    return re.findall(r"^```%s\n(.*?)^```$" % language, text, re.S | re.M)


def examples(text):
    """(command, expected output lines) of every console block."""
    found = []
    for block in blocks(text, "console"):
        for chunk in re.split(r"^\$ ", block, flags=re.M)[1:]:
            lines = chunk.rstrip("\n").split("\n")
            found.append((lines[0], lines[1:]))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sibdecode", required=True)
    parser.add_argument("--readme", default=os.path.join(ROOT, "README.md"))
    args = parser.parse_args()
    with open(args.readme) as f:
        text = f.read()
    tool = os.path.abspath(args.sibdecode)
    failures = 0

    def check(condition, what):
        nonlocal failures
        if not condition:
            failures += 1
            print("FAIL: " + what)

    found = examples(text)
    check(len(found) >= 4, "%d console examples in the README" % len(found))
    for command, expected in found:
        check(TOOL_IN_README in command, "example without the tool: " + command)
        proc = subprocess.run(["bash", "-c", command.replace(TOOL_IN_README, tool)], cwd=ROOT,
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        got = proc.stdout.decode("utf-8", "replace").replace("\r", "").rstrip("\n").split("\n")
        check(got == expected, "%s\n  README: %r\n  got:    %r" % (command, expected, got))

    setup = [b.strip() for b in blocks(text, "sh")[:2]]
    check(len(setup) == 2, "two set-up commands")
    if len(setup) == 2:
        first = [part.strip() for part in setup[0].split("&&")]
        check(any(part.startswith("cmake -S . -B build ") for part in first),
              "the first set-up command builds into build/: " + setup[0])
        check(first[-1] == TOOL_IN_README + " examples/sample.pcap",
              "the first set-up command ends with the tool on the sample: " + first[-1])
        proc = subprocess.run([tool, "examples/sample.pcap"], cwd=ROOT, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE)
        check(proc.returncode == 0 and proc.stdout.count(b"::=") > 0,
              "the first set-up command's run of the sample")
        second = [part.strip() for part in setup[1].split("&&")]
        check(any(part.startswith("cmake -S . -B build ") and "SIBDECODE_TESTS=ON" in part
                  for part in second), "the second set-up command builds the tests in build/")
        check(second[-1].startswith("ctest --test-dir build"), "the second set-up command tests")
        for command in setup:
            check(command.count("apt-get") == 2 and
                  command.count("$(command -v sudo) apt-get") == 2,
                  "apt-get as root and through sudo alike: " + command)

    print("%d examples, %d failures" % (len(found), failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
