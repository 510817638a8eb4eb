#!/usr/bin/env python3
"""Idle cost of the real bar against a bare Qt bar, both under one Xvfb.

Usage: measure_bar.py QUORVANE_EXE BARE_BAR_EXE [SECONDS]
The bar runs in a scratch folder with a session open around now, SNTP off, the pointer away.
Prints CPU (% of one core, the program and the X server), resident memory and first paint.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

from measure_network import schedule_text, start_xvfb

HZ = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / HZ


def rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) / 1024
    return 0


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


def measure(cmd, cwd, display, xvfb_pid, seconds):
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
    started = time.monotonic()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    paint = first_paint(display, proc.pid, started)
    time.sleep(3)
    c0, x0, t0 = cpu_seconds(proc.pid), cpu_seconds(xvfb_pid), time.monotonic()
    time.sleep(seconds)
    c1, x1, t1 = cpu_seconds(proc.pid), cpu_seconds(xvfb_pid), time.monotonic()
    rss = rss_mb(proc.pid)
    proc.terminate()
    proc.wait(timeout=10)
    return {"cpu": 100 * (c1 - c0) / (t1 - t0), "xcpu": 100 * (x1 - x0) / (t1 - t0), "rss": rss,
            "paint_ms": paint * 1000}


def main():
    exe, bare = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 60
    scratch = tempfile.mkdtemp(prefix="quorvane-bench-")
    shutil.copy2(exe, os.path.join(scratch, "quorvane"))
    with open(os.path.join(scratch, "schedule.txt"), "w") as f:
        f.write(schedule_text())
    with open(os.path.join(scratch, "options.ini"), "w") as f:
        f.write("[Quorvane]\nUseSNTP=0\n")
    xvfb, display = start_xvfb()
    try:
        bar = measure([os.path.join(scratch, "quorvane")], scratch, display, xvfb.pid, seconds)
        base = measure([bare], scratch, display, xvfb.pid, seconds)
    finally:
        xvfb.terminate()
        shutil.rmtree(scratch, ignore_errors=True)
    for name, m in (("quorvane", bar), ("bare bar", base)):
        print("%-9s CPU %.3f%% of a core (+ X server %.3f%%), RSS %.1f MB, first paint %.0f ms"
              % (name, m["cpu"], m["xcpu"], m["rss"], m["paint_ms"]))
    print("ratios quorvane/bare: CPU %.2f, X server %.2f, RSS %.2f" % (
        bar["cpu"] / base["cpu"] if base["cpu"] else float("nan"),
        bar["xcpu"] / base["xcpu"] if base["xcpu"] else float("nan"), bar["rss"] / base["rss"]))


if __name__ == "__main__":
    main()
