#!/usr/bin/env bash
# pelmora-cli ping, query and send --confirm against hosts that run the messaging core
# (cli_core_peer) or only a listener, the master-mode report on the pinged host, "Utils" taken,
# and a message from the core to a companion listening in place of the system's messenger.
#   cli_ping_query.sh PELMORA_CLI CLI_CORE_PEER
set -u
CLI=$1
PEER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo pardal gorrion || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
D=$TESTLAN_DIR

testlan_spawn mirlo "$D/mirlo.out" "$PEER" --timeout 60
testlan_spawn pardal "$D/pardal.out" "$PEER" --no-messenger --master --timeout 60
testlan_wait_for "$D/mirlo.out" '^ready' 10 || fail "mirlo peer"
testlan_wait_for "$D/pardal.out" '^ready' 10 || fail "pardal peer"

out=$(testlan_run tejo "$CLI" ping --wait 1 MIRLO) || fail "ping MIRLO: status $?"
[ "$out" = "MIRLO 0.31b" ] || fail "ping MIRLO printed [$out]"

out=$(testlan_run tejo "$CLI" ping --wait 1 PRUEBAS | sort) || fail "workgroup ping"
[ "$out" = $'MIRLO 0.31b\nPARDAL 0.31b' ] || fail "workgroup ping printed [$out]"
# PARDAL runs in master mode: both pings were reported there, the argument included.
testlan_wait_for "$D/pardal.out" $'^line\tVESPRA\tPARDAL\tPing from TEJO to PRUEBAS\t5$' 5 \
  || fail "master report of the workgroup ping"
grep -q 'Ping from' "$D/mirlo.out" && fail "mirlo is not in master mode"

out=$(testlan_run tejo "$CLI" query MIRLO) || fail "query MIRLO: status $?"
[ "$out" = "YES" ] || fail "query MIRLO printed [$out]"
out=$(testlan_run tejo "$CLI" query --wait 1 pardal) || fail "query pardal: status $?"
[ "$out" = "NO" ] || fail "query pardal printed [$out]"

testlan_run tejo "$CLI" query --wait 0.5 GORRION >"$D/q.out" 2>&1; rc=$?
[ "$rc" -eq 1 ] || fail "query to a silent host: status $rc"
grep -q 'no answer' "$D/q.out" || fail "query to a silent host: no message"
testlan_run tejo "$CLI" ping --wait 0.5 GORRION >"$D/p.out" 2>&1; rc=$?
[ "$rc" -eq 1 ] || fail "ping to a silent host: status $rc"

# send --confirm delivers as the program does and says what became of the message: a name
# typed in lower case is asked in upper case, as the program holds it, and its answer counts.
out=$(testlan_run tejo "$CLI" send --confirm mirlo "¡me lees!") || fail "send --confirm mirlo: status $?"
[ "$out" = "MIRLO: shown by Pelmora" ] || fail "send --confirm mirlo printed [$out]"
testlan_wait_for "$D/mirlo.out" $'^line\tTEJO\tMIRLO\t¡me lees!\t3$' 5 || fail "confirmed message on mirlo"
out=$(testlan_run tejo "$CLI" send --confirm --from CAJA PARDAL seguro) || fail "send --confirm PARDAL: status $?"
[ "$out" = "PARDAL: taken by Pelmora on the secure slot" ] || fail "send --confirm PARDAL printed [$out]"
testlan_wait_for "$D/pardal.out" $'^line\tCAJA\tPARDAL\tseguro\t4$' 5 || fail "secure message on pardal"
# A host with only a listener, as with the system's own messenger: the message reaches it on the
# messenger slot after the wait, and the status says nobody answered.
testlan_spawn gorrion "$D/glisten.out" "$CLI" listen --count 1 --timeout 15
LISTEN=$TESTLAN_PID
testlan_wait_for "$D/glisten.out" 'listening' 10 || fail "listen on gorrion did not start"
testlan_run tejo "$CLI" send --confirm --wait 0.5 GORRION "¿hay alguien?" >"$D/c.out" 2>&1; rc=$?
[ "$rc" -eq 3 ] || fail "send --confirm to a listener: status $rc [$(cat "$D/c.out")]"
[ "$(cat "$D/c.out")" = "GORRION: no answer, sent to the messenger slot" ] \
  || fail "send --confirm to a listener printed [$(cat "$D/c.out")]"
wait "$LISTEN" || fail "listen on gorrion"
grep -qx $'messenger\tTEJO\tGORRION\t¿hay alguien?' "$D/glisten.out" \
  || fail "confirmed message on the listener: [$(cat "$D/glisten.out")]"

# Where the program runs, "Utils" is taken.
testlan_run mirlo "$CLI" ping --wait 0.2 PARDAL >"$D/t.out" 2>&1; rc=$?
[ "$rc" -eq 1 ] || fail "ping with Utils taken: status $rc"
grep -q '"Utils" is taken' "$D/t.out" || fail "ping with Utils taken: message [$(cat "$D/t.out")]"

# The core sends to a companion that stands in for the system's messenger: with nobody holding
# "Utils" there, the message leaves over messenger after the time-out.
testlan_spawn tejo "$D/listen.out" "$CLI" listen --count 1 --timeout 15
LISTEN=$TESTLAN_PID
testlan_wait_for "$D/listen.out" 'listening' 10 || fail "listen did not start"
start=$(date +%s%N)
testlan_spawn gorrion "$D/gorrion.out" "$PEER" --send TEJO "¡hola, José!" --timeout 2
SENDER=$TESTLAN_PID
wait "$LISTEN" || fail "listen on tejo"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
wait "$SENDER"
# Nothing answered the query, so the message cannot have left before the one-second time-out.
[ "$elapsed_ms" -ge 1000 ] || fail "message left after ${elapsed_ms} ms, before the time-out"
echo "after the time-out: ${elapsed_ms} ms"
grep -qx $'messenger\tGORRION\tTEJO\t¡hola, José!' "$D/listen.out" \
  || fail "message from the core: [$(cat "$D/listen.out")]"
grep -qx $'line\tGORRION\tTEJO\t¡hola, José!\t2' "$D/gorrion.out" || fail "echo on the sender"

# The same with the companion holding "Utils": it answers YES and the message goes at once.
testlan_spawn tejo "$D/listen2.out" "$CLI" listen --utils --count 1 --timeout 15
LISTEN=$TESTLAN_PID
testlan_wait_for "$D/listen2.out" 'listening' 10 || fail "listen --utils did not start"
start=$(date +%s%N)
testlan_spawn gorrion "$D/gorrion2.out" "$PEER" --send TEJO "rápido" --timeout 3
wait "$LISTEN" || fail "listen --utils on tejo: [$(cat "$D/listen2.out")] [$(cat "$D/gorrion2.out")]"
elapsed_ms=$(( ($(date +%s%N) - start) / 1000000 ))
grep -qx $'messenger\tGORRION\tTEJO\trápido' "$D/listen2.out" || fail "message after YES"
echo "after YES: ${elapsed_ms} ms"
echo "ok"
