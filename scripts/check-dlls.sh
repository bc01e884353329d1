#!/usr/bin/env bash
# The DLLs a host loads must need nothing but Windows itself, and must export
# their interface by plain names.
set -euo pipefail
build="$1"
objdump=i686-w64-mingw32-objdump
allowed='^(KERNEL32|msvcrt|USER32|ADVAPI32)\.dll$'
status=0
for dll in "$build"/stage/nrwapis/*.dll "$build"/stage/*.exe; do
  while read -r name; do
    if ! [[ "$name" =~ $allowed ]]; then
      echo "check-dlls: $dll imports $name" >&2
      status=1
    fi
  done < <("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}')
done
exports=$("$objdump" -p "$build/stage/nrwapis/libnrwapis.dll" | grep -c ' nrw_api_' || true)
if [ "$exports" -ne 22 ]; then
  echo "check-dlls: libnrwapis.dll exports $exports nrw_api_* functions, not 22" >&2
  status=1
fi
exit $status
