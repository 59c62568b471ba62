# Sourced by the scripts that run GoogleTest programs.
#
# nl_gtest_step LABEL COMMAND...
#   Runs a GoogleTest program (through whatever wrapper starts it: wine, ip
#   netns exec, a shell), its output passing through, and fails when the
#   program failed or ran no test at all. A filter that matches nothing (a
#   renamed suite) makes GoogleTest report success having run nothing: such a
#   step must not pass. Returns the program's exit code, or 1 when it ran no
#   test.
nl_gtest_step() {
  local label=$1 out rc ran
  shift
  out=$(mktemp "/tmp/nl-gtest.XXXXXX") || return 1
  "$@" 2>&1 | tee "$out"
  rc=${PIPESTATUS[0]}
  # "[==========] 3 tests from 2 test suites ran. (12 ms total)", once per
  # program; ctest -V puts "N: " in front.
  ran=$(sed -n 's/^\([0-9][0-9]*: \)\{0,1\}\[==========\] \([0-9][0-9]*\) tests\{0,1\} from .* ran\..*/\2/p' "$out" |
    awk '{ n += $1 } END { if (NR) print n }')
  rm -f "$out"
  echo "$label: exit code $rc, ${ran:-no} tests ran"
  [ "$rc" -eq 0 ] || return "$rc"
  if [ -z "$ran" ] || [ "$ran" -eq 0 ]; then
    echo "$label: ran no test"
    return 1
  fi
  return 0
}
