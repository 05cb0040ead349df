#!/usr/bin/env bash
# Runs run-ui.sh with two folders nothing may change, made immutable (chattr +i), since as
# root on Linux permission bits refuse nothing:
# - PELORIN_READONLY_FOLDER: a folder whose setup.ini is immutable;
# - PELORIN_LOCKED_FOLDER: an immutable folder holding a copy of the program and a setup.ini:
#   no file can be made or removed in it.
# Both are handed to the driver as Windows paths; where the file system has no such flag the
# variables stay unset and the scenarios say why they skipped those cases.
#
#   run-with-readonly-ini.sh [run-ui.sh arguments...] -- DRIVER.exe PELORIN.exe [...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

program=""
args=("$@")
for i in "${!args[@]}"; do
  if [ "${args[$i]}" = "--" ]; then program=${args[$((i + 2))]:-}; break; fi
done

folder=$(mktemp -d /tmp/pelorin-readonly.XXXXXX)
locked=$(mktemp -d /tmp/pelorin-locked.XXXXXX)
cleanup() {
  chattr -i "$folder/setup.ini" "$locked" 2>/dev/null || true
  rm -rf "$folder" "$locked"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

printf '[set]\r\ntimer=7\r\nloginname=beside\r\nloginpassword=pw\r\n' >"$folder/setup.ini"
if chattr +i "$folder/setup.ini" 2>/dev/null && ! (: >>"$folder/setup.ini") 2>/dev/null; then
  export PELORIN_READONLY_FOLDER="Z:${folder//\//\\}"
else
  echo "run-with-readonly-ini: chattr +i refused here; the read-only case is skipped" >&2
fi

if [ -f "$program" ]; then
  cp "$program" "$locked/Pelorin.exe"
  printf '[set]\r\ntimer=7\r\nloginname=beside\r\nloginpassword=pw\r\n' >"$locked/setup.ini"
  if chattr +i "$locked" 2>/dev/null && ! (: >"$locked/probe") 2>/dev/null; then
    export PELORIN_LOCKED_FOLDER="Z:${locked//\//\\}"
  else
    echo "run-with-readonly-ini: chattr +i refused here; the unwritable folder is skipped" >&2
  fi
fi
set +e
"$here/run-ui.sh" "$@"
status=$?
exit "$status"
