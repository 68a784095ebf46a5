#!/usr/bin/env bash
# The configuration dialog and its one setting, as a person meets them: orvane.scr /c
# under wine64 on a private X server, keys typed with xdotool, the registry read back
# with `reg query`, and the saver's first frames checked on a screenshot.
# Then the user's own pictures through the dialog: "Add pictures..." with the system's file
# dialog, the saver showing them over a chat-client file, "Remove my pictures"; and the speed.
# Last, many large pictures added with progress while two drops onto proptool.exe add theirs,
# and "Stop adding".
#   config_dialog_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD PROPTOOL_EXE
# WORK_DIR holds this test's own Wine prefix (made once) and its screenshots; NATIVE_BUILD is
# the native build, whose proptool makes sample props and reads the user's file back.
set -uo pipefail

scr="$(readlink -f "${1:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR}")"
work="${2:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD}"
proptool="${3:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD PROPTOOL_EXE}/proptool"
proptool_exe="$(readlink -f "${4:?usage: config_dialog_test.sh ORVANE_SCR WORK_DIR NATIVE_BUILD PROPTOOL_EXE}")"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"

# Waits up to $2 s for the "Your pictures" report that follows $3, shoots the screen as
# $1.png, dismisses the report, then closes the dialog with Escape.
close_report_and_dialog() {
  if report="$(wait_window 'Your pictures' "$2")"; then
    import -window root "$work/$1.png" 2>/dev/null
    xdotool windowfocus "$report"; xdotool key Return
  else
    fail "no report after $3"
  fi
  sleep 0.5
  xdotool windowfocus "$dialog"; xdotool key Escape
  wait_exit "$dialog_pid" 20 || fail "the dialog did not close"
}
# A white screen: the saver's black picture is then told apart from an empty screen.
e2e_start 800x600 -wr
# No prop file from an earlier run of the kept prefix: the saver's first pictures are its own.
rm -rf "$WINEPREFIX/drive_c/Program Files/TheKorrin" "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Orvane

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

# ---------------------------------------------------------------- speed
clear_setting
# The track bar is the sixth stop (OK, Cancel, the three check boxes, track bar); End moves it to
# 200 %.
run_dialog "speed to the right, Return" Tab Tab Tab Tab Tab End Return
speed="$(wine reg query "$saver_key" /v Speed 2>/dev/null | tr -d '\r' | awk '/Speed/ {print $2, $3}')"
[ "$speed" = "REG_DWORD 0xc8" ] && ok "OK stores the speed: $speed" || fail "speed after OK: '$speed'"
clear_setting
run_dialog "speed moved, Escape" Tab Tab Tab Tab Tab End Escape
[ -z "$(wine reg query "$saver_key" 2>/dev/null | tr -d '\r' | grep -i speed)" ] &&
  ok "Cancel stores no speed" || fail "Escape stored a speed"

# ---------------------------------------------------------------- the user's own pictures
appdata="$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')"
own="$(wine winepath -u "$appdata" 2>/dev/null | tr -d '\r')/Orvane/props.prp"
pictures="$work/pictures"
rm -rf "$pictures" "$own"
mkdir -p "$pictures"
# Pure green and pure magenta: palette colours that no sample prop has. A third file is no
# picture at all and is refused.
convert -size 256x256 xc:none -fill '#00FF00' -draw 'circle 128,128 128,10' "$pictures/Blüte 花.png" &&
  convert -size 120x60 'xc:#FF00FF' "$pictures/leaf.gif" || fail "could not draw the pictures"
echo "not a picture" >"$pictures/notes.png"
"$proptool" sample "$work/samples.prp" --count 64 >/dev/null && install_props "$work/samples.prp"

