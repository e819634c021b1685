#!/usr/bin/env bash
# Tests TRK7700_DLL.dll, trk7700.exe and Wayfolk-Tool.exe under Wine against
# the Linux simulator.
#
# For each Windows build (build-win64, build-win32) it starts the simulated
# logger (build/bin/trk7700-sim, from the plain Linux build) on a
# pseudo-terminal, makes a private Wine prefix whose COM3 is that
# pseudo-terminal, and runs the Windows test programs and the command line
# (tests/windows/cli_under_wine.sh) in it, and the window on an X display of
# its own (Xvfb; tests/windows/window_under_wine.sh). Then it makes the
# installer (scripts/make-windows-installer.sh) and installs and uninstalls it
# silently in a fresh prefix (tests/windows/installer_under_wine.sh). The downloaded text is compared
# with the text the Linux library makes from the same simulated log. Wine maps the machine's built-in UARTs (/dev/ttyS*, one may
# be the console) to COM ports by itself: Wine runs in a private mount
# namespace where each of them is /dev/null, so no test reaches a real port.
#
# Needs root (for the mount namespace), as CI runs. Installs Wine
# (wine64, and wine32 from the i386 architecture) when it is missing.
#
#   scripts/test-windows.sh            # build what is missing, run 64 and 32
#   scripts/test-windows.sh 64         # only one of them
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
readonly com=3
readonly log_shape=wrapped
readonly seed=7

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"

