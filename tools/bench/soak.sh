#!/usr/bin/env bash
# A day of polls: the real Pelorin.exe under Wine in the network rig, polled 86,400 times
# (one day at one poll a second) as fast as it answers, with a disconnect and re-dial every
# 600 polls and the window in the tray for half the run. Prints its resources at the start
# and the end, its CPU and wall time per poll beside a bare WinInet fetch, and its time to a
# visible window beside a minimal window program. Needs root, as the rig does.
#
#   tools/bench/soak.sh [POLLS [driver options...]]   e.g. soak.sh 6000 --launches=9
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
polls=${1:-86400}
shift $(($# > 0))
bash tools/setup.sh
cmake --preset native >/dev/null && cmake --build --preset native --target substitute-router
cmake --preset win64 >/dev/null && cmake --build --preset win64 --target pelorin_soak_driver
win64=build/win64
exec tests/wine/ui/soak/run-soak.sh --polls "$polls" --timeout 14400 \
  -- "$win64/tests/wine/ui/soak/pelorin_soak_driver.exe" "$win64/app/Pelorin.exe" \
  "$win64/tests/wine/ui/soak/pelorin_minimal_window.exe" "$@"
