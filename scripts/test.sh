#!/bin/bash
# Builds Nodelark and runs every test tier: the portable core natively, the
# same core with AddressSanitizer and UndefinedBehaviorSanitizer, short fuzz
# runs of every reader of outside bytes, the platform classes under Wine in a
# namespace with loopback alone, the network tier inside namespaces of its
# own, the end-to-end tier that drives Nodelark.exe under Wine and Xvfb, and
# the zip a Windows user takes home, unpacked and started.
# Ends with one line "N passed, N failed, N skipped"; exits non-zero when
# anything failed, a tier ran no test, or a tier ran out of time.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=$(nproc 2>/dev/null || echo 2)
LOGS="$ROOT/build/test-logs"

bash scripts/setup.sh || { echo "setup failed"; exit 1; }
mkdir -p "$LOGS"

total_pass=0
total_fail=0
total_skip=0
tier_failed=0

# The test a log shows started but never finished: what hung when a tier
# ran out of time.
hung_test() {
  awk '/\[ RUN +\]/ { name = $NF; open = 1 }
       /\[ +(OK|FAILED|SKIPPED) +\]/ { open = 0 }
       END { if (open) print name }' "$1"
}

# Counts gtest's per-case result lines in a log; a tier that failed without
# reporting any failed case (a crash, a build error) still counts as one.
count_tier() {
  local name=$1 log=$2 rc=$3
  local pass fail skip hung
  pass=$(grep -cE '^([0-9]+: )?\[ +OK \] ' "$log" || true)
  fail=$(grep -cE '^([0-9]+: )?\[ +FAILED +\] .*\([0-9]+ ms\)' "$log" || true)
  skip=$(grep -cE '^([0-9]+: )?\[ +SKIPPED +\] .*\([0-9]+ ms\)' "$log" || true)
  if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ] || grep -q '\*\*\*Timeout' "$log"; then
    hung=$(hung_test "$log")
    echo "tier $name: ran out of time${hung:+; hung in $hung}"
    fail=$((fail + 1))
  elif [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then
    fail=1
  fi
  if [ "$pass" -eq 0 ] && [ "$fail" -eq 0 ]; then
    echo "tier $name: ran no test"; fail=1
  fi
  echo "tier $name: $pass passed, $fail failed, $skip skipped (log: $log)"
  if [ "$skip" -ne 0 ]; then grep -E '\[ +SKIPPED +\] .*\([0-9]+ ms\)' "$log" || true; fi
  if [ "$fail" -ne 0 ]; then
    tier_failed=1
    grep -E '^\[ +FAILED +\]|Failure|error|ERROR: |runtime error' "$log" | tail -40 || true
  fi
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
  total_skip=$((total_skip + skip))
}

echo "== host build"
if cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release >"$LOGS/host-build.log" 2>&1 &&
   cmake --build build/host -j"$JOBS" >>"$LOGS/host-build.log" 2>&1; then
  echo "== tier 1: core, native"
  ctest --test-dir build/host -V -j"$JOBS" --timeout 300 >"$LOGS/host.log" 2>&1
  count_tier host "$LOGS/host.log" $?
else
  tail -30 "$LOGS/host-build.log"; count_tier host "$LOGS/host-build.log" 1
fi

echo "== host build with sanitizers"
SAN_FLAGS="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
if cmake -S . -B build/host-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$SAN_FLAGS" \
       -DCMAKE_EXE_LINKER_FLAGS="$SAN_FLAGS" >"$LOGS/host-asan-build.log" 2>&1 &&
   cmake --build build/host-asan -j"$JOBS" >>"$LOGS/host-asan-build.log" 2>&1; then
  echo "== tier 1a: core, native, AddressSanitizer and UndefinedBehaviorSanitizer"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/host-asan -V -j"$JOBS" --timeout 600 >"$LOGS/host-asan.log" 2>&1
  rc=$?
  # Any report fails the tier, even one a test did not notice.
  if grep -qE 'ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:' "$LOGS/host-asan.log"; then rc=1; fi
  count_tier host-asan "$LOGS/host-asan.log" $rc
else
  tail -30 "$LOGS/host-asan-build.log"; count_tier host-asan "$LOGS/host-asan-build.log" 1
fi

if [ -f tests/fuzz/run.sh ]; then
  echo "== tier 1b: fuzzing, a few seconds per target"
  timeout 900 bash tests/fuzz/run.sh short >"$LOGS/fuzz.log" 2>&1
  count_tier fuzz "$LOGS/fuzz.log" $?
fi

echo "== windows build"
if cmake -S . -B build/win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
       -DCMAKE_BUILD_TYPE=Release >"$LOGS/win-build.log" 2>&1 &&
   cmake --build build/win -j"$JOBS" >>"$LOGS/win-build.log" 2>&1; then
  echo "== tier 2: platform classes under Wine, inside a loopback-only namespace"
  timeout -k 10 1200 bash tests/wine/run.sh build/win >"$LOGS/wine.log" 2>&1
  count_tier wine "$LOGS/wine.log" $?

  echo "== tier 3: network, inside test namespaces"
  timeout -k 10 600 bash tests/net/run.sh build/win >"$LOGS/net.log" 2>&1
  count_tier net "$LOGS/net.log" $?

  echo "== tier 4: end-to-end, Nodelark.exe under Wine and Xvfb"
  timeout -k 10 3000 bash tests/e2e/run.sh build/win >"$LOGS/e2e.log" 2>&1
  count_tier e2e "$LOGS/e2e.log" $?

  echo "== tier 5: the Windows package, unpacked and started"
  timeout -k 10 900 bash tests/package/run.sh build/win >"$LOGS/package.log" 2>&1
  count_tier package "$LOGS/package.log" $?
else
  tail -30 "$LOGS/win-build.log"; count_tier windows-build "$LOGS/win-build.log" 1
fi

echo "$total_pass passed, $total_fail failed, $total_skip skipped"
if [ "$tier_failed" -ne 0 ] || [ "$total_fail" -ne 0 ] || [ "$total_pass" -eq 0 ]; then
  exit 1
fi
exit 0
