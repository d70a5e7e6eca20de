#!/usr/bin/env python3
"""Two copies of the program and a machine without it, on a test LAN of three hosts.

    TEJO   a copy whose messenger endpoint is active
    MIRLO  a copy; in some scenarios another process took "messngr" there before the copy started
    SAUCE  no program, only `pelmora-cli listen` (it holds "messngr", as the system's own
           messenger would)

The user's side is typed with xdotool into the windows on one Xvfb display; what arrives is read
from the copies' test host output and from the listener. Every wait has a deadline; a failure
prints what every process printed.

    scenarios.py --build BUILD_DIR --scenario NAME [--program PATH]
    scenarios.py --build BUILD_DIR --list

Exit status 0 passed, 1 failed, 77 skipped (no root, no namespaces, no Xvfb).
"""

import argparse
import os
import shutil
import stat
import struct
import subprocess
import sys
import time
import traceback

# The rig is imported from the source tree, which must stay free of byte-code caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lanrig  # noqa: E402
from lanrig import (Failure, Skip, SKIP, PALETTE_RECEIVED, PALETTE_SECURE,  # noqa: E402
                    PALETTE_SENT, PALETTE_SYSTEM, WORKGROUP)

HOSTS = ["TEJO", "MIRLO", "SAUCE"]
VERSION = "0.31b"

# Time-out of the channel query: a message that waits for it leaves no earlier, and one that an
# answer released arrives before it. How long after it a message leaves (1.0 to 1.2 s with the
# timer step) is a figure of bench/lan/latency.py: a loaded machine stretches it, which says
# nothing of the program, so the scenarios hold no upper limit.
SILENT_MIN = 1.0
# Deadline of a wait for an arrival: far beyond any path, so only a lost message reaches it.
ARRIVAL_WAIT = 15

ACCENTED = "\u00e1 \u00f1 \u00fc \u00e7 \u20ac"  # á ñ ü ç €
# OEM 850 has á ñ ü ç but no €: the messenger datagram carries "?" in its place.
ACCENTED_OVER_MESSENGER = "\u00e1 \u00f1 \u00fc \u00e7 ?"

SCENARIOS = {}


def scenario(fn):
    SCENARIOS[fn.__name__] = fn
    return fn


def expect(cond, message):
    if not cond:
        raise Failure(message)


def arrival(observer, text, timeout, start, where):
    e = observer.wait_entry(lambda e: e.text == text and e.palette != PALETTE_SENT, timeout,
                            start)
    if e is None:
        raise Failure("%r did not arrive on %s within %.1f s" % (text, where, timeout))
    return e


def count_text(observer, text):
    return sum(1 for e in observer.entries() if e.text == text and e.palette != PALETTE_SENT)


def settle(seconds):
    # Only used to prove that nothing more arrives (a duplicate, a stray line): the time a
    # duplicate would need, not a wait for something expected.
    time.sleep(seconds)


def start_copies(rig, messenger_taken_on=()):
    """Starts the copies; on the hosts named, a listener takes "messngr" first."""
    holders = {h: rig.listener(h, "holder") for h in messenger_taken_on}
    copies = {h: rig.program(h) for h in ("TEJO", "MIRLO")}
    return copies, holders


@scenario
def answered(rig):
    """A copy to a copy whose messenger endpoint is active: messenger channel, received colour,
    well before the time-out."""
    copies, _ = start_copies(rig)
    mirlo, tejo = copies["MIRLO"], copies["TEJO"]
    mark = tejo.mark()
    echo = rig.desk.send(mirlo, "tejo", "hola tejo")
    expect((echo.first, echo.second) == ("MIRLO", "TEJO"),
           "echo heading %r a %r, expected MIRLO a TEJO" % (echo.first, echo.second))
    got = arrival(tejo, "hola tejo", ARRIVAL_WAIT, mark, "TEJO")
    latency = got.t - echo.t
    print("answered path: %.3f s" % latency)
    expect(got.palette == PALETTE_RECEIVED, "palette %s, expected %d (received, messenger "
           "channel)" % (got.palette, PALETTE_RECEIVED))
    expect((got.first, got.second) == ("MIRLO", "TEJO"),
           "heading %r a %r, expected MIRLO a TEJO" % (got.first, got.second))
    expect(latency < SILENT_MIN, "took %.3f s; the answer should release it before the time-out"
           % latency)
    settle(0.5)
    expect(count_text(tejo, "hola tejo") == 1, "arrived more than once on TEJO")


@scenario
def secure(rig):
    """A copy to a copy whose host had "messngr" taken by another process first: the target
    answers NO, the message travels over "SEGURO" and shows in the secure colour."""
    copies, holders = start_copies(rig, messenger_taken_on=["MIRLO"])
    tejo, mirlo, holder = copies["TEJO"], copies["MIRLO"], holders["MIRLO"]
    mark = mirlo.mark()
    echo = rig.desk.send(tejo, "mirlo", "por el canal seguro")
    got = arrival(mirlo, "por el canal seguro", ARRIVAL_WAIT, mark, "MIRLO")
    latency = got.t - echo.t
    print("secure path: %.3f s" % latency)
    expect(got.palette == PALETTE_SECURE, "palette %s, expected %d (secure)"
           % (got.palette, PALETTE_SECURE))
    expect((got.first, got.second) == ("TEJO", "MIRLO"),
           "heading %r a %r, expected TEJO a MIRLO" % (got.first, got.second))
    # The secure colour already says the NO answer decided: after the time-out the message goes
    # over "messngr", to the holder.
    settle(1.5)  # past the time-out: a messenger copy would have gone by now
    expect(count_text(mirlo, "por el canal seguro") == 1, "arrived more than once on MIRLO")
    expect(not holder.entries(), "the holder of \"messngr\" on MIRLO got a copy: %r"
           % holder.entries())


