#!/usr/bin/env python3
"""The whole program's CPU while its preview banner scrolls, beside the same copy idle in the
tray, in one run on the test LAN under Xvfb with openbox and a tray.

    sudo tests/lan/e2e/run.sh bench/app/banner_cost.py --build BUILD_DIR [--seconds 10]

Prints % of one core for each stretch (from the process's own utime + stime in /proc). Built with
the sanitizers, the figures are those of the test build; a Release build gives the user's.
"""

import argparse
import os
import sys
import time

sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "lan", "e2e"))
import lanrig  # noqa: E402
import scenarios  # noqa: E402


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime and stime are fields 14 and 15 of the line; the split starts at field 3.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def load(pid, seconds):
    c0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    return 100.0 * (cpu_seconds(pid) - c0) / (time.monotonic() - t0)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", required=True)
    ap.add_argument("--seconds", type=int, default=10)
    args = ap.parse_args()
    rig = lanrig.Rig(args.build, ["TEJO", "MIRLO", "SAUCE"])
    try:
        rig.options["TEJO"] = "RESTORE=YES,PREVIEW=YES,BEEP=NO,RECUPERAR_MENSAJES=YES"
        tejo = rig.program("TEJO")
        time.sleep(1.0)  # start-up settles
        idle = load(tejo.pid, args.seconds)
        scenarios.cli_send(rig, "SAUCE", "SAUCE", "tejo", "banner")
        rig.desk.banner_of(tejo.pid)
        banner = load(tejo.pid, args.seconds)
        print("program in the tray, idle   %6.2f %% of one core over %d s" % (idle, args.seconds))
        print("program showing the banner  %6.2f %% of one core over %d s" % (banner, args.seconds))
        print("the banner's own cost       %6.2f %% of one core" % (banner - idle))
        rig.finish()
    except lanrig.Skip as e:
        print("SKIPPED: %s" % e)
        return lanrig.SKIP
    finally:
        rig.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
