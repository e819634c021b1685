#!/usr/bin/env bash
# Makes the eight voice prompt files that the tool sends to the logger with
# every settings write: five spoken prompts (espeak-ng) and three beeps (sox),
# 8 kHz mono, 8-bit unsigned PCM. Running it again gives the same bytes: both
# programs are deterministic as used here (no dither, no noise sources).
#
# Usage: make-prompts.sh [output folder]   (default: the folder of this script)
# Needs: espeak-ng, sox (Debian packages of the same names).
set -euo pipefail

out=${1:-$(cd "$(dirname "$0")" && pwd)}
for tool in espeak-ng sox; do
  command -v "$tool" >/dev/null || { echo "make-prompts.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The logger's format. -D: no dither, so the output does not depend on chance.
format=(-r 8000 -c 1 -b 8 -e unsigned-integer)

speak() {  # file, text
  espeak-ng -v en-us -s 130 -p 45 -w "$work/speech.wav" "$2"
  # Trim the silence around the words, keep the level just below full scale.
  sox -D "$work/speech.wav" "${format[@]}" "$out/$1" \
    highpass 120 rate 8000 silence 1 0.01 0.5% reverse silence 1 0.01 0.5% reverse norm -1 pad 0.03 0.05
}

tone() {  # file, seconds, frequency
  sox -D -n "${format[@]}" "$1" synth "$2" sine "$3" fade h 0.005 "$2" 0.02 vol 0.6
}

gap() {  # file, seconds
  sox -D -n "${format[@]}" "$1" trim 0 "$2"
}

beep() {  # file, then pairs of seconds and frequency (frequency 0: a pause)
  local file=$1; shift
  local parts=() i=0
  while (($#)); do
    if (($2 == 0)); then gap "$work/part$i.wav" "$1"; else tone "$work/part$i.wav" "$1" "$2"; fi
    parts+=("$work/part$i.wav"); i=$((i + 1)); shift 2
  done
  sox -D "${parts[@]}" "${format[@]}" "$out/$file"
}

speak battery_low.wav "Battery low"
speak BT_close.wav "Bluetooth off"
speak BT_open.wav "Bluetooth on"
speak GPS_search.wav "Searching for GPS"
speak GPS_search_finished.wav "GPS position found"
beep Error_Beep.wav 0.18 660 0.06 0 0.18 440 0.06 0 0.30 330
beep OK_Beep.wav 0.15 1000
beep OK1_Beep.wav 0.09 880 0.04 0 0.12 1320

total=0
for f in battery_low BT_close BT_open Error_Beep GPS_search GPS_search_finished OK_Beep OK1_Beep; do
  total=$((total + $(stat -c %s "$out/$f.wav")))
done
# The logger takes at most 131,327 bytes of prompts.
if ((total > 131327)); then echo "make-prompts.sh: $total bytes, more than 131,327" >&2; exit 1; fi
echo "$total bytes of voice prompts in $out"
