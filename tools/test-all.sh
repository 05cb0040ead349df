#!/usr/bin/env bash
# Sets up the machine, builds the native and 64-bit configurations and the 32-bit release exe
# with its probe, and runs every test: the native core tests under AddressSanitizer and UBSan,
# then the Windows tests under 64-bit Wine (those that talk to a router inside the network rig,
# two at a time, each in a rig of its own; the real Pelorin.exe driven through its windows, the
# release archive's checks), then each fuzz target for a few seconds. Ends with
# "N passed, N failed". About 13.5 minutes on a 2-core machine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash tools/setup.sh

# Each step's line says how long the run has taken so far.
step() { printf '== %s (%d:%02d)\n' "$1" $((SECONDS / 60)) $((SECONDS % 60)); }

build() {
  local preset=$1
  shift
  step "build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" "$@"
}
build native
# The probe that tells whether 32-bit programs run; the 32-bit exe is built once, by the
# release step, with the same preset (warnings are errors). The tests run in the 64-bit build.
build win32 --target probe32
build win64
# The release archive (dist/), from a clean copy of the tree; the win64 tests check it, run
# the exe inside and build it once more to compare.
step release
tools/release/make-release.sh

passed=0 failed=0
run_tests() {
  step "test $1"
  local log
  log=$(mktemp)
  set +e
  ctest --preset "$1" -j2 2>&1 | tee "$log"
  set -e
  local summary
  summary=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  rm -f "$log"
  if [ -z "$summary" ]; then
    echo "test-all: ctest for $1 ran no tests" >&2
    failed=$((failed + 1))
    return
  fi
  local f t
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$summary")
  t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$summary")
  passed=$((passed + t - f))
  failed=$((failed + f))
}
run_tests native
run_tests win64

# Every fuzz target for a few seconds from its seeds; each one found nothing, or the run fails.
step fuzz
if bash tools/fuzz/run.sh --short; then
  passed=$((passed + $(ls tests/fuzz/*_fuzz.cpp | wc -l)))
else
  failed=$((failed + 1))
fi

step end
echo
echo "all: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
