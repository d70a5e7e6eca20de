#!/usr/bin/env bash
# pelmora-cli doctor on test hosts: one on a LAN, one without any network, a port held by a
# program that does not share it, a running companion holding the slots, a firewall that drops
# the port (when nft is installed), and a configuration with a bad port. Doctor only reads: the
# firewall rules and the configuration are the same after it ran.
#   cli_doctor.sh PELMORA_CLI
set -u
CLI=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo || { echo "cannot build the test LAN" >&2; exit 1; }
testlan_create_alone islote || { echo "cannot build the lonely host" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
OUT="$TESTLAN_DIR/doctor.out"

# doctor HOST EXPECTED_STATUS: runs it, keeps the output in $OUT, checks the status.
doctor() {
  testlan_run "$1" "$CLI" doctor >"$OUT" 2>&1
  local rc=$?
  [ "$rc" -eq "$2" ] || { cat "$OUT" >&2; fail "doctor on $1: status $rc, expected $2"; }
}
has() { grep -qF -- "$1" "$OUT" || { cat "$OUT" >&2; fail "no line with [$1]"; }; }
last_line_starts() {
  local last
  last=$(tail -n 1 "$OUT")
  case "$last" in "$1"*) ;; *) cat "$OUT" >&2; fail "verdict [$last] does not start with [$1]";; esac
}

# A host on the LAN with nothing running: everything in order.
doctor tejo 0
has "machine name:  TEJO  (host name \"tejo\")"
has "workgroup:     PRUEBAS  ($TESTLAN_DIR/tejo.conf (named by PELMORA_MACHINE_CONF), [RED] GRUPO_TRABAJO)"
has "port:          UDP 13138  ($TESTLAN_DIR/tejo.conf"
has "OEM code page: 850  ("
has "eth0  $(testlan_addr tejo)  broadcast 10.231.0.255  carries messages"
has "lo  127.0.0.1  not used: loopback"
has "port 13138: free, can be bound"
has "messngr: free"
last_line_starts "ok: this machine can send and receive on UDP port 13138"

# A host without a network: it cannot send.
doctor islote 1
has "lo  127.0.0.1  not used: loopback"
last_line_starts "cannot send: no network interface can broadcast"

# A running companion holds the slots and shares the port: still fine, and named.
testlan_spawn mirlo "$TESTLAN_DIR/listen.out" "$CLI" listen --secure --utils --timeout 60
LISTEN=$TESTLAN_PID
testlan_wait_for "$TESTLAN_DIR/listen.out" 'listening' 10 || fail "listen did not start"
doctor mirlo 0
has "port 13138: can be bound; shared with pelmora-cli (pid $LISTEN), a running Pelmora"
has "messngr: held by pelmora-cli (pid $LISTEN)"
has "seguro: held by pelmora-cli (pid $LISTEN)"
has "Utils: held by pelmora-cli (pid $LISTEN)"
last_line_starts "ok:"
kill "$LISTEN"; wait "$LISTEN" 2>/dev/null

# A program that holds the port without sharing it: nothing would reach the program.
testlan_spawn tejo "$TESTLAN_DIR/holder.out" python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("", 13138))
print("bound", flush=True)
time.sleep(60)'
HOLDER=$TESTLAN_PID
testlan_wait_for "$TESTLAN_DIR/holder.out" 'bound' 10 || fail "the holder did not bind"
doctor tejo 1
has "port 13138: held by python3 (pid $HOLDER)"
last_line_starts "cannot receive: UDP port 13138 is held by python3 (pid $HOLDER), which does not share it"
kill "$HOLDER"; wait "$HOLDER" 2>/dev/null

# A bad port in the configuration: the default is in effect, and the file's text is named. The
# workgroup's accented letter comes back as it was written (only a to z are upper-cased).
testlan_conf tejo $'[RED]\nGRUPO_TRABAJO = Peña\nPUERTO = 13l38\n'
conf_before=$(cat "$TESTLAN_DIR/tejo.conf")
doctor tejo 0
has "port:          UDP 13138  (default; [RED] PUERTO = \"13l38\" in $TESTLAN_DIR/tejo.conf"
has "workgroup:     PEñA  ("
[ "$(cat "$TESTLAN_DIR/tejo.conf")" = "$conf_before" ] || fail "doctor changed the configuration"

# A firewall on the host that drops everything but SSH, then one that opens the port.
if command -v nft >/dev/null; then
  ns=$(testlan_ns tejo)
  ip netns exec "$ns" nft -f - <<'EOF' || fail "cannot load the firewall rules"
table inet filter {
  chain input {
    type filter hook input priority filter; policy drop;
    ct state established,related accept
    iif "lo" accept
    tcp dport 22 accept
  }
}
EOF
  rules_before=$(ip netns exec "$ns" nft list ruleset)
  doctor tejo 1
  has "firewall: drops UDP port 13138 (nftables table inet filter, chain input: policy drop)"
  last_line_starts "cannot receive: the firewall drops UDP port 13138"
  [ "$(ip netns exec "$ns" nft list ruleset)" = "$rules_before" ] || fail "doctor changed the rules"
  ip netns exec "$ns" nft add rule inet filter input udp dport 13138 accept ||
    fail "cannot add the opening"
  doctor tejo 0
  has "firewall: lets UDP port 13138 through (nftables table inet filter, chain input: udp dport 13138 accept)"
else
  echo "nft is not installed: the firewall part is not checked" >&2
fi
echo "ok"
