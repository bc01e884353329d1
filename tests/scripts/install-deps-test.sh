#!/usr/bin/env bash
# scripts/install-deps.sh against a stand-in apt-get, dpkg and dpkg-query earlier
# in PATH that play a package mirror caught in mid-sync, as seen on a fresh
# machine: every scenario ends with what the 64-bit suites need installed, and
# 32-bit Wine either installed or written off with apt's reason.
set -uo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stand-ins keep the installed packages in $FAKE_STATE/installed and every
# apt-get call in $FAKE_STATE/calls. FAKE_SCENARIO steers them:
#   heals      the first update fails, the second reads every list
#   mirror     every update fails on the i386 security list; wine32:i386 resolves
#              only with the versions of one suite
#   no-wine32  as mirror, and wine32:i386 never resolves
#   broken     as mirror, and the 64-bit packages cannot be installed either
mkdir -p "$work/bin"
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_STATE/calls"
pinned=no
for arg; do
  case $arg in Dir::Etc::Preferences=*) cat "${arg#*=}" >>"$FAKE_STATE/calls"; pinned=yes ;; esac
done
mirror_error() {
  echo "Err:6 http://mirror/debian-security bookworm-security/main i386 Packages"
  echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]"
  echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  exit 100
}
case " $* " in
  *" update "*)
    updates=$(grep -c ' update' "$FAKE_STATE/calls")
    if [ "$FAKE_SCENARIO" != heals ] || [ "$updates" -eq 1 ]; then mirror_error; fi
    exit 0 ;;
  *" install "*)
    packages=$(printf '%s\n' "$@" | grep -v -e '^-' -e '=' -e '^install$')
    if grep -qx 'wine32:i386' <<<"$packages" && [ "$FAKE_SCENARIO" != heals ]; then
      if [ $pinned = no ] || [ "$FAKE_SCENARIO" = no-wine32 ] || [ "$FAKE_SCENARIO" = broken ]; then
        echo " libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not installable"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
      fi
    fi
    if [ "$FAKE_SCENARIO" = broken ] && grep -qx 'wine64' <<<"$packages"; then
      echo "E: Unable to locate package wine64"; exit 100
    fi
    printf '%s\n' "$packages" >>"$FAKE_STATE/installed"
    exit 0 ;;
esac
exit 1
FAKE
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
grep -qx -- "${!#}" "$FAKE_STATE/installed" 2>/dev/null && printf 'install ok installed'
exit 0
FAKE
cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
echo i386
FAKE
chmod +x "$work/bin/"*

source "$here/tests/scripts/checks.sh"
lacks() { ! grep -q -- "$2" "$1"; }

run_scenario() { # scenario; sets $state, $out, $status
  state="$work/$1"
  mkdir -p "$state"
  : >"$state/calls"
  printf 'cmake\n' >"$state/installed"
  out="$state/out"
  FAKE_STATE="$state" FAKE_SCENARIO="$1" PATH="$work/bin:$PATH" NRW_APT_RETRY_PAUSE=0 \
    NRW_WINE32_NOTE="$state/note" NRW_WINE32_LOADER="$state/no-loader" \
    bash "$here/scripts/install-deps.sh" >"$out" 2>&1
  status=$?
}
probe() { NRW_WINE32_NOTE="$state/note" NRW_WINE32_LOADER="$state/no-loader" \
  bash "$here/scripts/runs-32bit.sh" >"$state/probe" 2>&1; echo $?; }

echo "== the mirror heals at the second update"
run_scenario heals
expect "exit 0" test $status = 0
expect "one failed try is reported" test "$(grep -c 'apt-get update, try' "$out")" = 1
expect "everything in one install, no pinned versions" test "$(grep -c ' install ' "$state/calls")" = 1
expect "wine32:i386 installed" has "$state/installed" '^wine32:i386$'
expect "no note" test ! -e "$state/note"

echo "== the i386 list stays unreadable: the 64-bit set, then wine32 from one suite"
run_scenario mirror
expect "exit 0" test $status = 0
expect "three tries of the update" test "$(grep -c '^apt-get .* update' "$state/calls")" = 3
expect "says it installs from the lists that were read" has "$out" 'stay unreadable (mirror in mid-sync?)'
expect "says why 32-bit Wine is pinned" has "$out" "wine32:i386 does not resolve (E: Unable to correct problems"
without_wine32() { grep ' install -y ' "$state/calls" | grep wine64 | grep -vq wine32; }
expect "the 64-bit set is installed without wine32" without_wine32
expect "wine32 is installed with one suite's versions" has "$state/calls" 'Pin: release n=bookworm'
expect "and downgrades allowed" has "$state/calls" 'install -y --allow-downgrades'
expect "the lock of another apt is waited for" has "$state/calls" 'DPkg::Lock::Timeout'
expect "wine64 and xvfb installed" grep -qx xvfb "$state/installed"
expect "wine32:i386 installed" has "$state/installed" '^wine32:i386$'

echo "== 32-bit Wine cannot be installed: skipped with apt's reason"
run_scenario no-wine32
expect "exit 0" test $status = 0
expect "the 64-bit set is installed" grep -qx wine64 "$state/installed"
expect "the note gives apt's error" has "$state/note" 'could not be installed: apt-get: E: Unable to correct problems'
expect "the run says the 32-bit suite will be skipped" has "$out" 'the 32-bit Wine suite will be skipped'
expect "the probe answers 3 (skip)" test "$(probe)" = 3
expect "the probe gives the reason" has "$state/probe" 'apt-get: E: Unable to correct problems'

echo "== what the 64-bit suites need cannot be installed: a failure"
run_scenario broken
expect "exit non-zero" test $status != 0
expect "names the package" has "$out" 'could not be installed: .*wine64'

echo "install-deps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
