#!/usr/bin/env bash
# Install what is missing, build, and start Zentaro.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"
zentaro_install_deps
zentaro_build
cd "$ZENTARO_BUILD_DIR"
if [ -x ./zentaro ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  exec ./zentaro "$@"
fi
if [ -x ./zentaro ]; then
  echo "No display available: running the headless zentaro-cli instead." >&2
fi
exec ./zentaro-cli "$@"
