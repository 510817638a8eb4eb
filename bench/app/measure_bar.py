#!/usr/bin/env python3
"""Idle cost of the real bar beside `xclock -update 1` and a bare Qt bar, all under one Xvfb.

Usage: measure_bar.py QUORVANE_EXE BARE_BAR_EXE [SECONDS] [--no-session-bus]
The three run side by side in one run, so a busy machine weighs on all of them alike. The bar
runs in a scratch folder with a session open around now, SNTP off, the pointer away, on a private
session bus as in a desktop session. For each program it prints the wake-ups of all its threads
(context switches, read from /proc: a thread that sleeps and wakes counts one voluntary switch,
one preempted by the rest of the machine counts one more apart), CPU (% of one core), resident
memory, and then the ratios. For the bar it also prints its first paint and which costly
libraries it has loaded and how many sockets it holds while idle.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from measure_network import schedule_text, start_xvfb  # noqa: E402

BAR_LEFT = 600
# Loaded only to play a sound, download a schedule or talk to the desktop's locker.
COSTLY = ("libQt6Multimedia", "libpulse", "libgstreamer", "libcurl", "libQt6Network")


def cpu_seconds(pid):
    """Time on a CPU of all the process's threads, to the nanosecond: the clock ticks of
    /proc/PID/stat are too coarse for a program that runs a few microseconds a second."""
    total = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/schedstat" % (pid, task)) as f:
                total += int(f.read().split()[0])
        except FileNotFoundError:
            pass
    return total / 1e9


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0


def switches(pid):
    """(voluntary, preempted) context switches summed over the process's threads."""
    woke = preempted = 0
    for task in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/status" % (pid, task)) as f:
                for line in f:
                    if line.startswith("voluntary_ctxt_switches"):
                        woke += int(line.split()[1])
                    elif line.startswith("nonvoluntary_ctxt_switches"):
                        preempted += int(line.split()[1])
        except FileNotFoundError:
            pass  # a thread that ended between the listing and the read
    return woke, preempted


def threads(pid):
    return len(os.listdir("/proc/%d/task" % pid))


def loaded(pid):
    with open("/proc/%d/maps" % pid) as f:
        maps = f.read()
    return [name for name in COSTLY if name in maps]


def sockets(pid):
    n = 0
    for fd in os.listdir("/proc/%d/fd" % pid):
        try:
            n += os.readlink("/proc/%d/fd/%s" % (pid, fd)).startswith("socket:")
        except OSError:
            pass
    return n


def first_paint(display, pid, started, timeout=5):
    env = dict(os.environ, DISPLAY=display)
    while time.monotonic() - started < timeout:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                             env=env, capture_output=True, text=True).stdout.split()
        if out:
            geo = subprocess.run(["xwininfo", "-id", out[0]], env=env, capture_output=True,
                                 text=True).stdout
            x = int(geo.split("Absolute upper-left X:")[1].split()[0])
            y = int(geo.split("Absolute upper-left Y:")[1].split()[0])
            px = subprocess.run(["/usr/bin/convert", "x:root[1x1+%d+%d]" % (x + 120, y + 17),
                                 "-format", "%[pixel:p{0,0}]", "info:"], env=env,
                                capture_output=True, text=True).stdout
            if px and "black" not in px and "(0,0,0)" not in px:
                return time.monotonic() - started
        time.sleep(0.005)
    return float("nan")


def sample(pids):
    return {name: (cpu_seconds(pid), switches(pid)) for name, pid in pids.items()}, \
        time.monotonic()


def ratio(a, b):
    return a / b if b else float("nan")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("exe")
    p.add_argument("bare")
    p.add_argument("seconds", nargs="?", type=float, default=60)
    p.add_argument("--no-session-bus", action="store_true",
                   help="run without a session bus, as a bare X server without a desktop would")
    args = p.parse_args()
    exe, bare = os.path.abspath(args.exe), os.path.abspath(args.bare)
    scratch = tempfile.mkdtemp(prefix="quorvane-bench-")
    shutil.copy2(exe, os.path.join(scratch, "quorvane"))
    for name in os.listdir(os.path.dirname(exe)):
        # Modules the program loads on demand live beside it.
        if name.endswith(".so"):
            shutil.copy2(os.path.join(os.path.dirname(exe), name), scratch)
    with open(os.path.join(scratch, "schedule.txt"), "w") as f:
        f.write(schedule_text())
    with open(os.path.join(scratch, "options.ini"), "w") as f:
        f.write("[Quorvane]\nUseSNTP=0\nLeft=%d\nWidth=240\nHeight=34\n" % BAR_LEFT)
    bus = None
    if not args.no_session_bus:
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                               stdout=subprocess.PIPE, text=True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
    xvfb, display = start_xvfb()
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    procs = {}
    try:
        started = time.monotonic()
        procs["quorvane"] = subprocess.Popen([os.path.join(scratch, "quorvane")], cwd=scratch,
                                             env=env, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL)
        paint = first_paint(display, procs["quorvane"].pid, started)
        procs["bare bar"] = subprocess.Popen([bare], env=env, stdout=subprocess.DEVNULL,
                                             stderr=subprocess.DEVNULL)
        procs["xclock"] = subprocess.Popen(
            ["xclock", "-update", "1", "-geometry", "120x120+200+200"], env=env,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(3)
        pids = {name: proc.pid for name, proc in procs.items()}
        pids["X server"] = xvfb.pid
        s0, t0 = sample(pids)
        time.sleep(args.seconds)
        s1, t1 = sample(pids)
        span = t1 - t0
        rows = {}
        for name, pid in pids.items():
            (c0, (w0, p0)), (c1, (w1, p1)) = s0[name], s1[name]
            rows[name] = {"cpu": 100 * (c1 - c0) / span, "woke": (w1 - w0) / span,
                          "preempted": (p1 - p0) / span, "rss": rss_mb(pid),
                          "threads": threads(pid)}
        bar_pid = pids["quorvane"]
        costly, socks = loaded(bar_pid), sockets(bar_pid)
    finally:
        for proc in procs.values():
            proc.terminate()
            proc.wait(timeout=10)
        xvfb.terminate()
        xvfb.wait(timeout=10)
        if bus:
            bus.terminate()
            bus.wait(timeout=10)
        shutil.rmtree(scratch, ignore_errors=True)

    print("idle, side by side for %.0f s (wake-ups and CPU per second of the run):" % span)
    print("  %-9s %9s %10s %8s %8s %8s" % ("", "wake-ups", "preempted", "CPU %", "RSS MB",
                                           "threads"))
    for name, r in rows.items():
        print("  %-9s %9.2f %10.2f %8.4f %8.1f %8d" % (name, r["woke"], r["preempted"], r["cpu"],
                                                     r["rss"], r["threads"]))
    bar, base, ref = rows["quorvane"], rows["bare bar"], rows["xclock"]
    for name, a, b in (("quorvane/xclock", bar, ref), ("bare bar/xclock", base, ref),
                       ("quorvane/bare bar", bar, base)):
        print("ratios %-17s wake-ups %.2f, CPU %.2f, RSS %.2f" % (
            name, ratio(a["woke"], b["woke"]),
            ratio(a["cpu"], b["cpu"]), ratio(a["rss"], b["rss"])))
    print("quorvane: first paint %.0f ms; idle it holds %d sockets and has loaded: %s" % (
        paint * 1000, socks, ", ".join(costly) or "none of " + ", ".join(COSTLY)))


if __name__ == "__main__":
    main()
