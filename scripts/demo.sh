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

echo "== the installer for 64-bit Windows, into a Norrow Navigator folder in a fresh 64-bit Wine prefix"
export NRW_WINEARCH=win64
msi=$(bash scripts/build-msi.sh build/win64 | sed -n 's/^build-msi: //p')
navigator="$work/prefix/drive_c/Program Files/Norrow Navigator"
tools='C:\Program Files\Norrow Navigator\nrwapis64'
tools32='C:\Program Files\Norrow Navigator\nrwapis'
# A host of each architecture (the 32-bit one where 32-bit code runs), each
# through the default provider of its own registry view.
host_lines=""
for folder in "$tools" "$tools32"; do
  [ "$folder" = "$tools32" ] && [ $arch != win32 ] && continue
  host_lines+="run '$folder\\nrwhost.exe' info"$'\n'
  host_lines+="run '$folder\\nrwhost.exe' --project '$project' status '$project\\main.c' '$project\\helpers.c' '$project\\notes.txt'"$'\n'
done
cat > "$work/session.sh" <<SESSION
set -u
run() { echo "> \$*"; bash cmake/wine-run.sh '$work/prefix' - "\$@"; echo "  (exit \$?)"; }
registry() { for key in SourceCodeControlProvider Corvane; do for view in 32 64; do
  bash cmake/wine-run.sh '$work/prefix' - reg query "HKLM\\\\Software\\\\\$key" /s /reg:\$view 2>/dev/null | tr -d '\r'
  done; done; }
bash cmake/wine-run.sh '$work/prefix' - cmd /c exit
# The user's Navigator, played here by the stand-in helper (never shipped).
mkdir -p '$navigator'
cp build/win64/stage/nrwnavigator.exe '$navigator/'
registry > '$work/registry.before'
run msiexec /i '$(windows_path "$msi")' /qn 'NAVIGATORDIR=C:\Program Files\Norrow Navigator' DEFAULTPROVIDER=1
run '$tools\\nrwregister.exe' list
run '$tools\\nrwregister.exe' check
$host_lines
[ $arch = win32 ] || echo "(the 32-bit host in nrwapis is not run: $reason)"
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
