#!/usr/bin/env bash
# Builds the installer of a Windows build and checks its tables without running
# it: the product's files in NAVIGATORDIR\nrwapis (32-bit) and, in the x64
# package, NAVIGATORDIR\nrwapis64 (64-bit), and no navigator program; the
# registry view of every component and search; the launch conditions; the
# registration actions and the architecture of the tool that unregisters.
#   check-msi.sh BUILD_DIR   (win64: needs the win32 build beside it)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
[ $# -eq 1 ] || { echo "usage: check-msi.sh build/win32|build/win64" >&2; exit 2; }
build="$1"
windows_build "$build" || exit 2
msi=$(bash "$here/scripts/build-msi.sh" "$build" | sed -n 's/^build-msi: //p')
if [ $bits = 64 ]; then
  platform=x64 own_view_bit=1 register=nrwregister64.exe binary_format=pei-x86-64
  files="libnrwapis.dll libnrwapis.dll libnrwscc.dll libnrwscc.dll nrw-bridge-guide.txt nrwhost.exe nrwhost.exe nrwregister.exe nrwregister.exe "
else
  platform=Intel own_view_bit=0 register=nrwregister.exe binary_format=pei-i386
  files="libnrwapis.dll libnrwscc.dll nrw-bridge-guide.txt nrwhost.exe nrwregister.exe "
fi
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
status=0
fail() { echo "check-msi: $msi: $*" >&2; status=1; }

found=$(rows File | cut -f3 | sort | tr '\n' ' ')
[ "$found" = "$files" ] || fail "files are '$found'"
[ "$(rows Directory | awk -F'\t' '$1 == "BRIDGEDIR" {print $2 "/" $3}')" = "NAVIGATORDIR/nrwapis" ] ||
  fail "the 32-bit files do not go to NAVIGATORDIR\\nrwapis"
if [ $platform = x64 ]; then
  [ "$(rows Directory | awk -F'\t' '$1 == "BRIDGEDIR64" {print $2 "/" $3}')" = "NAVIGATORDIR/nrwapis64" ] ||
    fail "the 64-bit files do not go to NAVIGATORDIR\\nrwapis64"
fi
msiinfo suminfo "$msi" | grep -q "Template: $platform;" || fail "the platform is not $platform"
# 256: a 64-bit component. Files in nrwapis are 32-bit, in nrwapis64 64-bit; the
# remembered folder is written in the package's own view.
while IFS=$'\t' read -r component _ directory attributes _; do
  case "$component/$directory" in
    Remembered/*) want=$own_view_bit ;;
    */BRIDGEDIR64) want=1 ;;
    *) want=0 ;;
  esac
  [ $(((attributes >> 8) & 1)) -eq $want ] || fail "component $component is in the wrong view"
done < <(rows Component)
# 16: a 64-bit registry search; the ones named ...32 read the 32-bit view.
while IFS=$'\t' read -r search _ _ _ type; do
  want=$own_view_bit
  [[ $search == *32 ]] && want=0
  [ $(((type >> 4) & 1)) -eq $want ] || fail "search $search reads the wrong view"
done < <(rows RegLocator)
rows AppSearch | grep -q $'^NAVIGATOREXE\tNavigatorProgram$' || fail "no search for the navigator"
rows DrLocator | grep -q $'^NavigatorProgram\t\t\\[NAVIGATORDIR\\]\t0$' || fail "the search looks elsewhere"
rows Signature | grep -q $'^NavigatorProgram\tnrwnavigator.exe' || fail "the search is for another file"
rows LaunchCondition | grep -q '^Installed OR NAVIGATOREXE' || fail "no launch condition on the navigator"
if [ $platform = x64 ]; then
  # 2 would only detect it: the x86 package is removed by the upgrade.
  rows Upgrade | awk -F'\t' '$7 == "X86BRIDGE" && $5 % 4 < 2 {found=1} END {exit !found}' ||
    fail "an installed x86 package is not replaced"
