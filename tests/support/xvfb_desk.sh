# Sourced by the tests that need a real X display: a private Xvfb, openbox and a tray host, the
# scratch folder and the processes to end at exit. The sourcing script defines `fail` (what it
# prints on failure is its own) and may set program_pid, which is ended first.
#
#   desk_require TOOL...   exit 77 (skipped) when a tool is missing
#   desk_start_xvfb        a display nobody else uses; exports DISPLAY
#   desk_start_openbox     the window manager
#   desk_start_tray        the tray host (trayer), waited for
#   wait_for TENTHS CMD... waits up to TENTHS tenths of a second for CMD to succeed

work=$(mktemp -d)
pids=()
program_pid=
desk_cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null
  fi
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null
    wait "${pids[$i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap desk_cleanup EXIT

wait_for() {
  local tenths=$1
  shift
  for ((n = 0; n < tenths; n++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

desk_require() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# Xvfb picks a display number nobody uses and writes it to the descriptor it is given: a number
# chosen here could be taken meanwhile by another test's server, or hold a stale socket. Without
# -noreset the server resets whenever its last client leaves, and a client connecting just then
# (the tray host, right after a short-lived one) is refused.
desk_start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  desk_display_known() { [ -s "$work/display" ] && grep -q '^[0-9]' "$work/display"; }
  if ! wait_for 100 desk_display_known; then
    echo "SKIP: Xvfb could not start"
    cat "$work/xvfb.log"
    exit 77
  fi
  export DISPLAY=":$(head -n 1 "$work/display")"
}

desk_start_openbox() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
}

desk_start_tray() {
  trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
    >"$work/trayer.log" 2>&1 &
  pids+=($!)
  desk_tray_up() { xdotool search --class trayer >/dev/null 2>&1; }
  wait_for 100 desk_tray_up || fail "the tray host did not come up"
  sleep 0.5
}
