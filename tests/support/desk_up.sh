#!/usr/bin/env bash
# A private desk (xvfb_desk.sh's desk_start: Xvfb, openbox, the tray host, the keyboard) for a
# program not written in bash, the end-to-end rig. Prints "DISPLAY=:N" once the desk is ready and
# keeps it until its standard input closes (the caller ends, whatever way it ends) or it gets
# SIGTERM; then ends what it started.
#
#   desk_up.sh [WxH]        exit 77 when a tool is missing or Xvfb cannot start
set -u
fail() {
  echo "desk_up: $*" >&2
  exit 1
}
# shellcheck source=xvfb_desk.sh
source "$(dirname "$0")/xvfb_desk.sh"
trap 'exit 143' TERM INT
desk_require Xvfb openbox trayer xdotool xprop xkbcomp iconv
desk_start "${1:-1280x800}" >&2
# The rig's hosts reach the display through its socket file: abstract X sockets belong to the
# network namespace of the server.
[ -S "/tmp/.X11-unix/X${DISPLAY#:}" ] || { echo "SKIP: Xvfb offers no socket file" >&2; exit 77; }
echo "DISPLAY=$DISPLAY"
while read -r _; do :; done
