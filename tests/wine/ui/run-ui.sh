#!/usr/bin/env bash
# Runs the UI driver on a private X server (tools/wine/with-display.sh), on Wine's virtual
# desktop "shell" with its taskbar and notification area, so the driver and the program it
# starts share one desktop; inside the network rig, or with --loopback-only in a network
# namespace with nothing but loopback (no default route).
#
#   run-ui.sh [--loopback-only] [--needs-32bit PROBE] [--shots DIR] [--timeout SECONDS]
#             [--locale LOCALE] [--dpi DPI] [--router-arg ARG]... [--miniupnpd] [--ipv6]
#             -- DRIVER.exe PELORIN.exe [driver arguments...]
#
# With --miniupnpd, Debian's miniupnpd runs in the rig's router namespace as well, and with
# --ipv6 the PC holds a global IPv6 address whose prefix moves at each re-dial (netrig.sh).
# With --locale (C.UTF-8, zh_TW.UTF-8) the driver and the program run under that locale, so
# with the code page for non-Unicode programs that it gives (1252, 950) instead of 936.
# With --dpi (120, 144) the display is scaled (125 %, 150 %): LogPixels in the run's own prefix.
# With --needs-32bit the run is skipped, with one line and exit status 77, where 32-bit
# Windows programs do not run (tools/wine/can-run-32bit.sh PROBE). The driver's exit status
# does not come back through "explorer /desktop": the driver writes it to a result file and
# this script exits with it.
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
  if [ -n "${PELORIN_UI_DPI:-}" ]; then
    "$root/tools/wine/run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
      /d "$PELORIN_UI_DPI" /f >/dev/null
    "$PELORIN_WINESERVER" -w
  fi
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
probe32=""
shots=""
limit=900
router_args=()
rig_args=()
while (($#)); do
  case "$1" in
    --loopback-only) loopback_only=1; shift ;;
    --needs-32bit) probe32=$2; shift 2 ;;
    --shots) shots=$2; shift 2 ;;
    --timeout) limit=$2; shift 2 ;;
    --locale) export PELORIN_LOCALE=$2; shift 2 ;;
    --dpi) export PELORIN_UI_DPI=$2; shift 2 ;;
    --router-arg) router_args+=(--router-arg "$2"); shift 2 ;;
    --miniupnpd) rig_args+=(--miniupnpd); shift ;;
    --ipv6) rig_args+=(--ipv6); shift ;;
    --) shift; break ;;
    *) echo "run-ui: unknown option $1" >&2; exit 2 ;;
  esac
done
(($# >= 2)) || { echo "usage: run-ui.sh [options] -- DRIVER.exe PELORIN.exe [driver arguments...]" >&2; exit 2; }
driver=$1 program=$2
shift 2
if [ -n "$probe32" ]; then
  status=0
  verdict=$("$root/tools/wine/can-run-32bit.sh" "$probe32") || status=$?
  ((status == 0)) || { echo "run-ui: skipped: $verdict"; exit "$status"; }
fi
[ -f "$driver" ] || { echo "run-ui: no driver at $driver" >&2; exit 2; }
[ -f "$program" ] || { echo "run-ui: no program at $program" >&2; exit 2; }

work=$(mktemp -d /tmp/pelorin-ui.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

result="$work/result"
driver_args=(--pelorin="$program" --result-file="$result")
[ -n "$shots" ] && mkdir -p "$shots" && driver_args+=(--shots="$(cd "$shots" && pwd)")
desktop=(timeout --kill-after=10 "$limit" "$here/run-ui.sh" --on-desktop "$result" "$driver" "${driver_args[@]}" "$@")
if ((loopback_only)); then
  place=("$root/tests/wine/host/isolated.sh" --loopback-only --)
else
  place=("$root/tools/rig/netrig.sh" ${router_args[@]+"${router_args[@]}"} ${rig_args[@]+"${rig_args[@]}"} --)
fi

set +e
"$root/tools/wine/with-display.sh" -- "${place[@]}" "${desktop[@]}"
place_status=$?
set -e

if [ ! -s "$result" ]; then
  echo "run-ui: the driver left no result (exit status $place_status)" >&2
  exit 1
fi
exit "$(head -n1 "$result")"
