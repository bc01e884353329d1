#!/usr/bin/env bash
# Runs 32-bit programs through qemu's user-mode emulator where the kernel runs
# none itself ("IA-32 emulation off"), for as long as one test run lasts.
#
#   emulate-32bit.sh start STATE_DIR OWNER_PID
#       Fetches a qemu-i386 of version 8.1 or later from Debian (backports where
#       the release's own is older; older ones cannot bring up a 32-bit prefix),
#       registers it for i386 programs in binfmt_misc, and proves it with one
#       command in a throwaway 32-bit Wine prefix. Exit 0 with qemu's version on
#       standard output; 3 with the reason where any step fails, nothing left
#       registered.
#   emulate-32bit.sh stop STATE_DIR
#       Stops the Wine of this checkout that runs through the entry, then
#       removes the entry, and unmounts binfmt_misc where this run mounted it.
#   emulate-32bit.sh register STATE_DIR OWNER_PID INTERPRETER
#       The registration alone (no fetch, no proof), for the tests.
#
# The entry is machine-wide: while it exists every i386 program on the machine
# runs through it. So it carries the owner's process id in its name, and a guard
# process started with it removes it when the owner is gone, however the owner
# ended (a kill included). An entry this run did not make is never touched.
#
# NRW_NO_EMULATION=1 refuses at once. NRW_QEMU_I386 names a qemu-i386 to use
# instead of fetching one. NRW_EMULATION_PROOF_SECONDS bounds the proof (300).
# NRW_BINFMT_MAGIC and NRW_BINFMT_MASK replace the i386 pattern, so that a test
# can register an entry that no program on the machine matches.
set -uo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
binfmt=/proc/sys/fs/binfmt_misc
entry_prefix=nrw-qemu-i386-
# An i386 ELF executable or shared object (e_ident, e_type 2 or 3, e_machine 3).
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
minimum_version=8.1

refuse() { echo "$*"; exit 3; }

# "qemu-i386 version 10.0.2 (Debian ...)" -> 10.0.2
qemu_version_of() { "$1" --version 2>/dev/null | sed -n '1s/.*version \([0-9][0-9.]*\).*/\1/p'; }

new_enough() { dpkg --compare-versions "$1" ge "$minimum_version"; }

# --- fetching ---------------------------------------------------------------

# apt options that read the release's backports suite from lists of our own, so
# that the machine's sources and lists stay as they are.
private_apt() { # folder
  echo -o "Dir::Etc::SourceList=$1/sources.list" -o Dir::Etc::SourceParts=/nonexistent \
    -o "Dir::State::Lists=$1/lists" -o "Dir::Cache=$1/cache" -o APT::Sandbox::User=root
}

# Every version of qemu-user apt knows, "version<TAB>where", the newest first.
qemu_user_versions() { # apt options...
  apt-cache "$@" madison qemu-user 2>/dev/null | awk -F' *[|] *' '{print $2 "\t" $3}'
}

backports_lists() { # folder; false where none could be read
  local codename site try
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  site=$(apt-get indextargets --format '$(RELEASE) $(SITE)' 2>/dev/null |
    awk -v r="$codename" '$1 == r {print $2; exit}')
  [ -n "$codename" ] && [ -n "$site" ] || return 1
  mkdir -p "$1/lists/partial" "$1/cache/archives/partial"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $site $codename-backports main" \
    >"$1/sources.list"
  # (a mirror caught in mid-sync answers again a little later)
  for try in 1 2 3; do
    # shellcheck disable=SC2046
    apt-get -q $(private_apt "$1") update >"$1/update.log" 2>&1 &&
      ! grep -q '^[EW]: Failed to fetch' "$1/update.log" && return 0
    sleep 5
  done
  return 1
}

# The newest qemu-user of at least the minimum in the release's own lists or
# its backports: "version<TAB>apt options" on standard output.
choose_qemu_user() { # folder
  local version where
  backports_lists "$1" || true
  # shellcheck disable=SC2046
  while IFS=$'\t' read -r version where; do
    new_enough "${version#*:}" || continue
    case $where in
      *-backports*) echo "$version	$(private_apt "$1")" ;;
      *) echo "$version	" ;;
    esac
    return 0
  done < <({ qemu_user_versions $(private_apt "$1"); qemu_user_versions; } | sort -t$'\t' -k1,1 -rV)
  return 1
}

