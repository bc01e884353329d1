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
set -euo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
export WINEPREFIX="$1"
# Test programs find the client library where it is installed; "-" leaves the
# search path alone, for programs that must find it as a host would.
if [ "$2" != "-" ]; then
    WINEPATH="$(windows_path "$2")"
    export WINEPATH
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

# A program that touches windows starts the prefix's desktop process when none
# runs, and that process inherits the program's standard error: CTest then waits
# for it to end, about a second after its last user, and under load (tests
# starting one after another keep the desktop busy) until the time-out. So a
# keeper that holds the desktop is started with the server, detached, and every
# test finds the desktop there. The keeper ends by itself after a while, so a
# prefix left alone still shuts down.
keeper_seconds=1800
system32='C:\windows\system32'
start_keeper() {
    # An idle command interpreter, fed a comment every few seconds until its
    # time is up or it is gone (the write then fails).
    # Its own process, not a subshell: a subshell would keep bash's copy of
    # the lock's descriptor and hold the lock for as long as it runs.
    bash -c 'for fed in $(seq 0 5 "$1"); do echo "rem $fed" || exit; sleep 5; done' \
        feeder "$keeper_seconds" 2>/dev/null |
        setsid "$WINELOADER" "$system32\\cmd.exe" /q /k rem nrw-keeper >/dev/null 2>&1 &
    local waited tenths=600
    [ "${NRW_32BIT_EMULATED:-no}" = yes ] && tenths=1800
    for waited in $(seq $tenths); do
        prefix_runs "$WINEPREFIX" 'explorer.exe /desktop' && return 0
        sleep 0.1
    done
    echo "wine-run: the desktop of $WINEPREFIX did not start" >&2
}

warm_up() {
    # The set-up steps are each tried once; what fails shows in the program's
    # own run, which follows.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        "$WINELOADER" wineboot -i >/dev/null 2>&1 || true
        # Without a window manager each DestroyWindow stalls for seconds unless
        # Wine manages the windows itself.
        "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 ||
            true
        # A service that has not answered its start within 10 s (Wine's default,
        # read as a string) fails with 1053, and whatever started it fails too:
        # a busy machine, or one that emulates 32-bit code, can take longer.
        "$WINELOADER" reg add 'HKLM\System\CurrentControlSet\Control' /v ServicesPipeTimeout \
            /t REG_SZ /d 120000 /f >/dev/null 2>&1 || true
        wineserver -w || true
    fi
    # A keeper whose desktop went with the display it was started on (a run
    # outside xvfb-run, or an earlier one's display) is replaced.
    prefix_runs "$WINEPREFIX" 'rem nrw-keeper' &&
        { [ -z "${DISPLAY:-}" ] || prefix_runs "$WINEPREFIX" 'explorer.exe /desktop'; } && return 0
    wineserver -p120 >/dev/null 2>&1 || true
    "$WINELOADER" "$system32\\cmd.exe" /c exit >/dev/null 2>&1 || true
    start_keeper
}

mkdir -p "$(dirname "$WINEPREFIX")"
(
    flock 9
    warm_up 9>&- </dev/null >/dev/null
) 9>"$WINEPREFIX.lock"

# A bare name (cmd, reg, msiexec) would be started through start.exe, one more
# process that searches for it: the system's own programs go by their full path.
case "$1" in
    */* | *\\*) ;;
    *) [ -e "$WINEPREFIX/drive_c/windows/system32/$1.exe" ] && set -- "$system32\\$1.exe" "${@:2}" ;;
esac
exec "$WINELOADER" "$@"
