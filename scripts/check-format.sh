#!/usr/bin/env bash
# Checks that every C++ file in the repository is formatted as .clang-format
# says (clang-format 14, as Debian 12 has it). --fix rewrites those that are not.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

fix=0
case "${1:-}" in
  --fix) fix=1 ;;
  "") ;;
  *) echo "usage: $0 [--fix]" >&2; exit 2 ;;
esac

formatter="${CLANG_FORMAT:-clang-format}"
if ! command -v "$formatter" >/dev/null; then
  echo "$formatter is not installed (Debian: apt-get install clang-format)" >&2
  exit 2
fi

# Tracked files only; one deleted in the working tree and not yet committed is skipped.
mapfile -t files < <(git ls-files '*.cpp' '*.h' | while IFS= read -r f; do
  if [ -f "$f" ]; then printf '%s\n' "$f"; fi
done)
if [ "$fix" -eq 1 ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi

# One run over every file, a few at a time per core; each file that would
# change is named in a diagnostic "<file>:<line>:<column>: error: ...".
status=0
report="$(printf '%s\0' "${files[@]}" |
  xargs -0 -n 16 -P "$(nproc)" "$formatter" --dry-run --Werror 2>&1)" || status=$?
mapfile -t offenders < <(printf '%s\n' "$report" |
  sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ "$status" -ne 0 ] && [ ${#offenders[@]} -eq 0 ]; then
  # Failed without naming a file to format: a broken .clang-format, a missing file.
  printf '%s\n' "$report" >&2
  echo "$formatter failed (exit status $status)." >&2
  exit 2
fi
if [ ${#offenders[@]} -ne 0 ]; then
  echo "Not formatted (run scripts/check-format.sh --fix):" >&2
  printf '  %s\n' "${offenders[@]}" >&2
  exit 1
fi
echo "All ${#files[@]} C++ files are formatted."
