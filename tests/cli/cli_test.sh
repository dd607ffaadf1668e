#!/usr/bin/env bash
# Command-line behaviour of the sibdecode tool: decoding, comments and blank
# lines, --bin, --sib, --summary, --changes, --cells, --listen, one-line errors
# for malformed input, the progress line.
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
printf '058F9F00000000000000\n' | "$tool" --sib 3 >"$work/out" 2>"$work/err"; rc=$?
check "--sib exit 0" $rc
grep -q "SysInfoType3 ::=" "$work/out" && ! grep -q "raw data" "$work/out"; check "--sib text" $?

# Arguments: exit status and what the first line of stdout or stderr says.
printf '058F9F00000000000000\n' >"$work/bare3.hex"
while IFS='|' read -r name args want_rc want_line; do
  # shellcheck disable=SC2086  # the table's arguments split on purpose
  "$tool" $args </dev/null >"$work/out" 2>"$work/err"; rc=$?
  line=$(cat "$work/out" "$work/err" | head -n 1 | tr -d '\r')
  # The expected line, or its beginning when it ends in '*'.
  [ "${want_line%\*}" != "$want_line" ] && line=${line:0:$((${#want_line} - 1))} && want_line=${want_line%\*}
  [ $rc -eq "$want_rc" ] && [ "$line" = "$want_line" ]; check "arguments: $name ($rc: $line)" $?
done <<EOF2
--help|--help|0|usage: sibdecode *
--version|--version|0|sibdecode 0.*
--sib N|--sib 3 $work/bare3.hex|0|SysInfoType3 ::=
--sib=N|--sib=3 $work/bare3.hex|0|SysInfoType3 ::=
--sib out of range|--sib 40|2|sibdecode: bad SIB type '40' (mib, sb1, 3, 11bis, 19, ...)
--sib= empty|--sib=|2|sibdecode: bad SIB type '' (mib, sb1, 3, 11bis, 19, ...)
--sib without a type|--sib|2|sibdecode: --sib needs a SIB type (mib, sb1, 3, 11bis, ...)
--sib unknown name|--sib 11ter|2|sibdecode: bad SIB type '11ter' (mib, sb1, 3, 11bis, 19, ...)
--release other than 7 or 9|--release 8|2|sibdecode: bad release '8' (7, or 9 the default)
a flag given a value|--summary=yes|2|sibdecode: --summary takes no value
unknown option|--frobnicate|2|sibdecode: unknown option '--frobnicate' (see --help)
--listen with a file|--listen 4729 $sample|2|sibdecode: --listen reads no FILE, --bin or --sib
--listen bad address|--listen=[::1|2|sibdecode: --listen [::1: expected [ADDR:]PORT (PORT 1..65535)
--listen bad port|--listen 127.0.0.1:99999|2|sibdecode: --listen 127.0.0.1:99999: expected [ADDR:]PORT (PORT 1..65535)
--listen bad IPv6 port|--listen=[::1]:0|2|sibdecode: --listen [::1]:0: expected [ADDR:]PORT (PORT 1..65535)
--listen port out of range|--listen 99999|2|sibdecode: --listen 99999: expected [ADDR:]PORT (PORT 1..65535)
--write without --listen|--write x.pcap $work/bare3.hex|2|sibdecode: --write and --status go with --listen
--write into a missing folder|--listen 127.0.0.1:$(python3 "$(dirname "$0")/pcap_tool.py" free-port) --write $work/missing/x.pcap|1|sibdecode: --write $work/missing/x.pcap: No such file or directory
-- before a file name|-- $work/bare3.hex|2|$work/bare3.hex:1: 10 bytes are not a whole number of 31-byte blocks*
missing file|$work/missing.hex|1|$work/missing.hex: No such file or directory
EOF2

# Input faults: the message, the exit status, and the rest still decoded.
printf '%s00\n%s\n' "$sib3" "$sib3" >"$work/extra.hex"
printf '%s\n%s\n' "${sib3:0:60}" "$sib3" >"$work/short.hex"
printf '\xef\xbb\xbf%s\r\n%s\n' "$sib3" "$sib3" >"$work/bom.hex"
printf '\xef\xbb\xbf%s\n' "$sib3" >"$work/bom_later.hex"
printf '%s00' "$sib3" | sed 's/../\\x&/g' | xargs -0 printf '%b' >"$work/extra.bin"
mkdir -p "$work/folder"
# Decodes that stop early (exit 2) or depart from a constraint (a note, exit 0):
# a SIB3 cut after 7 bytes and after 1; a SIB3 whose mappingFunctionParameterList
# (SIZE(1..3)) has 4 elements, then the same with a bit set after its end.
printf '16df875e0e3e86\n80\n' >"$work/cut3.hex"
list4=f7e4a6ef2fffffed7ffff6bffffb5ffffdaeffffed7ffff6bffffb5dffffdaffffed5fffffe2c588bc58b138b178b162b69fff1dffa6fdffffdaffffed7ffff6bf3eaf5fffffffffffffffffffe7fe
printf '%s\n%s0080\n' "$list4" "$list4" >"$work/list4.hex"
while IFS='|' read -r name args want_rc want_texts want_err; do
  # shellcheck disable=SC2086
  "$tool" $args >"$work/out" 2>"$work/err"; rc=$?
  [ $rc -eq "$want_rc" ] && [ "$(grep -c '::=' "$work/out")" -eq "$want_texts" ] &&
    [ "$(cat "$work/err")" = "$(printf '%b' "$want_err")" ]; check "input fault: $name ($rc: $(cat "$work/err"))" $?
done <<EOF2
32-byte batch|$work/extra.hex|2|2|$work/extra.hex:1: 32 bytes are not a whole number of 31-byte blocks: the last 1 not decoded
30-byte batch|$work/short.hex|2|1|$work/short.hex:1: 30 bytes are not a whole number of 31-byte blocks: the last 30 not decoded
--bin of 32 bytes|--bin $work/extra.bin|2|1|$work/extra.bin: 32 bytes are not a whole number of 31-byte blocks: the last 1 not decoded
byte-order mark|$work/bom.hex|0|2|
directory|$work/folder $work/bom.hex|1|2|$work/folder: Is a directory
cut SIBs|--sib 3 $work/cut3.hex|2|2|$work/cut3.hex:1: SIB3 stopped at bit 55 in cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList[1].mapParameter2: end of data\n$work/cut3.hex:2: SIB3 stopped at bit 2 in cellIdentity: end of data
cut SIBs as JSON|--json --sib=3 $work/cut3.hex|2|0|$work/cut3.hex:1: SIB3 stopped at bit 55 in cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList[1].mapParameter2: end of data\n$work/cut3.hex:2: SIB3 stopped at bit 2 in cellIdentity: end of data
list above SIZE|--sib 3 $work/list4.hex|0|2|$work/list4.hex:1: SIB3 warning at bit 40 in cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList: list above its SIZE bound\n$work/list4.hex:2: SIB3 warning at bit 40 in cellSelectReselectInfo.mappingInfo[0].mappingFunctionParameterList: list above its SIZE bound; warning at bit 631 in SysInfoType3: bits left over
EOF2
"$tool" "$work/extra.hex" 2>/dev/null | grep -A2 'raw data' | sed -n 2p >"$work/out"
[ "$(cat "$work/out")" = "$sib3" ]; check "a cut batch's trailer holds its whole blocks" $?
# A byte-order mark anywhere but at the start of the file is a bad byte.
{ echo "$sib3"; cat "$work/bom_later.hex"; } | "$tool" >/dev/null 2>"$work/err"; rc=$?
[ $rc -eq 2 ] && [ "$(cat "$work/err")" = "<stdin>:2: bad byte 0xEF in column 1" ]; check "late byte-order mark" $?

# Summary: absent values say so; a cell identity only for SIB3 (sib3) and SIB4 (sib4).
sib5=$(grep -A1 '^# SIB5' "$sample" | grep -m1 '^[0-9A-F]')
printf '%s\n%s\n' "$sib3" "$sib5" | "$tool" --summary >"$work/out" 2>&1
grep 'summary:' "$work/out" >"$work/lines"
[ "$(sed -n 2p "$work/lines")" = "summary: sib3.cellIdentity = absent, sib4.cellIdentity = absent" ] &&
  grep -q '^summary: sib3.cellIdentity = [0-9]*, sib4.cellIdentity = absent$' "$work/lines"
check "summary: cell identity of the SIB3 only" $?
# --changes on hex input: a SIB whose text is that of the last one printed of its type is left out.
printf '%s\n%s\n%s\n%s\n' "$sib3" "$sib3" "$sib5" "$sib3" | "$tool" --changes >"$work/out" 2>&1; rc=$?
[ $rc -eq 0 ] && [ "$(grep -c '::=' "$work/out")" -eq 2 ] && ! grep -q '^#' "$work/out"
check "--changes on hex input" $?
printf '%s\n%s\n' "$sib3" "$sib5" | "$tool" --summary --json >"$work/out" 2>&1
python3 - "$work/out" <<'PY'; check "summary: JSON null for absent" $?
import json, sys
sib3, sib5 = (json.loads(line)["summary"] for line in open(sys.argv[1]))
assert isinstance(sib3["sib3"]["cellIdentity"], int) and sib3["sib4"]["cellIdentity"] is None
assert sib5["sib3"]["cellIdentity"] is None and sib5["sib4"]["cellIdentity"] is None
PY
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

# A text longer than RRCParserX's 102400 bytes comes whole, between short ones
# (in RRCParserX's layout: the plain one of this SIB is shorter).
long5="$(dirname "$0")/../data/sib5_long_text.hex"
{ echo "$sib3"; cat "$long5"; echo "$sib3"; } >"$work/mixed.hex"
"$tool" --release 7 "$work/mixed.hex" >"$work/out" 2>"$work/err"; rc=$?
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
  # What a file holds decides how it is read, whatever the options: a capture
  # given with --sib is refused in one line; an empty file gets a note; input
  # that is neither a capture nor hex text gets one note however long it is.
  : >"$work/empty"
  python3 -c 'import random, sys; random.seed(7); sys.stdout.buffer.write(bytes([0x55]) + random.randbytes(2000000))' >"$work/random.bin"
  while IFS='|' read -r name args want_rc want_err; do
    # shellcheck disable=SC2086
    "$tool" $args >"$work/out" 2>"$work/err"; rc=$?
    [ $rc -eq "$want_rc" ] && [ "$(cat "$work/err")" = "$want_err" ] && [ ! -s "$work/out" ]
    check "input kind: $name ($rc: $(head -c 300 "$work/err"))" $?
  done <<EOF2
capture with --sib|--sib 11 $pcap|2|$pcap: a capture file, not bare SIBs: read it without --sib
empty file|$work/empty|0|$work/empty: empty, nothing to decode
empty file with --bin|--bin $work/empty|0|$work/empty: empty, nothing to decode
random bytes|$work/random.bin|2|$work/random.bin: not a capture or hex text
random bytes with --sib|--sib 3 $work/random.bin|2|$work/random.bin: not a capture or hex text
EOF2
  # A capture read into a closed pipe: no counts line, no message.
  python3 "$(dirname "$0")/pcap_tool.py" repeat "$pcap" "$work/long.pcap" 200
  "$tool" "$work/long.pcap" 2>"$work/err" | head -n 1 >/dev/null
  [ ! -s "$work/err" ]; check "capture into a closed pipe: no counts line" $?
  # glibc's loader reports the libraries it loads with LD_DEBUG=libs.
  LD_DEBUG=libs "$tool" --help >/dev/null 2>"$work/libs"
  if grep -q 'calling init' "$work/libs"; then
    LD_DEBUG=libs "$tool" "$sample" >/dev/null 2>"$work/libs"
    ! grep -q 'calling init: .*libpcap' "$work/libs"; check "hex input does not load libpcap" $?
    LD_DEBUG=libs "$tool" "$pcap" >/dev/null 2>"$work/libs"
    grep -q 'calling init: .*libpcap' "$work/libs"; check "a capture loads libpcap" $?
  fi
fi

# Output into a closed pipe ends the run at once and silently, whether or not
# SIGPIPE is ignored by whoever started the tool.
for pipe_signal in default ignored; do
  start=$(date +%s%N)
  if [ $pipe_signal = ignored ]; then
    (trap '' PIPE; "$tool" "$work/many.hex" "$work/many.hex" 2>"$work/err" | head -c 100 >/dev/null)
  else
    "$tool" "$work/many.hex" "$work/many.hex" 2>"$work/err" | head -c 100 >/dev/null
  fi
  [ ! -s "$work/err" ]; check "closed pipe, SIGPIPE $pipe_signal: no message" $?
done

# The progress line: drawn on a terminal for an input of more than a few
# megabytes and cleared at the end; never when standard error is no terminal.
for k in $(seq 100); do cat "$work/many.hex"; done >"$work/big.hex"
python3 - "$tool" "$work/big.hex" <<'PY'; check "progress line on a terminal" $?
import os, pty, subprocess, sys
master, slave = pty.openpty()
proc = subprocess.Popen([sys.argv[1], sys.argv[2]], stdout=subprocess.DEVNULL, stderr=slave)
os.close(slave)
seen = b""
while True:
    try:
        chunk = os.read(master, 65536)
    except OSError:  # the terminal's other side closed
        break
    if not chunk:
        break
    seen += chunk
assert proc.wait() == 0
assert b"% of " in seen and b" SIBs, " in seen and b"MB/s" in seen, seen[:200]
assert seen.endswith(b"\r\033[K"), seen[-40:]
PY
"$tool" "$work/big.hex" >/dev/null 2>"$work/err"; rc=$?
[ $rc -eq 0 ] && [ ! -s "$work/err" ]; check "no progress line when stderr is a file" $?

if [ -f "$pcap" ]; then
  capture_tools="$(dirname "$0")/../capture"
  pcap_tool="$(dirname "$0")/pcap_tool.py"
  "$tool" "$pcap" >"$work/sample.out" 2>"$work/sample.err"
  frames=$(grep -o ': [0-9]* frames' "$work/sample.err" | grep -o '[0-9]*')

  # A packet captured twice is one block: every packet twice prints what the
  # capture prints once (frame numbers aside), and the closing line says so.
  python3 "$pcap_tool" twice "$pcap" "$work/twice.pcap"
  "$tool" "$work/twice.pcap" >"$work/out" 2>"$work/err"; rc=$?
  n=$(grep -c '^# frames' "$work/sample.out")
  [ $rc -eq 0 ] && [ "$(grep -c '^# frames' "$work/out")" -eq "$n" ] &&
    cmp -s <(grep -v '^# frames' "$work/out") <(grep -v '^# frames' "$work/sample.out") &&
    grep -q ": $((2 * frames)) frames, $frames skipped ($frames captured twice); $n SIBs decoded ($n complete, 0 stopped early), " "$work/err"
  check "packets captured twice" $?

  # --changes on an hour-like capture: two cells repeat their SIBs 1000 times,
  # one SIB changes twice; exactly the first and the changed copies print.
  python3 "$capture_tools/make_capture.py" repeats "$work"
  "$tool" --changes "$work/repeats.pcap" >"$work/out" 2>"$work/err"; rc=$?
  grep -A1 '^# frames' "$work/out" | tr -d '\r' | awk '
    /^# frames/ { arfcn = $5; copies = ($8 == "after") ? $9 : "-" }
    /::=$/ { sub("SysInfoType", "", $1); sub("MasterInformationBlock", "0", $1); print arfcn, $1, copies }' |
    LC_ALL=C sort >"$work/changes"
  sed '/^--$/,$d' "$work/repeats_expected.txt" >"$work/changes.expected"
  [ $rc -eq 0 ] && cmp -s "$work/changes" "$work/changes.expected" &&
    grep -q ' 10000 SIBs decoded (10000 complete, 0 stopped early), 0 not decoded, .*, 9988 identical copies not printed$' "$work/err"
  check "--changes prints the first and the changed copies" $?
  "$tool" --changes --json "$work/repeats.pcap" 2>/dev/null |
    python3 -c 'import json, sys; print(sorted(o.get("repeats", -1) for o in map(json.loads, sys.stdin)))' \
      >"$work/out"
  [ "$(cat "$work/out")" = "[-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 299, 399]" ]; check "--changes --json repeats" $?

  # --cells: one row per cell with its counts, versions and changes, in text and JSON.
  "$tool" --cells "$work/repeats.pcap" >"$work/out" 2>/dev/null; rc=$?
  [ $rc -eq 0 ] && [ "$(wc -l <"$work/out")" -eq 3 ] && [ "$(grep -c '::=' "$work/out")" -eq 0 ] &&
    grep -q '^   [01] 10054 .* 2026-01-15T09:00:00.[0-9]*Z 2026-01-15T09:.*SIB3:1000/1/0 SIB5:1000/1/0 SIB7:1000/3/2 SIB11:1000/1/0$' "$work/out" &&
    grep -q '^   [01] 10071 .*SIB3:1000/1/0 SIB7:1000/1/0 SIB11:1000/1/0 SIB12:1000/1/0$' "$work/out"
  check "--cells table" $?
  "$tool" --cells --json "$work/repeats.pcap" 2>/dev/null >"$work/out"
  python3 - "$work/out" "$work/repeats_expected.txt" <<'PY'; check "--cells --json" $?
import json, sys
cells = [json.loads(line) for line in open(sys.argv[1])]
lines = open(sys.argv[2]).read().splitlines()
want = [line.split() for line in lines[lines.index("--") + 1:]]
got = sorted([str(c["arfcn"]), str(s["type_number"]), str(s["count"]), str(s["versions"])]
             for c in cells for s in c["sibs"])
assert got == sorted(want), (got, want)
for c in cells:
    assert isinstance(c["cell_identity"], int) and c["first_time"] < c["last_time"]
    assert all(isinstance(c[k], int) for k in ("intra_freq_cells", "inter_freq_cells", "gsm_cells"))
PY
  "$tool" --cells --json "$sample" 2>/dev/null >"$work/out"
  python3 -c 'import json, sys; c = [json.loads(l) for l in open(sys.argv[1])]; assert len(c) == 1 and c[0]["arfcn"] is None and c[0]["first_time"] is None and c[0]["cell_identity"] is not None, c' "$work/out"
  check "--cells on hex input: no ARFCN, no time" $?
  "$tool" --cells --neighbours "$sample" >/dev/null 2>&1; [ $? -eq 2 ]; check "--cells with --neighbours is refused" $?

  # --listen on loopback: the GSMTAP datagrams of a capture, sent while the
  # tool listens and then SIGINT, give the SIBs, texts and counts the capture
  # file of the same packets gives.
  python3 "$pcap_tool" repeat "$pcap" "$work/sent.pcap" 20
  "$tool" --summary "$work/sent.pcap" >"$work/file.out" 2>"$work/file.err"
  port=$(python3 "$pcap_tool" free-port)
  "$tool" --summary --listen "127.0.0.1:$port" >"$work/live.out" 2>"$work/live.err" &
  listener=$!
  for _ in $(seq 100); do grep -qs 'listening' "$work/live.err" && break; sleep 0.05; done
  sent=$(python3 "$pcap_tool" send "$pcap" "$port" 20)
  sleep 0.3
  kill -INT $listener
  wait $listener; rc=$?
  counts() { grep -o ' [0-9]* skipped.*' "$1"; }
  [ $rc -eq 0 ] && [ "$sent" -eq $((20 * frames)) ] &&
    [ "$(grep -c '::=' "$work/live.out")" -eq "$(grep -c '::=' "$work/file.out")" ] &&
    cmp -s <(sed 's/ time .*//' "$work/live.out") <(sed 's/ time .*//' "$work/file.out") &&
    grep -q "^udp:127.0.0.1:$port: $sent packets, " "$work/live.err" &&
    [ "$(counts "$work/live.err")" = "$(counts "$work/file.err")" ]
  check "--listen on loopback gets what the capture file gives" $?
  grep -q "^# frames [0-9,]* arfcn 10088 time $(date -u +%Y)-" "$work/live.out"
  check "--listen: the comment line gives the arrival time" $?

  # --write keeps what arrived as a pcap: read again, it gives what the live run gave.
  port=$(python3 "$pcap_tool" free-port)
  "$tool" --listen "127.0.0.1:$port" --write "$work/kept.pcap" >"$work/live.out" 2>"$work/live.err" &
  listener=$!
  for _ in $(seq 100); do grep -qs 'listening' "$work/live.err" && break; sleep 0.05; done
  sent=$(python3 "$pcap_tool" send "$pcap" "$port" 5)
  sleep 0.3
  kill -INT $listener
  wait $listener; rc=$?
  "$tool" "$work/kept.pcap" >"$work/kept.out" 2>"$work/kept.err"; rc2=$?
  [ $rc -eq 0 ] && [ $rc2 -eq 0 ] && cmp -s "$work/live.out" "$work/kept.out" &&
    grep -q ": $sent frames, 0 skipped; " "$work/kept.err" && grep -q '::=' "$work/kept.out"
  check "--listen --write: the pcap reads back to the same SIBs" $?

  # --listen --json: the SIB records of what arrived are those --json gives for the pcap kept.
  port=$(python3 "$pcap_tool" free-port)
  "$tool" --json --listen "127.0.0.1:$port" --write "$work/kept_json.pcap" >"$work/live.json" \
    2>"$work/live.err" &
  listener=$!
  for _ in $(seq 100); do grep -qs 'listening' "$work/live.err" && break; sleep 0.05; done
  python3 "$pcap_tool" send "$pcap" "$port" 2 >/dev/null
  sleep 0.3
  kill -INT $listener
  wait $listener
  "$tool" --json "$work/kept_json.pcap" >"$work/kept.json" 2>/dev/null
  python3 - "$work/live.json" "$work/kept.json" "$work/kept_json.pcap" "udp:127.0.0.1:$port" <<'PY'
import json, sys
live, kept = ([json.loads(line) for line in open(path)] for path in sys.argv[1:3])
assert live and all(r["source"] == sys.argv[4] and r["time"] and r["frames"] for r in live)
assert all(r["source"] == sys.argv[3] for r in kept)
assert [dict(r, source=None) for r in live] == [dict(r, source=None) for r in kept]
assert [list(r) for r in live] == [list(r) for r in kept]
PY
  check "--listen --json: the records of the pcap kept" $?

  # A port another program listens on is refused, not shared: exit 1 naming the port.
  port=$(python3 "$pcap_tool" free-port)
  "$tool" --listen "127.0.0.1:$port" >/dev/null 2>"$work/first.err" &
  listener=$!
  for _ in $(seq 100); do grep -qs 'listening' "$work/first.err" && break; sleep 0.05; done
  timeout 10 "$tool" --listen "127.0.0.1:$port" >/dev/null 2>"$work/err"; rc=$?
  kill -INT $listener
  wait $listener
  [ $rc -eq 1 ] &&
    [ "$(cat "$work/err")" = "sibdecode: --listen 127.0.0.1:$port: port $port is in use by another program" ]
  check "--listen on a busy port ($rc: $(cat "$work/err"))" $?
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
