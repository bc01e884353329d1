#!/usr/bin/env bash
# Builds the ZIP of a Windows build and checks that it holds the product's layout.
set -euo pipefail
build="$1"
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/package/*.zip)
listing=$(cmake -E tar tf "$zip")
status=0
for entry in nrwnavigator.exe nrwhost.exe nrwregister.exe USER-GUIDE.txt \
             nrwapis/libnrwapis.dll nrwapis/libnrwscc.dll; do
  if ! grep -q "/$entry\$" <<<"$listing"; then
    echo "check-package: $zip lacks $entry" >&2
    status=1
  fi
done
[ $status -eq 0 ] && echo "check-package: $zip holds the product ($(wc -l <<<"$listing") entries)"
exit $status
