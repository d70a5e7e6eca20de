#!/usr/bin/env bash
# Runs transport_bench on a test LAN of two machines (root needed):
#   bench/transport/lan_bench.sh BUILD_DIR/bench/transport/transport_bench [benchmark options]
set -u
BENCH=$1
shift
source "$(dirname "$0")/../../tests/lan/testlan.sh"
testlan_require
testlan_create tejo mirlo || exit 1
testlan_spawn mirlo "$TESTLAN_DIR/echo.out" "$BENCH" --echo TEJO
testlan_wait_for "$TESTLAN_DIR/echo.out" READY || exit 1
PELMORA_BENCH_PEER=MIRLO testlan_run tejo env PELMORA_BENCH_PEER=MIRLO "$BENCH" "$@"
