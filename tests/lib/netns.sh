# Sourced by every script that runs Nodelark.exe: a pair of network
# namespaces made for this run only (veth 10.77.0.2/24 in the app namespace,
# 10.77.0.1/24 in the peer), a private copy of the Wine prefix, and Xvfb plus
# wineserver started inside the app namespace. Nothing the program sends can
# reach a real interface. Everything is removed on exit, also after a failure.
#
# Usage:
#   source tests/lib/netns.sh
#   nl_ns_setup LABEL NAME_TAG VETH_TAG BUILD_DIR
#   in_app wine ...        # runs a command inside the app namespace
# Sets NL_NS_APP, NL_NS_PEER, NL_NS_TMP, WINEPREFIX, DISPLAY. A caller with
# processes of its own to end sets NL_NS_EXTRA_CLEANUP to a function name.
# A caller that needs more network sets NL_NS_TOPOLOGY to a function name: it
# runs once the pair is up and before Wine starts in the app namespace (so
# Wine sees the links from its first look), for example nl_ns_add_switch.

NL_NS_LIB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
NL_NS_LABEL=nl
NL_NS_APP=
NL_NS_PEER=
NL_NS_TMP=
NL_NS_XVFB_PID=
NL_NS_DISPLAY_NUM=
NL_NS_EXTRA_CLEANUP=
NL_NS_TOPOLOGY=
NL_NS_TAG=
NL_NS_VTAG=
NL_NS_MORE=()

nl_ns_fail() { echo "$NL_NS_LABEL setup: $*" >&2; exit 1; }

nl_ns_cleanup() {
  set +e
  if [ -n "$NL_NS_EXTRA_CLEANUP" ]; then "$NL_NS_EXTRA_CLEANUP"; fi
  nl_ns_stop_listener
  if [ -n "${WINEPREFIX:-}" ] && [ -n "$NL_NS_TMP" ] && [ -d "$NL_NS_TMP/prefix" ]; then
    WINEPREFIX="$NL_NS_TMP/prefix" timeout 20 wineserver -k >/dev/null 2>&1
  fi
  # Anything still alive in the namespace was started by this run.
  if [ -n "$NL_NS_APP" ] && ip netns list 2>/dev/null | grep -qw "$NL_NS_APP"; then
    for pid in $(ip netns pids "$NL_NS_APP" 2>/dev/null); do
      [ "$pid" = "$NL_NS_XVFB_PID" ] || kill -9 "$pid" 2>/dev/null
    done
  fi
  if [ -n "$NL_NS_XVFB_PID" ]; then
    kill "$NL_NS_XVFB_PID" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$NL_NS_XVFB_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$NL_NS_XVFB_PID" 2>/dev/null
  fi
  if [ -n "$NL_NS_APP" ]; then
    ip netns del "$NL_NS_APP" 2>/dev/null
    rm -rf "/etc/netns/$NL_NS_APP"
  fi
  if [ -n "$NL_NS_PEER" ]; then
    ip netns del "$NL_NS_PEER" 2>/dev/null
    rm -rf "/etc/netns/$NL_NS_PEER"
  fi
  local ns
  for ns in "${NL_NS_MORE[@]}"; do ip netns del "$ns" 2>/dev/null; done
  [ -n "$NL_NS_DISPLAY_NUM" ] && rm -f "/tmp/.X$NL_NS_DISPLAY_NUM-lock" "/tmp/.X11-unix/X$NL_NS_DISPLAY_NUM" 2>/dev/null
  [ -n "$NL_NS_TMP" ] && rm -rf "$NL_NS_TMP"
  return 0
}

