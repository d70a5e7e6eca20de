#!/usr/bin/env bash
# The real program read through the accessibility bus (AT-SPI), as a screen reader reads it:
# Xvfb with a tray host, a session bus of the test's own, at-spi2-core's bus launcher, and
# a11y_check.py, which also reads and works the tray icon's menu.
#
# Usage: a11y_xvfb_test.sh PELMORA_EXECUTABLE PELMORA_CLI
# Exits 77 when the display, the bus launcher or python3-pyatspi cannot be had.
set -u
program=${1:?usage: $0 PELMORA_EXECUTABLE PELMORA_CLI}
cli=${2:?usage: $0 PELMORA_EXECUTABLE PELMORA_CLI}
here=$(cd "$(dirname "$0")" && pwd)
launcher=
for l in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$l" ] && launcher=$l && break
done
py=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then py=$candidate; break; fi
done
source "$here/../support/xvfb_desk.sh"
desk_require Xvfb openbox dbus-daemon dbus-send trayer xdotool
[ -n "$launcher" ] || { echo "SKIP: at-spi2-core's bus launcher is not installed"; exit 77; }
[ -n "$py" ] || { echo "SKIP: python3-pyatspi is not installed"; exit 77; }

desk_start_xvfb
desk_start_openbox
desk_start_tray
# A path socket, so that the program in its own network namespace reaches the bus.
dbus-daemon --session --nofork --address="unix:path=$work/bus" >"$work/dbus.log" 2>&1 &
pids+=($!)
wait_for 100 test -S "$work/bus" || { echo "FAIL: the session bus did not start"; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
"$launcher" --launch-immediately >"$work/atspi.log" 2>&1 &
pids+=($!)
# The accessibility bus is up once the launcher gives out its address.
a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    2>/dev/null | grep -q 'string "unix:'
}
wait_for 100 a11y_bus_up || { echo "FAIL: the accessibility bus did not start"; cat "$work/atspi.log"; exit 1; }

cat >"$work/pelmora.conf" <<CONF
[RED]
GRUPO_TRABAJO = PRUEBAS_A11Y
PUERTO = $((30000 + ($$ + 7) % 20000))
CONF
export PELMORA_MACHINE_CONF="$work/pelmora.conf" XDG_CONFIG_HOME="$work/config"
export XDG_STATE_HOME="$work/state" QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
supp="$here/../../scripts/lsan.supp"
if [ -z "${LSAN_OPTIONS:-}" ] && [ -f "$supp" ]; then
  export LSAN_OPTIONS="suppressions=$supp:print_suppressions=0"
fi
# Its own network namespace keeps its slots apart.
desk_require_netns
unshare --net "$program" >"$work/program.log" 2>&1 &
program_pid=$!
wait_for 50 test "$(readlink /proc/$program_pid/ns/net 2>/dev/null)" != "$(readlink /proc/self/ns/net)"
run_here=(nsenter --net="/proc/$program_pid/ns/net")
pids+=("$program_pid")
# The window starts in the tray: a click on the icon brings it; the check opens the icon's menu.
program_windows() { xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null; }
wait_for 150 program_windows >/dev/null || { echo "FAIL: no tray icon of the program"; cat "$work/program.log"; exit 1; }
icon=$(program_windows | head -n 1)
xdotool mousemove --window "$icon" 5 5 click 1
export A11Y_TRAY_MENU="xdotool mousemove --window $icon 5 5 click 3"
own=$(hostname | cut -d. -f1 | tr '[:lower:]' '[:upper:]' | cut -c1-15)
"$py" "$here/a11y_check.py" "$program_pid" \
  "${run_here[@]}" "$cli" send --from MIRLO "$own" "hola desde el bus"
status=$?
if [ "$status" -ne 0 ]; then
  echo "--- program output"
  cat "$work/program.log"
fi
exit "$status"
