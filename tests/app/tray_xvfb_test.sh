#!/usr/bin/env bash
# The program on a real X display with a window manager (openbox) and a tray host (trayer):
# it starts hidden with its tray icon, a left click on the icon shows the window, a double-click
# leaves it shown, the title bar's close hides it again, a message that arrives meanwhile shows a
# desktop notification on a stand-in server whose click brings the window back; then every way
# back (banner double-click, hot key, tray click, "&Restaurar", from the tray, the banner and the
# hidden mode), round after round, leaves the window in front with a first Esc that acts and a
# first tray entry that says what it does; "&Cerrar" in the tray menu, with the banner up, ends
# the process with status 0.
#
# Usage: tray_xvfb_test.sh PELMORA_EXECUTABLE [SCREENSHOT_DIR [PELMORA_CLI]]
# Exits 77 when the display or a network namespace cannot be had. The program runs in a network
# namespace of its own (it broadcasts at start), so its slots meet nobody else's; its machine
# configuration is a file of the test's own, and nothing is ever written to another machine.
set -u

program=${1:?usage: $0 PELMORA_EXECUTABLE [SCREENSHOT_DIR]}
shots=${2:-${PELMORA_SCREENSHOTS:-}}
cli=${3:-}

source "$(dirname "$0")/../support/xvfb_desk.sh"
desk_require Xvfb openbox trayer xdotool

fail() {
  echo "FAIL: $*"
  if [ -s "$work/program.log" ]; then
    echo "--- program output"
    cat "$work/program.log"
  fi
  exit 1
}

desk_start_xvfb
desk_start_openbox
desk_start_tray

# A session bus of the test's own, on a path socket (reachable from the program's network
# namespace), with a stand-in notification server that clicks every notification it gets.
notify_py=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import dbus, gi' 2>/dev/null; then notify_py=$candidate; break; fi
done
if [ -n "$cli" ] && [ -n "$notify_py" ] && command -v dbus-daemon >/dev/null; then
  dbus-daemon --session --nofork --address="unix:path=$work/bus" >"$work/dbus.log" 2>&1 &
  pids+=($!)
  wait_for 100 test -S "$work/bus" || fail "the private session bus did not start"
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
  "$notify_py" "$(dirname "$0")/../widgets/notification_server.py" "$work/notifications" \
    --click-when "$work/click" >"$work/notify.log" 2>&1 &
  pids+=($!)
  wait_for 100 grep -qs ready "$work/notify.log" || fail "the stand-in notification server did not start"
else
  echo "note: no pelmora-cli, dbus-daemon or python3-dbus: notifications are not checked"
  notify_py=
  unset DBUS_SESSION_BUS_ADDRESS
fi

cat >"$work/pelmora.conf" <<EOF
[RED]
GRUPO_TRABAJO = PRUEBAS_XVFB
PUERTO = $((30000 + $$ % 20000))
EOF
export PELMORA_MACHINE_CONF="$work/pelmora.conf"
export QT_QPA_PLATFORM=xcb
# The program reads and writes its settings and lost-messages file here, never in the user's own.
private_files=(XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state")
# An arrival while the window is in the tray shows the banner.
mkdir -p "$work/config/pelmora"
printf '[OPCIONES]\nRESTORE=YES\nPREVIEW=YES\n' >"$work/config/pelmora/pelmora.ini"
# A sanitizer build of the program reports leaks at exit; the system libraries' own are known.
supp="$(cd "$(dirname "$0")/../.." && pwd)/scripts/lsan.supp"
if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$supp" ]; then
  export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi

desk_require_netns
unshare --net env "${private_files[@]}" "$program" >"$work/program.log" 2>&1 &
program_pid=$!
# With unshare the program is the child of the unshare process, which execs it: same pid.

visible_windows() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null; }
main_window_shown() { xdotool search --onlyvisible --name '^Pelmora 0\.31b$' >/dev/null 2>&1; }
main_window_hidden() { ! main_window_shown; }

icon_there() { [ -n "$(visible_windows)" ]; }
wait_for 150 icon_there || fail "no tray icon window of the program"
kill -0 "$program_pid" 2>/dev/null || fail "the program ended at start"
main_window_hidden || fail "the window is shown at start"
icon=$(visible_windows | head -n 1)
echo "tray icon window: $icon"
[ -n "$shots" ] && mkdir -p "$shots" && import -window root "$shots/xvfb_started_in_tray.png" 2>/dev/null

# A left click on the icon brings the window.
xdotool mousemove --window "$icon" 5 5 click 1
wait_for 50 main_window_shown || fail "a left click on the icon did not show the window"
echo "window shown by the tray click"
window=$(xdotool search --onlyvisible --name '^Pelmora 0\.31b$' | head -n 1)
sleep 0.3
[ -n "$shots" ] && import -window root "$shots/xvfb_window_shown.png" 2>/dev/null

