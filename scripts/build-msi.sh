#!/usr/bin/env bash
# Builds the Windows Installer package of a Windows build:
#   build-msi.sh BUILD_DIR [VERSION [FOLDER]]  ->  FOLDER/nrw-bridge-VERSION-ARCH.msi
# (FOLDER defaults to BUILD_DIR/package)
# The x64 package, for 64-bit Windows, carries the 32-bit build too: it needs
# the win32 build beside the win64 one (build/win32 and build/win64). The x86
# package, for 32-bit Windows, carries the 32-bit build alone.
# VERSION defaults to the project's; another one serves to make an older or newer
# package of the same files for upgrade tests.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
source "$here/scripts/sign.sh"
source "$here/packaging/msi-ui.sh"
version="${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}"
image="$build/msi-image"
windows_build "$build" || exit 2
arch=$msi_arch own=$product_folder
if [ $bits = 64 ]; then
  win64=yes register=nrwregister64.exe other=x86 serves="32-bit and 64-bit IDEs"
  product_image "$(dirname "$build")" "$image" >/dev/null
else
  win64=no register=nrwregister.exe other=x64 serves="32-bit Windows"
  rm -rf "$image"
  cmake --install "$build" --prefix "$image" >/dev/null
fi

# Stable identifiers made from names, so that a package built again is the same
# product: one upgrade code per architecture, one product code per version.
guid() {
  local h
  h=$(printf 'nrw-bridge/%s' "$1" | md5sum | tr a-f A-F)
  printf '{%s-%s-%s-%s-%s}' "${h:0:8}" "${h:8:4}" "${h:12:4}" "${h:16:4}" "${h:20:12}"
}

out="${3:-$build/package}"
mkdir -p "$out"
msi="$(cd "$out" && pwd)/nrw-bridge-$version-$arch.msi"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

defines=(-D "Version=$version" -D "Win64=$win64" -D "Serves=$serves"
  -D "OwnFolder=$own" -D "RegisterFile=$register"
  -D "ImageDir=." -D "SetupDll=nrwsetup.dll"
  -D "ProductCode=$(guid "$arch/product/$version")" -D "UpgradeCode=$(guid "$arch/upgrade")"
  -D "OtherUpgradeCode=$(guid "$other/upgrade")")
# The x64 package's files have components of their own: before 1.1.0 it put
# 64-bit files where it now puts 32-bit ones.
for part in Client Plugin Register Host Guide; do
  case $arch in
    x64) defines+=(-D "Guid$part=$(guid "x64/component/$part/32-bit")"
           -D "Guid${part}64=$(guid "x64/component/$part/nrwapis64")") ;;
    x86) defines+=(-D "Guid$part=$(guid "x86/component/$part")") ;;
  esac
done
defines+=(-D "GuidRemembered=$(guid "$arch/component/Remembered")")
# wixl takes the files' sources relative to the source file's folder. The setup
# actions go into the package's Binary table only, never onto the machine.
cp "$here/packaging/nrw-bridge.wxs" "$build/tools/nrwsetup.dll" "$image/"
# Signed before they go in: the files, and what the Binary table carries.
sign_programs "$image"
wixl -a "$arch" "${defines[@]}" -o "$msi" "$image/nrw-bridge.wxs"

# wixl cannot write file searches: the launch condition's search for the Navigator
# program in NAVIGATORDIR is added as table rows.
cat > "$work/Signature.idt" <<'IDT'
Signature	FileName	MinVersion	MaxVersion	MinSize	MaxSize	MinDate	MaxDate	Languages
s72	s255	S20	S20	I4	I4	I4	I4	S255
Signature	Signature
NavigatorProgram	nrwnavigator.exe							
IDT
cat > "$work/DrLocator.idt" <<'IDT'
Signature_	Parent	Path	Depth
s72	S72	S255	I2
DrLocator	Signature_	Parent	Path
NavigatorProgram		[NAVIGATORDIR]	0
IDT
msibuild "$msi" -i "$work/Signature.idt" "$work/DrLocator.idt"
msibuild "$msi" -q "INSERT INTO \`AppSearch\` (\`Property\`, \`Signature_\`) VALUES ('NAVIGATOREXE', 'NavigatorProgram')"
# The unregistration: the tool in the package's Binary table (type 2), deferred
# (1024), not impersonated (2048), its failure ignored (64). It runs twice: a
# program that could not be started (64-bit Wine now and then fails to start one
# under load) gets a second chance, and after a run that worked the second finds
# nothing of ours and changes nothing.
for step in 1510:UnregisterProvider 1511:UnregisterProviderAgain; do
  msibuild "$msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('${step#*:}', 3138, 'RegisterToolInPackage', 'uninstall')"
  msibuild "$msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('${step#*:}', 'REMOVE ~= \"ALL\"', ${step%%:*})"
done
# The properties that cross from the user's side to the installing service: the
# two a first install is given, and what the upgrade search finds. Nothing else a
# user without administrator rights puts on a repair's command line reaches the
# part that runs as the system.
secure_properties='NAVIGATORDIR;DEFAULTPROVIDER;X86BRIDGE;WIX_UPGRADE_DETECTED;WIX_DOWNGRADE_DETECTED'
msibuild "$msi" -q "DELETE FROM \`Property\` WHERE \`Property\` = 'SecureCustomProperties'"
msibuild "$msi" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', '$secure_properties')"
# The interactive install's dialogs; Browse starts in the Program Files folder
# of the package's architecture.
program_files=ProgramFilesFolder
[ $bits = 64 ] && program_files=ProgramFiles64Folder
mkdir "$work/ui"
ui_tables "$work/ui" $program_files
msibuild "$msi" -i "$work"/ui/*.idt
ui_sequence "$msi"
# Last, after every change to its tables.
sign_file "$msi"
echo "build-msi: $msi"
