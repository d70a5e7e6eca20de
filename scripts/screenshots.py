#!/usr/bin/env python3
"""Takes the README's pictures from the real program: two copies on the test LAN (TEJO and MIRLO)
and a machine without it (SAUCE, where `pelmora-cli` sends from), one Xvfb with openbox and a
tray, a user typing with xdotool. Run through scripts/screenshots, which builds the programs and
the test LAN.

    screenshots.py --build BUILD_DIR --out FOLDER

Pictures: window.png (TEJO's window after a short conversation), delivery.png (what became of
two messages sent from TEJO, with the tool tip of one), tray-menu.png (the menu of the tray icon), and, when the program has them, banner.png (a message arriving while the window is
in the tray) and options.png (the options dialog). Each is reduced to 64 colours.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time

sys.dont_write_bytecode = True
REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(REPO, "tests", "lan", "e2e"))
import lanrig  # noqa: E402
from lanrig import Failure, Skip, SKIP  # noqa: E402

HOSTS = ["TEJO", "MIRLO", "SAUCE"]
OPTIONS_BUTTON = (45, 212)  # "&Opciones", in the window's client area
CLEAR_BUTTON = (45, 252)    # "&Borrar todo"
HEADINGS = (56, 1, 15)      # the heading column's left edge, its first line's top, line height


class RealProgram(lanrig.HostProcess):
    """The program itself (not the test host): it prints nothing, so readiness is its tray icon."""

    def __init__(self, rig, host):
        super().__init__(rig, host, "pelmora", [rig.real_program])
        self.window = None
        rig.procs.append(self)
        rig.desk.tray_icon_of(self.pid, timeout=30)


def say(desk, program, destination, text):
    """As a user: "Destino", the name, Enter, the text, Enter."""
    desk.open_window(program)
    desk.click(program, lanrig.Desk.BRECEPTOR)
    desk.type(destination)
    desk.keys("Return")
    desk.type(text)
    desk.keys("Return")
    time.sleep(0.8)


def with_preview(rig, host):
    """Turns the banner on in the host's settings file, as the options dialog would store it."""
    folder = os.path.join(rig.home(host), ".config", "pelmora")
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "pelmora.ini")
    lines = open(path, encoding="utf-8").read().splitlines() if os.path.exists(path) else []
    lines = [l for l in lines if l.split("=", 1)[0].strip().upper() not in ("RESTORE", "PREVIEW")]
    if "[OPCIONES]" not in lines:
        lines = ["[OPCIONES]"] + lines
    at = lines.index("[OPCIONES]") + 1
    lines[at:at] = ["RESTORE=YES", "PREVIEW=YES"]
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def send_from_sauce(rig, target, text):
    lanrig.run_quiet(rig.lan.command("SAUCE", [rig.cli, "send", target, text]),
                     env=rig.host_env("SAUCE"))
    time.sleep(0.5)


def save(raw, out, name):
    """The picture reduced to a small palette; its size in bytes."""
    path = os.path.join(out, name)
    lanrig.run_quiet(["convert", raw, "-strip", "-dither", "None", "-colors", "64",
                      "PNG8:" + path])
    size = os.path.getsize(path)
    print("%s: %d bytes" % (path, size))
    return size


def grab(rig, name, window=None, crop=None):
    raw = os.path.join(rig.workdir, name)
    argv = ["import"]
    if window is not None:
        argv += ["-frame", "-window", str(window)]
    else:
        argv += ["-window", "root"]
    if crop:
        argv += ["-crop", crop, "+repage"]
    lanrig.run_quiet(argv + [raw], env=rig.display.env())
    return raw


def frame_of(desk, wid):
    """The window manager's frame around a client window: the child of the root above it."""
    out = lanrig.run_quiet(["xwininfo", "-children", "-id", str(wid)], env=desk.env).stdout
    m = re.search(rb"Parent window id: (0x[0-9a-f]+)", out)
    if not m or b"(the root window)" in out.split(b"Parent window id:")[1].split(b"\n")[0]:
        return wid
    parent = int(m.group(1), 16)
    return frame_of(desk, parent) if parent else wid


def other_windows(desk, pid, known):
    """Visible windows of the process other than those in `known` (taken just before, with the
    tray icon among them) and the main window. The banner is small (about 73 x 17), so size
    tells nothing."""
    found = []
    for wid in desk.windows_of(pid, visible=True):
        w, h = desk.geometry(wid)
        if wid in known or w <= 1 or h <= 1:
            continue
        if desk.xdo("getwindowname", wid, check=False).strip() == lanrig.Desk.TITLE:
            continue
        found.append(wid)
    return found


