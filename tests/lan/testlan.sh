#!/usr/bin/env bash
# Test LAN: a few "machines" made of network namespaces, for tests that send between machines.
#
#   source tests/lan/testlan.sh
#   testlan_require                  # exit 77 (skipped) unless root and namespaces can be made
#   testlan_create tejo mirlo ...    # one host per name, all on one bridge
#   testlan_create_alone islote      # a host with no network at all, only its loopback
#   testlan_create_routed tejo -- mirlo sauce   # two subnets joined by a router (below)
#   testlan_router_directed on|off   # whether the router forwards directed broadcasts
#   testlan_run tejo CMD ARGS...     # run on a host, wait for it, return its status
#   testlan_spawn tejo OUT CMD ...   # start on a host in the background, stdout+stderr to OUT;
#                                    #   its pid is left in TESTLAN_PID
#   testlan_spawn_bridge OUT CMD ... # the same in the bridge's namespace (e.g. tshark -i br0)
#   testlan_wait_for OUT REGEX [SECONDS]   # wait until OUT holds a line matching REGEX
#   testlan_conf tejo "INI TEXT"     # the host's machine configuration (PELMORA_MACHINE_CONF)
#   testlan_addr tejo                # the host's IPv4 address
#   testlan_ns tejo / testlan_bridge_ns   # namespace names, e.g. for `ip netns exec` + tshark
#   testlan_teardown                 # also runs by itself on exit, failure, INT and TERM
#
# A host is a network namespace with a veth "eth0" into the bridge "br0", which lives in a
# namespace of its own, so nothing of the test LAN appears in the machine's own namespace and no
# datagram can reach a real interface. Addresses are 10.231.0.11, .12, ... /24 (broadcast
# 10.231.0.255), existing only inside these namespaces. Every command runs with its own host name
# (`unshare --uts`) set to the host's name, so the computer name the program reads is that name
# upper-cased. Namespace names carry the shell's pid and a random number: parallel test runs do
# not collide. The default configuration of every host is workgroup PRUEBAS on port 13138.
#
# testlan_create_routed puts the hosts before "--" on 10.231.0.0/24 (bridge br0) and the others
# on 10.231.1.0/24 (bridge br1), .11, .12, ... on each. A router namespace joins them, 10.231.0.1
# and 10.231.1.1, the hosts' default route. It forwards unicast and, like a real router, no
# broadcast; directed broadcasts (10.231.1.255 sent from the other side) only after
# `testlan_router_directed on` (net.ipv4.conf.*.bc_forwarding=1), which many routers never do.

TESTLAN_ID="pl$$r$RANDOM"
TESTLAN_DIR="$(mktemp -d /tmp/testlan.XXXXXX)"
TESTLAN_HOSTS=()
TESTLAN_PIDS=()
declare -A TESTLAN_ADDRS=()  # hosts of a routed LAN: their addresses
TESTLAN_PID=
TESTLAN_SUBNET=10.231.0
# More than 244 hosts (benchmarks with hundreds of copies): set TESTLAN_WIDE=1 before sourcing;
# the hosts then live in 10.232.0.0/16 (broadcast 10.232.255.255) and TESTLAN_BROADCAST says so.
if [ "${TESTLAN_WIDE:-0}" = 1 ]; then
  TESTLAN_BROADCAST=10.232.255.255
  TESTLAN_PREFIX=16
else
  TESTLAN_BROADCAST=$TESTLAN_SUBNET.255
  TESTLAN_PREFIX=24
fi
# The address of the i-th host (from 1).
testlan_host_ip() {
  if [ "$TESTLAN_PREFIX" = 16 ]; then
    echo "10.232.$(($1 / 200)).$((10 + $1 % 200))"
  else
    echo "$TESTLAN_SUBNET.$((10 + $1))"
  fi
}
TESTLAN_DEFAULT_CONF=$'[RED]\nGRUPO_TRABAJO = PRUEBAS\nPUERTO = 13138\nOEM = 850\n'

testlan_bridge_ns() { echo "$TESTLAN_ID-br"; }
testlan_router_ns() { echo "$TESTLAN_ID-rt"; }
testlan_ns() { echo "$TESTLAN_ID-$1"; }

