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
runner="$(command -v run-clang-tidy || command -v run-clang-tidy-14 || true)"
if [ -n "$runner" ]; then
  exec "$runner" -quiet -p "$build" -j "$(nproc)" "${files[@]}"
fi
status=0
for f in "${files[@]}"; do
  clang-tidy --quiet -p "$build" "$f" || status=1
done
exit $status
