#!/usr/bin/env bash
# Builds the Windows DLLs and drives them under Wine the way an IDE does: a
# command-line host loads the plug-in by full path and runs a whole session
# against the stand-in helper, and the trace file is shown. Then the installer
# puts the product into a Norrow Navigator folder of a fresh Wine prefix (the
# stand-in plays the navigator), registers it as the default, checks its health,
# uses it from the shell through the default provider and removes it again.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

# The 32-bit build where this machine runs 32-bit code, the 64-bit one otherwise.
set +e
reason=$(bash scripts/runs-32bit.sh)
probe=$?
set -e
case $probe in
  0) arch=win32; echo "== demo on the 32-bit build (win32)" ;;
  3) arch=win64; echo "== demo on the 64-bit build (win64): $reason" ;;
  *) exit 1 ;;
esac
export NRW_WINEARCH=$arch
cmake --preset $arch >/dev/null
cmake --build --preset $arch >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/log" "$work/trace"
export NRWH_LOG_DIR="$work/log"
export NRWH_STATE_FILE="$work/demo.state"
export CRVN_NRWAPIS_TRACE_DIR="$work/trace"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# A small project whose files the IDE session works on; Wine sees / as drive Z:.
mkdir -p "$work/project"
for file in main.c util.c notes.txt; do echo "// $file" > "$work/project/$file"; done
project=$(windows_path "$work/project")

prefix="$PWD/build/$arch/wineprefix"
xvfb-run -a bash -c "bash cmake/wine-run.sh '$prefix' - build/$arch/tools/nrwhost.exe demo \
  '$PWD/build/$arch/stage' '$project'; status=\$?; WINEPREFIX='$prefix' wineserver -k; exit \$status"

echo "== trace file"
cat "$work"/trace/*.txt | tr -d '\r'
unset CRVN_NRWAPIS_TRACE_DIR NRWH_LOG_DIR

echo "== the installer, into a Norrow Navigator folder in a fresh Wine prefix"
msi=$(bash scripts/build-msi.sh build/$arch | sed -n 's/^build-msi: //p')
navigator="$work/prefix/drive_c/Program Files/Norrow Navigator"
tools='C:\Program Files\Norrow Navigator\nrwapis'
cat > "$work/session.sh" <<SESSION
set -u
run() { echo "> \$*"; bash cmake/wine-run.sh '$work/prefix' - "\$@"; echo "  (exit \$?)"; }
registry() { for key in SourceCodeControlProvider Corvane; do
  bash cmake/wine-run.sh '$work/prefix' - reg query "HKLM\\\\Software\\\\\$key" /s 2>/dev/null | tr -d '\r'; done; }
bash cmake/wine-run.sh '$work/prefix' - cmd /c exit
# The user's Navigator, played here by the stand-in helper (never shipped).
mkdir -p '$navigator'
cp build/$arch/stage/nrwnavigator.exe '$navigator/'
registry > '$work/registry.before'
run msiexec /i '$(windows_path "$msi")' /qn 'NAVIGATORDIR=C:\Program Files\Norrow Navigator' DEFAULTPROVIDER=1
run '$tools\\nrwregister.exe' list
run '$tools\\nrwregister.exe' check
run '$tools\\nrwhost.exe' info
run '$tools\\nrwhost.exe' --project '$project' status '$project\\main.c' '$project\\helpers.c' '$project\\notes.txt'
run msiexec /x '$(windows_path "$msi")' /qn
echo "left in the Navigator's folder: \$(ls '$navigator')"
registry > '$work/registry.after'
if cmp -s '$work/registry.before' '$work/registry.after'; then
  echo "registry: as it was before the install"
else
  echo "registry: changed"; diff '$work/registry.before' '$work/registry.after'
fi
WINEPREFIX='$work/prefix' wineserver -k
SESSION
xvfb-run -a bash "$work/session.sh"
