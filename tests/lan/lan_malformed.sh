#!/usr/bin/env bash
# Whatever arrives on the carrier's port, the receiver takes only complete, consistent frames for
# this machine and a slot it holds; everything else is dropped and the endpoints keep receiving.
# The probe runs under the sanitizers of the test build, so a read outside a buffer fails here.
set -u
PROBE=$1
source "$(dirname "$0")/testlan.sh"
source "$(dirname "$0")/common.sh"
testlan_require
testlan_create tejo mirlo || exit 1
PORT=13138
MIRLO_IP=$(testlan_addr mirlo)
BCAST=$TESTLAN_SUBNET.255

testlan_spawn mirlo "$TESTLAN_DIR/mirlo.out" "$PROBE" hold --count 4 --timeout-ms 600000 seguro Utils
MIRLO=$TESTLAN_PID
testlan_wait_for "$TESTLAN_DIR/mirlo.out" READY || exit 1

raw() {  # HEX [ADDRESS]
  testlan_run tejo "$PROBE" raw "${2:-$BCAST}" $PORT "$1" || { echo "FAIL: raw send"; FAIL=1; }
}
frame() { testlan_run tejo "$PROBE" frame "$@"; }
# set_byte HEX OFFSET BYTE
set_byte() { local h=$1 o=$(( $2 * 2 )); echo "${h:0:$o}$3${h:$((o + 2))}"; }

PATH_SEGURO='\MAILSLOT\seguro'
GOOD=$(frame TEJO MIRLO seguro "valido")
LEN=$(( ${#GOOD} / 2 ))

# Garbage of many sizes, including an empty datagram and one as large as UDP allows.
raw ""
raw "00"
raw "$(head -c 81 /dev/urandom | od -An -tx1 | tr -d ' \n')"
raw "$(head -c 1500 /dev/urandom | od -An -tx1 | tr -d ' \n')"
raw "$(head -c 65507 /dev/urandom | od -An -tx1 | tr -d ' \n')" "$MIRLO_IP"
# Every truncation of a good frame.
for n in $(seq 0 $((LEN - 1))); do raw "${GOOD:0:$((n * 2))}" "$MIRLO_IP"; done
# Lengths that disagree with the bytes.
raw "$(set_byte "$GOOD" 11 "$(printf %02X $(( LEN - 14 + 1 )))")"
raw "${GOOD}00"
raw "$(set_byte "$GOOD" $((82 + 67)) FF)"                       # byte count
raw "$(set_byte "$GOOD" $((82 + 57)) 00)"                       # data offset
raw "$(set_byte "$GOOD" $((82 + 55)) 40)"                       # data count
raw "$(set_byte "$GOOD" 15 ZZ | sed 's/ZZ/51/')"                # name letter outside A..P
raw "$(set_byte "$GOOD" $((82 + 69 + ${#PATH_SEGURO})) 41)"   # mailslot path unterminated
raw "$(set_byte "$GOOD" $((82 + 32)) 00)"                       # word count
raw "$(set_byte "$GOOD" 0 20)"                                  # not a direct datagram
# Complete frames that are simply not for this machine or for a slot it holds.
raw "$(frame TEJO GORRION seguro "otra-maquina")"
raw "$(frame TEJO OTRO seguro "otro-grupo")"
raw "$(frame TEJO MIRLO messngr "slot-no-abierto")"
raw "$(frame TEJO MIRLO 'seguro\x' "slot-anidado")"

# Good frames, sent raw and by the ordinary writer, still arrive.
raw "$GOOD" "$MIRLO_IP"
raw "$(frame TEJO pruebas UTILS "al-grupo-raw")"
write tejo mirlo seguro "despues"
write tejo pruebas utils "grupo-despues"

testlan_wait_for "$TESTLAN_DIR/mirlo.out" "^DONE" 120 || FAIL=1
wait "$MIRLO"
STATUS=$?
[ "$STATUS" = 0 ] || { echo "FAIL: the receiving probe ended with status $STATUS"; FAIL=1; }
expect_count mirlo "^GOT seguro 6 valido$" 1 "good frame sent raw"
expect_count mirlo "^GOT Utils 12 al-grupo-raw$" 1 "good group frame sent raw"
expect_count mirlo "^GOT seguro 7 despues$" 1 "ordinary write after the garbage"
expect_count mirlo "^GOT Utils 13 grupo-despues$" 1 "ordinary group write after the garbage"
expect_count mirlo "^GOT" 4 "nothing else taken"
finish
