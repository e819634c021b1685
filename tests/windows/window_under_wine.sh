#!/usr/bin/env bash
# Wayfolk-Tool.exe under Wine, used as a person uses it: the window is found
# by its title on the X display, looked at (a screenshot) and clicked at the
# pixels of its controls, and closed as a window manager closes a window.
#
# Run by scripts/test-windows.sh inside its Wine prefix and X display
# (LOADER, BIN, WINEPREFIX, DISPLAY set there); OUT is a fresh folder.
# SCREENSHOT, when set, is where the screenshot of the fresh window goes.
set -u
failures=0
check() {  # check DESCRIPTION COMMAND...: one line per check, FAIL with the reason
  local what=$1
  shift
  if "$@"; then echo "  ok    Wayfolk-Tool.exe: $what"; else echo "  FAIL  Wayfolk-Tool.exe: $what"; failures=$((failures + 1)); fi
}

mkdir -p "$OUT/run"
title='^Wayfolk - Tool V1.12$'
tool_pid=""
stop_tool() {
  if [ -n "$tool_pid" ] && kill -0 "$tool_pid" 2>/dev/null; then
    kill "$tool_pid" 2>/dev/null
    wait "$tool_pid" 2>/dev/null
  fi
  tool_pid=""
}
trap stop_tool EXIT

# Starts the window in $OUT/run and sets window to its X window.
start_tool() {
  (cd "$OUT/run" && exec "$LOADER" "$BIN/Wayfolk-Tool.exe") >"$OUT/tool.out" 2>&1 &
  tool_pid=$!
  window=""
  for _ in $(seq 300); do
    window=$(xdotool search --name "$title" 2>/dev/null | head -1)
    [ -n "$window" ] && break
    kill -0 "$tool_pid" 2>/dev/null || break
    sleep 0.1
  done
}

shot() { import -window "$window" "$OUT/$1.png" 2>/dev/null; }

# The darkest and the lightest grey level within a rectangle of a screenshot.
levels() {  # shot x y width height
  convert "$OUT/$1.png" -crop "$4x$5+$2+$3" +repage -colorspace Gray -format '%[fx:int(255*minima)] %[fx:int(255*maxima)]' info:
}
caption_is() {  # shot x y width height window-text|grey: a caption drawn on a light face
  local dark light
  read -r dark light < <(levels "$1" "$2" "$3" "$4" "$5")
  [ "$light" -ge 180 ] && case $6 in
    window-text) [ "$dark" -lt 70 ] ;;
    grey) [ "$dark" -ge 90 ] && [ "$dark" -le 160 ] ;;
  esac || { echo "    $1: grey levels $dark to $light in ${4}x$5+$2+$3, expected a $6 caption"; return 1; }
}
# The same picture (within JPEG and scaling noise) in a screenshot's rectangle.
shows_image() {  # shot x y image
  local size difference
  size=$(identify -format '%wx%h' "$4")
  convert "$OUT/$1.png" -crop "$size+$2+$3" +repage "$OUT/crop.png"
  difference=$(compare -metric RMSE "$OUT/crop.png" "$4" null: 2>&1 | sed 's/ .*//')
  awk -v d="$difference" 'BEGIN { exit !(d < 3000) }' || { echo "    $1: $4 differs by $difference at $2,$3"; return 1; }
}
# Takes the screenshot NAME once the window has painted its device photo.
shot_when_painted() {  # name
  for _ in $(seq 60); do
    shot "$1"
    shows_image "$1" 344 0 "$images/device_photo.png" >/dev/null 2>&1 && return 0
    sleep 0.5
  done
  return 1
}
# Takes screenshots NAME until CHECK NAME ARGS... holds, for up to 15 s (a
# loaded machine paints late); the last failure is told.
soon() {  # name check args...
  local name=$1 what=$2
  shift 2
  for _ in $(seq 30); do
    shot "$name"
    "$what" "$name" "$@" >/dev/null && return 0
    sleep 0.5
  done
  "$what" "$name" "$@"
}
geometry_is() {
  local geometry
  geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
  [ "$geometry" = "$1" ] || { echo "    the window is $geometry"; return 1; }
}
click_at() {  # x y button: a press and a release at a place of the window
  xdotool mousemove --window "$window" "$1" "$2" mousedown "$3" && sleep 0.3 && xdotool mouseup "$3"
}
close_window() {  # as a window manager does: WM_DELETE_WINDOW
  /usr/bin/python3 - "$window" <<'EOF'
import sys
from Xlib import X, display, protocol
d = display.Display()
w = d.create_resource_object("window", int(sys.argv[1]))
delete = d.intern_atom("WM_DELETE_WINDOW")
event = protocol.event.ClientMessage(window=w, client_type=d.intern_atom("WM_PROTOCOLS"), data=(32, [delete, X.CurrentTime, 0, 0, 0]))
w.send_event(event)
d.flush()
EOF
}
ends_within() {  # seconds: the program ends by itself with status 0
  for _ in $(seq $(($1 * 10))); do
    if ! kill -0 "$tool_pid" 2>/dev/null; then
      wait "$tool_pid"
      local status=$?
      tool_pid=""
      [ $status -eq 0 ] || { echo "    exit status $status"; return 1; }
      return 0
    fi
    sleep 0.1
  done
  echo "    still running after $1 s"
  return 1
}

images=$OUT/images
mkdir -p "$images"
for image in button_released button_pressed device_photo; do
  convert "$IMAGES/$image.jpg" "$images/$image.png"
done
# The faces' left ends, where no caption is drawn.
for image in button_released button_pressed; do
  convert "$images/$image.png" -crop 12x24+0+0 +repage "$images/$image-end.png"
done

start_tool
check "the window appears, titled \"Wayfolk - Tool V1.12\"" test -n "$window"
if [ -z "$window" ]; then
  sed 's/^/    | /' "$OUT/tool.out"
  exit 1
fi
check "it paints its controls" shot_when_painted fresh
[ -n "${SCREENSHOT:-}" ] && cp "$OUT/fresh.png" "$SCREENSHOT"
check "its client area is 612 x 384 pixels" geometry_is 612x384
# Twips / 15: the device photo at 5160, 0; "Verbinden" at 1680, 440;
# "Log Auslesen" at 120, 2280.
check "the device photo lies at its place" shows_image fresh 344 0 "$images/device_photo.png"
check "\"Verbinden\" shows the released face" shows_image fresh 112 29 "$images/button_released-end.png"
check "\"Verbinden\" is offered (window-text caption)" caption_is fresh 122 33 67 16 window-text
check "\"Log Auslesen\" is not offered yet (grey caption)" caption_is fresh 18 155 67 16 grey
check "\"Auto. Verbinden\" is offered (window-text caption)" caption_is fresh 218 33 67 16 window-text

# A press shows the pressed face until the release, with any mouse button.
for button in 1 3; do
  xdotool mousemove --window "$window" 116 41 mousedown $button
  check "mouse button $button held on \"Verbinden\" shows the pressed face" soon "pressed-$button" shows_image 112 29 "$images/button_pressed-end.png"
  xdotool mouseup $button
  check "... and its release the released face again" soon "released-$button" shows_image 112 29 "$images/button_released-end.png"
done

close_window
check "closing the window ends the program" ends_within 15
stop_tool

[ $failures -eq 0 ]
