#!/bin/bash
# Builds Nodelark for Windows and starts it under Wine, installing whatever
# is missing first. Uses the desktop's display, or a private Xvfb when there
# is none.
#
# Nodelark runs inside a network namespace of its own that has loopback only,
# so nothing it sends can leave this machine. On a machine whose network it
# should really use (to wake real computers), start it with
#     NODELARK_HOST_NETWORK=1 bash scripts/run.sh
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$(nproc)" --target Nodelark
source scripts/wineenv.sh build/win
nl_wine_prefix
EXE=build/win/src/Nodelark.exe

XVFB_PID=
NS=
cleanup() {
  set +e
  if [ -n "$NS" ]; then
    ip netns exec "$NS" env WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1
    for pid in $(ip netns pids "$NS" 2>/dev/null); do kill "$pid" 2>/dev/null; done
    ip netns del "$NS" 2>/dev/null
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  return 0
}
trap cleanup EXIT

if [ -z "${DISPLAY:-}" ]; then
  nl_xvfb_start
  XVFB_PID=$NL_XVFB_PID
  echo "No display found: Nodelark runs on a private Xvfb at $DISPLAY (pid $XVFB_PID)."
  echo "A screenshot: DISPLAY=$DISPLAY import -window root shot.png"
fi

RUN=()
if [ "${NODELARK_HOST_NETWORK:-0}" != 1 ]; then
  NS="nlrun-$$"
  ip netns add "$NS"
  ip -n "$NS" link set lo up
  RUN=(ip netns exec "$NS" env WINEPREFIX="$WINEPREFIX" DISPLAY="$DISPLAY")
  echo "Nodelark runs in network namespace $NS (loopback only); NODELARK_HOST_NETWORK=1 uses the real network."
fi
# A wineserver left from elsewhere would hand Wine the wrong network view.
wineserver -k >/dev/null 2>&1 || true
"${RUN[@]}" wine "$EXE" "$@" || true
"${RUN[@]}" wineserver -w || true
