# Shared by the start-up benchmarks (run.sh, run-wine.sh); sourced, with WORK set.

# Starts Xvfb on a display it picks itself (1024x768, 96 DPI): sets XVFB_PID and
# XVFB_DISPLAY (":N"). Exits with status 2 when the server does not come up.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp 3>"$WORK/display" \
    >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$WORK/display" ] && break
    kill -0 "$XVFB_PID" 2>/dev/null || { cat "$WORK/xvfb.log" >&2; exit 2; }
    sleep 0.1
  done
  [ -s "$WORK/display" ] || { echo "Xvfb did not start" >&2; exit 2; }
  XVFB_DISPLAY=":$(head -n1 "$WORK/display")"
}

# Median, minimum and maximum of the numbers on standard input.
stats() {
  sort -g | awk '{ v[NR] = $1 }
    END { m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "%s %s %s\n", m, v[1], v[NR] }'
}
