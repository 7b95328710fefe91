#!/usr/bin/env bash
# The Windows build, tested under Wine.
#
#   scripts/test-windows.sh
#
# Installs what is missing (the MinGW-w64 cross compiler, Wine, jq, an X
# server and its tools), builds the engine, the platform layer, the machine
# facts, the version information, zentaro-cli.exe and, with Qt for Windows
# (scripts/build-qt-windows.sh), the window program zentaro.exe for 64-bit
# Windows into build-windows/ (CMake preset "windows"), and a Linux twin of
# the programs without Qt into build-windows/linux-twin/. Then, in a Wine prefix of its own in a temporary
# folder (never the user's), with the registry fixtures imported:
#   - the Windows test programs through CTest;
#   - what every loop stores, for a table of counts, the same on both builds;
#   - zentaro-cli.exe: --json valid and with the Linux build's "results" for
#     every workload, --info with the facts Wine reports, the version
#     information read through the system's API and the same as on Linux,
#     arguments and paths beyond the ANSI code page, the exit statuses, the
#     physical cores as the Linux build counts them; 200 runs beside two busy
#     loops, none of them failing, hanging or started again;
#   - the compiled loops: no vector instructions, a real branch in the branch
#     loop.
#   - the window program, installed into a folder of its own and started on an
#     X server of its own (scripts/wine-window-checks.sh).
# Last it prints the loops' timings of both builds, for information only.
# Every Wine call has a time limit. Exit status 0 when everything passed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-checks.sh"

ZENTARO_PACKAGES=(
  build-essential cmake ninja-build pkg-config libicu-dev nlohmann-json3-dev jq
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 wine
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev xvfb xdotool imagemagick x11-utils
)
zentaro_install_deps

root="$ZENTARO_ROOT"
windows="$root/build-windows"
twin="$windows/linux-twin"
objdump=x86_64-w64-mingw32-objdump
jobs="$(nproc)"

echo "== Building for Windows into $windows"
# With the windows when Qt for Windows is built, without them otherwise.
with_qt=OFF
"$root/scripts/build-qt-windows.sh" --print >/dev/null 2>&1 && with_qt=ON
(cd "$root" && cmake --preset windows -DZENTARO_QT="$with_qt" >/dev/null)
cmake --build "$windows" --parallel "$jobs"

echo "== Building the Linux twin into $twin"
cmake -S "$root" -B "$twin" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZENTARO_QT=OFF -DZENTARO_BUILD_BENCH=ON >/dev/null
cmake --build "$twin" --parallel "$jobs" \
  --target zentaro-cli workload_table version_strings loop_timings

