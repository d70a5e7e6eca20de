#!/usr/bin/env bash
# The notifier against a stand-in notification server on a private session bus, which clicks
# the notification it gets.
#   notifier_dbus_test.sh NOTIFIER_TEST_BINARY
set -u
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
command -v dbus-daemon >/dev/null || { echo "dbus-daemon missing; skipped" >&2; exit 77; }
# Debian's python3-dbus belongs to the system's interpreter, which a python3 earlier on PATH
# (pyenv, a virtualenv) does not see.
PY=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import dbus, gi' 2>/dev/null; then PY=$candidate; break; fi
done
[ -n "$PY" ] || { echo "python3-dbus missing; skipped" >&2; exit 77; }
DIR=$(mktemp -d /tmp/pelmora-notify.XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$DIR"
}
trap cleanup EXIT
dbus-daemon --session --nofork --address="unix:path=$DIR/bus" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$DIR/bus" ] && break; sleep 0.05; done
[ -S "$DIR/bus" ] || { echo "FAIL: the private bus did not start" >&2; exit 1; }
export DBUS_SESSION_BUS_ADDRESS="unix:path=$DIR/bus"
# A server that clicks a while after, then one whose click signals leave before its reply.
for click in 0.3 0; do
  rm -f "$DIR/log" "$DIR/server.out"
  "$PY" "$HERE/notification_server.py" "$DIR/log" --click "$click" >"$DIR/server.out" 2>&1 &
  server=$!
  pids+=("$server")
  for _ in $(seq 200); do grep -qs ready "$DIR/server.out" && break; sleep 0.05; done
  grep -qs ready "$DIR/server.out" || { cat "$DIR/server.out" >&2; echo "FAIL: no server" >&2; exit 1; }
  PELMORA_NOTIFY_LOG="$DIR/log" "$BIN" standInServerShowsAndClicks || {
    echo "FAIL: with a click after $click s" >&2
    exit 1
  }
  kill "$server"
  wait "$server" 2>/dev/null
done
echo ok
