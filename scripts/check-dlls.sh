#!/usr/bin/env bash
# The DLLs a host loads must need nothing but Windows itself, and must export
# their interface by plain names.
#   check-dlls.sh BUILD_DIR   (build/win32 or build/win64)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
[ $# -eq 1 ] || { echo "usage: check-dlls.sh build/win32|build/win64" >&2; exit 2; }
build="$1"
windows_build "$build" || exit 2
allowed='^(KERNEL32|msvcrt|USER32|ADVAPI32|ntdll)\.dll$'
status=0
for dll in "$build"/stage/nrwapis/*.dll "$build"/stage/*.exe; do
  while read -r name; do
    if ! [[ "$name" =~ $allowed ]]; then
      echo "check-dlls: $dll imports $name" >&2
      status=1
    fi
  done < <("$objdump" -p "$dll" | awk '/DLL Name:/ {print $3}')
done
count_exports() {
  "$objdump" -p "$build/stage/nrwapis/$1" | grep -cE "^\s+\[ *[0-9]+\] $2" || true
}
expect_exports() {
  local found
  found=$(count_exports "$1" "$2")
  if [ "$found" -ne "$3" ]; then
    echo "check-dlls: $1 exports $found names matching $2, not $3" >&2
    status=1
  else
    echo "check-dlls: $1 exports $found names matching $2"
  fi
}
# The tools carry a manifest that asks to run as invoked: without one Windows
# redirects a tool's registry writes made without elevation to a private copy,
# and a registration that went nowhere would report success.
for tool in "$build/stage/nrwapis/nrwregister.exe" "$build/tools/nrwhost.exe"; do
  if grep -q 'requestedExecutionLevel level="asInvoker"' "$tool" &&
     "$objdump" -p "$tool" | grep -q 'Entry: ID: 0x000018'; then
    echo "check-dlls: $(basename "$tool") has a manifest that runs it as invoked"
  else
    echo "check-dlls: $tool has no manifest with requestedExecutionLevel asInvoker" >&2
    status=1
  fi
done
expect_exports libnrwapis.dll 'nrw_api_[a-z_]+$' 22
expect_exports libnrwapis.dll '_ZN14NRWAPIS_Tracer' 13
expect_exports libnrwscc.dll 'Scc[A-Za-z]+$' 39
exit $status
