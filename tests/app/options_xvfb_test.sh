#!/usr/bin/env bash
# The options dialog of the real program on a real X display with a window manager (openbox) and
# a tray host (trayer): Alt+O on the window opens it with its client area of 337 x 377, Esc and
# Enter leave it open, a click on the tray icon keeps it in front, and "&Cerrar" in the tray menu
# (reachable while the dialog is open) cancels it and ends the process with status 0.
#
# Usage: options_xvfb_test.sh PELMORA_EXECUTABLE [SCREENSHOT_DIR]
# Exits 77 when the display or a network namespace cannot be had. The program runs in a network
# namespace of its own (it broadcasts at start), so its slots meet nobody else's; its machine
# configuration is a file of the test's own, and nothing is ever written to another machine.
set -u

program=${1:?usage: $0 PELMORA_EXECUTABLE [SCREENSHOT_DIR]}
shots=${2:-${PELMORA_SCREENSHOTS:-}}

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

cat >"$work/pelmora.conf" <<EOF
[RED]
GRUPO_TRABAJO = PRUEBAS_OPC
PUERTO = $((30000 + $$ % 20000))
EOF
export PELMORA_MACHINE_CONF="$work/pelmora.conf"
export QT_QPA_PLATFORM=xcb
export XDG_CONFIG_HOME="$work/config"
# A sanitizer build of the program reports leaks at exit; the system libraries' own are known.
supp="$(cd "$(dirname "$0")/../.." && pwd)/scripts/lsan.supp"
if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$supp" ]; then
  export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi

desk_require_netns
unshare --net "$program" >"$work/program.log" 2>&1 &
program_pid=$!
# With unshare the program is the child of the unshare process, which execs it: same pid.

visible_windows() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null; }
main_window_shown() { xdotool search --onlyvisible --name '^Pelmora 0\.31b$' >/dev/null 2>&1; }
dialog() { xdotool search --onlyvisible --name '^Opciones' 2>/dev/null | head -n 1; }
dialog_shown() { [ -n "$(dialog)" ]; }

icon_there() { [ -n "$(visible_windows)" ]; }
wait_for 150 icon_there || fail "no tray icon window of the program"
icon=$(visible_windows | head -n 1)
xdotool mousemove --window "$icon" 5 5 click 1
wait_for 50 main_window_shown || fail "a left click on the icon did not show the window"
window=$(xdotool search --onlyvisible --name '^Pelmora 0\.31b$' | head -n 1)
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
window_active() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ]; }
wait_for 50 window_active || fail "the main window did not become active"

xdotool key alt+o
wait_for 50 dialog_shown || fail "Alt+O did not open the options dialog"
dlg=$(dialog)
size=$(xdotool getwindowgeometry "$dlg" | sed -n 's/.*Geometry: //p')
[ "$size" = "337x377" ] || fail "the dialog's client area is $size, not 337x377"
echo "options dialog open, $size"
[ -n "$shots" ] && mkdir -p "$shots" && import -window root "$shots/xvfb_options_open.png" 2>/dev/null

xdotool windowactivate --sync "$dlg" 2>/dev/null || xdotool windowfocus "$dlg"
xdotool key Escape
sleep 0.3
xdotool key Return
sleep 0.3
dialog_shown || fail "Esc or Enter closed the dialog"
echo "Esc and Enter leave it open"

xdotool mousemove --window "$icon" 5 5 click 1
dialog_in_front() { dialog_shown && [ "$(xdotool getactivewindow 2>/dev/null)" = "$dlg" ]; }
wait_for 50 dialog_in_front || fail "after the tray click the dialog is not shown in front"
echo "the tray click keeps the dialog in front"

xdotool mousemove --window "$icon" 5 5 click 3
menu_open() { [ "$(visible_windows | wc -l)" -ge 4 ]; }
wait_for 50 menu_open || fail "the right button did not open the tray menu while the dialog is open"
sleep 0.3
[ -n "$shots" ] && import -window root "$shots/xvfb_options_tray_menu.png" 2>/dev/null
xdotool key c
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
wait_for 100 ended || fail "\"&Cerrar\" did not end the program while the dialog was open"
wait "$program_pid"
status=$?
program_pid=
[ "$status" -eq 0 ] || fail "the program ended with status $status"
echo "PASS: options dialog opened, Esc ignored, tray click, \"&Cerrar\" with the dialog open, status 0"
exit 0
