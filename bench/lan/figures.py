#!/usr/bin/env python3
"""What Pelmora costs while it waits and while its banner scrolls, whether a workgroup of 1,000
copies answers a ping in full, and the answered path beside its floor: every figure in one run on
the three-host test LAN (root, Xvfb with openbox and a tray host).

    idle      TEJO in the tray, 60 s after start-up settled: clock ticks and wake-ups (voluntary
              and involuntary context switches) of the main thread, ticks of the whole process
    banner    the same copy showing its banner: % of a core for the program and for the X
              server, wake-ups of the main thread per second
    answered  MIRLO -> TEJO one message at a time (TEJO's copy holds "messngr"), beside
              bench/lan/floor.cpp doing the same three hops between the same two hosts
    1,000     a stand-in on SAUCE answers every ping for 1,000 copies (COPIA0000 and COPIA0001
              with the same id); `pelmora-cli ping` on MIRLO three times, and the ping of TEJO's
              options dialog (three pings 100 ms apart), whose names list OK stores

    cmake --build BUILD --target bench_lan_figures     (or: tests/lan/e2e/run.sh
        bench/lan/figures.py --build BUILD --floor BUILD/bench/lan/lan_floor)

The machine's load average is printed at the start and the end; compare figures of one run.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "lan", "e2e"))
sys.path.insert(0, HERE)
import lanrig  # noqa: E402
import latency  # noqa: E402
import scenarios  # noqa: E402
from lanrig import Failure, Skip, SKIP  # noqa: E402

HOSTS = ["TEJO", "MIRLO", "SAUCE"]
TICK = os.sysconf("SC_CLK_TCK")
FLOOR_PORT = "13139"


def thread_counters(pid, tid):
    """(clock ticks, context switches) of one thread so far."""
    with open("/proc/%d/task/%d/stat" % (pid, tid)) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])
    switches = 0
    with open("/proc/%d/task/%d/status" % (pid, tid)) as f:
        for line in f:
            if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                switches += int(line.split()[1])
    return ticks, switches


def process_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])


def measure(pid, seconds, xpid=None):
    """Ticks and switches of the main thread, ticks of the process and of the X server."""
    m0, p0 = thread_counters(pid, pid), process_ticks(pid)
    x0 = process_ticks(xpid) if xpid else 0
    t0 = time.monotonic()
    time.sleep(seconds)
    elapsed = time.monotonic() - t0
    m1, p1 = thread_counters(pid, pid), process_ticks(pid)
    x1 = process_ticks(xpid) if xpid else 0
    return {"seconds": elapsed, "main_ticks": m1[0] - m0[0], "main_switches": m1[1] - m0[1],
            "process_ticks": p1 - p0, "x_ticks": x1 - x0}


def pct(ticks, seconds):
    return 100.0 * ticks / TICK / seconds


def load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def idle_and_banner(rig, args):
    rig.options["TEJO"] = "RESTORE=YES,PREVIEW=YES,BEEP=NO,RECUPERAR_MENSAJES=YES"
    tejo = rig.program("TEJO")
    time.sleep(args.settle)
    idle = measure(tejo.pid, args.idle_seconds)
    print("idle in the tray over %.0f s: main thread %d ticks (%.2f %% of a core), %.1f wake-ups/s;"
          " whole process %d ticks (%.2f %%)"
          % (idle["seconds"], idle["main_ticks"], pct(idle["main_ticks"], idle["seconds"]),
             idle["main_switches"] / idle["seconds"], idle["process_ticks"],
             pct(idle["process_ticks"], idle["seconds"])), flush=True)
    scenarios.cli_send(rig, "SAUCE", "SAUCE", "tejo", "banner")
    rig.desk.banner_of(tejo.pid)
    time.sleep(1.0)
    xpid = rig.display.procs[0].pid if rig.display.procs else None
    banner = measure(tejo.pid, args.banner_seconds, xpid)
    print("banner scrolling over %.0f s: program %.2f %% of a core (main thread %.2f %%), "
          "%.1f wake-ups/s of the main thread; X server %.2f %%"
          % (banner["seconds"], pct(banner["process_ticks"], banner["seconds"]),
             pct(banner["main_ticks"], banner["seconds"]),
             banner["main_switches"] / banner["seconds"],
             pct(banner["x_ticks"], banner["seconds"])) if xpid else "", flush=True)
    tejo.quit()
    return {"idle": idle, "banner": banner}


def floor_run(rig, args):
    answer = lanrig.HostProcess(rig, "TEJO", "floor-answer", [args.floor, "answer", FLOOR_PORT])
    rig.procs.append(answer)
    ask = None
    try:
        if not answer.out.wait_for(lambda t, l: l.startswith("READY"), 10):
            raise Failure("the floor's answering side did not start")
        ask = lanrig.HostProcess(rig, "MIRLO", "floor-ask",
                                 [args.floor, "ask", FLOOR_PORT, "tejo", str(args.count)])
        rig.procs.append(ask)
        if ask.wait_exit(60) is None:
            raise Failure("the floor's asking side did not finish")
        time.sleep(0.2)
        sent = {l.split()[1]: int(l.split()[2]) for _, l in ask.out.snapshot()
                if l.startswith("SENT ")}
        got = {l.split()[1]: int(l.split()[2]) for _, l in answer.out.snapshot()
               if l.startswith("GOT ")}
        return [(got[k] - sent[k]) / 1e9 for k in sent if k in got]
    finally:
        answer.stop(1.0)


def answered_path(rig, args):
    for host in ("TEJO", "MIRLO"):
        rig.options[host] = "RESTORE=NO,PREVIEW=NO"
    tejo = rig.program("TEJO")
    mirlo = rig.program("MIRLO")
    time.sleep(1.0)
    floors, ours = [], []
    # Taken in turns, so that a change in the machine's load falls on both.
    for round_ in range(2):
        floors += floor_run(rig, args)
        ours += latency.one_by_one(rig, mirlo, tejo, "tejo", args.count, "answered%d" % round_,
                                   3.0)
    f, p = latency.summary(floors), latency.summary(ours)
    print("answered path, floor    %s" % latency.fmt(f), flush=True)
    print("answered path, Pelmora  %s" % latency.fmt(p), flush=True)
    if f and p:
        print("Pelmora's median is %.1f times the floor's" % (p["median"] / f["median"]),
              flush=True)
    mirlo.quit()
    return tejo, {"floor": f, "pelmora": p}


COPY = re.compile(r"^COPIA\d{4}$")


def thousand(rig, args, tejo):
    standin = lanrig.HostProcess(rig, "SAUCE", "standin",
                                 [args.floor, "standin", "13138", str(args.copies),
                                  str(args.gap_us)])
    rig.procs.append(standin)
    if not standin.out.wait_for(lambda t, l: l.startswith("READY"), 10):
        raise Failure("the stand-in did not start")
    results = {"cli": []}
    for i in range(3):
        r = subprocess.run(rig.lan.command("MIRLO", [rig.cli, "ping", "--wait", "4", "PRUEBAS"]),
                           env=rig.host_env("MIRLO"), stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, timeout=60)
        names = [l.split()[0] for l in r.stdout.decode(errors="replace").splitlines() if l]
        copies = [n for n in names if COPY.match(n)]
        twice = len(copies) - len(set(copies))
        results["cli"].append((len(set(copies)), twice))
        print("pelmora-cli ping %d: %d of %d copies answered, %d listed twice"
              % (i + 1, len(set(copies)), args.copies, twice), flush=True)
    # The window: the names page's Ping asks three times, 100 ms apart; OK stores the list.
    ini = os.path.join(rig.home("TEJO"), ".config", "pelmora", "pelmora.ini")
    dlg = scenarios.open_options(rig, tejo)
    rig.desk.keys("ctrl+Tab")
    scenarios.dialog_click(rig, dlg, scenarios.OPT_BORRAR_TODOS)
    scenarios.dialog_click(rig, dlg, scenarios.OPT_PING)
    time.sleep(args.window_wait)
    scenarios.dialog_click(rig, dlg, scenarios.OPT_OK)
    scenarios.dialog_gone(rig, tejo, 30)
    lanrig.wait_until(lambda: os.path.exists(ini), 10, what="the settings file")
    names = []
    section = None
    for line in scenarios.read_text(ini).splitlines():
        if line.startswith("["):
            section = line.strip("[]")
        elif section == "NOMBRES" and "=" in line:
            names.append(line.split("=", 1)[0])
    copies = [n for n in names if COPY.match(n)]
    results["window"] = (len(set(copies)), len(copies) - len(set(copies)))
    print("window, options dialog ping: %d of %d copies in the names list, %d listed twice"
          % (len(set(copies)), args.copies, results["window"][1]), flush=True)
    standin.stop(1.0)
    return results


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--floor", required=True, help="the lan_floor program")
    ap.add_argument("--workdir")
    ap.add_argument("--count", type=int, default=25, help="messages per answered-path round")
    ap.add_argument("--settle", type=float, default=5.0)
    ap.add_argument("--idle-seconds", type=float, default=60.0)
    ap.add_argument("--banner-seconds", type=float, default=20.0)
    ap.add_argument("--copies", type=int, default=1000)
    ap.add_argument("--gap-us", type=int, default=20)
    ap.add_argument("--window-wait", type=float, default=6.0)
    ap.add_argument("--only", choices=["idle", "answered", "thousand"])
    args = ap.parse_args()
    print("start: " + load(), flush=True)
    rig = None
    try:
        rig = lanrig.Rig(args.build, HOSTS, workdir=args.workdir)
        if args.only in (None, "idle"):
            idle_and_banner(rig, args)
        if args.only in (None, "answered", "thousand"):
            tejo, _ = answered_path(rig, args) if args.only != "thousand" else (None, None)
            if args.only in (None, "thousand"):
                if tejo is None:
                    rig.options["TEJO"] = "RESTORE=NO,PREVIEW=NO"
                    tejo = rig.program("TEJO")
                thousand(rig, args, tejo)
        rig.finish()
        print("end: " + load(), flush=True)
        return 0
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
