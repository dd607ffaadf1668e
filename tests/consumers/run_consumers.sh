#!/usr/bin/env bash
# Installs a build into a temporary prefix, builds the two consumer projects
# against the installed copy only (find_package and pkg-config), and checks
# that they and the installed tool print the same bytes as the built tool for
# the bundled sample. Also checks the installed tree: SONAME, symlinks, no
# test programs or static library.
# Usage: run_consumers.sh BUILD_DIR [SAMPLE_HEX]   (CXX picks the compiler)
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
sample="${2:-$here/../../examples/sample.hex}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
failed=0
fail() { echo "FAIL: $*"; failed=1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log"
sed -n 's/^-- \(Installing\|Up-to-date\): //p' "$work/install.log" | sed "s|^$prefix/||" | sort \
  >"$work/installed"
echo "installed into <prefix>:"
sed 's/^/  /' "$work/installed"

# The installed tree.
libdir=$(sed -n 's|^\(.*\)/libsibdecode\.so$|\1|p' "$work/installed")
[ -n "$libdir" ] || { echo "FAIL: no libsibdecode.so installed"; exit 1; }
for f in bin/sibdecode include/sibdecode/sibdecode.h "$libdir/pkgconfig/sibdecode.pc" \
  "$libdir/cmake/sibdecode/sibdecodeConfig.cmake" \
  "$libdir/cmake/sibdecode/sibdecodeConfigVersion.cmake" \
  "$libdir/cmake/sibdecode/sibdecodeTargets.cmake"; do
  grep -qx "$f" "$work/installed" || fail "$f not installed"
done
if grep -E 'test|bench|fuzz|\.a$' "$work/installed"; then fail "test programs or static library installed"; fi
soname=$(readelf -d "$prefix/$libdir/libsibdecode.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
echo "SONAME: $soname"
[[ "$soname" =~ ^libsibdecode\.so\.[0-9]+$ ]] || fail "SONAME '$soname' is not versioned"
[ -L "$prefix/$libdir/libsibdecode.so" ] || fail "libsibdecode.so is not a symlink"
[ "$(readlink "$prefix/$libdir/$soname")" != "" ] || fail "$soname is not a symlink"
[ -f "$prefix/$libdir/$soname" ] || fail "$soname does not resolve"

# Reference: the built tool on the sample, at the library calls' default release (7).
"$build/cli/sibdecode" --release 7 "$sample" >"$work/expected"
[ -s "$work/expected" ] || fail "the built tool printed nothing"

# The installed tool carries the library's code and the C++ runtime: it runs
# without the build tree and without any shared library of ours or libstdc++.
if ldd "$prefix/bin/sibdecode" | grep -E 'libsibdecode|libstdc\+\+'; then
  fail "installed sibdecode depends on a shared library it should carry"
fi
"$prefix/bin/sibdecode" --release 7 "$sample" >"$work/installed_tool.out"
cmp "$work/expected" "$work/installed_tool.out" || fail "installed tool output differs"

# Consumer 1: find_package(sibdecode), target sibdecode::sibdecode.
cmake -S "$here/find_package" -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" \
  ${CXX:+-DCMAKE_CXX_COMPILER="$CXX"} >"$work/find_package.log" ||
  { cat "$work/find_package.log"; fail "find_package consumer: configure"; }
cmake --build "$work/find_package" >>"$work/find_package.log" 2>&1 ||
  { cat "$work/find_package.log"; fail "find_package consumer: build"; }
if [ -x "$work/find_package/decode_sample" ]; then
  ldd "$work/find_package/decode_sample" | grep libsibdecode | grep -q "$prefix/" ||
    fail "find_package consumer does not load the installed library"
  "$work/find_package/decode_sample" "$sample" >"$work/find_package.out" ||
    fail "find_package consumer exit status $?"
  cmp "$work/expected" "$work/find_package.out" || fail "find_package consumer output differs"
fi

# Consumer 2: pkg-config --cflags --libs sibdecode, built with make.
mkdir "$work/pkg_config"
pc_libdir=$(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --variable=libdir sibdecode)
echo "pkg-config: $(PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" pkg-config --cflags --libs sibdecode)"
(cd "$work/pkg_config" &&
  PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig" make -f "$here/pkg_config/Makefile" \
    ${CXX:+CXX="$CXX"} >"$work/pkg_config.log" 2>&1) ||
  { cat "$work/pkg_config.log"; fail "pkg-config consumer: build"; }
if [ -x "$work/pkg_config/decode_sample" ]; then
  LD_LIBRARY_PATH="$pc_libdir" ldd "$work/pkg_config/decode_sample" | grep libsibdecode |
    grep -q "$prefix/" || fail "pkg-config consumer does not load the installed library"
  LD_LIBRARY_PATH="$pc_libdir" "$work/pkg_config/decode_sample" "$sample" >"$work/pkg_config.out" ||
    fail "pkg-config consumer exit status $?"
  cmp "$work/expected" "$work/pkg_config.out" || fail "pkg-config consumer output differs"
fi

# Consumer 3: the installed Python package finds the installed library beside it.
package=$(sed -n 's|^\(.*\)/sibdecode/__init__\.py$|\1|p' "$work/installed")
if [ -z "$package" ]; then
  fail "the Python package is not installed"
elif [ -x /usr/bin/python3 ]; then
  (cd "$work" && PYTHONPATH="$prefix/$package" /usr/bin/python3 -c \
    'import sys, sibdecode._native as n; sys.stdout.write(n.library()._name)') >"$work/python.lib" ||
    fail "the installed Python package cannot load its library"
  [ "$(realpath "$(cat "$work/python.lib")")" = "$(realpath "$prefix/$libdir/$soname")" ] ||
    fail "the installed Python package loads $(cat "$work/python.lib"), not the installed library"
  (cd "$work" && PYTHONPATH="$prefix/$package" /usr/bin/python3 -m sibdecode "$sample") \
    >"$work/python.out" || fail "python3 -m sibdecode exit status $?"
  "$build/cli/sibdecode" "$sample" >"$work/expected_latest"  # the tool's own default
  cmp "$work/expected_latest" "$work/python.out" || fail "python3 -m sibdecode output differs"
fi

if [ "$failed" -ne 0 ]; then exit 1; fi
echo "installed package: tool, find_package, pkg-config and Python consumers agree with the built tool"
