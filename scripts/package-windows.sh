#!/usr/bin/env bash
# Makes the Windows installer dist/zentaro-<version>-setup.exe with NSIS from a
# staged installation, and tests it under Wine.
#
#   scripts/package-windows.sh [--check] [--icon FILE] [STAGE]
#
# STAGE is the folder `cmake --install build-windows --prefix STAGE` filled
# (build-windows/stage when not given): the installer holds exactly its files
# and folders, each by name, and the uninstaller removes exactly those. The
# version comes from the installer's script, which CMake writes into
# build-windows/packaging/windows/ (this script configures the preset
# "windows" for it). --icon gives the program's icon for the installer and the
# uninstaller; without it, a zentaro.ico the Windows build made is taken, and
# NSIS's own icon when there is none.
#
# With --check, in a Wine prefix of its own in a temporary folder (never the
# user's), it also:
#   - reads the installer's version information through the system's API;
#   - makes sure neither the installer nor the uninstaller goes ahead while the
#     window program runs (a stand-in holds its mutex);
#   - installs an earlier version with odd file names (blanks, "$", quotes,
#     letters beyond ASCII, an empty folder), then this one over it: the
#     earlier files go, a file of the user's stays;
#   - checks the silent installation: every staged file, the same bytes, in
#     C:\Program Files\KESTRIX\Zentaro, the uninstall entry in the 64-bit
#     registry with its values, the Start-menu shortcut, zentaro-cli.exe
#     --version, and zentaro.exe showing its window on an X server of its own;
#   - uninstalls silently, as the system would, with a restart script and the
#     user's settings planted: nothing installed is left, the settings are.
# Every Wine call has a time limit. Exit status 0 when everything passed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
source "$(dirname "${BASH_SOURCE[0]}")/wine-checks.sh"

usage() { echo "usage: $0 [--check] [--icon FILE] [STAGE]" >&2; exit 2; }
check=0
icon=""
stage=""
while [ $# -gt 0 ]; do
  case "$1" in
    --check) check=1 ;;
    --icon) [ $# -ge 2 ] || usage; icon="$2"; shift ;;
    -*) usage ;;
    *) [ -z "$stage" ] || usage; stage="$1" ;;
  esac
  shift
done

# The configure step needs the cross compiler, and making the uninstaller
# needs Wine; --check needs the icon tools to read the installer's icon back.
ZENTARO_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 nsis
  wine64 wine)
if [ "$check" = 1 ]; then
  ZENTARO_PACKAGES+=(icoutils xvfb xdotool)
fi
zentaro_install_deps

root="$ZENTARO_ROOT"
windows="$root/build-windows"
stage="${stage:-$windows/stage}"
if [ ! -d "$stage" ]; then
  echo "No staged folder $stage; make one with" >&2
  echo "  cmake --install build-windows --prefix build-windows/stage" >&2
  exit 2
fi
stage="$(cd "$stage" && pwd)"
if [ -n "$icon" ]; then
  [ -f "$icon" ] || { echo "No icon file $icon" >&2; exit 2; }
  icon="$(cd "$(dirname "$icon")" && pwd)/$(basename "$icon")"
fi

(cd "$root" && cmake --preset windows >/dev/null)
nsi="$windows/packaging/windows/zentaro.nsi"
version="$(sed -n 's/^!define ZENTARO_VERSION "\(.*\)"$/\1/p' "$nsi")"
[ -n "$version" ] || { echo "No version in $nsi" >&2; exit 1; }
if [ -z "$icon" ]; then
  icon="$(find "$windows" -name zentaro.ico -type f -print -quit)"
fi
# The picture beside the finish page, drawn by the Windows build.
finish_bitmap="$(find "$windows" -name zentaro-finish.bmp -type f -print -quit)"
if [ -z "$finish_bitmap" ] && [ -f "$stage/zentaro.exe" ]; then
  echo "No zentaro-finish.bmp in $windows: build the Windows program there first" >&2
  exit 2
