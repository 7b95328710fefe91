#!/usr/bin/env bash
# Renders the README's picture: build/zentaro on a private 96-DPI Xvfb display,
# after a single-core and a multi-core run of the default workload, length 1.
# Builds nothing; build first (./run.sh or cmake --build build).
#
#   scripts/screenshot.sh [OUTPUT.png]      # default docs/screenshot.png
#
# ZENTARO_BUILD_DIR chooses another build folder; ZENTARO_SHOT_TIMEOUT the most
# seconds to wait for each run's result (default 60).
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ROOT="$ZENTARO_ROOT"
BUILD="${ZENTARO_BUILD_DIR:-$ROOT/build}"
OUT="${1:-$ROOT/docs/screenshot.png}"
TIMEOUT="${ZENTARO_SHOT_TIMEOUT:-60}"
ZENTARO="$BUILD/zentaro"

# The window's client area below its menu bar, and the two buttons in it
# (left, top, width, height), at 96 DPI.
CLIENT_WIDTH=485
CLIENT_HEIGHT=420
BUTTON1=(17 199 221 37)
BUTTON2=(244 199 221 37)
# Where each run writes its speed: the value column of its row.
SINGLE_VALUE=(150 281 300 20)
MULTI_VALUE=(150 318 300 20)

if [ ! -x "$ZENTARO" ]; then
  echo "missing $ZENTARO: build it first (./run.sh or cmake --build $BUILD)" >&2
  exit 2
fi

ZENTARO_PACKAGES=(xvfb xdotool imagemagick)
zentaro_install_deps

WORK="$(mktemp -d)"
XVFB_PID=""
APP_PID=""
cleanup() {
  for pid in "$APP_PID" "$XVFB_PID"; do
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

fail() {
  echo "screenshot: $*" >&2
  if [ -s "$WORK/zentaro.log" ]; then
    echo "zentaro said:" >&2
    tail -n 20 "$WORK/zentaro.log" >&2
  fi
  exit 1
}

# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$WORK/display" \
  >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -s "$WORK/display" ] && break
  kill -0 "$XVFB_PID" 2>/dev/null || fail "Xvfb ended: $(cat "$WORK/xvfb.log")"
  sleep 0.1
done
[ -s "$WORK/display" ] || fail "Xvfb did not start"
DISPLAY=":$(head -n1 "$WORK/display")"
export DISPLAY

# The same picture on every machine: English texts, a '.' decimal point, no
# desktop theme, scaling or user settings.
mkdir -m 700 "$WORK/runtime" "$WORK/home"
export XDG_RUNTIME_DIR="$WORK/runtime" HOME="$WORK/home"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
# The update check asks a port on this machine that nobody serves: refused at
# once, nothing leaves the machine and no notice covers the picture.
export ZENTARO_SERVER_HOST=127.0.0.1:9
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
  QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING QT_FONT_DPI \
  LANGUAGE LC_ALL LC_MESSAGES LC_NUMERIC XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME

"$ZENTARO" >"$WORK/zentaro.log" 2>&1 &
APP_PID=$!

WINDOW=""
for _ in $(seq 200); do
  kill -0 "$APP_PID" 2>/dev/null || fail "zentaro ended before showing its window"
  WINDOW="$(xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | head -n1 || true)"
  [ -n "$WINDOW" ] && break
  sleep 0.1
done
[ -n "$WINDOW" ] || fail "no window from zentaro within 20 s"

eval "$(xdotool getwindowgeometry --shell "$WINDOW")" # sets WIDTH and HEIGHT
# No window manager: the window is its client area, the menu bar at the top,
# the central area of fixed size beneath it.
if [ "$WIDTH" -lt "$CLIENT_WIDTH" ] || [ "$HEIGHT" -lt "$CLIENT_HEIGHT" ]; then
  fail "window is ${WIDTH}x${HEIGHT}, smaller than its ${CLIENT_WIDTH}x${CLIENT_HEIGHT} client area"
fi
OFFSET_X=0
OFFSET_Y=$((HEIGHT - CLIENT_HEIGHT))

# Clicks the middle of a button, then takes the pointer off the window so that
# no hover highlight is left in the picture.
click() {
  local x=$((OFFSET_X + $1 + $3 / 2)) y=$((OFFSET_Y + $2 + $4 / 2))
  xdotool mousemove --sync --window "$WINDOW" "$x" "$y" click 1
  xdotool mousemove --sync 0 0
}

# The pixels of a client-area rectangle, raw, into a file.
grab() {
  import -window "$WINDOW" -crop "$4x$5+$((OFFSET_X + $2))+$((OFFSET_Y + $3))" -depth 8 "RGB:$1"
}

# Clicks a button and waits until the run's speed has replaced what its row
# showed before; the run is over then, and the buttons are enabled again.
run_and_wait() {
  local name="$1" button=("${@:2:4}") value=("${@:6:4}")
  grab "$WORK/before.rgb" "${value[@]}"
  click "${button[@]}"
  local deadline=$((SECONDS + TIMEOUT))
  while :; do
    kill -0 "$APP_PID" 2>/dev/null || fail "zentaro ended during the $name run"
    grab "$WORK/after.rgb" "${value[@]}"
    cmp -s "$WORK/before.rgb" "$WORK/after.rgb" || break
    [ "$SECONDS" -lt "$deadline" ] || fail "no $name result within $TIMEOUT s"
    sleep 0.2
  done
  sleep 0.5 # the rest of the window's repaint
}

sleep 1 # the first paint and the first clock-speed sample
run_and_wait single-core "${BUTTON1[@]}" "${SINGLE_VALUE[@]}"
run_and_wait multi-core "${BUTTON2[@]}" "${MULTI_VALUE[@]}"

mkdir -p "$(dirname "$OUT")"
# No time stamps in the file: the same picture gives the same bytes.
import -window "$WINDOW" -strip -define png:exclude-chunks=date,time "$WORK/shot.png"
mv "$WORK/shot.png" "$OUT"
echo "wrote $OUT (${WIDTH}x${HEIGHT})"
