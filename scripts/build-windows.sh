#!/usr/bin/env bash
# Cross-builds for Windows from the same sources: TRK7700_DLL.dll and the
# command line trk7700.exe for 32-bit (build-win32) and 64-bit (build-win64)
# Windows, with the programs that test them under Wine. Installs Debian's
# MinGW-w64 cross compilers, zlib for them and the CLI11 headers first when
# they are missing (idempotent, quiet).
#
#   scripts/build-windows.sh            # both
#   scripts/build-windows.sh 32         # or only one of them
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix libz-mingw-w64-dev libcli11-dev cmake ninja-build
  googletest)
missing=()
for p in "${packages[@]}"; do
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

jobs=${TRK_JOBS:-$(nproc)}
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(32 64)
for bits in "${sizes[@]}"; do
  case $bits in
    32) toolchain=cmake/mingw-i686.cmake ;;
    64) toolchain=cmake/mingw-x86_64.cmake ;;
    *) echo "build-windows.sh: 32 or 64, not $bits" >&2; exit 2 ;;
  esac
  dir=build-win$bits
  # Optimised as the Linux build, without debug information: a DLL to ship,
  # and the debug information alone nearly doubled the build's time.
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" \
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "Built $dir/bin: $(cd "$dir/bin" && ls *.dll *.exe | tr '\n' ' ')"
done
