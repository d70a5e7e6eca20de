#!/usr/bin/env bash
# The messenger's session form on the test LAN: Samba's real `smbclient -M` and
# `pelmora-cli send --session` to `pelmora-cli listen`, on the default session port (the direct
# form smbclient uses with -p) and on 139 (with the NetBIOS session request), a name the machine
# does not answer to, a machine where nobody listens, and doctor's line about the port.
#   cli_session.sh PELMORA_CLI
set -u
CLI=$1
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
command -v smbclient >/dev/null || { echo "smbclient is not installed; skipped"; exit 77; }
testlan_create tejo mirlo sauce || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
MIRLO=$(testlan_addr mirlo)

# smbclient HOST NAME ARGS... < TEXT: Samba's client on HOST, as a script would run it.
smbclient_on() {
  local host=$1
  shift
  testlan_run "$host" smbclient -N -M "$@" 2>"$TESTLAN_DIR/smbclient.err" >/dev/null
}

# expect_lines FILE LINE...: the session and messenger lines of FILE are exactly these.
expect_lines() {
  local file=$1
  shift
  mapfile -t got < <(grep -E $'^(session|messenger)\t' "$file")
  [ "${#got[@]}" -eq "$#" ] || { cat "$file" >&2; fail "expected $# lines, got ${#got[@]}"; }
  local i=0 want
  for want in "$@"; do
    [ "${got[$i]}" = "$want" ] || fail "line $i: got [${got[$i]}] expected [$want]"
    i=$((i + 1))
  done
}

# On the default port: smbclient skips the session request and sends the text in the OEM code
# page with echo's line end; the companion's own sender uses the single-block request for a
# short text and the multi-block one for a long text.
OUT="$TESTLAN_DIR/listen.out"
testlan_spawn mirlo "$OUT" "$CLI" listen --count 4 --timeout 30
LISTEN=$TESTLAN_PID
testlan_wait_for "$OUT" 'listening' 10 || fail "listen did not start"

echo "¿qué tal, señor?" | smbclient_on tejo MIRLO -I "$MIRLO" -p 13139 -U PEPE ||
  { cat "$TESTLAN_DIR/smbclient.err" >&2; fail "smbclient to the default session port"; }
testlan_run tejo "$CLI" send --session --address "$MIRLO" --from "JOSÉ" MIRLO "corto ñ" ||
  fail "send --session, short"
long=$(printf 'ü%.0s' $(seq 400))
testlan_run tejo "$CLI" send --session --address "$MIRLO" MIRLO "$long" || fail "send --session, long"
# The datagram still arrives beside them, on its own channel.
testlan_run tejo "$CLI" send MIRLO "por datagrama" || fail "datagram send"
wait "$LISTEN" || { cat "$OUT" >&2; fail "listen ended with $?"; }
expect_lines "$OUT" \
  $'session\tPEPE\tMIRLO\t¿qué tal, señor?' \
  $'session\tJOSÉ\tMIRLO\tcorto ñ' \
  $'session\tTEJO\tMIRLO\t'"$long" \
  $'messenger\tTEJO\tMIRLO\tpor datagrama'

# On 139, as `smbclient -M` without -p and Windows machines send: the session request must call
# this machine's name.
testlan_conf mirlo $'[RED]\nGRUPO_TRABAJO = PRUEBAS\nPUERTO = 13138\nPUERTO_SESION = 139\nOEM = 850'
testlan_conf tejo $'[RED]\nGRUPO_TRABAJO = PRUEBAS\nPUERTO = 13138\nPUERTO_SESION = 139\nOEM = 850'
OUT="$TESTLAN_DIR/listen139.out"
testlan_spawn mirlo "$OUT" "$CLI" listen --count 2 --timeout 30
LISTEN=$TESTLAN_PID
testlan_wait_for "$OUT" 'listening' 10 || fail "listen on 139 did not start"
echo "en el 139" | smbclient_on tejo MIRLO -I "$MIRLO" -U ANA ||
  { cat "$TESTLAN_DIR/smbclient.err" >&2; fail "smbclient to port 139"; }
if echo "a otro" | smbclient_on tejo CUERVO -I "$MIRLO" -U ANA; then
  fail "smbclient to a name MIRLO does not answer to was taken"
fi
testlan_run tejo "$CLI" send --session --address "$MIRLO" CUERVO "tampoco" 2>"$TESTLAN_DIR/err" &&
  fail "send --session to another name was taken"
grep -q "does not take messages for CUERVO" "$TESTLAN_DIR/err" || { cat "$TESTLAN_DIR/err" >&2; fail "no clear refusal"; }
# Doctor on MIRLO while the companion holds the port.
testlan_run mirlo "$CLI" doctor >"$TESTLAN_DIR/doctor.out" 2>&1
grep -qF "session port: TCP 139  ($TESTLAN_DIR/mirlo.conf (named by PELMORA_MACHINE_CONF), [RED] PUERTO_SESION): held by pelmora-cli (pid $LISTEN); reachable at $MIRLO:139" \
  "$TESTLAN_DIR/doctor.out" || { cat "$TESTLAN_DIR/doctor.out" >&2; fail "doctor's session line"; }
testlan_run tejo "$CLI" send --session --address "$MIRLO" mirlo "por la sesión" ||
  fail "send --session to 139"
wait "$LISTEN" || { cat "$OUT" >&2; fail "listen on 139 ended with $?"; }
expect_lines "$OUT" $'session\tANA\tMIRLO\ten el 139' $'session\tTEJO\tmirlo\tpor la sesión'

# Where nobody holds the messenger slot, nobody listens: the sender is told, and doctor says so.
testlan_run tejo "$CLI" send --session --address "$(testlan_addr sauce)" SAUCE "nadie" \
  2>"$TESTLAN_DIR/err" && fail "send --session to a machine without a listener succeeded"
grep -q "nobody listens for messages" "$TESTLAN_DIR/err" || { cat "$TESTLAN_DIR/err" >&2; fail "no clear error"; }
testlan_run sauce "$CLI" doctor >"$TESTLAN_DIR/doctor.out" 2>&1
grep -qF "session port: TCP 13139  (default): nobody listens" "$TESTLAN_DIR/doctor.out" ||
  { cat "$TESTLAN_DIR/doctor.out" >&2; fail "doctor on a machine without a listener"; }
echo "ok"
