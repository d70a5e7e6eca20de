#!/usr/bin/env bash
# What a real click and double-click on the tray icon become, on an X display with a tray host
# (Xvfb, openbox, trayer), checked against the events the component promises:
#   a left click                 DownL Click UpL
#   a left double-click          DownL Click UpL DblClick UpL   (one Click, then DblClick)
#   a triple click               the double-click, then a click
#   a right click                DownR UpR (and the menu, when one is set)
# It also prints what Qt itself reported. Found this way with Qt 6.4 on X11: Qt reports Trigger at
# the first press (not at the release) and DoubleClick alone at the second press, never a second
# Trigger; no release is reported at all.
#
# Usage: tray_events_xvfb_test.sh PROBE_EXECUTABLE. Exits 77 when the display cannot be had.
set -u

probe=${1:?usage: $0 PROBE_EXECUTABLE}
for tool in Xvfb openbox trayer xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null
    wait "${pids[$i]}" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  for log in trayer openbox probe; do
    [ -s "$work/$log.log" ] && { echo "--- $log output"; cat "$work/$log.log"; }
  done
  exit 1
}
wait_for() {
  local tenths=$1
  shift
  for ((n = 0; n < tenths; n++)); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

# Xvfb picks a display number nobody uses and writes it to the descriptor it is given: a number
# chosen here could be taken meanwhile by another test's server, or hold a stale socket. Without
# -noreset the server resets whenever its last client leaves, and a client connecting just then
# (the tray host, right after a short-lived one) is refused.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
display_known() { [ -s "$work/display" ] && grep -q '^[0-9]' "$work/display"; }
if ! wait_for 100 display_known; then
  echo "SKIP: Xvfb could not start"
  cat "$work/xvfb.log"
  exit 77
fi
display=$(head -n 1 "$work/display")
export DISPLAY=":$display" QT_QPA_PLATFORM=xcb
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
  >"$work/trayer.log" 2>&1 &
pids+=($!)
tray_up() { xdotool search --class trayer >/dev/null 2>&1; }
wait_for 100 tray_up || fail "the tray host did not come up"
sleep 0.5

"$probe" >"$work/probe.log" 2>&1 &
probe_pid=$!
pids+=($probe_pid)
ready() { grep -q '^READY' "$work/probe.log"; }
wait_for 100 ready || fail "the probe did not start"
grep -q '^READY tray' "$work/probe.log" || fail "no notification area for the probe"
icon_of() { xdotool search --onlyvisible --pid "$probe_pid" 2>/dev/null | head -n 1; }
icon_there() { [ -n "$(icon_of)" ]; }
wait_for 100 icon_there || fail "no tray icon window"
icon=$(icon_of)
xdotool mousemove --window "$icon" 5 5
sleep 0.3

lines=0
# The lines of one kind ("ev" or "qt") written since the last call of `take`, as one string.
take() {
  sleep 0.8  # longer than the double-click interval: the next action starts a new click
  local all
  all=$(tail -n +$((lines + 1)) "$work/probe.log")
  lines=$(wc -l <"$work/probe.log")
  events=$(echo "$all" | awk '$1 == "ev" {printf "%s%s", sep, $2; sep = " "}')
  reasons=$(echo "$all" | awk '$1 == "qt" {printf "%s%s", sep, $2; sep = " "}')
}
lines=$(wc -l <"$work/probe.log")
expect() {
  local what=$1 want=$2
  echo "$what: Qt reported [$reasons], the component raised [$events]"
  [ "$events" = "$want" ] || fail "$what: expected [$want]"
}

# Press, hold, release: the click is complete whatever Qt reports on the press.
xdotool mousedown 1
sleep 0.4
pressed=$(awk '$1 == "ev"' "$work/probe.log" | wc -l)
xdotool mouseup 1
take
expect "left click held down" "DownL Click UpL"
echo "events raised while the button was still down: $pressed"

xdotool click --repeat 2 --delay 80 1
take
expect "left double-click" "DownL Click UpL DblClick UpL"

xdotool click --repeat 3 --delay 80 1
take
expect "left triple click" "DownL Click UpL DblClick UpL DownL Click UpL"

xdotool click 3
take
expect "right click" "DownR UpR"

echo "PASS: real clicks on the tray icon give the component's events in its order"
exit 0
