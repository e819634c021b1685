#!/usr/bin/env bash
# Takes pictures of the tool's window under Xvfb into docs/:
#   wayfolk-tool.png          the window at start;
#   wayfolk-tool-readout.png  half a minute into a log readout from the
#                             simulated logger at 115200 baud: the progress of
#                             the download in the status line.
# Usage: Wayfolk-Tool/screenshot.sh [build-folder]   (default: build)
# The X screen is exactly the window's size, so the root window is the window;
# xdotool clicks its picture buttons.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tool="$build/bin/Wayfolk-Tool"
sim="$build/bin/trk7700-sim"
docs="$root/docs"
for program in "$tool" "$sim"; do
  [ -x "$program" ] || { echo "no $program: build the project first" >&2; exit 1; }
done
command -v xdotool >/dev/null || { echo "xdotool is missing: scripts/install-deps.sh installs it" >&2; exit 1; }

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$docs"
export QT_FONT_DPI=96

# Runs the tool in a folder of its own with the given options file under a
# fresh X screen, does the steps (a bash text run with the X display set),
# and keeps the screen's picture.
picture() {
  local options=$1 steps=$2 output=$3
  local dir="$work/$(basename "$output" .png)"
  mkdir -p "$dir"
  printf '%b' "$options" >"$dir/wayfolk-tool.ini"
  (cd "$dir" && xvfb-run -a -s "-screen 0 612x384x24 -dpi 96" bash -c '
    "$1" & tool=$!
    sleep 3
    eval "$2"
    import -window root "$3"
    kill "$tool"
    wait "$tool" || true
  ' picture "$tool" "$steps" "$dir/window.png")
  convert "$dir/window.png" -strip "$output"
  echo "$output"
}

# At start: a typical choice of formats and a target folder.
picture ' 1\r\n 0\r\n 1\r\n 0\r\n 0\r\n/home/user/Wayfolk\r\n' ':' "$docs/wayfolk-tool.png"

# During a readout: "Auto. Verbinden", then "Log Auslesen" into the folder
# "Wayfolk" beside the options file, half a minute of the download.
"$sim" --port-dir "$work/ports" --com 3 --baud 115200 --log drive >"$work/sim.log" 2>&1 &
sim_pid=$!
export TRK7700_PORT_DIR="$work/ports"
picture ' 1\r\n 0\r\n 1\r\n 0\r\n 1\r\nWayfolk\r\n' '
  xdotool mousemove 251 41 click 1   # Auto. Verbinden
  sleep 2
  xdotool mousemove 51 164 click 1   # Log Auslesen
  xdotool mousemove 600 10
  sleep 30
' "$docs/wayfolk-tool-readout.png"
