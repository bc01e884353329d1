#!/usr/bin/env bash
# Builds every target and runs every suite this machine can run: native (with
# sanitizers), the Windows DLLs under Wine inside a virtual X display, the
# packages (ZIP and MSI, the MSI installed under Wine), and the fuzz targets. A machine that runs no 32-bit code builds and checks the 32-bit
# DLLs but cannot run them; that suite is then reported as skipped, never passed.
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
reason=$reason32

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
for windows in win32 win64; do
  if [ "$windows" = win32 ] && [ $runs_32bit = no ]; then
    skipped+=("win32 Wine suite and x86 installer under Wine: SKIPPED, not run and not passed: $reason")
    echo "test: ${skipped[-1]}"
    continue
  fi
  xvfb-run -a bash scripts/ctest-wine.sh "build/$windows"
  (source build/signing-test/pkcs12.env && xvfb-run -a bash scripts/test-msi.sh "build/$windows")
done
if [ $runs_32bit = no ]; then
  skipped+=("the 32-bit halves of the x64 installer tests (32-bit hosts, 32-bit registration, the x86 package's replacement): SKIPPED, each listed by test-msi: $reason")
fi

# The three fuzz targets under libFuzzer (the response decoder, the framing
# reader, the PE image reader): the seed corpus, then a few seconds each.
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz

echo "test: every suite this machine can run passed"
for line in "${skipped[@]}"; do echo "test: $line"; done
