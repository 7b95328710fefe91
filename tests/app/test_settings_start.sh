#!/usr/bin/env bash
# The window program started as a user starts it, with something in place of
# its settings file (~/.config/KESTRIX/Zentaro.conf, here under a configuration
# folder of the test's own): a FIFO, a 300 MB file. The window must come up,
# seen by the observer plugin, without the file being read: no wait on the
# FIFO, no more memory than a start with no settings at all, give or take.
#
# test_settings_start.sh PROGRAM PLUGIN_DIR PROGRAM_BUILT
set -uo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 PROGRAM PLUGIN_DIR PROGRAM_BUILT" >&2
  exit 2
fi
program=$1 plugin_dir=$2
if [ "$3" != 1 ]; then
  echo "the window program is not part of this build; nothing to start"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/zentaro-settings-start.XXXXXX") || exit 1
trap 'rm -rf -- "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Starts the program with the configuration folder $work/<case> and prints the
# peak memory it reported; fails the case when its window was not seen.
start() {
  local name=$1 seen status
  seen=$(ZENTARO_OBSERVE_PEAK_MEMORY=1 bash "$(dirname "$0")/observe_window.sh" \
    "$program" "$plugin_dir" "$work/$name" 2>"$work/$name.err")
  status=$?
  if [ "$status" -ne 0 ] || ! grep -qx 'main-title: KESTRIX - Zentaro' <<<"$seen"; then
    fail "$name: no main window (status $status; 124: still running after 40 s):"
    printf '%s\n' "$seen" >&2
    cat "$work/$name.err" >&2
    echo 0
    return
  fi
  sed -n 's/^peak-memory-kib: \([0-9]*\)$/\1/p' <<<"$seen"
}

mkdir -p "$work/none" "$work/fifo/KESTRIX" "$work/huge/KESTRIX"
mkfifo "$work/fifo/KESTRIX/Zentaro.conf" || exit 1
printf '[Settings]\nShowUpdate=0\n' >"$work/huge/KESTRIX/Zentaro.conf"
truncate -s 300000000 "$work/huge/KESTRIX/Zentaro.conf" || exit 1

baseline=$(start none)
start fifo >/dev/null
huge=$(start huge)
# Reading the file would take 300 MB at the least.
if [ -z "$baseline" ] || [ -z "$huge" ]; then
  fail "no peak memory reported (baseline '$baseline', 300 MB file '$huge')"
elif [ "$baseline" -gt 0 ] && [ "$huge" -gt $((baseline + 100000)) ]; then
  fail "the 300 MB settings file took memory: peak $huge KiB, $baseline KiB without settings"
fi
# Both were left as they were.
[ -p "$work/fifo/KESTRIX/Zentaro.conf" ] || fail "the FIFO is gone"
[ "$(stat -c %s "$work/huge/KESTRIX/Zentaro.conf")" = 300000000 ] || fail "the 300 MB file changed"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "settings start checks passed (peak memory: $baseline KiB without settings, $huge KiB with 300 MB)"