# Puts qemu-i386 into the folder, from Debian's qemu-user package, and prints
# its path; a reason on standard output and false where it cannot.
fetch_qemu() { # folder
  local chosen version options deb
  if [ -n "${NRW_QEMU_I386:-}" ]; then
    echo "$NRW_QEMU_I386"
    return 0
  fi
  local cached="$1/qemu-i386"
  if [ -x "$cached" ] && new_enough "$(qemu_version_of "$cached")"; then
    echo "$cached"
    return 0
  fi
  if ! chosen=$(choose_qemu_user "$1/apt"); then
    echo "no qemu-user of $minimum_version or later is in Debian's lists (found: $(qemu_user_versions | cut -f1 | xargs))"
    return 1
  fi
  version=${chosen%%	*} options=${chosen#*	}
  rm -f "$1"/apt/qemu-user_*.deb
  # shellcheck disable=SC2086
  if ! (cd "$1/apt" && apt-get -q $options download "qemu-user=$version") >"$1/download.log" 2>&1; then
    echo "qemu-user $version could not be downloaded: $(grep -m1 -E '^(E|Err):' "$1/download.log")"
    return 1
  fi
  deb=$(ls "$1"/apt/qemu-user_*.deb)
  if ! dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/qemu-i386 >"$cached.part" 2>/dev/null ||
    [ ! -s "$cached.part" ]; then
    echo "qemu-user $version holds no usr/bin/qemu-i386"
    return 1
  fi
  chmod 755 "$cached.part" && mv "$cached.part" "$cached" && rm -f "$deb"
  echo "$cached"
}

# --- the entry --------------------------------------------------------------

ours() { [ -e "$state/entry" ] && cat "$state/entry"; }

owner_of() { local name="$1"; echo "${name#"$entry_prefix"}"; }

# Entries of ours whose run is gone without removing them (its guard killed too).
remove_orphans() {
  local path name
  for path in "$binfmt/$entry_prefix"*; do
    [ -e "$path" ] || continue
    name=$(basename "$path")
    kill -0 "$(owner_of "$name")" 2>/dev/null && continue
    echo -1 >"$path" 2>/dev/null && echo "emulate-32bit: removed $name, left by a run that is gone" >&2
  done
}

mount_binfmt() {
  [ -e "$binfmt/register" ] && return 0
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>"$state/mount.err" ||
    { echo "binfmt_misc cannot be mounted: $(head -1 "$state/mount.err")"; return 1; }
  touch "$state/mounted"
}

register() { # owner pid, interpreter
  local name="$entry_prefix$1" interpreter
  interpreter=$(readlink -f "$2")
  case $interpreter in *:*) echo "the interpreter's path holds a colon: $interpreter"; return 1 ;; esac
  [ "$(id -u)" = 0 ] || { echo "registering an interpreter needs root"; return 1; }
  mount_binfmt || return 1
  remove_orphans
  printf '%s' ":$name:M::${NRW_BINFMT_MAGIC:-$i386_magic}:${NRW_BINFMT_MASK-$i386_mask}:$interpreter:F" \
    >"$binfmt/register" 2>"$state/register.err" ||
    { echo "binfmt_misc refused the entry: $(head -1 "$state/register.err")"; unmount_if_ours; return 1; }
  echo "$name" >"$state/entry"
  echo "$interpreter" >"$state/interpreter"
  setsid bash "$0" guard "$state" "$1" </dev/null >>"$state/guard.log" 2>&1 &
  echo $! >"$state/guard"
}

# The guard: once the owner is gone, the entry goes too.
guard() { # owner pid
  while kill -0 "$1" 2>/dev/null && [ -e "$state/entry" ]; do sleep 1; done
  stop from-guard
}

unmount_if_ours() {
  [ -e "$state/mounted" ] || return 0
  # Only where nothing else is registered: entries live as long as the mount.
  [ -z "$(ls "$binfmt" | grep -vx -e register -e status)" ] && umount "$binfmt" 2>/dev/null
  rm -f "$state/mounted"
}

