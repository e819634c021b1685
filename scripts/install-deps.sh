#!/usr/bin/env bash
# Installs what the project needs from Debian's packages. Idempotent and quiet:
# nothing is downloaded when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth imagemagick xdotool python3-xlib
  gpsbabel espeak-ng sox zlib1g-dev
  libz-mingw-w64-dev  # zlib for trk7700.exe (scripts/build-windows.sh)
  libcli11-dev
  dpkg-dev lintian
  appstream desktop-file-utils  # the package's checks (scripts/make-deb.sh --check)
  nsis zip  # the Windows installer and zip (scripts/make-windows-installer.sh)
  clang-format  # the house style (scripts/format.sh)
  libgeographiclib-dev  # trip distances on the WGS84 ellipsoid
  libjs-leaflet  # the map page inlines Leaflet
  chromium  # the map page's tests open it headless
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
