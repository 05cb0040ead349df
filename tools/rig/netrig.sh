#!/usr/bin/env bash
# The network test rig: a "router" namespace (192.168.1.1/24) and a "PC" namespace
# (192.168.1.100/24, default route via 192.168.1.1) joined by a veth pair. The substitute
# router serves in the router namespace while the given command runs in the PC namespace;
# everything is torn down afterwards, also when the command fails or is interrupted.
#
#   netrig.sh [--router BIN] [--no-router] [--router-arg ARG]... [--miniupnpd] [--ipv6] -- command [args...]
#
# With --miniupnpd, Debian's miniupnpd runs in the router namespace as well, a UPnP gateway
# nobody here wrote: SSDP and its description and SOAP on 192.168.1.1:5555, its WAN side an
# address outside the private and test ranges (which it needs to tell an external address),
# on a veth pair to a "modem" namespace (10.0.0.1); nothing is ever sent there. The substitute
# router's /restart restarts it as a home router restarts: it ends, a second of silence, then
# it serves on the next HTTP port, its WAN side a new public address (/restart?wan=public) or
# 10.0.0.2 behind the modem (wan=private: double NAT).
#
# The router namespace also holds 192.168.1.2 and 192.168.1.3, where the substitute router
# keeps two other devices that answer searches when asked to: another IGD and a media renderer.
#
# With --ipv6, the PC also holds a global IPv6 address, 2001:db8:1:N::100/64 (N from 1), that
# moves to the next /64 each time the substitute router's WAN link comes up with a new address,
# as the prefix a provider delegates moves at a re-dial. Nothing routes IPv6 anywhere.
#
# The router namespace answers for every address outside 192.168.1.0/24, so a packet the
# PC sends anywhere else lands there (and is counted by the substitute router) instead of
# leaving the machine. 192.168.1.77 is in the subnet and has no host: it stays unreachable.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
router_ip=192.168.1.1

# Inside the router namespace, for the first start and for the substitute router's /restart:
# miniupnpd ends if it runs, a second of silence, then it serves on the next HTTP port with a
# new WAN address, public or private. Prints the port and that address once it listens.
if [ "${1:-}" = "--miniupnpd-restart" ]; then
  work=$2 wan=${3:-public}
  generation=$(($(cat "$work/miniupnpd.generation" 2>/dev/null || echo -1) + 1))
  port=$((5555 + generation))
  case "$wan" in
    public) address=192.0.1.$((7 + generation)) ;;
    private) address=10.0.0.2 ;;
    *) echo "netrig: unknown WAN side $wan" >&2; exit 2 ;;
  esac
  if [ -f "$work/miniupnpd.process" ]; then
    pid=$(cat "$work/miniupnpd.process")
    # At once, as a router that restarts: miniupnpd takes 2 s over ending on SIGTERM.
    kill -KILL "$pid" 2>/dev/null || true
    # Gone, or ended and not reaped (its parent has left).
    for _ in $(seq 100); do
      case $(awk '/^State:/ {print $2}' "/proc/$pid/status" 2>/dev/null) in "" | Z) break ;; esac
      sleep 0.05
    done
    # Its pid file names a process that looks alive while unreaped: the next would not start.
    rm -f "$work/miniupnpd.pid"
    sleep 1
  fi
  ip addr flush dev upnpwan
  ip addr add "$address/24" dev upnpwan
  sed -i "s/^http_port=.*/http_port=$port/" "$work/miniupnpd.conf"
  # In the foreground (-d), it goes with the namespace; its pid file is the rig's own.
  /usr/sbin/miniupnpd -d -f "$work/miniupnpd.conf" -P "$work/miniupnpd.pid" >>"$work/miniupnpd.log" 2>&1 </dev/null &
  pid=$!
  echo "$pid" >"$work/miniupnpd.process"
  echo "$generation" >"$work/miniupnpd.generation"
  for _ in $(seq 100); do
    if timeout 1 bash -c "exec 3<>/dev/tcp/$router_ip/$port" 2>/dev/null; then
      printf 'port=%s\nip=%s\n' "$port" "$address"
      exit 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  cat "$work/miniupnpd.log" >&2
  echo "netrig: miniupnpd did not start" >&2
  exit 1
