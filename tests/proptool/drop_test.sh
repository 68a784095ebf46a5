#!/usr/bin/env bash
# proptool.exe PROGRAM WORKDIR: two pictures as its only arguments (what Explorer passes for a
# drop) make %APPDATA%\Orvane\props.prp with two props; the same again makes four. Started
# with input that is no console it never waits; in a console of its own it waits for a key.
set -uo pipefail
exe="$1"
work="$2"
root="$(cd "$(dirname "$0")/../.." && pwd)"
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
# Wine reads the command line and file names in the locale's character set: UTF-8 here,
# whatever the caller's environment says.
export LC_ALL=C.UTF-8
wine() { "$root/scripts/wine-run" "$@"; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

mkdir -p "$work/pictures"
cd "$work/pictures" || exit 1
# One name with a space and letters beyond ASCII and beyond the ANSI code page.
sunset="Sunset 夕日 über Meer.png"
convert -size 300x200 gradient:orange-navy "$sunset" || exit 1
convert -size 64x96 plasma:fractal -seed 4 tile.jpg 2>/dev/null || convert -size 64x96 xc:teal tile.jpg || exit 1
wine cmd /c exit >/dev/null 2>&1  # the prefix, made once
appdata_win="$(wine cmd /c echo %APPDATA% | tr -d '\r')"
appdata="$(wine winepath -u "$appdata_win" 2>/dev/null | tr -d '\r')"
[ -d "$appdata" ] || { echo "no APPDATA folder ($appdata_win -> $appdata)" >&2; exit 1; }
own="$appdata/Orvane/props.prp"
rm -rf "$appdata/Orvane"
pictures=("$(wine winepath -w "$PWD/$sunset" | tr -d '\r')" "$(wine winepath -w "$PWD/tile.jpg" | tr -d '\r')")

for round in 1 2; do
  out="$(timeout 120 "$root/scripts/wine-run" "$exe" "${pictures[@]}" </dev/null 2>&1)"
  code=$?
  echo "$out"
  [ "$code" -eq 0 ] || fail "round $round: exit code $code"
  listing="$(wine "$exe" list "$appdata_win\\Orvane\\props.prp" </dev/null | tr -d '\r')"
  echo "$listing"
  want=$((round * 2))
  if [ -f "$own" ] && [ "$(echo "$listing" | tail -n1)" = "$want props" ]; then
    ok "round $round: $want props in %APPDATA%\\Orvane\\props.prp"
  else
    fail "round $round: expected $want props in $own"
  fi
done
echo "$listing" | grep -q "^0 516 44x29 Sunset 夕日 über Meer$" && ok "the picture's name, beyond ASCII, is kept" ||
  fail "first prop not named after its picture"
echo "$listing" | grep -q "^3 519 29x44 tile$" && ok "new ids follow the highest one" || fail "ids of the second round"

# A console of its own (tmux gives Wine a terminal): the text stays until a key is pressed.
session="proptool-drop-$$"
tmux() { command tmux -L "$session" "$@"; }  # a server of its own, ended below
tmux new-session -d -s "$session" -x 160 -y 20 \
  "WINEPREFIX='$WINEPREFIX' WINEDEBUG=-all '$root/scripts/wine-run' '$exe' tile.jpg; echo \"ended \$?\"; sleep 60"
waited=""
for _ in $(seq 150); do
  screen="$(tmux capture-pane -p -t "$session" 2>/dev/null)"
  if echo "$screen" | grep -q "Press any key"; then waited=yes; break; fi
  sleep 0.2
done
sleep 1
if [ -n "$waited" ] && ! tmux capture-pane -p -t "$session" | grep -q "^ended"; then
  ok "waits for a key in its own console"
  tmux send-keys -t "$session" x
  ended=""
  for _ in $(seq 50); do
    tmux capture-pane -p -t "$session" | grep -q "^ended 0" && { ended=yes; break; }
    sleep 0.2
  done
  [ -n "$ended" ] && ok "a key ends it" || fail "still running after a key"
else
  fail "did not wait for a key in its own console: $(tmux capture-pane -p -t "$session" | grep -v '^$')"
fi
tmux kill-server 2>/dev/null
/usr/lib/wine/wineserver64 -k 2>/dev/null || true

echo "$failures failures"
[ "$failures" -eq 0 ]
