#!/usr/bin/env bash
# Runs a command with its own copy of the Wine prefix, so that the wineserver it starts
# serves this run alone and whatever it leaves in the registry goes away with the copy.
# With --loopback-only the command runs in a fresh network namespace where only the
# loopback interface is up: no adapter, no default route.
#
#   isolated.sh [--loopback-only] -- command [args...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

loopback_only=0
while (($#)); do
  case "$1" in
    --loopback-only) loopback_only=1; shift ;;
    --) shift; break ;;
    *) echo "isolated: unknown option $1 (usage: isolated.sh [--loopback-only] -- command)" >&2; exit 2 ;;
  esac
done
(($#)) || { echo "isolated: no command given" >&2; exit 2; }
if ((loopback_only)); then
  [ "$(id -u)" = 0 ] || { echo "isolated: needs root (network namespaces)" >&2; exit 2; }
fi

source "$root/tools/wine/env.sh"
template_prefix=$WINEPREFIX
[ -f "$template_prefix/system.reg" ] || { echo "isolated: no Wine prefix at $template_prefix (tools/wine/prefix.sh)" >&2; exit 2; }

work=$(mktemp -d /tmp/pelorin-host.XXXXXX)
prefix="$work/wineprefix"
ns=""
in_ns=()

teardown() {
  set +e
  if [ -d "$prefix" ]; then
    ${in_ns[@]+"${in_ns[@]}"} env WINEPREFIX="$prefix" "$PELORIN_WINESERVER" -k >/dev/null 2>&1
  fi
  [ -n "$ns" ] && ip netns del "$ns" 2>/dev/null
  rm -rf "$work"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

if ((loopback_only)); then
  id="$$$RANDOM"
  ns="pelh${id:0:9}"
  ip netns add "$ns"
  ip -n "$ns" link set lo up
  in_ns=(ip netns exec "$ns")
fi

"$root/tools/wine/copy-prefix.sh" "$prefix"

set +e
loopback_flag=()
((loopback_only)) && loopback_flag=(PELORIN_LOOPBACK_ONLY=1)
${in_ns[@]+"${in_ns[@]}"} env ${loopback_flag[@]+"${loopback_flag[@]}"} \
  PELORIN_WINEPREFIX="$prefix" WINEPREFIX="$prefix" "$@"
status=$?
set -e
exit $status
