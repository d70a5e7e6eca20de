"""The rig of the end-to-end runs: a test LAN of network namespaces, one X display for all hosts,
real processes on the hosts, a user at the keyboard (xdotool), and observations with deadlines.

Shared by the scenario tests (tests/lan/e2e) and the latency benchmark (bench/lan).
Nothing here ever sends on the machine's own interfaces: every program runs inside a namespace
of the test LAN, whose only link is a bridge in a namespace of its own.
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time

SKIP = 77

REPO = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", ".."))

# The workgroup of every test host (the harness's default machine configuration).
WORKGROUP = "PRUEBAS"

PALETTE_SENT = 2
PALETTE_RECEIVED = 3
PALETTE_SECURE = 4
PALETTE_SYSTEM = 5


class Skip(Exception):
    """The run cannot take place on this machine; the text says why."""


class Failure(Exception):
    """A scenario observed something other than what it expected."""


def now():
    # CLOCK_MONOTONIC, the clock the test host stamps its lines with.
    return time.monotonic()


def _die_with_parent():
    # A child that outlives a killed driver would keep a namespace busy; PR_SET_PDEATHSIG
    # survives the exec chain of "ip netns exec ... unshare ... sh -c exec".
    try:
        libc = ctypes.CDLL("libc.so.6", use_errno=True)
        libc.prctl(1, signal.SIGKILL, 0, 0, 0)  # PR_SET_PDEATHSIG
    except OSError:
        pass
    os.setpgrp()


def require_tools(*names):
    missing = [n for n in names if shutil.which(n) is None]
    if missing:
        raise Skip("missing tools: " + ", ".join(missing))


def run_quiet(argv, check=True, env=None, timeout=20):
    r = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env,
                       timeout=timeout)
    if check and r.returncode != 0:
        raise RuntimeError("%s failed (%d): %s" % (" ".join(argv), r.returncode,
                                                   r.stderr.decode(errors="replace").strip()))
    return r


def wait_until(predicate, timeout, interval=0.02, what="condition"):
    """Polls `predicate` until it returns something true or `timeout` seconds pass."""
    deadline = now() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if now() >= deadline:
            raise Failure("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# --------------------------------------------------------------------------------------------
# Output of a process, line by line, with the time each line was read.

class Stream:
    def __init__(self, pipe):
        self.records = []  # (time read, text)
        self.closed = False
        self._cond = threading.Condition()
        self._thread = threading.Thread(target=self._pump, args=(pipe,), daemon=True)
        self._thread.start()

    def _pump(self, pipe):
        for raw in iter(pipe.readline, b""):
            t = now()
            line = raw.decode("utf-8", errors="replace").rstrip("\n")
            with self._cond:
                self.records.append((t, line))
                self._cond.notify_all()
        with self._cond:
            self.closed = True
            self._cond.notify_all()

    def wait_for(self, predicate, timeout, start=0):
        """The first record from index `start` on for which predicate(time, text) holds, or None
        when `timeout` seconds pass (or the stream ends) first."""
        deadline = now() + timeout
        i = start
        with self._cond:
            while True:
                while i < len(self.records):
                    t, line = self.records[i]
                    if predicate(t, line):
                        return self.records[i]
                    i += 1
                left = deadline - now()
                if left <= 0 or self.closed:
                    return None
                self._cond.wait(left)

    def snapshot(self):
        with self._cond:
            return list(self.records)


# --------------------------------------------------------------------------------------------
# The test LAN

class TestLan:
    """The test LAN that tests/lan/testlan.sh built (the shell that sourced it runs this driver
    and tears the LAN down when the driver ends, whatever way it ends): a bridge in a namespace
    of its own and one namespace per host. A command runs on a host as testlan_run runs it:
    inside the host's namespace, with the host's name (a UTS namespace of its own) and the
    host's machine configuration."""

    def __init__(self, hosts):
        self.id = os.environ.get("TESTLAN_ID")
        self.dir = os.environ.get("TESTLAN_DIR")
        if not self.id or not self.dir:
            raise Failure("no test LAN: run this through run.sh, which builds it with "
                          "tests/lan/testlan.sh")
        self.hosts = list(hosts)
        for host in self.hosts:
            r = subprocess.run(["ip", "netns", "pids", self.ns(host)], stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
            if r.returncode != 0:
                raise Failure("the test LAN has no host %s" % host)

    def ns(self, host):
        return "%s-%s" % (self.id, host.lower())

    def conf(self, host):
        return os.path.join(self.dir, host.lower() + ".conf")

    def command(self, host, argv):
        """argv run on `host`."""
        return ["ip", "netns", "exec", self.ns(host), "unshare", "--uts", "sh", "-c",
                'hostname "$0" && exec "$@"', host.lower()] + list(argv)

    def address(self, host):
        """The host's IPv4 address on the test LAN."""
        r = run_quiet(["ip", "-n", self.ns(host), "-o", "-4", "addr", "show", "dev", "eth0"])
        return r.stdout.decode().split()[3].split("/")[0]

    def close(self):
        pass  # the harness owns the namespaces


# --------------------------------------------------------------------------------------------
# The shared X display

class Display:
    """The desk of tests/support/xvfb_desk.sh (Xvfb, openbox, the tray host at the bottom, a key
    for every letter a user types), started through desk_up.sh; or the user's own display (then
    nothing is started). Hosts reach it through its socket file in /tmp/.X11-unix: abstract X
    sockets belong to the network namespace of the server."""

    DESK_UP = os.path.join(REPO, "tests", "support", "desk_up.sh")

    def __init__(self, own_display=None, logdir=None, size="1280x800"):
        self.procs = []
        self.logdir = logdir
        if own_display:
            self.name = own_display
            return
        require_tools("bash")
        # The desk lasts as long as its standard input stays open: it goes with this process,
        # however this process ends.
        desk = subprocess.Popen(["bash", self.DESK_UP, size], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, stderr=self._log("desk"),
                                preexec_fn=os.setpgrp)
        self.procs.append(desk)
        said = []
        for raw in iter(desk.stdout.readline, b""):
            line = raw.decode(errors="replace").strip()
            if line.startswith("DISPLAY="):
                self.name = line.split("=", 1)[1]
                return
            said.append(line)
        code = desk.wait()
        self.procs = []
        if code == SKIP:
            raise Skip("no desk: " + " ".join(said))
        raise Failure("the desk did not start (status %d): %s" % (code, " ".join(said)))

    def _log(self, name):
        if not self.logdir:
            return subprocess.DEVNULL
        return open(os.path.join(self.logdir, name + ".log"), "wb")

    def env(self, base=None):
        e = dict(base if base is not None else os.environ)
        e["DISPLAY"] = self.name
        return e

    def close(self):
        for p in reversed(self.procs):
            if p.stdin:
                # The desk ends what it started once its input closes.
                p.stdin.close()
                try:
                    p.wait(30)
                except subprocess.TimeoutExpired:
                    pass
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(3)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait()
        self.procs = []


# --------------------------------------------------------------------------------------------
# Processes on the hosts

SANITIZER_MARKS = ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:",
                   "ERROR: UndefinedBehaviorSanitizer")


