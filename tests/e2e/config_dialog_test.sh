#!/usr/bin/env bash
# The configuration dialog and its one setting, as a person meets them: orvane.scr /c
# under wine64 on a private X server, keys typed with xdotool, the registry read back
# with `reg query`, and the saver's first frames checked on a screenshot.
#   config_dialog_test.sh ORVANE_SCR WORK_DIR
# WORK_DIR holds this test's own Wine prefix (made once) and its screenshots.
set -uo pipefail

scr="$(readlink -f "${1:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR}")"
work="${2:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
# A white screen: the saver's black picture is then told apart from an empty screen.
e2e_start 800x600 -wr

# ---------------------------------------------------------------- registry
saver_key='HKCU\Software\Tov\Ostrel'
clear_setting() { wine reg delete 'HKCU\Software\Tov' /f >/dev/null 2>&1 || true; }
store_setting() { wine reg add "$saver_key" /v UseMirrors /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
# Prints "REG_DWORD 0x1" for the stored value, or "none".
stored_setting() {
  local line
  line="$(wine reg query "$saver_key" /v UseMirrors 2>/dev/null | tr -d '\r' | grep -i 'UseMirrors')"
  if [ -z "$line" ]; then echo none; else echo "$line" | awk '{print $2, $3}'; fi
}

# Runs orvane.scr /c and types the given keys into the dialog; checks the title and that
# the program ends after the last key with exit code 0.
run_dialog() {
  local label="$1"; shift
  wine "$scr" /c >/dev/null 2>&1 &
  local pid=$! window
  if ! window="$(wait_window 'Config dialog' 60)"; then
    fail "$label: no window titled \"Config dialog\""
    kill "$pid" 2>/dev/null; wineserver_kill; return 1
  fi
  sleep 0.5
  for key in "$@"; do
    xdotool windowfocus "$window" 2>/dev/null
    sleep 0.2
    xdotool key "$key"
    sleep 0.3
  done
  if ! wait_exit "$pid" 20; then
    fail "$label: the dialog did not close"
    kill "$pid" 2>/dev/null; wineserver_kill; return 1
  fi
  if [ "$exit_code" != 0 ]; then fail "$label: exit code $exit_code"; return 1; fi
}

check_setting() {
  local label="$1" expected="$2" actual
  actual="$(stored_setting)"
  if [ "$actual" = "$expected" ]; then
    echo "ok: $label: $actual"
  else
    fail "$label: stored \"$actual\", expected \"$expected\""
  fi
}

# Initial focus is on OK; two Tabs reach the check box (OK, Cancel, check box).
clear_setting
run_dialog "Return" Return && check_setting "Return with nothing stored" "REG_DWORD 0x1"

clear_setting
run_dialog "Tab Space Return" Tab Tab space Return &&
  check_setting "box cleared, Return" "REG_DWORD 0x0"

clear_setting
run_dialog "Escape" Tab Tab space Escape && check_setting "Escape with nothing stored" "none"

store_setting 0
run_dialog "Escape keeps 0" Tab Tab space Escape && check_setting "Escape with 0 stored" "REG_DWORD 0x0"

store_setting 7
run_dialog "7 then Return" Return && check_setting "Return with 7 stored" "REG_DWORD 0x1"

# ---------------------------------------------------------------- the saver's picture
# Counts strongly red pixels (the wedge outline) in a screenshot of the whole screen.
red_pixels() {
  convert "$1" -colorspace sRGB -fx '(r>0.6 && g<0.3 && b<0.3) ? 1 : 0' \
    -format '%[fx:round(mean*w*h)]' info:
}
mean_brightness() { convert "$1" -colorspace Gray -format '%[fx:mean]' info:; }

# Runs orvane.scr /s with UseMirrors = $1 and screenshots it while its window shows; sets
# `red` to the number of strongly red pixels, or fails and leaves `red` empty when the saver
# did not show, the screenshot failed or the picture is not the saver's.
saver_red_pixels() {
  store_setting "$1"
  local shot="$work/saver-usemirrors-$1.png" pid taken=0 bright=""
  red=""
  rm -f "$shot"
  wine "$scr" /s >/dev/null 2>&1 &
  pid=$!
  if wait_window SaverWindow 60 visible >/dev/null; then
    sleep 3
    kill -0 "$pid" 2>/dev/null && import -window root "$shot" 2>/dev/null && taken=1
  fi
  kill "$pid" 2>/dev/null
  wineserver_kill
  wait "$pid" 2>/dev/null
  if [ "$taken" = 1 ]; then
    red="$(red_pixels "$shot" 2>/dev/null)"
    bright="$(mean_brightness "$shot" 2>/dev/null)"
  fi
  # Without props the saver's picture is its black clear colour and, with mirrors off, the
  # red outline: nearly all dark, where the bare screen is white.
  if ! [[ "$red" =~ ^[0-9]+$ ]] || ! awk -v b="${bright:-1}" 'BEGIN { exit !(b < 0.1) }'; then
    fail "UseMirrors $1: no picture of the running saver (shot $taken, red '$red', mean '$bright')"
    red=""
  fi
}

saver_red_pixels 0
single="$red"
saver_red_pixels 1
mirrored="$red"
echo "red pixels: UseMirrors 0 -> $single, UseMirrors 1 -> $mirrored"
# The outline of the wedge is three lines across much of the screen; no red is drawn
# with mirrors on.
if [ -n "$single" ] && [ "$single" -lt 200 ]; then
  fail "with 0 stored, no red wedge outline ($single red pixels)"
fi
if [ -n "$mirrored" ] && [ "$mirrored" -ne 0 ]; then
  fail "with 1 stored, red is drawn ($mirrored red pixels)"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
