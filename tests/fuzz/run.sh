#!/bin/bash
# Builds the fuzz targets with clang (tests/fuzz/CMakeLists.txt), checks that
# the clang build of the core passes the host tests (so it holds the same
# code page 932 bytes as the g++ build), then runs every target over its
# committed corpus and onwards for a while.
# Usage: tests/fuzz/run.sh short          30 s per target (the test command)
#        tests/fuzz/run.sh long [SECONDS] longer runs, default 300 s per target
# Prints a gtest-style line per target; a fault leaves its input in
# build/fuzz/artifacts/ (add it to the target's corpus once it is fixed).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
MODE=${1:-short}
SECONDS_PER_TARGET=30
[ "$MODE" = long ] && SECONDS_PER_TARGET=${2:-300}
BUILD="$ROOT/build/fuzz"
CORPUS="$ROOT/tests/fuzz/corpus"
mkdir -p "$BUILD/artifacts" "$BUILD/work"

CXX=clang++ cmake -S "$ROOT/tests/fuzz" -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug >"$BUILD/configure.log" 2>&1 ||
  { cat "$BUILD/configure.log"; echo "fuzz: configure failed"; exit 1; }
cmake --build "$BUILD" -j"$(nproc)" >"$BUILD/build.log" 2>&1 ||
  { tail -40 "$BUILD/build.log"; echo "fuzz: build failed"; exit 1; }

failed=0
echo "fuzz: the clang build of the core against the host tests"
ASAN_OPTIONS=detect_leaks=1 "$BUILD/nl_host_tests_clang" --gtest_color=no || failed=1

# One target with its result line in $BUILD/$name.result.
fuzz_one() {
  local exe=$1 name start rc ms runs
  name=$(basename "$exe")
  mkdir -p "$BUILD/work/$name" "$CORPUS/$name"
  start=$(date +%s%N)
  # New inputs go to the scratch folder; the committed corpus is read only.
  "$exe" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$BUILD/artifacts/$name-" "$BUILD/work/$name" "$CORPUS/$name" \
    >"$BUILD/$name.log" 2>&1
  rc=$?
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$BUILD/$name.log" | grep -oE '[0-9]+$' || echo 0)
  if [ "$rc" -eq 0 ]; then
    echo "[       OK ] fuzz.$name ($ms ms) ${runs:-0} runs" >"$BUILD/$name.result"
  else
    { echo "[  FAILED  ] fuzz.$name ($ms ms)"
      grep -E 'ERROR|runtime error|Assertion|SUMMARY|artifact' "$BUILD/$name.log" | head -20
    } >"$BUILD/$name.result"
  fi
}

# As many targets at once as there are processors: each keeps to one.
PARALLEL=$(nproc 2>/dev/null || echo 1)
targets=("$BUILD"/*_fuzz)
pids=()
for exe in "${targets[@]}"; do
  rm -f "$BUILD/$(basename "$exe").result"
  fuzz_one "$exe" &
  pids+=($!)
  if [ "${#pids[@]}" -ge "$PARALLEL" ]; then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid"; done
for exe in "${targets[@]}"; do
  result="$BUILD/$(basename "$exe").result"
  if [ -f "$result" ]; then cat "$result"; else echo "[  FAILED  ] fuzz.$(basename "$exe") (0 ms) no result"; fi
  grep -q '^\[  FAILED' "$result" 2>/dev/null && failed=1
  [ -f "$result" ] || failed=1
done
exit $failed
