# The one place that starts a private desk: Xvfb, openbox, a tray host and a keyboard that types
# every letter a user types. Sourced by the tests that need a real X display and by
# scripts/try-lan; the end-to-end rig (tests/lan/e2e/lanrig.py) runs it through desk_up.sh. It
# makes the scratch folder and ends the processes it started at exit. The sourcing script
# defines `fail` (what it prints on failure is its own) and may set program_pid, which is ended
# first.
#
#   desk_require TOOL...      exit 77 (skipped) when a tool is missing
#   desk_require_netns        exit 77 (skipped) when no network namespace can be made: the
#                             program broadcasts at start and runs only in one of its own
#   desk_start_xvfb [WxH]     a display nobody else uses (1024x768 unless given); exports DISPLAY
#   desk_start_openbox        the window manager, waited for
#   desk_start_tray [EDGE]    the tray host (trayer) at the top edge or EDGE, waited for
#   desk_add_keys             a key for every letter of DESK_TYPED_LETTERS (on DISPLAY)
#   desk_restore_keys         the keyboard as it was before desk_add_keys
#   desk_start [WxH]          all of the above, with the tray at the bottom edge
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

desk_require_netns() {
  unshare --net true 2>/dev/null && return 0
  echo "SKIP: no network namespace of its own (unshare --net)"
  exit 77
}

# Xvfb picks a display number nobody uses and writes it to the descriptor it is given: a number
# chosen here could be taken meanwhile by another test's server, or hold a stale socket. Without
# -noreset the server resets whenever its last client leaves, and a client connecting just then
# (the tray host, right after a short-lived one) is refused.
desk_start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$work/display" \
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
  # A window manager says it runs through this property of the root window.
  desk_wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  wait_for 300 desk_wm_up || fail "openbox did not come up"
}

desk_start_tray() {
  trayer --edge "${1:-top}" --align right --widthtype request --height 24 --SetDockType true \
    >"$work/trayer.log" 2>&1 &
  pids+=($!)
  desk_tray_up() { xdotool search --class trayer >/dev/null 2>&1; }
  wait_for 100 desk_tray_up || fail "the tray host did not come up"
  sleep 0.5
}

# Letters beyond ASCII that a user types on a Spanish, German or English (British or American)
# keyboard, with dead keys too. The messenger datagram carries them all in code page 850, except
# the euro sign.
DESK_TYPED_LETTERS="áéíóúàèìòùâêîôûäëïöüÿñçßÁÉÍÓÚÀÈÌÒÙÂÊÎÔÛÄËÏÖÜÑÇ¿¡ºª·¬€£§°²³µ´¨¦"

# xdotool types a character the keyboard map lacks by mapping a spare key code for the moment of
# that character; a program that reads the event after the next remapping sees another character,
# or none. Every letter gets a key of its own before the programs start, so it is typed like any
# other key. The keys taken are ones no keyboard of a test has (media and launch keys).
desk_add_keys() {
  local codes=() cps=() lines=() code i cp sym
  xkbcomp -xkb "$DISPLAY" "$work/keymap.xkb" 2>"$work/xkbcomp.log" ||
    fail "cannot read the keyboard map of $DISPLAY: $(cat "$work/xkbcomp.log")"
  for code in $(seq 147 190) $(seq 208 255); do codes+=("$code"); done
  # The code points, as 8 hex digits each.
  read -r -a cps < <(printf '%s' "$DESK_TYPED_LETTERS" | iconv -f UTF-8 -t UTF-32BE |
    od -An -v -tx1 | tr -d ' \n' | fold -w 8 | tr '\n' ' ') || true
  [ "${#cps[@]}" -le "${#codes[@]}" ] || fail "more letters than spare keys"
  for i in "${!cps[@]}"; do
    cp=$((16#${cps[$i]}))
    # Latin-1 keysyms are the code points, the euro sign has its own, the rest are Unicode ones.
    if [ "$cp" -lt 256 ] || [ "$cp" -eq $((0x20AC)) ]; then sym=$cp; else sym=$((0x1000000 | cp)); fi
    lines+=("$(printf '    key <I%d> { [ 0x%x ] };' "${codes[$i]}" "$sym")")
  done
  # The new keys go at the end of the symbols section.
  awk -v keys="$(printf '%s\n' "${lines[@]}")" '
    /^xkb_symbols/ { in_symbols = 1 }
    in_symbols && /^};/ { printf "%s\n", keys; in_symbols = 0 }
    { print }' "$work/keymap.xkb" >"$work/keymap-typed.xkb"
  xkbcomp -w 0 "$work/keymap-typed.xkb" "$DISPLAY" 2>"$work/xkbcomp.log" ||
    fail "cannot set the keyboard map of $DISPLAY: $(cat "$work/xkbcomp.log")"
}

desk_restore_keys() {
  [ -s "$work/keymap.xkb" ] && xkbcomp -w 0 "$work/keymap.xkb" "$DISPLAY" 2>/dev/null
}

desk_start() {
  desk_start_xvfb "${1:-1024x768}"
  desk_start_openbox
  desk_start_tray bottom
  desk_add_keys
}
