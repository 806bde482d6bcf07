#!/usr/bin/env python3
"""Measures the clock against a bare Qt window and prints one table.

Each round starts the baseline and then the program, each on its own Xvfb with openbox (two
windows of the same size at the same place would hide each other's repaints), and both on
their own null sink of one private PulseAudio. Every run, per start:

  exec ── map ── +5 s memory ── 60 s idle: CPU, context switches, repaint lag ── set the alarm
  ── minimise: +3 s memory, title lag ── the alarm second: time-up window map, first sound
  ── stop

The clock of both is shifted with libfaketime by whole seconds, so that the alarm falls on
07:30:00 of their clock while their second boundaries stay those of the real clock, which is
what the observers here (not shifted) measure against.
"""

import argparse
import array
import datetime
import glob
import os
import random
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

MAIN_TITLE = "ｱﾗｰﾑ時計"
DIALOG_TITLE = "ｱﾗｰﾑ時刻設定"
POPUP_TITLE = "Time UP"
ALARM = datetime.time(7, 30, 0)
RATE = 48000
# From exec to the alarm second: start-up, 5 s to the memory reading, 60 s idle, the dialog,
# then about 30 s of minimised countdown (set from --idle in main()).
RING_AFTER = 100
AFTER_RING = 5
SCRIPTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts")
XSESSION = os.path.join(SCRIPTS, "xsession.sh")


def log(msg):
    print(f"bench: {msg}", file=sys.stderr, flush=True)


def sleep_until(t):
    while True:
        d = t - time.time()
        if d <= 0:
            return
        time.sleep(min(d, 0.5))


def percentile(values, p):
    if not values:
        return None
    s = sorted(values)
    k = (len(s) - 1) * p / 100
    lo = int(k)
    hi = min(lo + 1, len(s) - 1)
    return s[lo] + (s[hi] - s[lo]) * (k - lo)


class Processes:
    """Everything started here, stopped by PID at the end."""

    def __init__(self):
        self.procs = []

    def start(self, args, **kw):
        p = subprocess.Popen(args, **kw)
        self.procs.append(p)
        return p

    def stop_all(self):
        # In reverse order, one by one: clients go before their servers.
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


