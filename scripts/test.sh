#!/usr/bin/env bash
# Builds every target and runs every suite this machine can run: native (with
# sanitizers), the Windows DLLs under Wine inside a virtual X display, the
# packages (ZIP and MSI, the MSI installed under Wine), and the fuzz targets.
# Where the kernel runs no 32-bit code, the 32-bit suites run through qemu's
# user-mode emulator (scripts/emulate-32bit.sh; NRW_NO_EMULATION=1 turns it
# off); where that cannot be set up either, the 32-bit DLLs are built and
# checked but not run, and those suites are reported as skipped, never passed.
set -euo pipefail
cd "$(dirname "$0")/.."
# The installer of the tools first, against a stand-in package manager; then for real.
bash tests/scripts/install-deps-test.sh
bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

source scripts/lib.sh
probe_32bit || exit 1

skipped=()
# Both Windows builds first: the x64 package and the ZIP carry both.
for windows in win32 win64; do
  cmake --preset "$windows"
  cmake --build --preset "$windows"
  bash scripts/check-dlls.sh "build/$windows"
  bash scripts/check-msi.sh "build/$windows"
done
bash scripts/check-package.sh build
# Both key sources with throwaway keys, a local timestamp service, and the
# verification; the installer tests then install packages signed that way.
bash tests/signing/test-signing.sh build

# Where the kernel runs no 32-bit code, qemu's user-mode emulator runs it, for
# this run alone: the entry it needs in binfmt_misc is machine-wide, so it is
# removed on every way out (a guard process removes it when this shell is killed).
bash tests/scripts/emulation-test.sh build/emulation-test
# A suite runs in the background, waited for, so that a signal to this shell is
# acted on at once rather than when the suite ends: its processes are ended,
# and the exit trap removes the entry.
suite() { "$@" & wait $!; }
descendants() { local child; for child in $(pgrep -P "$1"); do descendants "$child"; echo "$child"; done; }
interrupted() { kill $(descendants $$) 2>/dev/null || true; exit "$1"; }
how32=natively
# (NRW_FORCE_EMULATION=1: through the emulator even where the kernel runs it)
if { [ $runs_32bit = no ] && [ $kernel_refuses_32bit = yes ]; } || [ "${NRW_FORCE_EMULATION:-0}" = 1 ]; then
  trap 'bash scripts/emulate-32bit.sh stop build/emulation' EXIT
  trap 'interrupted 130' INT
  trap 'interrupted 143' TERM
  echo "test: ${reason32:-NRW_FORCE_EMULATION=1}; setting up user-mode emulation"
  if emulation=$(bash scripts/emulate-32bit.sh start build/emulation $$); then
    probe_32bit || exit 1
    [ $runs_32bit = yes ] || { echo "test: 32-bit programs still do not run: $reason32" >&2; exit 1; }
    how32="under user-mode emulation ($emulation)"
    export NRW_32BIT_EMULATED=yes
  else
    reason32="$reason32, and user-mode emulation could not be set up: $emulation"
  fi
fi
if [ $runs_32bit = yes ]; then
  echo "test: the 32-bit suites run $how32"
fi
reason=$reason32
for windows in win32 win64; do
  if [ "$windows" = win32 ] && [ $runs_32bit = no ]; then
    skipped+=("win32 Wine suite and x86 installer under Wine: SKIPPED, not run and not passed: $reason")
    echo "test: ${skipped[-1]}"
    continue
  fi
  suite xvfb-run -a bash scripts/ctest-wine.sh "build/$windows"
  suite xvfb-run -a bash scripts/locale-suite.sh "build/$windows"
  suite bash -c 'source build/signing-test/pkcs12.env && xvfb-run -a bash scripts/test-msi.sh "$1"' \
    test-msi "build/$windows"
done
# (the machine-wide entry lives no longer than the suites that need it)
bash scripts/emulate-32bit.sh stop build/emulation
if [ $runs_32bit = no ]; then
  skipped+=("the 32-bit halves of the x64 installer tests (32-bit hosts, 32-bit registration, the x86 package's replacement): SKIPPED, each listed by test-msi: $reason")
fi

# The three fuzz targets under libFuzzer (the response decoder, the framing
# reader, the PE image reader): the seed corpus, then a few seconds each.
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz

echo "test: every suite this machine can run passed"
[ $runs_32bit = yes ] && echo "test: the 32-bit suites ran $how32"
for line in "${skipped[@]}"; do echo "test: $line"; done
