#!/usr/bin/env bash
# The main job in one command: builds what is needed, starts the simulated
# logger with a realistic log (a drive with marks, a ring that wrapped), reads
# the whole log through the command line with every export format, and shows
# what it produced and where.
#
#   scripts/demo.sh                  against the built-in simulated logger
#   scripts/demo.sh --port auto      against a real logger (searched on all ports)
#   scripts/demo.sh --port 3         against a real logger on COM3
#   scripts/demo.sh --out DIR        write the files to DIR (default: a new folder under /tmp)
set -euo pipefail
cd "$(dirname "$0")/.."

port=""
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --port) port="${2:?--port needs a COM number or auto}"; shift 2 ;;
    --out) out="${2:?--out needs a folder}"; shift 2 ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "demo.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
echo "== building =="
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target trk7700 trk7700-sim TRK7700_DLL

[ -n "$out" ] || out=$(mktemp -d /tmp/wayfolk-demo.XXXXXX)
mkdir -p "$out"

sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  [ -n "${ports:-}" ] && rm -rf "$ports"
  return 0
}
trap cleanup EXIT

if [ -z "$port" ]; then
  ports=$(mktemp -d /tmp/trk7700-ports.XXXXXX)
  # Paced at 8,000,000 baud the 3.9 MB log memory streams in about five
  # seconds: quick, and slow enough to watch the progress bar.
  build/bin/trk7700-sim --port-dir "$ports" --com 3 --baud 8000000 --log wrapped >/dev/null &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$ports/COM3" ] && break; sleep 0.1; done
  export TRK7700_PORT_DIR="$ports"
  port=auto
  echo "== simulated TRK-7700 on COM3 =="
fi

echo "== reading the log =="
build/bin/trk7700 --port "$port" download "$out" --kml --plt --gpx --per-mark
echo
echo "The files are in $out"
