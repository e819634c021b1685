#!/usr/bin/env bash
# The Windows installer under Wine, as an administrator uses it: a silent
# install into a chosen folder (a name with a blank), its files, the start
# menu entries and the Add/Remove programs entry there, the installed
# trk7700.exe --version finding the DLL beside it from another folder, then
# the silent uninstaller removing exactly what the installer put there: a
# readout the user kept in that folder stays.
#
# Run by scripts/test-windows.sh in a private mount namespace where the
# machine's serial ports are hidden, with LOADER, WINESERVER, a fresh
# WINEPREFIX, SETUP (the installer), STAGE (the files it holds, as installed)
# and VERSION set.
set -u
failures=0
check() {  # check DESCRIPTION COMMAND...: one line per check, FAIL with the reason
  local what=$1
  shift
  if "$@"; then echo "  ok    installer: $what"; else echo "  FAIL  installer: $what"; failures=$((failures + 1)); fi
}
exit_is() { [ "$1" -eq "$2" ] || { echo "    exit status $1, expected $2"; return 1; }; }
contains() { grep -qF -- "$2" "$1" || { echo "    '$2' not in $1:"; sed 's/^/    | /' "$1"; return 1; }; }
absent() { [ ! -e "$1" ] || { echo "    $1 is still there"; return 1; }; }
# A shell link names its target in UTF-16 or in the ANSI code page.
link_names() {
  [ -f "$1" ] || { echo "    no $1"; return 1; }
  { strings -a "$1"; strings -a -el "$1"; } | grep -qiF -- "$2" || { echo "    $1 does not point at $2"; return 1; }
}
same_files() {  # every staged file installed, byte for byte
  local f bad=0
  while read -r f; do
    cmp -s "$STAGE/$f" "$1/$f" || { echo "    $f differs or is missing"; bad=1; }
  done < <(cd "$STAGE" && find . -type f | sed 's|^\./||')
  return $bad
}
nothing_installed_left() {
  local f left=0
  while read -r f; do
    [ ! -e "$1/$f" ] || { echo "    $f is still there"; left=1; }
  done < <(cd "$STAGE" && find . -type f | sed 's|^\./||'; echo uninstall.exe)
  [ ! -e "$1/wav" ] || { echo "    wav\\ is still there"; left=1; }
  [ ! -e "$1/leaflet" ] || { echo "    leaflet\\ is still there"; left=1; }
  return $left
}

out=$WINEPREFIX.out
mkdir -p "$out"
"$LOADER" wineboot -i >/dev/null 2>&1
"$WINESERVER" -w

target_windows='C:\Tools\TRK 7700'
target="$WINEPREFIX/drive_c/Tools/TRK 7700"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/TRK-7700"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\TRK-7700'

# /D must come last and unquoted; it takes the rest of the line, blanks too.
# Wine would quote an argument with a blank, so cmd gets the line as an
# administrator types it.
setup_windows="Z:$(echo "$SETUP" | tr / '\\')"
"$LOADER" cmd /c "$setup_windows /S /D=$target_windows" >"$out/setup.txt" 2>&1
status=$?
"$WINESERVER" -w
check "the silent install exits 0" exit_is $status 0
check "every file lies in the chosen folder as packaged" same_files "$target"
check "the uninstaller is there" test -f "$target/uninstall.exe"
if [ -f "$STAGE/Wayfolk-Tool.exe" ]; then
  check "the start menu starts the window" link_names "$menu/Wayfolk - Tool.lnk" "Wayfolk-Tool.exe"
fi
check "the start menu opens a console for trk7700" link_names "$menu/trk7700 (command line).lnk" "cmd.exe"
check "the start menu shows the README" link_names "$menu/README.lnk" "README.txt"

"$LOADER" reg query "$key" >"$out/registry.txt" 2>&1
tr -d '\r' <"$out/registry.txt" >"$out/registry.clean"
check "Add/Remove programs lists it with its version" contains "$out/registry.clean" "TRK-7700 $VERSION"
check "... and its uninstaller" contains "$out/registry.clean" "$target_windows\\uninstall.exe"

# From another folder: the programs find the DLL beside themselves.
(cd "$WINEPREFIX/drive_c" && "$LOADER" "$target/trk7700.exe" --version) >"$out/version.raw" 2>&1
status=$?
tr -d '\r' <"$out/version.raw" >"$out/version.txt"
check "the installed trk7700.exe --version exits 0" exit_is $status 0
check "... names its version" contains "$out/version.txt" "trk7700 $VERSION"
check "... and the DLL's" contains "$out/version.txt" "link library TRK7700_DLL.dll 1.5"

# A readout the user put into the folder is not the uninstaller's to remove.
mkdir -p "$target/Wayfolk"
printf 'kept\r\n' >"$target/Wayfolk/Wayfolk.txt"
"$LOADER" "$target/uninstall.exe" /S >"$out/uninstall.txt" 2>&1
status=$?
# The uninstaller runs from a copy of itself, which this waits for.
"$WINESERVER" -w
check "the silent uninstall exits 0" exit_is $status 0
check "it removes every file it installed" nothing_installed_left "$target"
check "it keeps the user's file and so the folder" test "$(cat "$target/Wayfolk/Wayfolk.txt" 2>/dev/null)" = $'kept\r'
check "it removes the start menu folder" absent "$menu"
"$LOADER" reg query "$key" >"$out/registry-after.txt" 2>&1
check "it removes the Add/Remove programs entry" test $? -ne 0

[ $failures -eq 0 ]