# Opens the dialog and presses the button `$1` Tabs from OK (its pid in dialog_pid).
dialog_button() {
  wine "$scr" /c >/dev/null 2>&1 &
  dialog_pid=$!
  dialog="$(wait_window 'Config dialog' 60)" || { fail "no configuration dialog"; return 1; }
  sleep 0.5
  xdotool windowfocus "$dialog"
  sleep 0.2
  for _ in $(seq "$1"); do xdotool key Tab; sleep 0.2; done
  xdotool key space
}
# "Add pictures..." (six Tabs from OK), the three files named in the system's file dialog.
if dialog_button 6 && chooser="$(wait_window 'Add pictures' 20)"; then
  sleep 0.5
  xdotool windowfocus "$chooser"
  xdotool type --delay 30 "Z:${pictures//\//\\}"; xdotool key Return; sleep 1
  xdotool type --delay 30 '"Blüte 花.png" "leaf.gif" "notes.png"'; xdotool key Return
  close_report_and_dialog dialog-report 20 "adding pictures"
else
  fail "\"Add pictures...\" opened no file dialog"
fi
listed="$("$proptool" list "$own" 2>&1)"
if [ "$(echo "$listed" | grep -c '44x')" = 2 ] && echo "$listed" | grep -q 'Blüte 花'; then
  ok "two pictures added, the non-ASCII name among them, the refused one left out"
else
  fail "the user's file after adding: $listed"
fi

# The saver shows the user's pictures, though the chat client's file is there.
shot="$work/own-pictures"
rm -f "$shot"-*.png
wine "$scr" /s >/dev/null 2>&1 &
pid=$!
if wait_window SaverWindow 60 visible >/dev/null; then
  sleep 3; import -window root "$shot-1.png" 2>/dev/null
  sleep 1.5; import -window root "$shot-2.png" 2>/dev/null
fi
kill "$pid" 2>/dev/null; wineserver_kill; wait "$pid" 2>/dev/null
colour_pixels() {
  convert "$1" -alpha off -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" \
    -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null
}
seen=0
for f in "$shot"-1.png "$shot"-2.png; do
  for colour in '#00FF00' '#FF00FF'; do
    n="$(colour_pixels "$f" "$colour")"
    [[ "$n" =~ ^[0-9]+$ ]] && [ "$n" -gt 500 ] && seen=$((seen + 1))
  done
done
[ "$seen" -gt 0 ] && ok "the saver shows the user's pictures over the chat client's file" ||
  fail "no green or magenta of the user's pictures in the saver's screenshots"

# "Remove my pictures" (seven Tabs from OK), answered Yes.
if dialog_button 7 && question="$(wait_window 'Your pictures' 20)"; then
  sleep 0.3
  xdotool windowfocus "$question"; xdotool key y
  sleep 1
  # The keyboard is still in the dialog: Escape closes it.
  xdotool windowfocus "$dialog"; xdotool key Escape
  wait_exit "$dialog_pid" 20 || fail "the dialog did not close"
else
  fail "\"Remove my pictures\" asked nothing"
fi
[ ! -e "$own" ] && ok "\"Remove my pictures\" took the file away" || fail "the user's file is still there"
wineserver_kill

# ---------------------------------------------------------------- many pictures, and drops meanwhile
# Twelve 24-megapixel photos take seconds to add: the dialog shows its progress meanwhile,
# the file grows picture by picture, two drops onto proptool.exe started together add theirs
# in between, and "Stop adding" (where the focus is while adding) keeps what was added.
convert -size 6000x4000 gradient:'#2050A0'-'#E0C060' -attenuate 0.4 +noise Gaussian -quality 90 \
  "$pictures/photo01.jpg" || fail "could not draw the photo"
