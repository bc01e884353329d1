#!/usr/bin/env bash
# Builds the Windows DLLs and drives them under Wine the way an IDE does: a
# command-line host loads the plug-in by full path and runs a whole session
# against the stand-in helper, and the trace file is shown. Then the installer
# for 64-bit Windows puts the product into a Norrow Navigator folder of a fresh
# 64-bit Wine prefix (the stand-in plays the navigator), registers it as the
# default for 32-bit and 64-bit IDEs, checks its health, uses it from the shell
# through the default provider with a host of each architecture (the 32-bit one
# where 32-bit code runs) and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# The 32-bit build where this machine runs 32-bit code, the 64-bit one otherwise.
source scripts/lib.sh
probe_32bit || exit 1
if [ $runs_32bit = yes ]; then
  arch=win32; echo "== demo on the 32-bit build (win32)"
else
  arch=win64; echo "== demo on the 64-bit build (win64): $reason32"
fi
export NRW_WINEARCH=$arch
cmake --preset $arch >/dev/null
cmake --build --preset $arch >/dev/null
# The package for 64-bit Windows carries the products of both builds.
for other in win32 win64; do
  [ $other = $arch ] && continue
  cmake --preset $other >/dev/null
  cmake --build --preset $other --target nrwapis nrwscc nrwregister nrwhost nrwsetup nrwnavigator >/dev/null
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/log" "$work/trace"
export NRWH_LOG_DIR="$work/log"
export NRWH_STATE_FILE="$work/demo.state"
export CRVN_NRWAPIS_TRACE_DIR="$work/trace"

# A small project whose files the IDE session works on; Wine sees / as drive Z:.
mkdir -p "$work/project"
for file in main.c util.c notes.txt; do echo "// $file" > "$work/project/$file"; done
project=$(windows_path "$work/project")

prefix="$PWD/build/$arch/wineprefix"
status=0
xvfb-run -a bash cmake/wine-run.sh "$prefix" - build/$arch/tools/nrwhost.exe demo \
  "$PWD/build/$arch/stage" "$project" || status=$?
# The prefix's server must not outlive the display it was started on.
WINEPREFIX="$prefix" wineserver -k || true
[ $status -eq 0 ] || exit $status

echo "== trace file"
cat "$work"/trace/*.txt | tr -d '\r'
unset CRVN_NRWAPIS_TRACE_DIR NRWH_LOG_DIR

echo "== the installer for 64-bit Windows, into a Norrow Navigator folder in a fresh 64-bit Wine prefix"
msi=$(bash scripts/build-msi.sh build/win64 | sed -n 's/^build-msi: //p')
# A host of each architecture (the 32-bit one where 32-bit code runs), each
# through the default provider of its own registry view.
hosts=('C:\Program Files\Norrow Navigator\nrwapis64')
if [ $runs_32bit = yes ]; then
  hosts+=('C:\Program Files\Norrow Navigator\nrwapis')
else
  echo "(the 32-bit host in nrwapis is not run: $reason32)"
fi
xvfb-run -a bash scripts/demo-install.sh "$work/prefix" "$msi" build/win64/stage/nrwnavigator.exe \
  "$project" "${hosts[@]}"
