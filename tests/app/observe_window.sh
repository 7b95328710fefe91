#!/usr/bin/env bash
# Starts an installed window program offscreen, in German, with the observer
# plugin, in a home of its own, and prints what the observer saw (see
# observer/installobserver.cpp). Exits with the program's status; 124 when it
# was still running after 40 seconds.
#
# observe_window.sh PROGRAM PLUGIN_DIR [CONFIG_DIR]
#
# CONFIG_DIR: the user's configuration folder (XDG_CONFIG_HOME) to start with,
# instead of an empty one in the home.
set -uo pipefail

if [ $# -ne 2 ] && [ $# -ne 3 ]; then
  echo "usage: $0 PROGRAM PLUGIN_DIR [CONFIG_DIR]" >&2
  exit 2
fi
# Absolute: the program runs in its home.
program=$(realpath -- "$1") plugin_dir=$(realpath -- "$2")
[ -f "$plugin_dir/generic/libzentaro_install_observer.so" ] || {
  echo "no observer plugin in $plugin_dir/generic" >&2
  exit 2
}

home=$(mktemp -d "${TMPDIR:-/tmp}/zentaro-home.XXXXXX") || exit 1
trap 'rm -rf -- "$home"' EXIT
config="$home/config"
if [ $# -eq 3 ]; then
  config=$(realpath -- "$3")
fi

# Nothing of the user's settings, and no update check that reaches anything.
cd "$home" && exec env HOME="$home" XDG_CONFIG_HOME="$config" XDG_DATA_HOME="$home/data" \
  XDG_CACHE_HOME="$home/cache" LANGUAGE=de_DE LC_ALL=C.UTF-8 \
  ZENTARO_SERVER_HOST=zentaro.invalid QT_QPA_PLATFORM=offscreen \
  QT_PLUGIN_PATH="$plugin_dir" QT_QPA_GENERIC_PLUGINS=zentaroobserver \
  timeout -k 5 40 "$program"
