#!/usr/bin/env bash
# A workgroup whose name is not ASCII ("OFICIÑA"): every channel must put the name into the
# frame the same way (the OEM code page, as Windows does for NetBIOS names) and every receiver
# must compare it the same way. Once only the messenger channel converted it, so its datagrams,
# and every time-out fallback, reached nobody.
#   cli_oem_workgroup.sh PELMORA_CLI CLI_CORE_PEER
set -u
CLI=$1
PEER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo gorrion pardal || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
D=$TESTLAN_DIR
for h in tejo mirlo gorrion pardal; do
  testlan_conf "$h" $'[RED]\nGRUPO_TRABAJO = OFICIÑA\nPUERTO = 13138\nOEM = 850'
done

# MIRLO runs the core; GORRION has only a listener in place of the system's messenger.
testlan_spawn mirlo "$D/mirlo.out" "$PEER" --timeout 30
testlan_wait_for "$D/mirlo.out" '^ready' 10 || fail "mirlo peer"
testlan_spawn gorrion "$D/gorrion.out" "$CLI" listen --count 2 --timeout 25
GORRION=$TESTLAN_PID
testlan_wait_for "$D/gorrion.out" 'listening' 10 || fail "listen on gorrion"

# The utility channel: a ping to the workgroup.
out=$(testlan_run tejo "$CLI" ping --wait 1 "OFICIÑA") || fail "workgroup ping: status $?"
[ "$out" = "MIRLO 0.31b" ] || fail "workgroup ping printed [$out]"
# The workgroup written in other letter case is the same workgroup.
out=$(testlan_run tejo "$CLI" ping --wait 1 "oficiÑa") || fail "workgroup ping, other case"
[ "$out" = "MIRLO 0.31b" ] || fail "workgroup ping, other case, printed [$out]"

# The messenger and secure channels.
testlan_run tejo "$CLI" send "OFICIÑA" "por messenger" || fail "messenger send"
testlan_run tejo "$CLI" send --secure "OFICIÑA" "por seguro" || fail "secure send"
# The core's time-out fallback: nothing answers the workgroup's query by the workgroup's name.
testlan_run pardal "$PEER" --send "OFICIÑA" "tras el plazo" --timeout 2 >"$D/sender.out" \
  || fail "core send"

wait "$GORRION" || fail "gorrion listener: [$(cat "$D/gorrion.out")]"
grep -qx $'messenger\tTEJO\tOFICIÑA\tpor messenger' "$D/gorrion.out" || fail "messenger to gorrion"
grep -qx $'messenger\tPARDAL\tOFICIÑA\ttras el plazo' "$D/gorrion.out" || fail "fallback to gorrion"
grep -q 'por seguro' "$D/gorrion.out" && fail "the secure datagram reached the messenger listener"
testlan_wait_for "$D/mirlo.out" $'^line\tTEJO\tOFICIÑA\tpor messenger\t3$' 5 || fail "messenger to mirlo"
testlan_wait_for "$D/mirlo.out" $'^line\tTEJO\tOFICIÑA\tpor seguro\t4$' 5 || fail "secure to mirlo"
echo "ok"
