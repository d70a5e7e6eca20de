#!/usr/bin/env python3
"""Delivery latency between real copies of the program on the three-host test LAN.

The time from Enter on one host to the line on the other: the sender's echo entry is appended
while Enter is handled, the receiver's entry when the message is shown; both copies stamp their
lines with CLOCK_MONOTONIC, so a latency is the difference of the two stamps (for the listener,
the moment the driver read its line).

    answered  MIRLO -> TEJO   TEJO's copy holds "messngr": YES, messenger datagram
    secure    TEJO -> MIRLO   another process took "messngr" on MIRLO first: NO, "SEGURO"
    silent    TEJO -> SAUCE   no program on SAUCE: the query times out, messenger datagram

Each path: N messages one after the other (each waits for the previous to arrive), then a
burst of B messages typed without waiting, checked for loss and duplicates.

With --refill both copies' conversation panes fill their display afresh for every redraw (the
reference the normal redraw is held against), for a figure to set beside the normal one.

    bench/lan/run  (or: tests/lan/e2e/run.sh bench/lan/latency.py --build DIR [--count N])
"""

import argparse
import json
import os
import statistics
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The rig is imported from the source tree, which must stay free of byte-code caches.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "lan", "e2e"))
import lanrig  # noqa: E402
from lanrig import Failure, Skip, SKIP, PALETTE_SENT  # noqa: E402

HOSTS = ["TEJO", "MIRLO", "SAUCE"]


def summary(values):
    v = sorted(values)
    if not v:
        return {}
    q = statistics.quantiles(v, n=4) if len(v) >= 2 else [v[0]] * 3
    return {"n": len(v), "median": statistics.median(v), "p25": q[0], "p75": q[2],
            "min": v[0], "max": v[-1]}


def fmt(s):
    if not s:
        return "no data"
    return ("n=%3d  median %7.1f ms  IQR %7.1f..%7.1f ms  min %7.1f  max %7.1f ms"
            % (s["n"], s["median"] * 1e3, s["p25"] * 1e3, s["p75"] * 1e3, s["min"] * 1e3,
               s["max"] * 1e3))


def arrival_of(observer, text, timeout, start):
    return observer.wait_entry(lambda e: e.text == text and e.palette != PALETTE_SENT, timeout,
                               start)


def one_by_one(rig, sender, receiver, destination, count, tag, timeout):
    latencies = []
    for i in range(count):
        text = "%s %03d" % (tag, i)
        mark = receiver.mark()
        echo = rig.desk.send(sender, destination, text)
        got = arrival_of(receiver, text, timeout, mark)
        if got is None:
            raise Failure("%s: %r did not arrive" % (tag, text))
        latencies.append(got.t - echo.t)
    return latencies


def keysyms(text):
    names = {" ": "space", "-": "minus"}
    return [names.get(c, c) for c in text]


def put_away(rig, program):
    """Minimises the copy's window to the tray. A shown window comes forward at every arrival,
    as a user expects, and would take the keyboard from the copy the burst is typed into."""
    if getattr(program, "window", None) is None:  # a listener, or a copy in the tray
        return
    rig.desk.xdo("windowminimize", program.window)
    lanrig.wait_until(lambda: not rig.desk.main_window_shown(program.pid), 5,
                      what="the window of %s in the tray" % program.host)
    program.window = None


