#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what is missing, then configure and build.
set -euo pipefail

ZENTARO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the build, the tests and the benchmarks need from Debian 12
# (a font so that offscreen window tests measure real text; the desktop-entry
# checker of the installation test).
ZENTARO_PACKAGES=(
  build-essential cmake ninja-build pkg-config clang
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev
  libpcre2-dev libicu-dev libbenchmark-dev nlohmann-json3-dev
  fonts-dejavu-core desktop-file-utils
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

# Build directory and cache settings follow ZENTARO_SANITIZE (address | thread | empty).
zentaro_build() {
  local san="${ZENTARO_SANITIZE:-}"
  local dir="$ZENTARO_ROOT/build"
  local type="RelWithDebInfo"
  if [ -n "$san" ]; then
    case "$san" in
      address|thread) ;;
      *) echo "ZENTARO_SANITIZE must be 'address' or 'thread', not '$san'" >&2; exit 2 ;;
    esac
    dir="$ZENTARO_ROOT/build-$san"
  fi
  ZENTARO_BUILD_DIR="$dir"
  cmake -S "$ZENTARO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" -DZENTARO_SANITIZE="$san"
  cmake --build "$dir" --parallel "$(nproc)"
}