names=""
for i in $(seq -w 2 12); do cp "$pictures/photo01.jpg" "$pictures/photo$i.jpg"; done
for i in $(seq -w 1 12); do names="$names \"photo$i.jpg\""; done
for n in dropA1 dropA2 dropB1 dropB2; do convert -size 64x48 'xc:#00FF00' "$pictures/$n.png"; done
win() { wine winepath -w "$pictures/$1" 2>/dev/null | tr -d '\r'; }
props_in_own() { "$proptool" list "$own" 2>/dev/null | tail -n1 | awk '{print $1}'; }
if dialog_button 6 && chooser="$(wait_window 'Add pictures' 20)"; then
  sleep 0.5
  xdotool windowfocus "$chooser"
  xdotool type --delay 30 "Z:${pictures//\//\\}"; xdotool key Return; sleep 1
  xdotool type --delay 20 "${names# }"; xdotool key Return
  sleep 1
  wine "$proptool_exe" "$(win dropA1.png)" "$(win dropA2.png)" </dev/null >"$work/dropA.txt" 2>&1 &
  drop_a=$!
  wine "$proptool_exe" "$(win dropB1.png)" "$(win dropB2.png)" </dev/null >"$work/dropB.txt" 2>&1 &
  drop_b=$!
  import -window root "$work/adding-1.png" 2>/dev/null; first="$(props_in_own)"
  sleep 2
  import -window root "$work/adding-2.png" 2>/dev/null; second="$(props_in_own)"
  changed="$(differing_pixels "$work/adding-1.png" "$work/adding-2.png")"
  if kill -0 "$dialog_pid" 2>/dev/null && [ "${changed:-0}" -gt 20 ] && [ "${second:-0}" -gt "${first:-0}" ]; then
    ok "while adding, the dialog shows its progress ($changed pixels changed in 2 s) and the file grows ($first, then $second props)"
  else
    fail "while adding: $changed pixels changed, props $first then $second"
  fi
  xdotool windowfocus "$dialog"; xdotool key space
  close_report_and_dialog adding-report 30 '"Stop adding"'
  wait_exit "$drop_a" 60 && [ "$exit_code" = 0 ] || fail "the first drop: exit code '$exit_code' ($(cat "$work/dropA.txt"))"
  wait_exit "$drop_b" 60 && [ "$exit_code" = 0 ] || fail "the second drop: exit code '$exit_code' ($(cat "$work/dropB.txt"))"
  listed="$("$proptool" list "$own" 2>&1)"
  photos="$(echo "$listed" | grep -c ' photo[0-9]*$')"
  drops="$(echo "$listed" | grep -cE ' drop(A1|A2|B1|B2)$')"
  if [ "$drops" = 4 ] && [ "$photos" -ge 1 ] && [ "$photos" -lt 12 ] &&
    [ "$(echo "$listed" | tail -n1)" = "$((photos + 4)) props" ]; then
    ok "both drops kept their pictures, and \"Stop adding\" kept the $photos photos added before it"
  else
    fail "after stopping, with two drops: $photos photos, $drops dropped pictures: $listed"
  fi
else
  fail "\"Add pictures...\" opened no file dialog for the photos"
fi
wineserver_kill

# OK while the photos are being added stores the speed moved meanwhile, and the dialog
# closes once the picture in hand is in. The track bar is one Shift+Tab back from "Stop
# adding" (the two buttons between are off while adding).
clear_setting
if dialog_button 6 && chooser="$(wait_window 'Add pictures' 20)"; then
  xdotool sleep 0.5 windowfocus "$chooser" type --delay 30 "Z:${pictures//\//\\}"; xdotool key Return sleep 1
  xdotool type --delay 20 "${names# }"; xdotool key Return sleep 1.5 windowfocus "$dialog" key --delay 200 shift+Tab End Return
  wait_exit "$dialog_pid" 60 || fail "OK while adding: the dialog did not close"
  speed="$(wine reg query "$saver_key" /v Speed 2>/dev/null | tr -d '\r' | awk '/Speed/ {print $2, $3}')"
  [ "$speed" = "REG_DWORD 0xc8" ] && ok "OK while adding stores the speed and closes when the adding stops" ||
    fail "OK while adding: speed stored '$speed'"
else fail "\"Add pictures...\" opened no file dialog for OK while adding"; fi
wineserver_kill

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
