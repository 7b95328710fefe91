# The real window program under Wine, on an X server of its own: sourced by
# scripts/test-windows.sh after its other checks, with its helpers (win, pass,
# fail, expect, winpath, reg_field) and variables (root, windows, scratch) in
# place.
#
# Without a window manager an X window is exactly a Windows window's client
# area, and the coordinates below are the client area's. Qt draws the menu bar
# inside the client area: the window is the form's 485 x 420 plus the menu bar.
#
# What is checked: the installed folder holds what the program needs and
# nothing more; the window appears with its title and size; a single-core and
# a multi-core run show their results and the rating bar; the Export window
# saves the report through the system's save dialog; the settings store is in
# the registry; a second copy starts while one runs; the About window's buttons
# show their captions; a language change writes start.bat, and the program
# comes back in the chosen language.

program="$scratch/Program Files/KESTRIX/Zentaro"
title='KESTRIX - Zentaro'

echo "== The window program: installed into $program"
rm -rf "$program"
cmake --install "$windows" --prefix "$program" >/dev/null
# Everything the program needs beside it, and nothing else.
installed_files() {
  (cd "$program" && find . -type f ! -path './Languages/*' | sed 's|^\./||' | LC_ALL=C sort)
}
expected_files="$(printf '%s\n' Qt6Core.dll Qt6Gui.dll Qt6Network.dll Qt6Widgets.dll \
  libgcc_s_seh-1.dll libstdc++-6.dll libwinpthread-1.dll license.txt \
  platforms/qwindows.dll styles/qwindowsvistastyle.dll tls/qschannelbackend.dll \
  cli.md zentaro-cli.schema.json zentaro-cli.exe zentaro.exe | LC_ALL=C sort)"
expect "the installed folder: the programs, four Qt libraries, three plugins, the MinGW runtime, the guide to zentaro-cli" \
  test "$(installed_files)" = "$expected_files"
expect "the installed folder: the language files" \
  diff -q <(cd "$root/languages" && ls | grep -v CMakeLists.txt) <(ls "$program/Languages")
gui_subsystem() {
  local headers
  headers="$(x86_64-w64-mingw32-objdump -p "$program/zentaro.exe")"
  grep -Eq '^Subsystem\s+0+2\s' <<<"$headers"
}
expect "zentaro.exe is a window program (GUI subsystem)" gui_subsystem
win "$windows/tests/version_strings.exe" "$(winpath "$program/zentaro.exe")" >"$scratch/version-gui.txt"
expect "zentaro.exe carries the version information: $(grep -E '^(CompanyName|ProductName|FileVersion)=' "$scratch/version-gui.txt" | tr '\n' ' ')" \
  grep -qx 'OriginalFileName=zentaro.exe' "$scratch/version-gui.txt"

# An X server for these checks only; the rest of the script runs without one.
exec {display_fd}<> <(:)
Xvfb -displayfd "$display_fd" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
read -r -t 30 display_number <&"$display_fd" || { fail "Xvfb did not start"; return 0; }
exec {display_fd}>&-
export DISPLAY=":$display_number"
# Wine's desktop process, started with the prefix and no display, would keep
# every window of the session off the X server: a new session starts here.
timeout 30 wineserver -k >/dev/null 2>&1 || true
stop_display() { kill "$xvfb_pid" 2>/dev/null || true; }
trap 'stop_display; cleanup' EXIT
# No server of the maker is contacted: the update check meets a closed port.
export ZENTARO_SERVER_HOST=127.0.0.1:9

