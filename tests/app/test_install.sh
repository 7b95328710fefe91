#!/usr/bin/env bash
# Installs a build into a temporary prefix and checks what a desktop needs to
# find there: the programs with their Languages folder, the desktop entry and
# the application icon, and that the entry names what was installed.
#
# test_install.sh CMAKE BUILD_DIR SOURCE_DIR BINDIR DATADIR HAS_WINDOW
set -uo pipefail

if [ $# -ne 6 ]; then
  echo "usage: $0 CMAKE BUILD_DIR SOURCE_DIR BINDIR DATADIR HAS_WINDOW(0|1)" >&2
  exit 2
fi
cmake_command=$1 build_dir=$2 source_dir=$3 bindir=$4 datadir=$5 has_window=$6

prefix=$(mktemp -d "${TMPDIR:-/tmp}/zentaro-install.XXXXXX") || exit 1
trap 'rm -rf -- "$prefix"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! log=$(timeout 60 "$cmake_command" --install "$build_dir" --prefix "$prefix" 2>&1); then
  printf '%s\n' "$log" >&2
  echo "FAIL: cmake --install did not finish cleanly" >&2
  exit 1
fi

bin="$prefix/$bindir"
desktop="$prefix/$datadir/applications/zentaro.desktop"
icon="$prefix/$datadir/icons/hicolor/scalable/apps/zentaro.svg"

[ -f "$bin/zentaro-cli" ] && [ -x "$bin/zentaro-cli" ] || fail "$bindir/zentaro-cli is missing or not executable"
[ -f "$bin/Languages/LanguageCodes.csv" ] || fail "$bindir/Languages/LanguageCodes.csv is missing"
[ ! -e "$bin/Languages/CMakeLists.txt" ] || fail "the build description was installed with the language files"
cmp -s "$source_dir/LICENSE" "$bin/license.txt" || fail "$bindir/license.txt missing or different from LICENSE"

case "$has_window" in
  1) [ -f "$bin/zentaro" ] && [ -x "$bin/zentaro" ] || fail "$bindir/zentaro is missing or not executable" ;;
  0) ;;
  *) fail "HAS_WINDOW must be 0 or 1, not '$has_window'" ;;
esac

# The installed copies are the repository's files, byte for byte.
cmp -s "$source_dir/assets/zentaro.desktop" "$desktop" || fail "desktop entry missing or different from assets/zentaro.desktop"
cmp -s "$source_dir/assets/zentaro.svg" "$icon" || fail "icon missing or different from assets/zentaro.svg"

if [ -f "$desktop" ]; then
  if ! command -v desktop-file-validate >/dev/null; then
    fail "desktop-file-validate is not installed (package desktop-file-utils)"
  elif ! out=$(timeout 10 desktop-file-validate "$desktop" 2>&1) || [ -n "$out" ]; then
    # It exits 0 on hints; anything it says counts.
    fail "desktop-file-validate: $out"
  fi

  # The theme finds the icon by the entry's Icon name, and the launcher runs
  # its Exec program from the installed bin folder.
  icon_name=$(sed -n 's/^Icon=//p' "$desktop")
  [ "$icon_name" = "$(basename "$icon" .svg)" ] || fail "Icon=$icon_name does not name the installed icon"
  if [ "$has_window" = 1 ]; then
    exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [ -n "$exec_name" ] && [ -x "$bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
  fi
fi

# The installed command-line program runs where it landed.
if [ -x "$bin/zentaro-cli" ]; then
  version=$(timeout 10 "$bin/zentaro-cli" --version 2>&1) || fail "installed zentaro-cli --version failed: $version"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "install checks passed"