@scenario
def silent(rig):
    """A copy to a machine without the program: nobody answers, the message goes over
    "messngr" when the query times out, not before 1 s after Enter."""
    tejo = rig.program("TEJO")
    sauce = rig.listener("SAUCE")
    echo = rig.desk.send(tejo, "sauce", "sin programa")
    got = arrival(sauce, "sin programa", ARRIVAL_WAIT, 0, "SAUCE")
    latency = got.t - echo.t
    print("silent path: %.3f s" % latency)
    expect(got.channel == "messenger", "arrived on %s, expected messenger" % got.channel)
    expect((got.first, got.second) == ("TEJO", "SAUCE"),
           "sender %r recipient %r, expected TEJO, SAUCE" % (got.first, got.second))
    expect(latency >= SILENT_MIN,
           "took %.3f s, expected the time-out (%.1f s)" % (latency, SILENT_MIN))
    settle(0.5)
    expect(count_text(sauce, "sin programa") == 1, "arrived more than once on SAUCE")


@scenario
def workgroup(rig):
    """A copy to the workgroup: every other copy and the listener get it once, over the
    messenger channel, after the time-out (no answer names the workgroup)."""
    copies, _ = start_copies(rig)
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    sauce = rig.listener("SAUCE")
    text = "a todo el grupo"
    marks = {"TEJO": tejo.mark()}
    echo = rig.desk.send(tejo, WORKGROUP.lower(), text)
    expect(echo.second == WORKGROUP, "echo addressed to %r, expected %s"
           % (echo.second, WORKGROUP))
    on_mirlo = arrival(mirlo, text, ARRIVAL_WAIT, 0, "MIRLO")
    on_sauce = arrival(sauce, text, ARRIVAL_WAIT, 0, "SAUCE")
    for name, e in (("MIRLO", on_mirlo), ("SAUCE", on_sauce)):
        latency = e.t - echo.t
        print("workgroup to %s: %.3f s" % (name, latency))
        expect(latency >= SILENT_MIN,
               "%s got it after %.3f s, expected the time-out (%.1f s)" % (name, latency, SILENT_MIN))
        expect((e.first, e.second) == ("TEJO", WORKGROUP),
               "%s: sender %r recipient %r" % (name, e.first, e.second))
    expect(on_mirlo.palette == PALETTE_RECEIVED, "MIRLO shows palette %s, expected %d"
           % (on_mirlo.palette, PALETTE_RECEIVED))
    expect(on_sauce.channel == "messenger", "SAUCE got it on %s" % on_sauce.channel)
    settle(1.0)
    expect(count_text(mirlo, text) == 1, "MIRLO shows it %d times" % count_text(mirlo, text))
    expect(count_text(sauce, text) == 1, "SAUCE got it %d times" % count_text(sauce, text))
    # The sender's own copy of the broadcast comes back to it and is not shown.
    expect(count_text(tejo, text) == 0, "TEJO shows its own workgroup message as received")


@scenario
def group(rig):
    """A group of two members (a copy and the machine without the program): one echo, each
    member gets it once, labelled with the group, on its own path."""
    rig.groups["TEJO"] = "PAREJA=MIRLO,SAUCE"
    copies, _ = start_copies(rig)
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    sauce = rig.listener("SAUCE")
    text = "para la pareja"
    rig.desk.open_window(tejo)
    mark = tejo.mark()
    # "&Grupos" ticks groups mode with the first group selected; "&Escribir mensaje" opens the
    # compose box.
    rig.desk.click(tejo, rig.desk.CHBGRUPOS)
    rig.desk.click(tejo, rig.desk.BTEXTO)
    rig.desk.type(text)
    rig.desk.keys("Return")
    echo = tejo.wait_entry(lambda e: e.palette == PALETTE_SENT and e.text == text, 10, mark)
    expect(echo is not None, "no echo of the group message on TEJO")
    expect((echo.first, echo.second) == ("TEJO", "PAREJA"),
           "echo heading %r a %r, expected TEJO a PAREJA" % (echo.first, echo.second))
    on_mirlo = arrival(mirlo, text, ARRIVAL_WAIT, 0, "MIRLO")
    on_sauce = arrival(sauce, text, ARRIVAL_WAIT, 0, "SAUCE")
    t_mirlo, t_sauce = on_mirlo.t - echo.t, on_sauce.t - echo.t
    print("group: MIRLO %.3f s, SAUCE %.3f s" % (t_mirlo, t_sauce))
    expect((on_mirlo.first, on_mirlo.second) == ("TEJO", "PAREJA"),
           "MIRLO heading %r a %r" % (on_mirlo.first, on_mirlo.second))
    expect(on_mirlo.palette == PALETTE_RECEIVED and t_mirlo < SILENT_MIN,
           "MIRLO: palette %s after %.3f s, expected the answered messenger path"
           % (on_mirlo.palette, t_mirlo))
    expect((on_sauce.first, on_sauce.second) == ("TEJO", "PAREJA"),
           "SAUCE sender %r recipient %r" % (on_sauce.first, on_sauce.second))
    expect(t_sauce >= SILENT_MIN, "SAUCE after %.3f s, expected the time-out" % t_sauce)
    settle(0.5)
    expect(sum(1 for e in tejo.entries() if e.text == text) == 1, "more than one echo on TEJO")
    expect(count_text(mirlo, text) == 1 and count_text(sauce, text) == 1,
           "a member got it more than once")


@scenario
def subnets(rig):
    """TEJO alone on one subnet; behind a router that forwards directed broadcasts, MIRLO (its
    "messngr" taken) and SAUCE (no program). Only TEJO lists the other subnet. A group message
    arrives once on each; MIRLO's "NO" comes back, so its copy takes the secure slot; MIRLO's
    reply, with no list of its own, goes back to where TEJO spoke from."""
    with open(rig.lan.conf("TEJO"), "a") as f:
        f.write("DIFUSION = 10.231.1.255\n")
    rig.groups["TEJO"] = "PAREJA=MIRLO,SAUCE"
    copies, holders = start_copies(rig, messenger_taken_on=["MIRLO"])
    tejo, mirlo, holder = copies["TEJO"], copies["MIRLO"], holders["MIRLO"]
    sauce = rig.listener("SAUCE")
    text = "al otro lado"
    rig.desk.open_window(tejo)
    mark = tejo.mark()
    rig.desk.click(tejo, rig.desk.CHBGRUPOS)
    rig.desk.click(tejo, rig.desk.BTEXTO)
    rig.desk.type(text)
    rig.desk.keys("Return")
    expect(tejo.wait_entry(lambda e: e.palette == PALETTE_SENT and e.text == text, 10, mark),
           "no echo of the group message on TEJO")
    on_mirlo = arrival(mirlo, text, ARRIVAL_WAIT, 0, "MIRLO")
    expect(on_mirlo.palette == PALETTE_SECURE, "MIRLO shows palette %s, expected %d: the "
           "answer NO did not come back across the router" % (on_mirlo.palette, PALETTE_SECURE))
    arrival(sauce, text, ARRIVAL_WAIT, 0, "SAUCE")

    reply = "de vuelta"
    mark = tejo.mark()
    rig.desk.send(mirlo, "tejo", reply)
    got = arrival(tejo, reply, ARRIVAL_WAIT, mark, "TEJO")
    expect(got.palette == PALETTE_RECEIVED and (got.first, got.second) == ("MIRLO", "TEJO"),
           "TEJO shows %r a %r in palette %s" % (got.first, got.second, got.palette))
    settle(1.5)  # past a time-out: a copy by another road would be here by now
    for observer, name, t in ((mirlo, "MIRLO", text), (sauce, "SAUCE", text),
                              (tejo, "TEJO", reply)):
        n = count_text(observer, t)
        expect(n == 1, "%s got %r %d times" % (name, t, n))
    expect(not holder.entries(), "MIRLO's holder of \"messngr\" got %r" % holder.entries())


