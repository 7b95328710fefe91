#!/usr/bin/env bash
# Install what is missing, build, and run every test through CTest.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/scripts/common.sh"
zentaro_install_deps
# The tests are built as CI builds them: a warning is an error.
ZENTARO_WERROR=1 zentaro_build
cd "$ZENTARO_BUILD_DIR"
export QT_QPA_PLATFORM=offscreen
exec ctest --output-on-failure --timeout 600 "$@"
