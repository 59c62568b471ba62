#!/bin/bash
# The network scan's end-to-end tests (NetScan*). The scan box sweeps a
# subnet as soon as it opens, so these tests run only here: in an app
# namespace joined by a switch (a bridge in a namespace of its own) to four
# peers with fixed hardware addresses, two of them with reverse names, and to
# the usual peer on a second link. The default route leaves through the
# switch. A second step runs the tests that need a name server that never
# answers. Nothing reaches the machine's own interfaces.
# Usage: tests/e2e/scan_run.sh BUILD_DIR [gtest arguments...]
# Fails when a test fails, and when the filter selects no test at all.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: scan_run.sh BUILD_DIR}")
shift
EXE="$BUILD/src/Nodelark.exe"
TESTS="$BUILD/tests/e2e/nl_e2e_tests.exe"
SHOTS="$ROOT/build/test-logs/e2e-shots"

source "$ROOT/tests/lib/netns.sh"
source "$ROOT/tests/lib/gtest.sh"
NL_NS_LABEL=e2e-scan
[ -f "$EXE" ] || nl_ns_fail "missing $EXE"
[ -f "$TESTS" ] || nl_ns_fail "missing $TESTS"

# address/prefix, hardware address, reverse name (the tests read this list)
SCAN_PEERS=(
  "10.78.0.11/24 02:4e:4c:53:00:11 scan-peer-one.test"
  "10.78.0.12/24 02:4e:4c:53:00:12 scan-peer-two.test"
  "10.78.0.13/24 02:4e:4c:53:00:13"
  "10.78.0.14/24 02:4e:4c:53:00:14"
)
scan_topology() {
  nl_ns_add_switch 10.78.0.2/24 "${SCAN_PEERS[@]}" || return 1
  # The first peer stands in for the router, so the switch's subnet is the
  # one the default route uses; it forwards nothing, and answers itself for
  # 10.79.0.1: a computer behind a router, whose hardware address no
  # neighbour table of the app's knows.
  ip -n "$NL_NS_APP" route add default via 10.78.0.11 || return 1
  ip -n "$NL_NS_TAG-s1-$$" addr add 10.79.0.1/32 dev lo || return 1
}
NL_NS_TOPOLOGY=scan_topology
nl_ns_setup e2e-scan nlsc nlsc "$BUILD"

mkdir -p "$SHOTS"
WIN_EXE=$(nl_ns_winpath "$EXE")
WIN_SHOTS=$(nl_ns_winpath "$SHOTS")
[ -n "$WIN_EXE" ] || nl_ns_fail "winepath"
PEER_MAC=$(ip -n "$NL_NS_PEER" -o link show | grep -o 'link/ether [0-9a-f:]*' | head -1 | cut -d' ' -f2 |
  tr 'a-f:' 'A-F-')
[ ${#PEER_MAC} -eq 17 ] || nl_ns_fail "no hardware address in $NL_NS_PEER"
# "address,MAC,name;..." with the MAC as the program prints it
PEER_LIST=
for peer in "${SCAN_PEERS[@]}"; do
  read -r cidr mac name <<<"$peer"
  PEER_LIST+="${cidr%/*},$(echo "$mac" | tr 'a-f:' 'A-F-'),${name:-};"
done

echo "e2e-scan: namespace $NL_NS_APP, display $DISPLAY, peers $PEER_LIST"
SCAN_ENV=(NL_E2E_EXE="$WIN_EXE" NL_E2E_SHOTS="$WIN_SHOTS" NL_E2E_PEER_MAC="$PEER_MAC"
  NL_E2E_SCAN_PEERS="$PEER_LIST" NL_E2E_SCAN_NAMESPACE=1 NL_E2E_NAMESPACE_SUBNETS="10.77.0.0/24 10.78.0.0/24")

# The test program's own guard holds before anything is trusted to it.
nl_ns_check_guard e2e-scan NL_E2E_NAMESPACE "$NL_NS_APP" env "${SCAN_ENV[@]}" wine "$TESTS" --gtest_color=no
SCAN_ENV+=(NL_E2E_NAMESPACE="$NL_NS_APP")

nl_gtest_step "e2e-scan: test program" in_app env "${SCAN_ENV[@]}" \
  timeout 900 wine "$TESTS" --gtest_color=no "${@:---gtest_filter=NetScan*}" </dev/null || exit $?

# Then a name server that takes every query and never answers: the listener
# on port 53 of the peer on the second link logs each query and replies to
# none, and the resolver waits 30 s for it, long past anything the scan may
# take. Names in the hosts file still resolve at once. (With arguments, the
# caller's own filter runs in the first step only.)
[ $# -eq 0 ] || exit 0
nl_ns_start_silent_dns "timeout:30 attempts:1"
DNS_LOG=$NL_NS_SILENT_DNS_LOG
WIN_DNS_LOG=$(nl_ns_winpath "$DNS_LOG")
[ -n "$WIN_DNS_LOG" ] || nl_ns_fail "winpath"
nl_gtest_step "e2e-scan: silent name server" in_app env "${SCAN_ENV[@]}" NL_E2E_SILENT_DNS_LOG="$WIN_DNS_LOG" \
  timeout 900 wine "$TESTS" --gtest_color=no --gtest_filter='SilentNameServerScan*' </dev/null