class HostProcess:
    """One process on one host, its standard output observed line by line, its standard error
    kept in a file (sanitizer reports land there)."""

    def __init__(self, rig, host, label, argv, stdin=False):
        self.rig = rig
        self.host = host
        self.label = label
        self.argv = list(argv)
        self.err_path = os.path.join(rig.workdir, "%s-%s.stderr" % (host.lower(), label))
        err = open(self.err_path, "wb")
        self.proc = subprocess.Popen(rig.lan.command(host, argv), env=rig.host_env(host),
                                     stdin=subprocess.PIPE if stdin else subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=err,
                                     preexec_fn=_die_with_parent)
        err.close()
        self.pid = self.proc.pid
        self.out = Stream(self.proc.stdout)
        self.started = now()

    def alive(self):
        return self.proc.poll() is None

    @staticmethod
    def parse(t, line):
        """The Entry a line of output reports, or None (other output)."""
        return None

    def entries(self, start=0):
        return [e for e in (self.parse(t, l) for t, l in self.out.snapshot()[start:]) if e]

    def wait_entry(self, match, timeout, start=0):
        """The first entry from output line `start` on that `match` accepts, or None."""
        def pred(t, l):
            e = self.parse(t, l)
            return e is not None and match(e)
        r = self.out.wait_for(pred, timeout, start)
        return self.parse(*r) if r else None

    def mark(self):
        """Index from which later waits look, so an earlier line is never taken for a new one."""
        return len(self.out.snapshot())

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self, grace=3.0):
        if self.alive():
            self.proc.terminate()
            if self.wait_exit(grace) is None:
                os.killpg(self.proc.pid, signal.SIGKILL)
                self.proc.wait()

    def stderr_text(self):
        try:
            with open(self.err_path, "rb") as f:
                return f.read().decode("utf-8", errors="replace")
        except OSError:
            return ""

    def sanitizer_report(self):
        text = self.stderr_text()
        return any(m in text for m in SANITIZER_MARKS)

    def describe(self, t0):
        lines = ["--- %s on %s (pid %d, %s) ---" % (
            self.label, self.host, self.pid,
            "running" if self.alive() else "exit %s" % self.proc.returncode)]
        for t, text in self.out.snapshot():
            lines.append("  %+8.3f  %s" % (t - t0, text))
        err = self.stderr_text().strip()
        if err:
            tail = err.splitlines()[-40:]
            lines.append("  stderr (last %d lines):" % len(tail))
            lines.extend("    " + l for l in tail)
        return "\n".join(lines)


