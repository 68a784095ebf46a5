#!/usr/bin/env bash
# The Debian package as CPack makes it: its name, computed dependencies, contents and modes,
# the module's description for the settings program, the desktop entry of the MATE and Xfce
# screen savers, and lintian's verdict.
#   deb_package_test.sh NATIVE_BUILD_DIR WORK_DIR      leaves WORK_DIR/orvane_1.0_amd64.deb
set -uo pipefail
build="$(cd "${1:?usage: deb_package_test.sh NATIVE_BUILD_DIR WORK_DIR}" && pwd)"
work="${2:?usage: deb_package_test.sh NATIVE_BUILD_DIR WORK_DIR}"
rm -rf "$work" && mkdir -p "$work" && work="$(cd "$work" && pwd)"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2; echo "cpack failed" >&2; exit 1
fi
deb="$work/orvane_1.0_amd64.deb"
[ -f "$deb" ] || { ls "$work" >&2; echo "no $deb" >&2; exit 1; }
ok "cpack made orvane_1.0_amd64.deb"

# Dependencies come from the programs' shared libraries; the daemon is suggested.
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libc6 libstdc++6 libx11-6 libglx0 libopengl0 libpng16-16 libegl1 libwayland-client0 libwayland-egl1; do
  sed 's/ ([^)]*)//g; s/, /\n/g; s/ | /\n/g' <<<"$depends" | grep -qxF -- "$lib" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Suggests)" = xscreensaver ] && ok "Suggests: xscreensaver" || fail "Suggests: $(dpkg-deb -f "$deb" Suggests)"
summary="$(dpkg-deb -f "$deb" Description | head -n1)"
[ -n "$summary" ] && [ "${#summary}" -le 80 ] && ok "Depends: $depends; Description: $summary" || fail "summary '$summary'"

# Contents and modes: programs executable, everything else plain files.
listing="$(dpkg-deb -c "$deb" | awk '{print $1, $6}')"
while read -r mode path; do
  grep -qxF -- "$mode ./$path" <<<"$listing" || fail "missing or wrong mode: $mode $path"
done <<'LIST'
-rwxr-xr-x usr/libexec/xscreensaver/orvane
lrwxrwxrwx usr/bin/orvane
-rwxr-xr-x usr/bin/proptool
-rwxr-xr-x usr/bin/orvane-render
-rw-r--r-- usr/share/xscreensaver/config/orvane.xml
-rw-r--r-- usr/share/applications/screensavers/orvane.desktop
-rw-r--r-- usr/share/orvane/props.prp
-rw-r--r-- usr/share/man/man6/orvane.6.gz
-rw-r--r-- usr/share/man/man1/proptool.1.gz
-rw-r--r-- usr/share/man/man1/orvane-render.1.gz
-rw-r--r-- usr/share/doc/orvane/copyright
-rw-r--r-- usr/share/doc/orvane/changelog.gz
LIST
ok "$(grep -c '^-' <<<"$listing") files in place"

# The description for the settings program: label, command and the three settings.
mkdir -p "$work/root" && dpkg-deb -x "$deb" "$work/root"
if python3 - "$work/root/usr/share/xscreensaver/config/orvane.xml" <<'PY'
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == "screensaver" and root.get("name") == "orvane" and root.get("_label") == "Orvane", root.attrib
assert [c.get("arg") for c in root.iter("command")] == ["--root"]
by_id = {e.get("id"): e for e in root.iter() if e.get("id")}
assert by_id["mirrors"].get("_label") == "Use mirrors" and by_id["mirrors"].get("arg-unset") == "--no-mirrors"
assert by_id["delay"].get("arg") == "--delay %" and by_id["delay"].get("convert") == "invert"
assert by_id["showfps"].get("arg-set") == "--fps"
assert by_id["savepower"].get("arg-unset") == "--no-save-power"
assert root.find("_description").text.strip()
PY
then ok "orvane.xml: label Orvane, --root, Use mirrors, frame-rate slider on --delay, frame-rate display, power saving"
else fail "orvane.xml"
fi
# The entry the MATE and Xfce screen savers list: valid, and it runs the packaged module on
# the window they hand over.
entry="$work/root/usr/share/applications/screensavers/orvane.desktop"
if desktop-file-validate "$entry" >"$work/desktop-file-validate.txt" 2>&1 &&
   grep -qx 'Exec=/usr/libexec/xscreensaver/orvane --root' "$entry" &&
   grep -qx 'TryExec=/usr/libexec/xscreensaver/orvane' "$entry" && grep -qx 'Categories=Screensaver;' "$entry"; then
  ok "orvane.desktop validates and runs /usr/libexec/xscreensaver/orvane --root"
else cat "$work/desktop-file-validate.txt" "$entry" >&2; fail "orvane.desktop"
fi
"$work/root/usr/libexec/xscreensaver/orvane" --version | grep -qx 'orvane 1.0' && ok "the packaged module runs" || fail "the packaged module does not run"
[ "$(readlink "$work/root/usr/bin/orvane")" = ../libexec/xscreensaver/orvane ] && "$work/root/usr/bin/orvane" --version >/dev/null &&
  ok "orvane on the PATH is the module" || fail "usr/bin/orvane: $(readlink "$work/root/usr/bin/orvane")"

# lintian: no errors and no warnings. Its exit status is the verdict, so
# a lintian that is missing or breaks down fails too instead of reading as "no errors".
lintian --fail-on error,warning "$deb" >"$work/lintian.txt" 2>&1
status=$?
if [ "$status" -eq 0 ]; then ok "lintian: no errors, no warnings"
else cat "$work/lintian.txt" >&2; fail "lintian exited with $status ($(grep -c '^E:' "$work/lintian.txt") errors, $(grep -c '^W:' "$work/lintian.txt") warnings)"; fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
