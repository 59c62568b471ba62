#!/bin/bash
# Tier 3: the tests that send packets. Everything here happens inside a pair
# of network namespaces made for this run and joined by a veth link; the
# machine's own interfaces never see a packet. Both namespaces and every
# process started here go away at the end, also on failure.
# Usage: tests/net/run.sh BUILD_DIR   (as root)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build/win}")
EXE="$BUILD/tests/net/nl_net_tests.exe"

[ "$(id -u)" -eq 0 ] || { echo "net: must run as root"; exit 1; }
[ -f "$EXE" ] || { echo "net: $EXE is missing"; exit 1; }
PYTHON=/usr/bin/python3
[ -x "$PYTHON" ] || PYTHON=$(command -v python3)

source "$ROOT/scripts/wineenv.sh" "$BUILD"
nl_wine_prefix

APP="nlA$$"
PEER="nlP$$"
VETH_APP="nla$$"
VETH_PEER="nlb$$"
WORK=$(mktemp -d /tmp/nl-net.XXXXXX)
PIDS=()
SERVER_STARTED=0

cleanup() {
  local rc=$?
  trap - EXIT INT TERM HUP
  if [ "$SERVER_STARTED" -eq 1 ]; then
    WINEPREFIX="$WORK/prefix" wineserver -k 2>/dev/null || true
  fi
  local pid
  PIDS+=($(ip netns pids "$APP" 2>/dev/null) $(ip netns pids "$PEER" 2>/dev/null))
  for pid in "${PIDS[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  ip netns del "$APP" 2>/dev/null
  ip netns del "$PEER" 2>/dev/null
  ip link del "$VETH_APP" 2>/dev/null
  rm -rf "$WORK"
  exit "$rc"
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

fail() { echo "net: $*"; exit 1; }

# Polls for up to ten seconds.
wait_until() {
  local i
  for i in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

echo "net: namespaces $APP and $PEER"
ip netns add "$APP" || fail "cannot create namespace $APP"
ip netns add "$PEER" || fail "cannot create namespace $PEER"
ip link add "$VETH_APP" type veth peer name "$VETH_PEER" || fail "cannot create veth pair"
ip link set "$VETH_APP" netns "$APP" && ip link set "$VETH_PEER" netns "$PEER" &&
  ip -n "$APP" addr add 10.77.0.2/24 dev "$VETH_APP" &&
  ip -n "$PEER" addr add 10.77.0.1/24 dev "$VETH_PEER" &&
  ip -n "$APP" link set lo up && ip -n "$PEER" link set lo up &&
  ip -n "$APP" link set "$VETH_APP" up && ip -n "$PEER" link set "$VETH_PEER" up ||
  fail "cannot set up the veth link"

# A computer that drops echo and TCP but whose ARP the peer's kernel
# answers: every reply from its address goes to a blackhole (ARP is no IP
# packet and is left alone). 10.77.0.5 is on the link; 10.88.1.5 sits behind
# the peer, which the app namespace takes for its router.
ip -n "$PEER" addr add 10.77.0.5/32 dev "$VETH_PEER" &&
  ip -n "$PEER" addr add 10.88.1.5/32 dev lo &&
  ip -n "$PEER" rule add from 10.77.0.5 lookup 77 &&
  ip -n "$PEER" rule add from 10.88.1.5 lookup 77 &&
  ip -n "$PEER" route add blackhole default table 77 &&
  ip -n "$APP" route add 10.88.0.0/16 via 10.77.0.1 ||
  fail "cannot set up the computer that drops everything"

# Every connect and echo request that reaches the peer's link, dropped or not.
CONNECT_LOG="$WORK/connects.log"
: >"$CONNECT_LOG"
ip netns exec "$PEER" "$PYTHON" "$ROOT/tests/net/connect_log.py" \
  "$VETH_PEER" "$CONNECT_LOG" "$WORK/connects.ready" &
PIDS+=($!)
wait_until test -f "$WORK/connects.ready" || fail "connect log did not start"

LISTENER_LOG="$WORK/listener.log"
: >"$LISTENER_LOG"
ip netns exec "$PEER" "$PYTHON" "$ROOT/tests/net/wake_listener.py" \
  10.77.0.255 "$LISTENER_LOG" "$WORK/listener.ready" 7 9 &
PIDS+=($!)
wait_until test -f "$WORK/listener.ready" || fail "listener did not start"

# A prefix of its own, so the wineserver and Wine's helper processes are
# started here and see this namespace's network, not the machine's.
cp -a "$WINEPREFIX" "$WORK/prefix" || fail "cannot copy the Wine prefix"
export WINEPREFIX="$WORK/prefix"
# wineserver daemonizes once it is ready; the namespace names its pid.
SERVER_STARTED=1
ip netns exec "$APP" wineserver -p </dev/null >/dev/null 2>&1 || fail "wineserver did not start"
PIDS+=($(ip netns pids "$APP"))
ip netns exec "$APP" wine cmd.exe /c exit </dev/null >/dev/null 2>&1

app_wine() { ip netns exec "$APP" env "$@" wine "$EXE" --gtest_color=no </dev/null; }
WIN_LOG="Z:${LISTENER_LOG//\//\\}"
WIN_CONNECT_LOG="Z:${CONNECT_LOG//\//\\}"

# The program's own guard must hold before anything is trusted to it; even
# if it did not, whatever it sent would stay inside these namespaces.
out=$(app_wine -u NL_NET_NAMESPACE NL_NET_LISTENER_LOG="$WIN_LOG" 2>&1)
guard_rc=$?
[ "$guard_rc" -eq 2 ] || fail "nl_net_tests ran without NL_NET_NAMESPACE (exit code $guard_rc): $out"
echo "$out" | grep -q "refusing to run" || fail "unexpected guard output: $out"
ip -n "$APP" addr add 192.0.2.2/24 dev "$VETH_APP" || fail "cannot add the foreign address"
out=$(app_wine NL_NET_NAMESPACE="$APP" NL_NET_LISTENER_LOG="$WIN_LOG" 2>&1)
guard_rc=$?
ip -n "$APP" addr del 192.0.2.2/24 dev "$VETH_APP" || fail "cannot remove the foreign address"
[ "$guard_rc" -eq 2 ] || fail "nl_net_tests ran beside a foreign address (exit code $guard_rc): $out"
echo "$out" | grep -q "refusing to run" || fail "unexpected guard output: $out"
[ -s "$LISTENER_LOG" ] && fail "the guard runs sent packets: $(cat "$LISTENER_LOG")"
[ -s "$CONNECT_LOG" ] && fail "the guard runs sent packets: $(cat "$CONNECT_LOG")"
echo "net: guard refuses outside the test network (${out##*refusing to run: })"

app_wine NL_NET_NAMESPACE="$APP" NL_NET_LISTENER_LOG="$WIN_LOG" NL_NET_CONNECT_LOG="$WIN_CONNECT_LOG" 2>&1
rc=$?
echo "net: listener log:"
cat "$LISTENER_LOG"
kill -0 "${PIDS[1]}" 2>/dev/null || fail "the listener died during the run"
kill -0 "${PIDS[0]}" 2>/dev/null || fail "the connect log died during the run"
[ "$rc" -eq 0 ] || fail "nl_net_tests exited with $rc"
exit 0