else
  rows LaunchCondition | grep -q $'^Installed OR NOT VersionNT64\tThis package is for 32-bit Windows. On 64-bit Windows install nrw-bridge-[0-9.]*-x64.msi' ||
    fail "no refusal on 64-bit Windows that names the x64 package"
fi
# What runs with the installer's rights (deferred, 1024, and not impersonated,
# 2048) comes from the package itself: a DLL (1) or program (2) of the Binary
# table. Never a file installed into NAVIGATORDIR (17, 18), a program given by
# a folder (34) or a property (50), nor, for the package's own actions, a file
# named in their data. Prints each such action; the rule is also shown to catch
# a package that runs its installed tool.
elevated_installed_code() {
  local msi="$1"
  msiinfo export "$msi" CustomAction | tail -n +4 | tr -d '\r' | awk -F'\t' '
    { type[$1] = $2; source[$1] = $3; target[$1] = $4 }
    END {
      for (a in type) {
        t = type[a] + 0
        if (int(t / 1024) % 2 == 0 || int(t / 2048) % 2 == 0) continue
        kind = t % 64
        if (kind != 1 && kind != 2) print a " runs " source[a] " (type " t ")"
        for (b in type)
          if (type[b] % 64 == 51 && source[b] == a && target[b] ~ /\[[#!]/)
            print a " is given the installed file " target[b] " by " b
      }
    }'
}
found=$(elevated_installed_code "$msi")
[ -z "$found" ] || fail "the installer runs installed code as the system: $found"
tampered="$msi.tampered.msi"
for change in \
  "UPDATE \`CustomAction\` SET \`Type\` = 3090, \`Source\` = '$register', \`Target\` = 'install' WHERE \`Action\` = 'RegisterProvider'" \
  "UPDATE \`CustomAction\` SET \`Target\` = '\"[#$register]\" install' WHERE \`Action\` = 'SetRegisterProvider'"; do
  cp "$msi" "$tampered"
  msibuild "$tampered" -q "$change"
  [ -n "$(elevated_installed_code "$tampered")" ] || fail "the rule misses a package changed by: $change"
done
rm -f "$tampered"
for entry in RegisterProvider:RegisterBridge RegisterDefaultProvider:RegisterBridgeAsDefault; do
  rows CustomAction | grep -q "^${entry%%:*}	3073	SetupActions	${entry#*:}" ||
    fail "${entry%%:*} does not run the package's registration, deferred, elevated"
  rows CustomAction | grep -qF "Set${entry%%:*}	2099	${entry%%:*}	[NAVIGATORDIR]	" ||
    fail "${entry%%:*} is not given the Navigator's folder"
done
rows CustomAction | grep -q $'^FindNavigator\t2049\tSetupActions\tFindNavigator' ||
  fail "the Navigator is not looked for where it usually is"
for sequence in InstallUISequence InstallExecuteSequence; do
  rows $sequence | grep -q $'^FindNavigator\tNOT Installed AND NOT NAVIGATORDIR\t55$' ||
    fail "$sequence does not look for the Navigator after the searches, a given NAVIGATORDIR first"
done
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
msiinfo extract "$msi" Binary.RegisterToolInPackage >"$msi.tool"
objdump_format=$(x86_64-w64-mingw32-objdump -f "$msi.tool" | sed -n 's/.*file format //p')
rm -f "$msi.tool"
[ "$objdump_format" = $binary_format ] || fail "the unregistering tool is $objdump_format, not $binary_format"
# Every entry the package's actions call in its setup DLL is exported by it.
msiinfo extract "$msi" Binary.SetupActions >"$msi.setup"
exported=$(x86_64-w64-mingw32-objdump -p "$msi.setup" | awk '/\[Ordinal\/Name Pointer\] Table/ {t=1; next} t && NF == 0 {t=0} t {print $NF}')
rm -f "$msi.setup"
for entry in $(rows CustomAction | awk -F'\t' '$3 == "SetupActions" {print $4}' | sort -u); do
  grep -qx "$entry" <<<"$exported" || fail "the setup DLL does not export $entry"
done
rows InstallExecuteSequence | grep -q 'DEFAULTPROVIDER = "1"' || fail "DEFAULTPROVIDER is not tested for 1"
# Only what a first install is given and what the upgrade search finds crosses
# from a user's command line to the part that runs as the system; the searches'
# own results are dropped before they run, and a repair ignores DEFAULTPROVIDER.
secure=$(rows Property | awk -F'\t' '$1 == "SecureCustomProperties" {print $2}')
[ "$secure" = 'NAVIGATORDIR;DEFAULTPROVIDER;X86BRIDGE;WIX_UPGRADE_DETECTED;WIX_DOWNGRADE_DETECTED' ] ||
  fail "SecureCustomProperties is '$secure'"
for sequence in InstallUISequence InstallExecuteSequence; do
  for found in CURRENTDEFAULT CURRENTDEFAULT32 REMEMBEREDNAVDIR REMEMBEREDNAVDIR32 NAVIGATOREXE; do
    action=$(rows CustomAction | awk -F'\t' -v p=$found '$2 % 64 == 51 && $3 == p && $4 == "[NRWNOTHING]" {print $1}')
    [ -n "$action" ] && rows $sequence | awk -F'\t' -v a="$action" '$1 == a && $3 < 50 {f=1} END {exit !f}' ||
      fail "$sequence does not drop a given $found before the searches"
  done
done
rows InstallExecuteSequence | grep -q $'^IgnoreDefaultProviderInMaintenance\tInstalled\t115$' ||
  fail "a repair does not ignore DEFAULTPROVIDER"
# Where the user interface ran AppSearch, the installing side does not run it
# again: it repeats the searches itself, before anything reads them.
# (The x86 package: not on 64-bit Windows, where it is refused.)
repeat_condition=''
[ $platform = x64 ] || repeat_condition='Installed OR NOT VersionNT64'
rows InstallExecuteSequence | grep -qxF "RepeatSearches	$repeat_condition	51" ||
  fail "the installing side does not repeat the searches after AppSearch"

# The interactive install. Its tables hold together: every control a dialog or
# an event names is there, every dialog an event opens, every action it runs.
ui_names=$(
  rows Dialog | awk -F'\t' '{print "dialog " $1; for (i = 8; i <= 10; i++) if ($i != "") print "refers " $1 "/" $i}'
  rows Control | awk -F'\t' '{print "control " $1 "/" $2; if ($11 != "") print "refers " $1 "/" $11}'
  rows ControlEvent | awk -F'\t' '{print "refers " $1 "/" $2
    if ($3 == "NewDialog" || $3 == "SpawnDialog") print "opens " $4
    if ($3 == "DoAction") print "runs " $4}'
  rows ControlCondition | awk -F'\t' '{print "refers " $1 "/" $2}'
  rows EventMapping | awk -F'\t' '{print "refers " $1 "/" $2}'
  rows CustomAction | awk -F'\t' '{print "action " $1}')
while read -r kind name; do
  case $kind in
    refers) grep -qxF "control $name" <<<"$ui_names" || fail "the interface names a control $name that is not there" ;;
    opens) grep -qxF "dialog $name" <<<"$ui_names" || fail "an event opens a dialog $name that is not there" ;;
    runs) grep -qxF "action $name" <<<"$ui_names" || fail "an event runs an action $name that is not there" ;;
  esac
