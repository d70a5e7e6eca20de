#!/usr/bin/env bash
# scripts/try-lan as a newcomer runs it, on its private Xvfb, with the programs of this build: its
# own `say` types a text with every letter beyond ASCII of a Spanish, German or English keyboard
# into TEJO's window, and what reaches SAUCE's listener must be that text, letter for letter (the
# euro sign, which the messenger's code page lacks, as "?").
#
#   try_lan_say_test.sh BUILD_DIR
set -u
build=$1
here=$(cd "$(dirname "$0")" && pwd)
fail() {
  echo "FAIL: $*"
  echo "--- what try-lan printed:"
  cat "$work/out"
  exit 1
}
# shellcheck source=../support/xvfb_desk.sh
source "$here/../support/xvfb_desk.sh"
[ "$(id -u)" -eq 0 ] || { echo "SKIP: try-lan needs root for its network namespaces"; exit 77; }
desk_require Xvfb openbox trayer xdotool xprop xkbcomp iconv ip unshare

mkfifo "$work/in"
PELMORA_TRY_LAN_BUILD=$build "$here/../../scripts/try-lan" --xvfb <"$work/in" >"$work/out" 2>&1 &
pids+=($!)
trylan=$!
exec 3>"$work/in"

said() { grep -qF -- "$1" "$work/out"; }
alive() { kill -0 "$trylan" 2>/dev/null; }
ready() { said "Commands here:" || ! alive; }
wait_for 1200 ready
alive || fail "try-lan ended at start"
said "Commands here:" || fail "try-lan did not come up"

text="¿Qué tal, máquina? ¡Ñandú! Grüße, Çà: $DESK_TYPED_LETTERS 5 €"
# What the messenger datagram (code page 850) brings: everything but the euro sign.
expected="messenger	TEJO	SAUCE	${text//€/?}"

# The host as a user may type it, in lower case.
echo "say tejo SAUCE $text" >&3
arrived() { grep -qxF -- "  sauce| $expected" "$work/out"; }
wait_for 600 arrived || fail "SAUCE did not get the text as typed; expected: $expected"
# The machines' names are the README's, upper case, on every host.
grep -q "^  sauce| messenger	TEJO	" "$work/out" || fail "TEJO's machine name"

echo quit >&3
exec 3>&-
ended() { ! alive; }
wait_for 600 ended || fail "try-lan did not end at quit"
wait "$trylan"
status=$?
[ "$status" -eq 0 ] || fail "try-lan ended with status $status"
said "the test LAN is gone." || fail "try-lan did not take its test LAN down"
echo ok