# Ends every Wine prefix of this checkout that has a process running through our
# interpreter, and waits until they are gone.
stop_wine() {
  local interpreter pid exe prefixes=() prefix deadline
  interpreter=$(cat "$state/interpreter" 2>/dev/null) || return 0
  processes_through_ours() {
    for pid in $(ls /proc | grep -x '[0-9]*'); do
      exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || continue
      [ "${exe% (deleted)}" = "$interpreter" ] || continue
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | sed -n "s|^WINEPREFIX=\($top/.*\)|$pid \1|p"
    done
  }
  while read -r pid prefix; do prefixes+=("$prefix"); done < <(processes_through_ours)
  for prefix in $(printf '%s\n' "${prefixes[@]}" | sort -u); do
    WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1
  done
  deadline=$((SECONDS + 15))
  while [ -n "$(processes_through_ours)" ] && [ $SECONDS -lt $deadline ]; do sleep 0.5; done
  processes_through_ours | while read -r pid prefix; do kill -9 "$pid" 2>/dev/null; done
}

stop() { # [from-guard]
  exec 8>>"$state/lock"
  flock 8
  local name
  name=$(ours) || return 0
  stop_wine
  [ -e "$binfmt/$name" ] && echo -1 >"$binfmt/$name"
  rm -f "$state/entry"
  unmount_if_ours
  [ "${1:-}" = from-guard ] || kill "$(cat "$state/guard" 2>/dev/null)" 2>/dev/null
  true
}

# --- the proof --------------------------------------------------------------

prove() {
  local proof="$state/proof-prefix" seconds="${NRW_EMULATION_PROOF_SECONDS:-300}" status=0
  rm -rf "$proof"
  WINEPREFIX="$proof" WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINEDEBUG=-all \
    WINEDLLOVERRIDES='mscoree,mshtml=' timeout -k 10 "$seconds" \
    /usr/lib/wine/wine 'C:\windows\system32\cmd.exe' /c exit 0 </dev/null >"$state/proof.log" 2>&1 ||
    status=$?
  WINEPREFIX="$proof" timeout 30 wineserver -k >/dev/null 2>&1
  rm -rf "$proof"
  case $status in
    0) return 0 ;;
    124 | 137) echo "a 32-bit command in a fresh prefix did not end within $seconds s" ;;
    *) echo "a 32-bit command in a fresh prefix failed (exit $status): $(tr -d '\r' <"$state/proof.log" | grep -m1 .)" ;;
  esac
  return 1
}

start() { # owner pid
  local qemu version reason started=$SECONDS
  [ "${NRW_NO_EMULATION:-0}" = 1 ] && refuse "emulation is switched off for this run (NRW_NO_EMULATION=1)"
  [ "$(id -u)" = 0 ] || refuse "emulation needs root, to register qemu-i386 with binfmt_misc"
  mount_binfmt >"$state/reason" || refuse "$(cat "$state/reason")"
  qemu=$(fetch_qemu "$state") || { unmount_if_ours; refuse "$qemu"; }
  version=$(qemu_version_of "$qemu")
  if [ -z "$version" ] || ! new_enough "$version"; then
    unmount_if_ours
    refuse "$qemu is version ${version:-unknown}; a 32-bit prefix needs qemu $minimum_version or later"
  fi
  reason=$(register "$1" "$qemu") || refuse "$reason"
  if ! reason=$(prove); then
    stop
    refuse "the emulation was set up but not usable: $reason"
  fi
  echo "qemu-i386 $version, proven in $((SECONDS - started)) s"
}

command="${1:-}"
state="${2:-}"
[ -n "$state" ] || { echo "usage: emulate-32bit.sh start|stop|register STATE_DIR [OWNER_PID [INTERPRETER]]" >&2; exit 2; }
mkdir -p "$state"
state="$(cd "$state" && pwd)"
case $command in
  start) start "${3:?the owner process id}" ;;
  stop) stop ;;
  guard) guard "$3" ;;
  register) register "${3:?the owner process id}" "${4:?the interpreter}" || exit 3 ;;
  *) echo "emulate-32bit: unknown command '$command'" >&2; exit 2 ;;
esac
