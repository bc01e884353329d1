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