def ping_from_tejo(rig, by_key):
    copies, _ = start_copies(rig)
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    mark = tejo.mark()
    mirlo_mark = mirlo.mark()
    rig.desk.ping(tejo, "mirlo", by_key)
    expected = "MIRLO --> Pelmora " + VERSION
    got = tejo.wait_entry(lambda e: e.palette == PALETTE_SYSTEM, 3, mark)
    expect(got is not None, "no system line on TEJO after the ping (%s)"
           % ("Alt+P" if by_key else "the \"P\" button"))
    expect(got.text == expected, "system line %r, expected %r" % (got.text, expected))
    expect((got.first, got.second) == ("VESPRA", "TEJO"),
           "heading %r a %r, expected VESPRA a TEJO" % (got.first, got.second))
    settle(1.0)
    lines = [e for e in tejo.entries() if e.palette == PALETTE_SYSTEM]
    expect(len(lines) == 1, "%d system lines on TEJO, expected one" % len(lines))
    # Without the master option the pinged copy shows nothing.
    expect(all(e.palette != PALETTE_SYSTEM for e in mirlo.entries(mirlo_mark)),
           "MIRLO shows a line for the ping")


@scenario
def ping(rig):
    """A ping from a copy to the other ("P" beside the names): one system line
    "MIRLO --> Pelmora 0.31b"."""
    ping_from_tejo(rig, by_key=False)


@scenario
def ping_alt_p(rig):
    """The same ping through its key, Alt+P, which the window previews before the focused
    control."""
    ping_from_tejo(rig, by_key=True)


@scenario
def keyboard(rig):
    """The window worked with the keyboard, as a user would on the real display: after a send,
    Enter on the focused "Escribir mensaje" opens the compose box again; Alt+P with the names
    list focused pings the destination and leaves the list (and so the destination) alone, even
    with another name starting with P in it."""
    # MIRLO stays in the tray when messages arrive: its window coming forward would take the
    # keyboard from TEJO's, whose keys this scenario is about.
    rig.options["MIRLO"] = "RESTORE=NO,PREVIEW=NO"
    copies, _ = start_copies(rig)
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    desk = rig.desk
    desk.open_window(tejo)
    # PINO joins the names list; then MIRLO becomes the destination and gets a first message.
    desk.click(tejo, desk.BRECEPTOR)
    desk.type("pino")
    desk.keys("Return", "Escape")
    mark = mirlo.mark()
    desk.click(tejo, desk.BRECEPTOR)
    desk.type("mirlo")
    desk.keys("Return")
    desk.type("uno")
    desk.keys("Return")
    arrival(mirlo, "uno", ARRIVAL_WAIT, mark, "MIRLO")

    # The focus is back on "Escribir mensaje": Enter presses it.
    desk.keys("Return")
    desk.type("dos")
    desk.keys("Return")
    got = arrival(mirlo, "dos", ARRIVAL_WAIT, mark, "MIRLO")
    expect((got.first, got.second) == ("TEJO", "MIRLO"),
           "heading %r a %r, expected TEJO a MIRLO" % (got.first, got.second))

    # The names list focused (its list opened by the click and closed again), then Alt+P.
    tejo_mark = tejo.mark()
    desk.click(tejo, desk.CBNOMBRES)
    time.sleep(0.3)
    desk.keys("Escape")
    time.sleep(0.3)
    desk.focus(tejo)
    desk.keys("alt+p")
    ping = tejo.wait_entry(lambda e: e.palette == PALETTE_SYSTEM, 3, tejo_mark)
    expect(ping is not None, "no system line after Alt+P with the names list focused")
    expect(ping.text == "MIRLO --> Pelmora " + VERSION,
           "Alt+P pinged %r, expected MIRLO" % ping.text)
    # The next message still goes to MIRLO, not to PINO.
    desk.click(tejo, desk.BTEXTO)
    desk.type("tres")
    desk.keys("Return")
    echo = tejo.wait_entry(lambda e: e.palette == PALETTE_SENT and e.text == "tres", 5,
                           tejo_mark)
    expect(echo is not None, "no echo of the third message")
    expect(echo.second == "MIRLO", "Alt+P changed the destination to %r" % echo.second)
    arrival(mirlo, "tres", ARRIVAL_WAIT, mark, "MIRLO")


@scenario
def single_instance(rig):
    """A second copy on a host where one runs: the "already running" box, then it ends; the
    first copy keeps working."""
    copies, _ = start_copies(rig)
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    second = lanrig.HostProcess(rig, "TEJO", "second", [rig.real_program])
    rig.procs.append(second)
    box = rig.desk.wait_box(second.pid, 20)
    name = rig.desk.xdo("getwindowname", box, check=False).strip()
    print("second copy's box: window %d, title %r" % (box, name))
    expect(second.alive(), "the second copy ended before the box was answered")
    rig.desk.xdo("windowactivate", "--sync", box, "key", "Return")
    code = second.wait_exit(10)
    expect(code is not None, "the second copy did not end after the box was closed")
    expect(code != 0, "the second copy ended with status 0")
    expect(not rig.desk.windows_of(second.pid, visible=True), "the second copy left a window")
    expect(tejo.alive(), "the first copy on TEJO ended")
    mark = tejo.mark()
    rig.desk.send(mirlo, "tejo", "sigues ahi")
    got = arrival(tejo, "sigues ahi", ARRIVAL_WAIT, mark, "TEJO")
    expect(got.palette == PALETTE_RECEIVED,
           "the first copy lost its messenger endpoint (palette %s)" % got.palette)


