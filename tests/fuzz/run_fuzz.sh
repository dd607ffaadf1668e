#!/usr/bin/env bash
# Builds a libFuzzer target with clang (ASan + UBSan) and runs it for a bounded
# time on a copy of its kept corpus. Usage: run_fuzz.sh SECONDS
#   FUZZ_TARGET=batch (default): sibdecode_fuzz on tests/fuzz/corpus/, inputs up
#     to FUZZ_MAX_LEN bytes (default 10000);
#   FUZZ_TARGET=sib: sibdecode_fuzz_sib (bare SIBs, text and JSON) on
#     tests/fuzz/corpus_sib/, inputs up to FUZZ_MAX_LEN bytes (default 600);
#   FUZZ_TARGET=capture: capture files (pcap, pcapng, gzip/xz/zstd) on
#     tests/fuzz/corpus_capture/ (default 20000 bytes);
#   FUZZ_TARGET=gsmtap: fed GSMTAP datagrams on tests/fuzz/corpus_gsmtap/ (5000);
#   FUZZ_TARGET=capi: C interface call sequences on tests/fuzz/corpus_capi/ (4000).
set -euo pipefail

seconds="${1:?usage: run_fuzz.sh SECONDS}"
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
case "${FUZZ_TARGET:-batch}" in
  batch) target=sibdecode_fuzz corpus=corpus max_len="${FUZZ_MAX_LEN:-10000}" ;;
  sib) target=sibdecode_fuzz_sib corpus=corpus_sib max_len="${FUZZ_MAX_LEN:-600}" ;;
  capture) target=sibdecode_fuzz_capture corpus=corpus_capture max_len="${FUZZ_MAX_LEN:-20000}" ;;
  gsmtap) target=sibdecode_fuzz_gsmtap corpus=corpus_gsmtap max_len="${FUZZ_MAX_LEN:-5000}" ;;
  capi) target=sibdecode_fuzz_capi corpus=corpus_capi max_len="${FUZZ_MAX_LEN:-4000}" ;;
  *) echo "FUZZ_TARGET must be batch, sib, capture, gsmtap or capi" >&2; exit 2 ;;
esac
work="$root/tests/fuzz/corpus-work/${FUZZ_TARGET:-batch}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSIBDECODE_FUZZ=ON -DSIBDECODE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "$target"

rm -rf "$work"
mkdir -p "$work"
cp "$root/tests/fuzz/$corpus"/* "$work"/

cd "$build"
"$build/tests/fuzz/$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 \
  -rss_limit_mb=4096 -print_final_stats=1 "$work"