in_app() { ip netns exec "$NL_NS_APP" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" "$@"; }

# Windows path of a Linux path, as Wine inside the namespace sees it.
nl_ns_winpath() { in_app winepath -w "$1" 2>/dev/null | tr -d '\r'; }

nl_ns_setup() {
  NL_NS_LABEL=$1
  local tag=$2 vtag=$3 build
  NL_NS_TAG=$tag
  NL_NS_VTAG=$vtag
  build=$(realpath -m "$4")
  [ "$(id -u)" -eq 0 ] || nl_ns_fail "needs root for network namespaces"

  source "$NL_NS_LIB_ROOT/scripts/wineenv.sh" "$build"
  nl_wine_prefix
  [ -f "$WINEPREFIX/.nodelark-ready-2" ] || nl_ns_fail "no Wine prefix"

  local va="${vtag}a$$" vb="${vtag}b$$"
  NL_NS_APP=$tag-app-$$
  NL_NS_PEER=$tag-peer-$$
  NL_NS_TMP=$(mktemp -d "/tmp/$tag.XXXXXX")
  trap nl_ns_cleanup EXIT
  trap 'exit 130' INT TERM

  # Name service files of the app namespace: a resolver on loopback, so no
  # query can leave it.
  mkdir -p "/etc/netns/$NL_NS_APP" || nl_ns_fail "cannot write /etc/netns"
  printf 'nameserver 127.0.0.1\n' >"/etc/netns/$NL_NS_APP/resolv.conf"
  printf '127.0.0.1 localhost\n10.77.0.2 e2e-app.test\n10.77.0.1 peerhost.test\n' >"/etc/netns/$NL_NS_APP/hosts"

  ip netns add "$NL_NS_APP" || nl_ns_fail "ip netns add $NL_NS_APP"
  ip netns add "$NL_NS_PEER" || nl_ns_fail "ip netns add $NL_NS_PEER"
  ip link add "$va" type veth peer name "$vb" || nl_ns_fail "veth pair"
  ip link set "$va" netns "$NL_NS_APP" || nl_ns_fail "move $va"
  ip link set "$vb" netns "$NL_NS_PEER" || nl_ns_fail "move $vb"
  ip -n "$NL_NS_APP" addr add 10.77.0.2/24 dev "$va" || nl_ns_fail "address app"
  ip -n "$NL_NS_PEER" addr add 10.77.0.1/24 dev "$vb" || nl_ns_fail "address peer"
  ip -n "$NL_NS_APP" link set lo up && ip -n "$NL_NS_APP" link set "$va" up || nl_ns_fail "link app"
  ip -n "$NL_NS_PEER" link set lo up && ip -n "$NL_NS_PEER" link set "$vb" up || nl_ns_fail "link peer"
  if [ -n "$NL_NS_TOPOLOGY" ]; then "$NL_NS_TOPOLOGY" || nl_ns_fail "topology $NL_NS_TOPOLOGY"; fi

  # The prefix copy keeps Wine's helper processes, which report the network,
  # from ever having run outside this namespace.
  cp -a "$WINEPREFIX" "$NL_NS_TMP/prefix" || nl_ns_fail "copy prefix"
  export WINEPREFIX="$NL_NS_TMP/prefix"

  # Xvfb runs inside the app namespace, so Wine there reaches its abstract
  # socket as well as the file socket.
  NL_NS_DISPLAY_NUM=$((200 + $$ % 500))
  while [ -e "/tmp/.X$NL_NS_DISPLAY_NUM-lock" ] || [ -e "/tmp/.X11-unix/X$NL_NS_DISPLAY_NUM" ]; do
    NL_NS_DISPLAY_NUM=$((NL_NS_DISPLAY_NUM + 1))
  done
  ip netns exec "$NL_NS_APP" Xvfb ":$NL_NS_DISPLAY_NUM" -screen 0 1280x800x24 -nolisten tcp \
    >"$NL_NS_TMP/xvfb.log" 2>&1 &
  NL_NS_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -S "/tmp/.X11-unix/X$NL_NS_DISPLAY_NUM" ] && break
    kill -0 "$NL_NS_XVFB_PID" 2>/dev/null || { cat "$NL_NS_TMP/xvfb.log"; NL_NS_DISPLAY_NUM=; nl_ns_fail "Xvfb died"; }
    sleep 0.1
  done
  [ -S "/tmp/.X11-unix/X$NL_NS_DISPLAY_NUM" ] || nl_ns_fail "Xvfb did not start"
  export DISPLAY=":$NL_NS_DISPLAY_NUM"

  in_app wineserver -p </dev/null >/dev/null 2>&1 || nl_ns_fail "wineserver"
  in_app wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  return 0
}

