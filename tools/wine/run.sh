#!/usr/bin/env bash
# Runs a Windows program under 64-bit Wine with the project's environment (code page 936, or
# that of PELORIN_LOCALE: tools/wine/env.sh).
source "$(dirname "$0")/env.sh"
exec "$PELORIN_WINE" "$@"