# A private prefix; Wine's own start-up asks for nothing and shows nothing.
scratch="$(mktemp -d)"
export WINEPREFIX="$scratch/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=""
# The arguments Wine hands on are read as UTF-8; the display language is English.
export LC_ALL=C.UTF-8
cleanup() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# A Windows program, with a time limit; its output with CR LF turned into LF,
# its error output passed on, its exit status returned. Now and then Wine loses
# a process here (about one start in 300): it hangs with the program's worker
# threads gone, dies of a signal, or ends with status 1 before anything is
# written. Such a start is made once more, and says so. For zentaro-cli.exe it
# is also a failure: the program must end on its own, whatever its threads do.
win() {
  local out err status attempt
  out="$(mktemp -p "$scratch")"
  err="$(mktemp -p "$scratch")"
  for attempt in 1 2; do
    status=0
    timeout 60 wine "$@" >"$out" 2>"$err" || status=$?
    if [ "$attempt" = 1 ] && { [ "$status" -eq 124 ] || [ "$status" -gt 128 ] ||
      { [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; }; }; then
      if [ "${1##*/}" = zentaro-cli.exe ]; then
        # Counted at the end: this may run in a subshell.
        echo "zentaro-cli.exe ${*:2}: hung or lost (status $status, $(wc -c <"$out") bytes" \
          "written); started again" | tee -a "$scratch/cli-lost" >&2
      else
        echo "NOTE   Wine lost ${1##*/} $2 (status $status, nothing written); starting it again" >&2
      fi
      continue
    fi
    break
  done
  tr -d '\r' <"$out"
  tr -d '\r' <"$err" >&2
  rm -f "$out" "$err"
  return "$status"
}

json() { jq -e "$@" >/dev/null; } # a JSON file meets a condition

echo "== Preparing the Wine prefix in $WINEPREFIX"
timeout 300 wine wineboot --init >/dev/null 2>&1
# A version 5 registry file is UTF-16 with a byte-order mark.
fixtures="$scratch/registry-fixtures.reg"
{ printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE "$root/tests/plain/data/registry-fixtures.reg"; } \
  >"$fixtures"
timeout 60 wine reg import "$(winpath "$fixtures")" >/dev/null 2>&1

# What Wine put into the first processor's key (from the processor itself).
processor_key='HKLM\HARDWARE\DESCRIPTION\System\CentralProcessor\0'
processor_values="$(win reg query "$processor_key")"
reg_value() { reg_field "$1" <<<"$processor_values"; }
cpu_name="$(reg_value ProcessorNameString)"
base_mhz="$(( $(reg_value '~MHz') ))"
hypervisor=0
grep -qw hypervisor /proc/cpuinfo && hypervisor=1

# The physical cores as the Linux build counts them on this machine.
physical_cores="$("$twin/zentaro-cli" --info --json | jq -r .machine.physical_cores)"

echo "== Windows test programs (CTest under Wine)"
expect "test programs" env ZENTARO_EXPECT_CPU_NAME="$cpu_name" ZENTARO_EXPECT_PROCESSORS="$(nproc)" \
  ZENTARO_EXPECT_PHYSICAL_CORES="$physical_cores" \
  ZENTARO_EXPECT_HYPERVISOR="$hypervisor" ZENTARO_EXPECT_LANGID=1033 \
  ctest --test-dir "$windows" --output-on-failure --repeat after-timeout:2
# The display language follows the user's: German (Germany) is 1031.
display_language_de() {
  LC_ALL=de_DE.UTF-8 ZENTARO_EXPECT_LANGID=1031 win "$windows/tests/test_platform_windows.exe" \
    display_language
}
expect "display language follows the user's" display_language_de

echo "== Workload values, both builds"
"$twin/tests/workload_table" >"$scratch/table-linux.txt"
win "$windows/tests/workload_table.exe" >"$scratch/table-windows.txt"
expect "every loop stores the same values ($(wc -l <"$scratch/table-linux.txt") rows)" \
  diff -u "$scratch/table-linux.txt" "$scratch/table-windows.txt"

echo "== zentaro-cli.exe --json at 12345 operations, every workload"
cli="$windows/zentaro-cli.exe"
runs='[.runs[] | {mode, test_type, operations, threads, results}]'
for type in default "integer arithmetic" "floating point arithmetic" trigonometric \
  "branch prediction and control" "bitwise logic"; do
  status=0
  win "$cli" --type "$type" --operations 12345 --json >"$scratch/cli-windows.json" \
    2>"$scratch/cli-windows.err" || status=$?
  if [ "$status" = 0 ] && jq -e . "$scratch/cli-windows.json" >/dev/null; then
    "$twin/zentaro-cli" --type "$type" --operations 12345 --json >"$scratch/cli-linux.json"
    w="$(jq -c "$runs" "$scratch/cli-windows.json")"
    l="$(jq -c "$runs" "$scratch/cli-linux.json")"
    if [ "$w" = "$l" ]; then
      pass "$type: $(jq -c '[.runs[].results[0]] | unique' "$scratch/cli-windows.json")"
    else
      fail "$type: Windows $w, Linux $l"
    fi
  else
    fail "$type: exit status $status, no valid JSON"
    head -c 2000 "$scratch/cli-windows.json" "$scratch/cli-windows.err"
  fi
done

echo "== zentaro-cli.exe --info"
win "$cli" --info --json >"$scratch/info.json"
expect "processor name as Wine's registry has it: $cpu_name" \
  json --arg v "$cpu_name" '.machine.cpu_name == $v' "$scratch/info.json"
expect "base speed from the registry: $base_mhz MHz" \
  json --arg v "$base_mhz MHz" '.machine.base_speed == $v' "$scratch/info.json"
expect "architecture x64, $(nproc) threads" \
  json --argjson n "$(nproc)" '.machine.architecture == "x64" and .machine.threads == $n' \
  "$scratch/info.json"
expect "current speed from WMI: $(jq -r .machine.current_speed "$scratch/info.json")" \
  json '.machine.current_speed | test("^[0-9]+ MHz$")' "$scratch/info.json"
expect "physical cores as the Linux build counts them: $physical_cores" \
  json --argjson n "$physical_cores" '.machine.physical_cores == $n' "$scratch/info.json"
win "$cli" --info >"$scratch/info.txt"
expect "plain --info shows the same facts" grep -qxF "CPU Name: $cpu_name" "$scratch/info.txt"

echo "== Version information through the system's API"
"$twin/tests/version_strings" "$twin/zentaro-cli" >"$scratch/version-linux.txt"
win "$windows/tests/version_strings.exe" "$(winpath "$cli")" >"$scratch/version-windows.txt"
# The file names differ by the suffix, and only they.
expect "the Windows resource holds the Linux build's identity" \
  diff -u <(grep -v '^OriginalFileName=' "$scratch/version-linux.txt") \
  <(grep -v '^OriginalFileName=' "$scratch/version-windows.txt")
expect "original file name zentaro-cli.exe" \
  grep -qx 'OriginalFileName=zentaro-cli.exe' "$scratch/version-windows.txt"
version="$(win "$cli" --version)"
expect "--version: $version" test "$version" = "$("$twin/zentaro-cli" --version)"

echo "== Arguments, paths and exit statuses"
earlier="$scratch/résultat 日本.json"
"$twin/zentaro-cli" --single --operations 20000000 --json >"$earlier"
compares_with_wide_name() {
  win "$cli" --single --operations 20000000 --quiet --compare "$(winpath "$earlier")" |
    grep -q '^Compared with .*résultat 日本\.json'
}
expect "--compare with a file name beyond the ANSI code page" compares_with_wide_name
status=0
message="$(win "$cli" --compare "$(winpath "$scratch/missing.json")" 2>&1 >/dev/null)" || status=$?
expect "a missing --compare file: exit 2, \"$message\"" \
  test "$status" = 2 -a -n "$(grep -F 'No such file or directory' <<<"$message")"
status=0
win "$cli" --length 0 >/dev/null 2>&1 || status=$?
expect "bad arguments: exit 2" test "$status" = 2

soak_runs=200
echo "== zentaro-cli.exe under load: $soak_runs --json runs beside two busy loops"
# Single- and multi-core runs in turn, each started once: a run that hangs,
# dies or fails is a failure, not a start to be made again.
soak() {
  local i mode status failures=0 busy=() started="$SECONDS"
  for i in 1 2; do
    (while :; do :; done) &
    busy+=("$!")
  done
  for ((i = 1; i <= soak_runs; i++)); do
    mode=--single
    [ $((i % 2)) = 0 ] && mode=--multi
    status=0
    timeout 60 wine "$cli" --type "integer arithmetic" --operations 12345 --json "$mode" \
      >"$scratch/soak.json" 2>"$scratch/soak.err" || status=$?
    if [ "$status" != 0 ] || ! tr -d '\r' <"$scratch/soak.json" | jq -e \
      '.runs | length == 1 and all(.status == "completed" or .status == "too_short")' >/dev/null 2>&1; then
      failures=$((failures + 1))
      echo "       run $i ($mode): exit status $status, $(wc -c <"$scratch/soak.json") bytes," \
        "$(tr -d '\r' <"$scratch/soak.err" | head -c 300)"
    fi
  done
  kill "${busy[@]}"
  wait "${busy[@]}" 2>/dev/null || true
  echo "       $soak_runs runs in $((SECONDS - started)) s, $failures failed"
  [ "$failures" = 0 ]
}
expect "no run failed, hung or died" soak

echo "== The loops as compiled for Windows"
engine="$(find "$windows/src/engine" -name 'workloads.cpp.obj' | head -n 1)"
loop_code() { # the disassembly of one loop function, found by its name
  local symbol
  symbol="$(x86_64-w64-mingw32-nm "$engine" | awk -v f="$1" '$2 == "t" && $3 ~ f {print $3}')"
  [ -n "$symbol" ] || return 0
  "$objdump" -d --no-show-raw-insn --disassemble="$symbol" "$engine" | sed -n '/>:$/,$p' |
    grep -Ev 'xor[a-z]* +(%[xy]mm[0-9]+),\1$' # zeroing a register is no vector work
}
# Packed arithmetic on several lanes at once, in SSE or AVX spelling.
vector_ops='\s(v?(add|sub|mul|div|sqrt|min|max|and|or|xor)p[sd]|v?p(add|sub|mul|sll|srl|xor|or|and)[bwdq]?|vfmadd)'
for loop in DefaultChunk IntegerChunk FloatingPointChunk TrigonometricChunk BranchChunk BitwiseChunk; do
  code="$(loop_code "$loop")"
  if [ -z "$code" ]; then
    fail "$loop: not found in $engine"
  elif grep -Eq "$vector_ops" <<<"$code"; then
    fail "$loop: vector instructions"
  elif ! grep -Eq '\sj(ne|nz)\s' <<<"$code"; then
    fail "$loop: no loop branch"
  else
    pass "$loop: scalar loop ($(grep -cE '^\s+[0-9a-f]+:' <<<"$code") instructions)"
  fi
done
branches_on_low_bit() {
  local code
  code="$(loop_code BranchChunk)"
  grep -Eq 'test +\$0x1,' <<<"$code" && grep -Eq '\sj(e|ne|z|nz)\s' <<<"$code" &&
    ! grep -Eq '\scmov' <<<"$code"
}
expect "BranchChunk: a conditional branch on the low bit, no conditional move" branches_on_low_bit

echo "== Loop timings (information only): median of 5, Linux twin then Windows under Wine"
"$twin/bench/loop_timings" --repetitions 5 || true
win "$windows/bench/loop_timings.exe" --repetitions 5 || true

# Every start of zentaro-cli.exe that had to be made again.
if [ -s "$scratch/cli-lost" ]; then
  while read -r line; do fail "$line"; done <"$scratch/cli-lost"
fi

# The window program, when Qt for Windows is built (scripts/build-qt-windows.sh).
if grep -q '^ZENTARO_QT:BOOL=ON' "$windows/CMakeCache.txt"; then
  source "$root/scripts/wine-window-checks.sh"
else
  fail "no window program: Qt for Windows is not built (run scripts/build-qt-windows.sh)"
fi

echo
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
