#!/usr/bin/env python3
"""Tries the bar on the desktops traders use, headless, each started and stopped here by PID:
GNOME Shell on Wayland (the bar through XWayland), KDE Plasma on X11 and XFCE. Runs the desktop
test's checks on each (below any top panel, the first menu under its button, on workspace 2,
the auto-hide strip) and leaves screenshots in --shots. Installs the desktops when missing.

    scripts/try-desktops.py [--desktops gnome,kde,xfce] [--shots DIR] [--exe PROGRAM]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(top, "tests", "app"))
sys.dont_write_bytecode = True
from desktop_test import (Desktop, check_on_panel_desktop, panel_desktop, start,  # noqa: E402
                          start_session_bus, stop, work_area_top)
from e2e_test import start_xvfb, wait_for  # noqa: E402

PACKAGES = {
    "gnome": ["gnome-shell", "mutter", "xwayland", "gnome-screenshot", "dbus-x11",
              "at-spi2-core", "gnome-settings-daemon"],
    "kde": ["kwin-x11", "plasma-workspace", "plasma-desktop", "breeze", "kwin-style-breeze"],
    "xfce": ["xfwm4", "xfce4-panel", "xfce4-settings", "xfconf"],
}
LIBEXEC = "/usr/lib/x86_64-linux-gnu/libexec"


def install(names):
    missing = [p for p in names if "install ok installed" not in subprocess.run(
        ["dpkg-query", "-W", "-f=${Status}", p], capture_output=True, text=True).stdout]
    if missing:
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
        subprocess.run(sudo + ["apt-get", "install", "-y", "-q", "--no-install-recommends"]
                       + missing, check=True, env=env)


def home_env(scratch, name, display):
    home = os.path.join(scratch, name + "-home")
    os.makedirs(home, exist_ok=True)
    runtime = os.path.join(scratch, name + "-run")
    os.makedirs(runtime, mode=0o700, exist_ok=True)
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_CACHE_HOME=home + "/.cache", XDG_DATA_HOME=home + "/.local/share",
               XDG_RUNTIME_DIR=runtime)
    env.pop("WAYLAND_DISPLAY", None)
    return env


def kde(exe, scratch, shots, check):
    xvfb, display = start_xvfb("1920x1080x24")  # GLX is on by default
    d = Desktop(display)
    env = home_env(scratch, "kde", display)
    procs = []
    try:
        bus, address = start_session_bus(env, scratch)
        procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        procs.append(start(["kwin_x11"], env))
        wait_for(lambda: "Name" in d.run("wmctrl", "-m") or None, 60, "kwin")
        procs.append(start([LIBEXEC + "/kactivitymanagerd"], env))
        time.sleep(2)  # only a bound for plasmashell's start; the checks wait on events
        procs.append(start(["kglobalaccel5"], env))
        procs.append(start(["plasmashell"], env))
        # Plasma's bottom panel takes its rows off the work area once it has settled.
        wait_for(lambda: work_area_bottom(d) < 1080 or None, 90, "Plasma's panel")
        check_on_panel_desktop(d, exe, scratch, env, shots, "kde", check)
    finally:
        for p in reversed(procs):
            stop(p)
        xvfb.kill()
        xvfb.wait()


def work_area_bottom(d):
    out = d.run("xprop", "-root", "_NET_WORKAREA")
    if "=" not in out:
        return 1080
    v = [int(s) for s in out.split("=")[1].split(",")[:4]]
    return v[1] + v[3]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--desktops", default="gnome,kde,xfce")
    parser.add_argument("--shots", default=os.path.join(top, "build", "desktop-tries"))
    parser.add_argument("--exe", default=os.path.join(top, "build", "tests", "app", "e2e",
                                                      "quorvane"))
    args = parser.parse_args()
    os.makedirs(args.shots, exist_ok=True)
    failures = []

    def check(what, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + what + ("" if ok else ": " + str(detail)),
              flush=True)
        if not ok:
            failures.append(what)

    scratch = tempfile.mkdtemp(prefix="quorvane-tries-")
    try:
        for name in args.desktops.split(","):
            install(PACKAGES[name])
            print("== " + name, flush=True)
            if name == "xfce":
                panel_desktop("xfce", args.exe, scratch, args.shots, check)
            elif name == "kde":
                kde(args.exe, scratch, args.shots, check)
            else:
                gnome(args.exe, scratch, args.shots, check)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d failed; screenshots in %s" % (len(failures), args.shots))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
