#!/usr/bin/env bash
# Wayfolk-Tool.exe under Wine, used as a person uses it: the window is found
# by its title on the X display, looked at (a screenshot) and clicked at the
# pixels of its controls, and closed as a window manager closes a window.
#
# With the simulated logger on COM$COM: connect on the chosen port, a readout
# with every format and a file per mark into the folder of the options file
# (the text and the NMEA files equal the Linux ones byte for byte; a
# stand-in gpsbabel.exe on WINEPATH records its arguments), the erase
# question answered with its default (no), and closing, which leaves dump mode and writes the
# options file.
#
# Run by scripts/test-windows.sh inside its Wine prefix and X display
# (LOADER, BIN, COM, WINEPREFIX, DISPLAY set there); OUT is a fresh folder,
# REFERENCE the Linux library's text of the simulated log and LINUX_CLI the
# Linux trk7700, which makes the NMEA files from it. SCREENSHOT, when set, is
# where the screenshot of the window after the readout goes.
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
# Takes screenshots NAME until CHECK NAME ARGS... holds, for up to 30 s (a
# loaded machine paints late); the last failure is told.
soon() {  # name check args...
  local name=$1 what=$2
  shift 2
  for _ in $(seq 60); do
    shot "$name"
    "$what" "$name" "$@" >/dev/null && return 0
    sleep 0.5
  done
  "$what" "$name" "$@"
}
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
# The message boxes and questions of the window: its other top-level windows.
boxes() { xdotool search --onlyvisible --name "$title" 2>/dev/null | grep -vx "$window"; }
box_within() {  # seconds
  for _ in $(seq $(($1 * 4))); do
    [ -n "$(boxes)" ] && return 0
    sleep 0.25
  done
  echo "    no box within $1 s"
  return 1
}
no_box_within() {  # seconds: no box left after them
  for _ in $(seq $(($1 * 4))); do
    [ -z "$(boxes)" ] && return 0
    sleep 0.25
  done
  echo "    a box is open"
  return 1
}
answer_box() {  # key: pressed in the open box
  local box
  box=$(boxes | head -1)
  [ -n "$box" ] && xdotool windowfocus --sync "$box" 2>/dev/null
  xdotool key "$1"
}
same_mark_files() {  # linux-folder windows-folder
  local linux_marks windows_marks mark
  linux_marks=$(cd "$1" && ls -- *'(TAG'*.nmea 2>/dev/null)
  windows_marks=$(cd "$2" && ls -- *'(TAG'*.nmea 2>/dev/null)
  [ -n "$linux_marks" ] || { echo "    the log has no marks"; return 1; }
  [ "$linux_marks" = "$windows_marks" ] || { echo "    other mark files: $windows_marks"; return 1; }
  for mark in $linux_marks; do
    cmp "$1/$mark" "$2/$mark" || return 1
  done
}
# Answers every open box with Enter (OK, or a question's default).
dismiss_boxes() {
  local box
  for _ in 1 2 3 4; do
    sleep 1
    box=$(boxes | head -1)
    [ -z "$box" ] && return 0
    xdotool windowfocus --sync "$box" 2>/dev/null
    xdotool key Return
  done
}
# The library's transcript of the running session (TRK7700_TRACE).
in_trace() { grep -qaF -- "$1" "$trace" || { echo "    '$1' not in the transcript"; return 1; }; }
not_in_trace() { ! grep -qaF -- "$1" "$trace" || { echo "    '$1' in the transcript"; return 1; }; }
soon_in_trace() {
  for _ in $(seq 40); do
    grep -qaF -- "$1" "$trace" && return 0
    sleep 0.5
  done
  in_trace "$1"
}
gpsbabel_made() {  # formats: each started with its output (GPSBabel runs after the box)
  local format
  for _ in $(seq 40); do
    [ "$(grep -c '^console:' "$OUT/gpsbabel-arguments.txt" 2>/dev/null)" -ge $# ] && break
    sleep 0.5
  done
  for format in "$@"; do
    # The format may carry GPSBabel options after a comma (the lean KML's).
    grep -qxE -- "\[$format(,[^]]*)?\]" "$OUT/gpsbabel-arguments.txt" 2>/dev/null || {
      echo "    no GPSBabel run for $format:"
      sed 's/^/    | /' "$OUT/gpsbabel-arguments.txt" 2>/dev/null
      return 1
    }
  done
}
bar_hidden() {  # shot: no blue in the status line's bar
  local blue
  blue=$(convert "$OUT/$1.png" -crop 130x16+374+350 +repage -format '%[fx:int(255*(mean.b-mean.r))]' info:)
  [ "$blue" -lt 20 ] || { echo "    $1: the bar is shown (blue $blue)"; return 1; }
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
  convert "$images/$image.png" -crop 8x24+0+0 +repage "$images/$image-end.png"
done

export TRK7700_TRACE
trace=$OUT/trace-first.txt
TRK7700_TRACE=$(windows_path "$trace")
start_tool
check "the window appears, titled \"Wayfolk - Tool V1.12\"" test -n "$window"
if [ -z "$window" ]; then
  sed 's/^/    | /' "$OUT/tool.out"
  exit 1
fi
check "it paints its controls" shot_when_painted fresh
check "its client area is 612 x 384 pixels" geometry_is 612x384
# Twips / 15: the device photo at 5160, 0; "Verbinden" at 1680, 440;
# "Log Auslesen" at 120, 2280.
check "the device photo lies at its place" shows_image fresh 344 0 "$images/device_photo.png"
check "\"Verbinden\" shows the released face" shows_image fresh 112 29 "$images/button_released-end.png"
check "\"Verbinden\" is offered (window-text caption)" caption_is fresh 122 33 67 16 window-text
check "\"Log Auslesen\" is not offered yet (grey caption)" caption_is fresh 18 155 67 16 grey
check "\"Auto. Verbinden\" is offered (window-text caption)" caption_is fresh 218 33 67 16 window-text

# A press shows the pressed face until the release, with any mouse button:
# the left one on "Log Auslesen" (which does nothing before a connection),
# the right one on "Verbinden" (which runs no action).
for press in "1 8 152 Log Auslesen" "3 112 29 Verbinden"; do
  read -r button x y word <<<"$press"
  xdotool mousemove --window "$window" $((x + 4)) $((y + 12)) mousedown "$button"
  check "mouse button $button held on \"$word\" shows the pressed face" \
    soon "pressed-$button" shows_image "$x" "$y" "$images/button_pressed-end.png"
  xdotool mouseup "$button"
  check "... and its release the released face again" \
    soon "released-$button" shows_image "$x" "$y" "$images/button_released-end.png"
done
check "neither click opened a box" no_box_within 2

# "Auto. Verbinden" finds the logger on COM$COM by itself.
xdotool mousemove --window "$window" 250 41 click 1
check "\"Auto. Verbinden\" finds the logger: \"Log Auslesen\" is offered" \
  soon auto-connected caption_is 18 155 67 16 window-text
dismiss_boxes
check "... after the search found it" in_trace "= QZ_TRK7700_AUTO_INTO_DUMP_MODE 24 "

# The settings as read back, stored again.
xdotool mousemove --window "$window" 555 364 click 1
check "\"Einst. Speichern\" stores the settings and says so" box_within 60
dismiss_boxes
check "... with the logger's consent" in_trace "= QZ_TRK7700_SETTING_DEVICE 14 return_setting_device_successful"

# The maintenance buttons under the photo, reached with Tab from the port
# list and pressed with Space: "Read DLL Version" is the fifth stop, "Read
# GPS UTC Time" the next ("Automatisch Verbinden" is off while connected).
xdotool mousemove --window "$window" 20 40 click 1
xdotool key Escape  # the port list's own list, should it have opened
for _ in 1 2 3 4 5; do xdotool key Tab; sleep 0.2; done
xdotool key space
check "Tab and Space reach \"Read DLL Version\"" soon_in_trace "= QZ_TRK7700_READ_DLL_VERSION 21 "
dismiss_boxes
xdotool key Tab
sleep 0.2
xdotool key space
check "... and \"Read GPS UTC Time\"" soon_in_trace "= QZ_TRK7700_READ_GPS_UTC_TIME_DATE 39 "
dismiss_boxes

close_window
check "closing the window ends the program" ends_within 15
stop_tool
printf ' 0\r\n 0\r\n 0\r\n 0\r\n 0\r\nc:\\Wayfolk\r\n' >"$OUT/expected-first.ini"
check "... and writes the options file: nothing checked, folder c:\\Wayfolk" \
  cmp "$OUT/expected-first.ini" "$OUT/run/wayfolk-tool.ini"

# --- connected: a readout with every format, the erase question, closing -----
readout=$OUT/readout
readout_windows=$(windows_path "$readout")
# Google Earth, Ozi Explorer, GPX and a file per mark; no date in the names.
printf ' 1\r\n 1\r\n 1\r\n 0\r\n 1\r\n%s\r\n' "$readout_windows" >"$OUT/run/wayfolk-tool.ini"
export TRK7700_FAKE_GPSBABEL_LOG WINEPATH
TRK7700_FAKE_GPSBABEL_LOG=$(windows_path "$OUT/gpsbabel-arguments.txt")
trace=$OUT/trace-second.txt
TRK7700_TRACE=$(windows_path "$trace")
WINEPATH=$(windows_path "$BIN/fake-gpsbabel")
start_tool
check "the window appears again" test -n "$window"
check "... and paints its controls" shot_when_painted second

# COM$COM from the port list (the keyboard walks it from the top), then "Verbinden".
xdotool mousemove --window "$window" 20 40 click 1
for _ in $(seq "$COM"); do xdotool key Down; sleep 0.2; done
xdotool mousemove --window "$window" 150 41 click 1
check "\"Verbinden\" on COM$COM connects: \"Log Auslesen\" is offered" \
  soon connected caption_is 18 155 67 16 window-text
dismiss_boxes

xdotool mousemove --window "$window" 50 164 click 1
check "\"Log Auslesen\" reads the log and ends with a box" box_within 120
dismiss_boxes
# The status line's bar (twips 5610, 5250) is gone once the readout is done,
# and stays gone: nothing ticks on.
check "the progress bar is gone after the readout" soon after-readout bar_hidden
sleep 2
check "... and stays gone" soon after-readout-later bar_hidden
[ -n "${SCREENSHOT:-}" ] && cp "$OUT/after-readout-later.png" "$SCREENSHOT"
linux=$OUT/linux
"$LINUX_CLI" convert "$REFERENCE" "$linux" --per-mark >"$OUT/linux-convert.txt" 2>&1
check "Wayfolk.txt is the Linux library's text, byte for byte" cmp "$REFERENCE" "$readout/Wayfolk.txt"
check "Wayfolk.nmea is the Linux NMEA file, byte for byte" cmp "$linux/Wayfolk.nmea" "$readout/Wayfolk.nmea"
check "a file per mark, each the Linux one byte for byte" same_mark_files "$linux" "$readout"
check "GPSBabel was started for KML, PLT and GPX" gpsbabel_made kml ozi gpx
check "the readout's map page is written" test -s "$readout/Wayfolk.html"
# "Karte" (twips 6780, 5235) stands where the bar stood, once the bar is gone.
check "\"Karte\" offers to open it" caption_is after-readout-later 456 352 44 18 window-text

xdotool mousemove --window "$window" 146 164 click 1
check "\"Wayfolk leeren\" asks first" box_within 30
# Enter gives the default answer, which must be "Nein".
answer_box Return
check "Enter answers the question" no_box_within 10
check "... with no: nothing was erased" not_in_trace "= QZ_TRK7700_ERASE_All_DB"

# "Datum an Dateinamen anhängen", to be stored on closing.
xdotool mousemove --window "$window" 166 224 click 1
sleep 1
close_window
check "closing the window ends the program" ends_within 30
stop_tool
check "... after sending the exit request (\"QZ AP-Exit\")" in_trace "> 51 5A 20 41 50 2D 45 78 69 74 00"
check "... which the logger accepted" in_trace "= QZ_TRK7700_EXIT_DUMP_MODE 25 return_exit_dump_mode"
printf ' 1\r\n 1\r\n 1\r\n 1\r\n 1\r\n%s\r\n' "$readout_windows" >"$OUT/expected-second.ini"
check "... and stores the options, the date box now checked" cmp "$OUT/expected-second.ini" "$OUT/run/wayfolk-tool.ini"

[ $failures -eq 0 ]