# The minimise button sends it to the tray as well; the icon brings it back again.
xdotool windowminimize "$window"
wait_for 50 main_window_hidden || fail "minimising did not hide the window"
xdotool mousemove --window "$icon" 5 5 click 1
wait_for 50 main_window_shown || fail "a click on the icon did not bring the minimised window"
echo "window minimised to the tray and brought back"
window=$(xdotool search --onlyvisible --name '^Pelmora 0\.31b$' | head -n 1)

# A real double-click on the icon (Qt reports it as Trigger, then DoubleClick) is one click and
# a double click: the shown window stays shown, and the program runs on.
xdotool mousemove --window "$icon" 5 5 click --repeat 2 --delay 80 1
sleep 0.5
main_window_shown || fail "a double-click on the icon hid the window"
kill -0 "$program_pid" 2>/dev/null || fail "a double-click on the icon ended the program"
echo "a double-click on the icon leaves the window shown"
window=$(xdotool search --onlyvisible --name '^Pelmora 0\.31b$' | head -n 1)

# The title bar's close (the window manager's close request) only hides it.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
sleep 0.2
xdotool key --clearmodifiers alt+F4
wait_for 50 main_window_hidden || fail "closing the window did not hide it"
kill -0 "$program_pid" 2>/dev/null || fail "closing the window ended the program"
echo "window hidden by the close request"

own=$(hostname | cut -d. -f1 | tr '[:lower:]' '[:upper:]' | cut -c1-15)
own_netns() { [ "$(readlink /proc/$program_pid/ns/net 2>/dev/null)" != "$(readlink /proc/self/ns/net)" ]; }
wait_for 50 own_netns || fail "the program has no network namespace of its own"
run_here=(nsenter --net="/proc/$program_pid/ns/net")

# A message while the window is in the tray: one notification, and its click shows the window.
if [ -n "$notify_py" ]; then
  "${run_here[@]}" "$cli" send --from MIRLO "$own" '<b>hola</b> & adiós' ||
    fail "pelmora-cli could not send to the program"
  notified() { [ -s "$work/notifications" ]; }
  wait_for 100 notified || fail "no notification reached the stand-in server"
  grep -q '"summary": "MIRLO"' "$work/notifications" || fail "summary: $(cat "$work/notifications")"
  grep -qF '"body": "&lt;b&gt;hola&lt;/b&gt; &amp; adiós"' "$work/notifications" ||
    fail "body not escaped: $(cat "$work/notifications")"
  grep -qF '"desktop-entry": "pelmora"' "$work/notifications" || fail "no desktop-entry hint"
  # The arrival itself brings up the banner (RESTORE=YES, PREVIEW=YES above), never the window:
  # only the notification's click may show that.
  banner_up() {
    local w
    for w in $(visible_windows); do
      xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 73x17' && return 0
    done
    return 1
  }
  wait_for 100 banner_up || fail "the arrival did not bring up the banner"
  main_window_hidden || fail "the arrival showed the window instead of the banner"
  touch "$work/click"
  wait_for 50 main_window_shown || fail "the notification's click did not show the window"
  echo "notification shown and its click brought the window"
  [ "$(wc -l <"$work/notifications")" -eq 1 ] || fail "more than one notification"
  window=$(xdotool search --onlyvisible --name '^Pelmora 0\.31b$' | head -n 1)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  sleep 0.2
  xdotool key --clearmodifiers alt+F4
  wait_for 50 main_window_hidden || fail "closing the window again did not hide it"
fi

