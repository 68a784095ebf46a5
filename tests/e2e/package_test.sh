#!/usr/bin/env bash
# The Windows packages as a user meets them, under wine64 on a private X server: silent
# install, the files in the system and Program Files folders, the Add/Remove Programs entry,
# the installed saver drawing the installed sample props, pictures dropped onto the installed
# proptool.exe and then drawn by the saver, upgrade to a release signed by scripts/dist (which
# also must fail, leaving no package, with a bad signer), refused downgrade, uninstall (which
# leaves the user's own prop file alone); the 32-bit package; the zip.
#   package_test.sh DIST_DIR PROBE ORVANE_SCR PROPTOOL_EXE WORK_DIR
# DIST_DIR holds what `make dist` made; PROBE is e2e_package_probe; ORVANE_SCR and PROPTOOL_EXE
# the 64-bit builds, which the packages must carry; WORK_DIR this test's own Wine prefix and
# files.
set -uo pipefail

usage="usage: package_test.sh DIST_DIR PROBE ORVANE_SCR PROPTOOL_EXE WORK_DIR"
dist="$(readlink -f "${1:?$usage}")"
probe="$(readlink -f "${2:?$usage}")"
built64="$(readlink -f "${3:?$usage}")"
built_proptool64="$(readlink -f "${4:?$usage}")"
work="${5:?$usage}"
mkdir -p "$work"
work="$(cd "$work" && pwd)"

# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"

msi64="$dist/Orvane-1.0-x64.msi"
msi86="$dist/Orvane-1.0-x86.msi"
zip="$dist/orvane-1.0-windows.zip"
for f in "$msi64" "$msi86" "$zip"; do
  [ -f "$f" ] || { echo "FAIL: $f is missing: run make dist" >&2; exit 1; }
done

e2e_start 1024x768
winpath() { printf 'Z:%s' "${1//\//\\}"; }
drive_c="$WINEPREFIX/drive_c"
sys64="$drive_c/windows/system32/orvane.scr"
sys32="$drive_c/windows/syswow64/orvane.scr"
samples="$drive_c/ProgramData/Orvane/props.prp"
# proptool.exe: the x64 package's under the 64-bit Program Files, the x86 package's under the
# 32-bit one.
proptool64="$drive_c/Program Files/Orvane/proptool.exe"
proptool32="$drive_c/Program Files (x86)/Orvane/proptool.exe"
# A 32-bit package's entry is in the 32-bit view of the registry.
uninstall_keys=('HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
                'HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall')
settings_key='HKCU\Software\Tov\Ostrel'

