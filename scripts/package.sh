#!/bin/bash
# Builds Nodelark.exe and packs what a Windows user takes home:
# dist/Nodelark-<version>-win64.zip holding Nodelark.exe and ReadMe.txt (the
# user guide F1 opens beside the program), nothing else. The version is the
# product version of the version block in res/Nodelark.rc.
# Usage: scripts/package.sh [BUILD_DIR]   (default build/win)
# The last line printed is "package: <path of the zip>".
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build/win}")
cd "$ROOT"
fail() { echo "package: $*" >&2; exit 1; }

bash scripts/setup.sh

VERSION=$(sed -n 's/^ *VALUE *"ProductVersion", *"\([0-9.]*\)".*/\1/p' res/Nodelark.rc)
FILE_VERSION=$(sed -n 's/^ *FILEVERSION *\([0-9, ]*\).*/\1/p' res/Nodelark.rc | tr -d ' ' | tr ',' '.')
[ -n "$VERSION" ] || fail "no ProductVersion in res/Nodelark.rc"
# The zip's name and the version Windows shows for the file must agree.
[ "$VERSION" = "$FILE_VERSION" ] || fail "ProductVersion $VERSION and FILEVERSION $FILE_VERSION differ"

LOG="$ROOT/build/package-build.log"
mkdir -p "$ROOT/build" dist
if ! { cmake -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$BUILD" -j"$(nproc)" --target Nodelark; } >"$LOG" 2>&1; then
  tail -30 "$LOG"
  fail "the build failed (log: $LOG)"
fi

ZIP="dist/Nodelark-$VERSION-win64.zip"
# Written beside the old one and renamed over it: a failed run leaves no
# half-written zip under the real name.
/usr/bin/python3 - "$ZIP.part" "$BUILD/src/Nodelark.exe" res/ReadMe.txt <<'PY' || fail "cannot write $ZIP"
import os, sys, zipfile

out, *files = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    for path in files:
        # Both at the top of the zip, so they land side by side when unpacked.
        z.write(path, os.path.basename(path))
PY
mv -f "$ZIP.part" "$ZIP"
echo "package: $ZIP"
