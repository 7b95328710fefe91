#!/usr/bin/env bash
# Start-up time and resident memory of the Windows build's zentaro.exe under
# Wine, beside an empty Qt window built with the same Qt (barewindow.exe) as
# the floor, on a private Xvfb display and in a private Wine prefix. For
# information only: there are no targets. Nothing is built here; build first:
#
#   cmake --preset windows -DZENTARO_QT=ON && cmake --build build-windows
#   bench/startup/run-wine.sh [-n RUNS] [--settle SECONDS] [--timeout SECONDS]
#
#   -n RUNS            runs per program, alternating (default 9)
#   --settle SECONDS   wait after the window appears before reading memory (default 3)
#   --timeout SECONDS  longest wait for a window (default 60)
#
# ZENTARO_WINDOWS_BUILD_DIR chooses another Windows build folder (default
# build-windows). The X client that times the window is build/bench/firstwindow
# (ZENTARO_BUILD_DIR) when built, else it is compiled into the work folder.
#
# The Windows build is installed into a temporary folder (cmake --install) and
# barewindow.exe put beside zentaro.exe, so that both load the same Qt DLLs and
# plugins. The first-window time runs from the spawn of "wine X.exe" until the
# program's first top-level window is mapped on the X server: Wine's loader,
# the program's DLLs and Wine's desktop process (explorer.exe, which starts
# with the first window program and ends after it) are counted. Not counted:
# the wineserver, started once with -p so that it stays between runs, and
# Wine's services (services.exe, winedevice.exe, plugplay.exe, rpcss.exe,
# svchost.exe), which the prefix's creation and one uncounted run of each
# program bring up. Resident memory is the sum of VmRSS over the Linux
# processes of this prefix that are the .exe (by /proc/PID/comm or the first
# word of the command line), read after the window has settled, with its part
# not backed by files (RssAnon): most of the rest is Wine's and Qt's DLLs,
# shared with other programs. Wine's own processes are shown apart.
#
# Exit status 0 when measured, 2 on a usage or set-up error.
set -euo pipefail

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
ROOT="$ZENTARO_ROOT"
WINDOWS_BUILD="${ZENTARO_WINDOWS_BUILD_DIR:-$ROOT/build-windows}"
BUILD="${ZENTARO_BUILD_DIR:-$ROOT/build}"
RUNS=9
SETTLE=3
TIMEOUT=60

usage() {
  sed -n '7,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while [ $# -gt 0 ]; do
  case "$1" in
    -n) RUNS="${2:?}"; shift 2 ;;
    --settle) SETTLE="${2:?}"; shift 2 ;;
    --timeout) TIMEOUT="${2:?}"; shift 2 ;;
    -h|--help) usage ;;
    *) echo "unknown argument: $1" >&2; usage ;;
  esac
