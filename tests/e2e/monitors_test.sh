#!/usr/bin/env bash
# The saver on several monitors: orvane.scr /s under wine64 on an Xorg server whose dummy
# outputs Wine reads as monitors (60 Hz unless told), the desktop painted a colour the saver
# never draws, screenshots measured monitor by monitor, presents counted in Wine's trace, the
# mouse moved and clicked with xdotool. Two monitors, ended by another program's window;
# three with the primary in the middle (the left one at negative coordinates), changed while
# the saver runs; monitors at 60, 75 and 30 Hz, each window presenting at its own monitor's
# refresh from a thread of its own, the 30 Hz one added while it runs, ended by a key; and
# "Only the main monitor" on battery (the kernel's power-supply class, which Wine reads,
# replaced in a private mount namespace), paced without taking a core, ended by a click on
# a further monitor.
#   monitors_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD_DIR
set -uo pipefail
# A mount namespace of its own, for the battery.
[ -n "${MONITORS_TEST_UNSHARED:-}" ] || MONITORS_TEST_UNSHARED=1 exec unshare -m --propagation private "$0" "$@"

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
# Wine's software GL on each window's drawing thread frees its per-frame memory into a glibc
# arena per thread, handed back to the kernel at once: several times the processor time per
# frame, none of it the saver's (Windows has no such thing). One arena keeps it the saver's.
export GLIBC_TUNABLES=glibc.malloc.arena_max=1
"$native/proptool" sample "$work/korrin.prp" >/dev/null && install_props "$work/korrin.prp" ||
  { echo "the native proptool is needed for the sample props" >&2; exit 1; }

saver_windows() { xdotool search --onlyvisible --name '^SaverWindow$' 2>/dev/null | wc -l; }
middle() { IFS='x+' read -r w h x y <<<"$1"; echo $((x + w / 2)) $((y + h / 2)); }

# Starts the saver with Monitors = $1 and the cursor in the middle of monitor $2, and waits
# for $3 windows. Wine's trace of its presents goes to $trace.
start_saver() {
  wine reg add 'HKCU\Software\Tov\Ostrel' /v Monitors /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  xdotool mousemove $(middle "$2")
  trace="$work/presents-$1-$3.trace"
  WINEDEBUG=-all,trace+wgl /usr/lib/wine/wine64 "$scr" /s >/dev/null 2>"$trace" &
  saver=$!
  for _ in $(seq 300); do [ "$(saver_windows)" -ge "$3" ] && break; sleep 0.2; done
  [ "$(saver_windows)" -ge "$3" ] || { fail "$(saver_windows) of $3 windows showed"; return 1; }
  sleep 2.5
}

# "desktop lit moved dx dy" of one monitor ($3) in two screenshots ($1, $2): pixels of the
# desktop's colour and lit pixels (brighter than a tenth of white) in the first, pixels that
# differ between them, and the lit pixels' centroid from the monitor's middle in thousandths
# of its width and height.
measure() {
  python3 - "$desktop" <(convert "$1" -crop "$3" +repage -depth 8 ppm:-) \
    <(convert "$2" -crop "$3" +repage -depth 8 ppm:-) <<'PY'
import sys
def pixels(path):
    size, data = open(path, "rb").read().split(b"\n", 3)[1::2]
    return tuple(map(int, size.split())), data
(w, h), a = pixels(sys.argv[2])
b = pixels(sys.argv[3])[1]
desk = bytes.fromhex(sys.argv[1])
desktop = lit = sx = sy = 0
for i in range(w * h):
    p = a[3 * i:3 * i + 3]
    if p == desk:
        desktop += 1
    elif p[0] * 299 + p[1] * 587 + p[2] * 114 > 25500:
        lit, sx, sy = lit + 1, sx + i % w, sy + i // w
moved = sum(a[i:i + 3] != b[i:i + 3] for i in range(0, 3 * w * h, 3))
dx, dy = (round(1000 * (sx / lit - (w - 1) / 2) / w), round(1000 * (sy / lit - (h - 1) / 2) / h)) if lit else (0, 0)
print(desktop, lit, moved, dx, dy)
PY
}

