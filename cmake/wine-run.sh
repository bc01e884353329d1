#!/usr/bin/env bash
# Runs a Windows program under Wine with one prefix per build folder.
# usage: wine-run.sh PREFIX DLL_FOLDER PROGRAM [ARGS...]
#
# NRW_WINEARCH (win32 or win64, default win32) picks the prefix's kind and the Wine
# loader. The loader is called directly: the `wine` wrapper picks the 32-bit
# loader whenever it is installed, even for 64-bit programs, and so fails
# for them on machines that run no 32-bit code. Everything that runs a Windows
# program (tests, prefix set-up, reg, the demo) goes through here.
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
case "$WINEARCH" in
    win64) export WINELOADER=/usr/lib/wine/wine64 ;;
    win32) export WINELOADER=/usr/lib/wine/wine ;;
    *) echo "wine-run: NRW_WINEARCH must be win32 or win64, not '$WINEARCH'" >&2; exit 2 ;;
esac
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=;winedbg.exe=d}"

warm_up() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot -i >/dev/null 2>&1
        # Without a window manager each DestroyWindow stalls for seconds unless
        # Wine manages the windows itself.
        "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        wineserver -w
    fi
    wineserver -p120 >/dev/null 2>&1
    if [ $? -ne 2 ]; then
        "$WINELOADER" cmd /c exit >/dev/null 2>&1
    fi
}

mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    warm_up 9>&- </dev/null
) 9>"$WINEPREFIX.lock"

exec "$WINELOADER" "$@"
