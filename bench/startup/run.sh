#!/usr/bin/env bash
# Start-up time, resident memory and idle CPU of build/zentaro, beside an empty
# Qt window of the same build (build/bench/barewindow) as the floor, on a
# private Xvfb display. Nothing is built here; build first:
#
#   cmake --build build --target zentaro barewindow firstwindow
#   bench/startup/run.sh [-n RUNS] [-m RUNS] [--settle SECONDS] [--idle SECONDS]
#
#   -n RUNS           start-up runs per program (default 15)
#   -m RUNS           memory and idle runs per program (default 3)
#   --settle SECONDS  wait after the window appears before measuring (default 3)
#   --idle SECONDS    length of the idle window (default 10)
#
# ZENTARO_BUILD_DIR chooses another build folder. Exit status: 0 when every
# target is met, 1 when one is missed, 2 on a usage or set-up error.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ROOT="$ZENTARO_ROOT"
BUILD="${ZENTARO_BUILD_DIR:-$ROOT/build}"
START_RUNS=15
MEMORY_RUNS=3
SETTLE=3
IDLE=10

usage() {
  sed -n '7,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while [ $# -gt 0 ]; do
  case "$1" in
    -n) START_RUNS="${2:?}"; shift 2 ;;
    -m) MEMORY_RUNS="${2:?}"; shift 2 ;;
    --settle) SETTLE="${2:?}"; shift 2 ;;
    --idle) IDLE="${2:?}"; shift 2 ;;
    -h|--help) usage ;;
    *) echo "unknown argument: $1" >&2; usage ;;
  esac
done
for n in "$START_RUNS" "$MEMORY_RUNS"; do
  [[ "$n" =~ ^[1-9][0-9]*$ ]] || { echo "run counts are whole numbers from 1" >&2; exit 2; }