# The visible windows with exactly this title, one id a line.
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }
# Waits (at most $2 seconds) until there are $3 (default 1) windows titled $1;
# prints the newest one's id.
wait_for_window() {
  local deadline=$((SECONDS + $2)) ids
  while [ "$SECONDS" -lt "$deadline" ]; do
    ids="$(windows_titled "$1")"
    if [ "$(grep -c . <<<"$ids")" -ge "${3:-1}" ]; then
      tail -n 1 <<<"$ids"
      return 0
    fi
    sleep 0.5
  done
  return 1
}
# A click at client coordinates. Wine takes the first click on a window that
# is not active to activate it, so a neutral spot is clicked first.
click() {
  xdotool mousemove --window "$1" 5 60 click 1 mousemove --window "$1" "$2" "$3" click 1 \
    2>/dev/null
}
# The colour of one client pixel, as "r,g,b".
pixel() {
  import -window "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
    sed -n 's/.*srgb(\([0-9]*,[0-9]*,[0-9]*\)).*/\1/p'
}
# Waits (at most $4 seconds) until the pixel at $2,$3 is mostly red: the left
# end of the rating bar, which shows only once a run has a result.
wait_for_rating_bar() {
  local deadline=$((SECONDS + $4)) r g b
  while [ "$SECONDS" -lt "$deadline" ]; do
    IFS=, read -r r g b <<<"$(pixel "$1" "$2" "$3")"
    if [ -n "$r" ] && [ "$r" -ge 200 ] && [ "$g" -le 80 ] && [ "$b" -le 80 ]; then
      return 0
    fi
    sleep 0.5
  done
  return 1
}
# Waits (at most $2 seconds) until the area $3 (WxH+X+Y) of window $1 looks other than
# the picture $4.
wait_for_change() {
  local deadline=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$deadline" ]; do
    import -window "$1" -crop "$3" "$scratch/area.png" 2>/dev/null
    if ! compare -metric AE "$4" "$scratch/area.png" null: 2>/dev/null; then
      return 0
    fi
    sleep 0.5
  done
  return 1
}
# How many pixels of the area $2 (WxH+X+Y) of window $1 are caption-coloured:
# near white (the About window's captions) and at least 100 of 255 apart in
# brightness from the area's most common shade, the button's face. White on a
# light face, as a native style paints it, counts nothing.
caption_pixels() {
  import -window "$1" -crop "$2" -depth 8 txt:- 2>/dev/null |
    sed -n 's/^[0-9]*,[0-9]*: *(\([0-9.]*\),\([0-9.]*\),\([0-9.]*\).*/\1 \2 \3/p' |
    awk '{ shade[NR] = int((299 * $1 + 587 * $2 + 114 * $3) / 1000); count[shade[NR]]++ }
      END {
        best = -1
        for (s in count) if (count[s] > best) { best = count[s]; face = s }
        n = 0
        for (i = 1; i <= NR; i++) {
          d = shade[i] - face
          if ((d >= 100 || d <= -100) && shade[i] >= 200) n++
        }
        print n + 0
      }'
}
registry_value() { # KEY NAME: the value's data, empty when missing
  timeout 60 wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | reg_field "$2"
}
# With ZENTARO_SHOTS=folder, pictures of the screen at the steps that click.
shot() { [ -z "${ZENTARO_SHOTS:-}" ] || import -window root "$ZENTARO_SHOTS/$1.png" 2>/dev/null || true; }
# Waits (at most $2 seconds) until process $1 (as X knows it) has ended; a
# program that closed its window must not stay behind, holding its files.
process_ends() {
  local deadline=$((SECONDS + $2))
  [ -n "$1" ] || return 1
  while kill -0 "$1" 2>/dev/null; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.5
  done
}
start_program() {
  (cd "$program" && exec timeout 600 wine zentaro.exe >/dev/null 2>&1) &
  disown
}

echo "== The window program under Wine on X display $DISPLAY"
start_program
main_window="$(wait_for_window "$title" 120 || true)"
if [ -z "$main_window" ]; then
  fail "the window \"$title\" did not appear within 120 s"
  return 0
