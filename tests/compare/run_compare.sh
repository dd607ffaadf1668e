#!/bin/sh
# Compares the shared library of BUILD_DIR with the one built from git
# revision BASE (default main), call by call and byte by byte, on valid model
# SIBs of every type, damaged variants of them and the fuzz corpora.
#
# Usage: tests/compare/run_compare.sh BUILD_DIR [BASE] [COUNT]
#   COUNT: valid encodings per SIB type (default 200)
# The base library is built once per revision in BUILD_DIR/compare-base/.
set -eu
build=$(cd "$1" && pwd)
base=${2:-main}
count=${3:-200}
root=$(cd "$(dirname "$0")/../.." && pwd)
python=$(command -v python3)

revision=$(git -C "$root" rev-parse --verify "$base^{commit}")
base_dir="$build/compare-base/$revision"
if [ ! -f "$base_dir/build/libsibdecode.so" ]; then
  rm -rf "$base_dir"
  mkdir -p "$base_dir/source"
  git -C "$root" archive "$revision" | tar -x -C "$base_dir/source"
  cmake -S "$base_dir/source" -B "$base_dir/build" -DSIBDECODE_TESTS=OFF >/dev/null
  cmake --build "$base_dir/build" -j2 --target libsibdecode >/dev/null
fi
cmake --build "$build" -j2 --target libsibdecode sibdecode_compare >/dev/null

inputs=$(mktemp -d)
trap 'rm -rf "$inputs"' EXIT
"$python" "$root/tests/bench/make_inputs.py" "$inputs" --count "$count"
"$build/tests/compare/sibdecode_compare" "$base_dir/build/libsibdecode.so" \
  "$build/libsibdecode.so" "$inputs" --batch-corpus "$root/tests/fuzz/corpus" \
  --sib-corpus "$root/tests/fuzz/corpus_sib"
