#!/bin/bash
# Builds the Windows tree and runs every benchmark under Wine, printing each
# figure: the data file's load and save (and the save after one edit), a
# header click during that save in Nodelark.exe, AppendCommandLog's line
# rate, one Wake List header sort, Nodelark.exe's start-up, its wake runs,
# and the entry files (import, CSV listing, export) with a screenshot of the progress
# bar half way through an import in build/bench-shots, and the network scan
# (bench/net_scan_run.sh, in a switched topology of its own). All of it runs inside a
# pair of network namespaces made for this run (Nodelark.exe opens a socket
# at start), with its own Wine prefix copy and Xvfb. Every benchmark that
# starts Nodelark.exe refuses to run outside these namespaces, and this
# script proves that refusal before each one runs (nl_ns_check_guard).
# Usage: bench/run.sh [BUILD_DIR [BENCH...]]   (default build/win, every bench)
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(realpath -m "${1:-$ROOT/build/win}")
shift $(( $# > 0 ? 1 : 0 ))
BENCHES=("$@")
cd "$ROOT"

bash scripts/setup.sh || { echo "bench: setup failed" >&2; exit 1; }
cmake --no-warn-unused-cli -S . -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null ||
  { echo "bench: configure failed" >&2; exit 1; }
cmake --build "$BUILD" -j2 --target Nodelark datafile_bench save_click_bench command_log_bench wake_list_sort_bench app_start_bench wake_run_bench entry_files_bench tool_run_bench status_bench net_scan_bench hand_over_bench nl_child \
  >"$BUILD/bench-build.log" 2>&1 || { tail -30 "$BUILD/bench-build.log"; exit 1; }

source "$ROOT/tests/lib/netns.sh"
nl_ns_setup bench nlbench nlbn "$BUILD"
WIN_EXE=$(nl_ns_winpath "$BUILD/src/Nodelark.exe")
nl_ns_start_listener
WIN_LISTENER_LOG=$(nl_ns_winpath "$NL_NS_LISTENER_LOG")
[ -n "$WIN_EXE" ] && [ -n "$WIN_LISTENER_LOG" ] || nl_ns_fail "winepath"

# Xvfb has no window manager: Wine would wait two seconds for one at every
# window it takes down (its "managed" windows), which no Windows desktop
# pays and which would swamp the hand-over's figures.
in_app wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1

# The benchmarks that start Nodelark.exe, which checks its entries' status
# over the network and wakes or scans: each is guarded (bench/BenchGuard.h).
# The others call the program's code in their own process and send nothing.
GUARDED=" app_start_bench wake_run_bench save_click_bench hand_over_bench status_bench "

# The guard refuses without NL_BENCH_NAMESPACE and beside a foreign address,
# with exit code 2, before the program opens a socket; the listener saw
# nothing meanwhile. Any other outcome ends the run.
prove_guard() {
  local lines
  lines=$(wc -l <"$NL_NS_LISTENER_LOG")
  nl_ns_check_guard "bench $1" NL_BENCH_NAMESPACE "$NL_NS_APP" \
    env NL_E2E_EXE="$WIN_EXE" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG" timeout 120 wine "$BUILD/bench/$1.exe"
  [ "$(wc -l <"$NL_NS_LISTENER_LOG")" -eq "$lines" ] ||
    nl_ns_fail "the guard runs of $1 sent packets: $(tail -n +$((lines + 1)) "$NL_NS_LISTENER_LOG")"
}

failed=0
run_bench() {
  if ((${#BENCHES[@]})) && [[ ! " ${BENCHES[*]} " == *" $1 "* ]]; then return; fi
  echo
  echo "== $1"
  [[ "$GUARDED" == *" $1 "* ]] && prove_guard "$1"
  in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG" NL_BENCH_SHOTS="${NL_BENCH_SHOTS:-}" timeout 900 wine "$BUILD/bench/$1.exe" </dev/null || { echo "bench: $1 failed"; failed=1; }
}
echo "bench: namespace $NL_NS_APP, display $DISPLAY"
run_bench datafile_bench
run_bench save_click_bench
run_bench command_log_bench
run_bench wake_list_sort_bench
run_bench app_start_bench
run_bench wake_run_bench
mkdir -p "$ROOT/build/bench-shots"
NL_BENCH_SHOTS=$(nl_ns_winpath "$ROOT/build/bench-shots") run_bench entry_files_bench
run_bench tool_run_bench
run_bench hand_over_bench

# The wake run once more, over two local subnets and a routed one (see
# nl_ns_add_subnets); the wineserver starts again to see the new links.
if ! ((${#BENCHES[@]})) || [[ " ${BENCHES[*]} " == *" wake_run_bench "* ]]; then
  nl_ns_add_subnets
  logs=
  IFS=';' read -ra pairs <<<"$NL_NS_SUBNET_LOGS"
  for pair in "${pairs[@]}"; do logs="$logs${logs:+;}${pair%%=*}=$(nl_ns_winpath "${pair#*=}")"; done
  in_app wineserver -k >/dev/null 2>&1
  in_app wineserver -p </dev/null >/dev/null 2>&1 || nl_ns_fail "wineserver"
  echo
  echo "== wake_run_bench (several subnets)"
  in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" NL_E2E_LISTENER_LOG="$WIN_LISTENER_LOG" \
    NL_E2E_SUBNET_LISTENERS="$logs" timeout 900 wine "$BUILD/bench/wake_run_bench.exe" </dev/null || { echo "bench: wake_run_bench (several subnets) failed"; failed=1; }
fi

# The status column's benchmark wants 1,000 addresses on the link: a /16 of
# its own on both ends, and ten computers that answer on the peer's side.
status_network() {
  local va vb i
  va=$(ip -n "$NL_NS_APP" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1 | head -1)
  vb=$(ip -n "$NL_NS_PEER" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1 | head -1)
  ip -n "$NL_NS_APP" addr add 10.80.0.2/16 dev "$va" && ip -n "$NL_NS_PEER" addr add 10.80.0.1/16 dev "$vb" || return 1
  for i in $(seq 1 10); do ip -n "$NL_NS_PEER" addr add "10.80.9.$i/32" dev "$vb" || return 1; done
}
if ((${#BENCHES[@]} == 0)) || [[ " ${BENCHES[*]} " == *" status_bench "* ]]; then
  status_network || { echo "bench: cannot set up the status network"; failed=1; }
  run_bench status_bench
  # Whole sweeps of long lists: 10,000 entries over three sweeps, 100,000
  # over one (about a quarter of an hour).
  for sweep in "10000 3" "100000 1"; do
    echo
    echo "== status_bench $sweep"
    in_app NL_BENCH_NAMESPACE="$NL_NS_APP" NL_E2E_EXE="$WIN_EXE" timeout 3600 wine "$BUILD/bench/status_bench.exe" $sweep \
      </dev/null || { echo "bench: status_bench $sweep failed"; failed=1; }
  done
fi

# The scan sweeps whole subnets: it gets a switched topology of its own.
if ((${#BENCHES[@]} == 0)) || [[ " ${BENCHES[*]} " == *" net_scan_bench "* ]]; then
  echo
  echo "== net_scan_bench"
  bash "$ROOT/bench/net_scan_run.sh" "$BUILD" || { echo "bench: net_scan_bench failed"; failed=1; }
fi
exit $failed
