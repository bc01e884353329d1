#!/usr/bin/env bash
# Builds the Windows ZIP of both builds and checks that it is the product as it
# goes into the user's Norrow Navigator folder: the 32-bit files in nrwapis\,
# the 64-bit ones in nrwapis64\, each of its architecture, so that it replaces
# no file of the Navigator, and no stand-in helper anywhere.
#   check-package.sh [BUILDS]   (the folder holding win32 and win64; default build)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/sign.sh"
builds="${1:-build}"
zip=$(bash "$here/scripts/build-zip.sh" "$builds" | sed -n 's/^build-zip: //p')
listing=$(cmake -E tar tf "$zip")
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
(cd "$unpacked" && cmake -E tar xf "$zip")
status=0
fail() { echo "check-package: $zip $*" >&2; status=1; }
expected="nrwapis/libnrwapis.dll nrwapis/libnrwscc.dll nrwapis/nrwregister.exe
nrwapis/nrwhost.exe nrwapis/nrw-bridge-guide.txt nrwapis64/libnrwapis.dll
nrwapis64/libnrwscc.dll nrwapis64/nrwregister.exe nrwapis64/nrwhost.exe"
for entry in $expected; do
  grep -qx "$entry" <<<"$listing" || fail "lacks $entry"
done
# Directory entries aside, nothing else.
unexpected=$(grep -v '/$' <<<"$listing" | grep -vxF -f <(tr ' ' '\n' <<<"$expected") || true)
[ -z "$unexpected" ] || fail "has entries it should not:" $unexpected
grep -qi 'nrwnavigator' <<<"$listing" && fail "must not carry a navigator program"
for file in "$unpacked"/nrwapis/*.dll "$unpacked"/nrwapis/*.exe; do
  i686-w64-mingw32-objdump -f "$file" | grep -q 'file format pei-i386' || fail "has a ${file#"$unpacked"/} that is not 32-bit"
done
for file in "$unpacked"/nrwapis64/*.dll "$unpacked"/nrwapis64/*.exe; do
  x86_64-w64-mingw32-objdump -f "$file" | grep -q 'file format pei-x86-64' || fail "has a ${file#"$unpacked"/} that is not 64-bit"
done
signing_configured || echo "check-package: unsigned: no signing key is configured (NRW_SIGN_PKCS12 or NRW_SIGN_PKCS11_MODULE)"
[ $status -eq 0 ] && echo "check-package: $zip holds the product of both architectures ($(wc -l <<<"$listing") entries)"
exit $status
