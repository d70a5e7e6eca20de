#!/usr/bin/env bash
# Windows and Linux machines on one LAN: pelmora-cli.exe and the messaging core built for
# Windows run under Wine on TEJO; MIRLO runs the core (as Pelmora), GORRION a Linux listener,
# PARDAL the Linux pelmora-cli. Messages, pings and channel queries go both ways, and an
# accented text and an accented workgroup ("OFICIÑA", in the OEM code page on the wire) arrive
# intact. Skipped (77) without root, namespaces, Wine or the Windows build (scripts/test-windows).
#   cli_windows.sh PELMORA_CLI CLI_CORE_PEER [WINDOWS_BUILD_DIR]
set -u
CLI=$1
PEER=$2
HERE=$(cd "$(dirname "$0")" && pwd)
WINBUILD=${3:-$HERE/../../../build-win64}
WINCLI=$WINBUILD/tools/cli/pelmora-cli.exe
WINPEER=$WINBUILD/tests/windows/cli_core_peer.exe
if [ ! -f "$WINCLI" ] || [ ! -f "$WINPEER" ] || [ ! -f "$WINBUILD/wineprefix/system.reg" ] ||
  ! command -v wine >/dev/null; then
  echo "skipped: no Windows build with its Wine prefix in $WINBUILD (scripts/test-windows)" >&2
  exit 77
fi
source "$HERE/../testlan.sh"
testlan_require
testlan_create tejo mirlo gorrion pardal || { echo "cannot build the test LAN" >&2; exit 1; }

# TEJO's wineserver outlives the wine commands and holds the output they gave it (the test's
# own, for the first one): ended before the test ends, or ctest would wait for it.
end_wine() { [ -n "${WINEPREFIX:-}" ] && testlan_run tejo wineserver -k >/dev/null 2>&1; true; }
fail() { echo "FAIL: $*" >&2; end_wine; exit 1; }
D=$TESTLAN_DIR
for h in tejo mirlo gorrion pardal; do
  testlan_conf "$h" $'[RED]\nGRUPO_TRABAJO = OFICIÑA\nPUERTO = 13138\nOEM = 850'
done

# TEJO's own Wine prefix: a new folder, so its wineserver (which makes the sockets) starts inside
# TEJO's namespace, and the teardown ends it with everything else there. Hard links make the copy
# cheap; Wine replaces its registry files rather than writing into them.
cp -al "$WINBUILD/wineprefix" "$D/wine-tejo" || fail "cannot copy the Wine prefix"
# Headless Wine; the arguments are UTF-8 for Wine to hand over as Unicode.
export WINEPREFIX="$D/wine-tejo" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
# Windows ends its lines with CR LF.
run_tejo() { testlan_run tejo wine "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

# ---- Windows to Linux ----------------------------------------------------------------------
testlan_spawn mirlo "$D/mirlo.out" "$PEER" --timeout 90
testlan_wait_for "$D/mirlo.out" '^ready' 10 || fail "mirlo peer"
testlan_spawn gorrion "$D/gorrion.out" "$CLI" listen --count 2 --timeout 90
GORRION=$TESTLAN_PID
testlan_wait_for "$D/gorrion.out" 'listening' 10 || fail "listen on gorrion"

out=$(run_tejo "$WINCLI" doctor) || fail "doctor on tejo: [$out]"
grep -q '^machine name:  TEJO ' <<<"$out" || fail "tejo's name under Wine: [$out]"
grep -q '^workgroup:     OFICIÑA ' <<<"$out" || fail "tejo's workgroup: [$out]"

run_tejo "$WINCLI" send GORRION "camión en la puerta: año 2026" || fail "send from tejo to gorrion"
run_tejo "$WINCLI" send --secure MIRLO "cañería rota" || fail "secure send from tejo to mirlo"
run_tejo "$WINCLI" send "OFICIÑA" "reunión a las 5" || fail "workgroup send from tejo"
out=$(run_tejo "$WINCLI" ping --wait 2 MIRLO) || fail "ping from tejo: status $?"
[ "$out" = "MIRLO 0.31b" ] || fail "ping from tejo printed [$out]"
out=$(run_tejo "$WINCLI" ping --wait 2 "OFICIÑA") || fail "workgroup ping from tejo: status $?"
[ "$out" = "MIRLO 0.31b" ] || fail "workgroup ping from tejo printed [$out]"
out=$(run_tejo "$WINCLI" query --wait 2 MIRLO) || fail "query from tejo: status $?"
[ "$out" = "YES" ] || fail "query from tejo printed [$out]"

wait "$GORRION" || fail "gorrion listener: [$(cat "$D/gorrion.out")]"
grep -qx $'messenger\tTEJO\tGORRION\tcamión en la puerta: año 2026' "$D/gorrion.out" ||
  fail "tejo to gorrion: [$(cat "$D/gorrion.out")]"
grep -qx $'messenger\tTEJO\tOFICIÑA\treunión a las 5' "$D/gorrion.out" ||
  fail "tejo to the workgroup, at gorrion: [$(cat "$D/gorrion.out")]"
testlan_wait_for "$D/mirlo.out" $'^line\tTEJO\tMIRLO\tcañería rota\t4$' 5 || fail "secure to mirlo"
testlan_wait_for "$D/mirlo.out" $'^line\tTEJO\tOFICIÑA\treunión a las 5\t3$' 5 ||
  fail "workgroup to mirlo"

# ---- Linux to Windows ----------------------------------------------------------------------
testlan_spawn tejo "$D/tejo.out" wine "$WINCLI" listen --utils --count 2 --timeout 60
TEJO=$TESTLAN_PID
testlan_wait_for "$D/tejo.out" 'listening' 30 || fail "listen on tejo"
# The listener answers channel queries while it holds the messenger slot (before its two
# messages end it).
out=$(testlan_run pardal "$CLI" query --wait 5 TEJO) || fail "query of tejo: status $?"
[ "$out" = "YES" ] || fail "query of tejo printed [$out]"
testlan_run pardal "$CLI" send TEJO "pingüino ñandú" || fail "send from pardal to tejo"
testlan_run pardal "$CLI" send "OFICIÑA" "¿quién cierra?" || fail "workgroup send from pardal"
wait "$TEJO" || fail "tejo listener: [$(cat "$D/tejo.out")]"
tr -d '\r' <"$D/tejo.out" >"$D/tejo.lines"
grep -qx $'messenger\tPARDAL\tTEJO\tpingüino ñandú' "$D/tejo.lines" ||
  fail "pardal to tejo: [$(cat "$D/tejo.lines")]"
grep -qx $'messenger\tPARDAL\tOFICIÑA\t¿quién cierra?' "$D/tejo.lines" ||
  fail "pardal to the workgroup, at tejo: [$(cat "$D/tejo.lines")]"

# The core on Windows answers pings from Linux, by name and by workgroup.
testlan_spawn tejo "$D/tejo-peer.out" wine "$WINPEER" --timeout 60
testlan_wait_for "$D/tejo-peer.out" '^ready' 30 || fail "core on tejo"
out=$(testlan_run pardal "$CLI" ping --wait 5 TEJO) || fail "ping of tejo: status $?"
[ "$out" = "TEJO 0.31b" ] || fail "ping of tejo printed [$out]"
out=$(testlan_run pardal "$CLI" ping --wait 5 "OFICIÑA" | sort | tr '\n' ' ') ||
  fail "workgroup ping from pardal"
[ "$out" = "MIRLO 0.31b TEJO 0.31b " ] || fail "workgroup ping from pardal printed [$out]"
end_wine
echo "ok"