done <<<"$ui_names"
for dialog in FolderDlg BrowseDlg ProgressDlg CancelDlg ErrorDlg FilesInUse ExitDlg UserExitDlg FatalErrorDlg; do
  grep -qxF "dialog $dialog" <<<"$ui_names" || fail "the interface has no $dialog"
done
# The folder asked for in a first install with the full interface, before the
# costing, and checked first; progress; the end of setup.
ui_sequence=$(rows InstallUISequence | sort -t$'\t' -k3 -n | awk -F'\t' '{print $1 "|" $2 "|" $3}')
for step in 'AskForTheFolder|UILevel = 5 AND NOT Installed|45' 'CheckNavigatorChoice|NrwAsking|130' \
  'FolderDlg|NrwAsking|140' 'ProgressDlg||1299' 'ExitDlg|NOT Installed|-1' \
  'UserExitDlg|NOT Installed|-2' 'FatalErrorDlg||-3'; do
  grep -qxF "$step" <<<"$ui_sequence" || fail "the interface's sequence lacks $step"
done
rows LaunchCondition | grep -q '^Installed OR NAVIGATOREXE.* OR NrwAsking	' ||
  fail "the launch condition does not leave the folder to the dialog where it is asked for"
# The first dialog: the folder (Edit), the default (CheckBox, set to 1) with the
# issue's words, Install checked before it ends the dialog, Cancel, Browse.
controls=$(rows Control | awk -F'\t' '$1 == "FolderDlg" {print $2 "|" $3 "|" $9 "|" $10}')
for control in 'Folder|Edit|NAVIGATORDIR|' 'Default|CheckBox|DEFAULTPROVIDER|make it the default source control provider' \
  'Install|PushButton||&Install' 'Cancel|PushButton||Cancel' 'Browse|PushButton||&Browse...'; do
  grep -qxF "$control" <<<"$controls" || fail "the first dialog lacks $control"
