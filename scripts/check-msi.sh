#!/usr/bin/env bash
# Builds the installer of a Windows build and checks its tables without running
# it: the product's files in NAVIGATORDIR\nrwapis and no navigator program, the
# architecture's registry view for every component and search, the launch
# condition's search for the navigator, and the registration actions.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
msi=$(bash "$here/scripts/build-msi.sh" "$build" | sed -n 's/^build-msi: //p')
case "$(basename "$build")" in
  win64) platform=x64 view_bit=1 ;;
  win32) platform=Intel view_bit=0 ;;
esac
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
status=0
fail() { echo "check-msi: $msi: $*" >&2; status=1; }

files=$(rows File | cut -f3 | sort | tr '\n' ' ')
[ "$files" = "libnrwapis.dll libnrwscc.dll nrw-bridge-guide.txt nrwhost.exe nrwregister.exe " ] ||
  fail "files are '$files'"
[ "$(rows Directory | awk -F'\t' '$1 == "BRIDGEDIR" {print $2 "/" $3}')" = "NAVIGATORDIR/nrwapis" ] ||
  fail "the files do not go to NAVIGATORDIR\\nrwapis"
msiinfo suminfo "$msi" | grep -q "Template: $platform;" || fail "the platform is not $platform"
# 256: a 64-bit component; 16: a 64-bit registry search.
while IFS=$'\t' read -r component _ _ attributes _; do
  [ $(((attributes >> 8) & 1)) -eq $view_bit ] || fail "component $component is in the wrong view"
done < <(rows Component)
while IFS=$'\t' read -r search _ _ _ type; do
  [ $(((type >> 4) & 1)) -eq $view_bit ] || fail "search $search reads the wrong view"
done < <(rows RegLocator)
rows AppSearch | grep -q $'^NAVIGATOREXE\tNavigatorProgram$' || fail "no search for the navigator"
rows DrLocator | grep -q $'^NavigatorProgram\t\t\\[NAVIGATORDIR\\]\t0$' || fail "the search looks elsewhere"
rows Signature | grep -q $'^NavigatorProgram\tnrwnavigator.exe' || fail "the search is for another file"
rows LaunchCondition | grep -q '^Installed OR NAVIGATOREXE' || fail "no launch condition on the navigator"
rows LaunchCondition | grep -q '^Installed OR NOT OTHERBRIDGE' || fail "no refusal beside the other architecture"
rows Upgrade | grep -q 'OTHERBRIDGE$' || fail "no search for the other architecture's package"
for action in RegisterProvider RegisterDefaultProvider; do
  rows CustomAction | grep -q "^$action	3073	SetupActions	RunRegisterTool" ||
    fail "$action does not run the registration through the package's actions, deferred, elevated"
done
rows CustomAction | grep -q $'^SetRegisterProvider\t2099\tRegisterProvider\t"\[#nrwregister.exe\]" install\t' ||
  fail "RegisterProvider is not given the installed nrwregister.exe"
rows CustomAction | grep -q $'^CheckNavigatorDir\t2049\tSetupActions\tCheckNavigatorDir' ||
  fail "NAVIGATORDIR is not checked before anything is written"
for action in UnregisterProvider UnregisterProviderAgain; do
  rows CustomAction | grep -qP "^$action\t3138\tRegisterToolInPackage\tuninstall" ||
    fail "$action does not run the package's own tool, deferred, elevated, failure ignored"
done
# (streams, not an export of the Binary table, which would write the files here)
for stream in RegisterToolInPackage SetupActions; do
  msiinfo streams "$msi" | grep -qx "Binary.$stream" || fail "the package does not carry $stream"
done
rows InstallExecuteSequence | grep -q 'DEFAULTPROVIDER = "1"' || fail "DEFAULTPROVIDER is not tested for 1"
[ $status -eq 0 ] && echo "check-msi: $msi has the product's tables for $platform"
exit $status
