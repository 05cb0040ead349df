#!/usr/bin/env bash
# Runs the UI driver on a private X server (Xvfb), on Wine's virtual desktop "shell", so the
# driver and the program it starts share one desktop; inside the network rig, or with
# --loopback-only in a network namespace with nothing but loopback (no default route).
#
#   run-ui.sh [--loopback-only] [--shots DIR] [--timeout SECONDS] [--router-arg ARG]...
#             -- DRIVER.exe PELORIN.exe [driver arguments...]
#
# The driver's exit status does not come back through "explorer /desktop": the driver writes
# it to a result file and this script exits with it. Xvfb goes away on every path (it also
# gets SIGKILL should this script be killed outright).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

# Inside the namespace: the desktop with the driver on it. Once the driver has left its
# result, whatever it left running (a program it could not end) is stopped with the Wine
# server, or the desktop would wait for it for good.
if [ "${1:-}" = "--on-desktop" ]; then
  result=$2
  shift 2
  source "$root/tools/wine/env.sh"
  "$root/tools/wine/run.sh" explorer /desktop=shell,800x600 "$@" &
  desktop=$!
  while [ ! -s "$result" ] && kill -0 "$desktop" 2>/dev/null; do sleep 0.5; done
  for _ in $(seq 40); do kill -0 "$desktop" 2>/dev/null || break; sleep 0.5; done
  if kill -0 "$desktop" 2>/dev/null; then
    echo "run-ui: ending what the driver left running" >&2
    "$PELORIN_WINESERVER" -k 2>/dev/null || true
  fi
  wait "$desktop" || true
  exit 0
fi

loopback_only=0
shots=""
limit=900
router_args=()
while (($#)); do
  case "$1" in
    --loopback-only) loopback_only=1; shift ;;
    --shots) shots=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --router-arg) router_args+=(--router-arg "$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "run-ui: unknown option $1" >&2; exit 2 ;;
  esac
done
(($# >= 2)) || { echo "usage: run-ui.sh [options] -- DRIVER.exe PELORIN.exe [driver arguments...]" >&2; exit 2; }
driver=$1 program=$2
shift 2
[ -f "$driver" ] || { echo "run-ui: no driver at $driver" >&2; exit 2; }
[ -f "$program" ] || { echo "run-ui: no program at $program" >&2; exit 2; }

source "$root/tools/wine/env.sh"
work=$(mktemp -d /tmp/pelorin-ui.XXXXXX)
xvfb_pid=""
cleanup() {
  set +e
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    for _ in $(seq 40); do kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A free display: Xvfb picks it and writes its number to the pipe.
setpriv --pdeathsig KILL Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp \
  3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; echo "run-ui: Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
[ -s "$work/display" ] || { echo "run-ui: Xvfb gave no display number" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"
unset XAUTHORITY

result="$work/result"
driver_args=(--pelorin="$program" --result-file="$result")
[ -n "$shots" ] && mkdir -p "$shots" && driver_args+=(--shots="$(cd "$shots" && pwd)")
desktop=(timeout --kill-after=10 "$limit" "$here/run-ui.sh" --on-desktop "$result" "$driver" "${driver_args[@]}" "$@")

set +e
if ((loopback_only)); then
  "$root/tests/wine/host/isolated.sh" --loopback-only -- "${desktop[@]}"
else
  "$root/tools/rig/netrig.sh" ${router_args[@]+"${router_args[@]}"} -- "${desktop[@]}"
fi
rig_status=$?
set -e

if [ ! -s "$result" ]; then
  echo "run-ui: the driver left no result (exit status $rig_status)" >&2
  exit 1
fi
exit "$(head -n1 "$result")"
