#!/usr/bin/env bash
# The rename and file-name tests of a Windows suite again under locales whose
# ANSI code page is double-byte: Japanese (932) and Traditional Chinese (950).
# Wine takes the code page from the Unix locale, which is made where it is
# missing (localedef, as root). Where it cannot be made, that locale's run is
# reported as skipped with the reason, never as passed.
#   locale-suite.sh BUILD_DIR      (build/win32 or build/win64)
set -uo pipefail
build="$1"
preset="$(basename "$build")"
prefix="$PWD/$build/wineprefix"
tests='PathText|DoubleByte|Rename|Files|DeviceName|EmptyName|PathLimit|CaseOnly|WideText|FolderAccess'
status=0
for pair in ja_JP:932 zh_TW:950; do
  locale=${pair%:*} code_page=${pair#*:}
  if ! locale -a 2>/dev/null | grep -qix "$locale.utf-\?8"; then
    made=$(localedef -i "$locale" -f UTF-8 "$locale.UTF-8" 2>&1)
    if ! locale -a 2>/dev/null | grep -qix "$locale.utf-\?8"; then
      echo "locale-suite: $preset under $locale ($code_page): SKIPPED, not run and not passed: the locale $locale.UTF-8 could not be made: ${made:-localedef gave no reason}"
      continue
    fi
  fi
  echo "locale-suite: $preset under $locale.UTF-8 (ANSI code page $code_page)"
  LC_ALL="$locale.UTF-8" NRW_EXPECT_ACP=$code_page ctest --preset "$preset" -R "$tests" ||
    status=1
done
WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
exit $status
