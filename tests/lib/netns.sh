# Sourced by every script that runs Wine for a test: a network namespace made
# for this run only, a private copy of the Wine prefix, and Xvfb plus
# wineserver started inside the namespace. Nothing a program there sends can
# reach a real interface. Everything is removed on exit, also after a failure.
#
# Two shapes:
#   nl_ns_setup LABEL NAME_TAG VETH_TAG BUILD_DIR
#     a pair of namespaces joined by a veth link (10.77.0.2/24 in the app
#     namespace, 10.77.0.1/24 in the peer), for programs that send packets;
#   nl_ns_setup_loopback LABEL NAME_TAG BUILD_DIR
#     one namespace with loopback alone, for tests that must not reach any
#     network but 127.0.0.1.
# Then:
#   in_app wine ...        # runs a command inside the app namespace
# Sets NL_NS_APP, NL_NS_PEER (veth shape), NL_NS_TMP, WINEPREFIX, DISPLAY. A
# caller with processes of its own to end sets NL_NS_EXTRA_CLEANUP to a
# function name. A caller that needs more network (veth shape) sets
# NL_NS_TOPOLOGY to a function name: it runs once the pair is up and before
# Wine starts in the app namespace (so Wine sees the links from its first
# look), for example nl_ns_add_switch.

NL_NS_LIB_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
NL_NS_LABEL=nl
NL_NS_APP=
NL_NS_PEER=
NL_NS_TMP=
NL_NS_XVFB_PID=
NL_NS_DISPLAY_NUM=
NL_NS_EXTRA_CLEANUP=
NL_NS_APP_LINK=
NL_NS_TOPOLOGY=
NL_NS_TAG=
NL_NS_VTAG=
NL_NS_MORE=()

nl_ns_fail() { echo "$NL_NS_LABEL setup: $*" >&2; exit 1; }

nl_ns_cleanup() {
  set +e
  if [ -n "$NL_NS_EXTRA_CLEANUP" ]; then "$NL_NS_EXTRA_CLEANUP"; fi
  nl_ns_stop_listener
  nl_ns_stop_connect_log
  nl_ns_stop_subnets
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
  for ns in "${NL_NS_MORE[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  [ -n "$NL_NS_DISPLAY_NUM" ] && rm -f "/tmp/.X$NL_NS_DISPLAY_NUM-lock" "/tmp/.X11-unix/X$NL_NS_DISPLAY_NUM" 2>/dev/null
  [ -n "$NL_NS_TMP" ] && rm -rf "$NL_NS_TMP"
  return 0
}

