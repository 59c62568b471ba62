#!/bin/bash
# The network scan benchmark in namespaces of its own: the app at
# 172.20.0.2/20 on a switch (a bridge in a namespace) with four live
# computers in 172.20.0.0/24; the default route leaves through the switch, so
# the box opens on the whole /20. First with a name server that refuses at
# once, then with one that never answers (a listener on port 53 of the peer
# on the second link that replies to nothing, at the resolver's default
# time-outs). Debian's nmap scans the same /20 and /24 first (no names), and
# the benchmark sets its own figures beside those; with the silent name
# server nmap scans the /24 with names.
# Nothing reaches the machine's interfaces. The benchmark refuses to run
# outside these namespaces; its refusal is proved first (nl_ns_check_guard),
# and fails the run when it does not hold.
# Usage: bench/net_scan_run.sh BUILD_DIR   (bench/run.sh calls it)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:?usage: net_scan_run.sh BUILD_DIR}")
source "$ROOT/tests/lib/netns.sh"
NL_NS_LABEL=bench-scan
[ -f "$BUILD/bench/net_scan_bench.exe" ] || nl_ns_fail "missing $BUILD/bench/net_scan_bench.exe"
if ! command -v nmap >/dev/null; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq nmap >/dev/null 2>&1 ||
    { apt-get update -qq >/dev/null 2>&1 && apt-get install -y -qq nmap >/dev/null 2>&1; } ||
    nl_ns_fail "cannot install nmap"
fi
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

# Seconds nmap takes for a range (the last argument), with these options,
# inside the app namespace; it must find the four computers.
nmap_seconds() {
  local start end
  start=$(date +%s.%N)
  ip netns exec "$NL_NS_APP" timeout 300 nmap "$@" >"$NL_NS_TMP/nmap.log" 2>&1 ||
    { cat "$NL_NS_TMP/nmap.log" >&2; return 1; }
  end=$(date +%s.%N)
  grep -q '4 hosts up\|5 hosts up' "$NL_NS_TMP/nmap.log" || { cat "$NL_NS_TMP/nmap.log" >&2; return 1; }
  echo "$start $end" | awk '{ printf "%.2f", $2 - $1 }'
}

failed=0
NMAP_20=$(nmap_seconds -sn -n 172.20.0.0/20) || { echo "nmap -sn -n on the /20 failed"; failed=1; }
NMAP_24=$(nmap_seconds -sn -n 172.20.0.0/24) || { echo "nmap -sn -n on the /24 failed"; failed=1; }
echo "nmap -sn -n (no names): /20 ${NMAP_20:-?} s, /24 ${NMAP_24:-?} s"
in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" NL_BENCH_SCAN_TOPOLOGY=1 \
  NL_BENCH_NMAP_20_SECONDS="${NMAP_20:-0}" NL_BENCH_NMAP_24_SECONDS="${NMAP_24:-0}" \
  timeout 900 wine "$BUILD/bench/net_scan_bench.exe" </dev/null || failed=1

nl_ns_start_silent_dns ""
echo "bench-scan: a name server that never answers"
OUT=$(in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" NL_BENCH_SCAN_TOPOLOGY=1 NL_BENCH_SCAN_SILENT_DNS=1 timeout 900 \
  wine "$BUILD/bench/net_scan_bench.exe" </dev/null)
rc=$?
echo "$OUT" | grep -av '^NODELARK_ROWS_SECONDS='
[ "$rc" -eq 0 ] || failed=1
ROWS=$(echo "$OUT" | sed -n 's/^NODELARK_ROWS_SECONDS=//p')
NMAP=$(nmap_seconds -sn 172.20.0.0/24) || { echo "nmap -sn failed"; failed=1; }
echo "silent name server, /24 with four computers: Nodelark every row shown ${ROWS:-?} s (target under 2 s)," \
  "nmap -sn (with names) ${NMAP:-?} s"
exit "$failed"
