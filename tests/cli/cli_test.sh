#!/usr/bin/env bash
# Command-line behaviour of the sibdecode tool: decoding, comments and blank
# lines, --bin, --sib, --summary, and one-line errors for malformed input.
# Usage: cli_test.sh PATH_TO_SIBDECODE SAMPLE_HEX
set -uo pipefail

tool="$1"
sample="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # name, condition result (0 = ok)
  if [ "$2" -eq 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1"; fi
}

# The sample decodes every batch; no notes on stderr.
"$tool" "$sample" >"$work/out" 2>"$work/err"; rc=$?
check "sample exit 0" $rc
n=$(grep -c "::=" "$work/out"); [ "$n" -eq "$(grep -c '^[0-9A-F]' "$sample")" ]; check "one text per batch" $?
[ ! -s "$work/err" ]; check "no notes for decoded batches" $?
grep -q "<<<-----raw data ----->>>" "$work/out"; check "trailer present" $?

# Standard input, comments, spaces and blank lines.
sib3=$(grep -A1 '^# SIB3' "$sample" | grep -m1 '^[0-9A-F]')
spaced=$(echo "$sib3" | sed 's/\(..\)/\1 /g')
printf '# comment only\n\n%s  # trailing comment\n\n' "$spaced" | "$tool" >"$work/out" 2>"$work/err"; rc=$?
check "stdin exit 0" $rc
[ "$(grep -c '::=' "$work/out")" -eq 1 ]; check "spaced line decodes" $?

# A batch that yields nothing gets a note and exit 0.
printf '%062d\n' 0 | "$tool" >"$work/out" 2>"$work/err"; rc=$?
check "nothing decoded exit 0" $rc
grep -q "^<stdin>:1: nothing decoded" "$work/err"; check "note names line" $?

# Malformed hex: one line "file:line: message", exit 2.
printf '%s\nABC\n' "$sib3" >"$work/odd.hex"
"$tool" "$work/odd.hex" >"$work/out" 2>"$work/err"; rc=$?
[ $rc -eq 2 ]; check "odd digits exit 2" $?
[ "$(cat "$work/err")" = "$work/odd.hex:2: odd number of hex digits" ]; check "odd digits message" $?
printf '00\n0G\n' >"$work/bad.hex"
"$tool" "$work/bad.hex" >"$work/out" 2>"$work/err"; rc=$?
[ $rc -eq 2 ]; check "bad char exit 2" $?
grep -q "^$work/bad.hex:2: bad character 'G' in column 2$" "$work/err"; check "bad char message" $?
printf '00\xff\n' | "$tool" >/dev/null 2>"$work/err"; rc=$?
[ $rc -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 1 ]; check "binary junk in text mode" $?

# Errors do not stop the input: the lines after a malformed one and the
# files after a missing one are decoded; the exit status tells the worst.
printf '%s\nXY\n%s\n' "$sib3" "$sib3" >"$work/middle.hex"
"$tool" "$work/middle.hex" >"$work/out" 2>"$work/err"; rc=$?
[ $rc -eq 2 ] && [ "$(grep -c '::=' "$work/out")" -eq 2 ]; check "decodes past a bad line" $?
[ "$(cat "$work/err")" = "$work/middle.hex:2: bad character 'X' in column 1" ]; check "bad line message" $?
"$tool" "$work/missing.hex" "$work/middle.hex" >"$work/out" 2>"$work/err"; rc=$?
[ $rc -eq 2 ] && [ "$(grep -c '::=' "$work/out")" -eq 2 ]; check "decodes past a missing file" $?
grep -q "^$work/missing.hex: " "$work/err"; check "missing file message" $?
"$tool" "$work/missing.hex" "$sample" >"$work/out" 2>/dev/null; rc=$?
[ $rc -eq 1 ] && grep -q '::=' "$work/out"; check "missing file exit 1" $?

# --bin: the whole file is one batch.
printf '%b' "$(echo "$sib3" | sed 's/../\\x&/g')" >"$work/sib3.bin"
"$tool" --bin "$work/sib3.bin" >"$work/out" 2>"$work/err"; rc=$?
check "--bin exit 0" $rc
grep -q "SysInfoType3 ::=" "$work/out"; check "--bin decodes" $?

# --summary prints the record.
"$tool" --summary "$work/sib3.bin" --bin >"$work/out" 2>&1
grep -q "sib3.cellIdentity = " "$work/out"; check "--summary" $?

# --sib N: a bare SIB3 has no raw-data trailer.
printf '4000000000\n' | "$tool" --sib 3 >"$work/out" 2>"$work/err"; rc=$?
check "--sib exit 0" $rc
grep -q "SysInfoType3 ::=" "$work/out" && ! grep -q "raw data" "$work/out"; check "--sib text" $?

# Arguments.
"$tool" --help >"$work/out" 2>&1; check "--help exit 0" $?
grep -q "usage: sibdecode" "$work/out"; check "--help text" $?
"$tool" --sib 40 </dev/null >/dev/null 2>&1; [ $? -eq 2 ]; check "--sib out of range" $?
"$tool" --frobnicate </dev/null >/dev/null 2>&1; [ $? -eq 2 ]; check "unknown option" $?
"$tool" "$work/missing.hex" >/dev/null 2>&1; [ $? -eq 1 ]; check "missing file" $?
if [ -w /dev/full ]; then
  "$tool" --bin "$work/sib3.bin" >/dev/full 2>/dev/null; [ $? -eq 1 ]; check "output not written" $?
fi

