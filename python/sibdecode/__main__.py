"""python -m sibdecode [OPTION...] [FILE...]: the sibdecode tool that came with
the package, run with the same arguments (its output, its exit status; see
`python -m sibdecode --help`). The installed wheel carries the tool; the build
tree's package runs the tool built beside it; SIBDECODE_TOOL names another."""

import os
import shutil
import subprocess
import sys
from typing import List, Optional


def tool_path() -> str:
    """The tool this package runs: SIBDECODE_TOOL, the one beside the package
    (a wheel, the build tree, `cmake --install`), or `sibdecode` on PATH."""
    named = os.environ.get("SIBDECODE_TOOL")
    if named:
        return named
    try:
        from . import _location
        beside = getattr(_location, "TOOL", None)
        if beside:
            path = os.path.normpath(os.path.join(os.path.dirname(__file__), beside))
            if os.path.exists(path):
                return path
    except ImportError:
        pass
    return shutil.which("sibdecode") or "sibdecode"


def main(argv: Optional[List[str]] = None) -> int:
    args = [tool_path()] + (sys.argv[1:] if argv is None else list(argv))
    if os.name == "posix":
        sys.stdout.flush()
        sys.stderr.flush()
        try:
            os.execv(args[0], args)  # the tool in this process: its output and status as they are
        except OSError as error:
            print("python -m sibdecode: cannot run %s: %s" % (args[0], error.strerror),
                  file=sys.stderr)
            return 1
    return subprocess.call(args)


if __name__ == "__main__":
    sys.exit(main())