# Every way back from the tray, the banner and the hidden mode, each round after round: the
# window comes back in front, the first Esc on it sends it away (whatever became of the release of
# the Esc before), and the tray menu's first entry says what it does ("&Minimizar" while the
# window shows: its mnemonic m hides it; "&Restaurar" while it is away: r brings it back).
if [ -n "$cli" ]; then
  rm -f "$work/click"  # notifications of the arrivals below stay unclicked
  main_id() { xdotool search --onlyvisible --name '^Pelmora 0\.31b$' 2>/dev/null | head -n 1; }
  banner_id() {
    local w
    for w in $(visible_windows); do
      xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 73x17' && echo "$w" && return 0
    done
    return 1
  }
  banner_shown() { [ -n "$(banner_id)" ]; }
  banner_gone() { ! banner_shown; }
  main_active() { [ -n "$(main_id)" ] && [ "$(xdotool getactivewindow 2>/dev/null)" = "$(main_id)" ]; }
  banner_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$(banner_id)" ]; }
  sent=0
  to_banner() {  # from the tray: a message starts the banner
    sent=$((sent + 1))
    "${run_here[@]}" "$cli" send --from MIRLO "$own" "mensaje $sent" || fail "pelmora-cli could not send"
    wait_for 100 banner_shown || fail "$1: no banner for the message"
    main_window_hidden || fail "$1: the banner and the window show together"
  }
  to_hidden() {  # Esc in the banner: everything goes to the tray
    to_banner "$1"
    xdotool mousemove --window "$(banner_id)" 30 8 click 1
    wait_for 50 banner_active || fail "$1: a click did not give the banner the keyboard"
    xdotool key Escape
    wait_for 50 banner_gone || fail "$1: Esc in the banner left it shown"
    main_window_hidden || fail "$1: Esc in the banner showed the window"
  }
  # Two presses on the icon within the double-click time are a double click, which never brings
  # the window: each press waits until 0.5 s after the one before.
  last_press=0
  icon_press() {
    local wait_ms=$((last_press + 500 - $(date +%s%3N)))
    [ "$wait_ms" -gt 0 ] && sleep "$(printf '0.%03d' "$wait_ms")"
    xdotool mousemove --window "$icon" 5 5 click "$1"
    last_press=$(date +%s%3N)
  }
  icon_click() { icon_press 1; }
  banner_double_click() { xdotool mousemove --window "$(banner_id)" 30 8 click --repeat 2 --delay 80 1; }
  hot_key() { xdotool key --clearmodifiers ctrl+alt+n; }
  back() {  # the window is back: shown, in front, no banner
    wait_for 50 main_window_shown || fail "$1: the window did not come back"
    wait_for 50 main_active || fail "$1: the window came back behind another"
    banner_gone || fail "$1: the banner stayed with the window"
  }
  esc_sends_away() {
    xdotool key Escape
    wait_for 30 main_window_hidden || fail "$1: the first Esc on the window was ignored"
  }
  menu_entry() {  # opens the tray menu, types the first entry's mnemonic, waits for it to close
    local before
    before=$(visible_windows | sort)
    icon_press 3
    menu_id() { comm -13 <(echo "$before") <(visible_windows | sort) | head -n 1; }
    menu_up() { [ -n "$(menu_id)" ]; }
    wait_for 150 menu_up || fail "$2: the right button did not open the tray menu"
    local menu
    menu=$(menu_id)
    sleep 0.2  # the popup takes the keyboard once it is mapped; nothing to wait on from here
    xdotool key "$1"
    # A click on the icon while the menu still holds the pointer would only close the menu.
    menu_closed() { ! visible_windows | grep -qx "$menu"; }
    wait_for 50 menu_closed || fail "$2: the tray menu stayed open after its entry"
  }
  entry_minimises() {
    menu_entry m "$1"
    wait_for 30 main_window_hidden || fail "$1: the first tray entry did not read and do \"&Minimizar\""
  }
  way() {  # way NAME BRING [FROM]: FROM puts the window away (tray by default), BRING brings it
    local name=$1 bring=$2 from=${3:-}
    [ -n "$from" ] && $from "$name"
    $bring
    back "$name"
    esc_sends_away "$name (round $round)"
    [ -n "$from" ] && $from "$name"
    $bring
    back "$name"
    entry_minimises "$name (round $round)"
  }
  for round in 1 2 3; do
    way "banner double-click" banner_double_click to_banner
    way "hot key from the banner" hot_key to_banner
    way "tray click from the banner" icon_click to_banner
    way "hot key from the tray" hot_key
    way "tray click from the tray" icon_click
    way "tray click from the hidden mode" icon_click to_hidden
    way "hot key from the hidden mode" hot_key to_hidden
    # "&Restaurar" after Esc in the banner brings the window back.
    way "\"&Restaurar\" from the hidden mode" "menu_entry r restaurar" to_hidden
    way "\"&Restaurar\" from the tray" "menu_entry r restaurar"
  done
  echo "every way back, $round rounds: the window in front, the first Esc acts, the entry says what it does"
  [ -n "$shots" ] && import -window root "$shots/xvfb_after_ways_back.png" 2>/dev/null

  # "&Cerrar" while the banner shows ends the program at once.
  to_banner "Cerrar with the banner"
fi

# "&Cerrar" in the tray menu ends the program.
visible_windows | grep -qx "$icon" || fail "the tray icon is gone"
shown_before=$(visible_windows | wc -l)
xdotool mousemove --window "$icon" 5 5 click 3
menu_open() { [ "$(visible_windows | wc -l)" -gt "$shown_before" ]; }
wait_for 50 menu_open || fail "the right button did not open the tray menu"
sleep 0.3
[ -n "$shots" ] && import -window root "$shots/xvfb_tray_menu.png" 2>/dev/null
closing=$(date +%s%N)
xdotool key c
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
wait_for 100 ended || fail "\"&Cerrar\" did not end the program"
echo "\"&Cerrar\" to the end of the process: $((($(date +%s%N) - closing) / 1000000)) ms"
wait "$program_pid"
status=$?
program_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS: tray start, click, close to tray and \"&Cerrar\" with status 0"
exit 0