def unescape_field(s):
    """Inverse of the one-line escaping of the listener and the test host
    (\\\\, \\n, \\t, \\xHH)."""
    out = []
    i = 0
    while i < len(s):
        c = s[i]
        if c == "\\" and i + 1 < len(s):
            n = s[i + 1]
            if n == "n":
                out.append("\n"); i += 2; continue
            if n == "t":
                out.append("\t"); i += 2; continue
            if n == "\\":
                out.append("\\"); i += 2; continue
            if n == "x" and re.fullmatch(r"[0-9A-Fa-f]{2}", s[i + 2:i + 4]):
                out.append(chr(int(s[i + 2:i + 4], 16))); i += 4; continue
        out.append(c)
        i += 1
    return "".join(out)


class Entry:
    """One conversation line a copy of the program appended, or one message a listener printed."""

    def __init__(self, t, channel, first, second, text, palette=None, time=None):
        self.t = t            # CLOCK_MONOTONIC seconds
        self.time = time      # the program's time column ("------" for a recovered entry)
        self.channel = channel  # "messenger", "secure", or "view" for the program
        self.first = first    # sender (or VESPRA)
        self.second = second  # recipient
        self.text = text
        self.palette = palette

    def __repr__(self):
        return "Entry(%s, %r, %r, %r, palette=%s)" % (self.channel, self.first, self.second,
                                                     self.text, self.palette)


class Program(HostProcess):
    """A copy of the program on a host: the test host binary, which runs the program's own
    start-up and window and prints every conversation entry it appends:
        LINE <tab> steady-ns <tab> palette <tab> time <tab> first <tab> second <tab> text
    and READY once the event loop runs."""

    def __init__(self, rig, host, label="pelmora"):
        super().__init__(rig, host, label, [rig.testhost], stdin=True)
        self.window = None

    def wait_ready(self, timeout=30):
        r = self.out.wait_for(lambda t, l: l.startswith("READY"), timeout)
        if r is None:
            raise Failure("%s on %s did not start" % (self.label, self.host))
        return r

    @staticmethod
    def parse(t, line):
        if not line.startswith("LINE\t"):
            return None
        parts = line.split("\t")
        if len(parts) != 7 or not parts[1].isdigit() or not parts[2].isdigit():
            return None
        return Entry(int(parts[1]) / 1e9, "view", unescape_field(parts[4]),
                     unescape_field(parts[5]), unescape_field(parts[6]), int(parts[2]),
                     unescape_field(parts[3]))

    def texts(self):
        """The captions the test host reported when the window was built: {control: text}."""
        out = {}
        for _, line in self.out.snapshot():
            parts = line.split("\t")
            if len(parts) == 3 and parts[0] == "TEXT":
                out[parts[1]] = unescape_field(parts[2])
        return out

    def kill(self):
        """Ends the copy at once, as a power cut or kill -9 would: no shutdown runs."""
        if self.alive():
            os.killpg(self.proc.pid, signal.SIGKILL)
            self.proc.wait()


    def quit(self, timeout=10):
        """Ends the copy the way the tray menu's close entry does; a copy that does not end in
        time is killed and reported."""
        if not self.alive():
            return self.proc.returncode
        try:
            self.proc.stdin.write(b"quit\n")
            self.proc.stdin.flush()
        except (BrokenPipeError, ValueError):
            pass
        code = self.wait_exit(timeout)
        if code is None:
            self.stop()
            raise Failure("%s on %s did not end within %d s of the close entry"
                          % (self.label, self.host, timeout))
        return code


