#!/usr/bin/env bash
# Sets up, builds, and runs the router control core under Wine against the substitute
# router, inside the network rig: login, a status poll every second, one IP change.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
bash tools/setup.sh
cmake --preset native >/dev/null && cmake --build --preset native --target substitute-router
cmake --preset win64 >/dev/null && cmake --build --preset win64 --target wanwatch
exec tools/rig/netrig.sh --router-arg --redial-ms --router-arg 4000 -- \
  tools/wine/run.sh build/win64/tools/wanwatch/wanwatch.exe "${1:-12}"
