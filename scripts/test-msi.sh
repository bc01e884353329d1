#!/usr/bin/env bash
# The Windows Installer package as an administrator deploys it, under Wine in a
# fresh prefix, with a stand-in navigator in a Navigator folder whose name has
# spaces: refused installs, install with and without the default, the provider
# used through the default, repair, the same version twice, upgrade and downgrade,
# a failing registration rolled back, and uninstall back to the registry as it was.
#   test-msi.sh BUILD_DIR     (win64, or win32 where 32-bit code runs)
set -uo pipefail
build="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
preset="$(basename "$build")"
export NRW_WINEARCH="$preset"
prefix="$(cd "$build" && pwd)/msi-prefix"
work=$(mktemp -d)
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
rm -rf "$prefix" "$prefix.lock"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
bash "$here/scripts/build-msi.sh" "$build" "$version" "$work" >/dev/null || exit 1
bash "$here/scripts/build-msi.sh" "$build" 0.9.0 "$work" >/dev/null || exit 1
current=$(ls "$work"/nrw-bridge-"$version"-*.msi)
older=$(ls "$work"/nrw-bridge-0.9.0-*.msi)
win() { printf 'Z:%s' "$1" | tr / '\\'; }

run() { bash "$here/cmake/wine-run.sh" "$prefix" - "$@"; }
# msiexec's status as a shell sees it: 1603 -> 67, 1627 -> 91. It returns before
# the processes it started for the package have all gone: they are waited for.
msi() {
  local status
  run msiexec "$@" /qn >>"$work/msiexec.out" 2>&1
  status=$?
  wait_while_prefix_runs "$prefix" msiexec 60
  echo $status
}

run cmd /c exit || exit 1
navigator_win='C:\Program Files\Norrow Navigator'
navigator="$prefix/drive_c/Program Files/Norrow Navigator"
mkdir -p "$navigator" "$prefix/drive_c/Program Files/No Navigator Here"
cp "$build/stage/nrwnavigator.exe" "$navigator/"
navigator_sum=$(md5sum <"$navigator/nrwnavigator.exe")
tools="$navigator_win\\nrwapis"

# Our keys in both views and the installed-programs entries that name us.
snapshot() {
  local view key
  for view in 32 64; do
    for key in 'HKLM\Software\SourceCodeControlProvider' 'HKLM\Software\Corvane'; do
      run reg query "$key" /s /reg:$view 2>/dev/null | tr -d '\r'
    done
    run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view \
      2>/dev/null | tr -d '\r' | grep -A1 'Norrow Navigator IDE bridge'
  done
}
reg_value() { # key name
  run reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"
}
installed_version() {
  run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ {ours=0} /DisplayName.*Norrow Navigator IDE bridge/ {ours=1}
      ours && /DisplayVersion/ {print $3}'
}
files_present() { [ -f "$navigator/nrwapis/libnrwscc.dll" ] && [ -f "$navigator/nrwapis/libnrwapis.dll" ] &&
  [ -f "$navigator/nrwapis/nrwregister.exe" ] && [ -f "$navigator/nrwapis/nrwhost.exe" ] &&
  [ -f "$navigator/nrwapis/nrw-bridge-guide.txt" ]; }
navigator_untouched() { [ "$(md5sum <"$navigator/nrwnavigator.exe")" = "$navigator_sum" ] &&
  [ "$(ls -A "$navigator")" = "nrwnavigator.exe" ]; }
default_provider() { reg_value 'HKLM\Software\SourceCodeControlProvider' ProviderRegKey; }
ours='SOFTWARE\Corvane\NorrowNavigator'

passed=0 failed=0
expect() { # description, then a command that must succeed
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok   $what"
  else
    failed=$((failed + 1)); echo "FAIL $what"
  fi
}
# Whether an msiexec log (UTF-16 under Wine) holds the text.
in_log() { tr -d '\0\r' <"$1" | grep -q -- "$2"; }
same() { [ "$1" = "$2" ] || { diff <(echo "$1") <(echo "$2") | head -20; false; }; }
# On a busy machine a read of the registry can come back empty (its program could
# not start): a value that is not yet the one expected is read again, until a
# deadline, and what it last was is shown.
settles() { # expected, then the command that prints the value
  local expected="$1" actual deadline=$((SECONDS + 60))
  shift
  until actual=$("$@"); [ "$actual" = "$expected" ] || [ $SECONDS -ge $deadline ]; do sleep 1; done
  same "$expected" "$actual"
}
# A state to compare with later: read until two reads in a row agree.
steady() {
  local last now deadline=$((SECONDS + 60))
  last=$("$@")
  until now=$("$@"); [ "$now" = "$last" ] || [ $SECONDS -ge $deadline ]; do last=$now; sleep 1; done
  printf '%s\n' "$now"
}
health_check() { run "$tools\\nrwregister.exe" check >"$work/check.out"; }
# Uninstall puts back every registry value as it was before the install (another
# provider's default included) and leaves the Navigator alone.
# The registry as before the install; if not, what the unregistration did.
registry_back() {
  settles "$before" snapshot && return 0
  tr -d '\0\r' <"$work/uninstall.log" | grep -E 'UnregisterProvider|RegisterToolInPackage'
  return 1
}
uninstall_leaves_all_as_before() {
  expect "uninstall" test "$(msi /x "$(win "$current")" /l*v "$(win "$work/uninstall.log")")" = 0
  expect "the registry is as before" registry_back
  expect "the navigator is untouched" navigator_untouched
}

