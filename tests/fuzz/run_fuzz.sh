#!/usr/bin/env bash
# Builds the libFuzzer target with clang (ASan + UBSan) and runs it for a
# bounded time on a copy of the seed corpus, inputs up to FUZZ_MAX_LEN bytes
# (default 10000). Usage: run_fuzz.sh SECONDS
set -euo pipefail

seconds="${1:?usage: run_fuzz.sh SECONDS}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
work="$root/tests/fuzz/corpus-work"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSIBDECODE_FUZZ=ON -DSIBDECODE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target sibdecode_fuzz

rm -rf "$work"
mkdir -p "$work"
cp "$root"/tests/fuzz/corpus/* "$work"/

cd "$build"
"$build/tests/fuzz/sibdecode_fuzz" -max_total_time="$seconds" -max_len="${FUZZ_MAX_LEN:-10000}" -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 "$work"
