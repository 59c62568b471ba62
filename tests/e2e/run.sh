#!/bin/bash
# Runs the end-to-end tests: nl_e2e_tests.exe drives the real Nodelark.exe
# under Wine and Xvfb, all inside a pair of network namespaces made for this
# run, so nothing the program sends can reach a real interface.
# Usage: tests/e2e/run.sh BUILD_DIR [gtest arguments...]
#        tests/e2e/run.sh BUILD_DIR --subnets [gtest arguments...]
#          (only the step with several subnets, see below)
#        tests/e2e/run.sh BUILD_DIR --locale
#          (only the step under other locales)
#        tests/e2e/run.sh BUILD_DIR --dpi
#          (only the step at 96, 144 and 192 DPI)
# Without gtest arguments three more steps follow: the full-disk test, the
# several-subnets tests, and the network scan's tests in a switched topology
# of their own (scan_run.sh, which also runs alone: tests/e2e/scan_run.sh
# BUILD_DIR).
# Exits non-zero on any test failure or setup error, and when a step runs no
# test (a filter that matches nothing).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: run.sh BUILD_DIR}")
shift
SUBNETS_ONLY=0
LOCALE_ONLY=0
DPI_ONLY=0
if [ "${1:-}" = "--subnets" ]; then
  SUBNETS_ONLY=1
  shift
elif [ "${1:-}" = "--locale" ]; then
  LOCALE_ONLY=1
  shift
elif [ "${1:-}" = "--dpi" ]; then
  DPI_ONLY=1
  shift
fi
SUBNETS_FILTER=RoutedSubnets.*
EXE="$BUILD/src/Nodelark.exe"
TESTS="$BUILD/tests/e2e/nl_e2e_tests.exe"
SHOTS="$ROOT/build/test-logs/e2e-shots"

source "$ROOT/tests/lib/netns.sh"
source "$ROOT/tests/lib/gtest.sh"
NL_NS_LABEL=e2e
[ -f "$EXE" ] || nl_ns_fail "missing $EXE"
[ -f "$TESTS" ] || nl_ns_fail "missing $TESTS"
nl_ns_setup e2e nle2e nle2 "$BUILD"

# The peer counts what arrives at the app's directed broadcast address.
nl_ns_start_listener
LISTENER_LOG=$NL_NS_LISTENER_LOG

# Simulated computers in the peer namespace: they start answering once their
# magic packet has arrived (see peer_computer.py).
PEER_DEV=$(ip -n "$NL_NS_PEER" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1 | head -1)
[ -n "$PEER_DEV" ] || nl_ns_fail "no veth link in $NL_NS_PEER"
PEER_CONTROL="$NL_NS_TMP/peer-control"
PEER_ACK="$NL_NS_TMP/peer-ack"
PEER_PID=
DPI_XVFB_PID=
stop_peer_computer() {
  if [ -n "$PEER_PID" ]; then kill "$PEER_PID" 2>/dev/null; wait "$PEER_PID" 2>/dev/null; fi
  PEER_PID=
  if [ -n "$DPI_XVFB_PID" ]; then kill "$DPI_XVFB_PID" 2>/dev/null; wait "$DPI_XVFB_PID" 2>/dev/null; fi
  DPI_XVFB_PID=
}
NL_NS_EXTRA_CLEANUP=stop_peer_computer
ip netns exec "$NL_NS_PEER" /usr/bin/python3 "$ROOT/tests/e2e/peer_computer.py" \
  "$LISTENER_LOG" "$PEER_CONTROL" "$PEER_ACK" "$PEER_DEV" &
PEER_PID=$!
for _ in $(seq 100); do [ -f "$PEER_ACK" ] && break; sleep 0.1; done
[ -f "$PEER_ACK" ] || nl_ns_fail "the simulated computers did not start"

# Computers behind the peer (10.88.0.0/16): the app namespace takes the peer
# for their router, so they are off this computer's subnets.
ip -n "$NL_NS_APP" route add 10.88.0.0/16 via 10.77.0.1 || nl_ns_fail "route to 10.88.0.0/16"
# Whatever the checks send to the simulated computers, dropped or not.
nl_ns_start_connect_log "$NL_NS_PEER" "$PEER_DEV"