msiexec() { wine msiexec "$1" "$(winpath "$2")" /qn "${@:3}" >/dev/null 2>&1; }
current_saver() {
  wine reg query 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE 2>/dev/null | tr -d '\r' |
    awk '$1 == "SCRNSAVE.EXE" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
# The registry keys of the installed Orvane entries, one a line.
entries() {
  local key
  for key in "${uninstall_keys[@]}"; do
    wine reg query "$key" /s 2>/dev/null | tr -d '\r' |
      awk '/^HKEY/ { key = $0 } /DisplayName +REG_SZ +Orvane screen saver$/ { print key }'
  done
}
entry_value() {  # entry key, value name
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v v="$2" '$1 == v { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
# Checks the installed files and the one entry; $1 names the state, $2 the expected version,
# $3 "both" (64-bit package) or "x86", $4 the unpacked zip of that version (default: 1.0's).
check_installed() {
  local what="$1" version="$2" kind="$3" unzipped="${4:-$unzipped}" codes code
  codes="$(entries)"
  if [ "$(echo "$codes" | grep -c .)" = 1 ]; then
    code="$codes"
    local got
    got="$(entry_value "$code" DisplayVersion)|$(entry_value "$code" Publisher)"
    if [ "$got" = "$version|Tov" ]; then ok "$what: one entry, version $version, publisher Tov"; else fail "$what: entry says '$got'"; fi
  else
    fail "$what: $(echo "$codes" | grep -c .) entries named Orvane screen saver"
  fi
  if [ "$kind" = both ]; then
    if cmp -s "$sys64" "$unzipped/64-bit/orvane.scr" && [ "$(machine "$sys64")" = x86-64 ]; then
      ok "$what: the 64-bit saver is in system32"
    else fail "$what: system32/orvane.scr missing, different or not x86-64 ($(machine "$sys64"))"; fi
    if cmp -s "$proptool64" "$unzipped/64-bit/proptool.exe" && [ "$(machine "$proptool64")" = x86-64 ] &&
       [ ! -e "$proptool32" ]; then
      ok "$what: the 64-bit proptool.exe is in Program Files\\Orvane"
    else fail "$what: Program Files\\Orvane\\proptool.exe missing, different or not x86-64, or one in Program Files (x86)"; fi
  else
    [ -e "$sys64" ] && fail "$what: the 32-bit package put a saver into system32"
    if cmp -s "$proptool32" "$unzipped/32-bit/proptool.exe" && [ "$(machine "$proptool32")" = i386 ] &&
       [ ! -e "$proptool64" ]; then
      ok "$what: the 32-bit proptool.exe is in Program Files (x86)\\Orvane"
    else fail "$what: Program Files (x86)\\Orvane\\proptool.exe missing, different or not i386, or one in Program Files"; fi
  fi
  if cmp -s "$sys32" "$unzipped/32-bit/orvane.scr" && [ "$(machine "$sys32")" = i386 ]; then
    ok "$what: the 32-bit saver is in syswow64"
  else fail "$what: syswow64/orvane.scr missing, different or not i386 ($(machine "$sys32"))"; fi
  if cmp -s "$samples" "$unzipped/props.prp"; then ok "$what: the sample props are in ProgramData\\Orvane"; else fail "$what: ProgramData\\Orvane\\props.prp missing or different"; fi
}
probe_file() { wine "$probe" "$(winpath "$1")" 2>/dev/null | tr -d '\r'; }
machine() { probe_file "$1" | sed -n 's/^machine=//p'; }
check_removed() {
  local what="$1" left
  left="$(ls -d "$sys64" "$sys32" "$drive_c/ProgramData/Orvane" "$(dirname "$proptool64")" "$(dirname "$proptool32")" \
          2>/dev/null | tr '\n' ' ')"
  if [ -z "$(entries)" ] && [ -z "$left" ]; then
    ok "$what: the files, the Orvane program and data folders and the entry are gone"
  else
    fail "$what: left behind: entries '$(entries | tr '\n' ' ')' $left"
  fi
}

# ---------------------------------------------------------------- a clean machine
entries | while read -r key; do wine msiexec /x "${key##*\\}" /qn </dev/null >/dev/null 2>&1; done
wine reg delete 'HKCU\Software\Tov' /f >/dev/null 2>&1
wine reg delete 'HKCU\Control Panel\Desktop' /v SCRNSAVE.EXE /f >/dev/null 2>&1
# No chat client and no prop file of the user's: the saver can only find the samples.
rm -rf "$drive_c/Program Files/TheKorrin" "$drive_c/Program Files/Sabrel" \
       "$drive_c/Program Files (x86)/TheKorrin" "$drive_c/Program Files (x86)/Sabrel" \
       "$drive_c"/users/*/AppData/Roaming/Orvane
[ -z "$(entries)" ] || fail "a previous run's installation could not be removed"

# ---------------------------------------------------------------- the zip
unzipped="$work/unzipped"
rm -rf "$unzipped" "$work/orvane-1.0-windows"
listing="$(unzip -Z1 "$zip" | grep -v '/$' | LC_ALL=C sort | sed 's|^orvane-1.0-windows/||' | tr '\n' ' ')"
expected="32-bit/orvane.scr 32-bit/proptool.exe 64-bit/orvane.scr 64-bit/proptool.exe README.txt props.prp "
if [ "$listing" = "$expected" ]; then ok "the zip holds both savers, both proptool.exe, the props and README.txt"; else fail "zip contents: $listing"; fi
unzip -q "$zip" -d "$work" && mv "$work/orvane-1.0-windows" "$unzipped"
if cmp -s "$unzipped/64-bit/orvane.scr" "$built64" && cmp -s "$unzipped/64-bit/proptool.exe" "$built_proptool64"; then
  ok "the packages carry the current 64-bit builds"
else
  fail "build/dist is older than $built64: run make dist"
fi
if [ "$(grep -c $'\r$' "$unzipped/README.txt")" = "$(wc -l <"$unzipped/README.txt")" ]; then ok "README.txt has Windows line ends"; else fail "README.txt: no CR LF line ends"; fi

# ---------------------------------------------------------------- 64-bit package
if msiexec /i "$msi64"; then ok "x64 package: silent install succeeded"; else fail "x64 package: msiexec /i exited with $?"; fi
check_installed "x64 1.0" 1.0.0 both
if [ -z "$(current_saver)" ]; then ok "by default the user's current screen saver is left alone"; else fail "the current screen saver was set to '$(current_saver)' unasked"; fi
code="$(entries | head -n1)"
icon="$(wine reg query 'HKLM\Software\Classes\Installer\Products' /s 2>/dev/null | tr -d '\r' |
        awk '$1 == "ProductIcon" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }' | head -n1)"
icon_unix="$drive_c/$(echo "${icon#?:\\}" | tr '\\' '/')"
if [ "$(entry_value "$code" DisplayName)" = "Orvane screen saver" ] &&
   cmp -s "$icon_unix" "$(dirname "$0")/../../src/resources/orvane.ico"; then
  ok "the Add/Remove Programs entry shows the saver's icon"
else
  fail "Add/Remove Programs icon: '$icon'"
fi

# What the system reads from each installed saver: its manifest and its version record.
expected_resources="dpiAware=true
dpiAwareness=PerMonitorV2
runLevel=asInvoker uiAccess=0
supportedOS=e2011457-1546-43c5-a5fe-008deee3d3f0,35138b9a-5d96-4fbd-8e2d-a2440225f93a,4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38,1f676c76-80e1-4239-95bb-83d0f6d0da78,8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a
fixedFileVersion=1.0.0.0
fixedProductVersion=1.0.0.0
FileDescription=Orvane screen saver
ProductName=Orvane screen saver
FileVersion=1.0.0.0
ProductVersion=1.0.0.0
OriginalFilename=orvane.scr
CompanyName=Tov"
for f in "$sys64" "$sys32"; do
  got="$(probe_file "$f" | grep -v '^machine=')"
  if [ "$got" = "$expected_resources" ]; then
    ok "${f#"$drive_c"/}: DPI aware (per-monitor v2, system before), Vista to 11, asInvoker, version 1.0.0.0"
  else
    fail "${f#"$drive_c"/}: manifest and version read as: $(echo "$got" | tr '\n' ' ')"
  fi
done
# proptool.exe, a console program: the same without the DPI settings, under its own names.
got="$(probe_file "$proptool64" | grep -v '^machine=')"
if [ "$got" = "$(echo "$expected_resources" | sed -e '/^dpiAware/s/=.*/=(none)/' \
                   -e 's/^FileDescription=.*/FileDescription=Orvane pictures to props/' \
                   -e 's/^OriginalFilename=.*/OriginalFilename=proptool.exe/')" ]; then
  ok "proptool.exe: Vista to 11, asInvoker, version 1.0.0.0"
else
  fail "proptool.exe: manifest and version read as: $(echo "$got" | tr '\n' ' ')"
fi

# The installed saver, started from the system folder, draws the props it finds: $1 names
# them; screenshots $2-1.png and $2-2.png, a second apart (none when it drew nothing, so no
# screenshot of an earlier run is ever judged).
run_installed_saver() {
  local saver window lit moved
  rm -f "$2-1.png" "$2-2.png"
  xdotool mousemove 500 400
  sleep 0.3
  ( cd "$work" && wine 'C:\windows\system32\orvane.scr' /s >/dev/null 2>&1 ) &
  saver=$!
  if window="$(wait_window SaverWindow 60 visible)"; then
    sleep 3
    if import -window root "$2-1.png" 2>/dev/null && sleep 1 && import -window root "$2-2.png" 2>/dev/null; then
      lit="$(lit_pixels "$2-1.png")"
      moved="$(differing_pixels "$2-1.png" "$2-2.png")"
      if [[ "$lit" =~ ^[0-9]+$ ]] && [ "$lit" -gt 1000 ] && [[ "$moved" =~ ^[0-9]+$ ]] && [ "$moved" -gt 1000 ]; then
        ok "the installed saver draws $1 ($lit pixels lit, $moved changed in 1 s)"
      else
        fail "the installed saver's picture of $1: '$lit' pixels lit, '$moved' changed in 1 s"
      fi
    else
      rm -f "$2-1.png" "$2-2.png"
      fail "no screenshot of the installed saver drawing $1 (import failed)"
    fi
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key space
    wait_exit "$saver" 15 || { fail "the installed saver did not end on a key press"; kill "$saver" 2>/dev/null; }
  else
    fail "the installed saver opened no window"; kill "$saver" 2>/dev/null
  fi
  wineserver_kill
}
# Pixels of screenshot $1 within a small distance of colour $2; fails, printing nothing, when
# they could not be counted.
pixels_of_colour() {
  local n
  n="$(convert "$1" -alpha off -fuzz 12% -fill black +opaque "$2" -fill white -opaque "$2" \
         -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null)" && [[ "$n" =~ ^[0-9]+$ ]] && echo "$n"
}
# The most pixels of colour $2 in either screenshot $1-1.png or $1-2.png (sprites come and go
# behind one another); fails when either could not be counted.
most_of_colour() {
  local first second
  first="$(pixels_of_colour "$1-1.png" "$2")" && second="$(pixels_of_colour "$1-2.png" "$2")" &&
    echo $((first > second ? first : second))
}
# Pure green and pure magenta: palette colours that no sample prop has.
own_colours=('#00FF00' '#FF00FF')
run_installed_saver "the sample props" "$work/samples"
for colour in "${own_colours[@]}"; do
  if ! n="$(most_of_colour "$work/samples" "$colour")"; then
    fail "the pixels of $colour in the samples' screenshots could not be counted"
  elif [ "$n" -ge 50 ]; then
    fail "a screenshot of the samples already has $n pixels of $colour: it cannot tell the user's pictures"
  fi
done

# ---------------------------------------------------------------- the user's own pictures
# Two pictures dropped onto the installed proptool.exe (Explorer passes them as its only
# arguments) make the user's own prop file, which the saver then takes before the samples.
pictures="$work/pictures"
rm -rf "$pictures"
mkdir -p "$pictures"
convert -size 256x256 xc:none -fill "${own_colours[0]}" -draw 'circle 128,128 128,10' "$pictures/green disc.png" &&
  convert -size 120x60 "xc:${own_colours[1]}" "$pictures/magenta.gif" || fail "could not draw the pictures"
appdata_win="$(wine cmd /c echo %APPDATA% | tr -d '\r')"
own="$(wine winepath -u "$appdata_win\\Orvane\\props.prp" 2>/dev/null | tr -d '\r')"
installed_proptool='C:\Program Files\Orvane\proptool.exe'
dropped="$(cd "$pictures" && wine "$installed_proptool" "$(winpath "$pictures/green disc.png")" \
             "$(winpath "$pictures/magenta.gif")" </dev/null 2>&1 | tr -d '\r')"
code=$?
listing="$(wine "$installed_proptool" list "$appdata_win\\Orvane\\props.prp" </dev/null 2>&1 | tr -d '\r')"
if [ "$code" = 0 ] && [ -f "$own" ] && [ "$(echo "$listing" | tail -n1)" = "2 props" ]; then
  ok "pictures dropped onto the installed proptool.exe make %APPDATA%\\Orvane\\props.prp with 2 props"
else
  fail "the installed proptool.exe with two pictures (exit $code): $(echo "$dropped" | tr '\n' ' ')/ $(echo "$listing" | tail -n1)"
fi
cp "$own" "$work/own.prp" 2>/dev/null
run_installed_saver "the user's own pictures" "$work/own"
counts=""
shown=yes
for colour in "${own_colours[@]}"; do
  if n="$(most_of_colour "$work/own" "$colour")"; then
    [ "$n" -ge 2000 ] || shown=no
  else
    n="(not counted)"; shown=no
  fi
  counts+=" $n"
done
if [ "$shown" = yes ]; then
  ok "the saver shows the user's pictures (pixels of their green and magenta, which no sample has:$counts)"
else
  fail "the user's pictures are not on the screen (green and magenta pixels:$counts)"
fi

# ---------------------------------------------------------------- a signed release
# Version 1.0.1, signed by a throwaway authority's code-signing certificates: one whose key is
# in a token (SoftHSM), each signature time-stamped by a time-stamp authority on the loopback
# address (openssl ts behind Python's http.server, its own certificate from the authority);
# one with an encrypted PEM key, not time-stamped. The token's release is the one installed.
ca="$work/ca" newer="$work/dist-1.0.1" unzipped_newer="$work/orvane-1.0.1-windows"
rm -rf "$ca" "$newer" "$unzipped_newer" && mkdir -p "$ca/tokens"
export SIGN_PASSWORD='two words; $HOME "quoted"' SIGN_CERT="$ca/codeSigning.pem" SIGN_KEY="$ca/codeSigning.key" \
       SIGN_NO_TIMESTAMP=1 SOFTHSM2_CONF="$ca/softhsm2.conf" SIGN_CA="$ca/ca.pem"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$ca/ca.key" -out "$ca/ca.pem" -subj /CN=Authority 2>/dev/null
for use in codeSigning serverAuth timeStamping; do
  openssl req -newkey rsa:2048 -passout env:SIGN_PASSWORD -keyout "$ca/$use.key" -subj "/CN=$use" 2>/dev/null |
    openssl x509 -req -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -extfile <(echo "extendedKeyUsage=critical,$use") -out "$ca/$use.pem" 2>/dev/null
done
module=/usr/lib/softhsm/libsofthsm2.so pin='24 "68" 13'
printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' "$ca/tokens" >"$SOFTHSM2_CONF"
softhsm2-util --init-token --free --label orvane --pin "$pin" --so-pin 97531 >/dev/null &&
  pkcs11-tool --module "$module" --token-label orvane --login --pin "$pin" --keypairgen --key-type rsa:2048 \
    --id 01 --label signer >/dev/null 2>&1 &&
  PKCS11_MODULE_PATH="$module" PIN="$pin" openssl req -new -engine pkcs11 -keyform engine -passin env:PIN \
    -key 'pkcs11:token=orvane;object=signer' -subj /CN=Tov 2>/dev/null |
  openssl x509 -req -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -extfile <(echo extendedKeyUsage=codeSigning) -out "$ca/token.pem" 2>/dev/null ||
  fail "no key pair in a SoftHSM token and its certificate"
# The time-stamp authority: /tsa answers, /sha512-only takes no SHA-256 query (it refuses
# ours), /silent never answers.
echo 01 >"$ca/tsa.serial"
openssl pkey -in "$ca/timeStamping.key" -passin env:SIGN_PASSWORD -out "$ca/tsa.key"
for c in tsa:sha256 sha512-only:sha512; do
  printf '[tsa]\ndefault_tsa = tsa\nserial = %s\nsigner_cert = %s\nsigner_key = %s\ncerts = %s\nsigner_digest = sha256\ndefault_policy = 1.2.3.4.1\ndigests = %s\ness_cert_id_alg = sha256\n' \
    "$ca/tsa.serial" "$ca/timeStamping.pem" "$ca/tsa.key" "$ca/ca.pem" "${c#*:}" >"$ca/${c%:*}.cnf"
done
python3 -c '
import http.server, subprocess, sys, time
class Reply(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers["Content-Length"]))
        time.sleep(600 if self.path == "/silent" else 0)
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.end_headers()
        self.wfile.write(subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1] + self.path + ".cnf",
            "-queryfile", "/dev/stdin", "-out", "/dev/stdout"], input=query, capture_output=True).stdout)
    def log_message(self, *args): pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Reply)