@scenario
def twins(rig):
    """Two copies started at the same instant on one host: exactly one "already running" box,
    its copy ends, the other runs on, with its messenger endpoint (the loser may have held
    "messngr" for a moment before it gave everything back)."""
    mirlo = rig.program("MIRLO")
    twins = [rig.program("TEJO", "twin_a", ready=False), rig.program("TEJO", "twin_b", ready=False)]

    def boxes():
        found = []
        for p in twins:
            for wid in rig.desk.windows_of(p.pid, visible=True):
                w, h = rig.desk.geometry(wid)
                if w > 64 and h > 40 and p.out.wait_for(lambda t, l: l.startswith("READY"), 0) is None:
                    found.append((p, wid))
        return found

    lanrig.wait_until(lambda: boxes() or None, 20, 0.05, "an already-running box")
    settle(1.0)  # time for a second box, if there were one
    shown = boxes()
    expect(len(shown) == 1, "%d already-running boxes" % len(shown))
    loser, box = shown[0]
    winner = twins[1] if loser is twins[0] else twins[0]
    print("box from %s; %s runs" % (loser.label, winner.label))
    winner.wait_ready()
    rig.desk.xdo("windowactivate", "--sync", box, "key", "Return")
    code = loser.wait_exit(10)
    expect(code is not None and code != 0, "the copy with the box ended with %r" % code)
    expect(winner.alive(), "the running copy ended")
    mark = winner.mark()
    rig.desk.send(mirlo, "tejo", "solo uno")
    got = arrival(winner, "solo uno", ARRIVAL_WAIT, mark, "TEJO")
    expect(got.palette == PALETTE_RECEIVED,
           "the running copy has no messenger endpoint (palette %s)" % got.palette)


def settings_file_names(path):
    """The names in NOMBRES of a settings file; raises Failure when the file is torn (cut inside
    a line, or a line that is no ini line)."""
    with open(path, "rb") as f:
        data = f.read()
    expect(data.endswith(b"\n"), "the settings file ends inside a line: %r" % data[-60:])
    section = None
    names = set()
    for line in data.decode("utf-8").split("\n")[:-1]:
        if line.startswith("["):
            expect(line.endswith("]"), "torn section line %r" % line)
            section = line[1:-1]
        else:
            expect("=" in line, "a line that is no setting: %r" % line)
            if section == "NOMBRES":
                names.add(line.split("=", 1)[0])
    return names


@scenario
def settings_kill(rig):
    """kill -9 at any moment while the program stores a stream of new senders: its settings
    file is always whole, the old one or the new one, never a mix or a cut. Each round starts
    the copy, sends it 60 messages from new senders and kills it at a different moment; the file
    must then hold what it held before plus the first k senders of the round, for some k."""
    path = os.path.join(rig.home("MIRLO"), ".config", "pelmora", "pelmora.ini")
    stored = set()
    # The copy is killed right after the arrival of message k of its round: in the middle of the
    # save of that sender, of the next one, or between saves.
    for round_, kill_after in enumerate((1, 7, 18, 29, 41, 53)):
        batch = ["NUEVO%d_%02d" % (round_, k) for k in range(60)]
        copy = rig.program("MIRLO", "round%d" % round_)
        sender = lanrig.HostProcess(rig, "SAUCE", "senders%d" % round_, ["sh", "-c", " ".join(
            "%s send --from %s MIRLO r%dm%d >/dev/null 2>&1;" % (rig.cli, n, round_, k)
            for k, n in enumerate(batch))])
        rig.procs.append(sender)
        if round_ == 0:
            # A program that stores no new senders writes no file: nothing to check here.
            try:
                lanrig.wait_until(lambda: os.path.exists(path) or None, 5, 0.05, "a file")
            except Failure:
                raise Skip("this program does not store new senders in its settings file")
        mark = "r%dm%d" % (round_, kill_after)
        got = copy.wait_entry(lambda e: e.text == mark, 20)
        os.kill(copy.pid, 9)
        expect(got is not None, "message %s did not arrive" % mark)
        copy.wait_exit(5)
        # On a loaded machine the round's senders may not be through yet: they must not reach
        # the next round's copy, which would store them as if sent to it.
        if sender.wait_exit(30) is None:
            sender.stop()
        names = settings_file_names(path)
        new = [n for n in batch if n in names]
        print("round %d: killed with %d of its senders in the file" % (round_, len(new)))
        expect(stored <= names, "senders stored before are gone")
        expect(names - stored - set(batch) <= {n for n in names if not n.startswith("NUEVO")},
               "the file holds senders never sent")
        expect(new == batch[:len(new)],
               "the file holds a later sender without an earlier one: %s" % new[-3:])
        stored = {n for n in names if n.startswith("NUEVO")}


