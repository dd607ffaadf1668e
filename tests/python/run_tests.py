"""Runs the Python package's tests with pytest; exit 77 (skipped) without it.
usage: run_tests.py PACKAGE_DIR SIBDECODE_TOOL [pytest arguments] [TEST_FILE.py...]
(the folder's tests without a test file named)."""

import os
import sys


def main() -> int:
    try:
        import pytest
    except ImportError:
        print("pytest is not installed (Debian python3-pytest): skipped")
        return 77
    package, tool = sys.argv[1], sys.argv[2]
    # Also for the processes the tests start (the tool's peers, Dask workers).
    os.environ["PYTHONPATH"] = os.pathsep.join(
        filter(None, [package, os.environ.get("PYTHONPATH")]))
    os.environ["SIBDECODE_CLI"] = tool
    sys.path.insert(0, package)
    here = os.path.dirname(os.path.abspath(__file__))
    arguments = sys.argv[3:]
    # The folder's tests, or the test files named.
    named = [a for a in arguments if not a.startswith("-") and a.endswith(".py")]
    return pytest.main(["-q", "-p", "no:cacheprovider"] + ([] if named else [here]) + arguments)


# Worker processes started by spawning import this file again: only the first runs the tests.
if __name__ == "__main__":
    sys.exit(main())
