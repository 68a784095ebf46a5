#!/usr/bin/env bash
# The saver as the system's host and a person meet it: orvane.scr under wine64 on a private
# X server, with the sample prop file installed where the saver looks for it, keys and mouse
# moves sent with xdotool, screenshots checked with ImageMagick.
#   saver_test.sh ORVANE_SCR TEST_HOST WORK_DIR NATIVE_BUILD_DIR
# WORK_DIR holds this test's own Wine prefix (made once) and its screenshots.
set -uo pipefail

usage="usage: saver_test.sh ORVANE_SCR TEST_HOST WORK_DIR NATIVE_BUILD_DIR"
scr="$(readlink -f "${1:?$usage}")"
testhost="$(readlink -f "${2:?$usage}")"
work="${3:?$usage}"
native="${4:?$usage}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
winpath() { printf 'Z:%s' "${1//\//\\}"; }
e2e_start 1024x768

still_running() { kill -0 "$1" 2>/dev/null; }
stop() { kill "$1" 2>/dev/null; wait "$1" 2>/dev/null; }

# ---------------------------------------------------------------- prop file
props="$work/korrin.prp"
proptool="$native/proptool"
[ -x "$proptool" ] || proptool="$native/tools/proptool/proptool"
if [ -x "$proptool" ] && "$proptool" sample "$props" >/dev/null 2>&1; then
  install_props "$props"
  have_props=1
else
  echo "note: $proptool is not built: the saver runs without props, and the picture checks are skipped"
  rm -f "$WINEPREFIX/drive_c/Program Files/TheKorrin/korrin.prp"
  have_props=0
fi

# ---------------------------------------------------------------- switches that open nothing
# Watched while the program runs (its windows end with it): any window it shows, under any
# title, for as long as the program lives.
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | sort; }
for args in "/x" "/" "//s" "/p"; do
  before="$(visible_windows)"
  wine "$scr" $args >/dev/null 2>&1 &
  pid=$!
  shown=""
  for _ in $(seq 600); do
    still_running "$pid" || break
    shown="$(comm -13 <(echo "$before") <(visible_windows) | head -n1)"
    [ -n "$shown" ] && break
    sleep 0.05
  done
  [ -n "$shown" ] && shown="$shown \"$(xdotool getwindowname "$shown" 2>/dev/null)\""
  if ! wait_exit "$pid" 30; then
    fail "'$args' did not end (window $shown)"; stop "$pid"; continue
  fi
  if [ "$exit_code" = 0 ] && [ -z "$shown" ]; then
    ok "'$args' ended at once with exit code 0 and no window"
  else
    fail "'$args': exit code $exit_code, window $shown"
  fi
done

# ---------------------------------------------------------------- full screen: picture and keys
start_saver() {
  xdotool mousemove 500 400
  sleep 0.3
  wine "$scr" /s >/dev/null 2>&1 &
  saver=$!
  if ! window="$(wait_window SaverWindow 60 visible)"; then
    fail "$1: no visible window titled \"SaverWindow\""; stop "$saver"; return 1
  fi
  sleep 2
}

if start_saver "picture"; then
  geometry="$(xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}')"
  if [ "$geometry" = "1024x768" ]; then ok "full-screen window 1024x768"; else fail "window geometry $geometry"; fi
  import -window root "$work/saver-1.png" 2>/dev/null
  sleep 1
  import -window root "$work/saver-2.png" 2>/dev/null
  if [ "$have_props" = 1 ]; then
    lit="$(lit_pixels "$work/saver-1.png")"
    moved="$(differing_pixels "$work/saver-1.png" "$work/saver-2.png")"
    if [[ "$lit" =~ ^[0-9]+$ ]] && [ "$lit" -gt 1000 ]; then ok "the picture is not black ($lit pixels lit)"; else fail "the picture is black ('$lit' pixels lit)"; fi
    if [ "${moved:-0}" -gt 1000 ]; then ok "the picture moves ($moved pixels changed in 1 s)"; else fail "the picture does not move ($moved pixels changed)"; fi
  fi
  # A move of exactly the threshold leaves the saver running; one pixel more ends it.
  xdotool mousemove 550 400
  sleep 1.5
  if still_running "$saver"; then ok "a mouse move of 50 pixels leaves the saver running"; else fail "a 50-pixel move ended the saver"; fi
  xdotool mousemove 551 400
  if wait_exit "$saver" 15 && [ "$exit_code" = 0 ]; then
    ok "a mouse move of 51 pixels ends the saver with exit code 0"
  else
    fail "after a 51-pixel move: running or exit code '$exit_code'"; stop "$saver"
  fi
