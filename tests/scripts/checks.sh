# What the shell tests of the set-up scripts share; sourced, never run.
# `expect` counts each check in `passed` or `failed` and prints it.
passed=0 failed=0
expect() { # description, then a command that must succeed
  local what="$1"
  shift
  if "$@"; then passed=$((passed + 1)); echo "ok   $what"; else failed=$((failed + 1)); echo "FAIL $what"; fi
}
# Whether the file holds the text.
has() { grep -q -- "$2" "$1"; }
