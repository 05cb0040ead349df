#!/usr/bin/env bash
# Runs run-ui.sh and lets the driver take the rig's router off the network and put it back:
# the driver leaves a file "down" or "up" in the folder named by PELORIN_LINK_REQUESTS (a
# Windows path); this script sets the router's end of the rig's veth pair down or up and
# answers with "done". The rig is the one this script started: its names carry the pid of
# its netrig.sh.
#
#   run-with-link-switch.sh [run-ui.sh arguments...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

requests=$(mktemp -d /tmp/pelorin-link.XXXXXX)
export PELORIN_LINK_REQUESTS="Z:${requests//\//\\}"
watcher=""
cleanup() {
  [ -n "$watcher" ] && kill "$watcher" 2>/dev/null
  rm -rf "$requests"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Whether process $1 descends from this script.
ours() {
  local pid=$1
  while [ -n "$pid" ] && [ "$pid" -gt 1 ]; do
    [ "$pid" = "$$" ] && return 0
    pid=$(awk '/^PPid:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
  done
  return 1
}

router_ns() {
  local ns pid
  for ns in $(ip netns list 2>/dev/null | grep -oE '^pelorin-router-[0-9]+r[0-9]+'); do
    pid=${ns#pelorin-router-}
    pid=${pid%%r*}
    if ours "$pid"; then echo "$ns"; return; fi
  done
}

(
  while sleep 0.1; do
    for state in down up; do
      [ -e "$requests/$state" ] || continue
      rm -f "$requests/$state"
      ns=$(router_ns)
      if [ -n "$ns" ] && ip -n "$ns" link set "vr${ns#pelorin-router-}" "$state"; then
        echo ok >"$requests/done"
      else
        echo failed >"$requests/done"
      fi
    done
  done
) &
watcher=$!

set +e
"$here/run-ui.sh" "$@"
exit $?