# Each "drawn:GEOMETRY" monitor shows no desktop and a lit, moving kaleidoscope centred on it;
# each "black:GEOMETRY" neither desktop nor anything lit.
check_monitors() {
  import -window root "$work/$1-1.png"
  sleep 1
  import -window root "$work/$1-2.png"
  local place
  for place in "${@:2}"; do
    read -r desk lit moved dx dy <<<"$(measure "$work/$1-1.png" "$work/$1-2.png" "${place#*:}")"
    what="$1, ${place#*:}: desktop $desk, lit $lit, moved $moved, centroid off by ($dx, $dy)/1000"
    if [ "${place%%:*}" = drawn ]; then
      [ "$desk" = 0 ] && [ "$lit" -gt 1000 ] && [ "$moved" -gt 500 ] && [ "${dx#-}" -le 30 ] &&
        [ "${dy#-}" -le 30 ] && ok "a moving kaleidoscope centred on it ($what)" ||
        fail "not a moving kaleidoscope centred on it ($what)"
    else
      [ "$desk$lit$moved" = 000 ] && ok "black ($what)" || fail "not black ($what)"
    fi
  done
}

# Presents in 3 s, window by window: $1 windows draw, each at $2 to $3 frames a second.
check_pace() {
  local before after rates
  before="$(wc -l <"$trace")"
  sleep 3
  after="$(wc -l <"$trace")"
  rates="$(sed -n "$((before + 1)),${after}p" "$trace" | grep -o 'glxdrv_wglSwapBuffers (0x[0-9a-f]*' |
           sort | uniq -c | awk '{ printf "%.1f ", $1 / 3 }')"
  if [ "$(wc -w <<<"$rates")" = "$1" ] &&
     awk -v r="$rates" -v lo="$2" -v hi="$3" 'BEGIN { n = split(r, a, " "); for (i = 1; i <= n; i++) if (a[i] < lo || a[i] > hi) exit 1 }'; then
    ok "$1 windows present at $2 to $3 frames a second ($rates)"
  else
    fail "presents of $1 windows not at $2 to $3 frames a second (${rates:-none})"
  fi
}

# Presents in 3 s, window by window: the windows' rates, sorted, each within -15 % and +5 %
# of the refreshes "$@", sorted, each window presenting from a thread of its own.
check_rates() {
  local before after presents rates threads want
  before="$(wc -l <"$trace")"
  sleep 3
  after="$(wc -l <"$trace")"
  presents="$(sed -n "$((before + 1)),${after}p" "$trace" | grep -o '^[0-9a-f]*:trace:wgl:glxdrv_wglSwapBuffers (0x[0-9a-f]*')"
  rates="$(cut -d'(' -f2 <<<"$presents" | sort | uniq -c | awk '{ printf "%.1f\n", $1 / 3 }' | sort -n | tr '\n' ' ')"
  threads="$(cut -d: -f1 <<<"$presents" | sort -u | wc -l)" want="$(printf '%s\n' "$@" | sort -n | tr '\n' ' ')"
  if [ "$threads" = $# ] && awk -v r="$rates" -v w="$want" 'BEGIN { n = split(r, a, " "); if (n != split(w, b, " ")) exit 1
       for (i = 1; i <= n; i++) if (a[i] < 0.85 * b[i] || a[i] > 1.05 * b[i]) exit 1 }'; then
    ok "windows present at their monitors' refreshes ($want Hz: $rates, $threads threads)"
  else
    fail "windows do not present at their monitors' refreshes ($want Hz: ${rates:-none}, $threads threads)"
  fi
}

# The processor time over 3 s of this prefix's Wine processes (the saver, and the Wine server
# that does the work of every message it asks for), in milliseconds a second.
cpu_per_second() {
  local pids ticks t0
  ticks="$(getconf CLK_TCK)"
  pids="$(grep -lzx "WINEPREFIX=$WINEPREFIX" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3)"
  prefix_ticks() { for p in $pids; do cat "/proc/$p/stat" 2>/dev/null; done | awk '{ s += $14 + $15 } END { print s + 0 }'; }
  t0="$(prefix_ticks)"
  sleep 3
  echo $((($(prefix_ticks) - t0) * 1000 / ticks / 3))
}