# Starts the UDP listener in the peer namespace, bound to the app's directed
# broadcast address on ports 7 and 9; one line per datagram goes to
# $NL_NS_TMP/listener.log (see tests/net/wake_listener.py). Sets
# NL_NS_LISTENER_LOG and NL_NS_LISTENER_PID; the cleanup ends it.
NL_NS_LISTENER_PID=
NL_NS_LISTENER_LOG=
nl_ns_stop_listener() {
  if [ -n "$NL_NS_LISTENER_PID" ]; then
    kill "$NL_NS_LISTENER_PID" 2>/dev/null
    wait "$NL_NS_LISTENER_PID" 2>/dev/null
  fi
  NL_NS_LISTENER_PID=
}
nl_ns_start_listener() {
  NL_NS_LISTENER_LOG="$NL_NS_TMP/listener.log"
  : >"$NL_NS_LISTENER_LOG"
  ip netns exec "$NL_NS_PEER" /usr/bin/python3 "$NL_NS_LIB_ROOT/tests/net/wake_listener.py" \
    10.77.0.255 "$NL_NS_LISTENER_LOG" "$NL_NS_TMP/listener.ready" 7 9 &
  NL_NS_LISTENER_PID=$!
  local _
  for _ in $(seq 100); do [ -f "$NL_NS_TMP/listener.ready" ] && return 0; sleep 0.1; done
  nl_ns_fail "listener did not start"
}

# A switch: one more namespace holding a bridge, joined to the app namespace
# and to one namespace per peer, each peer with a fixed hardware address.
# Only these namespaces are on the bridge: whatever the program sends there
# (echo requests, connects, ARP requests to every address of a range) stays
# among them. Call it from NL_NS_TOPOLOGY.
#   nl_ns_add_switch APP_CIDR PEER...
# APP_CIDR is the app namespace's address on the switch (10.78.0.2/24); each
# PEER is "CIDR MAC [NAME]". A NAME goes into the app namespace's hosts file,
# so a reverse look-up of that peer's address answers it.
nl_ns_add_switch() {
  local app_cidr=$1; shift
  local sw="$NL_NS_TAG-sw-$$" i=0 peer cidr mac name ns va vb
  ip netns add "$sw" || return 1
  NL_NS_MORE+=("$sw")
  ip -n "$sw" link set lo up
  ip -n "$sw" link add br0 type bridge stp_state 0 forward_delay 0 || return 1
  ip -n "$sw" link set br0 up || return 1
  va="${NL_NS_VTAG}w$$"; vb="${NL_NS_VTAG}W$$"
  ip link add "$va" type veth peer name "$vb" || return 1
  ip link set "$va" netns "$NL_NS_APP" && ip link set "$vb" netns "$sw" || return 1
  ip -n "$NL_NS_APP" addr add "$app_cidr" dev "$va" && ip -n "$NL_NS_APP" link set "$va" up || return 1
  ip -n "$sw" link set "$vb" master br0 && ip -n "$sw" link set "$vb" up || return 1
  for peer in "$@"; do
    read -r cidr mac name <<<"$peer"
    mac=${mac//-/:}
    i=$((i + 1))
    ns="$NL_NS_TAG-s$i-$$"
    ip netns add "$ns" || return 1
    NL_NS_MORE+=("$ns")
    va="${NL_NS_VTAG}p$i$$"; vb="${NL_NS_VTAG}P$i$$"
    ip link add "$va" address "$mac" type veth peer name "$vb" || return 1
    ip link set "$va" netns "$ns" && ip link set "$vb" netns "$sw" || return 1
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "$cidr" dev "$va" && ip -n "$ns" link set "$va" up || return 1
    ip -n "$sw" link set "$vb" master br0 && ip -n "$sw" link set "$vb" up || return 1
    [ -z "$name" ] || printf '%s %s\n' "${cidr%/*}" "$name" >>"/etc/netns/$NL_NS_APP/hosts"
  done
  return 0
}
