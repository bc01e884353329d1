#!/usr/bin/env bash
# Builds the ZIP of a Windows build and checks that it is the product as it goes
# into the user's Norrow Navigator folder: everything inside nrwapis\, so that it
# replaces no file of the Navigator, and no stand-in helper anywhere.
set -euo pipefail
build="$1"
rm -rf "$build/package"
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/package/*.zip)
listing=$(cmake -E tar tf "$zip")
status=0
for entry in nrwapis/libnrwapis.dll nrwapis/libnrwscc.dll nrwapis/nrwregister.exe \
             nrwapis/nrwhost.exe nrwapis/nrw-bridge-guide.txt; do
  if ! grep -qx "$entry" <<<"$listing"; then
    echo "check-package: $zip lacks $entry" >&2
    status=1
  fi
done
if grep -v '^nrwapis/' <<<"$listing" | grep -q .; then
  echo "check-package: $zip has entries outside nrwapis/:" $(grep -v '^nrwapis/' <<<"$listing") >&2
  status=1
fi
if grep -qi 'nrwnavigator' <<<"$listing"; then
  echo "check-package: $zip must not carry a navigator program" >&2
  status=1
fi
[ $status -eq 0 ] && echo "check-package: $zip holds the product ($(wc -l <<<"$listing") entries)"
exit $status
