#!/usr/bin/env bash
# All benchmarks, from one command: the native cost of handling one status page (optimised
# build), then, under Wine in the network rig, one status poll through WinInet beside a
# plain Winsock GET of the same page, and how long an unreachable or silent router blocks
# one request. Needs root, as the rig does.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash tools/setup.sh
cmake --preset native-release >/dev/null && cmake --build --preset native-release --target status_page_bench substitute-router
cmake --preset win64 >/dev/null && cmake --build --preset win64 --target wine_poll_bench
echo "== native: one status page"
build/native-release/tools/bench/status_page_bench
echo "== Wine in the rig: status polls"
tools/bench/wine-bench.sh build/native-release build/win64
