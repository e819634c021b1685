#!/usr/bin/env bash
# Takes a picture of the tool's window under Xvfb into docs/wayfolk-tool.png.
# Usage: Wayfolk-Tool/screenshot.sh [build-folder]   (default: build)
# The X screen is exactly the window's size, so the root window is the window.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
tool="$build/bin/Wayfolk-Tool"
output="$root/docs/wayfolk-tool.png"
[ -x "$tool" ] || { echo "no $tool: build the tool first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The tool starts in a folder of its own, with stored options that show a
# typical choice of formats and a target folder.
printf ' 1\r\n 0\r\n 1\r\n 0\r\n 0\r\n/home/user/Wayfolk\r\n' >"$work/wayfolk-tool.ini"

mkdir -p "$(dirname "$output")"
cd "$work"
export QT_FONT_DPI=96
xvfb-run -a -s "-screen 0 612x384x24 -dpi 96" bash -c '
  "$1" & tool=$!
  sleep 3
  import -window root "$2"
  kill "$tool"
  wait "$tool" || true
' screenshot "$tool" "$work/window.png"
convert "$work/window.png" -strip "$output"
echo "$output"
