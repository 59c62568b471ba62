#!/bin/bash
# Runs the end-to-end tests: nl_e2e_tests.exe drives the real Nodelark.exe
# under Wine and Xvfb, all inside a pair of network namespaces made for this
# run, so nothing the program sends can reach a real interface.
# Usage: tests/e2e/run.sh BUILD_DIR [gtest arguments...]
# Exits non-zero on any test failure or setup error.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: run.sh BUILD_DIR}")
shift
EXE="$BUILD/src/Nodelark.exe"
TESTS="$BUILD/tests/e2e/nl_e2e_tests.exe"
SHOTS="$ROOT/build/test-logs/e2e-shots"

fail() { echo "e2e setup: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root for network namespaces"
[ -f "$EXE" ] || fail "missing $EXE"
[ -f "$TESTS" ] || fail "missing $TESTS"

source "$ROOT/scripts/wineenv.sh" "$BUILD"
nl_wine_prefix
[ -f "$WINEPREFIX/.nodelark-ready" ] || fail "no Wine prefix"

APP=nle2e-app-$$
PEER=nle2e-peer-$$
VA=nle2a$$
VB=nle2b$$
TMPDIR_RUN=$(mktemp -d /tmp/nl-e2e.XXXXXX)
XVFB_PID=
DISPLAY_NUM=

cleanup() {
  set +e
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$TMPDIR_RUN/prefix" ]; then
    WINEPREFIX="$TMPDIR_RUN/prefix" timeout 20 wineserver -k >/dev/null 2>&1
  fi
  # Anything still alive in the namespace was started by this run.
  if ip netns list 2>/dev/null | grep -qw "$APP"; then
    for pid in $(ip netns pids "$APP" 2>/dev/null); do
      [ "$pid" = "$XVFB_PID" ] || kill -9 "$pid" 2>/dev/null
    done
  fi
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$XVFB_PID" 2>/dev/null
  fi
  ip netns del "$APP" 2>/dev/null
  ip netns del "$PEER" 2>/dev/null
  rm -rf "/etc/netns/$APP" "/etc/netns/$PEER"
  [ -n "$DISPLAY_NUM" ] && rm -f "/tmp/.X$DISPLAY_NUM-lock" "/tmp/.X11-unix/X$DISPLAY_NUM" 2>/dev/null
  rm -rf "$TMPDIR_RUN"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Name service files of the app namespace: a resolver on loopback, so no
# query can leave it.
mkdir -p "/etc/netns/$APP" || fail "cannot write /etc/netns"
printf 'nameserver 127.0.0.1\n' >"/etc/netns/$APP/resolv.conf"
printf '127.0.0.1 localhost\n10.77.0.2 e2e-app.test\n10.77.0.1 peerhost.test\n' >"/etc/netns/$APP/hosts"

ip netns add "$APP" || fail "ip netns add $APP"
ip netns add "$PEER" || fail "ip netns add $PEER"
ip link add "$VA" type veth peer name "$VB" || fail "veth pair"
ip link set "$VA" netns "$APP" || fail "move $VA"
ip link set "$VB" netns "$PEER" || fail "move $VB"
ip -n "$APP" addr add 10.77.0.2/24 dev "$VA" || fail "address app"
ip -n "$PEER" addr add 10.77.0.1/24 dev "$VB" || fail "address peer"
ip -n "$APP" link set lo up && ip -n "$APP" link set "$VA" up || fail "link app"
ip -n "$PEER" link set lo up && ip -n "$PEER" link set "$VB" up || fail "link peer"

# The prefix copy keeps Wine's helper processes, which report the network,
# from ever having run outside this namespace.
cp -a "$WINEPREFIX" "$TMPDIR_RUN/prefix" || fail "copy prefix"
export WINEPREFIX="$TMPDIR_RUN/prefix"

# Xvfb runs inside the app namespace, so Wine there reaches its abstract
# socket as well as the file socket.
DISPLAY_NUM=$((200 + $$ % 500))
while [ -e "/tmp/.X$DISPLAY_NUM-lock" ] || [ -e "/tmp/.X11-unix/X$DISPLAY_NUM" ]; do
  DISPLAY_NUM=$((DISPLAY_NUM + 1))
done
ip netns exec "$APP" Xvfb ":$DISPLAY_NUM" -screen 0 1280x800x24 -nolisten tcp \
  >"$TMPDIR_RUN/xvfb.log" 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do
  [ -S "/tmp/.X11-unix/X$DISPLAY_NUM" ] && break
  kill -0 "$XVFB_PID" 2>/dev/null || { cat "$TMPDIR_RUN/xvfb.log"; DISPLAY_NUM=; fail "Xvfb died"; }
  sleep 0.1
done
[ -S "/tmp/.X11-unix/X$DISPLAY_NUM" ] || fail "Xvfb did not start"
export DISPLAY=":$DISPLAY_NUM"

in_app() { ip netns exec "$APP" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" "$@"; }

in_app wineserver -p </dev/null >/dev/null 2>&1 || fail "wineserver"
in_app wine cmd.exe /c exit </dev/null >/dev/null 2>&1

mkdir -p "$SHOTS"
WIN_EXE=$(in_app winepath -w "$EXE" 2>/dev/null | tr -d '\r')
WIN_SHOTS=$(in_app winepath -w "$SHOTS" 2>/dev/null | tr -d '\r')
[ -n "$WIN_EXE" ] || fail "winepath"

echo "e2e: namespace $APP, display $DISPLAY, exe $WIN_EXE"
in_app NL_E2E_EXE="$WIN_EXE" NL_E2E_SHOTS="$WIN_SHOTS" \
  timeout 900 wine "$TESTS" --gtest_color=no "$@" </dev/null
rc=$?
echo "e2e: test program exit code $rc"
exit $rc
