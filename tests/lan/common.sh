# Helpers shared by the LAN tests (sourced after testlan.sh); PROBE is the slot_probe program.

# hold HOST NAME SLOT...: starts a probe holding the slots, output in $TESTLAN_DIR/NAME.out,
# and waits until it is ready.
hold() {
  local host=$1 name=$2
  shift 2
  testlan_spawn "$host" "$TESTLAN_DIR/$name.out" "$PROBE" hold --timeout-ms 20000 "$@"
  eval "PID_$name=$TESTLAN_PID"
  testlan_wait_for "$TESTLAN_DIR/$name.out" '^(READY|ERROR)' || exit 1
}

# write HOST SERVER SLOT TEXT: must report true.
write() {
  local out
  out=$(testlan_run "$1" "$PROBE" write "$2" "$3" "$4")
  if [ "$out" != true ]; then
    echo "FAIL: write on $1 to $2/$3 '$4' gave '$out'"
    FAIL=1
  fi
}

# count NAME PATTERN: how many lines of NAME's output match.
count() { grep -Ec -- "$2" "$TESTLAN_DIR/$1.out"; }

# expect_count NAME PATTERN N WHAT: a count above zero is waited for (up to 20 s), so that a
# datagram still on its way on a loaded machine is not taken for a lost one; one copy too many,
# or any of what must not arrive, shows only after a `settle`.
expect_count() {
  local n tries=0
  n=$(count "$1" "$2")
  while [ "${n:-0}" -lt "$3" ] && [ "$tries" -lt 400 ]; do
    sleep 0.05
    tries=$((tries + 1))
    n=$(count "$1" "$2")
  done
  if [ "$n" != "$3" ]; then
    echo "FAIL: $4: $1 received /$2/ $n times, expected $3"
    sed 's/^/  | /' "$TESTLAN_DIR/$1.out"
    FAIL=1
  fi
}

# The time a datagram that must not arrive, or a second copy, would need to show: what must
# arrive is waited for by expect_count.
settle() { sleep "${1:-0.5}"; }

FAIL=0

# finish: fails when a sanitizer reported anything in a probe's output, then exits with the
# result of the test.
finish() {
  local f
  for f in "$TESTLAN_DIR"/*.out; do
    if grep -Eq "Sanitizer|runtime error" "$f" 2>/dev/null; then
      echo "FAIL: sanitizer report in $(basename "$f"):"
      sed 's/^/  | /' "$f"
      FAIL=1
    fi
  done
  exit $FAIL
}
