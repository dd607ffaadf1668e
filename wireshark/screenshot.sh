#!/usr/bin/env bash
# Writes doc/sib11.png: Wireshark (under Xvfb) showing the sample capture's
# first reassembled SIB11 with the plugin. Needs wireshark, xvfb, xdotool and
# ImageMagick's import and convert.
# usage: wireshark/screenshot.sh PLUGIN.so [OUTPUT.png]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
plugin="$1"
output="${2:-$here/doc/sib11.png}"
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
version="$(tshark --version | sed -n 's/^TShark (Wireshark) \([0-9]*\.[0-9]*\).*/\1/p')"
mkdir -p "$work/home/.local/lib/wireshark/plugins/$version/epan"
cp "$plugin" "$work/home/.local/lib/wireshark/plugins/$version/epan/sibdecode.so"
cp "$here/../examples/sample.pcap" "$work/"
# A short packet list, the details below it, no bytes pane.
mkdir -p "$work/home/.config/wireshark"
echo "gui.geometry_main_upper_pane: 120" > "$work/home/.config/wireshark/recent"
chmod -R a+rwX "$work"

# Wireshark loads no personal plugin for root.
run=()
if [ "$(id -u)" = 0 ]; then run=(setpriv --reuid=nobody --regid=nogroup --clear-groups); fi
# The first frame that completes a SIB11.
frame="$(HOME="$work/home" "${run[@]}" tshark -r "$work/sample.pcap" \
         -Y 'sibdecode.sib_type == 11' -T fields -e frame.number 2>/dev/null | sed -n 1p)"
export DISPLAY=:97
Xvfb :97 -screen 0 1100x1000x24 -nolisten tcp &
sleep 2
HOME="$work/home" "${run[@]}" wireshark -r "$work/sample.pcap" -g "$frame" \
  -o gui.layout_content_3:NONE -o gui.ask_unsaved:FALSE &
for _ in $(seq 60); do
  window="$(xdotool search --onlyvisible --name 'sample.pcap' 2>/dev/null | head -1 || true)"
  [ -n "$window" ] && break
  sleep 1
done
xdotool windowsize "$window" 1100 1000 windowmove "$window" 0 0
sleep 3
# Details pane: the plugin's tree is the last top-level row; select the first
# row, go to the last one and expand it whole.
xdotool mousemove 120 350 click 1
sleep 1
xdotool key End
sleep 1
xdotool key shift+Right
sleep 2
import -window root "$work/shot.png"
convert "$work/shot.png" -crop 1100x1000+0+0 -colors 64 -strip "PNG8:$output"
echo "$output (frame $frame)"
