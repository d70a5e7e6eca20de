#!/bin/sh
# Runs a Windows test program under Wine: wine-run.sh WINE PROGRAM [ARG...].
# A wineserver ends a moment after its last client, and a program started just then is refused
# ("recvmsg: Connection reset by peer"). Waiting until such a server is gone makes each test
# start with a server of its own.
wine=$1
shift
wineserver -w 2>/dev/null
exec "$wine" "$@"
