#!/usr/bin/env bash
# Installs what is needed, builds the project twice (plain, and with
# AddressSanitizer + UndefinedBehaviorSanitizer) and runs every test in both;
# after the plain build it cross-builds the library for Windows and tests it
# under Wine against the plain build's simulator.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
# Where ccache is installed, repeated builds (and several work trees) reuse
# compiled objects; CI machines without it build as before.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  # A test that fails is run once more: device tests talk to a simulator on a
  # pseudo-terminal in real time, and a machine loaded by other work can delay a
  # reply past a read time-out. A real fault fails both times. The tests that
  # needed their second run are named.
  (
    cd "$dir"
    if ! QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600; then
      echo "== these tests failed and run once more =="
      sed 's/^[0-9]*://' Testing/Temporary/LastTestsFailed.log
      QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$jobs" --timeout 600 --rerun-failed
      echo "== passed on their second run: the tests named above =="
    fi
  )
}

echo "== house style (clang-format) =="
scripts/format.sh --check
echo "== plain build =="
# Configured for /usr with the package settings, so that packaging it after
# the tests rebuilds nothing. Optimised (-O2) without debug information, which
# alone costs a third of the build's time; the sanitizer build below has it.
run_suite build -DCMAKE_BUILD_TYPE=Release "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG" \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" -DTRK_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr -DTRK_PACKAGE=ON
echo "== the Debian package: contents, dependencies, lintian =="
TRK_DEB_BUILD_DIR=build scripts/make-deb.sh --check
echo "== Windows builds under Wine (against the plain build's simulator) =="
TRK_JOBS=$jobs scripts/test-windows.sh
echo "== sanitizer build (ASan + UBSan) =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
LSAN_OPTIONS=suppressions="$PWD/scripts/lsan-suppressions.txt" \
  run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTRK_SANITIZE=ON -DTRK_BUILD_BENCH=OFF -DTRK_WERROR=ON
