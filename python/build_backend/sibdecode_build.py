"""The package's build backend (PEP 517), on the standard library only, so that
`pip install .` and `pip wheel .` work offline: CMake builds libsibdecode and
the sibdecode tool, and the wheel holds them inside the package beside its
Python files.

    sibdecode/                the package (python/sibdecode/*.py)
    sibdecode/_location.py    names the two files below, relative to the package
    sibdecode/libsibdecode.so.0
    sibdecode/_tool/sibdecode what `python -m sibdecode` and the `sibdecode` command run

The CMake build goes to build-python/ in the checkout (kept, so that a second
install is quick), or to the folder SIBDECODE_CMAKE_BUILD_DIR names (an
existing build tree is reused as it is configured). Needs cmake and a C++
compiler, as the library's own build does; nothing from a Python registry.
"""

import base64
import csv
import hashlib
import io
import os
import re
import shutil
import stat
import subprocess
import sys
import sysconfig
import tarfile
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
NAME = "sibdecode"
SUMMARY = "TD-SCDMA BCH system information (SIBs) from BCH blocks and GSMTAP captures"
LIBRARY = "libsibdecode.so.0"  # the SONAME the library is loaded by
TOOL = "_tool/sibdecode"


def _version():
    with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
        found = re.search(r"project\(sibdecode VERSION ([0-9.]+)", f.read())
    if not found:
        raise RuntimeError("CMakeLists.txt names no project version")
    return found.group(1)


def _metadata():
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        readme = f.read()
    return ("Metadata-Version: 2.1\nName: %s\nVersion: %s\nSummary: %s\n"
            "Requires-Python: >=3.9\nProvides-Extra: dask\n"
            "Requires-Dist: dask[bag]; extra == \"dask\"\n"
            "Requires-Dist: distributed; extra == \"dask\"\n"
            "Description-Content-Type: text/markdown\n\n%s" % (NAME, _version(), SUMMARY, readme))


def _tag():
    """py3-none-PLATFORM: ctypes loads the library, so any Python 3 of the
    platform will do."""
    return "py3-none-" + re.sub(r"[-.]", "_", sysconfig.get_platform())


def _dist_info():
    return "%s-%s.dist-info" % (NAME, _version())


def _dist_info_files():
    wheel = "Wheel-Version: 1.0\nGenerator: sibdecode_build\nRoot-Is-Purelib: false\nTag: %s\n" % (
        _tag())
    entry_points = "[console_scripts]\nsibdecode = sibdecode.__main__:main\n"
    return {"METADATA": _metadata(), "WHEEL": wheel, "entry_points.txt": entry_points}


def _run(command):
    print("sibdecode_build: " + " ".join(command), file=sys.stderr)
    sys.stderr.flush()
    subprocess.run(command, check=True, stdout=sys.stderr)


def _build(config_settings):
    """Builds the library and the tool; (library path, tool path)."""
    settings = config_settings or {}
    folder = settings.get("build-dir") or os.environ.get("SIBDECODE_CMAKE_BUILD_DIR") or (
        os.path.join(ROOT, "build-python"))
    folder = os.path.abspath(folder)
    if not os.path.exists(os.path.join(folder, "CMakeCache.txt")):
        configure = ["cmake", "-S", ROOT, "-B", folder, "-DCMAKE_BUILD_TYPE=Release",
                     "-DSIBDECODE_TESTS=OFF"]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        _run(configure)
    jobs = settings.get("jobs") or os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or "2"
    _run(["cmake", "--build", folder, "--target", "libsibdecode", NAME, "-j", str(jobs)])
    library = os.path.join(folder, LIBRARY)
    tool = os.path.join(folder, "cli", NAME)
    for path in (library, tool):
        if not os.path.exists(path):
            raise RuntimeError("the build made no %s" % path)
    return os.path.realpath(library), tool


class _Wheel:
    """A wheel being written, with its RECORD."""

    def __init__(self, path):
        self.zip = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
        self.records = []

    def add(self, name, data, executable=False):
        info = zipfile.ZipInfo(name, date_time=(2026, 1, 1, 0, 0, 0))
        info.external_attr = (stat.S_IFREG | (0o755 if executable else 0o644)) << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        self.zip.writestr(info, data)
        digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
        self.records.append((name, "sha256=" + digest, str(len(data))))

    def close(self, record_name):
        out = io.StringIO()
        writer = csv.writer(out, lineterminator="\n")
        writer.writerows(self.records + [(record_name, "", "")])
        self.zip.writestr(record_name, out.getvalue())
        self.zip.close()


def _read(path):
    with open(path, "rb") as f:
        return f.read()


# ---- PEP 517 hooks ----


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    folder = os.path.join(metadata_directory, _dist_info())
    os.makedirs(folder, exist_ok=True)
    for name, text in _dist_info_files().items():
        with open(os.path.join(folder, name), "w", encoding="utf-8") as f:
            f.write(text)
    return _dist_info()


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    library, tool = _build(config_settings)
    name = "%s-%s-%s.whl" % (NAME, _version(), _tag())
    wheel = _Wheel(os.path.join(wheel_directory, name))
    package = os.path.join(ROOT, "python", NAME)
    for source in sorted(os.listdir(package)):
        if source.endswith(".py") and source != "_location.py":
            wheel.add("%s/%s" % (NAME, source), _read(os.path.join(package, source)))
    wheel.add("%s/_location.py" % NAME, (
        "# Written by the wheel's build: the files this copy of the package carries.\n"
        "LIBRARY = %r\nTOOL = %r\n" % (LIBRARY, TOOL)).encode())
    wheel.add("%s/%s" % (NAME, LIBRARY), _read(library))
    wheel.add("%s/%s" % (NAME, TOOL), _read(tool), executable=True)
    for file, text in _dist_info_files().items():
        wheel.add("%s/%s" % (_dist_info(), file), text.encode("utf-8"))
    wheel.close("%s/RECORD" % _dist_info())
    return name


def build_sdist(sdist_directory, config_settings=None):
    """The checkout's files as git knows them (or all but build trees)."""
    base = "%s-%s" % (NAME, _version())
    try:
        listed = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], check=True,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        files = [f for f in listed.decode().split("\0")
                 if f and os.path.isfile(os.path.join(ROOT, f))]
    except (OSError, subprocess.CalledProcessError):
        files = [os.path.relpath(os.path.join(top, f), ROOT)
                 for top, dirs, names in os.walk(ROOT)
                 for f in names
                 if not os.path.relpath(top, ROOT).split(os.sep)[0].startswith(("build", ".git"))]
    name = base + ".tar.gz"
    with tarfile.open(os.path.join(sdist_directory, name), "w:gz") as tar:
        for file in sorted(files):
            tar.add(os.path.join(ROOT, file), arcname="%s/%s" % (base, file), recursive=False)
        info = tarfile.TarInfo("%s/PKG-INFO" % base)
        data = _metadata().encode("utf-8")
        info.size = len(data)
        tar.addfile(info, io.BytesIO(data))
    return name