fi

scratch="$(mktemp -d)"
cleanup() {
  if [ -n "${WINEPREFIX:-}" ]; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# --- The file lists, from the staged folder.

# Why a staged path cannot be installed as it is; nothing when it can.
refusal() { # refusal RELATIVE-PATH
  local rel="$1" name lower parts
  case "$rel" in
    *[[:cntrl:]'<>:"\|?*']*) echo "a character Windows does not allow in a name"; return ;;
  esac
  IFS=/ read -r -a parts <<<"$rel"
  for name in "${parts[@]}"; do
    lower="$(LC_ALL=C.UTF-8 sed 's/.*/\L&/' <<<"$name")"
    if [[ "$name" == *[.\ ] ]]; then
      echo "a name ending in a dot or a blank, which Windows drops"
    elif [[ "$lower" =~ ^(con|prn|aux|nul|com[1-9]|lpt[1-9])(\..*)?$ ]]; then
      echo "a device name of Windows"
    elif [[ "$name" == *'${'* ]]; then
      # makensis would read it as one of its own names.
      echo "\"\${\" in a name"
    else
      continue
    fi
    return
  done
}

# write_file_lists STAGE INCLUDE: the NSIS macros ZentaroInstallFiles and
# ZentaroRemoveFiles for every file and folder of STAGE, by name, and the
# defines the installer's script reads. Exit status 1, with the reasons, when
# the folder cannot be installed as it is.
write_file_lists() {
  local from="$1" out="$2" rel reason problems=() dirs=() files=()
  if [[ "$from" == *[\"$]* ]]; then
    echo "$from: the staged folder's path may hold no \" or \$" >&2
    return 1
  fi
  while IFS= read -r -d '' rel; do
    if [ -L "$from/$rel" ] || { [ ! -f "$from/$rel" ] && [ ! -d "$from/$rel" ]; }; then
      problems+=("$rel: a link or a special file, not a plain file or folder")
    elif reason="$(refusal "$rel")" && [ -n "$reason" ]; then
      problems+=("$rel: $reason")
    elif [ -d "$from/$rel" ]; then
      dirs+=("$rel")
    else
      files+=("$rel")
    fi
  done < <(find "$from" -mindepth 1 -printf '%P\0' | LC_ALL=C sort -z)
  # Windows does not tell upper from lower case: two such names are one file.
  local -A spelled=()
  local lower
  for rel in "${dirs[@]}" "${files[@]}"; do
    lower="$(LC_ALL=C.UTF-8 sed 's/.*/\L&/' <<<"$rel")"
    if [ -n "${spelled[$lower]:-}" ]; then
      problems+=("$rel: one name with ${spelled[$lower]} to Windows, which does not tell upper from lower case")
    fi
    spelled[$lower]="$rel"
    # The installer's own names in the program's folder.
    case "$lower" in
      "uninstall zentaro.exe" | start.bat)
        problems+=("$rel: the uninstaller's name, or the program's restart script's") ;;
    esac
  done
  if [ ! -f "$from/zentaro.exe" ] && [ ! -f "$from/zentaro-cli.exe" ]; then
    problems+=("neither zentaro.exe nor zentaro-cli.exe at the top (the installation is one flat folder)")
  fi
  if [ ${#problems[@]} -gt 0 ]; then
    echo "$from cannot be installed as it is:" >&2
    printf '  %s\n' "${problems[@]}" >&2
    return 1
  fi

  # A path in the installed program's folder, in a string NSIS reads at run
  # time ("$" is doubled); the source path in File is read as it is.
  target() {
    local p="${1//\$/\$\$}"
    p="${p//\//\\}"
    printf '$INSTDIR%s' "${p:+\\$p}"
  }
  local bytes=0 size dir parent
  for rel in "${files[@]}"; do
    size="$(stat -c %s "$from/$rel")"
    bytes=$((bytes + size))
  done
  {
    echo "; Written by scripts/package-windows.sh from $from"
    if [ -f "$from/zentaro.exe" ]; then
      echo "!define ZENTARO_HAS_WINDOW_PROGRAM"
    fi
    echo "!define ZENTARO_INSTALLED_KIB $(((bytes + 1023) / 1024))"
    echo "!macro ZentaroInstallFiles"
    # Every folder by name, the empty ones too, each with its files.
    for dir in "" "${dirs[@]}"; do
      echo "  SetOutPath \"$(target "$dir")\""
      for rel in "${files[@]}"; do
        parent="${rel%/*}"
        [ "$parent" != "$rel" ] || parent=""
        if [ "$parent" = "$dir" ]; then
          echo "  File \"$from/$rel\""
        fi
      done
    done
    echo "!macroend"
    echo "!macro ZentaroRemoveFiles"
    for rel in "${files[@]}"; do
      echo "  Delete \"$(target "$rel")\""
    done
    # The deepest first; a folder that still holds something stays.
    for ((i = ${#dirs[@]} - 1; i >= 0; i--)); do
      echo "  RMDir \"$(target "${dirs[i]}")\""
    done
    echo "!macroend"
  } >"$out"
}

# make_installer STAGE OUTFILE: the installer of STAGE's files, in two passes:
# a writer of the uninstaller (with the uninstaller's own version information),
# run under Wine, then the installer that carries what it wrote.
make_installer() {
  local from="$1" outfile="$2" lists license
  lists="$(mktemp -p "$scratch" files-XXXXXX.nsh)"
  write_file_lists "$from" "$lists"
  local defines=("-DZENTARO_FILES=$lists")
  if [ -f "$from/license.txt" ]; then
    # The licence page shows the text as it is: it wants CR LF.
    license="$(mktemp -p "$scratch" license-XXXXXX.txt)"
    sed 's/\r$//; s/$/\r/' "$from/license.txt" >"$license"
    defines+=("-DZENTARO_LICENSE=$license")
  fi
  [ -z "$icon" ] || defines+=("-DZENTARO_ICON=$icon")
  [ -z "$finish_bitmap" ] || defines+=("-DZENTARO_FINISH_BITMAP=$finish_bitmap")
  local writer
  writer="$(mktemp -d -p "$scratch" uninstaller-XXXXXX)"
  makensis -INPUTCHARSET UTF8 -V2 "${defines[@]}" -DZENTARO_MAKE_UNINSTALLER \
    "-DZENTARO_OUTFILE=$writer/writer.exe" "$nsi"
  timeout 120 wine "$writer/writer.exe" >/dev/null 2>&1 || true
  if [ ! -f "$writer/Uninstall Zentaro.exe" ]; then
    echo "the uninstaller's writer wrote no uninstaller under Wine" >&2
    return 1
  fi
  makensis -INPUTCHARSET UTF8 -V2 "${defines[@]}" "-DZENTARO_OUTFILE=$outfile" \
    "-DZENTARO_UNINSTALLER_FILE=$writer/Uninstall Zentaro.exe" "$nsi"
}

# A private prefix; Wine's own start-up asks for nothing and shows nothing, and
# its menu builder, which would turn the Start-menu shortcut into a desktop
# entry in the user's home, is off.
export WINEPREFIX="$scratch/prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" DISPLAY=""
export LC_ALL=C.UTF-8
echo "== Preparing the Wine prefix in $WINEPREFIX"
timeout 300 wine wineboot --init >/dev/null 2>&1

mkdir -p "$root/dist"
setup="$root/dist/zentaro-$version-setup.exe"
rm -f "$setup"
make_installer "$stage" "$setup"
echo "Built $setup ($(stat -c %s "$setup") bytes, $(du -h --apparent-size "$setup" | cut -f1)) from $stage"
[ -z "$icon" ] || echo "Icon: $icon"
# Debugging information is most of an unstripped program's size.
while IFS= read -r -d '' binary; do
  sections="$(x86_64-w64-mingw32-objdump -h "$binary" 2>/dev/null || true)"
  if grep -q '\.debug_info' <<<"$sections"; then
    echo "NOTE   ${binary#"$stage"/} carries debugging information (cmake --install --strip leaves it out)"
  fi
done < <(find "$stage" -type f \( -iname '*.exe' -o -iname '*.dll' \) -print0)
[ "$check" = 1 ] || exit 0

# --- Tested under Wine.

# A Windows program with a time limit, its output with CR LF turned into LF, its
# exit status returned. Wine now and then loses a process (it hangs or dies of a
# signal): such a start, and only such a one, is made once more, and says so.
win() {
  local out status attempt
  out="$(mktemp -p "$scratch")"
  for attempt in 1 2; do
    status=0
    timeout 120 wine "$@" >"$out" || status=$?
    if [ "$attempt" = 1 ] && { [ "$status" -eq 124 ] || [ "$status" -gt 128 ]; }; then
      echo "NOTE   Wine lost ${1##*[\\/]} (status $status); starting it again" >&2
      continue
    fi
    break
  done
  tr -d '\r' <"$out"
  rm -f "$out"
  return "$status"
}


drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/KESTRIX/Zentaro"
installed_win='C:\Program Files\KESTRIX\Zentaro'
uninstaller="$installed/Uninstall Zentaro.exe"
shortcut="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zentaro.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\KESTRIX Zentaro'
settings='HKCU\Software\KESTRIX\Zentaro\Settings'

echo "== Staged folders that cannot be installed as they are"
bad="$scratch/bad-stage"
mkdir -p "$bad/Languages"
touch "$bad/zentaro-cli.exe" "$bad/a:b.txt" "$bad/CON.txt" "$bad/trailing." \
  "$bad/Languages/Mixed.txt" "$bad/Languages/mixed.TXT" "$bad/START.BAT"
ln -s zentaro-cli.exe "$bad/link.exe"
status=0
reasons="$(write_file_lists "$bad" "$scratch/bad.nsh" 2>&1)" || status=$?
refused_by_name() { # refused_by_name NAME...: each reported, and zentaro-cli.exe not
  local rel
  test "$status" = 1 || return 1
  for rel in "$@"; do
    grep -qF "  $rel: " <<<"$reasons" || { echo "not reported: $rel" >&2; return 1; }
  done
  ! grep -qF "  zentaro-cli.exe: " <<<"$reasons"
}
expect "refused, with every name Windows cannot take (status $status)" \
  refused_by_name a:b.txt CON.txt trailing. Languages/mixed.TXT START.BAT link.exe
mkdir -p "$scratch/prefixed-stage/bin"
touch "$scratch/prefixed-stage/bin/zentaro-cli.exe"
status=0
reasons="$(write_file_lists "$scratch/prefixed-stage" "$scratch/bad.nsh" 2>&1)" || status=$?
refused_for_layout() { test "$status" = 1 && grep -q "neither zentaro.exe nor zentaro-cli.exe" <<<"$reasons"; }
expect "refused: a folder with the programs under bin/ (status $status)" refused_for_layout

echo "== The installer's version information"
cmake --build "$windows" --target version_strings >/dev/null
win "$windows/tests/version_strings.exe" "$(winpath "$setup")" >"$scratch/setup-version.txt" || true
for line in "ProductName=Zentaro" "CompanyName=KESTRIX" "ProductVersion=$version" \
  "FileVersion=$version" "LegalCopyright=Copyright © 2025 KESTRIX" \
  "OriginalFileName=zentaro-$version-setup.exe" "FileDescription=Zentaro Setup"; do
  expect "$line" grep -qxF "$line" "$scratch/setup-version.txt"
done

# The icon resource read back has the icon file's images (NSIS orders and pads
# them its own way, so the files themselves differ).
same_icon() { # same_icon EXE
  local given="$scratch/icon-given" read="$scratch/icon-read"
  rm -rf "$given" "$read"
  mkdir -p "$given" "$read"
  cp "$icon" "$given/icon.ico"
  wrestool -x -t 14 "$1" >"$read/icon.ico" 2>/dev/null || return 1
  (cd "$given" && icotool -x icon.ico && rm icon.ico) &&
    (cd "$read" && icotool -x icon.ico && rm icon.ico) && diff -r "$given" "$read" >/dev/null
}
if [ -n "$icon" ]; then
  expect "the installer carries $(basename "$icon")" same_icon "$setup"
fi

# Two helpers, made with NSIS too. holder.exe stands in for the running window
# program: it holds the program's mutex while run.flag exists (a minute at
# most), after writing ready.flag. run.exe runs the command line in
# command.txt as it is and ends with its exit status: Wine would quote an
# argument with blanks, and the uninstaller takes "_?=" only unquoted.
holder="$scratch/helpers"
mkdir -p "$holder"
cat >"$holder/holder.nsi" <<'EOF'
Unicode true
Target amd64-unicode
OutFile "holder.exe"
SilentInstall silent
RequestExecutionLevel user
Section
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "KESTRIX_Zentaro") p .r0'
  FileOpen $1 "$EXEDIR\ready.flag" w
  FileClose $1
  StrCpy $2 0
  loop:
    IfFileExists "$EXEDIR\run.flag" 0 done
    Sleep 100
    IntOp $2 $2 + 1
    IntCmp $2 600 done loop done
  done:
SectionEnd
EOF
cat >"$holder/run.nsi" <<'EOF'
Unicode true
Target amd64-unicode
OutFile "run.exe"
SilentInstall silent
RequestExecutionLevel user
Section
  FileOpen $0 "$EXEDIR\command.txt" r
  FileRead $0 $1
  FileClose $0
  ClearErrors
  ExecWait $1 $2
  IfErrors 0 +2
    StrCpy $2 255
  SetErrorLevel $2
SectionEnd
EOF
(cd "$holder" && makensis -V2 holder.nsi && makensis -V2 run.nsi)
run_command_line() { # run_command_line LINE: exit status of the Windows command line
  printf '%s' "$1" >"$holder/command.txt"
  win "$holder/run.exe"
}
holder_pid=""
start_holder() {
  rm -f "$holder/ready.flag"
  touch "$holder/run.flag"
  timeout 90 wine "$holder/holder.exe" &
  holder_pid=$!
  local deadline=$((SECONDS + 60))
  while [ ! -f "$holder/ready.flag" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.2; done
  [ -f "$holder/ready.flag" ]
}
stop_holder() {
  rm -f "$holder/run.flag"
  wait "$holder_pid" || true
}

echo "== Where it does not install"
# Wine 8 plays Windows 7 unless told otherwise.
status=0
win "$setup" /S || status=$?
expect "on Windows 7 the installer stops with status 2 (it ended with $status), installs nothing" \
  test "$status" = 2 -a ! -e "$installed"
timeout 60 wine winecfg -v win10
windows_version="$(win cmd /c ver | sed '/^$/d')"
expect "the prefix plays Windows 10 now: $windows_version" grep -q ' 10\.' <<<"$windows_version"
if start_holder; then
  status=0
  win "$setup" /S || status=$?
  expect "the installer stops with status 2 (it ended with $status) and installs nothing" \
    test "$status" = 2 -a ! -e "$installed"
  stop_holder
else
  fail "the stand-in for the running program did not start"
fi

echo "== An earlier version with odd names, then this one over it"
older="$scratch/older-stage"
cp -a "$stage" "$older"
odd_names=("Languages/Ünïcode \$INSTDIR 日本.lang.txt" "it's a \`quoted\` (1) & 100%.txt"
  "Old Plugins/deep/a b/\$1.dll")
for rel in "${odd_names[@]}"; do
  mkdir -p "$older/$(dirname "$rel")"
  printf 'earlier version: %s\n' "$rel" >"$older/$rel"
done
mkdir -p "$older/Old Plugins/empty folder"
make_installer "$older" "$scratch/older-setup.exe"
status=0
win "$scratch/older-setup.exe" /S || status=$?
expect "the earlier version installs (status $status)" test "$status" = 0
expect "every file and folder of the earlier version, odd names too, installed as staged" \
  diff -r --exclude="Uninstall Zentaro.exe" "$older" "$installed"
# A file of the user's in a folder of the program's.
[ ! -d "$installed/Languages" ] || echo "the user's own" >"$installed/Languages/Mine.lang.txt"

status=0
win "$setup" /S || status=$?
expect "this version installs over it (status $status)" test "$status" = 0
expect "the user's file stays" test -f "$installed/Languages/Mine.lang.txt"
rm -f "$installed/Languages/Mine.lang.txt"
earlier_left=()
for rel in "${odd_names[@]}" "Old Plugins"; do
  [ ! -e "$installed/$rel" ] || earlier_left+=("$rel")
done
expect "the earlier version's own files and folders are gone${earlier_left[*]:+: ${earlier_left[*]}}" \
  test ${#earlier_left[@]} = 0

echo "== The installation"
expect "every staged file and folder, the same bytes, in $installed_win ($(find "$stage" -type f | wc -l) files)" \
  diff -r --exclude="Uninstall Zentaro.exe" "$stage" "$installed"
expect "the uninstaller" test -f "$uninstaller"
# The uninstaller speaks of itself, not of the setup file that brought it.
win "$windows/tests/version_strings.exe" "$(winpath "$uninstaller")" >"$scratch/uninstaller-version.txt" || true
for line in "FileDescription=Zentaro Uninstaller" "OriginalFileName=Uninstall Zentaro.exe" \
  "ProductName=Zentaro" "ProductVersion=$version"; do
  expect "uninstaller: $line" grep -qxF "$line" "$scratch/uninstaller-version.txt"
done
if [ -n "$icon" ]; then
  expect "the uninstaller carries the icon" same_icon "$uninstaller"
fi

entry="$(win reg query "$key" /reg:64 || true)"
reg_value() { reg_field "$1" <<<"$entry"; }
if [ -f "$stage/zentaro.exe" ]; then icon_file="zentaro.exe"; else icon_file="Uninstall Zentaro.exe"; fi
kib="$(find "$installed" -type f ! -name 'Uninstall Zentaro.exe' -printf '%s\n' |
  awk '{ s += $1 } END { printf "%d", (s + 1023) / 1024 }')"
while IFS='|' read -r name value; do
  actual="$(reg_value "$name")"
  case "$value" in 0x*) actual="$((actual))"; value="$((value))" ;; esac
  expect "uninstall entry $name: $actual" test "$actual" = "$value"
done <<EOF
DisplayName|Zentaro
DisplayVersion|$version
Publisher|KESTRIX
DisplayIcon|$installed_win\\$icon_file
InstallLocation|$installed_win
UninstallString|"$installed_win\\Uninstall Zentaro.exe"
QuietUninstallString|"$installed_win\\Uninstall Zentaro.exe" /S
EstimatedSize|$(printf '0x%x' "$kib")
NoModify|0x1
NoRepair|0x1
EOF
no_entry() { ! win reg query "$key" "$1" >/dev/null 2>&1; }
expect "the uninstall entry is not in the 32-bit registry" no_entry /reg:32

if [ -f "$stage/zentaro.exe" ]; then
  points_to_program() {
    local text
    text="$(strings -a "$shortcut"; strings -a -el "$shortcut")"
    grep -qF "$installed_win\\zentaro.exe" <<<"$text"
  }
  expect "Start-menu shortcut Zentaro to $installed_win\\zentaro.exe" points_to_program
else
  expect "no Start-menu shortcut: no zentaro.exe staged" test ! -e "$shortcut"
fi

# The program shows the first two numbers of the version its file carries.
cli_version="$(win "$installed/zentaro-cli.exe" --version 2>&1 || true)"
expect "installed zentaro-cli.exe --version: $cli_version" \
  test "$cli_version" = "KESTRIX - Zentaro $(cut -d. -f1-2 <<<"$version")"

# The installed window program starts and shows its window, on an X server of
# its own; Wine's session starts again with the display and ends after it.
if [ -f "$installed/zentaro.exe" ]; then
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  if read -r -t 30 display_number <&"$display_fd"; then
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    (cd "$installed" && DISPLAY=":$display_number" ZENTARO_SERVER_HOST=127.0.0.1:9 \
      exec timeout 300 wine zentaro.exe >/dev/null 2>&1) &
    disown
    shows_window() {
      local deadline=$((SECONDS + 120))
      while [ "$SECONDS" -lt "$deadline" ]; do
        if [ -n "$(DISPLAY=":$display_number" xdotool search --onlyvisible --name '^KESTRIX - Zentaro$' 2>/dev/null || true)" ]; then
          return 0
        fi
        sleep 0.5
      done
      return 1
    }
    expect "the installed zentaro.exe starts and shows its window" shows_window
    timeout 30 wineserver -k >/dev/null 2>&1 || true
  else
    fail "Xvfb did not start"
  fi
  exec {display_fd}>&-
  kill "$xvfb_pid" 2>/dev/null || true
fi

installed_kib="$(du -s -k --apparent-size "$installed" | cut -f1)"
installed_files="$(find "$installed" -type f | wc -l)"

echo "== Uninstalling"
if start_holder; then
  status=0
  run_command_line "\"$installed_win\\Uninstall Zentaro.exe\" /S _?=$installed_win" || status=$?
  removes_nothing() {
    test "$status" = 2 && test -f "$uninstaller" && ! no_entry /reg:64 &&
      diff -r --exclude="Uninstall Zentaro.exe" "$stage" "$installed"
  }
  expect "the uninstaller stops with status 2 (it ended with $status) and removes nothing" removes_nothing
  stop_holder
else
  fail "the stand-in for the running program did not start"
fi

win reg add "$settings" /v Language /t REG_SZ /d German /f >/dev/null
if [ -d "$installed" ]; then
  printf '@echo off\r\nstart "" "%s\\zentaro.exe"\r\n' "$installed_win" >"$installed/start.bat"
fi
# As the system does it: the quiet command line of the uninstall entry. The
# uninstaller copies itself away and returns at once; the copy's last step is
# the maker's folder.
quiet="$(reg_value QuietUninstallString)"
program="$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$quiet")"
read -r -a arguments <<<"${quiet:${#program}+2}"
status=0
win "$program" "${arguments[@]}" || status=$?
expect "the uninstaller starts (status $status)" test "$status" = 0
deadline=$((SECONDS + 60))
while [ -e "$drive_c/Program Files/KESTRIX" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.5; done
timeout 60 wineserver -w || true
left="$(find "$drive_c/Program Files/KESTRIX" 2>/dev/null | sed "s|^$drive_c/||" | head -n 5 | tr '\n' ' ' || true)"
expect "nothing left in Program Files${left:+: $left}" test ! -e "$drive_c/Program Files/KESTRIX"
expect "the Start-menu shortcut is gone" test ! -e "$shortcut"
expect "the uninstall entry is gone" no_entry /reg:64
kept="$(win reg query "$settings" /v Language 2>/dev/null || true)"
expect "the user's settings stay" grep -q 'Language    REG_SZ    German' <<<"$kept"

echo
echo "Installer: $setup, $(stat -c %s "$setup") bytes ($(du -h --apparent-size "$setup" | cut -f1))"
echo "Installed: $installed_kib KiB in $installed_files files (the uninstaller included)"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