def burst(rig, sender, receiver, destination, count, tag, timeout):
    """Selects the destination once, then types `count` messages in one go: each is its text,
    Enter, and the space bar on "&Escribir mensaje" (which has the focus after a send) to open
    the compose box again."""
    desk = rig.desk
    texts = ["%s %03d" % (tag, i) for i in range(count)]
    put_away(rig, receiver)
    desk.open_window(sender)
    mark_s, mark_r = sender.mark(), receiver.mark()
    desk.click(sender, desk.BRECEPTOR)
    desk.type(destination)
    desk.keys("Return")  # the compose box opens
    seq = []
    for i, text in enumerate(texts):
        seq += keysyms(text) + ["Return"]
        if i + 1 < count:
            seq.append("space")
    desk.xdo("key", "--delay", 1, *seq, timeout=120)
    echoes = {}
    deadline = time.monotonic() + timeout
    while len(echoes) < count and time.monotonic() < deadline:
        echoes = {e.text: e for e in sender.entries(mark_s) if e.palette == PALETTE_SENT}
        time.sleep(0.05)
    if len(echoes) < count:
        missing = [t for t in texts if t not in echoes]
        raise Failure("%s: only %d of %d messages were sent (focus lost while typing?); "
                      "first missing %r" % (tag, len(echoes), count, missing[:3]))
    arrivals = {}
    while time.monotonic() < deadline:
        got = [e for e in receiver.entries(mark_r) if e.text.startswith(tag + " ")
               and e.palette != PALETTE_SENT]
        arrivals = {}
        for e in got:
            arrivals.setdefault(e.text, []).append(e)
        if len(arrivals) >= count:
            break
        time.sleep(0.05)
    time.sleep(2.5)  # past the duplicate windows: anything arriving twice would show now
    got = [e for e in receiver.entries(mark_r) if e.text.startswith(tag + " ")
           and e.palette != PALETTE_SENT]
    arrivals = {}
    for e in got:
        arrivals.setdefault(e.text, []).append(e)
    lost = [t for t in texts if t not in arrivals]
    duplicated = [t for t, es in arrivals.items() if len(es) > 1]
    latencies = [arrivals[t][0].t - echoes[t].t for t in texts if t in arrivals]
    first = min(e.t for e in echoes.values())
    last = max(es[0].t for es in arrivals.values()) if arrivals else first
    typed = max(e.t for e in echoes.values()) - first
    return {"latency": summary(latencies), "lost": lost, "duplicated": duplicated,
            "typing_s": typed, "first_echo_to_last_arrival_s": last - first}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--count", type=int, default=20)
    ap.add_argument("--burst", type=int, default=100)
    ap.add_argument("--workdir")
    ap.add_argument("--testhost", help="the test host binary (default: the build's)")
    ap.add_argument("--json")
    ap.add_argument("--refill", action="store_true",
                    help="panes fill their display afresh for every redraw")
    args = ap.parse_args()
    if args.refill:
        os.environ["PELMORA_TESTHOST_REFILL"] = "1"
        print("panes fill their display afresh for every redraw (reference)", flush=True)
    rig = None
    try:
        rig = lanrig.Rig(args.build, HOSTS, workdir=args.workdir, testhost=args.testhost)
        # Both copies stay where they are when messages arrive: a receiving window coming forward
        # would take the keyboard from the copy the benchmark types into.
        for host in ("TEJO", "MIRLO"):
            rig.options[host] = "RESTORE=NO,PREVIEW=NO"
        holder = rig.listener("MIRLO", "holder")
        tejo = rig.program("TEJO")
        mirlo = rig.program("MIRLO")
        sauce = rig.listener("SAUCE")
        paths = [("answered", mirlo, tejo, "tejo", 3.0),
                 ("secure", tejo, mirlo, "mirlo", 3.0),
                 ("silent", tejo, sauce, "sauce", 5.0)]
        results = {}
        for name, snd, rcv, dest, timeout in paths:
            lat = one_by_one(rig, snd, rcv, dest, args.count, name, timeout)
            results[name] = {"one_by_one": summary(lat)}
            print("%-9s one by one  %s" % (name, fmt(results[name]["one_by_one"])), flush=True)
        for name, snd, rcv, dest, timeout in paths:
            b = burst(rig, snd, rcv, dest, args.burst, name + "-burst", 60)
            results[name]["burst"] = b
            print("%-9s burst of %d: lost %d, duplicated %d, typed in %.2f s, last arrival "
                  "%.2f s after the first Enter; %s"
                  % (name, args.burst, len(b["lost"]), len(b["duplicated"]), b["typing_s"],
                     b["first_echo_to_last_arrival_s"], fmt(b["latency"])), flush=True)
        if holder.entries():
            raise Failure("the holder of \"messngr\" on MIRLO received %d messages"
                          % len(holder.entries()))
        rig.finish()
        if args.json:
            with open(args.json, "w") as f:
                json.dump(results, f, indent=2)
        bad = [n for n, r in results.items() if r["burst"]["lost"] or r["burst"]["duplicated"]]
        return 1 if bad else 0
    except Skip as e:
        print("SKIPPED: %s" % e)
        return SKIP
    except Failure as e:
        print("FAILED: %s" % e)
        if rig:
            print(rig.report())
        return 1
    finally:
        if rig:
            rig.close()


if __name__ == "__main__":
    sys.exit(main())
