#!/usr/bin/env bash
# Runs the Windows suite; ends the Wine server of the build's prefix afterwards so
# that it does not outlive the virtual display it was started on.
set -uo pipefail
build="$1"
preset="$(basename "$build")"
retry=()
# 64-bit Wine now and then fails to start a process under load ("Application could
# not be started", or CreateProcess failing inside a test); such a test gets one
# more run. The 32-bit suite runs without this.
[ "$preset" = win64 ] && retry=(--repeat until-pass:2)
ctest --preset "$preset" "${retry[@]}"
status=$?
WINEPREFIX="$PWD/$build/wineprefix" wineserver -k >/dev/null 2>&1 || true
exit $status
