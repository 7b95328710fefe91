#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what is missing, then configure and build.
set -euo pipefail

ZENTARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the tests and the benchmarks need from Debian 12
# (a font so that offscreen window tests measure real text; the desktop-entry
# checker of the installation test; the formatter of the format check; an X
# server and xprop for the test of what the window system receives; the
# validator of the JSON output's schema test; help2man, which makes
# zentaro-cli's manual page from its --help).
ZENTARO_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev
  libpcre2-dev libicu-dev libbenchmark-dev nlohmann-json3-dev
  fonts-dejavu-core desktop-file-utils clang-format xvfb x11-utils
  python3-jsonschema help2man
)

zentaro_install_deps() {
  local missing=()
  for p in "${ZENTARO_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
  # A fresh machine has no package lists yet.
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
}

# The build folders are those of CMakePresets.json: ZENTARO_SANITIZE picks the
# preset (empty: default in build/, address: asan in build-address/, thread:
# tsan in build-thread/). ZENTARO_WERROR=1 turns warnings into errors and
# ZENTARO_WERROR=0 back off; unset, the folder keeps what it had, so that
# ./run.sh after ./test.sh does not recompile everything for a changed flag.
zentaro_build() {
  local san="${ZENTARO_SANITIZE:-}"
  local preset
  case "$san" in
    "") preset=default ;;
    address) preset=asan ;;
    thread) preset=tsan ;;
    *) echo "ZENTARO_SANITIZE must be 'address' or 'thread', not '$san'" >&2; exit 2 ;;
  esac
  local options=()
  case "${ZENTARO_WERROR:-}" in
    1) options+=(-DZENTARO_WERROR=ON) ;;
    0) options+=(-DZENTARO_WERROR=OFF) ;;
    "") ;;
    *) echo "ZENTARO_WERROR must be 1 or 0, not '${ZENTARO_WERROR}'" >&2; exit 2 ;;
  esac
  cd "$ZENTARO_ROOT"
  cmake --preset "$preset" "${options[@]}"
  cmake --build --preset "$preset" --parallel "$(nproc)"
  ZENTARO_BUILD_DIR="$(zentaro_preset_dir "$preset")"
}

# The binary folder a configure preset names, read from CMakePresets.json.
zentaro_preset_dir() {
  local dir
  dir="$(sed -n "/\"name\": \"$1\"/,/binaryDir/s/.*\"binaryDir\": \"\\\${sourceDir}\/\([^\"]*\)\".*/\1/p" \
    "$ZENTARO_ROOT/CMakePresets.json" | head -n 1)"
  if [ -z "$dir" ]; then
    dir="build"
  fi
  echo "$ZENTARO_ROOT/$dir"
}
