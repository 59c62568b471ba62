#!/bin/bash
# Packs Nodelark with scripts/package.sh, then tests the zip as a user gets
# it: unpacked into "C:\Program Files\Nodelark" of a Wine user who never ran
# Nodelark, its program started on an empty data folder and closed, all
# inside a pair of network namespaces made for this run.
# Usage: tests/package/run.sh BUILD_DIR [gtest arguments...]
# Exits non-zero on any test failure or setup error.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: run.sh BUILD_DIR}")
shift
TESTS="$BUILD/tests/package/nl_package_tests.exe"
SHOTS="$ROOT/build/test-logs/package-shots"

ZIP=$(bash "$ROOT/scripts/package.sh" "$BUILD" | sed -n 's/^package: //p' | tail -1)
[ -n "$ZIP" ] && [ -f "$ROOT/$ZIP" ] || { echo "package: scripts/package.sh made no zip"; exit 1; }
cmake --build "$BUILD" --target nl_package_tests >"$ROOT/build/package-tests-build.log" 2>&1 ||
  { tail -30 "$ROOT/build/package-tests-build.log"; echo "package: cannot build $TESTS"; exit 1; }

source "$ROOT/tests/lib/netns.sh"
NL_NS_LABEL=package
nl_ns_setup package nlpkg nlpk "$BUILD"

# The prefix is this run's own copy: nothing unpacked here outlives the run.
UNPACKED="$WINEPREFIX/drive_c/Program Files/Nodelark"
rm -rf "$UNPACKED"
mkdir -p "$UNPACKED" "$SHOTS"
/usr/bin/python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "$ROOT/$ZIP" "$UNPACKED" || nl_ns_fail "cannot unpack $ZIP"

WIN_EXE=$(nl_ns_winpath "$UNPACKED/Nodelark.exe")
WIN_ZIP=$(nl_ns_winpath "$ROOT/$ZIP")
WIN_README=$(nl_ns_winpath "$ROOT/res/ReadMe.txt")
WIN_SHOTS=$(nl_ns_winpath "$SHOTS")
[ -n "$WIN_EXE" ] && [ -n "$WIN_ZIP" ] && [ -n "$WIN_README" ] || nl_ns_fail "winepath"

echo "package: $ZIP, unpacked as $WIN_EXE, namespace $NL_NS_APP"
PKG_ENV=(NL_E2E_EXE="$WIN_EXE" NL_E2E_SHOTS="$WIN_SHOTS" NL_PKG_ZIP="$WIN_ZIP" NL_PKG_README="$WIN_README")
# The test program's own guard holds before it starts the packed program.
nl_ns_check_guard package NL_PKG_NAMESPACE "$NL_NS_APP" env "${PKG_ENV[@]}" timeout 120 wine "$TESTS" --gtest_color=no
in_app NL_PKG_NAMESPACE="$NL_NS_APP" "${PKG_ENV[@]}" timeout 300 wine "$TESTS" --gtest_color=no "$@" </dev/null
rc=$?
echo "package: test program exit code $rc"
exit $rc
