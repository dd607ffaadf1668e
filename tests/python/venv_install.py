"""The package as a user installs it: in a fresh venv of the given Python,
offline, `pip install --no-index` from the checkout and `pip wheel` (the
in-tree backend reusing BUILD_DIR, so that the library is not built twice);
then, outside the checkout and with nothing of the build on the paths, the
README's Python example runs on the installed package, and `python -m
sibdecode examples/sample.pcap` prints what the tool prints. Exit 77
(skipped) when the Python has no venv or pip.

usage: venv_install.py PYTHON SOURCE_DIR BUILD_DIR TOOL
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile


def run(command, **kwargs):
    proc = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)
    if proc.returncode != 0:
        sys.stdout.write(proc.stdout.decode(errors="replace"))
        sys.stdout.write(proc.stderr.decode(errors="replace"))
        raise SystemExit("FAIL: %s exited %d" % (" ".join(command), proc.returncode))
    return proc


def readme_example(source):
    with open(os.path.join(source, "README.md")) as f:
        section = f.read().split("\n## Python\n", 1)[1]
    return re.search(r"^```python\n(.*?)^```$", section, re.S | re.M).group(1)


def main():
    python, source, build, tool = sys.argv[1:5]
    probe = subprocess.run([python, "-c", "import venv, ensurepip"], stderr=subprocess.DEVNULL)
    if probe.returncode != 0:
        print("%s has no venv or ensurepip: skipped" % python)
        return 77
    env = {k: v for k, v in os.environ.items()
           if k not in ("PYTHONPATH", "SIBDECODE_LIBRARY", "SIBDECODE_TOOL", "PIP_INDEX_URL")}
    env["PIP_NO_INDEX"] = "1"
    env["PIP_DISABLE_PIP_VERSION_CHECK"] = "1"
    env["SIBDECODE_CMAKE_BUILD_DIR"] = build
    with tempfile.TemporaryDirectory() as scratch:
        venv = os.path.join(scratch, "venv")
        run([python, "-m", "venv", venv], env=env)
        bin_dir = os.path.join(venv, "bin")
        venv_python = os.path.join(bin_dir, "python")
        run([venv_python, "-m", "pip", "install", "--no-index", source], env=env, cwd=scratch)
        wheels = os.path.join(scratch, "wheels")
        run([venv_python, "-m", "pip", "wheel", "--no-index", "--no-deps", "-w", wheels, source],
            env=env, cwd=scratch)
        made = os.listdir(wheels)
        assert len(made) == 1 and made[0].endswith(".whl"), made
        names = zipfile.ZipFile(os.path.join(wheels, made[0])).namelist()
        for inside in ("sibdecode/__init__.py", "sibdecode/libsibdecode.so.0",
                       "sibdecode/_tool/sibdecode"):
            assert inside in names, (inside, names)

        # The README's example, from a copy of the checkout's examples folder (it
        # names examples/sample.pcap), where no sibdecode folder can be imported.
        shutil.copytree(os.path.join(source, "examples"), os.path.join(scratch, "examples"))
        example = "import sibdecode\nassert sibdecode.__file__.startswith(%r)\n%s" % (
            venv, readme_example(source))
        out = run([venv_python, "-c", example], env=env, cwd=scratch).stdout.decode()
        assert "SIB3" in out and "cell identity" in out and "::=" in out, out

        sample = os.path.join("examples", "sample.pcap")
        got = subprocess.run([venv_python, "-m", "sibdecode", sample], stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=env, cwd=scratch)
        want = subprocess.run([tool, sample], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              cwd=scratch)
        assert (got.returncode, got.stdout, got.stderr) == (
            want.returncode, want.stdout, want.stderr), (got.stderr, want.stderr)
        assert want.returncode == 0 and b"::=" in want.stdout
        command = os.path.join(bin_dir, "sibdecode")
        assert run([command, "--version"], env=env).stdout == run([tool, "--version"]).stdout
    print("installed offline with %s; the README example and python -m sibdecode work" % python)
    return 0


if __name__ == "__main__":
    sys.exit(main())
