#!/usr/bin/env bash
# Runs run-ui.sh with a folder whose setup.ini nothing may change: the file is made immutable
# (chattr +i), since as root on Linux permission bits refuse nothing. The folder is handed to
# the driver in PELORIN_READONLY_FOLDER (a Windows path); where the file system has no such
# flag the variable stays unset and the scenario says why it skipped that case.
#
#   run-with-readonly-ini.sh [run-ui.sh arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

folder=$(mktemp -d /tmp/pelorin-readonly.XXXXXX)
cleanup() {
  chattr -i "$folder/setup.ini" 2>/dev/null || true
  rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

printf '[set]\r\ntimer=6\r\nloginname=locked\r\n' >"$folder/setup.ini"
if chattr +i "$folder/setup.ini" 2>/dev/null && ! (: >>"$folder/setup.ini") 2>/dev/null; then
  export PELORIN_READONLY_FOLDER="Z:${folder//\//\\}"
else
  echo "run-with-readonly-ini: chattr +i refused here; the read-only case is skipped" >&2
fi
set +e
"$here/run-ui.sh" "$@"
status=$?
exit "$status"
