#!/usr/bin/env bash
# A signed release: scripts/dist given a throwaway authority's code-signing certificate and its
# encrypted key makes packages whose MSIs and programs verify against that authority, with a
# SHA256SUMS that checks; a wrong password, another certificate's key, a certificate for
# servers and a signature that fails each stop it, saying why, and leave no package behind.
# The signed packages (version 1.0.1, in WORK_DIR/dist) are what e2e_packages upgrades to.
#   dist_signing_test.sh WORK_DIR
set -uo pipefail
work="${1:?usage: dist_signing_test.sh WORK_DIR}"
rm -rf "$work" && mkdir -p "$work/ca" && work="$(cd "$work" && pwd)"
# shellcheck source=tests/e2e/lib.sh
. "$(dirname "$0")/lib.sh"

cd "$work/ca" || exit 1
export SIGN_PASSWORD='two words; $HOME "quoted"'
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj '/CN=Test authority' \
  -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign 2>/dev/null
for use in codeSigning serverAuth; do
  openssl req -newkey rsa:2048 -passout env:SIGN_PASSWORD -keyout "$use.key" -subj "/CN=Tov $use" 2>/dev/null |
    openssl x509 -req -CA ca.pem -CAkey ca.key -days 2 -extfile <(echo "extendedKeyUsage=$use") -out "$use.pem" 2>/dev/null
done
export SIGN_CERT="$work/ca/codeSigning.pem" SIGN_KEY="$work/ca/codeSigning.key"

dist="$work/dist"
"$root/scripts/dist" "$dist" 1.0.1 >"$work/dist.log" 2>&1 || fail "signed dist: $(cat "$work/dist.log")"
unzip -q "$dist/orvane-1.0.1-windows.zip" -d "$work" 2>/dev/null
unverified=""
for f in "$dist"/Orvane-1.0.1-{x64,x86}.msi "$work"/orvane-1.0.1-windows/{64,32}-bit/{orvane.scr,proptool.exe}; do
  verified="$(osslsigncode verify -CAfile ca.pem -in "$f" 2>&1)" && grep -q '^Message digest algorithm *: SHA256' <<<"$verified" ||
    unverified+=" ${f#"$work"/}"
done
if [ -z "$unverified" ]; then
  ok "both MSIs, both savers and both proptool.exe carry SHA-256 signatures that verify against the authority"
else
  fail "not signed by the authority with SHA-256:$unverified"
fi
if (cd "$dist" && sha256sum -c --quiet SHA256SUMS) &&
   [ "$(cut -d' ' -f3- "$dist/SHA256SUMS" | tr '\n' ' ')" = "Orvane-1.0.1-x64.msi Orvane-1.0.1-x86.msi orvane-1.0.1-windows.zip " ]; then
  ok "SHA256SUMS lists the three packages and sha256sum -c checks them"
else
  fail "SHA256SUMS: $(cat "$dist/SHA256SUMS")"
fi

# An osslsigncode that fails on MSIs, so a signature fails when the programs are signed.
mkdir -p "$work/failing" && printf '#!/bin/sh\ncase "$*" in *.msi*) echo "no MSI signed" >&2; exit 1;; esac\nexec %s "$@"\n' \
  "$(command -v osslsigncode)" >"$work/failing/osslsigncode" && chmod +x "$work/failing/osslsigncode"
# Each: what is wrong | the settings that make it so (split at ";") | what dist says. The
# folder holds an earlier run's signed packages.
for c in "a wrong password|SIGN_PASSWORD=wrong|cannot be read with SIGN_PASSWORD (wrong password?)" \
         "another certificate's key|SIGN_KEY=$work/ca/serverAuth.key|is not the key of the certificate" \
         "a certificate for servers|SIGN_CERT=$work/ca/serverAuth.pem;SIGN_KEY=$work/ca/serverAuth.key|is not for code signing" \
         "an unreachable time-stamp server|SIGN_TIMESTAMP_URL=http://127.0.0.1:9/|signing 64-bit/orvane.scr failed" \
         "a failing MSI signature|PATH=$work/failing:$PATH|signing Orvane-1.0.1-x64.msi failed"; do
  IFS='|' read -r what settings said <<<"$c"
  rm -rf "$work/failed" && cp -r "$dist" "$work/failed"
  IFS=';' read -ra settings <<<"$settings"
  env "${settings[@]}" "$root/scripts/dist" "$work/failed" 1.0.1 >"$work/failed.log" 2>&1
  code=$?
  left="$(ls -A "$work/failed")"
  if [ "$code" != 0 ] && grep -qF "$said" "$work/failed.log" && ! grep -qF "$SIGN_PASSWORD" "$work/failed.log" && [ -z "$left" ]; then
    ok "$what: dist fails ($code), says '$said' and leaves no package"
  else
    fail "$what: exit $code, left '$left', said: $(tr '\n' ' ' <"$work/failed.log")"
  fi
done

if [ "$failures" -ne 0 ]; then echo "$failures check(s) failed" >&2; exit 1; fi
echo "all checks passed"