# Output through the large output buffer: many texts in one run are the texts
# of the batches one by one (buffer boundaries lose or repeat nothing).
: >"$work/many.hex"; : >"$work/many.expected"
for k in $(seq 60); do cat "$sample" >>"$work/many.hex"; done
"$tool" "$sample" >"$work/one.out" 2>/dev/null
for k in $(seq 60); do cat "$work/one.out" >>"$work/many.expected"; done
"$tool" "$work/many.hex" >"$work/many.out" 2>/dev/null; rc=$?
[ $rc -eq 0 ] && cmp -s "$work/many.out" "$work/many.expected"; check "many batches in one run" $?
"$tool" <"$work/many.hex" | cmp -s - "$work/many.expected"; check "many batches through a pipe" $?

# Standard output and standard error in one file (2>&1): the notes keep their
# place among the texts although standard output is written in large blocks.
printf '%062d\n%s\n%062d\n' 0 "$sib3" 0 | "$tool" >"$work/both" 2>&1
[ "$(sed -n 1p "$work/both")" = "<stdin>:1: nothing decoded" ] &&
  [ "$(tail -n 1 "$work/both")" = "<stdin>:3: nothing decoded" ] &&
  [ "$(grep -c '::=' "$work/both")" -eq 1 ]; check "notes in order with 2>&1" $?

# Lines longer than a read: the column of a bad character and the batch after it.
{ printf '%0600000d' 0; printf 'Z\n%s\n' "$sib3"; } >"$work/long.hex"
"$tool" "$work/long.hex" >"$work/out" 2>"$work/err"; rc=$?
[ $rc -eq 2 ] && [ "$(cat "$work/err")" = "$work/long.hex:1: bad character 'Z' in column 600001" ] &&
  [ "$(grep -c '::=' "$work/out")" -eq 1 ]; check "long line" $?

# A text longer than RRCParserX's 102400 bytes comes whole, between short ones.
long5="$(dirname "$0")/../data/sib5_long_text.hex"
{ echo "$sib3"; cat "$long5"; echo "$sib3"; } >"$work/mixed.hex"
"$tool" "$work/mixed.hex" >"$work/out" 2>"$work/err"; rc=$?
python3 - "$work/out" <<'PY'; check "long text whole between short ones" $(( rc | $? ))
import sys
out = open(sys.argv[1], "rb").read()
header = b"\r\n<<<-----raw data ----->>>\r\n"
starts = [out.find(b"SysInfoType3 ::="), out.find(b"SysInfoType5 ::="), out.rfind(b"SysInfoType3 ::=")]
assert out.count(b"::=") == 3 and out.count(header) == 3 and starts[0] == 0
assert starts[0] < starts[1] < starts[2], starts
sib5 = out[starts[1]:out.find(header, starts[1])]
assert sib5.endswith(b"\r\n}\r\n"), sib5[-20:]
assert len(sib5) > 102400, len(sib5)
PY

# Captures: libpcap is loaded at the first capture only, and a libpcap that
# cannot be loaded is one error line per capture; the other files are decoded.
pcap="$(dirname "$sample")/sample.pcap"
if [ -f "$pcap" ]; then
  "$tool" "$pcap" >"$work/out" 2>"$work/err"; rc=$?
  [ $rc -eq 0 ] && grep -q '^# frames ' "$work/out" && grep -q '::=' "$work/out"; check "capture decodes" $?
  for libpcap in /nonexistent/libpcap.so.0.8 "$sample"; do  # missing; not a shared library
    SIBDECODE_LIBPCAP="$libpcap" "$tool" "$pcap" "$sample" "$pcap" >"$work/out" 2>"$work/err"; rc=$?
    n=$(grep -c "^$pcap: cannot read the capture: libpcap cannot be loaded: .*$libpcap" "$work/err")
    [ $rc -eq 1 ] && [ "$n" -eq 2 ] && [ "$(wc -l <"$work/err")" -eq 2 ] &&
      [ "$(grep -c '::=' "$work/out")" -eq "$(grep -c '^[0-9A-F]' "$sample")" ]
    check "libpcap not loadable ($libpcap)" $?
  done
  # Standard input, a pipe, a FIFO and a process substitution read as the
  # file does (the input is opened once; its first bytes are not lost).
  "$tool" --summary "$pcap" >"$work/file.out" 2>/dev/null
  mkfifo "$work/fifo"
  (cat "$pcap" >"$work/fifo" &)
  for how in stdin pipe fifo substitution; do
    case $how in
      stdin) "$tool" --summary <"$pcap" ;;
      pipe) cat "$pcap" | "$tool" --summary - ;;
      fifo) timeout 20 "$tool" --summary "$work/fifo" ;;
      substitution) "$tool" --summary <(cat "$pcap") ;;
    esac >"$work/out" 2>"$work/err"; rc=$?
    [ $rc -eq 0 ] && cmp -s "$work/out" "$work/file.out" && grep -q ' 0 skipped; ' "$work/err"
    check "capture from $how" $?
  done
  # glibc's loader reports the libraries it loads with LD_DEBUG=libs.
  LD_DEBUG=libs "$tool" --help >/dev/null 2>"$work/libs"
  if grep -q 'calling init' "$work/libs"; then
    LD_DEBUG=libs "$tool" "$sample" >/dev/null 2>"$work/libs"
    ! grep -q 'calling init: .*libpcap' "$work/libs"; check "hex input does not load libpcap" $?
    LD_DEBUG=libs "$tool" "$pcap" >/dev/null 2>"$work/libs"
    grep -q 'calling init: .*libpcap' "$work/libs"; check "a capture loads libpcap" $?
  fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
