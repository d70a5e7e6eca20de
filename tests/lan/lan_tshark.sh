#!/usr/bin/env bash
# A write to another machine leaves as a NetBIOS datagram carrying an SMB mailslot write, as a
# capture tool dissects it: message type, both names, the mailslot path and the payload.
set -u
PROBE=$1
source "$(dirname "$0")/testlan.sh"
testlan_require
command -v tshark >/dev/null || { echo "tshark missing; skipped"; exit 77; }
testlan_create tejo mirlo || exit 1

PCAP="$TESTLAN_DIR/capture.pcap"
# Written by the capturing process itself; tshark refuses some directories as root, so dumpcap
# writes to our own temporary directory.
testlan_spawn_bridge "$TESTLAN_DIR/tshark.log" tshark -i br0 -f "udp port 13138" -w "$PCAP" -c 2
TSHARK=$TESTLAN_PID
testlan_wait_for "$TESTLAN_DIR/tshark.log" "Capturing on" 20 || exit 1
sleep 0.5

testlan_spawn mirlo "$TESTLAN_DIR/mirlo.out" "$PROBE" hold --count 2 --timeout-ms 10000 seguro
testlan_wait_for "$TESTLAN_DIR/mirlo.out" READY || exit 1
testlan_run tejo "$PROBE" write mirlo SEGURO "hola tshark" || { echo "write failed"; exit 1; }
testlan_run tejo "$PROBE" write pruebas seguro "a todos" || { echo "group write failed"; exit 1; }
for i in $(seq 100); do kill -0 "$TSHARK" 2>/dev/null || break; sleep 0.1; done
kill "$TSHARK" 2>/dev/null
testlan_wait_for "$TESTLAN_DIR/mirlo.out" "GOT seguro 7 a\\\\x20todos" || exit 1

FIELDS="$TESTLAN_DIR/fields.txt"
tshark -r "$PCAP" -d udp.port==13138,nbdgm -T fields -E separator='|' \
  -e nbdgm.type -e nbdgm.src.ip -e nbdgm.src.port -e nbdgm.source_name -e nbdgm.destination_name \
  -e smb.cmd -e mailslot.opcode -e mailslot.class -e mailslot.name -e data.data \
  >"$FIELDS" 2>"$TESTLAN_DIR/tshark.err"
EXPERT="$TESTLAN_DIR/expert.txt"
tshark -r "$PCAP" -d udp.port==13138,nbdgm -q -z expert >"$EXPERT" 2>&1
cat "$FIELDS"

fail=0
expect() {  # line, field number, expected value, what
  local got
  got=$(sed -n "$1p" "$FIELDS" | cut -d'|' -f"$2")
  if [ "$got" != "$3" ]; then
    echo "FAIL: $4: tshark says '$got', expected '$3'"
    fail=1
  fi
}
TEJO_IP=$(testlan_addr tejo)
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
expect 1 1 16 "type of a datagram to one machine (direct unique)"
expect 1 2 "$TEJO_IP" "source address"
expect 1 4 "TEJO<00>" "source name"
expect 1 5 "MIRLO<00>" "destination name"
expect 1 6 0x25 "SMB command (transaction)"
expect 1 7 1 "mailslot opcode (write)"
expect 1 8 2 "mailslot class (unreliable)"
expect 1 9 '\MAILSLOT\SEGURO' "mailslot name"
expect 1 10 "$(hex 'hola tshark')" "payload"
expect 2 1 17 "type of a datagram to the workgroup (direct group)"
expect 2 5 "PRUEBAS<00>" "workgroup as destination name"
expect 2 9 '\MAILSLOT\seguro' "mailslot name as the writer gave it"
expect 2 10 "$(hex 'a todos')" "payload"
if grep -Eiq "malformed|error" "$EXPERT"; then
  echo "FAIL: tshark reports problems:"
  cat "$EXPERT"
  fail=1
fi
exit $fail
