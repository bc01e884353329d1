# Shell helpers shared by the scripts; sourced, never run.

# Whether a process of the Wine prefix runs whose command line holds the text.
prefix_runs() { # prefix, text
  local pid
  for pid in $(pgrep -f "$2"); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$1" && return 0
  done
  return 1
}

# Waits, at most the given seconds, until no such process runs.
wait_while_prefix_runs() { # prefix, text, seconds
  local deadline=$((SECONDS + $3))
  while prefix_runs "$1" "$2" && [ $SECONDS -lt "$deadline" ]; do sleep 0.2; done
}

# Runs a command again until it succeeds or the seconds have passed, for reads
# and idempotent commands whose program may fail to start on a busy machine.
eventually() { # seconds, command...
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 1
  done
}

# The product of both Windows builds as it goes into a Navigator folder: the
# 32-bit files in nrwapis, the 64-bit ones in nrwapis64. Prints the version.
product_image() { # folder holding the win32 and win64 builds, image folder
  local version="" found preset
  rm -rf "$2"
  for preset in win32 win64; do
    found=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/$preset/CMakeCache.txt" 2>/dev/null)
    if [ -z "$found" ]; then
      echo "the $preset build is missing from $1: both are needed (cmake --build --preset $preset)" >&2
      return 1
    fi
    if [ -n "$version" ] && [ "$found" != "$version" ]; then
      echo "$1/win32 is version $version, $1/win64 $found: build both from the same sources" >&2
      return 1
    fi
    version=$found
    cmake --install "$1/$preset" --prefix "$2" >/dev/null || return 1
  done
  echo "$version"
}

# What a Windows build folder (build/win32, build/win64) is: sets `preset`,
# `bits` (32, 64), `msi_arch` (x86, x64), `objdump` (of its mingw-w64
# toolchain) and `product_folder` (nrwapis, nrwapis64: where its files go in
# a Navigator folder). False, with a message, for any other folder.
windows_build() { # build folder
  preset="$(basename "$1")"
  case "$preset" in
    win64) bits=64 msi_arch=x64 objdump=x86_64-w64-mingw32-objdump product_folder=nrwapis64 ;;
    win32) bits=32 msi_arch=x86 objdump=i686-w64-mingw32-objdump product_folder=nrwapis ;;
    *) echo "$1 is not a Windows build folder (build/win32 or build/win64)" >&2; return 1 ;;
  esac
}

# Whether this machine runs 32-bit Windows programs (scripts/runs-32bit.sh):
# sets `runs_32bit` (yes, no), `reason32` (why not) and `kernel_refuses_32bit`
# (yes where the kernel runs no 32-bit code, which emulation can mend); false
# where the 32-bit loader is broken.
probe_32bit() {
  local status=0
  reason32=$(bash "$(dirname "${BASH_SOURCE[0]}")/runs-32bit.sh") || status=$?
  kernel_refuses_32bit=no
  case $status in
    0) runs_32bit=yes ;;
    3) runs_32bit=no ;;
    4) runs_32bit=no kernel_refuses_32bit=yes ;;
    *) echo "the 32-bit Wine loader is broken on this machine" >&2; return 1 ;;
  esac
}

# How 32-bit programs run in this run, for the summaries: natively, or through
# the emulator the test command set up (NRW_32BIT_EMULATED).
how_32bit_runs() {
  [ "${NRW_32BIT_EMULATED:-no}" = yes ] && echo "under user-mode emulation" || echo "natively"
}

# A path of this machine as Wine's programs see it (drive Z:).
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }

# Our registry keys in both views, and the installed-programs entries that name
# us, as reg prints them: a state to compare before and after.
registry_snapshot() { # Wine prefix
  local view key run=(bash "$(dirname "${BASH_SOURCE[0]}")/../cmake/wine-run.sh" "$1" -)
  for view in 32 64; do
    for key in 'HKLM\Software\SourceCodeControlProvider' 'HKLM\Software\Corvane'; do
      "${run[@]}" reg query "$key" /s /reg:$view 2>/dev/null | tr -d '\r'
    done
    "${run[@]}" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view \
      2>/dev/null | tr -d '\r' | grep -A1 'Norrow Navigator IDE bridge'
  done
  true
}
