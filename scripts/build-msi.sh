#!/usr/bin/env bash
# Builds the Windows Installer package of a Windows build:
#   build-msi.sh BUILD_DIR [VERSION [FOLDER]]  ->  FOLDER/nrw-bridge-VERSION-ARCH.msi
# (FOLDER defaults to BUILD_DIR/package)
# VERSION defaults to the project's; another one serves to make an older or newer
# package of the same files for upgrade tests.
set -euo pipefail
build="$1"
here="$(cd "$(dirname "$0")/.." && pwd)"
version="${2:-$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")}"
case "$(basename "$build")" in
  win64) arch=x64 bits=64 win64=yes other=x86 other_bits=32 ;;
  win32) arch=x86 bits=32 win64=no other=x64 other_bits=64 ;;
  *) echo "build-msi: $build is not a win32 or win64 build folder" >&2; exit 2 ;;
esac

# Stable identifiers made from names, so that a package built again is the same
# product: one upgrade code per architecture, one product code per version.
guid() {
  local h
  h=$(printf 'nrw-bridge/%s' "$1" | md5sum | tr a-f A-F)
  printf '{%s-%s-%s-%s-%s}' "${h:0:8}" "${h:8:4}" "${h:12:4}" "${h:16:4}" "${h:20:12}"
}

image="$build/msi-image"
rm -rf "$image"
cmake --install "$build" --prefix "$image" >/dev/null
out="${3:-$build/package}"
mkdir -p "$out"
msi="$(cd "$out" && pwd)/nrw-bridge-$version-$arch.msi"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

defines=(-D "Version=$version" -D "Bits=$bits" -D "Win64=$win64"
  -D "ImageDir=." -D "SetupDll=nrwsetup.dll"
  -D "ProductCode=$(guid "$arch/product/$version")" -D "UpgradeCode=$(guid "$arch/upgrade")"
  -D "OtherUpgradeCode=$(guid "$other/upgrade")" -D "OtherBits=$other_bits")
for part in Client Plugin Register Host Guide Remembered; do
  defines+=(-D "Guid$part=$(guid "$arch/component/$part")")
done
# wixl takes the files' sources relative to the source file's folder. The setup
# actions go into the package's Binary table only, never onto the machine.
cp "$here/packaging/nrw-bridge.wxs" "$build/tools/nrwsetup.dll" "$image/"
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
# Properties an administrator passes that must reach the installing service.
msibuild "$msi" -q "DELETE FROM \`Property\` WHERE \`Property\` = 'SecureCustomProperties'"
msibuild "$msi" -q "INSERT INTO \`Property\` (\`Property\`, \`Value\`) VALUES ('SecureCustomProperties', 'NAVIGATORDIR;DEFAULTPROVIDER;NAVIGATOREXE;REMEMBEREDNAVDIR;CURRENTDEFAULT;OTHERBRIDGE;WIX_UPGRADE_DETECTED;WIX_DOWNGRADE_DETECTED')"
echo "build-msi: $msi"
