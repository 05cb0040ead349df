#!/usr/bin/env bash
# Creates the Wine prefix once, serially: prefixes created lazily by tests in parallel race.
set -euo pipefail
source "$(dirname "$0")/env.sh"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "setup: creating the Wine prefix $WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$PELORIN_WINE" wineboot --init >/dev/null 2>&1 || true
  "$PELORIN_WINESERVER" -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "setup: wineboot did not create $WINEPREFIX" >&2; exit 1; }
fi
