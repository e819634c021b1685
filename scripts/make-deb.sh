#!/usr/bin/env bash
# Makes the Debian package trk7700_<version>_<arch>.deb in build-deb/: the
# library, Wayfolk-Tool, trk7700, trk7700-sim, the voice prompts, the desktop
# entry and icon, AppStream data, man pages and bash completion. Its
# dependencies are computed from the binaries (dpkg-shlibdeps) plus gpsbabel
# and libjs-leaflet.
#   scripts/make-deb.sh            build and package
#   scripts/make-deb.sh --check    also run lintian and show the contents
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
           usr/share/metainfo/wayfolk-tool.metainfo.xml usr/share/man/man1/trk7700.1.gz \
           usr/share/man/man1/trk7700-sim.1.gz usr/share/bash-completion/completions/trk7700 \
           usr/share/doc/trk7700/copyright usr/share/doc/trk7700/changelog.gz; do
    grep -qx "\./$f" <<<"$contents" || { echo "missing from the package: /$f"; missing=1; }
  done
  depends=$(dpkg-deb --field "$deb" Depends)
  for d in gpsbabel libjs-leaflet libqt6widgets6 libc6; do
    grep -q "$d" <<<"$depends" || { echo "missing dependency: $d"; missing=1; }
  done
  [ $missing -eq 0 ] || exit 1
  echo "contents and dependencies: as expected"
  # The installed programs find the library where the package puts it.
  unpacked=$(mktemp -d)
  dpkg-deb -x "$deb" "$unpacked"
  version=$("$unpacked/usr/bin/trk7700" --version)
  rm -rf "$unpacked"
  grep -q "libTRK7700_DLL.so 1.5" <<<"$version" || { echo "the unpacked trk7700 does not find its library: $version"; exit 1; }
  echo "the unpacked trk7700 loads its library: $version"
  # Errors fail; warnings and notes are shown.
  lintian --fail-on error --tag-display-limit 0 "$deb"
  # Everything it needs can be installed from Debian (a dry run: nothing changes).
  apt-get install --simulate --no-install-recommends "./$deb" >/dev/null
  echo "apt-get can install it: its dependencies resolve"
fi
