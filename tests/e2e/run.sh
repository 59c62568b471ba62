#!/bin/bash
# Runs the end-to-end tests: nl_e2e_tests.exe drives the real Nodelark.exe
# under Wine and Xvfb, all inside a pair of network namespaces made for this
# run, so nothing the program sends can reach a real interface.
# Usage: tests/e2e/run.sh BUILD_DIR [gtest arguments...]
# Without gtest arguments two more steps follow: the full-disk test, and the
# network scan's tests in a switched topology of their own (scan_run.sh,
# which also runs alone: tests/e2e/scan_run.sh BUILD_DIR).
# Exits non-zero on any test failure or setup error.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: run.sh BUILD_DIR}")
shift
EXE="$BUILD/src/Nodelark.exe"
TESTS="$BUILD/tests/e2e/nl_e2e_tests.exe"
SHOTS="$ROOT/build/test-logs/e2e-shots"

source "$ROOT/tests/lib/netns.sh"
NL_NS_LABEL=e2e
[ -f "$EXE" ] || nl_ns_fail "missing $EXE"
[ -f "$TESTS" ] || nl_ns_fail "missing $TESTS"
nl_ns_setup e2e nle2e nle2 "$BUILD"

# The peer counts what arrives at the app's directed broadcast address.
nl_ns_start_listener
LISTENER_LOG=$NL_NS_LISTENER_LOG

mkdir -p "$SHOTS"
WIN_EXE=$(nl_ns_winpath "$EXE")
WIN_SHOTS=$(nl_ns_winpath "$SHOTS")
WIN_LISTENER_LOG=$(nl_ns_winpath "$LISTENER_LOG")
[ -n "$WIN_EXE" ] && [ -n "$WIN_LISTENER_LOG" ] || nl_ns_fail "winepath"

# The peer's hardware address as its namespace reports it, for the MAC
# look-up to be checked against.
PEER_MAC=$(ip -n "$NL_NS_PEER" -o link show | grep -o 'link/ether [0-9a-f:]*' | head -1 | cut -d' ' -f2 |
  tr 'a-f:' 'A-F-')
[ ${#PEER_MAC} -eq 17 ] || nl_ns_fail "no hardware address in $NL_NS_PEER"

echo "e2e: namespace $NL_NS_APP, display $DISPLAY, exe $WIN_EXE, peer $PEER_MAC"
in_app NL_E2E_EXE="$WIN_EXE" NL_E2E_SHOTS="$WIN_SHOTS" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG" \
  NL_E2E_PEER_MAC="$PEER_MAC" \
  timeout 2100 wine "$TESTS" --gtest_color=no "${@:---gtest_filter=-FullDisk.*:NetScan*}" </dev/null
rc=$?
echo "e2e: test program exit code $rc"
[ $# -eq 0 ] || exit $rc

# A full disk at the save on exit: the data folder on a small tmpfs of its
# own, mounted in a mount namespace made for this step only. Wine opens files
# in its server, so the server starts again inside that namespace.
echo "e2e: full disk, the data folder on a 512 KiB file system"
in_app wineserver -k >/dev/null 2>&1
DATA_LINUX="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Morrowbel"
mkdir -p "$DATA_LINUX"
ip netns exec "$NL_NS_APP" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" NL_E2E_EXE="$WIN_EXE" \
  NL_E2E_SHOTS="$WIN_SHOTS" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG" NL_E2E_PEER_MAC="$PEER_MAC" \
  timeout 600 bash -c '
    mount -t tmpfs -o size=512k nl-full-disk "$1" || { echo "e2e: cannot mount the small file system"; exit 1; }
    wineserver -p </dev/null >/dev/null 2>&1
    wine "$2" --gtest_color=no --gtest_filter=FullDisk.* </dev/null
    rc=$?
    wineserver -k >/dev/null 2>&1
    exit $rc' _ "$DATA_LINUX" "$TESTS"
full=$?
echo "e2e: full-disk test program exit code $full"

# The scan box sweeps a subnet as soon as it opens: its tests get namespaces
# of their own with a switch and peers to find.
echo "e2e: network scan, in a switched topology of its own"
bash "$ROOT/tests/e2e/scan_run.sh" "$BUILD"
scan=$?
echo "e2e: network scan step exit code $scan"
[ "$rc" -ne 0 ] && exit $rc
[ "$full" -ne 0 ] && exit $full
exit $scan
