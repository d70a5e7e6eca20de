#!/usr/bin/env python3
"""Reads the program's window through the accessibility bus, as a screen reader does.

    a11y_check.py PID [CLI_COMMAND...]

Every control that shows must have a name a screen reader can say, and no description may carry
markup. The ping buttons read "Ping", the three panes "Hora", "Cabeceras" and "Mensajes" (the
Spanish interface). A destination is typed and the compose box opened through the bus alone,
and the controls they show are checked too. With a CLI_COMMAND (a pelmora-cli send to this
machine), the message it sends must then be readable in the text column. With A11Y_TRAY_MENU set
(a shell command that opens the tray icon's menu), the open menu must be on the bus under the
program, its entries readable, and "Minimizar" chosen through the bus must send the window away.
"""
import os
import subprocess
import sys
import time

import pyatspi

# Roles of things a user operates or reads; panels (fillers) and empty labels are layout.
CONTROL_ROLES = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT,
    pyatspi.ROLE_SCROLL_BAR, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER, pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_LIST, pyatspi.ROLE_TABLE, pyatspi.ROLE_MENU_ITEM,
}

failures = []


def fail(message):
    failures.append(message)
    print("FAIL: " + message, flush=True)


def wait_for(predicate, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    return predicate()


def find_app(pid):
    for app in pyatspi.Registry.getDesktop(0):
        try:
            if app is not None and app.get_process_id() == pid:
                return app
        except Exception:
            pass
    return None


def showing(obj):
    try:
        return obj.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def descendants(obj):
    for child in obj:
        if child is None:
            continue
        yield child
        yield from descendants(child)


def shown_controls(window):
    return [o for o in descendants(window) if showing(o) and o.getRole() in CONTROL_ROLES]


def check_names(window, stage):
    for o in shown_controls(window):
        name = (o.name or "").strip()
        if not name:
            fail(f"{stage}: a {o.getRoleName()} without a name")
        if "<" in (o.description or ""):
            fail(f"{stage}: the description of {o.getRoleName()} \"{name}\" holds markup: "
                 f"{o.description!r}")


def named(window, role, name):
    return [o for o in shown_controls(window) if o.getRole() == role and o.name == name]


def press(obj):
    action = obj.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("press", "click", "Press", "Toggle", "toggle"):
            action.doAction(i)
            return
    action.doAction(0)


def check_tray_menu(app, window, command):
    subprocess.run(command, shell=True, check=True)

    def open_menu():
        for child in app:
            if child is not None and showing(child) and child.getRole() in (
                    pyatspi.ROLE_POPUP_MENU, pyatspi.ROLE_MENU):
                return child
        return None

    menu = wait_for(open_menu, 10)
    if menu is None:
        fail("the open tray menu is not on the accessibility bus")
        return
    entries = [o for o in descendants(menu) if o.getRole() == pyatspi.ROLE_MENU_ITEM]
    names = [o.name for o in entries]
    if names != ["Minimizar", "Cerrar"]:
        fail(f"the tray menu reads {names}, not [\"Minimizar\", \"Cerrar\"]")
    check_names(menu, "the tray menu")
    minimise = [o for o in entries if o.name == "Minimizar"]
    if minimise:
        press(minimise[0])
        if not wait_for(lambda: not showing(window), 10):
            fail("\"Minimizar\" chosen through the bus did not send the window to the tray")


def main():
    pid = int(sys.argv[1])
    cli = sys.argv[2:]
    app = wait_for(lambda: find_app(pid), 30)
    if app is None:
        print("FAIL: the program is not on the accessibility bus")
        return 1
    window = wait_for(lambda: next((w for w in app if w is not None and showing(w)
                                    and w.name.startswith("Pelmora")), None), 15)
    if window is None:
        print("FAIL: no window of the program shows on the bus")
        return 1

    check_names(window, "at start")
    panes = [o.name for o in shown_controls(window) if o.getRole() == pyatspi.ROLE_TEXT]
    if panes[:3] != ["Hora", "Cabeceras", "Mensajes"]:
        fail(f"the panes read {panes[:3]}, not time, heading and text columns")
    if len(named(window, pyatspi.ROLE_PUSH_BUTTON, "Ping")) != 1:
        fail("the names' ping button does not read \"Ping\"")

    # The group list and its ping button show only with groups in the address book; hidden,
    # they are on the bus all the same.
    everything = [o for o in descendants(window) if o.getRole() in CONTROL_ROLES]
    if len([o for o in everything
            if o.getRole() == pyatspi.ROLE_PUSH_BUTTON and o.name == "Ping"]) != 2:
        fail("the two ping buttons do not both read \"Ping\"")
    if not [o for o in everything if o.getRole() == pyatspi.ROLE_COMBO_BOX and o.name == "Grupos"]:
        fail("the group list does not read \"Grupos\"")

    # Typing a destination and opening the compose box, through the bus alone.
    destination = named(window, pyatspi.ROLE_PUSH_BUTTON, "Destino")
    if not destination:
        fail("no button \"Destino\"")
    else:
        press(destination[0])
        field = wait_for(lambda: named(window, pyatspi.ROLE_TEXT, "Destino"), 5)
        if not field:
            fail("pressing \"Destino\" through the bus did not open the name field")
        else:
            check_names(window, "typing a destination")
            field[0].queryEditableText().setTextContents("MIRLO")
    compose = named(window, pyatspi.ROLE_PUSH_BUTTON, "Escribir mensaje")
    if not compose:
        fail("no button \"Escribir mensaje\"")
    else:
        press(compose[0])
        if not wait_for(lambda: named(window, pyatspi.ROLE_TEXT, "Escribir mensaje"), 5):
            fail("pressing \"Escribir mensaje\" through the bus did not open the compose box")
        check_names(window, "composing")

    if cli:
        subprocess.run(cli, check=True)

        def arrived():
            for pane in named(window, pyatspi.ROLE_TEXT, "Mensajes"):
                text = pane.queryText()
                if "hola desde el bus" in text.getText(0, text.characterCount):
                    return True
            return False

        if not wait_for(arrived, 10):
            fail("the message is not readable in the text column")
        check_names(window, "after an arrival")

    menu_command = os.environ.get("A11Y_TRAY_MENU")
    if menu_command:
        check_tray_menu(app, window, menu_command)

    if failures:
        return 1
    print("PASS: every control has a speakable name", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
