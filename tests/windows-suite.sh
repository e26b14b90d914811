#!/usr/bin/env bash
# Builds the Windows console programs and runs the end-to-end table against the x86_64
# one under Wine; the i686 one is checked to be a 32-bit console executable (this
# kernel runs no 32-bit programs). Needs the release build's test runner.
set -euo pipefail
cd "$(dirname "$0")/.."

for preset in win64 win32; do
  cmake --preset "$preset" > /dev/null
  cmake --build --preset "$preset"
done

expect_pe() { # EXE OBJDUMP MAGIC
  local header
  header=$("$2" -p "$1")
  grep -q "^Magic.*($3)" <<< "$header" || { echo "$1 is not $3" >&2; exit 1; }
  grep -q "^Subsystem.*(Windows CUI)" <<< "$header" || { echo "$1 is no console program" >&2; exit 1; }
  echo "$1: $3 console program, $(stat -c %s "$1") bytes"
}
expect_pe build/win64/kestrin.exe x86_64-w64-mingw32-objdump PE32+
expect_pe build/win32/kestrin.exe i686-w64-mingw32-objdump PE32

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX=$PWD/build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$wineserver" -k 2> /dev/null || true' EXIT
# One wineserver for the whole suite, started only once the prefix has finished booting.
[ -d "$WINEPREFIX" ] || "$wine" wineboot -i > /dev/null 2>&1
"$wineserver" -w
"$wineserver" -p
KESTRIN_COMMAND="$wine $PWD/build/win64/kestrin.exe" KESTRIN_WINDOWS=1 \
  build/release/tests/kestrin_e2e --gtest_brief=1