@scenario
def accents(rig):
    """á ñ ü ç € on every channel: intact on the secure channel and in the echo; over the
    messenger datagram (OEM 850) € becomes "?" and the rest is intact."""
    copies, holders = start_copies(rig, messenger_taken_on=["MIRLO"])
    tejo, mirlo = copies["TEJO"], copies["MIRLO"]
    sauce = rig.listener("SAUCE")
    observed = {}

    # Secure channel: TEJO to MIRLO, whose messenger slot is taken.
    mark = mirlo.mark()
    echo = rig.desk.send(tejo, "mirlo", "seguro " + ACCENTED)
    expect(echo.text == "seguro " + ACCENTED, "echo on TEJO reads %r" % echo.text)
    got = arrival(mirlo, "seguro " + ACCENTED, ARRIVAL_WAIT, mark, "MIRLO")
    expect(got.palette == PALETTE_SECURE, "not on the secure channel (palette %s)" % got.palette)
    observed["secure"] = got.text

    # Messenger channel, answered: MIRLO to TEJO.
    mark = tejo.mark()
    rig.desk.send(mirlo, "tejo", "mensajero " + ACCENTED)
    got = tejo.wait_entry(lambda e: e.text.startswith("mensajero ") and
                          e.palette == PALETTE_RECEIVED, 3, mark)
    expect(got is not None, "the messenger-channel message did not arrive on TEJO")
    observed["messenger to a copy"] = got.text

    # Messenger channel, silent: TEJO to SAUCE.
    rig.desk.send(tejo, "sauce", "silencio " + ACCENTED)
    got = sauce.wait_entry(lambda e: e.text.startswith("silencio "), 4)
    expect(got is not None, "the message did not arrive on SAUCE")
    observed["messenger to the listener"] = got.text

    for k, v in observed.items():
        print("%s: %r" % (k, v))
    expect(observed["secure"] == "seguro " + ACCENTED,
           "secure channel changed the text: %r" % observed["secure"])
    expect(observed["messenger to a copy"] == "mensajero " + ACCENTED_OVER_MESSENGER,
           "messenger channel to TEJO: %r, expected %r"
           % (observed["messenger to a copy"], "mensajero " + ACCENTED_OVER_MESSENGER))
    expect(observed["messenger to the listener"] == "silencio " + ACCENTED_OVER_MESSENGER,
           "messenger channel to SAUCE: %r" % observed["messenger to the listener"])
    del holders


