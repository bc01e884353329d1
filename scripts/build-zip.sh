#!/usr/bin/env bash
# Builds the one Windows ZIP from both Windows builds, to be unzipped as it is
# into the user's Norrow Navigator folder: the 32-bit files in nrwapis\, the
# 64-bit ones in nrwapis64\.
#   build-zip.sh [BUILDS [FOLDER]]  ->  FOLDER/nrw-bridge-VERSION-windows.zip
# (BUILDS, the folder holding build/win32 and build/win64, defaults to build;
# FOLDER to BUILDS/package)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
source "$here/scripts/lib.sh"
source "$here/scripts/sign.sh"
builds="${1:-build}"
out="${2:-$builds/package}"
image="$builds/zip-image"
version=$(product_image "$builds" "$image")
sign_programs "$image"
mkdir -p "$out"
zip="$(cd "$out" && pwd)/nrw-bridge-$version-windows.zip"
rm -f "$zip"
(cd "$image" && cmake -E tar cf "$zip" --format=zip nrwapis nrwapis64)
echo "build-zip: $zip"
