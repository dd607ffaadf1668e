#!/usr/bin/env bash
# Line and function coverage of the generated decoders and printers reached by
# the fuzz corpora: builds both fuzz targets with clang source-based coverage,
# runs every input once and reports src/rrc/generated/*.cpp, src/print/generated/*_print.cpp and
# src/print/generated/*_json.cpp (llvm-cov-14).
# Usage: coverage.sh [BATCH_CORPUS [SIB_CORPUS]]  (default: the kept corpora)
set -euo pipefail

root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${COVERAGE_BUILD_DIR:-$root/build-cov}"
batch="${1:-$root/tests/fuzz/corpus}"
sib="${2:-$root/tests/fuzz/corpus_sib}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSIBDECODE_FUZZ=ON -DSIBDECODE_TESTS=OFF \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
  -DCMAKE_EXE_LINKER_FLAGS="-fprofile-instr-generate" >/dev/null
cmake --build "$build" -j2 --target sibdecode_fuzz sibdecode_fuzz_sib

profiles="$build/profiles"
rm -rf "$profiles"
mkdir -p "$profiles"
LLVM_PROFILE_FILE="$profiles/batch.profraw" "$build/tests/fuzz/sibdecode_fuzz" -runs=0 "$batch" \
  >/dev/null 2>&1
LLVM_PROFILE_FILE="$profiles/sib.profraw" "$build/tests/fuzz/sibdecode_fuzz_sib" -runs=0 "$sib" \
  >/dev/null 2>&1
llvm-profdata-14 merge -o "$profiles/all.profdata" "$profiles"/*.profraw

cd "$root"
generated=(src/rrc/generated/*.cpp src/print/generated/*_print.cpp src/print/generated/*_json.cpp)
llvm-cov-14 report "$build/tests/fuzz/sibdecode_fuzz" -object "$build/tests/fuzz/sibdecode_fuzz_sib" \
  -instr-profile="$profiles/all.profdata" "${generated[@]}"
