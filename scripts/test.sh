#!/usr/bin/env bash
# Builds both targets and runs both suites: native (with sanitizers) and the
# Windows DLLs under Wine inside a virtual X display.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake --preset native
cmake --build --preset native
ctest --preset native

for windows in win32 win64; do
  cmake --preset "$windows"
  cmake --build --preset "$windows"
  bash scripts/check-dlls.sh "build/$windows"
  bash scripts/check-package.sh "build/$windows"
  xvfb-run -a bash scripts/ctest-wine.sh "build/$windows"
done

# The decoder and the framing reader under libFuzzer: the seed corpus, then a few seconds each.
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
