#!/usr/bin/env bash
# A slot whose reader stalls loses nothing and holds up nobody: MIRLO's reader of "seguro" takes
# nothing for 5 s while TEJO floods it with datagrams, among them random garbage on the port.
# Every datagram then arrives, in order, none is dropped, and "Utils" of the same process keeps
# receiving during the stall. Once a Unix socket held 10 datagrams and the network receiver
# dropped the rest after waiting 250 ms on each, stalling every other slot meanwhile.
set -u
PROBE=$1
source "$(dirname "$0")/testlan.sh"
source "$(dirname "$0")/common.sh"
testlan_require
testlan_create tejo mirlo || exit 1
N=3000
BCAST=$TESTLAN_SUBNET.255

testlan_spawn mirlo "$TESTLAN_DIR/mirlo.out" "$PROBE" hold --count $((N + 1)) --timeout-ms 60000 \
  --stall-ms 5000 --stalled seguro seguro Utils
MIRLO=$TESTLAN_PID
testlan_wait_for "$TESTLAN_DIR/mirlo.out" READY || exit 1

testlan_run tejo "$PROBE" flood MIRLO seguro $N --garbage-per 2 "$BCAST" 13138 \
  >"$TESTLAN_DIR/flood.out" &
FLOOD=$!
# In the middle of the flood, with seguro's reader stalled: Utils must not wait for it.
sleep 0.5
write tejo MIRLO UTILS "vivo"
testlan_wait_for "$TESTLAN_DIR/mirlo.out" '^GOT Utils 4 vivo$' 30 \
  || { echo "FAIL: Utils never arrived"; FAIL=1; }
# Held up by seguro, it would come only after the stall, behind seguro's first datagrams.
first=$(grep -m 1 -E '^GOT (Utils|seguro)' "$TESTLAN_DIR/mirlo.out")
[ "$first" = "GOT Utils 4 vivo" ] \
  || { echo "FAIL: Utils held up by the stalled seguro, or seguro dispatched during its stall"; FAIL=1; }
wait "$FLOOD"
cat "$TESTLAN_DIR/flood.out"
grep -q "^SENT $N FAILED 0" "$TESTLAN_DIR/flood.out" || { echo "FAIL: flood"; FAIL=1; }
wait "$MIRLO"
expected=$(seq -f '%06g' 0 $((N - 1)) | sed 's/^/GOT seguro 6 /')
got=$(grep '^GOT seguro' "$TESTLAN_DIR/mirlo.out")
if [ "$got" != "$expected" ]; then
  echo "FAIL: $(echo "$got" | grep -c .) of $N arrived, or out of order"
  diff <(echo "$expected") <(echo "$got") | head -n 10
  FAIL=1
fi
expect_count mirlo '^DROPPED 0$' 1 "nothing dropped below the cap"
finish
