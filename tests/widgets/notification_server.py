#!/usr/bin/env python3
"""A stand-in desktop notification server (org.freedesktop.Notifications) for tests.

Every Notify call is written to LOG as one JSON line: app_name, replaces_id, app_icon, summary,
body, actions, hints, timeout and the id given. With --click SECONDS it then "clicks" the
notification after that long: it emits ActionInvoked(id, "default") and NotificationClosed(id, 2),
as a server does when the user clicks one; with --click-when PATH it clicks every notification it
has not clicked yet once PATH exists (the test decides the moment). It prints "ready" once it
owns the name.

    notification_server.py LOG [--click SECONDS | --click-when PATH] [--capabilities ...]
"""
import argparse
import json
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


def plain(value):
    """dbus types to JSON-friendly Python values (a byte stays a number)."""
    if isinstance(value, dbus.Dictionary):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, list)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.String, str)):
        return str(value)
    if isinstance(value, dbus.Boolean):
        return bool(value)
    if isinstance(value, (dbus.Byte, dbus.Int32, dbus.UInt32, dbus.Int64, dbus.UInt64, int)):
        return int(value)
    return repr(value)


class Server(dbus.service.Object):
    def __init__(self, bus, log, click, click_when, capabilities):
        super().__init__(bus, PATH)
        self.log = log
        self.click = click
        self.click_when = click_when
        self.unclicked = []
        self.capabilities = capabilities
        self.next_id = 1
        if click_when:
            GLib.timeout_add(50, self._click_when_told)

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return self.capabilities

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("stand-in", "pelmora tests", "1", "1.2")

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        nid = self.next_id
        self.next_id += 1
        record = {"app_name": app_name, "replaces_id": int(replaces_id), "app_icon": app_icon,
                  "summary": summary, "body": body, "actions": plain(actions),
                  "hints": plain(hints), "timeout": int(timeout), "id": nid}
        with open(self.log, "a", encoding="utf-8") as f:
            f.write(json.dumps(record, ensure_ascii=False) + "\n")
        self.unclicked.append(nid)
        if self.click == 0:
            self._click(nid)  # the signals leave before the reply
        elif self.click is not None:
            GLib.timeout_add(int(self.click * 1000), self._click, nid)
        return nid

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, nid):
        self.NotificationClosed(nid, 3)

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NAME, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    def _click_when_told(self):
        if os.path.exists(self.click_when):
            while self.unclicked:
                self._click(self.unclicked.pop(0))
        return True

    def _click(self, nid):
        if nid in self.unclicked:
            self.unclicked.remove(nid)
        # Another program's notification first: a client must ignore ids it did not get.
        self.ActionInvoked(dbus.UInt32(nid + 1000), "default")
        self.ActionInvoked(dbus.UInt32(nid), "default")
        self.NotificationClosed(dbus.UInt32(nid), dbus.UInt32(2))
        return False


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log")
    parser.add_argument("--click", type=float,
                        help="seconds after which to click; 0 clicks before Notify returns")
    parser.add_argument("--click-when")
    parser.add_argument("--capabilities", default="body,body-markup,actions")
    args = parser.parse_args()
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    server = Server(bus, args.log, args.click, args.click_when, args.capabilities.split(","))
    print("ready", flush=True)
    GLib.MainLoop().run()
    del name, server


if __name__ == "__main__":
    sys.exit(main())