def rect_of(desk, wid):
    geo = desk.xdo("getwindowgeometry", "--shell", wid)
    g = dict(l.split("=", 1) for l in geo.splitlines() if "=" in l)
    return tuple(int(g[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def around(desk, rect, margin):
    """An ImageMagick crop of `rect` widened by `margin`, kept on the screen."""
    x, y, w, h = rect
    sw, sh = (int(v) for v in desk.xdo("getdisplaygeometry").split())
    left, top = max(0, x - margin), max(0, y - margin)
    right, bottom = min(sw, x + w + margin), min(sh, y + h + margin)
    return "%dx%d+%d+%d" % (right - left, bottom - top, left, top)


def paint_desktop(rig):
    """A plain desktop colour instead of Xvfb's black, as on a real screen."""
    sw, sh = (int(v) for v in rig.desk.xdo("getdisplaygeometry").split())
    background = os.path.join(rig.workdir, "background.png")
    lanrig.run_quiet(["convert", "-size", "%dx%d" % (sw, sh), "xc:#4f6f8f", background])
    # display(1) sets the root window's background and ends (with status 1 on a bare server).
    lanrig.run_quiet(["display", "-window", "root", background], check=False,
                     env=rig.display.env())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--out", required=True)
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    for tool in ("convert", "import", "xwininfo"):
        if shutil.which(tool) is None:
            print("missing tool: " + tool)
            return SKIP
    real = os.path.join(os.path.abspath(args.build), "src", "app", "pelmora")
    rig = None
    try:
        # The real program stands where the rig expects its test host.
        rig = lanrig.Rig(args.build, HOSTS, testhost=real, real_program=real)
        desk = rig.desk
        paint_desktop(rig)
        tejo = RealProgram(rig, "TEJO")
        mirlo = RealProgram(rig, "MIRLO")
        big = 0

        # A short conversation, every kind of line: sent, answered, from a machine without
        # Pelmora, to the whole workgroup.
        say(desk, tejo, "MIRLO", "\u00bfComemos a las dos?")
        say(desk, mirlo, "TEJO", "S\u00ed, en la terraza. Llevo el informe.")
        send_from_sauce(rig, "TEJO", "La reuni\u00f3n de las cinco pasa a ma\u00f1ana.")
        say(desk, tejo, "PRUEBAS", "Salgo a las seis; la impresora queda encendida.")
        say(desk, mirlo, "TEJO", "Perfecto, gracias.")
        desk.open_window(tejo)
        # The mouse off the window, so no tool tip or hover shows.
        desk.xdo("mousemove", 1, 1)
        time.sleep(0.6)
        big = max(big, save(grab(rig, "window-raw.png", frame_of(desk, tejo.window)), args.out,
                            "window.png"))

        # What became of each message: MIRLO's copy showed it, SAUCE runs no Pelmora. The mouse
        # rests on SAUCE's heading (the second line of a cleared view) for its tool tip.
        desk.click(tejo, CLEAR_BUTTON)
        say(desk, tejo, "MIRLO", "\u00bfTienes la llave del archivo?")
        say(desk, tejo, "SAUCE", "La furgoneta sale a las cuatro.")
        time.sleep(1.0)  # SAUCE's one-second wait for an answer that never comes
        left, top, pitch = HEADINGS
        desk.xdo("mousemove", "--window", tejo.window, left + 40, top + pitch + pitch // 2)
        time.sleep(1.5)
        crop = around(desk, rect_of(desk, frame_of(desk, tejo.window)), 4)
        big = max(big, save(grab(rig, "delivery-raw.png", crop=crop), args.out, "delivery.png"))
        desk.xdo("mousemove", 1, 1)
        time.sleep(0.3)

        # Options dialog, when the program has one: the button opens a window of its own.
        known = set(desk.windows_of(tejo.pid, visible=True))
        desk.click(tejo, OPTIONS_BUTTON)
        try:
            dialog = lanrig.wait_until(lambda: other_windows(desk, tejo.pid, known), 3,
                                       what="the options dialog")[0]
            time.sleep(0.6)
            big = max(big, save(grab(rig, "options-raw.png", frame_of(desk, dialog)), args.out,
                                "options.png"))
            desk.keys("Escape")
            time.sleep(0.5)
        except Failure:
            print("no options dialog opened: options.png not taken")

        # The tray menu: the right button on the icon. The shot is the corner of the screen
        # with the menu and the tray.
        desk.xdo("windowminimize", tejo.window)
        tejo.window = None
        time.sleep(0.5)
        icon = desk.tray_icon_of(tejo.pid)
        known = set(desk.windows_of(tejo.pid, visible=True))
        desk.xdo("mousemove", "--window", icon, 5, 5, "click", 3)
        menu = lanrig.wait_until(lambda: [w for w in desk.windows_of(tejo.pid, visible=True)
                                          if w not in known], 5, what="the tray menu")[0]
        time.sleep(0.5)
        # The menu and the tray below it, with a little of the desktop round them.
        x, y, w, h = rect_of(desk, menu)
        sw, sh = (int(v) for v in desk.xdo("getdisplaygeometry").split())
        crop = around(desk, (x, y, sw - x, sh - y), 40)
        big = max(big, save(grab(rig, "menu-raw.png", crop=crop), args.out, "tray-menu.png"))
        desk.keys("Escape")
        time.sleep(0.3)

        # The banner, when the program has one: a message arriving while the window is away,
        # with "Previsualizacion" on. TEJO starts again with that option in its settings.
        tejo.stop()
        with_preview(rig, "TEJO")
        tejo = RealProgram(rig, "TEJO")
        time.sleep(0.5)
        known = set(desk.windows_of(tejo.pid, visible=True))
        send_from_sauce(rig, "TEJO", "\u00bfAlguien ha visto las llaves del almac\u00e9n?")
        try:
            banner = lanrig.wait_until(lambda: other_windows(desk, tejo.pid, known), 3,
                                       what="the banner")[0]
            time.sleep(1.5)  # let it scroll into view
            crop = around(desk, rect_of(desk, banner), 60)
            big = max(big, save(grab(rig, "banner-raw.png", crop=crop), args.out, "banner.png"))
        except Failure:
            print("no banner appeared: banner.png not taken")

        for p in (tejo, mirlo):
            p.stop()
        if big > 100 * 1024:
            print("a picture is over 100 KB")
            return 1
        return 0
    except Skip as e:
        print("skipped: %s" % e)
        return SKIP
    except Failure as e:
        print("FAILED: %s" % e)
        if rig is not None:
            print(rig.report())
        return 1
    finally:
        if rig is not None:
            rig.close()


if __name__ == "__main__":
    sys.exit(main())