echo "== a failing registration is rolled back"
run "$(win "$PWD/$build/tests/volatile_key.exe")" 'SOFTWARE\SourceCodeControlProvider'
before=$(steady snapshot)
status=$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1 /l*v "$(win "$work/failed.log")")
expect "install fails with 1603 (status $status)" test "$status" = 67
expect "the log says why" in_log "$work/failed.log" \
  'the registration failed: nrwregister install: cannot change the registry: error 1021'
expect "no file is left" navigator_untouched
expect "the registry is as before" settles "$before" snapshot
run reg delete 'HKLM\Software\SourceCodeControlProvider' /f >/dev/null 2>&1

echo "== refused without a navigator"
before=$(steady snapshot)
expect "without NAVIGATORDIR: 1603" test "$(msi /i "$(win "$current")" /l*v "$(win "$work/unset.log")")" = 67
expect "the log says how to set it" in_log "$work/unset.log" "NAVIGATORDIR is not set. Set it to the folder"
expect "a folder without nrwnavigator.exe: 1603" \
  test "$(msi /i "$(win "$current")" 'NAVIGATORDIR=C:\Program Files\No Navigator Here' /l*v "$(win "$work/none.log")")" = 67
expect "the log names the folder" in_log "$work/none.log" \
  'nrwnavigator.exe is not in NAVIGATORDIR (C:\\Program Files\\No Navigator Here)'
expect "nothing is written" navigator_untouched
expect "the registry is as before" settles "$before" snapshot

# Hosts load plug-ins by ANSI paths of at most 259 characters: a folder where the
# longest installed path would be longer, or whose name the ANSI code page cannot
# hold, is refused before anything is written, and the log says why.
echo "== every installed path must be one that IDEs can load"
fits=$(printf 'f%.0s' $(seq 227))    # C:\ + 227 + \nrwapis\nrw-bridge-guide.txt = 259
long="${fits}g"
for folder in "$fits" "$long" "Навигатор"; do
  mkdir -p "$prefix/drive_c/$folder"
  cp "$build/stage/nrwnavigator.exe" "$prefix/drive_c/$folder/"
done
before=$(steady snapshot)
status=$(msi /i "$(win "$current")" "NAVIGATORDIR=C:\\$long" /l*v "$(win "$work/long.log")")
expect "a longest path of 260 characters: 1603 (status $status)" test "$status" = 67
expect "the log gives the length and the limit" in_log "$work/long.log" 'would be 260 characters long; IDEs load plug-ins, and the plug-in its library, by paths of at most 259'
expect "nothing is written there" test ! -e "$prefix/drive_c/$long/nrwapis"
status=$(msi /i "$(win "$current")" "NAVIGATORDIR=C:\\Навигатор" /l*v "$(win "$work/ansi.log")")
expect "a name the ANSI code page cannot hold: 1603 (status $status)" test "$status" = 67
expect "the log says so" in_log "$work/ansi.log" "ANSI code page"
expect "nothing is written there" test ! -e "$prefix/drive_c/Навигатор/nrwapis"
expect "the registry is as before" settles "$before" snapshot
expect "259 characters install and register" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=C:\\$fits" DEFAULTPROVIDER=1)" = 0
expect "the default provider is ours" settles "$ours" default_provider
expect "uninstall" test "$(msi /x "$(win "$current")")" = 0
expect "the registry is as before" settles "$before" snapshot
rm -rf "$prefix/drive_c/$fits" "$prefix/drive_c/$long" "$prefix/drive_c/Навигатор"

echo "== another provider is the default; install without taking it"
run reg add 'HKLM\Software\SourceCodeControlProvider\InstalledSCCProviders' /v 'Other Provider' \
  /d 'SOFTWARE\OtherVendor\Other' /f >/dev/null
run reg add 'HKLM\Software\OtherVendor\Other' /v SCCServerPath /d 'C:\other.dll' /f >/dev/null
touch "$prefix/drive_c/other.dll"   # the other default's plug-in, there as the health check wants
run reg add 'HKLM\Software\SourceCodeControlProvider' /v ProviderRegKey \
  /d 'SOFTWARE\OtherVendor\Other' /f >/dev/null
before=$(steady snapshot)
expect "silent install" test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win")" = 0
expect "the files are in the Navigator's nrwapis folder" files_present
expect "listed as a provider" settles "$ours" \
  reg_value 'HKLM\Software\SourceCodeControlProvider\InstalledSCCProviders' 'Corvane Norrow Navigator'
