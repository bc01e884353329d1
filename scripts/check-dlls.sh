#!/usr/bin/env bash
# The DLLs a host loads must need nothing but Windows itself, and must export
# their interface by plain names.
set -euo pipefail
build="$1"
case "$(basename "$build")" in
  win64) objdump=x86_64-w64-mingw32-objdump ;;
  *) objdump=i686-w64-mingw32-objdump ;;
esac
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
expect_exports libnrwapis.dll 'nrw_api_[a-z_]+$' 22
expect_exports libnrwapis.dll '_ZN14NRWAPIS_Tracer' 13
expect_exports libnrwscc.dll 'Scc[A-Za-z]+$' 39
exit $status
