#!/usr/bin/env bash
# Builds the Windows DLLs and drives them under Wine the way an IDE does: a
# command-line host loads the plug-in by full path and runs a short session
# against the stand-in helper, then the trace file is shown.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 --target nrwhost >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/log" "$work/trace"
export NRWH_LOG_DIR="$work/log"
export NRWH_STATE_FILE="$work/demo.state"
export CRVN_NRWAPIS_TRACE_DIR="$work/trace"

# A small project whose files the IDE session works on; Wine sees / as drive Z:.
mkdir -p "$work/project"
for file in main.c util.c notes.txt; do echo "// $file" > "$work/project/$file"; done
project="Z:$(printf '%s' "$work/project" | tr / '\\')"

prefix="$PWD/build/win32/wineprefix"
xvfb-run -a bash -c "bash cmake/wine-run.sh '$prefix' - build/win32/tools/nrwhost.exe demo \
  '$PWD/build/win32/stage' '$project'; status=\$?; WINEPREFIX='$prefix' wineserver -k; exit \$status"

echo "== trace file"
cat "$work"/trace/*.txt | tr -d '\r'
