#!/usr/bin/env bash
# Makes the Windows installer and a portable zip of the same files, one of
# each per size of Windows, from the Windows builds (scripts/build-windows.sh
# runs first for a size whose programs are missing):
#   build-win64/trk7700-<version>-win64-setup.exe, build-win64/trk7700-<version>-win64.zip
#   build-win32/trk7700-<version>-win32-setup.exe, build-win32/trk7700-<version>-win32.zip
# Both hold trk7700.exe, TRK7700_DLL.dll, Wayfolk-Tool.exe when the build made
# it, the voice prompts in wav\, the map library in leaflet\, README.txt and
# LICENSE.txt. The 32-bit one runs on both sizes of Windows. Installs NSIS and zip when missing.
#
#   scripts/make-windows-installer.sh        # both sizes
#   scripts/make-windows-installer.sh 64     # or one
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

missing=()
for p in nsis zip imagemagick; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

version=$(sed -n 's/^project(trk7700 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "make-windows-installer.sh: no version in CMakeLists.txt" >&2; exit 1; }

# A Windows text file: CR LF line ends.
windows_text() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }

sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(32 64)
for bits in "${sizes[@]}"; do
  case $bits in
    32 | 64) ;;
    *) echo "make-windows-installer.sh: 32 or 64, not $bits" >&2; exit 2 ;;
  esac
  bin=build-win$bits/bin
  if [ ! -f "$bin/trk7700.exe" ] || [ ! -f "$bin/TRK7700_DLL.dll" ]; then
    scripts/build-windows.sh "$bits"
  fi
  name=trk7700-$version-win$bits
  stage=build-win$bits/package/$name
  rm -rf "build-win$bits/package"
  mkdir -p "$stage/wav"
  cp "$bin/trk7700.exe" "$bin/TRK7700_DLL.dll" "$stage/"
  window=no
  if [ -f "$bin/Wayfolk-Tool.exe" ]; then
    cp "$bin/Wayfolk-Tool.exe" "$stage/"
    window=yes
  fi
  cp Wayfolk-Tool/wav/*.wav "$stage/wav/"
  # The map library the map page inlines (trk7700 --map and the window), with
  # its licence.
  mkdir -p "$stage/leaflet"
  cp "$bin"/leaflet/* "$stage/leaflet/"
  windows_text /usr/share/doc/libjs-leaflet/copyright "$stage/leaflet/LICENSE.txt"
  windows_text README.md "$stage/README.txt"
  # The licence as a plain text: the copyright line and the licence's own
  # paragraph of the Debian copyright file, without its field syntax.
  {
    sed -n 's/^Copyright: /Copyright /p' packaging/copyright | head -1
    echo
    awk '/^License: / { text = "" ; next } /^ / { line = substr($0, 2); if (line == ".") line = ""; text = text line "\n" } END { printf "%s", text }' \
      packaging/copyright
  } >"$stage/LICENSE.raw"
  windows_text "$stage/LICENSE.raw" "$stage/LICENSE.txt"
  rm "$stage/LICENSE.raw"
  convert Wayfolk-Tool/images/icon-256.png -define icon:auto-resize=256,48,32,16 "$stage/trk7700.ico"

  # The one list of installed files, for the installer and the uninstaller.
  files=build-win$bits/package/files.nsh
  {
    [ $window = yes ] && echo '!define WINDOW'
    echo '!macro InstallFiles'
    (cd "$stage" && find . -maxdepth 1 -type f | sort | sed 's|^\./||') | while read -r f; do
      echo "  File \"\${STAGE}/$f\""
    done
    for sub in wav leaflet; do
      echo "  SetOutPath \"\$INSTDIR\\$sub\""
      (cd "$stage/$sub" && ls) | while read -r f; do echo "  File \"\${STAGE}/$sub/$f\""; done
    done
    echo '  SetOutPath "$INSTDIR"'
    echo '!macroend'
    echo '!macro RemoveFiles'
    (cd "$stage" && find . -maxdepth 1 -type f | sort | sed 's|^\./||') | while read -r f; do
      echo "  Delete \"\$INSTDIR\\$f\""
    done
    for sub in wav leaflet; do
      (cd "$stage/$sub" && ls) | while read -r f; do echo "  Delete \"\$INSTDIR\\$sub\\$f\""; done
      echo "  RMDir \"\$INSTDIR\\$sub\""
    done
    echo '!macroend'
  } >"$files"

  setup=build-win$bits/$name-setup.exe
  size_kb=$(du -sk "$stage" | cut -f1)
  makensis -V2 -NOCD "-DVERSION=$version" "-DBITS=$bits" "-DSTAGE=$root/$stage" "-DFILES=$root/$files" \
    "-DOUTFILE=$root/$setup" "-DSIZE_KB=$size_kb" packaging/windows/trk7700.nsi
  zip=build-win$bits/$name.zip
  rm -f "$zip"
  (cd "build-win$bits/package" && zip -qrX "$root/$zip" "$name")
  echo "made $setup and $zip ($(cd "$stage" && find . -type f | sed 's|^\./||' | sort | tr '\n' ' '))"
done
