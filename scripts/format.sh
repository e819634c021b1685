#!/usr/bin/env bash
# Applies the house style (.clang-format) to every C and C++ file in git.
# With --check nothing is changed: the files that differ from the style are
# named and the script fails (the test command runs it this way).
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" != "--check" ]; then
  exec clang-format -i "${files[@]}"
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "$report" | grep -o '^[^: ]*:[0-9]*:[0-9]*: error' | cut -d: -f1 | sort -u | sed 's/^/not in the house style: /'
  echo "scripts/format.sh puts them right." >&2
  exit 1
fi
