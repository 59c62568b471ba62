#!/bin/bash
# Builds Nodelark for Windows and starts it under Wine, installing whatever
# is missing first. Uses the desktop's display, or a private Xvfb when there
# is none.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
bash scripts/setup.sh
cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/win -j"$(nproc)"
source scripts/wineenv.sh build/win
nl_wine_prefix
EXE=build/win/src/Nodelark.exe
if [ ! -f "$EXE" ]; then
  echo "Nodelark.exe is not built yet; running the Wine tier's tests instead."
  nl_wineserver_start
  wine build/win/tests/wine/nl_wine_tests.exe
  nl_wineserver_stop
  exit 0
fi
XVFB_PID=
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:57
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  echo "No display found: Nodelark runs on a private Xvfb at $DISPLAY (pid $XVFB_PID)."
  echo "A screenshot: DISPLAY=$DISPLAY import -window root shot.png"
  sleep 1
fi
wine "$EXE" "$@" || true
wineserver -w
[ -n "$XVFB_PID" ] && kill "$XVFB_PID"
exit 0