in_app() { ip netns exec "$NL_NS_APP" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY" "$@"; }

# Windows path of a Linux path, as Wine inside the namespace sees it.
nl_ns_winpath() { in_app winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# The app namespace with loopback up, name service files that keep every
# query inside it, and the private prefix; common to both shapes.
nl_ns_begin() {
  NL_NS_LABEL=$1
  local tag=$2 build
  build=$(realpath -m "$3")
  [ "$(id -u)" -eq 0 ] || nl_ns_fail "needs root for network namespaces"

  source "$NL_NS_LIB_ROOT/scripts/wineenv.sh" "$build"
  nl_wine_prefix
  [ -f "$WINEPREFIX/.nodelark-ready-2" ] || nl_ns_fail "no Wine prefix"

  NL_NS_APP=$tag-app-$$
  NL_NS_TMP=$(mktemp -d "/tmp/$tag.XXXXXX")
  trap nl_ns_cleanup EXIT
  trap 'exit 130' INT TERM

  # A resolver on loopback, so no query can leave the namespace.
  mkdir -p "/etc/netns/$NL_NS_APP" || nl_ns_fail "cannot write /etc/netns"
  printf 'nameserver 127.0.0.1\n' >"/etc/netns/$NL_NS_APP/resolv.conf"
  printf '127.0.0.1 localhost\n' >"/etc/netns/$NL_NS_APP/hosts"

  ip netns add "$NL_NS_APP" || nl_ns_fail "ip netns add $NL_NS_APP"
  ip -n "$NL_NS_APP" link set lo up || nl_ns_fail "loopback up"

  # The prefix copy keeps Wine's helper processes, which report the network,
  # from ever having run outside this namespace.
  cp -a "$WINEPREFIX" "$NL_NS_TMP/prefix" || nl_ns_fail "copy prefix"
  export WINEPREFIX="$NL_NS_TMP/prefix"
}

# Xvfb and wineserver inside the app namespace.
nl_ns_start_wine() {
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

  nl_ns_start_server
}

# Wine's service processes start now, outside any test's output pipe: a
# test runner that started them would wait for the pipe they hold.
nl_ns_start_server() {
  in_app wineserver -p </dev/null >/dev/null 2>&1 || nl_ns_fail "wineserver"
  in_app wine cmd.exe /c exit </dev/null >/dev/null 2>&1
  return 0
}

nl_ns_setup() {
  local vtag=$3
  NL_NS_TAG=$2
  NL_NS_VTAG=$vtag
  nl_ns_begin "$1" "$2" "$4"
  local va="${vtag}a$$" vb="${vtag}b$$"
  NL_NS_PEER=$2-peer-$$
  printf '10.77.0.2 e2e-app.test\n10.77.0.1 peerhost.test\n' >>"/etc/netns/$NL_NS_APP/hosts"

  ip netns add "$NL_NS_PEER" || nl_ns_fail "ip netns add $NL_NS_PEER"
  ip link add "$va" type veth peer name "$vb" || nl_ns_fail "veth pair"
  ip link set "$va" netns "$NL_NS_APP" || nl_ns_fail "move $va"
  ip link set "$vb" netns "$NL_NS_PEER" || nl_ns_fail "move $vb"
  ip -n "$NL_NS_APP" addr add 10.77.0.2/24 dev "$va" || nl_ns_fail "address app"
  ip -n "$NL_NS_PEER" addr add 10.77.0.1/24 dev "$vb" || nl_ns_fail "address peer"
  ip -n "$NL_NS_APP" link set "$va" up || nl_ns_fail "link app"
  ip -n "$NL_NS_PEER" link set lo up && ip -n "$NL_NS_PEER" link set "$vb" up || nl_ns_fail "link peer"
  NL_NS_APP_LINK=$va
  if [ -n "$NL_NS_TOPOLOGY" ]; then "$NL_NS_TOPOLOGY" || nl_ns_fail "topology $NL_NS_TOPOLOGY"; fi
  nl_ns_start_wine
}

nl_ns_setup_loopback() {
  nl_ns_begin "$1" "$2" "$3"
  nl_ns_start_wine
}

# The data folder (%APPDATA%\Morrowbel) as a Linux path, as Wine inside the
# namespace names it; empty when Wine does not say. Never guessed: a wrong
# guess could send a test's writes to a folder it does not own.
nl_ns_data_folder() {
  local appdata unix
  appdata=$(in_app wine cmd.exe /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')
  [ -n "$appdata" ] && [ "$appdata" != "%APPDATA%" ] || return 1
  unix=$(in_app winepath -u "$appdata" 2>/dev/null)
  case "$unix" in
    "$WINEPREFIX"/*) echo "$unix/Morrowbel" ;;
    *) return 1 ;;
  esac
}

# A test or benchmark program's own guard must refuse to start where it
# could reach a real network: without the variable by which its runner says
# it made the namespace, and beside an address outside the test network (on
# the app's link, or on a veth pair made inside a loopback-only namespace for
# the check). Both runs stay inside the app namespace, so even a guard that
# let the program through could reach nothing real; the guard itself reads
# the environment and the adapter list before the program opens any socket.
# A refusal is exit code 2 and "refusing to run"; anything else fails the run.
# Usage: nl_ns_check_guard LABEL VARIABLE VALUE COMMAND...
#   (VARIABLE - when the program needs none)
nl_ns_check_guard() {
  local label=$1 variable=$2 value=$3 out rc
  shift 3
  local with=(env)
  if [ "$variable" != - ]; then
    with=(env "$variable=$value")
    out=$(in_app env -u "$variable" "$@" </dev/null 2>&1)
    rc=$?
    [ "$rc" -eq 2 ] && echo "$out" | grep -q "refusing to run" ||
      nl_ns_fail "$label ran without $variable (exit code $rc): $out"
  fi
  # On the app's own link where there is one: a link that comes and goes
  # stays behind in Wine's adapter list.
  local link=${NL_NS_APP_LINK:-nlguard0}
  if [ -z "$NL_NS_APP_LINK" ]; then
    ip -n "$NL_NS_APP" link add nlguard0 type veth peer name nlguard1 &&
      ip -n "$NL_NS_APP" link set nlguard0 up && ip -n "$NL_NS_APP" link set nlguard1 up ||
      nl_ns_fail "cannot add a link for the foreign address"
  fi
  ip -n "$NL_NS_APP" addr add 192.0.2.250/24 dev "$link" || nl_ns_fail "cannot add the foreign address"
  out=$(in_app "${with[@]}" "$@" </dev/null 2>&1)
  rc=$?
  ip -n "$NL_NS_APP" addr del 192.0.2.250/24 dev "$link" || nl_ns_fail "cannot remove the foreign address"
  if [ -z "$NL_NS_APP_LINK" ]; then
    ip -n "$NL_NS_APP" link del nlguard0 || nl_ns_fail "cannot remove the link for the foreign address"
    # Wine's service processes would still list it.
    in_app wineserver -k >/dev/null 2>&1
    in_app wineserver -w >/dev/null 2>&1
    nl_ns_start_server
  fi
  [ "$rc" -eq 2 ] && echo "$out" | grep -q "refusing to run" ||
    nl_ns_fail "$label ran beside a foreign address (exit code $rc): $out"
  echo "$label: the guard refuses outside the test network (${out##*refusing to run: })"
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

# A name server that never answers: a listener on port 53 of the peer's
# 10.77.0.1 that logs each query to $NL_NS_TMP/silent-dns.log and replies to
# nothing; the app namespace's resolv.conf names it, with OPTIONS (a line of
# resolver options, empty for the resolver's defaults). Written in place:
# the file is what ip netns exec mounts over resolv.conf. Sets
# NL_NS_SILENT_DNS_LOG; the cleanup ends the listener.
NL_NS_SILENT_DNS_LOG=
nl_ns_start_silent_dns() {
  local options=$1 _
  NL_NS_SILENT_DNS_LOG="$NL_NS_TMP/silent-dns.log"
  : >"$NL_NS_SILENT_DNS_LOG"
  ip netns exec "$NL_NS_PEER" /usr/bin/python3 "$NL_NS_LIB_ROOT/tests/net/wake_listener.py" 10.77.0.1 \
    "$NL_NS_SILENT_DNS_LOG" "$NL_NS_TMP/silent-dns.ready" 53 &
  NL_NS_EXTRA_PIDS+=($!)
  for _ in $(seq 100); do [ -f "$NL_NS_TMP/silent-dns.ready" ] && break; sleep 0.1; done
  [ -f "$NL_NS_TMP/silent-dns.ready" ] || nl_ns_fail "the silent name server did not start"
  printf 'nameserver 10.77.0.1\n%s' "${options:+options $options
}" >"/etc/netns/$NL_NS_APP/resolv.conf"
}

# Logs every TCP connect and echo request that arrives on DEVICE of the
# namespace NS, whether the namespace drops it or not (see
# tests/net/connect_log.py), to $NL_NS_TMP/connects.log. Sets
# NL_NS_CONNECT_LOG; the cleanup ends it.
NL_NS_CONNECT_PID=
NL_NS_CONNECT_LOG=
nl_ns_stop_connect_log() {
  if [ -n "$NL_NS_CONNECT_PID" ]; then
    kill "$NL_NS_CONNECT_PID" 2>/dev/null
    wait "$NL_NS_CONNECT_PID" 2>/dev/null
  fi
  NL_NS_CONNECT_PID=
}
nl_ns_start_connect_log() {
  local ns=$1 device=$2
  NL_NS_CONNECT_LOG="$NL_NS_TMP/connects.log"
  : >"$NL_NS_CONNECT_LOG"
  ip netns exec "$ns" /usr/bin/python3 "$NL_NS_LIB_ROOT/tests/net/connect_log.py" "$device" \
    "$NL_NS_CONNECT_LOG" "$NL_NS_TMP/connects.ready" &
  NL_NS_CONNECT_PID=$!
  local _
  for _ in $(seq 100); do [ -f "$NL_NS_TMP/connects.ready" ] && return 0; sleep 0.1; done
  nl_ns_fail "connect log did not start"
}

# A second subnet and a routed third one, for the tests of where packets go.
# After nl_ns_setup: the app namespace gets a second link, 10.78.0.2/24, to a
# switch namespace (a bridge, and a listener at 10.78.0.3). On that bridge
# too sits a router namespace (10.78.0.1/24) that forwards, directed
# broadcasts included, to a far namespace on 10.79.0.0/24 (router 10.79.0.1,
# far 10.79.0.2); the app reaches 10.79.0.0/24 through the router. The
# router cannot be the second subnet's listener itself: with directed
# broadcasts forwarded on a link, Linux no longer delivers that link's own
# broadcasts locally. A listener (tests/net/wake_listener.py, ports 7 and 9)
# waits at each of 10.77.0.255 (the first peer), 10.78.0.255 (the switch),
# 10.79.0.255 and 10.79.0.2 (the far namespace), each with a log of its own.
# Sets NL_NS_SUBNET_LOGS to "ADDRESS=LOG;..." with Linux paths. The cleanup
# removes all of it.
NL_NS_EXTRA_NETNS=()
NL_NS_EXTRA_PIDS=()
nl_ns_stop_subnets() {
  local pid ns
  for pid in "${NL_NS_EXTRA_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  NL_NS_EXTRA_PIDS=()
  for ns in "${NL_NS_EXTRA_NETNS[@]}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
    ip netns del "$ns" 2>/dev/null
  done
  NL_NS_EXTRA_NETNS=()
}

nl_ns_listen_at() {
  local ns=$1 address=$2 log="$NL_NS_TMP/listener-$2.log" ready="$NL_NS_TMP/listener-$2.ready"
  : >"$log"
  ip netns exec "$ns" /usr/bin/python3 "$NL_NS_LIB_ROOT/tests/net/wake_listener.py" "$address" "$log" "$ready" 7 9 &
  NL_NS_EXTRA_PIDS+=($!)
  local _
  for _ in $(seq 100); do [ -f "$ready" ] && break; sleep 0.1; done
  [ -f "$ready" ] || nl_ns_fail "listener at $address did not start"
  NL_NS_SUBNET_LOGS="$NL_NS_SUBNET_LOGS${NL_NS_SUBNET_LOGS:+;}$address=$log"
}

nl_ns_add_subnets() {
  [ -n "$NL_NS_APP" ] && [ -n "$NL_NS_PEER" ] || nl_ns_fail "nl_ns_add_subnets needs nl_ns_setup first"
  local tag=${NL_NS_APP%-app-*}
  local switch="$tag-sw-$$" router="$tag-rtr-$$" far="$tag-far-$$"
  local va="nlsa$$" vb="nlsb$$" vc="nlsc$$" vr="nlsr$$" vs="nlss$$" vf="nlsf$$"
  NL_NS_SUBNET_LOGS=
  local ns
  for ns in "$switch" "$router" "$far"; do
    ip netns add "$ns" || nl_ns_fail "ip netns add $ns"
    NL_NS_EXTRA_NETNS+=("$ns")
  done
  ip link add "$va" type veth peer name "$vb" && ip link set "$va" netns "$NL_NS_APP" &&
    ip link set "$vb" netns "$switch" || nl_ns_fail "veth app-switch"
  ip link add "$vc" type veth peer name "$vr" && ip link set "$vc" netns "$switch" &&
    ip link set "$vr" netns "$router" || nl_ns_fail "veth switch-router"
  ip link add "$vs" type veth peer name "$vf" && ip link set "$vs" netns "$router" &&
    ip link set "$vf" netns "$far" || nl_ns_fail "veth router-far"
  ip -n "$switch" link add nlbr type bridge && ip -n "$switch" link set "$vb" master nlbr &&
    ip -n "$switch" link set "$vc" master nlbr && ip -n "$switch" addr add 10.78.0.3/24 dev nlbr &&
    ip -n "$switch" link set lo up && ip -n "$switch" link set "$vb" up && ip -n "$switch" link set "$vc" up &&
    ip -n "$switch" link set nlbr up || nl_ns_fail "switch"
  ip -n "$NL_NS_APP" addr add 10.78.0.2/24 dev "$va" && ip -n "$NL_NS_APP" link set "$va" up ||
    nl_ns_fail "app second link"
  ip -n "$router" addr add 10.78.0.1/24 dev "$vr" && ip -n "$router" addr add 10.79.0.1/24 dev "$vs" &&
    ip -n "$router" link set lo up && ip -n "$router" link set "$vr" up && ip -n "$router" link set "$vs" up ||
    nl_ns_fail "router links"
  ip -n "$far" addr add 10.79.0.2/24 dev "$vf" && ip -n "$far" link set lo up && ip -n "$far" link set "$vf" up ||
    nl_ns_fail "far link"
  ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1 net.ipv4.conf.all.bc_forwarding=1 \
    "net.ipv4.conf.$vr.bc_forwarding=1" "net.ipv4.conf.$vs.bc_forwarding=1" || nl_ns_fail "router sysctl"
  ip -n "$NL_NS_APP" route add 10.79.0.0/24 via 10.78.0.1 || nl_ns_fail "route to 10.79.0.0/24"
  ip -n "$far" route add 10.78.0.0/24 via 10.79.0.1 || nl_ns_fail "route back"
  # The bridge forwards only once its ports have left the learning states.
  local _
  for _ in $(seq 100); do
    ip -n "$switch" -o link show master nlbr | grep -q "state UP" && break
    sleep 0.1
  done
  # The first peer's listener, when nl_ns_start_listener runs one already.
  if [ -n "$NL_NS_LISTENER_PID" ]; then
    NL_NS_SUBNET_LOGS="10.77.0.255=$NL_NS_LISTENER_LOG"
  else
    nl_ns_listen_at "$NL_NS_PEER" 10.77.0.255
  fi
  nl_ns_listen_at "$switch" 10.78.0.255
  nl_ns_listen_at "$far" 10.79.0.255
  nl_ns_listen_at "$far" 10.79.0.2
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
