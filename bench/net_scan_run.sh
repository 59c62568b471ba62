#!/bin/bash
# The network scan benchmark in namespaces of its own: the app at
# 172.20.0.2/20 on a switch (a bridge in a namespace) with four live
# computers in 172.20.0.0/24; the default route leaves through the switch, so
# the box opens on the whole /20. Nothing reaches the machine's interfaces.
# The benchmark refuses to run outside these namespaces; its refusal is
# proved first (nl_ns_check_guard), and fails the run when it does not hold.
# Usage: bench/net_scan_run.sh BUILD_DIR   (bench/run.sh calls it)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:?usage: net_scan_run.sh BUILD_DIR}")
source "$ROOT/tests/lib/netns.sh"
NL_NS_LABEL=bench-scan
[ -f "$BUILD/bench/net_scan_bench.exe" ] || nl_ns_fail "missing $BUILD/bench/net_scan_bench.exe"
scan_topology() {
  nl_ns_add_switch 172.20.0.2/20 "172.20.0.11/20 02:4e:4c:42:00:11 bench-one.test" \
    "172.20.0.12/20 02:4e:4c:42:00:12 bench-two.test" "172.20.0.13/20 02:4e:4c:42:00:13" \
    "172.20.0.14/20 02:4e:4c:42:00:14" || return 1
  ip -n "$NL_NS_APP" route add default via 172.20.0.11
}
NL_NS_TOPOLOGY=scan_topology
nl_ns_setup bench-scan nlbs nlbs "$BUILD"
WIN_EXE=$(nl_ns_winpath "$BUILD/src/Nodelark.exe")
[ -n "$WIN_EXE" ] || nl_ns_fail "winepath"
# A crash prints its backtrace instead of waiting in a dialog for a user.
in_app wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
echo "bench-scan: namespace $NL_NS_APP, display $DISPLAY"
nl_ns_check_guard bench-scan NL_BENCH_NAMESPACE "$NL_NS_APP" \
  env NL_E2E_EXE="$WIN_EXE" NL_BENCH_SCAN_TOPOLOGY=1 timeout 120 wine "$BUILD/bench/net_scan_bench.exe"
in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" NL_BENCH_SCAN_TOPOLOGY=1 timeout 900 \
  wine "$BUILD/bench/net_scan_bench.exe" </dev/null