print(f"http://127.0.0.1:{server.server_address[1]}", flush=True)
server.serve_forever()' "$ca" >"$ca/tsa.url" &
tsa=$!
trap 'kill "$tsa" 2>/dev/null; e2e_finish' EXIT
for _ in $(seq 50); do [ -s "$ca/tsa.url" ] && break; sleep 0.1; done
tsa_url="$(cat "$ca/tsa.url")"
# The token's settings for env (split at ","): the key in the token, time stamps asked for.
token="-u,SIGN_NO_TIMESTAMP,SIGN_CERT=$ca/token.pem,SIGN_KEY=pkcs11:token=orvane;object=signer,SIGN_PKCS11_MODULE=$module"
token+=",SIGN_PASSWORD=$pin,SIGN_TIMESTAMP_URL=$tsa_url/tsa"
IFS=, read -ra token_settings <<<"$token"
# Stand-ins that write their environment down, then run the real program: every program the
# token's run starts that is not a signer, and the signers too (they take the PIN from a pipe).
mkdir -p "$ca/spy"
for p in wixl zip msibuild msiinfo python3 timeout sha256sum openssl osslsigncode; do
  printf '#!/bin/sh\necho "== %s" >>"%s"\nenv >>"%s"\nexec %s "$@"\n' "$p" "$ca/spy.log" "$ca/spy.log" "$(command -v "$p")" \
    >"$ca/spy/$p" && chmod +x "$ca/spy/$p"
