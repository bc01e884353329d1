#!/usr/bin/env bash
# The demo's installer part, run inside a virtual display: the x64 package into
# a Norrow Navigator folder of a fresh 64-bit Wine prefix (the stand-in helper
# plays the navigator), as the default provider; the list and the health check;
# each given host (a folder holding nrwhost.exe) through the default provider of
# its registry view; uninstall, and the registry compared with before.
#   demo-install.sh PREFIX MSI NAVIGATOR_PROGRAM PROJECT HOST_FOLDER...
# (PROJECT and the host folders as Windows paths)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
prefix="$1" msi="$2" navigator_program="$3" project="$4"
shift 4
export NRW_WINEARCH=win64
navigator="$prefix/drive_c/Program Files/Norrow Navigator"
tools='C:\Program Files\Norrow Navigator\nrwapis64'
# Each step is shown with its exit status; the demo goes on after a failed one.
run() {
  local status=0
  echo "> $*"
  bash "$here/cmake/wine-run.sh" "$prefix" - "$@" || status=$?
  echo "  (exit $status)"
}

bash "$here/cmake/wine-run.sh" "$prefix" - cmd /c exit
mkdir -p "$navigator"
cp "$navigator_program" "$navigator/"
before=$(registry_snapshot "$prefix")
run msiexec /i "$(windows_path "$msi")" /qn 'NAVIGATORDIR=C:\Program Files\Norrow Navigator' \
  DEFAULTPROVIDER=1
run "$tools\\nrwregister.exe" list
run "$tools\\nrwregister.exe" check
for host in "$@"; do
  run "$host\\nrwhost.exe" info
  run "$host\\nrwhost.exe" --project "$project" status "$project\\main.c" "$project\\helpers.c" \
    "$project\\notes.txt"
done
run msiexec /x "$(windows_path "$msi")" /qn
echo "left in the Navigator's folder: $(ls "$navigator")"
after=$(registry_snapshot "$prefix")
if [ "$before" = "$after" ]; then
  echo "registry: as it was before the install"
else
  echo "registry: changed"
  diff <(echo "$before") <(echo "$after") || true
fi
WINEPREFIX="$prefix" wineserver -k