fi
pass "the window \"$title\" appeared"
geometry="$(xdotool getwindowgeometry "$main_window" | sed -n 's/.*Geometry: //p')"
# The menu bar's height follows its font; the form below it is fixed.
menu_bar=$((${geometry#*x} - 420))
expect "client area $geometry: the form's 485 x 420 and a menu bar of $menu_bar" \
  test "${geometry%x*}" = 485 -a "$menu_bar" -ge 15 -a "$menu_bar" -le 25

# The bar's left end, in the last 19 pixels; the multi-core result's value label.
bar_x=4 bar_y=$((menu_bar + 420 - 10))
multi_area="200x18+150+$((menu_bar + 318))"
import -window "$main_window" -crop "$multi_area" "$scratch/multi-before.png"
click "$main_window" 127 236
expect "a single-core run shows its rating bar" \
  wait_for_rating_bar "$main_window" "$bar_x" "$bar_y" 120
click "$main_window" 354 236
expect "a multi-core run shows its result" \
  wait_for_change "$main_window" 120 "$multi_area" "$scratch/multi-before.png"
sleep 1
import -window "$main_window" "$scratch/screenshot-windows.png"
cp "$scratch/screenshot-windows.png" "$windows/screenshot-windows.png"

echo "== Export and the system's save dialog"
click "$main_window" 385 381
export_window="$(wait_for_window Zentaro 30 || true)"
report="$scratch/report.txt"
rm -f "$report" # a report of an earlier check would bring the question to replace it
if [ -z "$export_window" ]; then
  fail "the Export window did not open"
else
  pass "the Export window opened"
  click "$export_window" 100 375
  sleep 3
  # The dialog opens over the Export window, at the same corner; its file name
  # field takes the keys once clicked.
  xdotool mousemove --window "$export_window" 377 445 click 1 2>/dev/null
  xdotool key ctrl+a 2>/dev/null
  xdotool type --delay 20 "$(winpath "$report")" 2>/dev/null
  xdotool key Return 2>/dev/null
  deadline=$((SECONDS + 30))
  while [ ! -s "$report" ] && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.5; done
  expect "the report is saved, lines ending in CR LF" grep -q $'\r$' "$report"
  expect "the report holds the single-core result: $(grep -a 'Single-Core' "$report" | tr -d '\r')" \
    grep -aqE '^Single-Core: [0-9.,]+ million ops/sec'$'\r''?$' "$report"
  expect "the report holds the multi-core result: $(grep -a 'Multi-Core' "$report" | tr -d '\r')" \
    grep -aqE '^Multi-Core: [0-9.,]+ million ops/sec'$'\r''?$' "$report"
  click "$export_window" 300 200
  xdotool key Escape 2>/dev/null
fi

echo "== The settings store in the registry"
settings_key='HKCU\Software\KESTRIX\Zentaro\Settings'
deadline=$((SECONDS + 30))
while [ -z "$(registry_value "$settings_key" LastUpdateCheckCount)" ] && [ "$SECONDS" -lt "$deadline" ]; do
  sleep 1
done
expect "$settings_key holds the day's check: $(registry_value "$settings_key" LastUpdateCheck), count $(registry_value "$settings_key" LastUpdateCheckCount)" \
  test -n "$(registry_value "$settings_key" LastUpdateCheck)"

echo "== A second copy while one runs"
start_program
second="$(wait_for_window "$title" 120 2 || true)"
expect "a second copy starts and shows its window" test -n "$second"
if [ -n "$second" ]; then
  second_pid="$(xdotool getwindowpid "$second" 2>/dev/null || true)"
  # The keys go to the window Wine has made active; a copy still starting may
  # not have taken them yet, so they are given again, three times at most.
  for attempt in 1 2 3; do
    click "$second" 300 100
    xdotool key ctrl+q 2>/dev/null
    deadline=$((SECONDS + 10))
    while [ "$(windows_titled "$title" | grep -c .)" -gt 1 ] && [ "$SECONDS" -lt "$deadline" ]; do
      sleep 0.5
    done
    [ "$(windows_titled "$title" | grep -c .)" -gt 1 ] || break
  done
  expect "Ctrl+Q ends the second copy, the first stays" \
    test "$(windows_titled "$title" | grep -c .)" = 1
  expect "the second copy's process ends with its window" process_ends "$second_pid" 30
fi

echo "== The About window's buttons show their captions"
main_window="$(windows_titled "$title" | tail -n 1)"
click "$main_window" 104 7    # Help
sleep 1
xdotool key Up Return 2>/dev/null   # its last item, About...
about_window="$(wait_for_window "About Zentaro" 30 || true)"
if [ -z "$about_window" ]; then
  fail "the About window did not open"
else
  sleep 1
  shot about
  # Wine draws a caption and a border around the box (446 x 374): where its
  # client area lies in the window, from the window's size.
  about_size="$(xdotool getwindowgeometry "$about_window" 2>/dev/null |
    sed -n 's/.*Geometry: \([0-9]*\)x\([0-9]*\).*/\1 \2/p')"
  read -r about_w about_h <<<"${about_size:-446 374}"
  bx=$(((about_w - 446) / 2))
  by=$((about_h - 374 - bx))
  # Inside the frames of OK (97,268) and Info (225,268) in the client area,
  # each 122 x 33.
  ok_caption="$(caption_pixels "$about_window" "116x27+$((100 + bx))+$((271 + by))")"
  info_caption="$(caption_pixels "$about_window" "116x27+$((228 + bx))+$((271 + by))")"
  expect "the About window's OK shows its caption ($ok_caption caption pixels of 3132)" \
    test "${ok_caption:-0}" -ge 20
  expect "the About window's Info shows its caption and arrow ($info_caption caption pixels of 3132)" \
    test "${info_caption:-0}" -ge 20
  click "$about_window" $((150 + bx)) $((284 + by)) # OK
  deadline=$((SECONDS + 30))
  while [ -n "$(windows_titled "About Zentaro")" ] && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.5
  done
  expect "OK closes the About window" test -z "$(windows_titled "About Zentaro")"
fi

echo "== A language change restarts the program in that language"
main_window="$(windows_titled "$title" | tail -n 1)"
old_pid="$(xdotool getwindowpid "$main_window" 2>/dev/null || true)"
click "$main_window" 104 7    # Help
sleep 1
shot help-menu
xdotool mousemove --window "$main_window" 160 95 click 1 2>/dev/null   # Language...
language_window="$(wait_for_window Language 30 || true)"
if [ -z "$language_window" ]; then
  fail "the Language window did not open"
else
  click "$language_window" 430 19   # the list of languages
  sleep 1
  xdotool type --delay 50 German 2>/dev/null
  xdotool key Return 2>/dev/null
  sleep 0.5
  shot language-chosen
  click "$language_window" 523 208  # OK
  # "Restart Application?": Yes is the default button.
  confirmation="$(wait_for_window Confirmation 30 || true)"
  expect "the program asks before it restarts" test -n "$confirmation"
  if [ -n "$confirmation" ]; then
    xdotool mousemove --window "$confirmation" 100 20 click 1 2>/dev/null
    xdotool key Return 2>/dev/null
  fi
  shot after-yes
  # Told apart by process: the X server may give a new client the window
  # number an ended one had.
  old_window_shown() {
    local id
    for id in $(windows_titled "$title"); do
      [ "$(xdotool getwindowpid "$id" 2>/dev/null || true)" != "$old_pid" ] || return 0
    done
    return 1
  }
  deadline=$((SECONDS + 60))
  while [ -n "$old_pid" ] && old_window_shown && [ "$SECONDS" -lt "$deadline" ]; do
    sleep 0.5
  done
  expect "the program's window closes for the restart" \
    eval '[ -n "$old_pid" ] && ! old_window_shown'
  expect "the program's process ends for the restart" process_ends "$old_pid" 30
  expect "start.bat written into the program's folder (CR LF, the program's path)" \
    grep -aqF "zentaro.exe"$'"\r' "$program/start.bat"
  restarted=""
  deadline=$((SECONDS + 120))
  while [ -z "$restarted" ] && [ "$SECONDS" -lt "$deadline" ]; do
    for id in $(windows_titled "$title"); do
      [ "$(xdotool getwindowpid "$id" 2>/dev/null || true)" = "$old_pid" ] || restarted="$id"
    done
    sleep 0.5
  done
  expect "start.bat brings the program back" test -n "$restarted"
  expect "the language is kept in the settings: $(registry_value "$settings_key" Language)" \
    test "$(registry_value "$settings_key" Language)" = German.lang.txt
  if [ -n "$restarted" ]; then
    click "$restarted" 104 7
    sleep 1
    xdotool mousemove --window "$restarted" 160 95 click 1 2>/dev/null
    expect "the restarted program speaks German: its language window is \"Sprache\"" \
      eval 'wait_for_window Sprache 30 >/dev/null'
  fi
fi

timeout 30 wineserver -k >/dev/null 2>&1 || true
unset DISPLAY ZENTARO_SERVER_HOST
stop_display
