#!/usr/bin/env bash
# Runs the Windows suite; ends the Wine server of the build's prefix afterwards so
# that it does not outlive the virtual display it was started on.
set -uo pipefail
build="$1"
ctest --preset "$(basename "$build")"
status=$?
WINEPREFIX="$PWD/$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
exit $status
