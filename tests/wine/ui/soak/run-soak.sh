#!/usr/bin/env bash
# Runs the soak driver (pelorin_soak_driver.exe) through run-ui.sh, on the desktop with the
# taskbar inside the rig, and answers its questions about the Linux side: for each
# "ask-LABEL" file it leaves in a shared folder (holding a piece of the program's command
# line) this writes "answer-LABEL" with the open descriptors of the Wine process running
# that program and the established connections to port 80 in its network namespace.
#
# The driver names itself with the marker "pelorin_soak_driver.exe" to have its own CPU time
# read.
#
#   run-soak.sh [--polls N] [--timeout SECONDS] -- SOAK.exe PELORIN.exe MINIMAL.exe [driver arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

polls=3000
limit=900
while (($#)); do
  case "$1" in
    --polls) polls=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "run-soak: unknown option $1" >&2; exit 2 ;;
  esac
done
(($# >= 3)) || { echo "usage: run-soak.sh [--polls N] [--timeout S] -- SOAK.exe PELORIN.exe MINIMAL.exe" >&2; exit 2; }
driver=$1 program=$2 minimal=$3
shift 3

samples=$(mktemp -d /tmp/pelorin-soak.XXXXXX)
sampler=""
cleanup() {
  [ -n "$sampler" ] && kill "$sampler" 2>/dev/null
  rm -rf "$samples"
}
trap cleanup EXIT

# The process whose program path (the first word of its command line) holds the marker.
# Matched in bash, so no helper process carries the marker; other words are not looked at,
# since explorer and the scripts name the driver among their arguments.
find_process() {
  local marker=$1 entry first
  for entry in /proc/[0-9]*; do
    first=""
    IFS= read -r -d '' first <"$entry/cmdline" 2>/dev/null || [ -n "$first" ] || continue
    if [[ $first == *"$marker"* ]]; then
      echo "${entry#/proc/}"
      return
    fi
  done
}

answer() {
  local ask=$1 label pid fds=-1 non_pipes=-1 threads=-1 connections=-1 private_kb=-1 cpu_ms=-1 stat
  label=${ask##*/ask-}
  pid=$(find_process "$(cat "$ask")")
  if [ -n "$pid" ]; then
    fds=$(ls "/proc/$pid/fd" | wc -l)
    # Every Wine thread holds pipes to the wineserver; sockets and files are the rest.
    non_pipes=$(find "/proc/$pid/fd" -mindepth 1 -printf '%l\n' | grep -vc '^pipe:')
    threads=$(ls "/proc/$pid/task" | wc -l)
    # /proc/PID/net/tcp is the table of the process's own namespace: state 01 is
    # established, remote port 0050 is 80.
    connections=$(awk 'NR > 1 && $4 == "01" && $3 ~ /:0050$/' "/proc/$pid/net/tcp" "/proc/$pid/net/tcp6" | wc -l)
    private_kb=$(awk '/^Private_(Clean|Dirty):/ { kb += $2 } END { print kb + 0 }' "/proc/$pid/smaps_rollup")
    # utime and stime, the 14th and 15th fields, counted after the ")" ending the name.
    stat=$(sed 's/.*) //' "/proc/$pid/stat")
    cpu_ms=$(echo "$stat" | awk -v hz="$(getconf CLK_TCK)" '{ print int(($12 + $13) * 1000 / hz) }')
  fi
  echo "pid=${pid:-none} fds=$fds non_pipes=$non_pipes threads=$threads connections=$connections private_kb=$private_kb cpu_ms=$cpu_ms" \
    >"$samples/answer-$label.tmp"
  mv "$samples/answer-$label.tmp" "$samples/answer-$label"
  rm -f "$ask"
  echo "run-soak: $label: $(cat "$samples/answer-$label")"
}

(
  set +e
  while [ -d "$samples" ]; do
    for ask in "$samples"/ask-*; do
      [ -f "$ask" ] && answer "$ask"
    done
    sleep 0.05
  done
) &
sampler=$!

"$here/../run-ui.sh" --timeout "$limit" -- "$driver" "$program" --minimal="$minimal" \
  --sample-dir="$samples" --polls="$polls" "$@"
