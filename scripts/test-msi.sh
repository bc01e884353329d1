#!/usr/bin/env bash
# The Windows Installer package as an administrator deploys it, under Wine in a
# fresh prefix, with a stand-in navigator in a Navigator folder whose name has
# spaces: refused installs, install with and without the default, the provider
# used through the default, repair, the same version twice, upgrade and downgrade,
# a failing registration rolled back, and uninstall back to the registry as it was;
# and the package as a user starts it by a double click, its dialogs driven.
# On 64-bit Windows (win64) one installation serves 32-bit and 64-bit IDEs: a host
# of each architecture through the MSI and through the ZIP, the x86 package
# refused, and the upgrade from the 1.0.0 x64 package; where 32-bit code cannot
# run, what needs it is reported as skipped.
#   test-msi.sh BUILD_DIR     (win64 with the win32 build beside it, or win32
#                              where 32-bit code runs)
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
windows_build "$build" || exit 2
export NRW_WINEARCH="$preset"
build_folder="$(cd "$build" && pwd)"
prefix="$build_folder/msi-prefix"
work=$(mktemp -d)
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
rm -rf "$prefix" "$prefix.lock"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
bash "$here/scripts/build-msi.sh" "$build" "$version" "$work" >/dev/null || exit 1
bash "$here/scripts/build-msi.sh" "$build" 0.9.0 "$work" >/dev/null || exit 1
current=$(ls "$work"/nrw-bridge-"$version"-*.msi)
# With a signing key configured the packages and their files are signed, and a
# signature that kept a file from loading would fail the host sessions below.
source "$here/scripts/sign.sh"
if signing_configured; then
  # (its status is no answer: the test root is not one this machine trusts)
  grep -q '^Signature Index: 0' <<<"$(osslsigncode verify -in "$current" 2>&1 || true)" ||
    { echo "test-msi: $current was to be signed, and is not" >&2; exit 1; }
  echo "== installing a signed package ($(signing_source)), its files signed"
fi
older=$(ls "$work"/nrw-bridge-0.9.0-*.msi)
win() { windows_path "$1"; }