fi

if start_saver "keys"; then
  # Alt+F4 becomes a close command, which the saver swallows; Alt keys are not input.
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key alt+F4
  sleep 1.5
  if still_running "$saver"; then ok "Alt+F4 does not close the saver"; else fail "Alt+F4 closed the saver"; fi
  xdotool windowfocus "$window" 2>/dev/null
  xdotool key space
  if wait_exit "$saver" 15 && [ "$exit_code" = 0 ]; then
    ok "a key press ends the saver with exit code 0"
  else
    fail "after a key press: running or exit code '$exit_code'"; stop "$saver"
  fi
fi

# ---------------------------------------------------------------- a damaged file of the user's
# A damaged own prop file and the machine's samples (no chat-client file): the damaged file
# is passed over and the samples show.
if [ "$have_props" = 1 ]; then
  unix_folder() { wine winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null | tr -d '\r'; }
  own_dir="$(unix_folder APPDATA)/Orvane"
  machine_dir="$(unix_folder ProgramData)/Orvane"
  mkdir -p "$own_dir" "$machine_dir"
  head -c 4096 /dev/zero | tr '\0' '\377' >"$own_dir/props.prp"
  cp "$props" "$machine_dir/props.prp"
  rm -f "$WINEPREFIX/drive_c/Program Files/TheKorrin/korrin.prp"
  if start_saver "damaged own file"; then
    import -window root "$work/saver-damaged-own.png" 2>/dev/null
    lit="$(lit_pixels "$work/saver-damaged-own.png")"
    if [[ "$lit" =~ ^[0-9]+$ ]] && [ "$lit" -gt 1000 ]; then
      ok "with a damaged own file, the samples show ($lit pixels lit)"
    else
      fail "with a damaged own file, the picture is black ('$lit' pixels lit)"
    fi
    stop "$saver"
    wineserver_kill
  fi
  rm -f "$own_dir/props.prp" "$machine_dir/props.prp"
  install_props "$props"
fi

# ---------------------------------------------------------------- preview inside a host window
# Wine keeps the OpenGL drawing of a child window of another process off the screen, so a
# screenshot cannot show it; Wine's frame-rate trace of the saver shows that it draws.
wine64="/usr/lib/wine/wine64"
[ -x "$wine64" ] || wine64="$(command -v wine64)"
for form in space colon; do
  report="$work/preview-$form.txt"
  trace="$work/preview-$form.trace"
  rm -f "$report" "$trace"
  WINEDEBUG=-all,+fps "$wine64" "$testhost" preview "$(winpath "$scr")" "$form" "$(winpath "$report")" 4000 \
    >/dev/null 2>"$trace" &
  host=$!
  if ! wait_exit "$host" 60; then fail "preview ($form): the test host did not end"; stop "$host"; continue; fi
  line="$(tr -d '\r' <"$report" 2>/dev/null)"
  if [ "$line" = "child=1 size=320x240 ended=1 exit=0" ]; then
    ok "preview ($form): a 320x240 child of the host window, ended with exit code 0 with it"
  else
    fail "preview ($form): $line"
  fi
  drawn="$(grep -c 'fps:.*approx [1-9]' "$trace" 2>/dev/null)"
  if [ "${drawn:-0}" -ge 1 ]; then
    ok "preview ($form): frames swapped ($(grep 'fps:' "$trace" | tail -n1 | sed 's/.*@ //'))"
  else
    fail "preview ($form): no frames were swapped"
  fi
done

# ---------------------------------------------------------------- nothing left behind
for _ in $(seq 50); do
  left="$(saver_processes)"
  [ -z "$left" ] && break
  sleep 0.1
done
if [ -z "$left" ]; then ok "no saver process left behind"; else fail "saver processes left: $left"; fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
