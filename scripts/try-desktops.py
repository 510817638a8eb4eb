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
from desktop_test import (Checks, Desktop, check_on_panel_desktop, panel_desktop,  # noqa: E402
                          start, start_session_bus, stop, work_area_top)
from e2e_test import start_xvfb, wait_for  # noqa: E402

PACKAGES = {
    "gnome": ["gnome-shell", "mutter", "xwayland", "gnome-screenshot", "dbus-x11",
              "at-spi2-core", "gnome-settings-daemon", "python3-dbus"],
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


SYSTEM_BUS = """<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_type="method_return"/>
    <allow send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="signal"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
  </policy>
</busconfig>
"""


def gnome(exe, scratch, shots, check):
    """GNOME Shell wants a system bus and no half-present systemd: it runs in a namespace of
    its own (mounts and network: nothing it does leaves the machine)."""
    inner = [sys.executable, os.path.abspath(__file__), "--inside-gnome", "--exe", exe,
             "--shots", shots]
    result = subprocess.run(["unshare", "-mn", "--"] + inner, capture_output=True, text=True)
    sys.stdout.write(result.stdout)
    failed = [line[5:] for line in result.stdout.splitlines() if line.startswith("FAIL ")]
    for what in failed:
        check(what, False, "see above")
    # A session that broke off (an exception ends Python with 1 too) has no failed check to show.
    if result.returncode != 0 and not failed:
        check("gnome: the session ran", False, result.stderr[-2000:])


def mutter_pointer():
    """Reads "x y" or "x y click" lines and moves GNOME's own pointer there through mutter's
    remote desktop: xdotool moves XWayland's pointer only, and the compositor's stays behind.
    Runs under Debian's Python for its D-Bus module, as long as the session is wanted: mutter
    ends a remote desktop session when its caller's connection goes."""
    import dbus
    bus = dbus.SessionBus()
    desktop = bus.get_object("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop")
    path = desktop.CreateSession(dbus_interface="org.gnome.Mutter.RemoteDesktop")
    session = dbus.Interface(bus.get_object("org.gnome.Mutter.RemoteDesktop", path),
                             "org.gnome.Mutter.RemoteDesktop.Session")
    session.Start()
    for line in sys.stdin:
        words = line.split()
        if words == ["click"]:
            session.NotifyPointerButton(0x110, True)  # BTN_LEFT
            session.NotifyPointerButton(0x110, False)
        else:
            # Relative moves need no screen-cast stream: first to the top-left corner, where
            # the pointer stops, then to the place.
            session.NotifyPointerMotionRelative(-10000.0, -10000.0)
            session.NotifyPointerMotionRelative(float(words[0]), float(words[1]))
        print("ok", flush=True)
    session.Stop()


def inside_gnome(exe, shots):
    """In the namespace: fresh /run/dbus and /run/systemd, a stand-in system bus, a session
    bus, then GNOME Shell headless on Wayland with a virtual 1920x1080 monitor."""
    check = failures = Checks()

    scratch = tempfile.mkdtemp(prefix="quorvane-gnome-")
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    for folder in ("/run/dbus", "/run/systemd", "/tmp/.X11-unix"):
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "tmpfs", folder], check=True)
    os.chmod("/tmp/.X11-unix", 0o1777)
    config = os.path.join(scratch, "system.conf")
    with open(config, "w") as f:
        f.write(SYSTEM_BUS)
    system_bus = subprocess.run(["dbus-daemon", "--config-file=" + config, "--fork",
                                 "--print-pid"], capture_output=True, text=True, check=True)
    system_pid = int(system_bus.stdout.split()[0])
    env = home_env(scratch, "gnome", "")
    env.pop("DISPLAY")
    env["XDG_SESSION_TYPE"] = "wayland"
    procs = []
    try:
        bus, address = start_session_bus(env, scratch)
        procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        subprocess.run(["gsettings", "set", "org.gnome.desktop.interface", "enable-hot-corners",
                        "false"], env=env)
        log = open(os.path.join(shots, "gnome-shell.log"), "w")
        procs.append(subprocess.Popen(
            ["gnome-shell", "--headless", "--wayland", "--wayland-display=quorvane-wl",
             "--virtual-monitor", "1920x1080"], env=env, stdout=log, stderr=log))
        env["WAYLAND_DISPLAY"] = "quorvane-wl"
        shell = ["gdbus", "call", "--session", "--dest", "org.gnome.Shell", "--object-path",
                 "/org/gnome/Shell", "--method", "org.freedesktop.DBus.Properties.Set",
                 "org.gnome.Shell", "OverviewActive", "<false>"]
        wait_for(lambda: subprocess.run(shell, env=env, capture_output=True).returncode == 0
                 or None, 90, "GNOME Shell on the session bus")
        # XWayland starts with the first X client; this one asks for nothing.
        socket = None

        def xwayland():
            names = os.listdir("/tmp/.X11-unix")
            auth = [n for n in os.listdir(env["XDG_RUNTIME_DIR"]) if "Xwaylandauth" in n]
            return (names[0], auth[0]) if names and auth else None
        socket, auth = wait_for(xwayland, 60, "XWayland")
        env["DISPLAY"] = ":" + socket.lstrip("X")
        env["XAUTHORITY"] = os.path.join(env["XDG_RUNTIME_DIR"], auth)
        os.environ["XAUTHORITY"] = env["XAUTHORITY"]
        d = Desktop(env["DISPLAY"])
        wait_for(lambda: "Name" in d.run("wmctrl", "-m") or None, 60, "mutter on XWayland")
        subprocess.run(shell, env=env, capture_output=True)
        wait_for(lambda: (work_area_top(d) or 0) > 0 or None, 60, "GNOME's top panel")

        def shoot(step):
            subprocess.run(["gnome-screenshot", "-f", os.path.join(shots, "gnome-%s.png" % step)],
                           env=env, capture_output=True, timeout=30)
        driver = subprocess.Popen(["/usr/bin/python3", os.path.abspath(__file__),
                                   "--mutter-pointer"], env=env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        procs.append(driver)

        def pointer(x, y, click=False):
            for command in ["%d %d" % (x, y)] + (["click"] if click else []):
                driver.stdin.write(command + "\n")
                driver.stdin.flush()
                if driver.stdout.readline().strip() != "ok":
                    raise RuntimeError("mutter's remote desktop did not take " + command)
                if command != "click" and click:
                    # The press goes where XWayland has seen the pointer arrive.
                    wait_for(lambda: "x:%d y:%d " % (x, y) in d.run(
                        "xdotool", "getmouselocation") or None, 10, "the pointer at the button")
        check_on_panel_desktop(d, exe, scratch, env, shots, "gnome", check, shoot, pointer)
    finally:
        for p in reversed(procs):
            stop(p)
        os.kill(system_pid, 15)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--desktops", default="gnome,kde,xfce")
    parser.add_argument("--shots", default=os.path.join(top, "build", "desktop-tries"))
    parser.add_argument("--exe", default=os.path.join(top, "build", "tests", "app", "e2e",
                                                      "quorvane"))
    parser.add_argument("--inside-gnome", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--mutter-pointer", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.mutter_pointer:
        return mutter_pointer()
    os.makedirs(args.shots, exist_ok=True)
    if args.inside_gnome:
        return inside_gnome(args.exe, args.shots)
    check = failures = Checks()

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
