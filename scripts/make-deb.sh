#!/usr/bin/env bash
# Makes the Debian package trk7700_<version>_<arch>.deb in build-deb/: the
# library, Wayfolk-Tool, trk7700, trk7700-sim, the voice prompts, the desktop
# entry and icons, AppStream data, man pages and bash completion. Its
# dependencies are computed from the binaries (dpkg-shlibdeps) plus gpsbabel
# and libjs-leaflet.
#   scripts/make-deb.sh            build and package
#   scripts/make-deb.sh --check    also check the contents, the AppStream data,
#                                  the desktop entry, icons and man pages, run
#                                  lintian and resolve the installation
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
# TRK_DEB_BUILD_DIR=build packages from an existing build (the test command
# does so after its plain run); only what the package changes is rebuilt.
if [ -n "${TRK_DEB_BUILD_DIR:-}" ]; then
  dir=$TRK_DEB_BUILD_DIR
  cmake -S . -B "$dir" -DCMAKE_INSTALL_PREFIX=/usr -DTRK_PACKAGE=ON >/dev/null
else
  dir=build-deb
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DTRK_PACKAGE=ON -DTRK_BUILD_TESTS=OFF -DTRK_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
(cd "$dir" && rm -f trk7700_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$dir"/trk7700_*.deb)
echo "made $deb"
if [ "${1:-}" = "--check" ]; then
  dpkg-deb --info "$deb" | sed -n '/Package:/,$p'
  contents=$(dpkg-deb --contents "$deb" | awk '{print $6}')
  missing=0
  for f in usr/bin/Wayfolk-Tool usr/bin/trk7700 usr/bin/trk7700-sim usr/lib/trk7700/libTRK7700_DLL.so \
           usr/share/wayfolk-tool/wav/battery_low.wav usr/share/wayfolk-tool/wav/BT_close.wav \
           usr/share/wayfolk-tool/wav/BT_open.wav usr/share/wayfolk-tool/wav/Error_Beep.wav \
           usr/share/wayfolk-tool/wav/GPS_search.wav usr/share/wayfolk-tool/wav/GPS_search_finished.wav \
           usr/share/wayfolk-tool/wav/OK_Beep.wav usr/share/wayfolk-tool/wav/OK1_Beep.wav \
           usr/share/applications/wayfolk-tool.desktop usr/share/icons/hicolor/32x32/apps/wayfolk-tool.png \
           usr/share/icons/hicolor/48x48/apps/wayfolk-tool.png usr/share/icons/hicolor/128x128/apps/wayfolk-tool.png \
           usr/share/icons/hicolor/256x256/apps/wayfolk-tool.png usr/share/icons/hicolor/scalable/apps/wayfolk-tool.svg \
           usr/share/metainfo/org.wayfolk.WayfolkTool.metainfo.xml usr/share/man/man1/trk7700.1.gz \
           usr/share/man/man1/trk7700-sim.1.gz usr/share/man/man1/Wayfolk-Tool.1.gz \
           usr/share/bash-completion/completions/trk7700 \
           usr/share/doc/trk7700/copyright usr/share/doc/trk7700/changelog.gz; do
    grep -qx "\./$f" <<<"$contents" || { echo "missing from the package: /$f"; missing=1; }
  done
  # Only what a user needs: the header and other developer files stay out.
  if grep -E '^\./usr/(include|lib/pkgconfig|lib/cmake)/' <<<"$contents"; then
    echo "developer files in the package (above)"; missing=1
  fi
  depends=$(dpkg-deb --field "$deb" Depends)
  for d in gpsbabel libjs-leaflet libqt6widgets6 libc6; do
    grep -q "$d" <<<"$depends" || { echo "missing dependency: $d"; missing=1; }
  done
  [ $missing -eq 0 ] || exit 1
  echo "contents and dependencies: as expected"
  # The installed programs find the library where the package puts it.
  unpacked=$(mktemp -d)
  trap 'rm -rf "$unpacked"' EXIT
  dpkg-deb -x "$deb" "$unpacked"
  version=$("$unpacked/usr/bin/trk7700" --version)
  grep -q "libTRK7700_DLL.so 1.5" <<<"$version" || { echo "the unpacked trk7700 does not find its library: $version"; exit 1; }
  echo "the unpacked trk7700 loads its library: $version"
  # What a user meets first: the software centre's data, the menu entry and
  # its icons, the manual pages.
  share=$unpacked/usr/share
  metainfo=$share/metainfo/org.wayfolk.WayfolkTool.metainfo.xml
  appstreamcli validate --no-net "$metainfo" || { echo "the AppStream data is not valid"; missing=1; }
  newest=$(dpkg-parsechangelog -l packaging/changelog -S Version)
  for element in "<release version=\"$newest\"" '<content_rating type="oars-1.1"' '<screenshot type="default">' \
                 '<launchable type="desktop-id">wayfolk-tool.desktop<' '<summary xml:lang="de">'; do
    grep -qF "$element" "$metainfo" || { echo "the AppStream data lacks $element"; missing=1; }
  done
  desktop=$share/applications/wayfolk-tool.desktop
  # Errors and warnings fail; hints are shown.
  validation=$(desktop-file-validate "$desktop" 2>&1) || missing=1
  [ -z "$validation" ] || echo "$validation"
  grep -qE ': (error|warning):' <<<"$validation" && missing=1
  for key in 'Name[de]' 'Comment[de]' 'GenericName[de]' 'Keywords[de]'; do
    grep -qF "$key=" "$desktop" || { echo "the desktop entry has no $key"; missing=1; }
  done
  for size in 32 48 128 256; do
    icon=$share/icons/hicolor/${size}x$size/apps/wayfolk-tool.png
    got=$(identify -format '%wx%h' "$icon" 2>/dev/null || echo "no picture")
    [ "$got" = "${size}x$size" ] || { echo "$icon is $got, not ${size}x$size"; missing=1; }
  done
  grep -q '<svg ' "$share/icons/hicolor/scalable/apps/wayfolk-tool.svg" || { echo "the scalable icon is no SVG"; missing=1; }
  for page in trk7700 trk7700-sim Wayfolk-Tool; do
    text=$(zcat "$share/man/man1/$page.1.gz")
    for section in NAME SYNOPSIS DESCRIPTION ENVIRONMENT FILES; do
      grep -qx "\.SH $section" <<<"$text" || { echo "man page $page(1) has no $section section"; missing=1; }
    done
  done
  zcat "$share/man/man1/trk7700-sim.1.gz" | grep -q 'replay' || { echo "trk7700-sim(1) does not explain --replay"; missing=1; }
  zcat "$share/man/man1/Wayfolk-Tool.1.gz" | grep -q 'trk7700/wayfolk\\-tool.ini' ||
    { echo "Wayfolk-Tool(1) does not say where the options are kept"; missing=1; }
  [ $missing -eq 0 ] || exit 1
  echo "AppStream data, desktop entry, icons and man pages: valid and complete"
  # The installed window, started as from the menu in a home folder that
  # holds an earlier version's options file, takes those options over into
  # ~/.config/trk7700/ when it is closed and leaves the earlier file alone.
  home=$unpacked/home
  mkdir -p "$home"
  printf ' 1\r\n 0\r\n 1\r\n 0\r\n 1\r\n/srv/earlier target\r\n' >"$unpacked/earlier.ini"
  cp "$unpacked/earlier.ini" "$home/wayfolk-tool.ini"
  (cd "$home" && env -i PATH=/usr/bin:/bin HOME="$home" TRK7700_PORT_DIR="$home/no-ports" \
    xvfb-run -a bash -c '
      "$1" & window=$!
      id=$(timeout 60 xdotool search --sync --name "^Wayfolk - Tool V" | head -1)
      # Closed as a window manager closes it.
      python3 -c "
import sys
from Xlib import display, X, protocol
d = display.Display()
w = d.create_resource_object(\"window\", int(sys.argv[1]))
delete = d.intern_atom(\"WM_DELETE_WINDOW\")
w.send_event(protocol.event.ClientMessage(window=w, client_type=d.intern_atom(\"WM_PROTOCOLS\"),
                                          data=(32, [delete, X.CurrentTime, 0, 0, 0])))
d.flush()" "$id"
      timeout 30 tail --pid=$window -f /dev/null' close "$unpacked/usr/bin/Wayfolk-Tool") >/dev/null 2>&1 || true
  cmp -s "$unpacked/earlier.ini" "$home/.config/trk7700/wayfolk-tool.ini" ||
    { echo "the installed window did not take the earlier options over into ~/.config/trk7700/"; exit 1; }
  cmp -s "$unpacked/earlier.ini" "$home/wayfolk-tool.ini" || { echo "the earlier options file was changed"; exit 1; }
  echo "the installed window keeps its options in ~/.config/trk7700/, taken over from its start folder"
  # Errors fail; warnings and notes are shown.
  lintian --fail-on error --tag-display-limit 0 "$deb"
  # Everything it needs can be installed from Debian (a dry run: nothing changes).
  apt-get install --simulate --no-install-recommends "./$deb" >/dev/null
  echo "apt-get can install it: its dependencies resolve"
fi
