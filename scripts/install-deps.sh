#!/usr/bin/env bash
# Installs what the builds and tests need on Debian 12 (run as root). Does nothing
# slow when everything is present; fails loudly when something the 64-bit suites
# need cannot be installed.
#
# A package mirror caught in mid-sync can serve one package list that does not
# match its index ("File has unexpected size ... Mirror sync in progress?"). The
# update is then tried again a few times. When the i386 list stays unreadable, the
# i386 packages resolve only against the main suite while amd64 ones already stand
# at security versions, and wine32:i386 is "held broken". So everything else is
# installed first, then 32-bit Wine with the versions of one suite. If even that
# fails, the reason is written to the note file and the 32-bit Wine suite is
# skipped (scripts/runs-32bit.sh reads it), never counted as passed.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
note="${NRW_WINE32_NOTE:-$top/build/wine32-unavailable.txt}"
pause="${NRW_APT_RETRY_PAUSE:-10}"
tries=3

wine32=wine32:i386
packages=(
  cmake ninja-build g++ googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth
  clang libclang-rt-14-dev clang-format wixl msitools
  osslsigncode softhsm2 libengine-pkcs11-openssl openssl python3 locales
)

installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null || true)" = "install ok installed" ]; }
missing_of() {
  local package
  for package in "$@"; do installed "$package" || echo "$package"; done
}

mapfile -t missing < <(missing_of "${packages[@]}")
installed "$wine32" && rm -f "$note"
if [ ${#missing[@]} -eq 0 ] && installed "$wine32"; then exit 0; fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages ($(missing_of "${packages[@]}" "$wine32" | xargs)); run as root" >&2
  exit 1
fi
echo "install-deps: installing $(missing_of "${packages[@]}" "$wine32" | xargs)"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# Another apt on a shared machine holds the lock for a while: wait for it.
apt=(apt-get -q -o DPkg::Lock::Timeout=300)
log=$(mktemp)
trap 'rm -f "$log" "$log.pin"' EXIT

first_error() { grep -m1 -E '^(E:|Err:)' "$log" | tr -s ' ' || true; }

update_lists() {
  local try
  for try in $(seq "$tries"); do
    if "${apt[@]}" update >"$log" 2>&1 && ! grep -q '^[EW]: Failed to fetch' "$log"; then
      return 0
    fi
    echo "install-deps: apt-get update, try $try of $tries: $(grep -m1 -A1 '^Err:' "$log" | tail -n1 | sed 's/^ *//')"
    [ "$try" -lt "$tries" ] && sleep "$pause"
  done
  return 1
}

install_wine32() {
  installed "$wine32" && return 0
  "${apt[@]}" install -y "$wine32" >"$log" 2>&1 && return 0
  # The i386 twins of amd64 libraries already at newer versions are missing from
  # the lists: take wine and every library it pulls in from the main suite alone.
  local suite
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$suite" >"$log.pin"
  echo "install-deps: $wine32 does not resolve ($(first_error)); installing 32-bit Wine with the versions of '$suite' alone"
  "${apt[@]}" install -y --allow-downgrades -o Dir::Etc::Preferences="$log.pin" \
    wine wine64 "$wine32" >"$log" 2>&1 && return 0
  mkdir -p "$(dirname "$note")"
  echo "32-bit Wine could not be installed: apt-get: $(first_error)" >"$note"
  echo "install-deps: $(cat "$note"); the 32-bit Wine suite will be skipped" >&2
  return 1
}

lists_whole=yes
update_lists || {
  lists_whole=no
  echo "install-deps: some package lists stay unreadable (mirror in mid-sync?); installing from those that were read"
}
if [ $lists_whole = yes ] && "${apt[@]}" install -y "${missing[@]}" $(missing_of "$wine32"); then
  :
else
  # Everything the 64-bit suites need first, so that 32-bit Wine cannot hold it up.
  [ ${#missing[@]} -eq 0 ] || "${apt[@]}" install -y "${missing[@]}" || true
  install_wine32 || true
fi

mapfile -t missing < <(missing_of "${packages[@]}")
if [ ${#missing[@]} -ne 0 ]; then
  echo "install-deps: could not be installed: ${missing[*]}" >&2
  exit 1
fi
installed "$wine32" && rm -f "$note"
exit 0
