#!/usr/bin/env bash
# Runs a command RUNS times side by side, the K-th with PELORIN_SHARD=K/RUNS, and fails when
# any run fails. Each output line carries its run's number. With REPORT named, each run K has
# left its part of that table as PELORIN_REPORT_DIR/REPORT.K, its last line its footer; the
# parts are joined into REPORT: the tables in order, then the footers.
#
#   run-sharded.sh RUNS [--report REPORT] -- COMMAND [ARGUMENTS...]
set -euo pipefail
runs=$1
shift
report=""
if [ "${1:-}" = "--report" ]; then
  report=$2
  shift 2
fi
[ "${1:-}" = "--" ] && shift

pids=()
cleanup() { ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

for ((run = 0; run < runs; ++run)); do
  (
    set -o pipefail
    PELORIN_SHARD=$run/$runs "$@" 2>&1 | sed -u "s/^/[run $((run + 1))] /"
  ) &
  pids+=($!)
done

status=0
for pid in "${pids[@]}"; do
  wait "$pid" && code=0 || code=$?
  [ "$status" -ne 0 ] || status=$code
done
pids=()

if [ -n "$report" ] && [ -n "${PELORIN_REPORT_DIR:-}" ]; then
  parts=()
  for ((run = 0; run < runs; ++run)); do parts+=("$PELORIN_REPORT_DIR/$report.$run"); done
  if ls "${parts[@]}" >/dev/null 2>&1; then
    {
      for part in "${parts[@]}"; do head -n -1 "$part"; done
      echo
      for part in "${parts[@]}"; do tail -n 1 "$part"; done
    } >"$PELORIN_REPORT_DIR/$report"
    rm -f "${parts[@]}"
  else
    echo "run-sharded: not every run left its part of $report" >&2
    [ "$status" -ne 0 ] || status=1
  fi
fi
exit "$status"
