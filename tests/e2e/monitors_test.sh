#!/usr/bin/env bash
# The saver on several monitors, as a person with them meets it: orvane.scr /s under wine64
# on an Xorg server whose dummy outputs Wine reads as monitors, the desktop painted a colour
# the saver never draws, screenshots measured monitor by monitor, the mouse moved with
# xdotool. Two monitors; then three with the primary in the middle (the left one at negative
# coordinates), a layout change while the saver runs, and "Only the main monitor".
#   monitors_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD_DIR
set -uo pipefail

usage="usage: monitors_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD_DIR"
scr="$(readlink -f "${1:?$usage}")"
work="${2:?$usage}"
native="${3:?$usage}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
two=(640x480+0+0 800x600+640+0)
three=(640x480+640+0 800x600+1280+0 640x480+0+0)
e2e_start_xorg "${two[@]}"
desktop=3060c0
xsetroot -solid "#$desktop"

"$native/proptool" sample "$work/korrin.prp" >/dev/null && install_props "$work/korrin.prp" ||
  { echo "the native proptool is needed for the sample props" >&2; exit 1; }
store_monitors() {
  wine reg add 'HKCU\Software\Tov\Ostrel' /v Monitors /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# "desktop lit dx dy" of one monitor's part of a screenshot: pixels of the desktop's colour,
# lit pixels (brighter than a tenth of white), and the lit pixels' centroid from the
# monitor's centre, in thousandths of its width and height.
measure() {
  convert "$1" -crop "$2" +repage -depth 8 ppm:- | python3 -c '
import sys
data = sys.stdin.buffer.read()
magic, size, depth, pixels = data.split(b"\n", 3)
w, h = map(int, size.split())
r, g, b = pixels[0::3], pixels[1::3], pixels[2::3]
desk = tuple(bytes.fromhex(sys.argv[1]))
desktop = lit = sx = sy = 0
for i in range(w * h):
    if (r[i], g[i], b[i]) == desk:
        desktop += 1
    elif r[i] * 299 + g[i] * 587 + b[i] * 114 > 25500:
        lit += 1
        sx += i % w
        sy += i // w
dx = round(1000 * (sx / lit - (w - 1) / 2) / w) if lit else 0
dy = round(1000 * (sy / lit - (h - 1) / 2) / h) if lit else 0
print(desktop, lit, dx, dy)' "$desktop"
}
crop() { convert "$1" -crop "$2" +repage "$3"; }
saver_windows() { xdotool search --onlyvisible --name '^SaverWindow$' 2>/dev/null | wc -l; }

# Starts the saver with the cursor in the middle of the monitor $1 and waits for $2 windows.
start_saver() {
  IFS='x+' read -r w h x y <<<"$1"
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  sleep 0.3
  wine "$scr" /s >/dev/null 2>&1 &
  saver=$!
  for _ in $(seq 300); do [ "$(saver_windows)" -ge "$2" ] && break; sleep 0.2; done
  [ "$(saver_windows)" -ge "$2" ] || { fail "$3: $(saver_windows) of $2 windows showed"; return 1; }
  sleep 2.5
}

# Two screenshots a second apart, then each monitor: drawn ("drawn": no desktop showing, lit,
# moving, centred on it) or black ("black": neither desktop nor anything lit).
check_monitors() {
  local label="$1" expect
  shift
  import -window root "$work/$label-1.png"
  sleep 1
  import -window root "$work/$label-2.png"
  for spec in "$@"; do
    expect="${spec%%:*}"
    geometry="${spec#*:}"
    read -r desk lit dx dy <<<"$(measure "$work/$label-1.png" "$geometry")"
    crop "$work/$label-1.png" "$geometry" "$work/crop-1.png"
    crop "$work/$label-2.png" "$geometry" "$work/crop-2.png"
    moved="$(differing_pixels "$work/crop-1.png" "$work/crop-2.png")"
    what="$label, monitor $geometry: desktop $desk, lit $lit, moved ${moved:-?}, centroid off by ($dx, $dy)/1000"
    if [ "$expect" = drawn ]; then
      if [ "${desk:-1}" = 0 ] && [ "${lit:-0}" -gt 1000 ] && [ "${moved:-0}" -gt 500 ] &&
         [ "${dx#-}" -le 30 ] && [ "${dy#-}" -le 30 ]; then
        ok "a moving kaleidoscope centred on it ($what)"
      else
        fail "not a moving kaleidoscope centred on it ($what)"
      fi
    elif [ "${desk:-1}" = 0 ] && [ "${lit:-1}" = 0 ] && [ "${moved:-1}" = 0 ]; then
      ok "black ($what)"
    else
      fail "not black ($what)"
    fi
  done
}

# Moves the mouse onto another monitor ($1): the saver ends with exit code 0, no window left.
end_by_mouse_over() {
  IFS='x+' read -r w h x y <<<"$1"
  xdotool mousemove $((x + w / 2)) $((y + h / 2))
  if wait_exit "$saver" 15 && [ "$exit_code" = 0 ] && [ "$(saver_windows)" = 0 ]; then
    ok "$2: a mouse move over the monitor at $1 ends the saver with exit code 0 and no window left"
  else
    fail "$2: after a mouse move over $1: exit code '$exit_code', $(saver_windows) windows"
    kill "$saver" 2>/dev/null; wineserver_kill
  fi
}

store_monitors 0
if start_saver "${two[0]}" 2 "two monitors"; then
  check_monitors two "drawn:${two[0]}" "drawn:${two[1]}"
  end_by_mouse_over "${two[1]}" "two monitors"
fi

e2e_layout "${three[@]}"
# The cursor starts on the right monitor, which then goes (and the left one grows): the
# system moves the cursor onto the primary, which is no input, and the windows follow.
if start_saver "${three[1]}" 3 "three monitors"; then
  check_monitors three "drawn:${three[0]}" "drawn:${three[1]}" "drawn:${three[2]}"
  changed=(640x480+800+0 800x600+0+0)
  e2e_layout "${changed[@]}"
  for _ in $(seq 50); do [ "$(saver_windows)" = 2 ] && break; sleep 0.2; done
  sleep 2
  check_monitors changed "drawn:${changed[0]}" "drawn:${changed[1]}"
  end_by_mouse_over "${changed[1]}" "after the change"
  e2e_layout "${three[@]}"
fi

store_monitors 1
if start_saver "${three[0]}" 3 "only the main monitor"; then
  check_monitors main-only "drawn:${three[0]}" "black:${three[1]}" "black:${three[2]}"
  end_by_mouse_over "${three[2]}" "only the main monitor"
fi

for _ in $(seq 50); do
  left="$(saver_processes)"
  [ -z "$left" ] && break
  sleep 0.1
done
if [ -z "$left" ]; then ok "no saver process left behind"; else fail "saver processes left: $left"; fi
if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