fi

# Run by the substitute router (inside the router namespace) each time its WAN link comes up
# with a new address: the PC's IPv6 address moves to the next /64, the old one goes.
if [ "${1:-}" = "--ipv6-renumber" ]; then
  pns=$2 dev=$3 work=$4
  prefix=$(cat "$work/ipv6.prefix")
  # nodad: usable at once, as a program looking at its addresses right after would find it.
  ip -n "$pns" -6 addr add "2001:db8:1:$(printf %x $((prefix + 1)))::100/64" dev "$dev" nodad
  ip -n "$pns" -6 addr del "2001:db8:1:$(printf %x "$prefix")::100/64" dev "$dev"
  echo $((prefix + 1)) >"$work/ipv6.prefix"
  exit 0
fi

router_bin=${PELORIN_SUBSTITUTE_ROUTER:-$root/build/native/tools/substitute-router/substitute-router}
router_args=()
start_router=1
start_miniupnpd=0
ipv6=0
while (($#)); do
  case "$1" in
    --router) router_bin=$2; shift 2 ;;
    --router-arg) router_args+=("$2"); shift 2 ;;
    --no-router) start_router=0; shift ;;
    --miniupnpd) start_miniupnpd=1; shift ;;
    --ipv6) ipv6=1; shift ;;
    --) shift; break ;;
    *) echo "netrig: unknown option $1 (usage: netrig.sh [--router BIN] [--router-arg ARG]... [--ipv6] -- command)" >&2; exit 2 ;;
  esac
