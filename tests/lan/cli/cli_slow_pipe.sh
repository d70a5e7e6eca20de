#!/usr/bin/env bash
# pelmora-cli listen writing to a pipe that nobody reads for a while: the listener blocks on its
# output, and every message that arrives meanwhile waits in its slot. All arrive, in order, and
# the listener reports at its end that its slots dropped nothing. Once the slot held 10 and the
# rest were lost.
#   cli_slow_pipe.sh PELMORA_CLI CLI_CORE_PEER
set -u
CLI=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
D=$TESTLAN_DIR
N=400
# 400 lines of some 420 bytes are far more than a pipe holds (64 KiB): the listener blocks.
testlan_spawn mirlo "$D/listen.log" sh -c \
  "'$CLI' listen --count $N --timeout 600 2>'$D/listen.err' | (sleep 6; cat >'$D/listen.out')"
LISTEN=$TESTLAN_PID
testlan_wait_for "$D/listen.err" 'listening' 10 || fail "listen did not start"
pad=$(printf 'x%.0s' $(seq 400))
testlan_run tejo sh -c "for i in \$(seq -w 1 $N); do '$CLI' send MIRLO \"\$i $pad\" || exit 1; done" \
  || fail "sending"
wait "$LISTEN" || fail "listen: $(cat "$D/listen.err")"
expected=$(seq -w 1 $N | sed "s/\$/ $pad/" | sed 's/^/messenger\tTEJO\tMIRLO\t/')
got=$(cat "$D/listen.out")
if [ "$got" != "$expected" ]; then
  echo "$(echo "$got" | grep -c .) of $N lines; first difference:" >&2
  diff <(echo "$expected" | cut -c1-40) <(echo "$got" | cut -c1-40) | head -n 6 >&2
  fail "messages lost or out of order"
fi
grep -qx 'pelmora-cli: 0 datagrams dropped (slot full)' "$D/listen.err" \
  || fail "no report of what was dropped: $(cat "$D/listen.err")"
echo "ok"
