# Shared by the end-to-end scripts: a private X server, the test's own Wine prefix, and
# waiting for windows and processes. Source it after setting `work` (the test's folder).
#   e2e_start "WIDTHxHEIGHT" [XVFB_OPTION...]
#                              starts Xvfb on a free display, exports DISPLAY, makes the prefix
#   e2e_start_xorg "WxH+X+Y"...
#                              the same with Xorg's dummy driver, whose outputs Wine reads as
#                              monitors, laid out as e2e_layout does
#   e2e_layout "WxH+X+Y[@HZ]"... lays the outputs out: DUMMY0 (the primary), DUMMY1, ... in
#                              turn, each at HZ (60 when not given)
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
wine() { "$root/scripts/wine-run" "$@"; }
# Ends this test's own Wine processes (its prefix only).
wineserver_kill() { /usr/lib/wine/wineserver64 -k 2>/dev/null || wineserver -k 2>/dev/null || true; }

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

e2e_start() {
  e2e_displayfile="$(mktemp)"
  # -noreset: by default the server resets when its last client leaves and drops a client
  # that connects meanwhile (a program starting as an xdotool poll ends).
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset "${@:2}" 3>"$e2e_displayfile" 2>/dev/null &
  e2e_xvfb=$!
  trap e2e_finish EXIT
  for _ in $(seq 100); do [ -s "$e2e_displayfile" ] && break; sleep 0.1; done
  [ -s "$e2e_displayfile" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$e2e_displayfile")"
  # Make the prefix before anything is timed.
  wine cmd /c exit >/dev/null 2>&1
}
e2e_start_xorg() {
  e2e_displayfile="$(mktemp)"
  cat >"$work/xorg.conf" <<'CONF'
Section "ServerFlags" Option "AutoAddDevices" "false" Option "AutoAddGPU" "false" EndSection
Section "Device" Identifier "dummy" Driver "dummy" VideoRam 256000 EndSection
Section "Monitor" Identifier "monitor" HorizSync 5.0-1000.0 VertRefresh 5.0-200.0 EndSection
Section "Screen" Identifier "screen" Device "dummy" Monitor "monitor" DefaultDepth 24 EndSection
CONF
  /usr/lib/xorg/Xorg -displayfd 3 -config "$work/xorg.conf" -noreset -nolisten tcp -novtswitch -sharevts \
    -logfile "$work/xorg.log" 3>"$e2e_displayfile" >/dev/null 2>&1 &
  e2e_xvfb=$!
  trap e2e_finish EXIT
  for _ in $(seq 100); do [ -s "$e2e_displayfile" ] && break; sleep 0.1; done
  [ -s "$e2e_displayfile" ] || { echo "Xorg did not start (see $work/xorg.log)" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$e2e_displayfile")"
  e2e_layout "$@" || { echo "xrandr could not lay out $*" >&2; exit 1; }
  wine cmd /c exit >/dev/null 2>&1
}
e2e_layout() {
  local args=() i=0 output w h x y hz name
  for output in "$@"; do
    IFS='x+@' read -r w h x y hz <<<"$output"
    hz="${hz:-60}"
    name="e2e_${w}x${h}_${hz}"
    # Any timings of that refresh do: the dummy outputs show nothing.
    xrandr --newmode "$name" "$(awk -v w="$w" -v h="$h" -v hz="$hz" 'BEGIN { print (w + 160) * (h + 30) * hz / 1e6 }')" \
      "$w" $((w + 16)) $((w + 112)) $((w + 160)) "$h" $((h + 3)) $((h + 6)) $((h + 30)) 2>/dev/null
    xrandr --addmode "DUMMY$i" "$name" 2>/dev/null
    args+=(--output "DUMMY$i" --mode "$name" --pos "${x}x${y}")
    [ "$i" = 0 ] && args+=(--primary)
    i=$((i + 1))
  done
  for ((; i < 16; i++)); do args+=(--output "DUMMY$i" --off); done
  # The query after the change makes the server poll its outputs: until something does, the
  # driver's current state, which Wine reads, still shows the outputs as they were.
  xrandr "${args[@]}" && xrandr >/dev/null
}
e2e_finish() {
  wineserver_kill
  kill "$e2e_xvfb" 2>/dev/null
  wait "$e2e_xvfb" 2>/dev/null
  rm -f "$e2e_displayfile"
}

# Waits up to $2 seconds for a window named exactly $1 (visible ones only when $3 is
# "visible"); prints its id.
wait_window() {
  local id only=()
  [ "${3:-}" = visible ] && only=(--onlyvisible)
  for _ in $(seq $(($2 * 10))); do
    id="$(xdotool search "${only[@]}" --name "^$1\$" 2>/dev/null | head -n1)"
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.1
  done
  return 1
}
# Waits up to $2 seconds for process $1 to end; its exit code is then in $exit_code.
exit_code=""
wait_exit() {
  exit_code=""
  for _ in $(seq $(($2 * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then wait "$1" 2>/dev/null; exit_code=$?; return 0; fi
    sleep 0.1
  done
  return 1
}
# The saver's processes, if any are left.
saver_processes() {
  local p
  for p in /proc/[0-9]*; do
    # A Windows program under Wine runs with its own path as argv[0].
    { tr '\0' '\n' <"$p/cmdline"; } 2>/dev/null | head -n1 | grep -q 'orvane\.scr$' && echo "${p#/proc/}"
  done
  return 0
}
# Installs a prop file where the saver looks for it first.
install_props() {
  mkdir -p "$WINEPREFIX/drive_c/Program Files/TheKorrin"
  cp "$1" "$WINEPREFIX/drive_c/Program Files/TheKorrin/korrin.prp"
}
# Screenshot measures. Lit pixels: those brighter than a tenth of white. The kaleidoscope's
# sprites may all be small at a given moment, so a picture counts as drawn by how many pixels
# are lit at all, not by its mean brightness: a black frame has none.
lit_pixels() { convert "$1" -colorspace Gray -threshold 10% -format '%[fx:round(mean*w*h)]' info: 2>/dev/null; }
differing_pixels() { compare -metric AE "$1" "$2" null: 2>&1 | awk '{print int($1)}'; }
