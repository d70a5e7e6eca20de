#!/usr/bin/env bash
# pelmora-cli send on one host, pelmora-cli listen on another: messenger and secure messages,
# accented letters, line breaks and backslashes, the default sender, and the length limit.
#   cli_send_listen.sh PELMORA_CLI
set -u
CLI=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
OUT="$TESTLAN_DIR/listen.out"

testlan_spawn mirlo "$OUT" "$CLI" listen --secure --count 3 --timeout 20
LISTEN=$TESTLAN_PID
testlan_wait_for "$OUT" 'listening' 10 || fail "listen did not start"

testlan_run tejo "$CLI" send MIRLO "Grüße aus Málaga:" "¿qué tal, señor?" || fail "messenger send"
testlan_run tejo "$CLI" send --secure --from "JOSÉ" MIRLO 'a&b' "$(printf 'line one\nline two \\ end')" \
  || fail "secure send"
testlan_run tejo "$CLI" send --from ANA mirlo "ñ" || fail "third send"

wait "$LISTEN"; rc=$?
[ "$rc" -eq 0 ] || fail "listen ended with $rc"
mapfile -t got < <(grep -E $'^(messenger|secure)\t' "$OUT")
expected=(
  $'messenger\tTEJO\tMIRLO\tGrüße aus Málaga: ¿qué tal, señor?'
  $'secure\tJOSÉ\tMIRLO\ta&b line one\\nline two \\\\ end'
  $'messenger\tANA\tmirlo\tñ'
)
[ "${#got[@]}" -eq 3 ] || { cat "$OUT" >&2; fail "expected 3 lines, got ${#got[@]}"; }
for i in 0 1 2; do
  [ "${got[$i]}" = "${expected[$i]}" ] || fail "line $i: got [${got[$i]}] expected [${expected[$i]}]"
done

# 409 characters go, 410 are refused before anything is sent.
long409=$(printf 'é%.0s' $(seq 409))
testlan_spawn mirlo "$OUT.2" "$CLI" listen --count 1 --timeout 10
testlan_wait_for "$OUT.2" 'listening' 10 || fail "second listen did not start"
testlan_run tejo "$CLI" send MIRLO "${long409}x" 2>"$TESTLAN_DIR/err"; rc=$?
[ "$rc" -eq 2 ] || fail "410 characters: status $rc"
grep -q '409' "$TESTLAN_DIR/err" || fail "410 characters: no clear message"
testlan_run tejo "$CLI" send MIRLO "$long409" || fail "409 characters not sent"
wait "$TESTLAN_PID" || fail "second listen"
line=$(grep -E $'^messenger\t' "$OUT.2")
[ "$line" = $'messenger\tTEJO\tMIRLO\t'"$long409" ] || fail "409 characters arrived changed"

# Without a listener the secure write has nobody to reach but still leaves the machine.
testlan_run tejo "$CLI" send --secure MIRLO "nobody" || fail "send to a machine without listener"
echo "ok"
