#!/usr/bin/env bash
# Measures the saver at 1024x768 under wine64 + Xvfb: frames per second (Wine's frame-rate
# trace) and the saver process's CPU time over 10 seconds, next to the same for the test
# host's empty loop (clear, swap, Sleep(10)). Not part of the test suite; run by hand:
#   tests/e2e/saver_perf.sh build/mingw64/src/host/orvane.scr \
#       build/mingw64/tests/e2e/e2e_test_host.exe build/mingw64/perf build/native
set -uo pipefail
usage="usage: saver_perf.sh ORVANE_SCR TEST_HOST WORK_DIR NATIVE_BUILD_DIR"
scr="$(readlink -f "${1:?$usage}")"
testhost="$(readlink -f "${2:?$usage}")"
work="${3:?$usage}"
native="${4:?$usage}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"
wine64=/usr/lib/wine/wine64
ticks="$(getconf CLK_TCK)"
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"
e2e_start 1024x768

proptool="$native/proptool"
if [ -x "$proptool" ]; then
  "$proptool" sample "$work/korrin.prp" >/dev/null
  install_props "$work/korrin.prp"
else
  echo "note: no proptool; measuring without props"
fi

cpu_ms() { awk -v t="$ticks" '{ print int(($14 + $15) * 1000 / t) }' "/proc/$1/stat" 2>/dev/null; }

# Runs one program, skips 3 s of start-up, then measures 10 s. Prints "fps cpu_ms".
measure() {
  local trace="$work/$1.trace"; shift
  WINEDEBUG=-all,+fps "$wine64" "$@" >/dev/null 2>"$trace" &
  local pid=$!
  sleep 3
  local c0 l0 c1 l1
  c0="$(cpu_ms "$pid")"; l0="$(wc -l <"$trace")"
  sleep 10
  c1="$(cpu_ms "$pid")"; l1="$(wc -l <"$trace")"
  local fps
  fps="$(sed -n "$((l0 + 1)),${l1}p" "$trace" | grep -o 'approx [0-9.]*' |
         awk '{ s += $2; n++ } END { if (n) printf "%.1f", s / n; else print "0" }')"
  echo "$fps $((c1 - c0))"
  xdotool key space 2>/dev/null
  sleep 1
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
}

xdotool mousemove 512 384
read -r saver_fps saver_cpu < <(measure saver "$scr" /s)
read -r base_fps base_cpu < <(measure baseline "$testhost" baseline 14)
echo "saver:      ${saver_fps} frames/s, ${saver_cpu} ms CPU in 10 s"
echo "empty loop: ${base_fps} frames/s, ${base_cpu} ms CPU in 10 s"
awk -v s="$saver_cpu" -v b="$base_cpu" 'BEGIN { if (b > 0) printf "CPU ratio saver/empty loop: %.2f\n", s / b }'
