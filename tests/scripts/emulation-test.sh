#!/usr/bin/env bash
# scripts/emulate-32bit.sh as the test command uses it: an emulation that cannot
# be set up is refused with its reason and leaves binfmt_misc as it was; the
# entry it makes goes when its owner ends, however that ends; an entry of
# someone else's, or one of ours whose run is alive, is left alone. The entries
# made here match a pattern no program has, so no program on the machine runs
# through them while the test runs.
#   emulation-test.sh WORK_DIR
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
emulate="$here/scripts/emulate-32bit.sh"
binfmt=/proc/sys/fs/binfmt_misc
work="${1:?usage: emulation-test.sh WORK_DIR}"
rm -rf "$work" && mkdir -p "$work" && work="$(cd "$work" && pwd)"
# (the caller's own choices, NRW_NO_EMULATION=1 say, must not decide the cases)
unset NRW_NO_EMULATION NRW_QEMU_I386 NRW_EMULATION_PROOF_SECONDS
export NRW_BINFMT_MAGIC='NRW-EMULATION-TEST'
export NRW_BINFMT_MASK=''

skip_all() { echo "emulation: SKIPPED, not run and not passed: $1"; exit 0; }
[ "$(id -u)" = 0 ] || skip_all "it registers with binfmt_misc, which needs root"
was_mounted=no
[ -e "$binfmt/register" ] && was_mounted=yes
if [ $was_mounted = no ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || skip_all "binfmt_misc cannot be mounted here"
  umount "$binfmt"
fi
listing() { ls "$binfmt" 2>/dev/null | xargs; }
before=$(listing)

source "$here/tests/scripts/checks.sh"
# binfmt_misc as it was: the same entries, mounted or not as before.
as_before() {
  [ "$(listing)" = "$before" ] || { echo "     binfmt_misc holds: $(listing); before: $before"; return 1; }
  local mounted=no
  [ -e "$binfmt/register" ] && mounted=yes
  [ $mounted = $was_mounted ] || { echo "     mounted: $mounted; before: $was_mounted"; return 1; }
}
gone_within() { # seconds, entry
  local deadline=$((SECONDS + $1))
  while [ -e "$binfmt/$2" ]; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}
process_gone_within() { # seconds, pid (a zombie counts as gone)
  local deadline=$((SECONDS + $1))
  while [ -n "$(ps -o stat= -p "$2" | grep -v Z)" ]; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.2; done
}
# A stand-in qemu-i386 that tells a version and runs nothing.
fake_qemu() { # version
  printf '#!/bin/sh\necho "qemu-i386 version %s (stand-in)"\n' "$1" >"$work/qemu-$1"
  chmod +x "$work/qemu-$1"
  echo "$work/qemu-$1"
}
# An owner whose end the guard must notice: a process of its own.
start_owner() { sleep 600 & owner=$!; }

echo "== refused, with the reason, where emulation cannot or must not be set up"
status=0
out=$(NRW_NO_EMULATION=1 bash "$emulate" start "$work/off" $$) || status=$?
expect "NRW_NO_EMULATION=1: exit 3 (status $status)" test $status = 3
expect "and says so" grep -q 'switched off for this run (NRW_NO_EMULATION=1)' <<<"$out"
status=0
out=$(NRW_QEMU_I386="$(fake_qemu 7.2.0)" bash "$emulate" start "$work/old" $$) || status=$?
expect "a qemu-i386 7.2: exit 3 (status $status)" test $status = 3
expect "the reason names the version and the one needed" \
  grep -q 'is version 7.2.0; a 32-bit prefix needs qemu 8.1 or later' <<<"$out"
expect "binfmt_misc is as before" as_before

echo "== the entry goes with its owner"
start_owner
expect "registered" bash "$emulate" register "$work/killed" $owner /bin/true
name="nrw-qemu-i386-$owner"
expect "the entry is there, with the interpreter opened at registration" \
  grep -qx 'flags: F' "$binfmt/$name"
{ kill -9 $owner; wait $owner; } 2>/dev/null
expect "the owner killed: the guard removes the entry" gone_within 10 "$name"
expect "binfmt_misc is as before" as_before

echo "== stop removes ours, and only ours"
# Someone else's entry, made before the run: it must stay.
foreign=nrw-other-tool
[ $was_mounted = yes ] || mount -t binfmt_misc binfmt_misc "$binfmt"
printf '%s' ":$foreign:M::NRW-OTHER-TOOL::/bin/true:" >"$binfmt/register"
# An entry of ours whose run is alive (another checkout's run, say).
start_owner
alive=$owner
bash "$emulate" register "$work/alive" $alive /bin/true
# And one left by a run that is gone, guard and all.
printf '%s' ":nrw-qemu-i386-999999999:M::NRW-LEFT-BEHIND::/bin/true:" >"$binfmt/register"
start_owner
expect "registered" bash "$emulate" register "$work/stopped" $owner /bin/true
expect "an entry left by a run that is gone is removed at registration" \
  test ! -e "$binfmt/nrw-qemu-i386-999999999"
bash "$emulate" stop "$work/stopped"
expect "stop removes the entry" test ! -e "$binfmt/nrw-qemu-i386-$owner"
expect "the guard is gone with it" process_gone_within 5 "$(cat "$work/stopped/guard")"
expect "another tool's entry is left alone" test -e "$binfmt/$foreign"
expect "a live run's entry is left alone" test -e "$binfmt/nrw-qemu-i386-$alive"
expect "a second stop changes nothing" bash "$emulate" stop "$work/stopped"
kill $owner $alive
expect "the live run ends: its entry goes" gone_within 10 "nrw-qemu-i386-$alive"
echo -1 >"$binfmt/$foreign"
[ $was_mounted = yes ] || umount "$binfmt" 2>/dev/null
expect "binfmt_misc is as before" as_before

echo "emulation: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