done
(($#)) || { echo "netrig: no command given" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "netrig: needs root (network namespaces)" >&2; exit 2; }
if ((start_router)) && [ ! -x "$router_bin" ]; then
  echo "netrig: substitute router not built: $router_bin (cmake --build --preset native)" >&2; exit 2
fi

pc_ip=192.168.1.100
other_igd_ip=192.168.1.2
renderer_ip=192.168.1.3
control_port=8081
# Names carry the rig's pid, so leftovers of a rig that was killed outright can be found.
id="$$r$RANDOM"
rns="pelorin-router-$id" pns="pelorin-pc-$id" mns="pelorin-modem-$id"
rveth="vr$id" pveth="vp$id"
for ns in $(ip netns list 2>/dev/null | grep -oE '^pelorin-(router|pc|modem)-[0-9]+r[0-9]+'); do
  pid=${ns##*-}
  pid=${pid%%r*}
  if ! kill -0 "$pid" 2>/dev/null; then
    ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
    ip netns del "$ns" 2>/dev/null || true
    rm -rf "/etc/netns/$ns"
  fi
done
work=$(mktemp -d /tmp/pelorin-rig.XXXXXX)
router_pid=""

source "$root/tools/wine/env.sh"
template_prefix=$WINEPREFIX
rig_prefix="$work/wineprefix"

teardown() {
  set +e
  if [ -d "$rig_prefix" ]; then
    ip netns exec "$pns" env WINEPREFIX="$rig_prefix" "$PELORIN_WINESERVER" -k >/dev/null 2>&1
  fi
  if [ -n "$router_pid" ]; then
    kill "$router_pid" 2>/dev/null
    for _ in $(seq 40); do kill -0 "$router_pid" 2>/dev/null || break; sleep 0.05; done
    kill -9 "$router_pid" 2>/dev/null
    wait "$router_pid" 2>/dev/null
  fi
  # Whatever the command left running in the namespaces goes with them.
  for ns in "$pns" "$rns" "$mns"; do ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null; done
  ip netns del "$pns" 2>/dev/null
  ip netns del "$rns" 2>/dev/null
  ip netns del "$mns" 2>/dev/null
  rm -rf "/etc/netns/$pns" "$work"
}
trap teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ip netns add "$rns"
ip netns add "$pns"
ip link add "$rveth" netns "$rns" type veth peer name "$pveth" netns "$pns"
ip -n "$rns" link set lo up
ip -n "$rns" addr add "$router_ip/24" dev "$rveth"
ip -n "$rns" addr add "$other_igd_ip/24" dev "$rveth"
ip -n "$rns" addr add "$renderer_ip/24" dev "$rveth"
ip -n "$rns" link set "$rveth" up
ip -n "$rns" route add local 0.0.0.0/0 dev lo table main
ip -n "$pns" link set lo up
ip -n "$pns" addr add "$pc_ip/24" dev "$pveth"
ip -n "$pns" link set "$pveth" up
ip -n "$pns" route add default via "$router_ip"
# Name look-ups from the PC go to the router namespace too, where they are counted.
mkdir -p "/etc/netns/$pns"
echo "nameserver $router_ip" > "/etc/netns/$pns/resolv.conf"
if ((ipv6)); then
  echo 1 >"$work/ipv6.prefix"
  ip -n "$pns" -6 addr add 2001:db8:1:1::100/64 dev "$pveth" nodad
fi

if ((start_router)); then
  if ((start_miniupnpd)); then
    router_args+=(--gateway-restart-hook "$(printf '%q --miniupnpd-restart %q' "$here/netrig.sh" "$work")")
  fi
  if ((ipv6)); then
    router_args+=(--redial-hook "$(printf '%q --ipv6-renumber %q %q %q' "$here/netrig.sh" "$pns" "$pveth" "$work")")
  fi
  ip netns exec "$rns" "$router_bin" --address "$router_ip" --control-port "$control_port" \
    --other-igd-address "$other_igd_ip" --renderer-address "$renderer_ip" ${router_args[@]+"${router_args[@]}"} &
  router_pid=$!
  up=0
  for _ in $(seq 100); do
    if ip netns exec "$pns" timeout 1 bash -c "exec 3<>/dev/tcp/$router_ip/$control_port" 2>/dev/null; then
      up=1; break
    fi
    kill -0 "$router_pid" 2>/dev/null || { echo "netrig: substitute router exited" >&2; exit 1; }
    sleep 0.05
  done
  ((up)) || { echo "netrig: substitute router did not answer on $router_ip:$control_port" >&2; exit 1; }
fi

if ((start_miniupnpd)); then
  ip netns add "$mns"
  ip link add upnpwan netns "$rns" type veth peer name modem netns "$mns"
  ip -n "$rns" link set upnpwan up
  ip -n "$mns" link set lo up
  ip -n "$mns" addr add 10.0.0.1/24 dev modem
  ip -n "$mns" link set modem up
  cat >"$work/miniupnpd.conf" <<CONF
ext_ifname=upnpwan
listening_ip=$rveth
http_port=5555
enable_natpmp=no
ipv6_disable=yes
secure_mode=yes
uuid=3d3cec3a-8cf0-11e0-98ee-001a6bd2d07b
minissdpdsocket=$work/minissdpd.sock
lease_file=$work/upnp.leases
allow 1024-65535 192.168.1.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
  ip netns exec "$rns" "$here/netrig.sh" --miniupnpd-restart "$work" public >/dev/null
fi

# Each run gets its own copy of the Wine prefix, so its wineserver (which opens the sockets)
# starts inside the PC namespace and never shares a server living in another namespace.
# Without a template Wine makes a fresh prefix there: slow, but never a shared server.
if [ -f "$template_prefix/system.reg" ]; then
  "$root/tools/wine/copy-prefix.sh" "$rig_prefix"
fi

set +e
ip netns exec "$pns" env PELORIN_RIG=1 PELORIN_RIG_ROUTER="$router_ip" \
  PELORIN_RIG_CONTROL_PORT="$control_port" PELORIN_RIG_DEAD_ADDRESS=192.168.1.77 \
  PELORIN_RIG_MINIUPNPD="$start_miniupnpd" PELORIN_RIG_IPV6="$ipv6" PELORIN_RIG_OTHER_IGD="$other_igd_ip" \
  PELORIN_WINEPREFIX="$rig_prefix" WINEPREFIX="$rig_prefix" "$@"
status=$?
set -e
exit $status
