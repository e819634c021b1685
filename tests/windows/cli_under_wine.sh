#!/usr/bin/env bash
# trk7700.exe under Wine against the simulated logger on COM$COM: info, the
# settings, a download whose track text must equal the Linux library's text
# for the same simulated log, the GPSBabel run through a stand-in
# gpsbabel.exe found on the Windows search path, and a download without any
# gpsbabel.exe, which must say so and fail.
#
# Run by scripts/test-windows.sh inside its Wine prefix (LOADER, BIN, COM,
# WINEPREFIX set there); REFERENCE is the Linux text, OUT a fresh folder.
set -u
failures=0
check() {  # check DESCRIPTION COMMAND...: one line per check, FAIL with the reason
  local what=$1
  shift
  if "$@"; then echo "  ok    trk7700.exe: $what"; else echo "  FAIL  trk7700.exe: $what"; failures=$((failures + 1)); fi
}
windows_path() { echo "Z:$(echo "$1" | tr / '\\')"; }
contains() { grep -qF -- "$2" "$1" || { echo "    '$2' not in $1:"; sed 's/^/    | /' "$1"; return 1; }; }
exit_is() { [ "$1" -eq "$2" ] || { echo "    exit status $1, expected $2"; return 1; }; }

# Runs trk7700.exe with the given Windows search path; its streams go to
# $OUT/NAME.out and $OUT/NAME.err, its exit status to $status.
run() {
  local name=$1 search=$2
  shift 2
  WINEPATH="$search" "$LOADER" "$BIN/trk7700.exe" "$@" >"$OUT/$name.out" 2>"$OUT/$name.err"
  status=$?
  tr -d '\r' <"$OUT/$name.out" >"$OUT/$name.txt"
  tr -d '\r' <"$OUT/$name.err" >>"$OUT/$name.txt"
}

mkdir -p "$OUT"
fake_folder=$(windows_path "$BIN/fake-gpsbabel")
no_gpsbabel=$(windows_path "$OUT")  # a folder without gpsbabel.exe
export TRK7700_FAKE_GPSBABEL_LOG
TRK7700_FAKE_GPSBABEL_LOG=$(windows_path "$OUT/gpsbabel-arguments.txt")

run info "$no_gpsbabel" --port "$COM" info
check "info exits 0" exit_is $status 0
check "info shows the serial number" contains "$OUT/info.txt" "Serial number:    12345"

run settings "$no_gpsbabel" --port "$COM" settings
check "settings (read) exits 0" exit_is $status 0
check "settings shows the logging rule" contains "$OUT/settings.txt" "Logging:"

run download "$fake_folder" --port "$COM" download "$(windows_path "$OUT/readout")" --gpx
check "download exits 0" exit_is $status 0
check "Wayfolk.txt is the Linux library's text, byte for byte" cmp "$REFERENCE" "$OUT/readout/Wayfolk.txt"
records=$(($(grep -c '' "$REFERENCE") - 2))
check "Wayfolk.nmea holds a sentence line per record line" \
  test "$(grep -c '' "$OUT/readout/Wayfolk.nmea" 2>/dev/null)" = "$records"
check "download reports GPSBabel done and the GPX file" contains "$OUT/download.txt" "Wayfolk.gpx"
check "Wayfolk.gpx is the stand-in's file" contains "$OUT/readout/Wayfolk.gpx" "</gpx>"
nmea=$(windows_path "$OUT/readout/Wayfolk.nmea")
marks=$(windows_path "$OUT/readout/.Wayfolk.marks.gpx")
partial=$(windows_path "$OUT/readout/Wayfolk.partial.gpx")
{
  printf '[%s]\n' -p "" -w -t -i nmea -f "$nmea"
  # The marks become waypoints, GPSBabel's second input, when the log has any.
  if awk 'NR > 2 && substr($0, 1, 3) != "---" { found = 1 } END { exit !found }' "$REFERENCE"; then
    printf '[%s]\n' -i gpx -f "$marks"
  fi
  printf '[%s]\n' -o gpx -F "$partial"
} >"$OUT/expected-arguments.txt"
check "gpsbabel.exe was found on the search path and given the expected arguments" \
  diff <(grep -v '^console:' "$OUT/gpsbabel-arguments.txt" 2>/dev/null) "$OUT/expected-arguments.txt"
check "gpsbabel.exe ran without a console window" contains "$OUT/gpsbabel-arguments.txt" "console: none"

run missing "$no_gpsbabel" --port "$COM" download "$(windows_path "$OUT/without")" --gpx
check "a download without gpsbabel.exe fails" test $status -ne 0
check "... and says that GPSBabel cannot be started" contains "$OUT/missing.txt" "GPSBabel cannot be started (program 'gpsbabel.exe')"
check "... and keeps the track text" cmp "$REFERENCE" "$OUT/without/Wayfolk.txt"

[ $failures -eq 0 ]