done
rows CheckBox | grep -qx $'DEFAULTPROVIDER\t1' || fail "the box does not set DEFAULTPROVIDER to 1"
events=$(rows ControlEvent | awk -F'\t' '{print $1 "|" $2 "|" $3 "|" $4 "|" $5 "|" $6}')
for event in 'FolderDlg|Install|DoAction|CheckNavigatorChoice|1|1' \
  'FolderDlg|Install|EndDialog|Return|NrwFolderOk = "1"|2' \
  'FolderDlg|Install|NewDialog|FolderDlg|NOT NrwFolderOk = "1"|3' 'FolderDlg|Cancel|EndDialog|Exit|1|1' \
  'BrowseDlg|OK|[NAVIGATORDIR]|[NRWBROWSEDIR]|1|1' 'BrowseDlg|OK|DoAction|CheckNavigatorChoice|1|2'; do
  grep -qxF "$event" <<<"$events" || fail "the interface lacks the event $event"
done
rows ControlCondition | grep -qxF $'FolderDlg\tInstall\tDisable\tNrwCheckedDir = NAVIGATORDIR AND NOT NrwFolderOk = "1"' ||
  fail "Install is not disabled while the folder is the one refused"
# What Windows Installer itself needs: its error dialog, with the text and the
# seven buttons, and the files-in-use dialog.
rows Property | grep -qx $'ErrorDialog\tErrorDlg' || fail "ErrorDialog does not name the error dialog"
rows Dialog | awk -F'\t' '$1 == "ErrorDlg" && int($6 / 65536) % 2 == 1 {f=1} END {exit !f}' ||
  fail "ErrorDlg is not marked as the error dialog"
for button in A:ErrorAbort C:ErrorCancel I:ErrorIgnore N:ErrorNo O:ErrorOk R:ErrorRetry Y:ErrorYes; do
  grep -qxF "ErrorDlg|${button%%:*}|EndDialog|${button#*:}|1|1" <<<"$events" ||
    fail "the error dialog's button ${button%%:*} does not end it with ${button#*:}"
done
grep -qxF 'control ErrorDlg/ErrorText' <<<"$ui_names" || fail "the error dialog has no ErrorText"
rows Control | grep -q $'^FilesInUse\tList\tListBox\t.*\tFileInUseProcess\t' ||
  fail "the files-in-use dialog does not list FileInUseProcess"
for choice in Retry Ignore Exit; do
  grep -qxF "FilesInUse|$choice|EndDialog|$choice|1|1" <<<"$events" ||
    fail "the files-in-use dialog's $choice does not end it so"
done
rows EventMapping | grep -qx $'ProgressDlg\tProgress\tSetProgress\tProgress' || fail "the progress bar shows no progress"
rows Property | grep -qx $'ARPNOMODIFY\t1' || fail "Programs and Features offers a change that the package has no dialog for"

[ $status -eq 0 ] && echo "check-msi: $msi has the product's tables for $platform"
exit $status