mkdir -p "$SHOTS"
WIN_EXE=$(nl_ns_winpath "$EXE")
WIN_SHOTS=$(nl_ns_winpath "$SHOTS")
WIN_LISTENER_LOG=$(nl_ns_winpath "$LISTENER_LOG")
WIN_PEER_CONTROL=$(nl_ns_winpath "$PEER_CONTROL")
WIN_PEER_ACK=$(nl_ns_winpath "$PEER_ACK")
WIN_CONNECT_LOG=$(nl_ns_winpath "$NL_NS_CONNECT_LOG")
[ -n "$WIN_EXE" ] && [ -n "$WIN_LISTENER_LOG" ] || nl_ns_fail "winepath"

# The peer's hardware address as its namespace reports it, for the MAC
# look-up to be checked against.
PEER_MAC=$(ip -n "$NL_NS_PEER" -o link show | grep -o 'link/ether [0-9a-f:]*' | head -1 | cut -d' ' -f2 |
  tr 'a-f:' 'A-F-')
[ ${#PEER_MAC} -eq 17 ] || nl_ns_fail "no hardware address in $NL_NS_PEER"

echo "e2e: namespace $NL_NS_APP, display $DISPLAY, exe $WIN_EXE, peer $PEER_MAC"
E2E_ENV=(NL_E2E_EXE="$WIN_EXE" NL_E2E_SHOTS="$WIN_SHOTS" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG"
  NL_E2E_PEER_MAC="$PEER_MAC" NL_E2E_PEER_CONTROL="$WIN_PEER_CONTROL" NL_E2E_PEER_ACK="$WIN_PEER_ACK"
  NL_E2E_CONNECT_LOG="$WIN_CONNECT_LOG")

# The test program's own guard holds before anything is trusted to it.
nl_ns_check_guard e2e NL_E2E_NAMESPACE "$NL_NS_APP" env "${E2E_ENV[@]}" wine "$TESTS" --gtest_color=no
[ -s "$LISTENER_LOG" ] && nl_ns_fail "the guard runs sent packets: $(cat "$LISTENER_LOG")"
[ -s "$NL_NS_CONNECT_LOG" ] && nl_ns_fail "the guard runs sent packets: $(cat "$NL_NS_CONNECT_LOG")"
E2E_ENV+=(NL_E2E_NAMESPACE="$NL_NS_APP")

# Several subnets: a second link and a router to a third subnet (see
# nl_ns_add_subnets), with a listener on each destination. Only the tests of
# where packets go run here; the wineserver starts again so that Wine's
# network helpers see the new links.
subnets_step() {
  echo "e2e: several subnets and a router"
  nl_ns_add_subnets
  local logs= pair address
  local IFS=';'
  for pair in $NL_NS_SUBNET_LOGS; do
    address=${pair%%=*}
    logs="$logs${logs:+;}$address=$(nl_ns_winpath "${pair#*=}")"
  done
  unset IFS
  in_app wineserver -k >/dev/null 2>&1
  in_app wineserver -w >/dev/null 2>&1
  nl_ns_start_server
  nl_gtest_step "e2e: several-subnets test program" in_app env "${E2E_ENV[@]}" \
    NL_E2E_NAMESPACE_SUBNETS="10.77.0.0/24 10.78.0.0/24" NL_E2E_SUBNET_LISTENERS="$logs" \
    timeout 900 wine "$TESTS" --gtest_color=no "--gtest_filter=$SUBNETS_FILTER" "$@" </dev/null
}
# A Windows whose system locale is not Japanese: the test program starts
# under another Unix locale, which Wine turns into that ANSI code page for
# it and, but for the manifest, for the Nodelark it starts.
locale_step() {
  local lang failed=0
  for lang in en_US.UTF-8 C.UTF-8; do
    nl_gtest_step "e2e: other locale $lang" in_app env "${E2E_ENV[@]}" LANG="$lang" \
      timeout 600 wine "$TESTS" --gtest_color=no --gtest_filter='OtherLocale*' </dev/null || failed=1
  done
  return $failed
}

# Display scales: Wine takes its DPI from LogPixels when its server starts,
# for every program alike. A screen of 1920x1200, as laptops scaled to 150 or
# 200 % have, on a display of the step's own, so that the entry sheet fits at
# 192 DPI. At 144 DPI the tests also leave the README's pictures (main
# window, entry sheet, scan box) among the shots. The scan box sweeps the
# app's own subnet here, inside this run's namespaces.
dpi_step() {
  local dpi failed=0 pictures display=$((NL_NS_DISPLAY_NUM + 1)) saved_display=$DISPLAY
  while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
  ip netns exec "$NL_NS_APP" Xvfb ":$display" -screen 0 1920x1200x24 -nolisten tcp \
    >"$NL_NS_TMP/xvfb-dpi.log" 2>&1 &
  DPI_XVFB_PID=$!
  for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  if ! [ -S "/tmp/.X11-unix/X$display" ]; then
    echo "e2e: the step's Xvfb did not start"; cat "$NL_NS_TMP/xvfb-dpi.log"
    return 1
  fi
  DISPLAY=":$display"
  for dpi in 96 144 192; do
    in_app wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1 ||
      { echo "e2e: cannot set LogPixels to $dpi"; failed=1; continue; }
    in_app wineserver -k >/dev/null 2>&1
    in_app wineserver -w >/dev/null 2>&1
    nl_ns_start_server
    pictures=
    [ "$dpi" -eq 144 ] && pictures=$WIN_SHOTS
    nl_gtest_step "e2e: $dpi DPI" in_app env "${E2E_ENV[@]}" NL_E2E_DPI="$dpi" NL_E2E_PICTURES="$pictures" \
      timeout 600 wine "$TESTS" --gtest_color=no --gtest_filter='Dpi*' </dev/null || failed=1
  done
  in_app wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 96 /f >/dev/null 2>&1
  in_app wineserver -k >/dev/null 2>&1
  in_app wineserver -w >/dev/null 2>&1
  DISPLAY=$saved_display
  kill "$DPI_XVFB_PID" 2>/dev/null
  wait "$DPI_XVFB_PID" 2>/dev/null
  DPI_XVFB_PID=
  nl_ns_start_server
  return $failed
}

if [ "$DPI_ONLY" -eq 1 ]; then
  dpi_step
  exit $?
fi
if [ "$LOCALE_ONLY" -eq 1 ]; then
  locale_step
  exit $?
fi
if [ "$SUBNETS_ONLY" -eq 1 ]; then
  subnets_step "$@"
  exit $?
fi

nl_gtest_step "e2e: test program" in_app env "${E2E_ENV[@]}" \
  timeout 2300 wine "$TESTS" --gtest_color=no "${@:---gtest_filter=-FullDisk.*:$SUBNETS_FILTER:NetScan*:SilentNameServerScan*:OtherLocale*:Dpi*}" </dev/null
rc=$?
[ $# -eq 0 ] || exit $rc

# A full disk at the save on exit: the data folder on a small tmpfs of its
# own, mounted in a mount namespace made for this step only. Wine opens files
# in its server, so the server starts again inside that namespace. The
# folder is the one Wine names; the test checks that it sits on a file system
# of that size before it fills it.
SMALL_DISK=524288
echo "e2e: full disk, the data folder on a $((SMALL_DISK / 1024)) KiB file system"
DATA_LINUX=$(nl_ns_data_folder) || nl_ns_fail "Wine does not name the application data folder"
in_app wineserver -k >/dev/null 2>&1
mkdir -p "$DATA_LINUX"
nl_gtest_step "e2e: full-disk test program" ip netns exec "$NL_NS_APP" \
  env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" "${E2E_ENV[@]}" NL_E2E_SMALL_DISK="$SMALL_DISK" \
  timeout 600 bash -c '
    mount -t tmpfs -o size="$3" nl-full-disk "$1" || { echo "e2e: cannot mount the small file system"; exit 1; }
    wineserver -p </dev/null >/dev/null 2>&1
    wine "$2" --gtest_color=no --gtest_filter=FullDisk.* </dev/null
    rc=$?
    wineserver -k >/dev/null 2>&1
    exit $rc' _ "$DATA_LINUX" "$TESTS" "$SMALL_DISK" </dev/null
full=$?

# Before the subnets step: it adds addresses that the test program's guard
# knows only in that step.
locale_step
locale=$?

dpi_step
dpis=$?

subnets_step
subnets=$?

# The scan box sweeps a subnet as soon as it opens: its tests get namespaces
# of their own with a switch and peers to find.
echo "e2e: network scan, in a switched topology of its own"
bash "$ROOT/tests/e2e/scan_run.sh" "$BUILD"
scan=$?
echo "e2e: network scan step exit code $scan"
[ "$rc" -ne 0 ] && exit $rc
[ "$full" -ne 0 ] && exit $full
[ "$subnets" -ne 0 ] && exit $subnets
[ "$locale" -ne 0 ] && exit $locale
[ "$dpis" -ne 0 ] && exit $dpis
exit $scan
