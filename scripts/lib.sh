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