done
[[ "$RUNS" =~ ^[1-9][0-9]*$ ]] || { echo "the run count is a whole number from 1" >&2; exit 2; }
for s in "$SETTLE" "$TIMEOUT"; do
  [[ "$s" =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "seconds are plain numbers" >&2; exit 2; }
done

for f in zentaro.exe barewindow.exe cmake_install.cmake; do
  if [ ! -f "$WINDOWS_BUILD/$f" ]; then
    echo "missing $WINDOWS_BUILD/$f: build the Windows program first" \
      "(cmake --preset windows -DZENTARO_QT=ON && cmake --build build-windows)" >&2
    exit 2
  fi
done

ZENTARO_PACKAGES=(xvfb wine64 wine libx11-dev g++)
zentaro_install_deps

WORK="$(mktemp -d)"
XVFB_PID=""
WINE_STARTED=""
cleanup() {
  if [ -n "$WINE_STARTED" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

FIRSTWINDOW="$BUILD/bench/firstwindow"
if [ ! -x "$FIRSTWINDOW" ]; then
  FIRSTWINDOW="$WORK/firstwindow"
  c++ -std=c++20 -O2 -o "$FIRSTWINDOW" "$ROOT/bench/startup/firstwindow.cpp" -lX11 || {
    echo "cannot compile bench/startup/firstwindow.cpp" >&2
    exit 2
  }
fi

PROGRAM="$WORK/Zentaro"
cmake --install "$WINDOWS_BUILD" --prefix "$PROGRAM" >"$WORK/install.log" 2>&1 || {
  cat "$WORK/install.log" >&2
  exit 2
}
cp "$WINDOWS_BUILD/barewindow.exe" "$PROGRAM/"

# The X server starts before the prefix is named, so it is never taken for Wine's.
start_xvfb

# A prefix of our own; Wine's start-up asks for nothing and shows nothing.
export WINEPREFIX="$WORK/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset QT_QPA_PLATFORM QT_QPA_PLATFORMTHEME QT_STYLE_OVERRIDE QT_SCALE_FACTOR \
  QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING LANGUAGE
# The update check meets a closed port on this machine: nothing leaves it.
export ZENTARO_SERVER_HOST=127.0.0.1:9
WINE_STARTED=1
if ! DISPLAY="" timeout 300 wine wineboot --init >"$WORK/wineboot.log" 2>&1; then
  echo "wineboot failed:" >&2
  tail -n 20 "$WORK/wineboot.log" >&2
  exit 2
fi
# The desktop process, started with the prefix and no display, would keep the
# windows off the X server: a new session starts, with the display.
timeout 30 wineserver -k >/dev/null 2>&1 || true
export DISPLAY="$XVFB_DISPLAY"
# A wineserver that stays when the last program ends: its start is paid once.
timeout 30 wineserver -p >/dev/null 2>&1 || { echo "wineserver did not start" >&2; exit 2; }

LOG="$WORK/programs.log" # the programs' own messages, shown only on failure

# The processes of this prefix, one "<pid> <name>" a line: the name is the
# command's first word without its folders, or /proc/PID/comm when that is empty.
# The prefix is read from each process's environment, so that Wine sessions
# of other prefixes on this machine are left out.
prefix_processes() {
  local dir name first
  for dir in /proc/[0-9]*; do
    grep -qzxF "WINEPREFIX=$WINEPREFIX" "$dir/environ" 2>/dev/null || continue
    read -r name 2>/dev/null <"$dir/comm" || continue
    first=""
    read -r -d '' first 2>/dev/null <"$dir/cmdline" || true
    first="${first##*[\\/]}"
    first="${first%% *}"
    echo "${dir#/proc/} ${first:-$name} $name"
  done
}

# A field of /proc/PID/status in KiB, $2 being VmRSS or RssAnon (0 when the
# process has gone).
status_kib() {
  local kib
  kib="$(awk -v f="$2:" '$1 == f { print $2 }' "/proc/$1/status" 2>/dev/null)" || true
  echo "${kib:-0}"
}

# Prints "<KiB of the program> <KiB of Wine's own processes> <program processes>
# <KiB of the program not backed by files>" for the program $1 (an .exe name). comm holds at most 15 characters, hence the
# comparison of a prefix of the name as well.
memory_of() {
  local exe="${1,,}" pid first comm program=0 wine=0 count=0 anon=0 kib
  while read -r pid first comm; do
    first="${first,,}"
    comm="${comm,,}"
    kib="$(status_kib "$pid" VmRSS)"
    if [ "$first" = "$exe" ] || [ "$comm" = "${exe:0:15}" ]; then
      program=$((program + kib))
      count=$((count + 1))
      anon=$((anon + $(status_kib "$pid" RssAnon)))
    elif [[ "$first" == *.exe || "$comm" == wine* ]]; then
      wine=$((wine + kib))
    fi
  done < <(prefix_processes)
  echo "$program $wine $count $anon"
}

# Waits (at most 15 s) until no process of the prefix but the services and the
# wineserver is left, so that every run finds Wine in the same state.
wait_for_quiet() {
  local deadline=$((SECONDS + 15)) busy
  while [ "$SECONDS" -lt "$deadline" ]; do
    busy="$(prefix_processes | awk '$3 !~ /^(wineserver|services\.exe|winedevice\.exe|plugplay\.exe|svchost\.exe|rpcss\.exe)/ && $3 ~ /\.exe$/')"
    [ -z "$busy" ] && return 0
    sleep 0.2
  done
  echo "NOTE   still running after the program ended: $(awk '{ print $3 }' <<<"$busy" | tr '\n' ' ')" >&2
}

# One run: "<ms> <pid> <window> <size>", then what memory_of prints.
# Now and then Wine loses a process at its start; such a run is made once more,
# and says so.
run_once() {
  local attempt line fw_pid
  for attempt in 1 2; do
    wait_for_quiet
    coproc FW {
      cd "$PROGRAM" &&
        exec timeout "$(awk -v t="$TIMEOUT" -v s="$SETTLE" 'BEGIN { print t + s + 60 }')" \
          "$FIRSTWINDOW" --keep --timeout "$TIMEOUT" -- wine "$@" 2>>"$LOG"
    }
    # shellcheck disable=SC2153 # FW_PID is set by coproc
    fw_pid="$FW_PID"
    line=""
    read -r line <&"${FW[0]}" || true
    if [ -n "$line" ]; then
      sleep "$SETTLE"
      line="$line $(memory_of "$1")"
    fi
    eval "exec ${FW[1]}>&-" # firstwindow ends the program when its input closes
    wait "$fw_pid" || true
    if [ -n "$line" ]; then
      echo "$line"
      return 0
    fi
    [ "$attempt" = 1 ] && echo "NOTE   no window from wine $*; starting it again" >&2
  done
  echo "no window from wine $* within $TIMEOUT s:" >&2
  tail -n 20 "$LOG" >&2
  exit 2
}

echo "Display $DISPLAY (Xvfb 1024x768, 96 DPI), $(nproc) logical processors; load: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$(wine --version 2>/dev/null | head -n 1), prefix $WINEPREFIX, programs in $PROGRAM"

# One run of each that counts for nothing: it fills the file cache, brings up
# Wine's services, and tells the size of the main window for the empty one.
line="$(run_once zentaro.exe)"
read -r _ _ _ SIZE _ <<<"$line"
run_once barewindow.exe "$SIZE" >/dev/null
echo "Window size $SIZE; $RUNS runs each, alternating; memory ${SETTLE} s after the window"

: >"$WORK/zentaro"
: >"$WORK/bare"
for i in $(seq "$RUNS"); do
  line="$(run_once zentaro.exe)"
  echo "$line" >>"$WORK/zentaro"
  read -r zms _ _ _ zkib _ zcount _ <<<"$line"
  line="$(run_once barewindow.exe "$SIZE")"
  echo "$line" >>"$WORK/bare"
  read -r bms _ _ _ bkib _ bcount _ <<<"$line"
  printf '  run %2d: zentaro.exe %8.1f ms %7.1f MiB (%d process) | barewindow.exe %8.1f ms %7.1f MiB (%d process)\n' \
    "$i" "$zms" "$(awk -v k="$zkib" 'BEGIN { print k / 1024 }')" "$zcount" \
    "$bms" "$(awk -v k="$bkib" 'BEGIN { print k / 1024 }')" "$bcount"
done

column_stats() { cut -d' ' -f"$2" "$1" | stats; }
read -r ZS_MED ZS_MIN ZS_MAX < <(column_stats "$WORK/zentaro" 1)
read -r BS_MED BS_MIN BS_MAX < <(column_stats "$WORK/bare" 1)
read -r ZR_MED ZR_MIN ZR_MAX < <(column_stats "$WORK/zentaro" 5)
read -r BR_MED BR_MIN BR_MAX < <(column_stats "$WORK/bare" 5)
read -r ZA_MED _ _ < <(column_stats "$WORK/zentaro" 8)
read -r BA_MED _ _ < <(column_stats "$WORK/bare" 8)
read -r ZW_MED _ _ < <(column_stats "$WORK/zentaro" 6)
read -r BW_MED _ _ < <(column_stats "$WORK/bare" 6)

awk -v zs="$ZS_MED" -v zsl="$ZS_MIN" -v zsh="$ZS_MAX" \
  -v bs="$BS_MED" -v bsl="$BS_MIN" -v bsh="$BS_MAX" \
  -v zr="$ZR_MED" -v zrl="$ZR_MIN" -v zrh="$ZR_MAX" \
  -v br="$BR_MED" -v brl="$BR_MIN" -v brh="$BR_MAX" \
  -v za="$ZA_MED" -v ba="$BA_MED" -v zw="$ZW_MED" -v bw="$BW_MED" '
BEGIN {
  printf "\n%-30s %24s %24s %8s\n", "median [min-max]", "zentaro.exe", "barewindow.exe", "ratio"
  printf "%-30s %8.1f [%6.1f-%6.1f] %8.1f [%6.1f-%6.1f] %8.2f\n", "first window, ms",
         zs, zsl, zsh, bs, bsl, bsh, zs / bs
  printf "%-30s %8.1f [%6.1f-%6.1f] %8.1f [%6.1f-%6.1f] %8.2f\n", "resident memory, MiB",
         zr / 1024, zrl / 1024, zrh / 1024, br / 1024, brl / 1024, brh / 1024, zr / br
  printf "%-30s %24.1f %24.1f %8.2f\n", "  not backed by files, MiB", za / 1024, ba / 1024, za / ba
  printf "%-30s %24.1f %24.1f\n", "Wine'"'"'s own processes, MiB", zw / 1024, bw / 1024
  printf "(Under Wine, for information; the first window counts Wine'"'"'s start of each process,\n"
  printf " not the wineserver'"'"'s; resident memory includes the shared DLL pages mapped.)\n"
}'
