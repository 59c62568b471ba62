#!/bin/bash
# Tier 2: the platform classes in-process under Wine (ctest in BUILD_DIR, with
# Wine as the emulator), inside a network namespace made for this run that
# has loopback alone, with a fresh copy of the Wine prefix and Xvfb and
# wineserver started inside it. No test here can reach a real interface.
# Usage: tests/wine/run.sh BUILD_DIR [ctest arguments, e.g. -R wine_tests]
# Exits with ctest's exit code, or non-zero on a setup error or when the
# test program runs no test.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD=$(realpath -m "${1:?usage: run.sh BUILD_DIR [ctest arguments]}")
shift
TESTS="$BUILD/tests/wine/nl_wine_tests.exe"

source "$ROOT/tests/lib/netns.sh"
source "$ROOT/tests/lib/gtest.sh"
NL_NS_LABEL=wine
[ -f "$TESTS" ] || nl_ns_fail "missing $TESTS"
nl_ns_setup_loopback wine nlwine "$BUILD"
echo "wine: namespace $NL_NS_APP (loopback only), display $DISPLAY"

nl_ns_check_guard wine - - wine "$TESTS" --gtest_color=no --gtest_list_tests

# Addresses that do not answer, for the probe tests: 127.0.77.1 takes every
# packet in, but its replies go to a blackhole (a rule ahead of the local
# table's, for that source alone), so a connect or an echo request waits out
# its time; 198.51.100.0/24 has a blackhole route, so a connect fails at once.
ip -n "$NL_NS_APP" rule add pref 100 lookup local &&
  ip -n "$NL_NS_APP" rule del pref 0 &&
  ip -n "$NL_NS_APP" rule add pref 10 from 127.0.77.1 lookup 77 &&
  ip -n "$NL_NS_APP" route add blackhole default table 77 &&
  ip -n "$NL_NS_APP" route add blackhole 198.51.100.0/24 ||
  nl_ns_fail "cannot set up the addresses that do not answer"
export NL_WINE_SILENT_ADDRESSES="127.0.77.1 198.51.100.7"

# ctest starts each test program through the emulator (wine) itself; the
# whole of it runs inside the namespace.
nl_gtest_step "wine: ctest" in_app ctest --test-dir "$BUILD" -V --timeout 900 "$@" </dev/null