expect "the other default stays" settles 'SOFTWARE\OtherVendor\Other' default_provider
expect "installed programs list version $version" settles "$version" installed_version
expect "the health check passes" eventually 60 health_check
uninstall_leaves_all_as_before

echo "== install as the default, use, repair, install again"
expect "silent install with DEFAULTPROVIDER=1" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
expect "the default provider is ours" settles "$ours" default_provider
mkdir -p "$prefix/drive_c/project"
echo "int main;" >"$prefix/drive_c/project/main.c"
host_status() {
  run "$tools\\nrwhost.exe" --project 'C:\project' status 'C:\project\main.c' | tr -d '\r' >"$work/status.out"
  grep -q 'C:\\project\\main.c$' "$work/status.out"
}
expect "the host's status through the default provider" eventually 60 host_status
echo "     the host printed: $(cat "$work/status.out")"
installed=$(steady snapshot)
rm "$navigator/nrwapis/libnrwapis.dll"
expect "repair" test "$(msi /i "$(win "$current")" REINSTALL=ALL REINSTALLMODE=omus)" = 0
expect "repair put the deleted library back" files_present
expect "the same version again" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
expect "the registry is as installed" settles "$installed" snapshot
uninstall_leaves_all_as_before

echo "== another folder while installed is refused"
before=$(steady snapshot)
expect "install" test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win")" = 0
installed=$(steady snapshot)
other_navigator="$prefix/drive_c/Other Navigator"
mkdir -p "$other_navigator"
cp "$build/stage/nrwnavigator.exe" "$other_navigator/"
status=$(msi /i "$(win "$current")" 'NAVIGATORDIR=C:\Other Navigator' /l*v "$(win "$work/other.log")")
expect "the same version into another folder: 1603 (status $status)" test "$status" = 67
expect "the log says where it is installed" in_log "$work/other.log" \
  'the bridge is installed in C:\\Program Files\\Norrow Navigator\\nrwapis. Uninstall it first'
expect "nothing is written there" test ! -e "$other_navigator/nrwapis"
expect "the registry is as installed" settles "$installed" snapshot
uninstall_leaves_all_as_before
rm -rf "$other_navigator"

echo "== DEFAULTPROVIDER=0 does not make us the default"
run reg add 'HKLM\Software\SourceCodeControlProvider' /v ProviderRegKey \
  /d 'SOFTWARE\OtherVendor\Other' /f >/dev/null
before=$(steady snapshot)
expect "silent install with DEFAULTPROVIDER=0" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=0)" = 0
expect "the other default stays" settles 'SOFTWARE\OtherVendor\Other' default_provider
uninstall_leaves_all_as_before

# Uninstall needs none of the installed files: the package carries its own tool.
echo "== uninstall after the nrwapis folder was deleted"
expect "install as the default" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
rm -rf "$navigator/nrwapis"
uninstall_leaves_all_as_before

echo "== uninstall after the whole Navigator folder was deleted"
expect "install as the default" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
mv "$navigator" "$work/navigator-kept"
expect "uninstall" test "$(msi /x "$(win "$current")")" = 0
expect "the registry is as before" settles "$before" snapshot
mv "$work/navigator-kept" "$navigator"

echo "== uninstall after the Navigator was moved and registered from its new place"
expect "install as the default" \
  test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
moved="$prefix/drive_c/Program Files/Navigator Moved"
mv "$navigator" "$moved"
expect "registered again from the new place" \
  run 'C:\Program Files\Navigator Moved\nrwapis\nrwregister.exe' install --default
expect "uninstall" test "$(msi /x "$(win "$current")")" = 0
expect "the registry is as before" settles "$before" snapshot
rm -rf "$moved/nrwapis"
mv "$moved" "$navigator"
expect "the navigator is untouched" navigator_untouched

echo "== upgrade from 0.9.0 in place, downgrade refused"
expect "install 0.9.0 as the default" \
  test "$(msi /i "$(win "$older")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
expect "upgrade to $version, the folder remembered" test "$(msi /i "$(win "$current")")" = 0
expect "installed programs list $version only" settles "$version" installed_version
expect "still the default provider" settles "$ours" default_provider
expect "the files are in place" files_present
expect "0.9.0 over $version is refused" test "$(msi /i "$(win "$older")")" != 0
# The x86 package (built by the test command before this one) shares the
# nrwapis folder and is refused before anything of it runs.
other="$build/../win32/package/nrw-bridge-$version-x86.msi"
if [ "$preset" = win64 ] && [ -f "$other" ]; then
  expect "$(basename "$other") beside it is refused" test "$(msi /i "$(win "$(cd "$(dirname "$other")" && pwd)/$(basename "$other")")" "NAVIGATORDIR=$navigator_win")" = 67
fi
expect "$version stays" settles "$version" installed_version
uninstall_leaves_all_as_before

echo "installer: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