done
for s in "$SETTLE" "$IDLE"; do
  [[ "$s" =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "seconds are plain numbers" >&2; exit 2; }
done

ZENTARO="$BUILD/zentaro"
BARE="$BUILD/bench/barewindow"
FIRSTWINDOW="$BUILD/bench/firstwindow"
for f in "$ZENTARO" "$BARE" "$FIRSTWINDOW"; do
  if [ ! -x "$f" ]; then
    echo "missing $f: build it first (cmake --build $BUILD --target zentaro barewindow firstwindow)" >&2
    exit 2
  fi
done

ZENTARO_PACKAGES=(xvfb)
zentaro_install_deps

WORK="$(mktemp -d)"
XVFB_PID=""
cleanup() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

start_xvfb
export DISPLAY="$XVFB_DISPLAY"

# The same surroundings for both programs and every run.
mkdir -m 700 "$WORK/runtime" "$WORK/config"
export XDG_RUNTIME_DIR="$WORK/runtime"
export QT_QPA_PLATFORM=xcb LANG=C.UTF-8
# The update check asks a port on this machine that nobody serves (refused at
# once, nothing leaves the machine) and keeps its settings in the work folder.
export ZENTARO_SERVER_HOST=127.0.0.1:9 XDG_CONFIG_HOME="$WORK/config"
unset QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS \
  QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING LANGUAGE LC_ALL LC_MESSAGES
LOG="$WORK/programs.log" # the programs' own messages, shown only on failure
TICKS="$(getconf CLK_TCK)"

# firstwindow's line: "<ms> <pid> <window> <width>x<height>".
first_window() {
  if ! "$FIRSTWINDOW" -- "$@" 2>>"$LOG"; then
    echo "no window from $*:" >&2
    tail -n 20 "$LOG" >&2
    exit 2
  fi
}

# CPU time of a process in clock ticks (utime + stime) and in nanoseconds
# (the scheduler's run time, summed over its threads).
cpu_ticks() {
  local stat
  stat="$(<"/proc/$1/stat")"
  stat="${stat##*) }" # the name may hold spaces; the fields follow its ')'
  read -r -a f <<<"$stat"
  echo $((f[11] + f[12]))
}
cpu_ns() {
  local total=0 run _
  for s in /proc/"$1"/task/*/schedstat; do
    read -r run _ <"$s" 2>/dev/null || continue
    total=$((total + run))
  done
  echo "$total"
}
rss_kib() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"
}

# Prints "<rss KiB> <cpu % by ticks> <cpu % by run time> <X server cpu %>".
# utime+stime come in whole clock ticks, and one tick in 10 s is already the
# 0.1 % target, so the verdict uses the scheduler's nanosecond run time.
idle_cost() {
  local line pid rss t0 t1 n0 n1 x0 x1
  coproc FW { "$FIRSTWINDOW" --keep -- "$@" 2>>"$LOG"; }
  if ! read -r line <&"${FW[0]}"; then
    echo "no window from $*" >&2
    tail -n 20 "$LOG" >&2
    exit 2
  fi
  read -r _ pid _ _ <<<"$line"
  sleep "$SETTLE"
  rss="$(rss_kib "$pid")"
  t0="$(cpu_ticks "$pid")"
  n0="$(cpu_ns "$pid")"
  x0="$(cpu_ns "$XVFB_PID")"
  sleep "$IDLE"
  t1="$(cpu_ticks "$pid")"
  n1="$(cpu_ns "$pid")"
  x1="$(cpu_ns "$XVFB_PID")"
  # shellcheck disable=SC2153 # FW_PID is set by coproc
  local fw_pid="$FW_PID"
  eval "exec ${FW[1]}>&-" # firstwindow ends the program when its input closes
  wait "$fw_pid" || true
  awk -v r="$rss" -v t="$((t1 - t0))" -v n="$((n1 - n0))" -v x="$((x1 - x0))" \
    -v hz="$TICKS" -v s="$IDLE" \
    'BEGIN { printf "%d %.4f %.4f %.4f\n", r, t / hz / s * 100, n / 1e9 / s * 100, x / 1e9 / s * 100 }'
}

echo "Display $DISPLAY (Xvfb 1024x768, 96 DPI), $(nproc) logical processors; load: $(cut -d' ' -f1-3 /proc/loadavg)"

# One run of each that counts for nothing: it fills the file cache, and tells
# the size of the main window for the empty one.
line="$(first_window "$ZENTARO")"
read -r _ _ _ SIZE <<<"$line"
line="$(first_window "$BARE" "$SIZE")"
echo "Window size $SIZE; $START_RUNS start-up runs each, alternating"

: >"$WORK/start.zentaro"
: >"$WORK/start.bare"
for _ in $(seq "$START_RUNS"); do
  line="$(first_window "$ZENTARO")"
  echo "${line%% *}" >>"$WORK/start.zentaro"
  line="$(first_window "$BARE" "$SIZE")"
  echo "${line%% *}" >>"$WORK/start.bare"
done

echo "$MEMORY_RUNS memory and idle runs each: ${SETTLE} s to settle, ${IDLE} s idle"
: >"$WORK/idle.zentaro"
: >"$WORK/idle.bare"
for _ in $(seq "$MEMORY_RUNS"); do
  line="$(idle_cost "$ZENTARO")"
  echo "$line" >>"$WORK/idle.zentaro"
  line="$(idle_cost "$BARE" "$SIZE")"
  echo "$line" >>"$WORK/idle.bare"
done

read -r ZS_MED ZS_MIN ZS_MAX < <(stats <"$WORK/start.zentaro")
read -r BS_MED BS_MIN BS_MAX < <(stats <"$WORK/start.bare")
column_stats() { cut -d' ' -f"$2" "$1" | stats | cut -d' ' -f1; }
Z_RSS="$(column_stats "$WORK/idle.zentaro" 1)"
B_RSS="$(column_stats "$WORK/idle.bare" 1)"
Z_CPU="$(column_stats "$WORK/idle.zentaro" 2)"
B_CPU="$(column_stats "$WORK/idle.bare" 2)"
Z_RUN="$(column_stats "$WORK/idle.zentaro" 3)"
B_RUN="$(column_stats "$WORK/idle.bare" 3)"
Z_X="$(column_stats "$WORK/idle.zentaro" 4)"
B_X="$(column_stats "$WORK/idle.bare" 4)"

awk -v zs="$ZS_MED" -v zsl="$ZS_MIN" -v zsh="$ZS_MAX" \
  -v bs="$BS_MED" -v bsl="$BS_MIN" -v bsh="$BS_MAX" \
  -v zr="$Z_RSS" -v br="$B_RSS" -v zc="$Z_CPU" -v bc="$B_CPU" \
  -v zn="$Z_RUN" -v bn="$B_RUN" -v zx="$Z_X" -v bx="$B_X" -v hz="$TICKS" -v idle="$IDLE" '
function verdict(ok) { if (!ok) failed = 1; return ok ? "pass" : "FAIL" }
BEGIN {
  ratio = zs / bs
  printf "\n%-28s %22s %22s %8s\n", "", "zentaro", "bare window", "ratio"
  printf "%-28s %8.1f [%5.1f-%5.1f] %8.1f [%5.1f-%5.1f] %8.2f\n", "first window, ms (median)",
         zs, zsl, zsh, bs, bsl, bsh, ratio
  printf "%-28s %22.1f %22.1f %8.2f\n", "resident memory, MiB", zr / 1024, br / 1024, zr / br
  printf "%-28s %22.3f %22.3f\n", "idle CPU, % of a core", zn, bn
  printf "%-28s %22.3f %22.3f\n", "  by utime+stime (ticks)", zc, bc
  printf "%-28s %22.3f %22.3f\n", "  X server meanwhile", zx, bx
  printf "(utime+stime count whole ticks: one tick in %g s is %.3f %%)\n\n", idle, 100 / hz / idle
  printf "Targets\n"
  printf "  first window <= 3 x bare window  %6.2f x   %s\n", ratio, verdict(ratio <= 3)
  printf "  resident memory <= 50 MiB        %6.1f MiB %s\n", zr / 1024, verdict(zr <= 50 * 1024)
  printf "  idle CPU <= 0.1 %% of a core      %6.3f %%   %s\n", zn, verdict(zn <= 0.1)
  exit failed
}'