@scenario
def session(rig):
    """Samba's `smbclient -M` to a running copy, in the session form over TCP: the message shows
    as a messenger message does (received colour, "PEPE a TEJO", accents intact, echo's line end
    gone), once, and its sender joins the address book."""
    if shutil.which("smbclient") is None:
        raise Skip("smbclient is not installed")
    copies, _ = start_copies(rig)
    tejo = copies["TEJO"]
    text = "\u00bfqu\u00e9 tal? \u00f1and\u00fa"  # ¿qué tal? ñandú
    mark = tejo.mark()
    r = subprocess.run(rig.lan.command("SAUCE", ["smbclient", "-N", "-M", "TEJO", "-I",
                                                 rig.lan.address("TEJO"), "-p", "13139",
                                                 "-U", "PEPE"]),
                       input=(text + "\n").encode(), env=rig.host_env("SAUCE"),
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
    expect(r.returncode == 0, "smbclient failed: %s" % r.stderr.decode(errors="replace"))
    got = arrival(tejo, text, ARRIVAL_WAIT, mark, "TEJO")
    print("session form: %r from %r to %r" % (got.text, got.first, got.second))
    expect(got.palette == PALETTE_RECEIVED, "palette %s, expected %d (received, messenger "
           "channel)" % (got.palette, PALETTE_RECEIVED))
    expect((got.first, got.second) == ("PEPE", "TEJO"),
           "heading %r a %r, expected PEPE a TEJO" % (got.first, got.second))
    settle(0.5)
    expect(count_text(tejo, text) == 1, "arrived more than once on TEJO")
    # New senders are saved together a moment after they arrive, so the file may not exist yet.
    ini = os.path.join(rig.home("TEJO"), ".config", "pelmora", "pelmora.ini")
    lanrig.wait_until(lambda: os.path.exists(ini) and "PEPE" in settings_file_names(ini), 5,
                      0.05, "the sender in the address book")


# The Windows program's ini file as it wrote it: CR LF, Windows-1252, and the hand edits its
# users made (blanks around "=", keys in other letter case).
LEGACY_INI = (
    b"[OPCIONES]\r\nRESTORE=YES\r\nPREVIEW=NO\r\nBEEP = NO\r\nCAMBIO_DESTIN=YES\r\n"
    b"CARGAR_GRUPO_TRABAJO=NO\r\nHARDWAY=NO\r\nRECUPERAR_MENSAJES=YES\r\n"
    b"COLOR FONDO=clNavy\r\nCOLOR HORA=clSilver\r\nCOLOR CABS=clAqua\r\nCOLOR ENVIO=clLime\r\n"
    b"COLOR RECEPCION=$0000FFFF\r\nCOLOR RECEPCION SEGURA=clWhite\r\nCOLOR SISTEMA=clRed\r\n"
    b"idioma=ENGLISH\r\nHOTKEY=k\r\n"
    b"[NOMBRES]\r\nMIRLO=S\r\nZorro=N\r\nPE\xd1A=N\r\n"
    b"[GRUPOS]\r\nAmigos=.\r\n[Amigos]\r\nMIRLO=.\r\nZorro=.\r\n"
    b"[DestinoRapido1]\r\nTIPO_DESTINO=NOMBRE\r\nNOMBRE=mirlo\r\n")

LOST = [(3, "ZORRO", "TEJO", "uno \u00f1"), (4, "MIRLO", "TEJO", "dos"), (9, "PINO", "TEJO", "tres")]


def lost_record(kind, sender, recipient, text):
    out = bytes([kind])
    for field in (sender, recipient, text):
        b = field.encode("cp1252")
        out += struct.pack("<H", len(b)) + b
    return out


def read_text(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8")


def cli_send(rig, host, sender, target, text):
    r = subprocess.run(rig.lan.command(host, [rig.cli, "send", "--from", sender, target, text]),
                       env=rig.host_env(host), stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                       timeout=20)
    expect(r.returncode == 0, "pelmora-cli send failed: %s" % r.stderr.decode(errors="replace"))


@scenario
def settings(rig):
    """The Windows program's settings taken over at the first start (and its file deleted), the
    lost messages shown again and their file deleted once the window showed them, a new sender stored at once (it survives
    kill -9), German across a restart, and a changed own name on the wire."""
    home = rig.home("TEJO")
    config = os.path.join(home, ".config", "pelmora")
    state = os.path.join(home, ".local", "state", "pelmora")
    os.makedirs(config, exist_ok=True)
    os.makedirs(state, exist_ok=True)
    legacy = os.path.join(config, "vespra2.ini")
    ini = os.path.join(config, "pelmora.ini")
    lost = os.path.join(state, "lastmsgs.vsp")
    with open(legacy, "wb") as f:
        f.write(LEGACY_INI)
    with open(lost, "wb") as f:
        f.write(b"".join(lost_record(*r) for r in LOST))

    tejo = rig.program("TEJO")
    shown = [e for e in tejo.entries() if e.time == "------"]
    expect([(e.first, e.second, e.text) for e in shown] == [r[1:] for r in LOST],
           "recovered entries %r" % shown)
    expect([e.palette for e in shown] == [PALETTE_RECEIVED, PALETTE_SECURE, PALETTE_RECEIVED],
           "recovered colours %r" % [e.palette for e in shown])
    # Recovered messages stay in their file until the window has shown them: a second crash
    # before that loses nothing.
    expect(os.path.exists(lost), "the lost-messages file went before the window showed them")
    rig.desk.open_window(tejo)
    lanrig.wait_until(lambda: not os.path.exists(lost) or None, 5, 0.05,
                      "the lost-messages file to go once the window shows")
    expect(not os.path.exists(legacy), "the old ini file is still there")
    expect(os.path.exists(ini), "no settings file after the migration")
    expect(stat.S_IMODE(os.stat(ini).st_mode) == 0o600, "settings file mode %o"
           % stat.S_IMODE(os.stat(ini).st_mode))
    text = read_text(ini)
    for line in ("IDIOMA=ENGLISH\n", "BEEP=NO\n", "COLOR FONDO=clNavy\n",
                 "COLOR RECEPCION=clYellow\n", "HOTKEY=K\n", "PE\u00d1A=N\n",
                 "[DestinoRapido1]\nTIPO_DESTINO=NOMBRE\nNOMBRE=MIRLO\n",
                 "[GRUPOS]\nAmigos=.\n", "[Amigos]\nMIRLO=.\nZorro=.\n"):
        expect(line in text, "%r not in the migrated settings:\n%s" % (line, text))
    texts = tejo.texts()
    print("captions after the migration: %r" % texts)
    expect(texts.get("BOpciones") == "&Options" and texts.get("BTexto") == "&New message",
           "not in English: %r" % texts)
    expect(texts.get("StatusBar0") == "Source: TEJO", "status panel 0 %r" % texts.get("StatusBar0"))

    # A sender the address book does not know is stored within a moment of its arrival (new
    # senders are saved together, at most twice a second); killed after that, the copy has
    # written it.
    mark = tejo.mark()
    cli_send(rig, "SAUCE", "NUEVO", "TEJO", "soy nuevo")
    arrival(tejo, "soy nuevo", ARRIVAL_WAIT, mark, "TEJO")
    lanrig.wait_until(lambda: "NUEVO=N\n" in read_text(ini) or None, 5, 0.05,
                      "the new sender in the settings")
    tejo.kill()
    text = read_text(ini)
    expect("\n[NOMBRES]\n" in text and "NUEVO=N\n" in text,
           "the new sender is not in the settings after kill -9:\n%s" % text)
    expect("IDIOMA=ENGLISH\n" in text, "the language was lost by the new-sender write")

    # German, stored as the options dialog stores it, comes back at the next start, and a later
    # save keeps it.
    with open(ini, "w", encoding="utf-8") as f:
        f.write(text.replace("IDIOMA=ENGLISH", "IDIOMA=DEUTSCH"))
    tejo = rig.program("TEJO", "second-start")
    texts = tejo.texts()
    print("captions after the restart: %r" % texts)
    expect(texts.get("BOpciones") == "&Optionen" and texts.get("Cerrar1") == "&Schliessen",
           "not in German after the restart: %r" % texts)
    expect(texts.get("StatusBar0") == "Absender:TEJO", "status panel 0 %r"
           % texts.get("StatusBar0"))
    expect(not [e for e in tejo.entries() if e.time == "------"], "lines recovered twice")
    mark = tejo.mark()
    cli_send(rig, "SAUCE", "OTRO", "TEJO", "otro nuevo")
    arrival(tejo, "otro nuevo", ARRIVAL_WAIT, mark, "TEJO")
    # New senders are saved together, within half a second.
    lanrig.wait_until(lambda: "OTRO=N\n" in read_text(ini) or None, 5, 0.05,
                      "the second new sender in the settings")
    text = read_text(ini)
    expect("IDIOMA=DEUTSCH\n" in text and "OTRO=N\n" in text,
           "after a save: %s" % text)

    # The own name, changed on the status bar, is the sender of the next message.
    sauce = rig.listener("SAUCE")
    sauce.wait_holding()
    rig.desk.open_window(tejo)
    rig.desk.xdo("mousemove", "--window", tejo.window, 100, 278)
    rig.desk.xdo("keydown", "ctrl+alt", "click", 3, "keyup", "ctrl+alt")
    rig.desk.keys("ctrl+a")
    rig.desk.type("caja7")
    rig.desk.keys("Return")
    rig.screenshot("settings-own-name")
    echo = rig.desk.send(tejo, "sauce", "desde la caja")
    expect(echo.first == "CAJA7", "the echo is headed %r" % echo.first)
    got = arrival(sauce, "desde la caja", ARRIVAL_WAIT, 0, "SAUCE")
    expect(got.first == "CAJA7", "SAUCE got it from %r, expected CAJA7" % got.first)

# Centres of the options dialog's controls in its client area (a fixed layout of 337 x 377):
# the pages' controls lie below the row of page captions.
OPT_NUEVO_NOMBRE = (262, 84)
OPT_BORRAR_TODOS = (262, 188)
OPT_PING = (262, 244)
OPT_NUEVO_GRUPO = (86, 308)
OPT_OK = (213, 351)
OPT_CANCEL = (293, 351)


def open_options(rig, program):
    """"&Opciones" (Alt+O) on the window; the dialog's window id."""
    rig.desk.open_window(program)
    rig.desk.keys("alt+o")

    def find():
        ws = rig.desk.windows_of(program.pid, visible=True, name="^Opciones")
        return ws[0] if ws else None
    dlg = lanrig.wait_until(find, 10, 0.05, "the options dialog of " + program.host)
    rig.desk.xdo("windowactivate", "--sync", dlg, check=False)
    expect(rig.desk.geometry(dlg) == (337, 377), "dialog size %r" % (rig.desk.geometry(dlg),))
    return dlg


def dialog_click(rig, dlg, where):
    rig.desk.xdo("mousemove", "--window", dlg, where[0], where[1], "click", 1)


def dialog_gone(rig, program, timeout=5):
    lanrig.wait_until(lambda: not rig.desk.windows_of(program.pid, visible=True,
                                                      name="^Opciones"),
                      timeout, 0.05, "the options dialog to close")


@scenario
def options(rig):
    """The options dialog: Cancel leaves the settings file byte-identical; OK stores a name
    typed on the names page, the name of another copy that answered the dialog's ping, and a
    new group."""
    copies, _ = start_copies(rig)
    tejo = copies["TEJO"]
    ini = os.path.join(rig.home("TEJO"), ".config", "pelmora", "pelmora.ini")
    # A file to compare with: the first sender stored makes it.
    mark = tejo.mark()
    cli_send(rig, "SAUCE", "PRIMERO", "TEJO", "hola")
    arrival(tejo, "hola", ARRIVAL_WAIT, mark, "TEJO")
    lanrig.wait_until(lambda: os.path.exists(ini), 5, what="the settings file")
    before = open(ini, "rb").read()

    dlg = open_options(rig, tejo)
    rig.desk.keys("ctrl+Tab")  # the names page
    dialog_click(rig, dlg, OPT_NUEVO_NOMBRE)
    rig.desk.type("cancelado")
    rig.desk.keys("Return", "Escape")
    dialog_click(rig, dlg, OPT_CANCEL)
    dialog_gone(rig, tejo)
    expect(open(ini, "rb").read() == before, "Cancel changed the settings file")

    # Every name goes; the ping brings back the copy that answers it.
    dlg = open_options(rig, tejo)
    rig.desk.keys("ctrl+Tab")
    dialog_click(rig, dlg, OPT_BORRAR_TODOS)
    dialog_click(rig, dlg, OPT_PING)
    dialog_click(rig, dlg, OPT_NUEVO_NOMBRE)
    rig.desk.type("pino")
    rig.desk.keys("Return")
    rig.desk.keys("ctrl+Tab")  # the groups page
    dialog_click(rig, dlg, OPT_NUEVO_GRUPO)
    rig.desk.type("casa")
    rig.desk.keys("Return")
    settle(0.5)  # the three pings, 100 ms apart, and MIRLO's answers
    rig.screenshot("options-groups")
    dialog_click(rig, dlg, OPT_OK)
    dialog_gone(rig, tejo)
    text = read_text(ini)
    for line in ("PINO=N\n", "\nMIRLO=", "\nCASA=.\n"):
        expect(line in text, "%r not in the settings after OK:\n%s" % (line, text))
    expect("PRIMERO=" not in text, "a deleted name is still in the settings:\n%s" % text)
    # The answer filled the dialog, not the conversation.
    expect(not [e for e in tejo.entries(mark) if e.palette == PALETTE_SYSTEM],
           "the ping's answer was reported in the conversation")


def lost_records(path):
    """(kind, sender, recipient, text) of every record of a lost-messages file; [] without one."""
    if not os.path.exists(path):
        return []
    with open(path, "rb") as f:
        data = f.read()
    out, i = [], 0
    while i < len(data):
        kind, i = data[i], i + 1
        fields = []
        for _ in range(3):
            n = int.from_bytes(data[i:i + 2], "little")
            fields.append(data[i + 2:i + 2 + n].decode("cp1252"))
            i += 2 + n
        out.append((kind,) + tuple(fields))
    return out


@scenario
def banner(rig):
    """An arrival while the window is in the tray (RESTORE and PREVIEW on) shows the banner:
    73 x 17 at the top, 54 pixels in from the right edge, above the others and out of the task
    bar, while the user's window keeps the keyboard; what arrives is kept in the lost-messages
    file. A double click brings the window back and deletes the file; Ctrl+Alt+N with Num Lock
    on does the same from a later banner."""
    home = rig.home("TEJO")
    config = os.path.join(home, ".config", "pelmora")
    os.makedirs(config, exist_ok=True)
    options = "RESTORE=YES,PREVIEW=YES,BEEP=NO,RECUPERAR_MENSAJES=YES"
    with open(os.path.join(config, "pelmora.ini"), "w") as f:
        f.write("[OPCIONES]\n" + options.replace(",", "\n") + "\n")
    rig.options["TEJO"] = options
    lost = os.path.join(home, ".local", "state", "pelmora", "lastmsgs.vsp")
    tejo = rig.program("TEJO")
    desk = rig.desk
    user = desk.user_window("trabajo")

    mark = tejo.mark()
    cli_send(rig, "SAUCE", "SAUCE", "tejo", "<b>primero</b>")
    arrival(tejo, "<b>primero</b>", ARRIVAL_WAIT, mark, "TEJO")
    shown = desk.banner_of(tejo.pid)
    x, y, w, h = desk.placement(shown)
    print("banner at %d,%d, %d x %d" % (x, y, w, h))
    expect((w, h) == desk.BANNER_SIZE, "banner is %d x %d" % (w, h))
    screen_w = desk.screen_size()[0]
    expect((x, y) == (screen_w - w - desk.BANNER_RIGHT_MARGIN, 0),
           "banner at %d,%d, expected %d,0" % (x, y, screen_w - w - desk.BANNER_RIGHT_MARGIN))
    # The window manager applies the hints as it gets to them: a moment after the banner maps.
    try:
        lanrig.wait_until(lambda: all(s in desk.wm_state(shown) for s in (
            "_NET_WM_STATE_ABOVE", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER")),
            2, what="the banner's window state")
    except Failure:
        raise Failure("banner not above the others or in the task bar: %s"
                      % desk.wm_state(shown).strip())
    expect(desk.active_window() == user, "the banner took the keyboard from the user's window")
    expect(not desk.main_window_shown(tejo.pid), "the normal window shows beside the banner")
    wait_until = lanrig.wait_until
    wait_until(lambda: len(lost_records(lost)) == 1, 5, what="one record in " + lost)

    cli_send(rig, "SAUCE", "SAUCE", "tejo", "segundo")
    arrival(tejo, "segundo", ARRIVAL_WAIT, mark, "TEJO")
    wait_until(lambda: len(lost_records(lost)) == 2, 5, what="two records in " + lost)
    expect([(r[0], r[1], r[2].upper(), r[3]) for r in lost_records(lost)] ==
           [(PALETTE_RECEIVED, "SAUCE", "TEJO", "<b>primero</b>"),
            (PALETTE_RECEIVED, "SAUCE", "TEJO", "segundo")],
           "records %r" % lost_records(lost))
    expect(len([wd for wd in desk.windows_of(tejo.pid, visible=True)
                if desk.geometry(wd) == desk.BANNER_SIZE]) == 1, "more than one banner")
    rig.screenshot("banner")

    desk.xdo("mousemove", "--window", shown, 30, 8, "click", "--repeat", "2", "--delay", "80", 1)
    tejo.window = desk.main_window_of(tejo.pid)
    wait_until(lambda: not desk.banner_shown(tejo.pid), 5, what="the banner to go")
    wait_until(lambda: not os.path.exists(lost), 5, what="the lost-messages file to go")
    wait_until(lambda: desk.active_window() == tejo.window, 5,
               what="the window back in front after the double click")

    # Back to the tray (the title bar's close), a new banner, and the hot key with Num Lock on.
    desk.focus(tejo)
    desk.keys("Escape")
    wait_until(lambda: not desk.main_window_shown(tejo.pid), 5, what="Esc to send the window away")
    desk.xdo("windowactivate", "--sync", user)
    cli_send(rig, "SAUCE", "SAUCE", "tejo", "tercero")
    desk.banner_of(tejo.pid)
    wait_until(lambda: len(lost_records(lost)) == 1, 5, what="the new banner's record")
    desk.xdo("key", "Num_Lock")
    try:
        desk.xdo("key", "ctrl+alt+n")
        wait_until(lambda: desk.main_window_shown(tejo.pid), 5,
                   what="Ctrl+Alt+N with Num Lock on to bring the window")
    finally:
        desk.xdo("key", "Num_Lock")
    wait_until(lambda: not desk.banner_shown(tejo.pid), 5, what="the banner to go")
    wait_until(lambda: not os.path.exists(lost), 5, what="the lost-messages file to go")

    # Esc in the banner (a click gives it the keyboard): everything goes into the tray, the file
    # stays; a later arrival is counted and kept in the file; the tray icon brings the window and
    # the file goes.
    tejo.window = desk.main_window_of(tejo.pid)
    desk.focus(tejo)
    desk.keys("Escape")
    wait_until(lambda: not desk.main_window_shown(tejo.pid), 5, what="Esc to send the window away")
    cli_send(rig, "SAUCE", "SAUCE", "tejo", "cuarto")
    shown = desk.banner_of(tejo.pid)
    desk.xdo("mousemove", "--window", shown, 30, 8, "click", 1)
    wait_until(lambda: desk.active_window() == shown, 5, what="the clicked banner to take the keys")
    desk.keys("Escape")
    wait_until(lambda: not desk.banner_shown(tejo.pid), 5, what="Esc to hide the banner")
    expect(not desk.main_window_shown(tejo.pid), "Esc in the banner showed the window")
    expect(len(lost_records(lost)) == 1, "Esc in the banner lost the file: %r" % lost_records(lost))
    mark = tejo.mark()
    cli_send(rig, "SAUCE", "SAUCE", "tejo", "quinto")
    arrival(tejo, "quinto", ARRIVAL_WAIT, mark, "TEJO")
    wait_until(lambda: len(lost_records(lost)) == 2, 5,
               what="the arrival after Esc kept in the file as a second record")
    settle(0.3)
    expect(not desk.banner_shown(tejo.pid) and not desk.main_window_shown(tejo.pid),
           "an arrival after Esc brought something up")
    icon = desk.tray_icon_of(tejo.pid)
    desk.xdo("mousemove", "--window", icon, 5, 5, "click", 1)
    desk.main_window_of(tejo.pid)
    wait_until(lambda: not os.path.exists(lost), 5, what="the tray click to delete the file")


@scenario
def restore(rig):
    """RESTORE on, PREVIEW off: an arrival while the window is in the tray brings the window
    itself to the front, over the window the user was typing in; Esc sends it back."""
    rig.options["TEJO"] = "RESTORE=YES,PREVIEW=NO,BEEP=NO,RECUPERAR_MENSAJES=YES"
    tejo = rig.program("TEJO")
    desk = rig.desk
    user = desk.user_window("trabajo")
    mark = tejo.mark()
    cli_send(rig, "SAUCE", "SAUCE", "tejo", "ven")
    arrival(tejo, "ven", ARRIVAL_WAIT, mark, "TEJO")
    tejo.window = desk.main_window_of(tejo.pid)
    lanrig.wait_until(lambda: desk.active_window() == tejo.window, 5,
                      what="the window in front of the user's window")
    expect(not desk.banner_shown(tejo.pid), "a banner shows although PREVIEW is off")
    lost = os.path.join(rig.home("TEJO"), ".local", "state", "pelmora", "lastmsgs.vsp")
    expect(not os.path.exists(lost), "the lost-messages file stays after the window came back")
    desk.keys("Escape")
    lanrig.wait_until(lambda: not desk.main_window_shown(tejo.pid), 5, what="Esc to hide it")
    del user


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--scenario", action="append", default=[])
    ap.add_argument("--program", help="the real program, for the second copy")
    ap.add_argument("--workdir")
    ap.add_argument("--testhost", help="the test host binary (default: the build's)")
    ap.add_argument("--list", action="store_true")
    args = ap.parse_args()
    if args.list:
        print("\n".join(SCENARIOS))
        return 0
    names = args.scenario or list(SCENARIOS)
    unknown = [n for n in names if n not in SCENARIOS]
    if unknown:
        print("unknown scenario: " + ", ".join(unknown), file=sys.stderr)
        return 2
    status = 0
    for name in names:
        rig = None
        try:
            workdir = None
            if args.workdir:
                workdir = os.path.join(args.workdir, name)
            rig = lanrig.Rig(args.build, HOSTS, workdir=workdir,
                             real_program=args.program,
                             testhost=args.testhost)
            print("== %s (%s)" % (name, rig.workdir))
            SCENARIOS[name](rig)
            rig.finish()
            print("== %s passed" % name)
        except Skip as e:
            print("SKIPPED: %s" % e)
            if len(names) == 1:
                return SKIP
        except Failure as e:
            print("== %s FAILED: %s" % (name, e))
            if rig:
                print(rig.report())
            status = 1
        except Exception:
            print("== %s FAILED with an error in the test itself:" % name)
            traceback.print_exc(file=sys.stdout)
            if rig:
                print(rig.report())
            status = 1
        finally:
            if rig:
                rig.close()
    return status


if __name__ == "__main__":
    sys.exit(main())
