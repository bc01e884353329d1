#!/usr/bin/env bash
# Tells whether this machine runs 32-bit Windows programs under Wine. Some
# machines execute 64-bit user code only: there every i386 program fails with
# "Exec format error" (exit 126). On others 32-bit Wine may be missing because
# the package mirror would not let it be installed (scripts/install-deps.sh
# leaves the reason in the note file). Exit 0: it runs; 3: it cannot run here;
# 4: the kernel runs no 32-bit code, which user-mode emulation can mend
# (scripts/emulate-32bit.sh); the reason on standard output with 3 and 4; 1: the
# 32-bit loader is broken otherwise.
# NRW_FORCE_NO_32BIT=1 answers 3 without asking, to try the other path.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
note="${NRW_WINE32_NOTE:-$top/build/wine32-unavailable.txt}"
loader="${NRW_WINE32_LOADER:-/usr/lib/wine/wine}"
if [ "${NRW_FORCE_NO_32BIT:-0}" = 1 ]; then
  echo "32-bit code is switched off for this run (NRW_FORCE_NO_32BIT=1)"
  exit 3
fi
if [ ! -e "$loader" ] && [ -s "$note" ]; then
  cat "$note"
  exit 3
fi
status=0
output=$("$loader" --version 2>&1) || status=$?
[ $status -eq 0 ] && exit 0
if [ $status -eq 126 ] && grep -q 'Exec format error' <<<"$output"; then
  echo "this machine runs no 32-bit code ($loader: Exec format error)"
  exit 4
fi
echo "runs-32bit: $loader --version failed with exit $status: $output" >&2
exit 1
