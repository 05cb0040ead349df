#!/usr/bin/env bash
# Copies the project's Wine prefix to DEST, for a run that needs a wineserver of its own
# (one started inside a network namespace, or one whose registry changes are thrown away).
set -euo pipefail
dest=$1
source "$(dirname "$0")/env.sh"
[ -f "$WINEPREFIX/system.reg" ] || { echo "copy-prefix: no Wine prefix at $WINEPREFIX (tools/wine/prefix.sh)" >&2; exit 1; }
# A server of the template that is still winding down may be saving its registry.
timeout 10 "$PELORIN_WINESERVER" -w 2>/dev/null || true
# The users' temporary files are left behind: tests that run in the template meanwhile make and
# drop them, and a copy that met one half-way would fail.
mkdir -p "$dest"
# tar's status 1 only says that a file changed while it was read (a folder's time, say).
{ tar -C "$WINEPREFIX" --exclude='./drive_c/users/*/Temp/*' --warning=no-file-changed -cf - . || [ $? -eq 1 ]; } |
  tar -C "$dest" -xpf -
