#!/usr/bin/env bash
# Runs a Windows suite under Wine; ends the Wine server of the build's prefix
# afterwards so that it does not outlive the virtual display it was started on.
set -uo pipefail
build="$1"
preset="$(basename "$build")"
prefix="$PWD/$build/wineprefix"

ctest --preset "$preset"
status=$?
# A test that fails is run once more, and the number of such tests is printed
# for every suite, so that a flake shows instead of hiding; the second run
# decides.
failed_log="$build/Testing/Temporary/LastTestsFailed.log"
if [ $status -ne 0 ] && [ -s "$failed_log" ]; then
  names=$(cut -d: -f2- "$failed_log" | tr '\n' ' ')
  echo "ctest-wine: $(wc -l <"$failed_log") test(s) of $preset needed a second run: $names"
  ctest --preset "$preset" --rerun-failed
  status=$?
else
  echo "ctest-wine: 0 tests of $preset needed a second run"
fi
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
if [ "$preset" = win32 ]; then
  source "$(dirname "$0")/lib.sh"
  echo "ctest-wine: 32-bit code ran $(how_32bit_runs)"
fi
exit $status