testlan_index() {
  local i
  for i in "${!TESTLAN_HOSTS[@]}"; do
    if [ "${TESTLAN_HOSTS[$i]}" = "$1" ]; then echo $((i + 1)); return 0; fi
  done
  echo "testlan: no host $1" >&2
  return 1
}

testlan_addr() {
  local i
  if [ -n "${TESTLAN_ADDRS[$1]:-}" ]; then echo "${TESTLAN_ADDRS[$1]}"; return 0; fi
  i=$(testlan_index "$1") || return 1
  testlan_host_ip "$i"
}

testlan_require() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "testlan: needs root for network namespaces; skipped" >&2
    exit 77
  fi
  local probe="$TESTLAN_ID-probe"
  if ! ip netns add "$probe" 2>/dev/null; then
    echo "testlan: cannot create network namespaces; skipped" >&2
    exit 77
  fi
  ip netns del "$probe" 2>/dev/null
  if ! command -v unshare >/dev/null; then
    echo "testlan: unshare missing; skipped" >&2
    exit 77
  fi
}

testlan_create() {
  local br host ns i
  br=$(testlan_bridge_ns)
  ip netns add "$br" || return 1
  ip -n "$br" link set lo up
  ip -n "$br" link add br0 type bridge || return 1
  ip -n "$br" link set br0 up
  for host in "$@"; do
    TESTLAN_HOSTS+=("$host")
    i=${#TESTLAN_HOSTS[@]}
    ns=$(testlan_ns "$host")
    ip netns add "$ns" || return 1
    ip -n "$ns" link set lo up
    # Both ends are made inside the namespaces: the machine's own namespace never sees them.
    ip -n "$br" link add "v$i" type veth peer name eth0 netns "$ns" || return 1
    ip -n "$br" link set "v$i" master br0 up
    ip -n "$ns" addr add "$(testlan_host_ip "$i")/$TESTLAN_PREFIX" broadcast "$TESTLAN_BROADCAST" dev eth0
    ip -n "$ns" link set eth0 up
    printf '%s' "$TESTLAN_DEFAULT_CONF" >"$TESTLAN_DIR/$host.conf"
  done
}

# testlan_attach HOST BRIDGE ADDRESS BROADCAST [GATEWAY]: a new host with a veth into BRIDGE.
testlan_attach() {
  local host=$1 bridge=$2 address=$3 broadcast=$4 gateway=${5:-} br ns i
  br=$(testlan_bridge_ns)
  TESTLAN_HOSTS+=("$host")
  TESTLAN_ADDRS[$host]=$address
  i=${#TESTLAN_HOSTS[@]}
  ns=$(testlan_ns "$host")
  ip netns add "$ns" || return 1
  ip -n "$ns" link set lo up
  ip -n "$br" link add "v$i" type veth peer name eth0 netns "$ns" || return 1
  ip -n "$br" link set "v$i" master "$bridge" up
  ip -n "$ns" addr add "$address/24" broadcast "$broadcast" dev eth0
  ip -n "$ns" link set eth0 up
  [ -z "$gateway" ] || ip -n "$ns" route add default via "$gateway" || return 1
  printf '%s' "$TESTLAN_DEFAULT_CONF" >"$TESTLAN_DIR/$host.conf"
}

testlan_create_routed() {
  local br rt host side=0 n0=0 n1=0 bridge
  br=$(testlan_bridge_ns)
  rt=$(testlan_router_ns)
  ip netns add "$br" || return 1
  ip -n "$br" link set lo up
  ip netns add "$rt" || return 1
  ip -n "$rt" link set lo up
  for bridge in 0 1; do
    ip -n "$br" link add "br$bridge" type bridge || return 1
    ip -n "$br" link set "br$bridge" up
    ip -n "$br" link add "r$bridge" type veth peer name "eth$bridge" netns "$rt" || return 1
    ip -n "$br" link set "r$bridge" master "br$bridge" up
    ip -n "$rt" addr add "10.231.$bridge.1/24" broadcast "10.231.$bridge.255" dev "eth$bridge"
    ip -n "$rt" link set "eth$bridge" up
  done
  ip netns exec "$rt" sysctl -qw net.ipv4.ip_forward=1 || return 1
  for host in "$@"; do
    if [ "$host" = -- ]; then side=1; continue; fi
    if [ $side = 0 ]; then
      n0=$((n0 + 1))
      testlan_attach "$host" br0 "10.231.0.$((10 + n0))" 10.231.0.255 10.231.0.1 || return 1
    else
      n1=$((n1 + 1))
      testlan_attach "$host" br1 "10.231.1.$((10 + n1))" 10.231.1.255 10.231.1.1 || return 1
    fi
  done
}

testlan_router_directed() {
  local value=0 key
  [ "$1" = on ] && value=1
  for key in all default eth0 eth1; do
    ip netns exec "$(testlan_router_ns)" sysctl -qw "net.ipv4.conf.$key.bc_forwarding=$value" \
      || return 1
  done
}

testlan_create_alone() {
  local host=$1 ns
  TESTLAN_HOSTS+=("$host")
  ns=$(testlan_ns "$host")
  ip netns add "$ns" || return 1
  ip -n "$ns" link set lo up
  printf '%s' "$TESTLAN_DEFAULT_CONF" >"$TESTLAN_DIR/$host.conf"
}

testlan_conf() {
  printf '%s\n' "$2" >"$TESTLAN_DIR/$1.conf"
}

testlan_run() {
  local host=$1
  shift
  testlan_index "$host" >/dev/null || return 1
  PELMORA_MACHINE_CONF="$TESTLAN_DIR/$host.conf" \
    ip netns exec "$(testlan_ns "$host")" \
    unshare --uts sh -c 'hostname "$0" && exec "$@"' "$host" "$@"
}

testlan_spawn() {
  local host=$1 out=$2
  shift 2
  testlan_index "$host" >/dev/null || return 1
  # Every step execs the next, so TESTLAN_PID is the pid of the command itself.
  PELMORA_MACHINE_CONF="$TESTLAN_DIR/$host.conf" \
    exec_in_background "$out" ip netns exec "$(testlan_ns "$host")" \
    unshare --uts sh -c 'hostname "$0" && exec "$@"' "$host" "$@"
}

exec_in_background() {
  local out=$1
  shift
  (exec "$@" >"$out" 2>&1) &
  TESTLAN_PID=$!
  TESTLAN_PIDS+=("$TESTLAN_PID")
}

testlan_spawn_bridge() {
  local out=$1
  shift
  exec_in_background "$out" ip netns exec "$(testlan_bridge_ns)" "$@"
}

testlan_wait_for() {
  local file=$1 pattern=$2 seconds=${3:-10} waited=0
  while ! grep -Eq -- "$pattern" "$file" 2>/dev/null; do
    sleep 0.05
    waited=$((waited + 1))
    if [ "$waited" -ge $((seconds * 20)) ]; then
      echo "testlan: timed out waiting for /$pattern/ in $file:" >&2
      sed 's/^/  | /' "$file" >&2 2>/dev/null
      return 1
    fi
  done
}

testlan_teardown() {
  local pid ns host
  for pid in "${TESTLAN_PIDS[@]}"; do
    kill "$pid" 2>/dev/null
  done
  # Whatever still runs inside our namespaces was started by this test.
  for ns in "$(testlan_bridge_ns)" "$(testlan_router_ns)" "${TESTLAN_HOSTS[@]/#/$TESTLAN_ID-}"; do
    for pid in $(ip netns pids "$ns" 2>/dev/null); do kill -9 "$pid" 2>/dev/null; done
  done
  for pid in "${TESTLAN_PIDS[@]}"; do
    wait "$pid" 2>/dev/null
  done
  for host in "${TESTLAN_HOSTS[@]}"; do
    ip netns del "$(testlan_ns "$host")" 2>/dev/null
  done
  ip netns del "$(testlan_bridge_ns)" 2>/dev/null
  ip netns del "$(testlan_router_ns)" 2>/dev/null
  TESTLAN_HOSTS=()
  TESTLAN_ADDRS=()
  TESTLAN_PIDS=()
  rm -rf "$TESTLAN_DIR"
}

trap testlan_teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
