#!/usr/bin/env bash
# Runs the WinInet polling benchmark (wine_poll_bench) under Wine in the network rig.
#
#   tools/bench/wine-bench.sh [NATIVE_BUILD_DIR [WIN64_BUILD_DIR]]
#
# NATIVE_BUILD_DIR holds the substitute router (default build/native), WIN64_BUILD_DIR the
# benchmark (default build/win64). Needs root, as the rig does.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
native=$(realpath -m "${1:-$root/build/native}")
win64=$(realpath -m "${2:-$root/build/win64}")
router=$native/tools/substitute-router/substitute-router
bench=$win64/tools/bench/wine_poll_bench.exe

[ -x "$router" ] || { echo "wine-bench: no substitute router at $router (build the native tree)" >&2; exit 2; }
[ -f "$bench" ] || { echo "wine-bench: no benchmark at $bench (build target wine_poll_bench of the win64 tree)" >&2; exit 2; }

"$root/tools/wine/prefix.sh"
exec "$root/tools/rig/netrig.sh" --router "$router" -- "$root/tools/wine/run.sh" "$bench"