# --- installs ---------------------------------------------------------------
need_install=()
dpkg-query -W -f='${Status}' wine64 2>/dev/null | grep -q "install ok installed" || need_install+=(wine64)
dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" || need_install+=(wine32:i386)
if [ ${#need_install[@]} -ne 0 ]; then
  echo "Installing: ${need_install[*]}"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null
fi
# The window's test: an X server, clicks, screenshots, the close request.
need_install=()
for p in xvfb xdotool imagemagick python3-xlib; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need_install+=("$p")
done
if [ ${#need_install[@]} -ne 0 ]; then
  echo "Installing: ${need_install[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get install -y -qq --no-install-recommends "${need_install[@]}" >/dev/null
fi
readonly wine64=/usr/lib/wine/wine64 wine32=/usr/lib/wine/wine wineserver=/usr/lib/wine/wineserver

# --- builds -----------------------------------------------------------------
jobs=${TRK_JOBS:-$(nproc)}
if [ ! -x build/bin/trk7700-sim ] || [ ! -x build/bin/trk7700-reference-text ] || [ ! -x build/bin/trk7700 ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build -j "$jobs" --target trk7700-sim trk7700-reference-text trk7700
fi
bits_list=(${@:-64 32})
TRK_JOBS=$jobs scripts/build-windows.sh "${bits_list[@]}"

work=$(mktemp -d /tmp/trk7700-wine.XXXXXX)
sim_pid=""
xvfb_pid=""
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
  fi
}
cleanup() {
  stop_simulator
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  # A prefix's wineserver saves the registry as it ends, seconds after its last
  # program: end it first, or the folder changes under rm.
  local prefix
  for prefix in "$work"/*prefix*; do
    [ -d "$prefix" ] && WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
  done
  rm -rf "$work" 2>/dev/null || { sleep 2; rm -rf "$work"; } || true
}
trap cleanup EXIT

# An X display of our own for the window (a free number, told by Xvfb).
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "Xvfb did not start" >&2; exit 1; }
display=":$(head -1 "$work/display")"

# Starts a simulated logger with the test log; sets sim_pts to its
# pseudo-terminal.
start_simulator() {
  local ports=$1
  build/bin/trk7700-sim --port-dir "$ports" --com $com --unpaced --log $log_shape --seed $seed \
    >"$ports.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q '^TRK7700_PORT_DIR=' "$ports.out" 2>/dev/null && break
    kill -0 "$sim_pid" 2>/dev/null || { cat "$ports.out"; echo "the simulator did not start" >&2; exit 1; }
    sleep 0.1
  done
  sim_pts=$(readlink "$ports/COM$com")
  [ -c "$sim_pts" ] || { echo "no pseudo-terminal behind $ports/COM$com" >&2; exit 1; }
}

failures=0
passed=()
failed=()
skipped=()

# --- the DLLs' export tables, the window's imports, the programs are there ----
for bits in "${bits_list[@]}"; do
  for program in trk7700.exe Wayfolk-Tool.exe; do
    if [ -f build-win$bits/bin/$program ]; then
      passed+=("$program built $bits-bit")
    else
      echo "build-win$bits/bin/$program is missing"; failed+=("$program built $bits-bit")
    fi
  done
  if ctest --test-dir build-win$bits -R 'windows_dll_exports|windows_tool_imports' --no-tests=error --output-on-failure \
    >"$work/exports-$bits.log" 2>&1; then
    passed+=("exports and imports $bits-bit")
  else
    cat "$work/exports-$bits.log"; failed+=("exports and imports $bits-bit")
  fi
done

# --- the reference text, made by the Linux library ---------------------------
start_simulator "$work/reference-ports"
TRK7700_PORT_DIR="$work/reference-ports" build/bin/trk7700-reference-text $com "$work/reference/Wayfolk.txt"
stop_simulator
reference_windows="Z:$(echo "$work/reference/Wayfolk.txt" | tr / '\\')"
echo "Reference text: $(wc -c <"$work/reference/Wayfolk.txt") bytes, $(grep -c '' "$work/reference/Wayfolk.txt") lines"

# Runs a command with a Wine prefix in a private mount namespace where the
# machine's serial ports are /dev/null.
run_hidden() {
  $sudo unshare -m --propagation private bash -c '
    null=$(stat -c %t:%T /dev/null)
    for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/rfcomm*; do
      [ -e "$d" ] || continue
      mount --bind /dev/null "$d"
      # Never go on with a real port in reach.
      [ "$(stat -c %t:%T "$d")" = "$null" ] || { echo "cannot hide $d" >&2; exit 3; }
    done
    exec "$@"' run_hidden "$@"
}


for bits in "${bits_list[@]}"; do
  bin=build-win$bits/bin
  loader=$wine64
  if [ "$bits" = 32 ]; then
    loader=$wine32
    # A kernel without 32-bit support cannot start Wine's 32-bit loader.
    if ! "$loader" --version >/dev/null 2>&1; then
      echo "SKIPPED: 32-bit Windows programs under Wine: this kernel cannot run 32-bit programs ($loader does not start)."
      skipped+=("wine $bits-bit (no 32-bit support in this kernel)")
      continue
    fi
  fi
  prefix="$work/prefix-$bits"
  started=$(date +%s)
  set +e
  run_hidden env WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    TRK7700_TEST_COM=$com TRK7700_REFERENCE_TEXT="$reference_windows" \
    LOADER="$loader" WINESERVER="$wineserver" BIN="$root/$bin" COM=$com BITS=$bits \
    REFERENCE="$work/reference/Wayfolk.txt" CLI_TEST="$root/tests/windows/cli_under_wine.sh" CLI_OUT="$work/cli-$bits" \
    DISPLAY="$display" WINDOW_TEST="$root/tests/windows/window_under_wine.sh" WINDOW_OUT="$work/window-$bits" \
    IMAGES="$root/Wayfolk-Tool/images" SCREENSHOT="${TRK_WINDOW_SCREENSHOT:-}" LINUX_CLI="$root/build/bin/trk7700" \
    SIM="$root/build/bin/trk7700-sim --com $com --unpaced --log $log_shape --seed $seed" PORTS="$work/ports-$bits" \
    bash -c '
      set -u
      "$LOADER" wineboot -i >/dev/null 2>&1
      "$WINESERVER" -w
      # A server of our own whose messages (its list of objects when it is
      # ended) go to a file, not between the test results.
      "$WINESERVER" -p >"$WINEPREFIX.server.log" 2>&1
      cd "$BIN"
      # A run that fails is run once more with a fresh simulated logger (the
      # tests change its state): the tests talk to it in real time through
      # Wine, and a machine loaded by other work can delay a reply past a
      # read time-out. A real fault fails both times.
      for attempt in 1 2; do
        rm -rf "$PORTS.$attempt"
        $SIM --port-dir "$PORTS.$attempt" >"$PORTS.$attempt.out" 2>&1 &
        sim=$!
        for _ in $(seq 100); do
          grep -q "^TRK7700_PORT_DIR=" "$PORTS.$attempt.out" 2>/dev/null && break
          sleep 0.1
        done
        # Wine has mapped the (hidden) UARTs; COM3 is the simulator.
        ln -sfn "$(readlink "$PORTS.$attempt/COM$COM")" "$WINEPREFIX/dosdevices/com$COM"
        rc=0
        if [ "$BITS" = 32 ]; then
          "$LOADER" trk7700_stdcall_caller.exe || rc=1
        fi
        "$LOADER" trk7700_linked_caller.exe || rc=1
        # The client test and the command line first: the device test erases
        # the log and ends with a firmware upgrade.
        "$LOADER" trk7700_windows_client_test.exe || rc=1
        OUT="$CLI_OUT.$attempt" "$CLI_TEST" || rc=1
        OUT="$WINDOW_OUT.$attempt" "$WINDOW_TEST" || rc=1
        "$LOADER" trk7700_windows_device_test.exe || rc=1
        kill $sim; wait $sim
        [ $rc -eq 0 ] && break
        [ $attempt -eq 1 ] && echo "== failed; running once more with a fresh simulated logger =="
      done
      "$WINESERVER" -k 2>/dev/null
      [ $rc -eq 0 ] && [ $attempt -eq 2 ] && echo "(passed on the second attempt)"
      exit $rc'
  rc=$?
  set -e
  echo "wine $bits-bit: $(( $(date +%s) - started )) s"
  if [ $rc -eq 0 ]; then passed+=("wine $bits-bit"); else failed+=("wine $bits-bit"); fi
done

# --- the installer: made, installed and uninstalled silently ------------------
version=$(sed -n 's/^project(trk7700 VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for bits in "${bits_list[@]}"; do
  if scripts/make-windows-installer.sh "$bits" >"$work/installer-$bits.log" 2>&1; then
    passed+=("installer and zip made $bits-bit")
  else
    cat "$work/installer-$bits.log"; failed+=("installer and zip made $bits-bit"); continue
  fi
  setup=build-win$bits/trk7700-$version-win$bits-setup.exe
  loader=$wine64
  if [ "$bits" = 32 ]; then
    loader=$wine32
    # NSIS's 32-bit installer and uninstaller are 32-bit programs themselves.
    if ! "$loader" --version >/dev/null 2>&1; then
      echo "SKIPPED: the 32-bit installer under Wine: this kernel cannot run 32-bit programs ($loader does not start); it was made, not run."
      skipped+=("installer $bits-bit silent install and uninstall (no 32-bit support in this kernel)")
      continue
    fi
  fi
  mkdir -p "$work/installer-home-$bits"
  started=$(date +%s)
  set +e
  run_hidden env WINEPREFIX="$work/installer-prefix-$bits" HOME="$work/installer-home-$bits" WINEDEBUG=-all \
    WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" LOADER="$loader" WINESERVER="$wineserver" \
    SETUP="$root/$setup" STAGE="$root/build-win$bits/package/trk7700-$version-win$bits" VERSION="$version" \
    tests/windows/installer_under_wine.sh
  rc=$?
  set -e
  echo "installer $bits-bit under Wine: $(( $(date +%s) - started )) s"
  if [ $rc -eq 0 ]; then passed+=("installer $bits-bit under Wine"); else failed+=("installer $bits-bit under Wine"); fi
done

echo "== Windows tests =="
for p in "${passed[@]}"; do echo "passed:  $p"; done
for s in "${skipped[@]+"${skipped[@]}"}"; do echo "skipped: $s"; done
for f in "${failed[@]+"${failed[@]}"}"; do echo "FAILED:  $f"; done
[ ${#failed[@]} -eq 0 ]
