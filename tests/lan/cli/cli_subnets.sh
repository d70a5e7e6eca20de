#!/usr/bin/env bash
# Two subnets joined by a router, and DIFUSION on one side only. TEJO and MIRLO are on
# 10.231.0.0/24, PARDAL (the messaging core, its messenger slot left free so it answers "NO")
# and GORRION on 10.231.1.0/24. MIRLO and GORRION run a bare listener that prints every arrival
# with no filter of its own, so a frame that reached them twice would print twice.
#   cli_subnets.sh PELMORA_CLI CLI_CORE_PEER
set -u
CLI=$1
PEER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../testlan.sh"
testlan_require
testlan_create_routed tejo mirlo -- pardal gorrion || { echo "cannot build the test LAN" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
D=$TESTLAN_DIR
BASE=$'[RED]\nGRUPO_TRABAJO = PRUEBAS\nPUERTO = 13138'
[ "$(testlan_addr gorrion) $(testlan_addr mirlo)" = "10.231.1.12 10.231.0.12" ] || fail "addresses"

testlan_spawn pardal "$D/pardal.out" "$PEER" --no-messenger --timeout 90
testlan_spawn mirlo "$D/mirlo.out" "$CLI" listen --secure --utils --timeout 90
testlan_spawn gorrion "$D/gorrion.out" "$CLI" listen --secure --utils --timeout 90
testlan_wait_for "$D/pardal.out" '^ready' 10 || fail "pardal peer"
testlan_wait_for "$D/mirlo.out" 'listening' 10 || fail "mirlo listener"
testlan_wait_for "$D/gorrion.out" 'listening' 10 || fail "gorrion listener"

send() { testlan_run tejo "$CLI" send "$@" || fail "send $*"; }

# Without the key nothing crosses the router: neither a message nor a workgroup ping.
send GORRION "sin lista"
send --secure PRUEBAS "sin lista a todos"
testlan_run tejo "$CLI" ping --wait 1 PRUEBAS >"$D/p0.out" 2>&1 && fail "ping crossed: $(cat "$D/p0.out")"
testlan_run tejo "$CLI" doctor PARDAL >"$D/d0.out" 2>&1 && fail "doctor PARDAL without a list succeeded"
tail -n 1 "$D/d0.out" | grep -q "^cannot reach PARDAL: it did not answer a ping on the local subnet; if it is on another subnet, list" \
  || fail "doctor without a list: $(cat "$D/d0.out")"

# The router's directed broadcast of the other subnet, GORRION itself and MIRLO (on this subnet):
# every frame reaches GORRION twice and MIRLO twice, and each must be taken once.
testlan_router_directed on || fail "router setting"
testlan_conf tejo "$BASE"$'\nDIFUSION = 10.231.1.255, 10.231.1.12, 10.231.0.12'
out=$(testlan_run tejo "$CLI" ping --wait 1 PRUEBAS) || fail "workgroup ping with the list"
# PARDAL lists nothing: its answer went back to where the ping came from.
[ "$out" = "PARDAL 0.31b" ] || fail "workgroup ping printed [$out]"
out=$(testlan_run tejo "$CLI" query PARDAL) || fail "query PARDAL"
[ "$out" = NO ] || fail "query PARDAL printed [$out]"
# The core's own send: the answer "NO" came back, so the message takes the secure slot (palette
# 4); with the answer lost it would have gone over messenger after the time-out (palette 3),
# where PARDAL holds nothing.
testlan_run tejo "$PEER" --send PARDAL "por la vía segura" --timeout 3 >"$D/tejo.out" 2>&1
testlan_wait_for "$D/pardal.out" $'^line\tTEJO\tPARDAL\tpor la vía segura\t4$' 5 \
  || fail "the core's message did not take the secure slot: $(cat "$D/tejo.out")"
send GORRION "a nombre"
send PRUEBAS "a todos"
send --secure PRUEBAS "a todos seguro"
testlan_run tejo "$CLI" doctor PARDAL >"$D/d1.out" 2>&1 || fail "doctor PARDAL: $(cat "$D/d1.out")"
grep -Pzq "\n  10.231.1.255  through eth0, router 10.231.0.1\n  10.231.1.12  through eth0, router 10.231.0.1\n  10.231.0.12  on the link of eth0\n" "$D/d1.out" &&
  tail -n 1 "$D/d1.out" | grep -q "; PARDAL did not answer on the local subnet but PARDAL from 10.231.1.11 answered" \
  || fail "doctor: $(cat "$D/d1.out")"

# One host listed, and a router that drops directed broadcasts, as most do: only that host is
# reached. A bad entry is named once and the rest still works.
testlan_router_directed off || fail "router setting"
testlan_conf tejo "$BASE"$'\nDIFUSION = 10.231.1.12, diez.231.1.11'
testlan_run tejo "$CLI" send GORRION "solo la máquina" 2>"$D/bad.err" || fail "send with a bad entry"
[ "$(cat "$D/bad.err")" = 'pelmora: DIFUSION in the machine configuration: "diez.231.1.11" is not an IPv4 address; skipped' ] \
  || fail "bad entry: [$(cat "$D/bad.err")]"
send --secure PRUEBAS "sin reenvío"
testlan_run tejo "$CLI" ping --wait 1 PARDAL >"$D/p2.out" 2>&1 && fail "PARDAL answered without a way there"
testlan_run tejo "$CLI" doctor PARDAL >"$D/d2.out" 2>&1 && fail "doctor PARDAL succeeded"
tail -n 1 "$D/d2.out" | grep -q "nor through the listed addresses (10.231.1.12); it could be behind one of them" \
  || fail "doctor verdict: $(tail -n 1 "$D/d2.out")"

# expect HOST TEXT N
expect() {
  local n
  n=$(grep -cE -- $'\t'"$2"$'(\t4)?$' "$D/$1.out")
  [ "$n" = "$3" ] || { cat "$D/$1.out" >&2; fail "$1 got [$2] $n times, expected $3"; }
}
# What must arrive is waited for; then a moment more for a second copy, or for what must not
# arrive, should either come.
arrived() {
  testlan_wait_for "$D/$1.out" $'\t'"$2"$'(\t4)?$' 30 || fail "$1 never got [$2]"
}
for t in "a nombre" "a todos" "a todos seguro" "solo la máquina" "sin reenvío"; do
  arrived gorrion "$t"
done
for t in "sin lista a todos" "a todos" "a todos seguro"; do arrived mirlo "$t"; done
arrived pardal "a todos seguro"
sleep 0.5
for t in "sin lista" "sin lista a todos"; do expect gorrion "$t" 0; expect pardal "$t" 0; done
expect mirlo "sin lista a todos" 1
for t in "a nombre" "a todos" "a todos seguro" "solo la máquina" "sin reenvío"; do
  expect gorrion "$t" 1
done
for t in "a todos" "a todos seguro"; do expect mirlo "$t" 1; done
expect pardal "a todos seguro" 1
expect pardal "sin reenvío" 0
echo ok
