#!/usr/bin/env python3
"""How late the bar's second turns on screen after the second of the clock it shows, under Xvfb.

Usage: measure_tick_phase.py QUORVANE_EXE PHASE_WATCH_EXE [--seconds 30] [--starts 5]
                             [--no-session-bus]

A pixel poller (phase_watch) reads the countdown every 2 ms and notes CLOCK_REALTIME at each
change; `xclock -update 1` runs beside the bar as the reference. Two cases:
  sntp-off   the bar's clock is the PC's: its seconds turn at the PC's whole seconds
  sntp-ahead a loopback SNTP server whose time is 0.437 s ahead of the PC's: the bar's seconds
             turn 0.437 s before the PC's
For each it prints the delay from the second boundary to the change on screen (median / p90 /
max, negative when a change came early), then the time from exec to the first countdown on screen
(median of several starts) and the bar's idle wake-ups per second (voluntary context switches
of all its threads, SNTP off, read from /proc; preemptions are printed apart). The bar runs on
a private session bus, as in a desktop session, unless --no-session-bus is given.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_bar import switches  # noqa: E402
from measure_network import SntpServer, schedule_text, start_xvfb  # noqa: E402

AHEAD = 0.437
LEFT, WIDTH, HEIGHT = 1280, 240, 34
# The countdown is right-aligned on the bar's upper line, clear of the clock and the status.
COUNTDOWN = (LEFT + 150, 2, WIDTH - 153, 18)
XCLOCK = (200, 200, 120, 120)


def scratch_folder(exe, ini):
    scratch = tempfile.mkdtemp(prefix="quorvane-phase-")
    shutil.copy2(exe, os.path.join(scratch, "quorvane"))
    with open(os.path.join(scratch, "schedule.txt"), "w") as f:
        f.write(schedule_text())
    with open(os.path.join(scratch, "options.ini"), "w") as f:
        f.write("[Quorvane]\n%sLeft=%d\nHeight=%d\nWidth=%d\n" % (ini, LEFT, HEIGHT, WIDTH))
    return scratch


def watch(phase_watch, display, seconds, regions):
    args = [phase_watch, str(seconds), "2"] + [str(v) for r in regions for v in r]
    return subprocess.Popen(args, env=dict(os.environ, DISPLAY=display), stdout=subprocess.PIPE,
                            text=True)


def events(out):
    rows = []
    for line in out.splitlines():
        ns, region, lit = line.split()
        rows.append((int(ns) / 1e9, int(region), int(lit)))
    return rows


def delays(times, boundary_phase):
    """Milliseconds from the latest second boundary; a change just before one counts negative."""
    out = []
    for t in times:
        d = (t - boundary_phase) % 1.0
        out.append((d - 1.0 if d > 0.5 else d) * 1000)
    return out


def summary(ms):
    if not ms:
        return "no changes seen"
    s = sorted(ms)
    worst = max(s, key=abs)
    return "median %6.1f  p90 %6.1f  max %6.1f ms  (n=%d)" % (
        s[len(s) // 2], s[min(len(s) - 1, int(len(s) * 0.9))], worst, len(s))


def run_case(exe, phase_watch, display, ini, phase, seconds, measure_wakeups):
    scratch = scratch_folder(exe, ini)
    try:
        watcher = watch(phase_watch, display, seconds + 4, [COUNTDOWN])
        time.sleep(0.3)
        proc = subprocess.Popen([os.path.join(scratch, "quorvane")], cwd=scratch,
                                env=dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb"),
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        rate = (float("nan"), float("nan"))
        if measure_wakeups:
            time.sleep(4)
            (w0, p0), t0 = switches(proc.pid), time.monotonic()
            time.sleep(seconds - 4)
            (w1, p1), t1 = switches(proc.pid), time.monotonic()
            rate = ((w1 - w0) / (t1 - t0), (p1 - p0) / (t1 - t0))
        out, _ = watcher.communicate(timeout=seconds + 30)
        proc.terminate()
        proc.wait(timeout=10)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    rows = [r for r in events(out) if r[2] > 0]
    # Past the first synchronisation's answer, the bar's clock is the one being measured.
    settled = [t for t, _, _ in rows if rows and t > rows[0][0] + 2.0]
    return delays(settled, phase), rate


def first_countdown(exe, phase_watch, display, starts):
    firsts = []
    for _ in range(starts):
        scratch = scratch_folder(exe, "UseSNTP=0\n")
        try:
            watcher = watch(phase_watch, display, 3.5, [COUNTDOWN])
            time.sleep(0.3)
            started = time.time()
            proc = subprocess.Popen([os.path.join(scratch, "quorvane")], cwd=scratch,
                                    env=dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb"),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            out, _ = watcher.communicate(timeout=30)
            proc.terminate()
            proc.wait(timeout=10)
        finally:
            shutil.rmtree(scratch, ignore_errors=True)
        lit = [t for t, _, n in events(out) if n > 0 and t >= started]
        firsts.append((lit[0] - started) * 1000 if lit else float("nan"))
        time.sleep(0.3)
    return firsts


def main():
    p = argparse.ArgumentParser()
    p.add_argument("exe")
    p.add_argument("phase_watch")
    p.add_argument("--seconds", type=float, default=30)
    p.add_argument("--starts", type=int, default=5)
    p.add_argument("--no-session-bus", action="store_true",
                   help="run without a session bus, as a bare X server without a desktop would")
    args = p.parse_args()
    exe, phase_watch = os.path.abspath(args.exe), os.path.abspath(args.phase_watch)

    sntp = SntpServer(AHEAD)
    sntp.start()
    bus = None
    if not args.no_session_bus:
        # Every desktop session has a bus. Without one, the accessibility bridge starts one of
        # its own through dbus-launch at the first label, which costs tens of ms no user pays.
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                               stdout=subprocess.PIPE, text=True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    xvfb, display = start_xvfb()
    xclock = subprocess.Popen(["xclock", "-update", "1", "-geometry", "%dx%d+%d+%d" % (
        XCLOCK[2], XCLOCK[3], XCLOCK[0], XCLOCK[1])], env=dict(os.environ, DISPLAY=display),
        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        time.sleep(1)
        ref = watch(phase_watch, display, args.seconds, [XCLOCK])
        off, rate = run_case(exe, phase_watch, display, "UseSNTP=0\n", 0.0, args.seconds, True)
        ref_out, _ = ref.communicate(timeout=60)
        ahead, _ = run_case(exe, phase_watch, display,
                            "UseSNTP=1\nSNTPServer=127.0.0.1\nSNTPPort=%d\n" % sntp.port,
                            (1.0 - AHEAD) % 1.0, args.seconds, False)
        firsts = first_countdown(exe, phase_watch, display, args.starts)
    finally:
        xclock.terminate()
        xclock.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)
        if bus:
            bus.terminate()
            bus.wait(timeout=10)
    ref_times = [t for t, _, _ in events(ref_out)][1:]
    print("delay from the second boundary to the change on screen:")
    print("  xclock -update 1         %s" % summary(delays(ref_times, 0.0)))
    print("  bar, SNTP off            %s" % summary(off))
    print("  bar, server %.3f s ahead %s" % (AHEAD, summary(ahead)))
    firsts_sorted = sorted(firsts)
    print("exec to first countdown on screen: median %.1f ms (%s)" % (
        firsts_sorted[len(firsts_sorted) // 2], " ".join("%.1f" % f for f in firsts)))
    print("idle wake-ups of the bar (SNTP off): %.1f/s, and %.1f/s preempted" % rate)


if __name__ == "__main__":
    main()
