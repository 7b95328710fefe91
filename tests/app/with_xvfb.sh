#!/bin/sh
# Runs one test program against an X server of its own, so that it can read
# back what the window system received from its windows.
# Usage: with_xvfb.sh PROGRAM [ARGUMENTS...]
set -eu

work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

# The server picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
tries=0
while [ ! -s "$work/display" ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done

DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb "$@"
