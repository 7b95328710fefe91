#!/usr/bin/env bash
# Runs clang-tidy with the repository's .clang-tidy over the sources under src/
# (or the files given), using the compile commands of a build folder (build/
# unless ZENTARO_BUILD_DIR says otherwise; ./test.sh makes it).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build="${ZENTARO_BUILD_DIR:-build}"
if [ ! -f "$build/compile_commands.json" ]; then
  echo "No $build/compile_commands.json: build first (./test.sh)." >&2
  exit 2
fi
if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files 'src/*.cpp')
fi
# Findings in our own headers only: src/ and tests/ of this checkout, not the
# forms and meta-objects generated into a build folder's src/ (build/ is
# inside the checkout).
root="$(pwd | sed 's/[][\.*^$+?(){}|]/\\&/g')"
filter="^$root/(src|tests)/"
runner="$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)"
if [ -n "$runner" ]; then
  exec "$runner" -quiet -p "$build" -j "$(nproc)" -header-filter "$filter" "${files[@]}"
fi
status=0
for f in "${files[@]}"; do
  clang-tidy --quiet -p "$build" --header-filter="$filter" "$f" || status=1
done
exit $status