run() { bash "$here/cmake/wine-run.sh" "$prefix" - "$@"; }
# How long a step that waits for Wine may take at most: longer where 32-bit
# code is emulated, whose programs start several times slower (on success no
# step waits for its bound).
patience=60
[ "${NRW_32BIT_EMULATED:-no}" = yes ] && patience=180
# msiexec's status as a shell sees it: 1603 -> 67, 1627 -> 91. It returns before
# the processes it started for the package have all gone: they are waited for.
# Now and then Wine fails to start it at all: it then writes no log (one of its
# own where the caller asks for none), and it is started again, which is shown.
msi() {
  local status args=("$@") log="" i attempt
  for ((i = 1; i < ${#args[@]}; i++)); do [ "${args[i - 1]}" = '/l*v' ] && log="${args[i]}"; done
  [ -n "$log" ] || { log=$(win "$work/msiexec-last.log"); args+=('/l*v' "$log"); }
  local written
  written=$(printf '%s' "${log#Z:}" | tr '\\' /)
  for attempt in 1 2 3; do
    rm -f "$written"
    run msiexec "${args[@]}" /qn >>"$work/msiexec.out" 2>&1
    status=$?
    wait_while_prefix_runs "$prefix" msiexec $patience
    [ -s "$written" ] && break
    echo "     msiexec did not start (status $status, no log), attempt $attempt" >&2
  done
  echo $status
}

run cmd /c exit || exit 1
navigator_win='C:\Program Files\Norrow Navigator'
navigator="$prefix/drive_c/Program Files/Norrow Navigator"
mkdir -p "$navigator" "$prefix/drive_c/Program Files/No Navigator Here"
cp "$build/stage/nrwnavigator.exe" "$navigator/"
navigator_sum=$(md5sum <"$navigator/nrwnavigator.exe")
# The x64 package puts the 32-bit files in nrwapis and the 64-bit ones in
# nrwapis64; the tools of the package's own architecture run the checks.
own_folder=$product_folder
tools="$navigator_win\\$own_folder"
probe_32bit

snapshot() { registry_snapshot "$prefix"; }
reg_value() { # key name [view]
  run reg query "$1" /v "$2" ${3:+/reg:$3} 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_SZ *//p"
}
installed_version() {
  run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
    tr -d '\r' | awk '/^HKEY/ {ours=0} /DisplayName.*Norrow Navigator IDE bridge/ {ours=1}
      ours && /DisplayVersion/ {print $3}'
}
product_files() {
  printf 'nrwapis/%s\n' libnrwapis.dll libnrwscc.dll nrwregister.exe nrwhost.exe nrw-bridge-guide.txt
  [ "$preset" = win64 ] && printf 'nrwapis64/%s\n' libnrwapis.dll libnrwscc.dll nrwregister.exe nrwhost.exe
  true
}
files_present() { local file; for file in $(product_files); do [ -f "$navigator/$file" ] || return 1; done; }
pe_format() { x86_64-w64-mingw32-objdump -f "$1" | sed -n 's/.*file format //p'; }
# The product's files and no other, each library of its folder's architecture.
exactly_the_product() {
  same "$(product_files | sort)" "$(cd "$navigator" && find nrwapis* -type f | sort)" &&
    [ "$(pe_format "$navigator/nrwapis/libnrwscc.dll")" = pei-i386 ] &&
    { [ "$preset" != win64 ] || [ "$(pe_format "$navigator/nrwapis64/libnrwscc.dll")" = pei-x86-64 ]; }
}
navigator_untouched() { [ "$(md5sum <"$navigator/nrwnavigator.exe")" = "$navigator_sum" ] &&
  [ "$(ls -A "$navigator")" = "nrwnavigator.exe" ]; }
default_provider() { reg_value 'HKLM\Software\SourceCodeControlProvider' ProviderRegKey "${1:-}"; }
ours='SOFTWARE\Corvane\NorrowNavigator'

passed=0 failed=0 skipped=0
skip() { skipped=$((skipped + 1)); echo "SKIP $1: $reason32"; }
expect() { # description, then a command that must succeed
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok   $what"
  else
    failed=$((failed + 1)); echo "FAIL $what"
  fi
}
# Whether an msiexec log (UTF-16 under Wine) holds the text. When it does not,
# what the log says of the package's own actions and of the folder is shown: an
# action that never ran (its result, not its words) tells a failure of Wine's
# custom action server from a refusal for another reason.
# A line a deferred action sends may reach the log a moment after msiexec has
# gone on a busy machine (seen with 32-bit code emulated): it is looked for
# again for a few seconds.
in_log() {
  local deadline=$((SECONDS + 15))
  until tr -d '\0\r' <"$1" | grep -q -- "$2"; do
    [ $SECONDS -lt $deadline ] || break
    sleep 1
  done
  tr -d '\0\r' <"$1" | grep -q -- "$2" && return 0
  echo "     $1 ($(wc -c <"$1") bytes) lacks \"$2\"; what it says of our actions:"
  tr -d '\0\r' <"$1" | grep -E 'Norrow Navigator IDE bridge|NAVIGATORDIR|NAVIGATOREXE|CheckNavigatorDir|RefuseWithoutNavigator|Return value 3' |
    head -12 | sed 's/^/     /'
  return 1
}
same() { [ "$1" = "$2" ] || { diff <(echo "$1") <(echo "$2") | head -20; false; }; }
# On a busy machine a read of the registry can come back empty (its program could
# not start): a value that is not yet the one expected is read again, until a
# deadline, and what it last was is shown.
settles() { # expected, then the command that prints the value
  local expected="$1" actual deadline=$((SECONDS + patience))
  shift
  until actual=$("$@"); [ "$actual" = "$expected" ] || [ $SECONDS -ge $deadline ]; do sleep 1; done
  same "$expected" "$actual"
}
# A state to compare with later: read until two reads in a row agree.
steady() {
  local last now deadline=$((SECONDS + patience))
  last=$("$@")
  until now=$("$@"); [ "$now" = "$last" ] || [ $SECONDS -ge $deadline ]; do last=$now; sleep 1; done
  printf '%s\n' "$now"
}
health_check() { run "$tools\\nrwregister.exe" check >"$work/check.out"; }
# An idempotent tool step that a busy Wine may fail to start: run again until it
# succeeds or a minute has passed, each failed attempt shown with its status and
# what it printed, so that a retry is never silent.
shown_until_done() {
  local deadline=$((SECONDS + patience)) status output
  until output=$("$@" 2>&1); status=$?; [ $status = 0 ]; do
    echo "     attempt failed, exit $status: $(printf '%s' "$output" | tr -d '\r' | head -3 | tr '\n' ' ')"
    [ $SECONDS -lt $deadline ] || return 1
    sleep 1
  done
  printf '%s\n' "$output" | tr -d '\r'
}
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

# Where both architectures register, the second (the 32-bit view) is made to
# fail, so that the first must be undone as well.
echo "== a failing registration is rolled back"
failing_view=""
[ "$preset" = win64 ] && failing_view=64 && [ $runs_32bit = yes ] && failing_view=32
run "$(win "$build_folder/tests/volatile_key.exe")" 'SOFTWARE\SourceCodeControlProvider' $failing_view
before=$(steady snapshot)
status=$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1 /l*v "$(win "$work/failed.log")")
expect "install fails with 1603 (status $status)" test "$status" = 67
expect "the log says why" in_log "$work/failed.log" \
  'the registration failed: nrwregister install: cannot change the registry: error 1021'
expect "no file is left" navigator_untouched
expect "the registry is as before" settles "$before" snapshot
run reg delete 'HKLM\Software\SourceCodeControlProvider' /f ${failing_view:+/reg:$failing_view} >/dev/null 2>&1 || true

echo "== refused without a navigator"
before=$(steady snapshot)
# (none in Program Files either, where it is looked for)
mv "$navigator/nrwnavigator.exe" "$navigator/nrwnavigator.exe.away"
expect "without NAVIGATORDIR: 1603" test "$(msi /i "$(win "$current")" /l*v "$(win "$work/unset.log")")" = 67
mv "$navigator/nrwnavigator.exe.away" "$navigator/nrwnavigator.exe"
expect "the log says how to set it" in_log "$work/unset.log" "NAVIGATORDIR is not set. Set it to the folder"
expect "and where it was looked for" in_log "$work/unset.log" 'it is not in C:\\Program Files\\Norrow Navigator\\'
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

echo "== found in Program Files when no folder is given"
before=$(steady snapshot)
expect "silent install without NAVIGATORDIR" \
  test "$(msi /i "$(win "$current")" /l*v "$(win "$work/found.log")")" = 0
expect "the log says where it found the Navigator" in_log "$work/found.log" \
  'found Norrow Navigator in C:\\Program Files\\Norrow Navigator\\'
expect "the files are in the Navigator's nrwapis folder" files_present
uninstall_leaves_all_as_before

# Ours as the default in both views; where no 32-bit program runs, the 32-bit
# view is left as it was.
default_in_both_views() {
  expect "the 64-bit view's default provider is ours" settles "$ours" default_provider 64
  if [ $runs_32bit = yes ]; then
    expect "the 32-bit view's default provider is ours" settles "$ours" default_provider 32
  else
    expect "the 32-bit view has nothing of ours" settles "" reg_value "HKLM\\$ours" SCCServerPath 32
    skip "the 32-bit view's registration"
  fi
}

# The package as a user starts it, by a double click: its full interface,
# driven as a user would (each step of the driver waits for what it needs).
# A driver that fails shows what was on the screen, and the installer is ended.
interactive() { # log, driver steps...; prints msiexec's status as a shell sees it
  local log="$1" installer status
  shift
  run msiexec /i "$(win "$current")" /l*v "$(win "$log")" >>"$work/msiexec.out" 2>&1 &
  installer=$!
  local driven=yes
  if ! run "$(win "$build_folder/tests/dialog_driver.exe")" "$@" >"$work/driver.out" 2>&1; then
    driven=no
    tr -d '\r' <"$work/driver.out" | sed 's/^/     /' >&2
    run taskkill /f /im msiexec.exe >/dev/null 2>&1
  fi
  wait $installer
  status=$?
  wait_while_prefix_runs "$prefix" msiexec $patience
  [ $driven = yes ] && echo $status || echo "$status, the dialogs were not as expected"
}
# Repair and uninstall show progress only: they end with no one at the screen.
unattended() { # what, msiexec arguments...
  local status=0
  timeout 600 bash "$here/cmake/wine-run.sh" "$prefix" - msiexec "${@:2}" >>"$work/msiexec.out" 2>&1 ||
    status=$?
  wait_while_prefix_runs "$prefix" msiexec $patience
  expect "$1, with the full interface and no one at the screen (status $status)" test $status = 0
}

echo "== a user starts the package: the folder asked for, found in Program Files"
before=$(steady snapshot)
status=$(interactive "$work/cancel.log" 'window=Install the IDE bridge' \
  'field=C:\Program Files\Norrow Navigator\' 'press=&Browse...' 'window=The folder of Norrow Navigator' \
  'field=C:\Program Files\Norrow Navigator\' 'press=OK' 'window=Install the IDE bridge' \
  'field=C:\Program Files\Norrow Navigator\' 'press=Cancel' 'window=Setup was cancelled' 'press=&Finish')
expect "the folder found filled in, browsed from; Cancel in the first dialog: 1602 (status $status)" \
  test "$status" = 66
expect "nothing is written" navigator_untouched
expect "the registry is as before" settles "$before" snapshot
chosen="$prefix/drive_c/Other Navigator"
mkdir -p "$chosen"
cp "$build/stage/nrwnavigator.exe" "$chosen/"
status=$(interactive "$work/interactive.log" 'window=Install the IDE bridge' \
  'type=C:\Program Files\No Navigator Here' 'press=&Install' 'window=Install the IDE bridge' \
  'shows=nrwnavigator.exe is not in C:\Program Files\No Navigator Here\.' 'disabled=&Install' \
  'type=C:\Other Navigator' 'tick=make it the default source control provider' 'press=&Install' \
  'window=The IDE bridge is installed' 'shows=It is in C:\Other Navigator\nrwapis.' 'press=&Finish')
expect "a folder without the Navigator is refused in the dialog, another is typed, ticked as the default, installed (status $status)" \
  test "$status" = 0
expect "the files are in the folder typed" \
  same "$(product_files | sort)" "$(cd "$chosen" && find nrwapis* -type f | sort)"
plugin_view=64 chosen_plugins=nrwapis64
[ "$preset" = win64 ] || plugin_view="" chosen_plugins=nrwapis
expect "the registered plug-in is the one there" settles \
  "C:\\Other Navigator\\$chosen_plugins\\libnrwscc.dll" reg_value "HKLM\\$ours" SCCServerPath $plugin_view
if [ "$preset" = win64 ]; then
  default_in_both_views
else
  expect "the default provider is ours" settles "$ours" default_provider
fi
installed=$(steady snapshot)
unattended "repair" /i "$(win "$current")" REINSTALL=ALL REINSTALLMODE=omus /l*v "$(win "$work/repair.log")"
expect "the registry is as installed, ours still the default" settles "$installed" snapshot
unattended "uninstall" /x "$(win "$current")" /l*v "$(win "$work/uninstall.log")"
expect "the registry is as before" registry_back
expect "only the Navigator is left in the folder typed" test "$(ls -A "$chosen")" = nrwnavigator.exe
rm -rf "$chosen"

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
expect "the health check passes" eventually $patience health_check
if signing_configured; then
  expect "the health check finds the plug-in signed" grep -q 'the plug-in is signed' "$work/check.out"
  echo "     it says: $(grep -m1 'the plug-in is signed' "$work/check.out" | tr -d '\r')"
fi
# A repair, which a user without administrator rights may start, takes no
# default provider from its command line, nor a search result.
installed=$(steady snapshot)
expect "a repair given DEFAULTPROVIDER=1 and CURRENTDEFAULT*" test "$(msi /i "$(win "$current")" \
  REINSTALL=ALL REINSTALLMODE=omus DEFAULTPROVIDER=1 'CURRENTDEFAULT=SOFTWARE\Corvane\NorrowNavigator' \
  'CURRENTDEFAULT32=SOFTWARE\Corvane\NorrowNavigator')" = 0
expect "the other default stays, the registry is as installed" settles "$installed" snapshot
# A stranger's library put in the plug-in's place, of the same version, which
# marks every load of it: the repair's registration reads it and runs none of it.
plugin_folder=nrwapis
[ "$preset" = win64 ] && plugin_folder=nrwapis64
cp "$build/tests/decoy/libnrwscc.dll" "$navigator/$plugin_folder/libnrwscc.dll"
# (p: only missing files are put back, so that it is still there when the
# registration reads it)
expect "a repair with a stranger's plug-in in place" \
  test "$(msi /i "$(win "$current")" REINSTALL=ALL REINSTALLMODE=pmus)" = 0
expect "the stranger's plug-in was never loaded" test ! -e "$navigator/$plugin_folder/libnrwscc.dll.loaded"
cmp -s "$build/tests/decoy/libnrwscc.dll" "$navigator/$plugin_folder/libnrwscc.dll" &&
  echo "     (the repair kept it, as a file of the same version)" ||
  echo "     (the repair replaced it before the registration read it)"
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
expect "the host's status through the default provider" eventually $patience host_status
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
# Wine gives every folder the same permissions, open to no one but the prefix's
# own account: the refusal itself is decided on built permissions (tool_tests).
expect "install with ALLOWOPENFOLDER=1" test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" \
  ALLOWOPENFOLDER=1 /l*v "$(win "$work/allow.log")")" = 0
expect "the log records the administrator's choice" in_log "$work/allow.log" \
  'ALLOWOPENFOLDER=1 is set; no folder of the bridge is open to users who are not administrators'
expect "the log names the registration's own code" in_log "$work/allow.log" \
  'registered Corvane Norrow Navigator in the'

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
rm -rf "$navigator"/nrwapis*
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
  run "C:\\Program Files\\Navigator Moved\\$own_folder\\nrwregister.exe" install --default
expect "uninstall" test "$(msi /x "$(win "$current")")" = 0
expect "the registry is as before" settles "$before" snapshot
rm -rf "$moved"/nrwapis*
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
expect "$version stays" settles "$version" installed_version
uninstall_leaves_all_as_before

# What a host of one architecture gets through the default provider of its own
# registry view: info, and a status answer from the navigator.
host_answers() { # bits
  local folder=nrwapis64
  [ "$1" = 32 ] && folder=nrwapis
  run "$navigator_win\\$folder\\nrwhost.exe" info | tr -d '\r' >"$work/info$1.out" &&
    run "$navigator_win\\$folder\\nrwhost.exe" --project 'C:\project' status 'C:\project\main.c' |
    sed 's/^/; status: /' | tr -d '\r' >"$work/status$1.out" &&
    grep -q '^name: Corvane Norrow Navigator$' "$work/info$1.out" &&
    grep -q 'C:\\project\\main.c$' "$work/status$1.out"
}
# After uninstall a host of each architecture finds nothing registered.
host_finds_nothing() { # bits
  local folder=nrwapis64
  [ "$1" = 32 ] && folder=nrwapis
  cp "$navigator_kept/$folder/nrwhost.exe" "$work/nrwhost$1.exe"
  run "$(win "$work/nrwhost$1.exe")" info >"$work/info$1.out" 2>&1
  [ $? = 2 ] && grep -q "nothing is registered in the $1-bit registry view" "$work/info$1.out"
}
# Runs the check with the host of each architecture, and shows what it saw.
each_host() { # check, what it finds, when
  local bits
  for bits in 64 32; do
    if [ $bits = 32 ] && [ $runs_32bit = no ]; then
      skip "the 32-bit host $3"
      continue
    fi
    expect "the $bits-bit host $2 $3" eventually $patience "$1" $bits
    echo "     $bits-bit host: $(tr -d '\r' <"$work/info$bits.out" | head -1)$(cat "$work/status$bits.out" 2>/dev/null)"
  done
}
both_hosts_answer() { each_host host_answers "gets info and a status answer" "$1"; }
no_host_finds_us() { rm -f "$work"/status*.out; each_host host_finds_nothing "finds nothing registered" "$1"; }

# After an upgrade to this version: the new layout, both views, both hosts; then
# uninstall back to before.
upgraded_and_back() { # when
  expect "installed programs list $version only" settles "$version" installed_version
  expect "the new layout and no file left over" exactly_the_product
  default_in_both_views
  both_hosts_answer "$1"
  uninstall_leaves_all_as_before
}

if [ "$preset" = win64 ]; then
  echo "== one installation serves 32-bit and 64-bit IDEs"
  # A machine with no other provider, so that after uninstall no host finds one.
  for view in 32 64; do
    run reg delete 'HKLM\Software\SourceCodeControlProvider' /f /reg:$view >/dev/null 2>&1 || true
    run reg delete 'HKLM\Software\OtherVendor' /f /reg:$view >/dev/null 2>&1 || true
  done
  before=$(steady snapshot)
  expect "install with DEFAULTPROVIDER=1" \
    test "$(msi /i "$(win "$current")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
  expect "the 32-bit files are in nrwapis, the 64-bit ones in nrwapis64" exactly_the_product
  default_in_both_views
  both_hosts_answer "after the MSI install"
  expect "the health check passes" eventually $patience health_check
  navigator_kept="$work/hosts"
  mkdir -p "$navigator_kept" && cp -r "$navigator"/nrwapis* "$navigator_kept/"
  uninstall_leaves_all_as_before
  no_host_finds_us "after uninstall"

  echo "== the ZIP of both architectures, registered and unregistered by one command"
  zip=$(bash "$here/scripts/build-zip.sh" "$(dirname "$build")" "$work" | sed -n 's/^build-zip: //p')
  (cd "$navigator" && cmake -E tar xf "$zip")
  expect "unzipped, it is the product" exactly_the_product
  # The guide's command, from the 32-bit folder; the 64-bit one where 32-bit
  # programs cannot run.
  zip_tool="$navigator_win\\nrwapis\\nrwregister.exe"
  if [ $runs_32bit = no ]; then
    skip "nrwapis\\nrwregister install --default (nrwapis64\\nrwregister is run instead)"
    zip_tool="$navigator_win\\nrwapis64\\nrwregister.exe"
  fi
  expect "nrwregister install --default" shown_until_done run "$zip_tool" install --default
  default_in_both_views
  both_hosts_answer "after the ZIP's registration"
  expect "the health check passes" eventually $patience health_check
  expect "nrwregister uninstall" shown_until_done run "$zip_tool" uninstall
  expect "the registry is as before" settles "$before" snapshot
  rm -rf "$navigator"/nrwapis*

  echo "== the x86 package is for 32-bit Windows"
  x86="$(dirname "$build")/win32/package/nrw-bridge-$version-x86.msi"
  expect "it is refused here with 1603" \
    test "$(msi /i "$(win "$(cd "$(dirname "$x86")" && pwd)/$(basename "$x86")")" "NAVIGATORDIR=$navigator_win")" = 67
  expect "nothing is written" navigator_untouched
  expect "the registry is as before" settles "$before" snapshot

  echo "== upgrade from the 1.0.0 x64 package, which put its 64-bit files in nrwapis"
  released_status=0
  released=$(bash "$here/scripts/build-released.sh" 1.0.0 x64) || released_status=$?
  expect "the 1.0.0 x64 package is built from its sources" test $released_status = 0 -o $released_status = 3
  if [ $released_status = 0 ]; then
    expect "install 1.0.0 as the default" \
      test "$(msi /i "$(win "$released")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
    expect "1.0.0 put a 64-bit plug-in in nrwapis" \
      test "$(pe_format "$navigator/nrwapis/libnrwscc.dll")" = pei-x86-64
    expect "upgrade to $version, the folder remembered" test "$(msi /i "$(win "$current")")" = 0
    upgraded_and_back "after the upgrade"
  else
    reason32="$released" skip "the upgrade from 1.0.0"
  fi

  echo "== an installed 1.0.0 x86 package is replaced"
  if [ $runs_32bit = no ]; then
    skip "the x86 package's install"
  elif released_status=0
    released=$(bash "$here/scripts/build-released.sh" 1.0.0 x86) || released_status=$?
    expect "the 1.0.0 x86 package is built from its sources" test $released_status = 0 -o $released_status = 3
    [ $released_status = 0 ]; then
    expect "install 1.0.0 x86 as the default" \
      test "$(msi /i "$(win "$released")" "NAVIGATORDIR=$navigator_win" DEFAULTPROVIDER=1)" = 0
    expect "install $version x64 over it, the folder remembered" test "$(msi /i "$(win "$current")")" = 0
    upgraded_and_back "after the x86 package was replaced"
  else
    reason32="$released" skip "the replacement of the 1.0.0 x86 package"
  fi
fi

[ $runs_32bit = yes ] && echo "installer: 32-bit code ran $(how_32bit_runs)"
echo "installer: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
