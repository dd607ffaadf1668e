"""Runs the Python package's tests with pytest; exit 77 (skipped) without it.
usage: run_tests.py PACKAGE_DIR SIBDECODE_TOOL [pytest arguments]"""

import os
import sys

try:
    import pytest
except ImportError:
    print("pytest is not installed (Debian python3-pytest): skipped")
    sys.exit(77)

package, tool = sys.argv[1], sys.argv[2]
os.environ["PYTHONPATH"] = os.pathsep.join(filter(None, [package, os.environ.get("PYTHONPATH")]))
os.environ["SIBDECODE_CLI"] = tool
sys.path.insert(0, package)
here = os.path.dirname(os.path.abspath(__file__))
sys.exit(pytest.main(["-q", "-p", "no:cacheprovider", here] + sys.argv[3:]))