class Session:
    """scripts/xsession.sh run with the options, kept running until stop_all: Xvfb on a free
    display with openbox (display, env, xdotool), and with --pulse a PulseAudio (server)."""

    def __init__(self, procs, *options):
        report = 'printf "%s\\n" up "${DISPLAY-}" "${PULSE_SERVER-}"; exec sleep infinity'
        p = procs.start([XSESSION, "run", *options, "--", "sh", "-c", report],
                        stdout=subprocess.PIPE, text=True)
        up, self.display, self.server = (p.stdout.readline().strip() for _ in range(3))
        if up != "up":
            raise RuntimeError("scripts/xsession.sh run " + " ".join(options) + " failed")
        self.env = dict(os.environ, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Sink:
    """Reads a null sink's monitor and notes where the sound starts after silence."""

    recorders = 0  # of all the sinks, each recorded by a parec of its own

    def __init__(self, procs, server, name):
        env = dict(os.environ, PULSE_SERVER=server)
        self.proc = procs.start(["parec", "-d", name + ".monitor", "--raw", "--format=s16le",
                                 f"--rate={RATE}", "--channels=1", "--latency-msec=5"],
                                env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.start = None  # real time of sample 0, the earliest a read could have been
        self.onsets = []  # sample indices
        threading.Thread(target=self._read, daemon=True).start()
        # A null sink renders ahead as far as its latency allows, 2 s until a stream asks for
        # less, and what it rendered ahead would make sample 0 seem earlier than it was.
        # Suspended and resumed once the recorder asks for 5 ms, it starts again from the present.
        pactl = lambda *a: subprocess.run(["pactl", *a], env=env, capture_output=True, text=True)
        Sink.recorders += 1
        deadline = time.time() + 5
        while len(pactl("list", "short", "source-outputs").stdout.splitlines()) < Sink.recorders:
            if time.time() > deadline:
                raise RuntimeError(f"parec did not connect to {name}.monitor")
            time.sleep(0.05)
        pactl("suspend-sink", name, "1")
        pactl("suspend-sink", name, "0")

    def _read(self):
        fd = self.proc.stdout.fileno()
        n = 0
        quiet = RATE  # at least 0.1 s of silence before an onset counts
        while True:
            b = os.read(fd, 8192)
            t = time.time()
            if not b:
                return
            a = array.array("h")
            a.frombytes(b[: len(b) // 2 * 2])
            for i, s in enumerate(a):
                if abs(s) > 300:
                    if quiet >= RATE // 10:
                        self.onsets.append(n + i)
                    quiet = 0
                else:
                    quiet += 1
            n += len(a)
            e = t - n / RATE
            if self.start is None or e < self.start:
                self.start = e

    def first_sound_after(self, t):
        if self.start is None:
            return None
        times = [self.start + o / RATE for o in self.onsets]
        later = [x for x in times if x >= t - 0.5]
        return later[0] if later else None


class Watch:
    """One start of an application under xwatch, and the events it reports."""

    def __init__(self, xwatch, display, command, env, logfile):
        args = [xwatch, "-m", MAIN_TITLE, "-p", POPUP_TITLE, "-l", logfile]
        for k, v in env.items():
            args += ["-e", f"{k}={v}"]
        self.proc = subprocess.Popen(args + ["--"] + command, env=display.env,
                                     stdout=subprocess.PIPE, text=True)
        self.events = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stdout:
            parts = line.rstrip("\n").split(" ", 3)
            with self.cond:
                self.events.append((parts[0], int(parts[1]) / 1e6, parts[2:]))
                self.cond.notify_all()
        with self.cond:
            self.events.append(("eof", time.time(), []))
            self.cond.notify_all()

    def wait_for(self, kind, after=0.0, timeout=20.0, title=None):
        deadline = time.time() + timeout
        with self.cond:
            while True:
                for k, t, args in self.events:
                    if k == kind and t >= after and (title is None or args[1:] == [title]):
                        return t, args
                    if k == "eof":
                        return None, None
                left = deadline - time.time()
                if left <= 0:
                    return None, None
                self.cond.wait(left)

    def times(self, kind):
        with self.cond:
            return [t for k, t, _ in self.events if k == kind]

    def pid(self):
        return int(self.wait_for("exec")[1][0])

    def stop(self, pid):
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            os.kill(pid, signal.SIGKILL)
            self.proc.wait()


def memory(pid):
    fields = {}
    with open(f"/proc/{pid}/smaps_rollup") as f:
        for line in f:
            parts = line.split()
            if len(parts) >= 2 and parts[0].endswith(":") and parts[1].isdigit():
                fields[parts[0][:-1]] = int(parts[1])
    rss = fields["Rss"] / 1024
    uss = (fields["Private_Clean"] + fields["Private_Dirty"]) / 1024
    return rss, uss


def cpu_and_switches(pid):
    """CPU time in ms and voluntary context switches, summed over the process's threads."""
    ns = 0
    switches = 0
    for task in glob.glob(f"/proc/{pid}/task/*"):
        try:
            with open(task + "/schedstat") as f:
                ns += int(f.read().split()[0])
            with open(task + "/status") as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches:"):
                        switches += int(line.split()[1])
        except (FileNotFoundError, ProcessLookupError):
            pass
    return ns / 1e6, switches


def lags(event_times, first, last):
    """Per whole second b in [first, last): ms from b to the first event in [b, b + 1)."""
    result = []
    for b in range(int(first) + 1, int(last)):
        hits = [t for t in event_times if b <= t < b + 1]
        if hits:
            result.append((min(hits) - b) * 1000)
    return result


def program_env(clock):
    """The environment of a start with its clock shifted by libfaketime (clock: "+SECONDS"), as
    scripts/faketime.sh gives it to the end-to-end tests and the screenshot too."""
    p = subprocess.run([os.path.join(SCRIPTS, "faketime.sh"), "env", clock],
                       capture_output=True, text=True)
    if p.returncode != 0:
        raise RuntimeError(p.stderr.strip())
    return dict(line.split("=", 1) for line in p.stdout.splitlines())


def one_start(app, command, display, audio, args, tmp, round_no, launched):
    """Runs one start of app and returns its figures."""
    sink = audio.sinks[app]
    # A free-running timer keeps the phase it started with: start at a random point of the
    # second, as a user would, or the baseline's lag would be whatever this loop's rhythm gives.
    time.sleep(random.random())
    ring = int(time.time()) + RING_AFTER
    alarm_epoch = datetime.datetime.combine(datetime.date.today(), ALARM).timestamp()
    offset = int(round(alarm_epoch)) - ring
    env = dict(program_env(f"{offset:+d}"), PULSE_SERVER=audio.server, PULSE_SINK="bench_" + app,
               XDG_RUNTIME_DIR=tmp)
    if app == "baseline" or args.stub:
        command = command + ["--alarm", ALARM.strftime("%H:%M:%S"), "--sound", args.sound]
    w = Watch(args.xwatch, display, command, env, os.path.join(tmp, f"{app}-{round_no}.log"))
    pid = w.pid()
    r = {"app": app}
    try:
        t_exec = w.wait_for("exec")[0]
        t_map, margs = w.wait_for("main", timeout=30)
        if t_map is None:
            raise RuntimeError(f"{app}: the main window never mapped")
        launched.set()
        wid = margs[0]
        r["startup"] = (t_map - t_exec) * 1000
        sleep_until(t_map + 5)
        r["rss"], r["uss"] = memory(pid)
        cpu0, cs0 = cpu_and_switches(pid)
        idle_end = t_map + 5 + args.idle
        sleep_until(idle_end)
        cpu1, cs1 = cpu_and_switches(pid)
        r["cpu"] = cpu1 - cpu0
        r["switches"] = cs1 - cs0
        r["label"] = lags(w.times("damage"), t_map + 5, idle_end)

        if app == "program" and not args.stub:
            set_alarm(w, display, wid)
        display.xdotool("windowminimize", wid)
        t_min = time.time()
        if ring - t_min < 4:
            log(f"{app}: the alarm was set late ({ring - t_min:.1f} s before it)")
        # The program connects to the sound server when the alarm is accepted.
        sleep_until(t_min + 3)
        r["rss_armed"] = memory(pid)[0]
        sleep_until(ring + AFTER_RING)
        r["title"] = lags(w.times("title"), t_min + 1, ring + AFTER_RING)
        t_pop, _ = w.wait_for("popup", after=t_min, timeout=0)
        r["popup"] = None if t_pop is None else (t_pop - ring) * 1000
        t_snd = sink.first_sound_after(ring)
        r["sound"] = None if t_snd is None else (t_snd - ring) * 1000
    finally:
        launched.set()
        w.stop(pid)
    log(f"{app} #{round_no}: start-up {r.get('startup', 0):.0f} ms, "
        f"RSS {r.get('rss', 0):.1f} MiB, CPU {r.get('cpu', 0):.0f} ms, "
        f"label p95 {fmt(percentile(r.get('label', []), 95))} ms, "
        f"title p95 {fmt(percentile(r.get('title', []), 95))} ms, "
        f"time-up {fmt(r.get('popup'))} ms, sound {fmt(r.get('sound'))} ms")
    return r


def quick_start(app, command, display, args, tmp):
    """Exec to map only, for more start-up samples than the full runs give."""
    time.sleep(0.5)
    env = dict(program_env("+0"), XDG_RUNTIME_DIR=tmp)
    w = Watch(args.xwatch, display, command, env, os.devnull)
    pid = w.pid()
    try:
        t_exec = w.wait_for("exec")[0]
        t_map, _ = w.wait_for("main", timeout=30)
        return None if t_map is None else {"app": app, "startup": (t_map - t_exec) * 1000}
    finally:
        time.sleep(0.3)
        w.stop(pid)


def set_alarm(w, display, wid):
    """Sets the alarm to 07:30 through the set-time dialog, as a user would."""
    # cmdSetAlarm: 2100, 60, 1215, 315 twips; its middle in pixels.
    display.xdotool("mousemove", "--window", wid, "180", "14", "click", "1")
    t, dargs = w.wait_for("map", after=time.time() - 1, timeout=10, title=DIALOG_TITLE)
    if t is None:
        raise RuntimeError("program: the set-time dialog did not open")
    dialog = dargs[0]
    time.sleep(0.3)
    display.xdotool("windowfocus", "--sync", dialog)
    display.xdotool("key", "--clearmodifiers", "ctrl+a")
    display.xdotool("type", "--delay", "30", ALARM.strftime("%H:%M"))
    display.xdotool("key", "Return")
    time.sleep(0.5)


def fmt(v, digits=0):
    if v is None:
        return "–"
    return f"{v:.{digits}f}"


def table(results, args):
    # Quick starts have a start-up figure only.
    starts = {app: [r for r in results if r["app"] == app] for app in ("program", "baseline")}
    prog = [r for r in starts["program"] if "label" in r]
    base = [r for r in starts["baseline"] if "label" in r]

    def med(rs, key):
        vals = [r[key] for r in rs if r.get(key) is not None]
        return statistics.median(vals) if vals else None

    def pooled(rs, key):
        return [v for r in rs for v in r.get(key, [])]

    rows = []

    def ratio(a, b):
        return None if a is None or not b else a / b

    def add(name, p, b, shown_p, shown_b, target, ok):
        rows.append((name, shown_p, shown_b, fmt(ratio(p, b), 2) + "×" if ratio(p, b) else "–",
                     target, "–" if ok is None else ("yes" if ok else "NO")))

    p, b = med(starts["program"], "startup"), med(starts["baseline"], "startup")
    add(f"start-up: exec to map, ms (median of {len(starts['program'])})", p, b, fmt(p), fmt(b),
        "≤ 1.3× baseline", None if ratio(p, b) is None else ratio(p, b) <= 1.3)
    for key, name, limit, digits in (
                                     ("rss", "RSS 5 s after map, MiB", 1.5, 1),
                                     ("rss_armed", "RSS with an alarm armed, MiB", 1.15, 1),
                                     ("uss", "USS 5 s after map, MiB", None, 1),
                                     ("cpu", f"CPU time over {args.idle} s idle, ms", 0.5, 0),
                                     ("switches", f"voluntary switches over {args.idle} s",
                                      0.35, 0)):
        p, b = med(prog, key), med(base, key)
        r = ratio(p, b)
        add(name, p, b, fmt(p, digits), fmt(b, digits),
            f"≤ {limit}× baseline" if limit else "",
            None if limit is None or r is None else r <= limit)

    for key, name in (("label", "repaint after second, p50/p95/max ms"),
                      ("title", "minimised title after second, p50/p95/max ms")):
        p, b = pooled(prog, key), pooled(base, key)
        p95, b95 = percentile(p, 95), percentile(b, 95)
        show = lambda v: "/".join(fmt(x) for x in (percentile(v, 50), percentile(v, 95),
                                                   max(v) if v else None))
        add(name, p95, b95, show(p), show(b), "p95 ≤ 10 ms", None if p95 is None else p95 <= 10)

    for key, name, limit in (("popup", "time-up window mapped after alarm, ms", 10),
                             ("sound", "first sound after alarm, ms", 15)):
        p = [r[key] for r in prog if r.get(key) is not None]
        b = [r[key] for r in base if r.get(key) is not None]
        pm = max(p) if len(p) == len(prog) and p else None
        bm = max(b) if b else None
        show = lambda v: ("/".join(fmt(x) for x in (statistics.median(v), max(v)))
                          if v else "–") + ("" if len(v) == args.starts else f" ({len(v)} of {args.starts})")
        add(name + " (median/max)", pm, bm, show(p), show(b), f"max ≤ {limit} ms",
            None if pm is None else pm <= limit)

    head = ("measure", "program", "baseline", "ratio", "target", "met")
    widths = [max(len(str(x[i])) for x in rows + [head]) for i in range(len(head))]
    lines = ["| " + " | ".join(str(x[i]).ljust(widths[i]) for i in range(len(head))) + " |"
             for x in [head] + rows]
    lines.insert(1, "|" + "|".join("-" * (w + 2) for w in widths) + "|")
    load = os.getloadavg()[0]
    title = (f"{args.starts} full starts each (and {args.quick_starts} start-up only), "
             f"{datetime.datetime.now():%Y-%m-%d %H:%M}, "
             f"{os.cpu_count()} CPUs, load {load:.2f}")
    return title + "\n\n" + "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--program", required=True)
    ap.add_argument("--baseline", required=True)
    ap.add_argument("--xwatch", required=True)
    ap.add_argument("--sound", required=True, help="the WAV file the baseline plays")
    ap.add_argument("--starts", type=int, default=3)
    ap.add_argument("--idle", type=int, default=60)
    ap.add_argument("--quick-starts", type=int, default=7,
                    help="extra starts each that only measure start-up")
    ap.add_argument("--out", help="also write the table here")
    ap.add_argument("--stub", action="store_true",
                    help="the program takes --alarm like the baseline (to try the bench out)")
    args = ap.parse_args()
    global RING_AFTER
    RING_AFTER = args.idle + 40

    procs = Processes()
    results = []
    with tempfile.TemporaryDirectory(prefix="alarm-bench-") as tmp:
        os.chmod(tmp, 0o700)
        try:
            audio = Session(procs, "--no-x", "--pulse", f"bench_program:{RATE}:1",
                            "--pulse", f"bench_baseline:{RATE}:1")
            audio.sinks = {app: Sink(procs, audio.server, "bench_" + app)
                           for app in ("program", "baseline")}
            displays = {app: Session(procs) for app in ("baseline", "program")}
            commands = {"baseline": [args.baseline], "program": [args.program]}
            # Start-up varies most with what else the machine does: more samples, taken in
            # turns so that a busy spell hits both alike.
            for n in range(args.quick_starts):
                for app in (("baseline", "program") if n % 2 else ("program", "baseline")):
                    r = quick_start(app, commands[app], displays[app], args, tmp)
                    if r:
                        results.append(r)
            for n in range(1, args.starts + 1):
                threads = []
                for app in ("baseline", "program"):
                    launched = threading.Event()

                    def run(app=app, launched=launched):
                        try:
                            results.append(one_start(app, commands[app], displays[app], audio,
                                                     args, tmp, n, launched))
                        except Exception as e:  # reported, and the table shows the gap
                            log(f"{app} #{n} failed: {e}")
                            launched.set()

                    t = threading.Thread(target=run)
                    t.start()
                    threads.append(t)
                    # Start-ups one at a time, so that neither slows the other down.
                    launched.wait(60)
                    time.sleep(1)
                for t in threads:
                    t.join()
        finally:
            procs.stop_all()
    text = table(results, args)
    print(text)
    if args.out:
        with open(args.out, "w") as f:
            f.write(text + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
