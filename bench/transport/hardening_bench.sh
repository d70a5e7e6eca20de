#!/usr/bin/env bash
# Figures of the hardened transport on a test LAN (root; never run by ctest):
#   1. datagrams per second into one slot whose reader sleeps 3 s, from another host, and
#      whether every one of them arrived, in order;
#   2. a workgroup ping answered by 250 copies at once (cli_core_peer, the messaging core on the
#      real endpoints, one per host): how many are listed;
#   3. the cost of 20,000 garbage frames among 1,000 valid ones: the receiving process's CPU time
#      with and without them, and whether every valid one arrived.
#
#   bench/transport/hardening_bench.sh BUILD_DIR [COPIES]
#
# BUILD_DIR must hold slot_probe, cli_core_peer and pelmora-cli (a build with the tests on; use a
# Release build for figures that mean something), e.g.
#   cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPELMORA_GUI=OFF
#   cmake --build build-bench --target slot_probe cli_core_peer pelmora-cli stall_bench
set -u
BUILD=$(cd "$1" && pwd)
COPIES=${2:-250}
PROBE=$BUILD/tests/lan/slot_probe
PEER=$BUILD/tests/lan/cli/cli_core_peer
CLI=$BUILD/tools/cli/pelmora-cli
for f in "$PROBE" "$PEER" "$CLI"; do [ -x "$f" ] || { echo "missing $f" >&2; exit 2; }; done
# Parts 1 and 3 run on a LAN of two hosts, part 2 on one of COPIES + 1: every broadcast is
# copied to every host of the LAN, and on one kernel that cost would weigh on the other figures.
case "${3:-}" in
  '')
    bash "$0" "$1" "$COPIES" --two-hosts || exit 1
    exec bash "$0" "$1" "$COPIES" --copies
    ;;
  --copies) export TESTLAN_WIDE=1 ;;
esac
source "$(dirname "$0")/../../tests/lan/testlan.sh"
testlan_require
D=$TESTLAN_DIR
ms() { date +%s%3N; }

if [ "$3" = --two-hosts ]; then
  testlan_create tejo mirlo || { echo "cannot build the test LAN" >&2; exit 1; }
  echo "== 1. a slot whose reader sleeps 3 s"
  N=50000
  testlan_spawn mirlo "$D/stall.out" "$PROBE" hold --count $N --timeout-ms 120000 --stall-ms 3000 seguro
  testlan_wait_for "$D/stall.out" READY || exit 1
  testlan_run tejo "$PROBE" flood MIRLO seguro $N
  wait "$TESTLAN_PID"
  got=$(grep -c '^GOT seguro' "$D/stall.out")
  order=ok
  [ "$(grep '^GOT seguro' "$D/stall.out" | awk '{print $4}')" = "$(seq -f '%06g' 0 $((N - 1)))" ] || order=BROKEN
  echo "arrived $got of $N, order $order, $(grep '^DROPPED' "$D/stall.out")"

  echo "== 3. 20,000 garbage frames among 1,000 valid ones"
  for garbage in 0 20; do
    testlan_spawn mirlo "$D/g$garbage.out" /usr/bin/time -f 'CPU user %U s, system %S s' \
      "$PROBE" hold --count 1000 --timeout-ms 60000 seguro
    testlan_wait_for "$D/g$garbage.out" READY || exit 1
    start=$(ms)
    testlan_run tejo "$PROBE" flood MIRLO seguro 1000 --garbage-per $garbage "$TESTLAN_BROADCAST" 13138
    wait "$TESTLAN_PID"
    echo "garbage per valid frame $garbage: $(grep -c '^GOT seguro' "$D/g$garbage.out") of 1000 arrived," \
      "$(( $(ms) - start )) ms; receiver $(grep '^CPU' "$D/g$garbage.out")"
  done
  exit 0
fi

hosts=(tejo)
for i in $(seq 1 "$COPIES"); do hosts+=("c$i"); done
testlan_create "${hosts[@]}" || { echo "cannot build the test LAN" >&2; exit 1; }
echo "== 2. a workgroup ping answered by $COPIES copies"
start=$(ms)
for i in $(seq 1 "$COPIES"); do
  testlan_spawn "c$i" "$D/c$i.out" "$PEER" --timeout 600
done
for i in $(seq 1 "$COPIES"); do testlan_wait_for "$D/c$i.out" '^ready' 120 || exit 1; done
echo "$COPIES copies ready in $(( $(ms) - start )) ms"
for attempt in 1 2 3; do
  start=$(ms)
  testlan_run tejo "$CLI" ping --wait 3 PRUEBAS >"$D/ping.out"
  echo "ping $attempt: $(grep -c . "$D/ping.out") of $COPIES copies listed" \
    "($(sort -u "$D/ping.out" | grep -c .) distinct), waited $(( $(ms) - start )) ms"
done
