#!/usr/bin/env bash
# Runs a Windows test program under Wine with one prefix per build folder.
# usage: wine-run.sh PREFIX DLL_FOLDER PROGRAM [ARGS...]
#
# The prefix's server and services are started once, detached from the caller's
# standard streams, so CTest does not wait on daemons that inherited its pipes.
set -u
export WINEPREFIX="$1"
# Test programs find the client library where it is installed; "-" leaves the
# search path alone, for programs that must find it as a host would.
if [ "$2" != "-" ]; then
    export WINEPATH="Z:$(printf '%s' "$2" | tr / '\\')"
fi
shift 2
export WINEARCH="${NRW_WINEARCH:-win32}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"

warm_up() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        # Without a window manager each DestroyWindow stalls for seconds unless
        # Wine manages the windows itself.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -p120 >/dev/null 2>&1
    if [ $? -ne 2 ]; then
        wine cmd /c exit >/dev/null 2>&1
    fi
}

mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    warm_up 9>&- </dev/null
) 9>"$WINEPREFIX.lock"

exec wine "$@"
