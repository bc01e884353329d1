#!/usr/bin/env bash
# Builds a released package from the sources it was made from, for upgrade
# tests: the packages users have installed, not today's files under an old
# version number.
#   build-released.sh VERSION ARCH   (ARCH x64 or x86)  ->  prints the package's path
# Exit 3, with the reason, where this clone does not hold that release's sources.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
version="$1"
case "$2" in
  x64) preset=win64 ;;
  x86) preset=win32 ;;
  *) echo "build-released: ARCH is x64 or x86, not '$2'" >&2; exit 2 ;;
esac
# The commit each release was built from.
case "$version" in
  1.0.0) commit=dd3f393ad9da8f56d2bff1df3187a5edfb867bb3 ;;
  *) echo "build-released: no release $version is known" >&2; exit 2 ;;
esac
top="$here/build/released-$version"
msi="$top/src/build/$preset/package/nrw-bridge-$version-$2.msi"
if [ ! -f "$msi" ]; then
  if ! git -C "$here" cat-file -e "$commit^{commit}" 2>/dev/null; then
    echo "this clone does not hold the sources of release $version (commit ${commit:0:12})"
    exit 3
  fi
  rm -rf "$top/src"
  mkdir -p "$top/src"
  git -C "$here" archive "$commit" | tar -x -C "$top/src"
  (cd "$top/src" && cmake --preset "$preset" -DNRW_TESTS=OFF >/dev/null &&
    cmake --build --preset "$preset" >/dev/null && bash scripts/build-msi.sh "build/$preset" >/dev/null)
fi
echo "$msi"
