#!/usr/bin/env bash
# Checks the cross-built sibdecode.dll against the Linux library of the same
# sources: the export table holds the names a Microsoft-built host links
# against, and under wine the DLL decodes a capture of every SIB type to the
# same text and summary records as the Linux build, which writes the expected
# outcomes here and now.
# Usage: run_wine_test.sh LINUX_BUILD_DIR WIN32_BUILD_DIR
set -euo pipefail

linux_build="$(cd "$1" && pwd)"
win_build="$(cd "$2" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
dll="$win_build/sibdecode.dll"
work="$win_build/dll-test"
rm -rf "$work"
mkdir -p "$work"

echo "-- export table of $dll"
objdump -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' >"$work/exports.txt"
cat "$work/exports.txt"
missing=0
for name in \
  '?RRCParserX@@YA_NPAEIPAUtagSystemInformationBlock@@PADAAI@Z' \
  '??4tagSystemInformationBlock@@QAEAAU0@ABU0@@Z' \
  '??4tagSystemInformationBlockType3@@QAEAAU0@ABU0@@Z' \
  '??4tagSystemInformationBlockType4@@QAEAAU0@ABU0@@Z' \
  '??4tagSystemInformationBlockType11@@QAEAAU0@ABU0@@Z' \
  '??4tagIntraFreqCell@@QAEAAU0@ABU0@@Z' \
  '??4tagInterFreqCell@@QAEAAU0@ABU0@@Z' \
  '??4tagInterRATCell@@QAEAAU0@ABU0@@Z' \
  '_ZN9sibdecode18CreateDecoderStateEv' \
  '_ZN9sibdecode19DestroyDecoderStateEPNS_12DecoderStateE' \
  '_ZN9sibdecode11MaxTextSizeEj' \
  '_ZN9sibdecode11DecodeBatchEPNS_12DecoderStateEPKhjP25tagSystemInformationBlockPcjPj' \
  '_ZN9sibdecode9DecodeSibEPNS_12DecoderStateEjPKhjP25tagSystemInformationBlockPcjPj' \
  '_ZN9sibdecode15DecodeBatchJsonEPNS_12DecoderStateEPKhjP25tagSystemInformationBlockPcjPjS7_' \
  '_ZN9sibdecode13DecodeSibJsonEPNS_12DecoderStateEjPKhjP25tagSystemInformationBlockPcjPj' \
  'sibdecode_version' \
  'sibdecode_version_string' \
  'sibdecode_decoder_create' \
  'sibdecode_decoder_destroy' \
  'sibdecode_max_text_size' \
  'sibdecode_sib_summary_parts' \
  'sibdecode_decode_batch' \
  'sibdecode_decode_sib' \
  'sibdecode_decode_batch_json' \
  'sibdecode_decode_sib_json' \
  'sibdecode_stream_create' \
  'sibdecode_stream_destroy' \
  'sibdecode_stream_feed' \
  'sibdecode_stream_flush' \
  'sibdecode_stream_counts_get' \
  'sibdecode_capture_open_file' \
  'sibdecode_capture_open_fd' \
  'sibdecode_capture_open_read' \
  'sibdecode_capture_create_gsmtap' \
  'sibdecode_capture_feed_gsmtap' \
  'sibdecode_capture_finish' \
  'sibdecode_capture_next' \
  'sibdecode_capture_counts_get' \
  'sibdecode_capture_close' \
  'sibdecode_drop_reason_text' \
  'sibdecode_is_capture_magic'; do
  if ! grep -qF "] $name" "$work/exports.txt"; then
    echo "FAIL: $name is not exported"
    missing=1
  fi
done
# Beyond the C++ runtime linked in, the DLL needs only what every Windows has.
imports=$(objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p' | sort | tr '\n' ' ')
echo "-- imports: $imports"
if [ "$imports" != "KERNEL32.dll msvcrt.dll " ]; then
  echo "FAIL: unexpected imports"
  missing=1
fi
[ "$missing" -eq 0 ]

echo "-- capture and the Linux outcomes"
python3 "$here/make_batches.py" "$work/batches.hex"
"$linux_build/tests/dll/sibdecode_dll_expected" "$work/batches.hex" "$work/expected.bin"

echo "-- sibdecode.dll under wine"
# Headless, quiet, a prefix of its own, and no Mono or Gecko installers.
export WINEDEBUG=-all WINEARCH=win32 WINEPREFIX="$win_build/wineprefix" DISPLAY=
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  start=$(date +%s)
  wineboot -i >/dev/null 2>&1
  echo "wine prefix created in $(($(date +%s) - start)) s"
fi
cd "$work"
status=0
wine "$win_build/sibdecode_dll_test.exe" batches.hex expected.bin || status=$?
# The C interface through the DLL's plain-name exports (captures from files
# need libpcap, which the DLL does not load; fed datagrams are read).
cp "$here/../../examples/sample.hex" sample.hex
wine "$win_build/sibdecode_c_test.exe" sample.hex sample.pcap || status=$?
wineserver -k 2>/dev/null || true
exit "$status"