done
# The MSIs of dist folder $1 and the programs in its zip, unpacked into $2, whose signature is
# not SHA-256, does not verify against the authority, or whose time stamp by it (osslsigncode
# 2.9 prints "Timestamp time:", 2.5 "The signature is timestamped:") is there or not, against $3.
unverified() {
  local f v
  for f in "$1"/*.msi "$2"/*-bit/*; do
    v="$(osslsigncode verify -CAfile "$ca/ca.pem" -TSA-CAfile "$ca/ca.pem" -in "$f" 2>&1)" &&
      grep -q '^Message digest algorithm *: SHA256' <<<"$v" &&
      [ "$(grep -cE '^[[:space:]]*Timestamp time:|^The signature is timestamped:' <<<"$v")" = "$3" ] || echo " $f"
  done
}
if env "${token_settings[@]}" PATH="$ca/spy:$PATH" "$root/scripts/dist" "$newer" 1.0.1 >"$ca/log" &&
   unzip -q "$newer/orvane-1.0.1-windows.zip" -d "$work"; then
  spied="$(grep -c '^== \(wixl\|zip\|osslsigncode\)$' "$ca/spy.log")"
  [ "$spied" -ge 8 ] && ! grep -qF -e "$pin" -e SIGN_PASSWORD "$ca/spy.log" &&
    ok "1.0.1 through the token: none of the programs dist started ($spied of wixl, zip, osslsigncode among them) had the PIN in its environment" ||
    fail "1.0.1 through the token: the PIN in a program's environment, or the programs not seen ($spied)"
  wrong="$(unverified "$newer" "$unzipped_newer" 1)"
  [ -z "$wrong" ] && ok "1.0.1 through the token: both MSIs, savers and proptool.exe have SHA-256 signatures of the authority, time-stamped" ||
    fail "1.0.1 through the token: no time-stamped SHA-256 signature that verifies against the authority:$wrong"
  wrong= && "$root/scripts/dist" "$ca/pem" 1.0.1 >"$ca/log" && unzip -q "$ca/pem/orvane-1.0.1-windows.zip" -d "$ca/pem" &&
    wrong="$(unverified "$ca/pem" "$ca/pem/orvane-1.0.1-windows" 0)" && [ -z "$wrong" ] &&
    grep -q '^dist: not time-stamped (SIGN_NO_TIMESTAMP=1): these signatures end with the certificate' "$ca/log" &&
    ok "1.0.1 with the PEM key and SIGN_NO_TIMESTAMP=1: every signature verifies, none is time-stamped, and dist says so" ||
    fail "1.0.1 with the PEM key:${wrong:-} dist said: $(tr '\n' ' ' <"$ca/log")"
  if (cd "$newer" && sha256sum -c --quiet SHA256SUMS && [ "$(cut -c67- SHA256SUMS | tr '\n' ' ')" = \
       "Orvane-1.0.1-x64.msi Orvane-1.0.1-x86.msi orvane-1.0.1-windows.zip " ]); then ok "1.0.1: SHA256SUMS lists and checks the packages"
  else fail "1.0.1: SHA256SUMS: $(cat "$newer/SHA256SUMS")"; fi
  # ---------------------------------------------------------------- upgrade and downgrade
  if msiexec /i "$newer/Orvane-1.0.1-x64.msi"; then ok "x64 1.0.1 (signed) installed over 1.0"; else fail "x64 1.0.1: msiexec /i failed"; fi
  check_installed "upgrade to 1.0.1" 1.0.1 both "$unzipped_newer"
  run_installed_saver "the user's own pictures, signed (1.0.1)" "$work/signed"
  if msiexec /i "$msi64"; then fail "1.0 was installed over 1.0.1"; else ok "installing 1.0 over 1.0.1 is refused"; fi
  check_installed "after the refused downgrade" 1.0.1 both "$unzipped_newer"
  # ---------------------------------------------------------------- uninstall
  wine reg add "$settings_key" /v UseMirrors /t REG_DWORD /d 0 /f >/dev/null 2>&1
  if msiexec /x "$newer/Orvane-1.0.1-x64.msi"; then ok "silent uninstall succeeded"; else fail "msiexec /x exited with $?"; fi
  check_removed "uninstall"
  if cmp -s "$own" "$work/own.prp"; then ok "uninstall leaves the user's own prop file alone"; else fail "uninstall touched $own"; fi
  if wine reg query "$settings_key" /v UseMirrors 2>/dev/null | tr -d '\r' | grep -q 'REG_DWORD *0x0$'; then
    ok "uninstall keeps the user's settings key"
  else
    fail "uninstall touched $settings_key"
  fi
else
  fail "scripts/dist could not make version 1.0.1 signed through the token: $(tr '\n' ' ' <"$ca/log")"
fi

# An osslsigncode that refuses MSIs: a signature failing after the programs' succeeded.
mkdir -p "$ca/fails" && printf '#!/bin/sh\ncase "$*" in *.msi*) exit 1;; esac\nexec %s "$@"\n' "$(command -v osslsigncode)" \
  >"$ca/fails/osslsigncode" && chmod +x "$ca/fails/osslsigncode"
# What is wrong | the settings that make it so (split at ",") | what dist says. Each run's folder
# holds an earlier run's signed set, which must stay as it was, whole.
for c in "a wrong password|SIGN_PASSWORD=wrong|cannot be read with SIGN_PASSWORD (wrong password?)" \
         "another certificate's key|SIGN_KEY=$ca/serverAuth.key|is not the key of the certificate" \
         "a certificate for servers|SIGN_CERT=$ca/serverAuth.pem,SIGN_KEY=$ca/serverAuth.key|is not for code signing" \
         "no time stamp asked for|-u,SIGN_NO_TIMESTAMP|signing needs a time-stamp authority in SIGN_TIMESTAMP_URL" \
         "a failing MSI signature|PATH=$ca/fails:$PATH|signing Orvane-1.0.1-x64.msi failed" \
         "a wrong PIN|$token,SIGN_PASSWORD=1111|SIGN_PASSWORD: the token refused the PIN (wrong PIN?)" \
         "a key not in the token|$token,SIGN_KEY=pkcs11:token=orvane;object=other|the token has no private key" \
         "a token key not the certificate's|$token,SIGN_CERT=$ca/codeSigning.pem|is not the key of the certificate" \
         "a module that does not load|$token,SIGN_PKCS11_MODULE=$ca/ca.pem|does not load as a PKCS#11 module" \
         "an unreachable time-stamp authority|$token,SIGN_TIMESTAMP_URL=http://127.0.0.1:9/|signing 64-bit/orvane.scr failed: the time-stamp authority http://127.0.0.1:9/ cannot be reached" \
         "a refusing time-stamp authority|$token,SIGN_TIMESTAMP_URL=$tsa_url/sha512-only|refused (Message digest algorithm is not supported)" \
         "a silent time-stamp authority|$token,SIGN_TIMEOUT=3,SIGN_TIMESTAMP_URL=$tsa_url/silent|no answer within 3 s (SIGN_TIMEOUT) from the time-stamp authority" \
         "no signer, and a signed release required|-u,SIGN_CERT,-u,SIGN_KEY,SIGN_REQUIRED=1|SIGN_REQUIRED=1: no unsigned release is made"; do
  IFS='|' read -r what settings said <<<"$c" && IFS=',' read -ra settings <<<"$settings"
  rm -rf "$ca/failed" && cp -r "$newer" "$ca/failed"
  env "${settings[@]}" "$root/scripts/dist" "$ca/failed" 1.0.1 >"$ca/log" 2>&1
  code=$? left="$(diff -r "$newer" "$ca/failed" 2>&1; ls -A "$(dirname "$ca/failed")" | grep '^\.dist-stage')"
  if [ "$code" != 0 ] && grep -qF "$said" "$ca/log" && [ "$(grep -c . "$ca/log")" = 1 ] &&
     ! grep -qF -e "$SIGN_PASSWORD" -e "$pin" "$ca/log" && [ -z "$left" ]; then
    ok "signing with $what: dist fails ($code), says '$said' in one line, leaves the earlier set as it was"
  else fail "signing with $what: exit $code, left '$left', said: $(tr '\n' ' ' <"$ca/log")"; fi
done
kill "$tsa" && wait "$tsa" 2>/dev/null
tsa=

# ---------------------------------------------------------------- 32-bit package
if msiexec /i "$msi86"; then ok "x86 package: silent install succeeded"; else fail "x86 package: msiexec /i exited with $?"; fi
check_installed "x86 1.0" 1.0.0 x86
# The same version for the other architecture replaces it in place; asked to, it becomes the
# installing user's screen saver until it is removed.
if msiexec /i "$msi64" MAKECURRENT=1; then ok "x64 1.0 installed over x86 1.0"; else fail "x64 1.0 over x86 1.0: msiexec /i failed"; fi
check_installed "x64 over x86" 1.0.0 both
if [ "$(current_saver)" = 'C:\windows\system32\orvane.scr' ]; then ok "MAKECURRENT=1 makes it the current screen saver"; else fail "MAKECURRENT=1: current screen saver '$(current_saver)'"; fi
msiexec /x "$msi64" || fail "x64 1.0: msiexec /x exited with $?"
check_removed "last uninstall"
if [ -z "$(current_saver)" ]; then ok "uninstall takes it out of the current screen saver"; else fail "after uninstall the current screen saver is '$(current_saver)'"; fi

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
