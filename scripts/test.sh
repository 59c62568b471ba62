#!/bin/bash
# Builds Nodelark and runs every test tier: the portable core natively, the
# platform classes under Wine, the network tier inside namespaces of its own,
# and the end-to-end tier that drives Nodelark.exe under Wine and Xvfb.
# Ends with one line "N passed, N failed"; exits non-zero when anything failed
# or no test ran.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=$(nproc 2>/dev/null || echo 2)
LOGS="$ROOT/build/test-logs"

bash scripts/setup.sh || { echo "setup failed"; exit 1; }
mkdir -p "$LOGS"

total_pass=0
total_fail=0
tier_failed=0

# Counts gtest's per-case result lines in a log; a tier that failed without
# reporting any failed case (a crash, a build error) still counts as one.
count_tier() {
  local name=$1 log=$2 rc=$3
  local pass fail
  pass=$(grep -cE '^([0-9]+: )?\[ +OK \] ' "$log" || true)
  fail=$(grep -cE '^([0-9]+: )?\[ +FAILED +\] .*\([0-9]+ ms\)' "$log" || true)
  if [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then fail=1; fi
  if [ "$pass" -eq 0 ] && [ "$fail" -eq 0 ]; then
    echo "tier $name: ran no test"; fail=1
  fi
  echo "tier $name: $pass passed, $fail failed (log: $log)"
  if [ "$fail" -ne 0 ]; then
    tier_failed=1
    grep -E '^\[ +FAILED +\]|Failure|error' "$log" | tail -40 || true
  fi
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
}

echo "== host build"
if cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release >"$LOGS/host-build.log" 2>&1 &&
   cmake --build build/host -j"$JOBS" >>"$LOGS/host-build.log" 2>&1; then
  echo "== tier 1: core, native"
  ctest --test-dir build/host -V -j"$JOBS" >"$LOGS/host.log" 2>&1
  count_tier host "$LOGS/host.log" $?
else
  tail -30 "$LOGS/host-build.log"; count_tier host "$LOGS/host-build.log" 1
fi

echo "== windows build"
if cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
       -DCMAKE_BUILD_TYPE=Release >"$LOGS/win-build.log" 2>&1 &&
   cmake --build build/win -j"$JOBS" >>"$LOGS/win-build.log" 2>&1; then
  source scripts/wineenv.sh build/win
  nl_wine_prefix
  trap 'nl_wineserver_stop; nl_xvfb_stop' EXIT
  nl_xvfb_start
  nl_wineserver_start
  echo "== tier 2: platform classes under Wine"
  ctest --test-dir build/win -V >"$LOGS/wine.log" 2>&1
  count_tier wine "$LOGS/wine.log" $?
  nl_wineserver_stop
  nl_xvfb_stop
  unset DISPLAY

  echo "== tier 3: network, inside test namespaces"
  bash tests/net/run.sh build/win >"$LOGS/net.log" 2>&1
  count_tier net "$LOGS/net.log" $?

  if [ -x tests/e2e/run.sh ] || [ -f tests/e2e/run.sh ]; then
    echo "== tier 4: end-to-end, Nodelark.exe under Wine and Xvfb"
    bash tests/e2e/run.sh build/win >"$LOGS/e2e.log" 2>&1
    count_tier e2e "$LOGS/e2e.log" $?
  fi
else
  tail -30 "$LOGS/win-build.log"; count_tier windows-build "$LOGS/win-build.log" 1
fi

echo "$total_pass passed, $total_fail failed"
if [ "$tier_failed" -ne 0 ] || [ "$total_fail" -ne 0 ] || [ "$total_pass" -eq 0 ]; then
  exit 1
fi
exit 0