# `$1` (a description) ends the saver with exit code 0 and no window left.
check_ended_by() {
  if wait_exit "$saver" 15 && [ "$exit_code" = 0 ] && [ "$(saver_windows)" = 0 ]; then
    ok "$1 ends the saver with exit code 0 and no window left"
  else
    fail "after $1: exit code '$exit_code', $(saver_windows) windows"
    kill "$saver" 2>/dev/null; wineserver_kill
  fi
}
end_by_mouse_over() {
  xdotool mousemove $(middle "$1")
  check_ended_by "a mouse move over $1"
}

# The cursor starts on the further monitor, where nothing then moves it.
if start_saver 0 "${two[1]}" 2; then
  check_monitors two "drawn:${two[0]}" "drawn:${two[1]}"
  # At most the 60 Hz refresh (5 % over for the timer), at least what a loaded machine keeps.
  check_pace 2 15 63
  # Another program's window taking the activation is input too.
  wine notepad >/dev/null 2>&1 &
  check_ended_by "another program's window"
  wineserver_kill
fi

# The cursor starts on the right monitor, which then goes (and the left one grows): the
# system moving the cursor onto the primary is no input, and the windows follow.
e2e_layout "${three[@]}"
changed=(640x480+800+0 800x600+0+0)
if start_saver 0 "${three[1]}" 3; then
  check_monitors three "drawn:${three[0]}" "drawn:${three[1]}" "drawn:${three[2]}"
  e2e_layout "${changed[@]}"
  for _ in $(seq 50); do [ "$(saver_windows)" = 2 ] && break; sleep 0.2; done
  sleep 2
  check_monitors changed "drawn:${changed[0]}" "drawn:${changed[1]}"
  end_by_mouse_over "${changed[1]}"
fi

# Monitors at 60 and 75 Hz, then one at 30 Hz added: each window at its own refresh (small
# monitors, so that drawing does not set the rate).
rates=(320x240+0+0@60 400x300+320+0@75 320x240+720+0@30)
e2e_layout "${rates[@]:0:2}"
if start_saver 0 "${rates[0]}" 2; then
  check_rates 60 75
  e2e_layout "${rates[@]}"
  for _ in $(seq 50); do [ "$(saver_windows)" = 3 ] && break; sleep 0.2; done
  sleep 2
  check_rates 60 75 30
  xdotool windowfocus "$(xdotool search --onlyvisible --name '^SaverWindow$' | head -n1)" key space
  check_ended_by "a key"
fi

# A battery, discharging, and no mains: the saver halves its pace.
mount -t tmpfs battery /sys/class/power_supply &&
  mkdir /sys/class/power_supply/AC /sys/class/power_supply/BAT0 &&
  echo Mains >/sys/class/power_supply/AC/type && echo 0 >/sys/class/power_supply/AC/online &&
  for f in type:Battery status:Discharging present:1 capacity:50 energy_now:25000000 energy_full:50000000 \
           power_now:10000000 voltage_now:12000000; do
    echo "${f#*:}" >"/sys/class/power_supply/BAT0/${f%%:*}"
  done || fail "no battery could be made"
e2e_layout "${three[@]}"
if start_saver 1 "${three[2]}" 3; then
  check_pace 1 28 32
  # Waiting for its turns, not looping round: under 40 % of a core for 30 frames a second
  # (about a fifth on a quiet machine, with the trace written).
  cpu="$(cpu_per_second)"
  [ "$cpu" -lt 400 ] && ok "the saver takes ${cpu} ms of processor time a second" ||
    fail "the saver takes ${cpu} ms of processor time a second (a wait that does not wait?)"
  check_monitors main-only "drawn:${three[0]}" "black:${three[1]}" "black:${three[2]}"
  xdotool click 1
  check_ended_by "a click on ${three[2]}"
fi

for _ in $(seq 50); do
  left="$(saver_processes)"
  [ -z "$left" ] && break
  sleep 0.1
done
if [ -z "$left" ]; then ok "no saver process left behind"; else fail "saver processes left: $left"; fi
if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
