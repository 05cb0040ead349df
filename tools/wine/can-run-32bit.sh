#!/usr/bin/env bash
# Tells whether 32-bit Windows programs run here under Wine, in one line. Runs the 32-bit
# probe (built by the win32 preset) with the project's Wine environment.
#   can-run-32bit.sh [PROBE]   PROBE defaults to build/win32/tools/release/probe32.exe
# Exit status: 0 they run; 77 they do not (no 32-bit Wine, a kernel that refuses 32-bit
# programs, a prefix without 32-bit system files); 1 the probe is not built.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
probe=${1:-$root/build/win32/tools/release/probe32.exe}
source "$(dirname "$0")/env.sh"

no() { echo "32-bit Windows programs: do not run here ($1)"; exit 77; }
[ -x /usr/lib/wine/wine ] || no "32-bit Wine is not installed: tools/setup.sh"
/usr/lib/wine/wine --version >/dev/null 2>&1 || no "the kernel does not run 32-bit programs"
[ -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ] \
  || no "the Wine prefix has no 32-bit system files: tools/wine/prefix.sh"
[ -f "$probe" ] || { echo "32-bit Windows programs: not tried, no probe at $probe (build the win32 preset)"; exit 1; }
if out=$(timeout 60 "$PELORIN_WINE" "$probe" 2>&1) && [[ $out == *"probe32: 32-bit program runs"* ]]; then
  echo "32-bit Windows programs: run here (${out//$'\r'/})"
else
  no "the probe failed: $(head -n 1 <<<"$out" | tr -d '\r')"
fi