class Listener(HostProcess):
    """pelmora-cli listen: a machine without the program (it holds only "messngr")."""

    def __init__(self, rig, host, label="listen", extra=()):
        super().__init__(rig, host, label, [rig.cli, "listen"] + list(extra))

    @staticmethod
    def parse(t, line):
        parts = line.split("\t")
        if len(parts) != 4:
            return None
        return Entry(t, parts[0], unescape_field(parts[1]), unescape_field(parts[2]),
                     unescape_field(parts[3]))


    def wait_holding(self, timeout=10):
        """Waits until the companion holds its slots: it says so on standard error."""
        def holding():
            if "listening" in self.stderr_text():
                return True
            if not self.alive():
                raise Failure("listener on %s ended at once:\n%s" % (self.host,
                                                                    self.stderr_text()))
            return False
        wait_until(holding, timeout, what="the listener on " + self.host)


# --------------------------------------------------------------------------------------------
# The user at the keyboard

class Desk:
    """Drives the copies' windows as a user would, through XTEST (xdotool): one keyboard for the
    whole display, so actions are strictly one after the other."""

    TITLE = "Pelmora 0.31b"

    # Centres of the controls the user clicks, in the window's client area (the window has a
    # fixed layout). Clicking rather than Alt+letter: a mnemonic only starts the button's
    # animated click, and keys typed during the animation would go to the button.
    BRECEPTOR = (160, 225)   # "&Destino", in PNombres
    CHBGRUPOS = (150, 201)   # "&Grupos"
    BTEXTO = (384, 230)      # "&Escribir mensaje"
    BPING = (233, 251)       # "P", ping the selected name
    CBNOMBRES = (160, 250)   # the names list

    def __init__(self, display):
        self.display = display
        self.env = display.env()

    def xdo(self, *args, check=True, timeout=30):
        r = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout)
        if check and r.returncode != 0:
            raise Failure("xdotool %s failed: %s" % (" ".join(map(str, args)),
                                                      r.stderr.decode(errors="replace")))
        return r.stdout.decode(errors="replace")

    def windows_of(self, pid, visible=False, name=None):
        # Conditions of xdotool search are or-ed unless --all.
        args = ["search", "--all"]
        if visible:
            args.append("--onlyvisible")
        args += ["--pid", pid]
        if name is not None:
            args += ["--name", name]
        out = self.xdo(*args, check=False)
        return [int(w) for w in out.split()]

    def geometry(self, wid):
        out = self.xdo("getwindowgeometry", "--shell", wid, check=False)
        g = dict(l.split("=", 1) for l in out.splitlines() if "=" in l)
        return int(g.get("WIDTH", 0)), int(g.get("HEIGHT", 0))

    def tray_icon_of(self, pid, timeout=15):
        """The copy's tray icon: a small window of its pid embedded in the tray host."""
        def find():
            for wid in self.windows_of(pid, visible=True):
                w, h = self.geometry(wid)
                if 0 < w <= 64 and 0 < h <= 64:
                    return wid
            return None
        return wait_until(find, timeout, 0.05, "the tray icon of pid %d" % pid)

    def main_window_of(self, pid, timeout=15):
        def find():
            ws = self.windows_of(pid, visible=True, name="^%s$" % re.escape(self.TITLE))
            return ws[0] if ws else None
        return wait_until(find, timeout, 0.05, "the main window of pid %d" % pid)

    def open_window(self, program):
        """Brings the copy's window out of the tray by clicking its icon, as the user would."""
        if program.window is None:
            icon = self.tray_icon_of(program.pid)
            self.xdo("mousemove", "--window", icon, 5, 5, "click", 1)
            program.window = self.main_window_of(program.pid)
        self.focus(program)
        return program.window

    def focus(self, program):
        self.xdo("windowactivate", "--sync", program.window)
        wait_until(lambda: self.xdo("getactivewindow", check=False).strip()
                   == str(program.window), 5, what="focus on the window of " + program.host)

    def click(self, program, where):
        self.xdo("mousemove", "--window", program.window, where[0], where[1], "click", 1)

    def keys(self, *keys):
        self.xdo("key", "--clearmodifiers", *keys)

    def type(self, text):
        # `type` takes every argument after it as text: it cannot be chained with other commands.
        # Characters beyond ASCII have keys of their own on the desk (xvfb_desk.sh).
        self.xdo("type", "--delay", 4, "--", text)

    def send(self, program, destination, text):
        """"&Destino", the destination, Enter (the compose box opens), the text, Enter.
        Returns the sender's echo line, whose stamp is the moment Enter was handled."""
        self.open_window(program)
        mark = program.mark()
        self.click(program, self.BRECEPTOR)
        self.type(destination)
        self.keys("Return")
        self.type(text)
        self.keys("Return")
        echo = program.wait_entry(lambda e: e.palette == PALETTE_SENT and e.text == text, 10,
                                  mark)
        if echo is None:
            raise Failure("no echo of %r on %s after typing it" % (text, program.host))
        return echo

    def wait_box(self, pid, timeout):
        """A message box of that process: a visible top-level window larger than a tray icon."""
        def find():
            for wid in self.windows_of(pid, visible=True):
                w, h = self.geometry(wid)
                if w > 64 and h > 40:
                    return wid
            return None
        return wait_until(find, timeout, 0.05, "a message box of pid %d" % pid)

    # The preview banner: the program's small window in the screen's top right corner.
    BANNER_SIZE = (73, 17)
    BANNER_RIGHT_MARGIN = 54

    def placement(self, wid):
        """(x, y, width, height) of a window on the screen."""
        out = self.xdo("getwindowgeometry", "--shell", wid, check=False)
        g = dict(l.split("=", 1) for l in out.splitlines() if "=" in l)
        return tuple(int(g.get(k, -1)) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def banner_of(self, pid, timeout=10):
        """The copy's preview banner once it shows."""
        def find():
            for wid in self.windows_of(pid, visible=True):
                if self.geometry(wid) == self.BANNER_SIZE:
                    return wid
            return None
        return wait_until(find, timeout, 0.05, "the preview banner of pid %d" % pid)

    def banner_shown(self, pid):
        return any(self.geometry(w) == self.BANNER_SIZE for w in self.windows_of(pid, visible=True))

    def main_window_shown(self, pid):
        return bool(self.windows_of(pid, visible=True, name="^%s$" % re.escape(self.TITLE)))

    def wm_state(self, wid):
        """The window's _NET_WM_STATE as xprop prints it."""
        r = run_quiet(["xprop", "-id", str(wid), "_NET_WM_STATE"], check=False, env=self.env)
        return r.stdout.decode(errors="replace")

    def screen_size(self):
        w, h = self.xdo("getdisplaygeometry").split()
        return int(w), int(h)

    def active_window(self):
        out = self.xdo("getactivewindow", check=False).strip()
        return int(out) if out.isdigit() else None

    def user_window(self, title):
        """A window of another program (xmessage), focused, as the one the user is typing in.
        It ends with the display."""
        require_tools("xmessage")
        proc = subprocess.Popen(["xmessage", "-title", title, "-geometry", "300x80+200+300",
                                 "-buttons", "", "Pelmora no es esta ventana"],
                                env=self.env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        self.display.procs.append(proc)
        # Xt programs set no _NET_WM_PID: found by title.
        def find():
            out = self.xdo("search", "--onlyvisible", "--name", "^%s$" % re.escape(title),
                           check=False)
            ws = [int(w) for w in out.split()]
            return ws[0] if ws else None
        wid = wait_until(find, 10, 0.05, "the window of xmessage")
        self.xdo("windowactivate", "--sync", wid)
        wait_until(lambda: self.active_window() == wid, 5, what="focus on " + title)
        return wid

    def ping(self, program, destination, by_key=False):
        """Selects the destination by typing it (then Esc leaves the compose box unused) and
        clicks "P" beside the name selector, or presses Alt+P."""
        self.open_window(program)
        self.click(program, self.BRECEPTOR)
        self.type(destination)
        self.keys("Return", "Escape")
        if by_key:
            self.keys("alt+p")
        else:
            self.click(program, self.BPING)


# --------------------------------------------------------------------------------------------
# The rig: LAN + display + processes, with one teardown for all

class Rig:
    def __init__(self, build_dir, hosts, workdir=None, own_display=None, testhost=None,
                 real_program=None):
        self.build_dir = os.path.abspath(build_dir)
        self.cli = os.path.join(self.build_dir, "tools", "cli", "pelmora-cli")
        self.testhost = testhost or os.path.join(self.build_dir, "tests", "lan", "e2e",
                                                 "pelmora_testhost")
        self.real_program = real_program or os.path.join(self.build_dir, "src", "app", "pelmora")
        # Groups a copy starts with, "NAME=MEMBER,MEMBER" per host (the test host's seam).
        self.groups = {}
        # Options a copy starts with, "RESTORE=YES,PREVIEW=NO,..." per host (the same seam).
        self.options = {}
        for exe in (self.cli, self.testhost):
            if not os.access(exe, os.X_OK):
                raise Failure("not built: " + exe)
        # A fresh folder per run: homes left by an earlier run would carry its settings. Only a
        # folder an earlier run made (it holds the marker) is emptied.
        if workdir:
            marker = os.path.join(workdir, ".pelmora-e2e")
            if os.path.isdir(workdir) and os.listdir(workdir):
                if not os.path.exists(marker):
                    raise Failure("work folder %s is not empty and not from an earlier run"
                                  % workdir)
                shutil.rmtree(workdir)
            os.makedirs(workdir, exist_ok=True)
        self.workdir = workdir or tempfile.mkdtemp(prefix="pelmora-e2e-")
        open(os.path.join(self.workdir, ".pelmora-e2e"), "w").close()
        self.t0 = now()
        self.procs = []
        self.lan = None
        self.display = None
        try:
            self.lan = TestLan(hosts)
            self.display = Display(own_display, self.workdir)
        except BaseException:
            self.close()
            raise
        self.desk = Desk(self.display)
        for host in hosts:
            self._prepare_host(host)

    def home(self, host):
        return os.path.join(self.workdir, "home-" + host.lower())

    def runtime_dir(self, host):
        return os.path.join(self.home(host), "run")

    def _prepare_host(self, host):
        home = self.home(host)
        os.makedirs(os.path.join(home, ".config"), exist_ok=True)
        os.makedirs(self.runtime_dir(host), mode=0o700, exist_ok=True)
        os.chmod(self.runtime_dir(host), 0o700)

    def host_env(self, host):
        home = self.home(host)
        e = self.display.env()
        e.update({
            "HOME": home,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            # The lost-messages file: per host, whatever the runner's own environment says.
            "XDG_STATE_HOME": os.path.join(home, ".local", "state"),
            "XDG_RUNTIME_DIR": self.runtime_dir(host),
            "PELMORA_MACHINE_CONF": self.lan.conf(host),
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
            "QT_QPA_PLATFORM": "xcb",
            "ASAN_OPTIONS": os.environ.get("ASAN_OPTIONS",
                                           "halt_on_error=1:detect_leaks=1:exitcode=23"),
            # Leaks inside the system libraries Qt loads are the project's known ones.
            "LSAN_OPTIONS": os.environ.get("LSAN_OPTIONS", "suppressions=%s:print_suppressions=0"
                                           % os.path.join(REPO, "scripts", "lsan.supp")),
        })
        e.pop("SESSION_MANAGER", None)
        if host in self.groups:
            e["PELMORA_TESTHOST_GROUP"] = self.groups[host]
        if host in self.options:
            e["PELMORA_TESTHOST_OPTIONS"] = self.options[host]
        return e

    def program(self, host, label="pelmora", ready=True):
        p = Program(self, host, label)
        self.procs.append(p)
        if ready:
            p.wait_ready()
        return p

    def listener(self, host, label="listen", extra=()):
        p = Listener(self, host, label, extra)
        self.procs.append(p)
        p.wait_holding()
        return p

    def screenshot(self, name):
        """The whole display as a PNG in the work folder; its path, or None."""
        if shutil.which("import") is None:
            return None
        path = os.path.join(self.workdir, name + ".png")
        r = subprocess.run(["import", "-window", "root", path], env=self.display.env(),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=20)
        return path if r.returncode == 0 else None

    def report(self):
        lines = [p.describe(self.t0) for p in self.procs]
        if self.display:
            shot = self.screenshot("failure")
            if shot:
                lines.append("screen at the failure: " + shot)
        return "\n".join(lines)

    def finish(self):
        """Ends every copy through its close entry and fails on a copy that crashed, hung or
        produced a sanitizer report."""
        problems = []
        for p in self.procs:
            if isinstance(p, Program) and p.alive():
                try:
                    code = p.quit()
                    if code not in (0,):
                        problems.append("%s on %s ended with %s" % (p.label, p.host, code))
                except Failure as e:
                    problems.append(str(e))
        for p in self.procs:
            p.stop()
            if p.sanitizer_report():
                problems.append("sanitizer report from %s on %s" % (p.label, p.host))
        if problems:
            raise Failure("; ".join(problems))

    def close(self):
        for p in self.procs:
            try:
                p.stop(1.0)
            except Exception:
                pass
        if self.display:
            self.display.close()
        if self.lan:
            self.lan.close()
