#!/usr/bin/env python3
"""Tries the bar on the desktops traders use, headless, each started and stopped here by PID:
GNOME Shell on Wayland (the bar through XWayland), KDE Plasma on X11, XFCE and sway (the bar
through XWayland again). Runs the desktop test's checks on each (below any top panel, the first
menu under its button, on workspace 2, the auto-hide strip; on sway a drag, Close and a swaybar
ended and started late too) and leaves screenshots in --shots. Installs the desktops when missing.
Heavier tries, named on demand: gnome2 (two monitors), gnome-scale2 (one at 200 %) and
kde-wayland2 (KDE Plasma on Wayland, two outputs, its panel at the top of the first).

    scripts/try-desktops.py [--desktops gnome,kde,xfce,sway,gnome2,gnome-scale2,kde-wayland2]
                            [--shots DIR] [--exe PROGRAM]
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
from desktop_test import (Checks, Desktop, check_on_panel_desktop, eventually,  # noqa: E402
                          panel_desktop, start, start_bar, start_session_bus, stop,
                          work_area_top)
from e2e_test import start_xvfb, wait_for  # noqa: E402
from try_sway import sway  # noqa: E402

PACKAGES = {
    "gnome": ["gnome-shell", "mutter", "xwayland", "gnome-screenshot", "dbus-x11",
              "at-spi2-core", "gnome-settings-daemon", "python3-dbus"],
    "kde": ["kwin-x11", "plasma-workspace", "plasma-desktop", "breeze", "kwin-style-breeze"],
    "xfce": ["xfwm4", "xfce4-panel", "xfce4-settings", "xfconf"],
    "sway": ["sway", "grim", "xwayland", "xterm", "imagemagick"],
}
PACKAGES["gnome2"] = PACKAGES["gnome-scale2"] = PACKAGES["gnome"]
PACKAGES["kde-wayland2"] = PACKAGES["kde"] + ["kwin-wayland", "qtwayland5", "qdbus-qt5"]
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


KDE_SESSION = """#!/bin/sh
# Started by kwin_wayland once Wayland and XWayland are up: tells the session's environment,
# then starts the session's children.
env > "$1.new" && mv "$1.new" "$1"
%s/kactivitymanagerd &
sleep 2
QT_QPA_PLATFORM=wayland kglobalaccel5 &
QT_QPA_PLATFORM=wayland exec plasmashell
"""


def kwin_screenshot(path):
    """The whole workspace as KWin composes it, through its screenshot interface (the session
    lets anyone ask); runs under Debian's Python for its D-Bus module."""
    import dbus
    read, write = os.pipe()
    shot = dbus.Interface(dbus.SessionBus().get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
                          "org.kde.KWin.ScreenShot2")
    info = shot.CaptureWorkspace({}, dbus.types.UnixFd(write))
    os.close(write)
    data = b""
    while True:
        chunk = os.read(read, 1 << 20)
        if not chunk:
            break
        data += chunk
    width, height, stride = int(info["width"]), int(info["height"]), int(info["stride"])
    raw = b"".join(data[y * stride:y * stride + 4 * width] for y in range(height))
    # QImage's 32-bit formats are blue, green, red, alpha in memory on this machine.
    subprocess.run(["/usr/bin/convert", "-size", "%dx%d" % (width, height), "-depth", "8",
                    "bgra:-", "-resize", "50%", path], input=raw, check=True)


def kde_wayland(exe, scratch, shots, check):
    """KDE Plasma on Wayland, two outputs side by side, its panel moved to the top of the
    first. kwin_wayland carries a file capability this container refuses: a copy without it
    runs, under its own name."""
    env = home_env(scratch, "kde-wayland", "")
    env.pop("DISPLAY")
    env.update(XDG_SESSION_TYPE="wayland", KWIN_SCREENSHOT_NO_PERMISSION_CHECKS="1")
    kwin = os.path.join(scratch, "kwin", "kwin_wayland")
    os.makedirs(os.path.dirname(kwin))
    shutil.copy("/usr/bin/kwin_wayland", kwin)
    script = os.path.join(scratch, "kde-session.sh")
    told = os.path.join(scratch, "kde-session.env")
    with open(script, "w") as f:
        f.write(KDE_SESSION % LIBEXEC)
    os.chmod(script, 0o755)
    procs = []
    try:
        bus, address = start_session_bus(env, scratch)
        procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        log = open(os.path.join(shots, "kwin-wayland.log"), "w")
        procs.append(subprocess.Popen(
            [kwin, "--virtual", "--xwayland", "--output-count", "2", "--width", "1920",
             "--height", "1080", "--socket", "quorvane-kde", script + " " + told],
            env=env, stdout=log, stderr=log))
        wait_for(lambda: os.path.exists(told) or None, 90, "the KDE session")
        with open(told) as f:
            session = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        for key in ("DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY"):
            if key in session:
                env[key] = session[key]
        d = Desktop(env["DISPLAY"])
        os.environ["XAUTHORITY"] = env.get("XAUTHORITY", "")
        wait_for(lambda: work_area_bottom(d) < 1080 or None, 120, "Plasma's panel")
        move = ["dbus-send", "--session", "--type=method_call", "--dest=org.kde.plasmashell",
                "/PlasmaShell", "org.kde.PlasmaShell.evaluateScript",
                "string:panels()[0].location = 'top'"]
        subprocess.run(move, env=env, capture_output=True)
        wait_for(lambda: (work_area_top(d) or 0) > 0 or None, 60, "the panel at the top")
        top = work_area_top(d)
        print("kde-wayland2: monitors %s; _NET_WORKAREA top %d; _GTK_WORKAREAS_D0 %s" % (
            d.run("xrandr", "--listmonitors").replace("\n", " | "), top,
            d.run("xprop", "-root", "_GTK_WORKAREAS_D0").strip()), flush=True)
        bar_log = os.path.join(shots, "quorvane-kde-wayland2.log")
        app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York")
        for what, left, want in (("the first output, below the panel", 1280, top),
                                 ("the second output, at its top", 2600, 0)):
            app, bar = start_bar(d, exe, scratch, app_env, "", bar_log, left=left)
            try:
                placed = eventually(lambda: d.geometry(bar)[:2] == (left, want) or None, 30)
                print("kde-wayland2: the bar on %s: %s" % (what, d.geometry(bar)), flush=True)
                check("kde-wayland2: the bar on %s, y %d" % (what, want), placed,
                      d.geometry(bar))
                subprocess.run(["/usr/bin/python3", os.path.abspath(__file__), "--kwin-screenshot",
                                os.path.join(shots, "kde-wayland2-%d.png" % left)], env=env,
                               timeout=60)
            finally:
                stop(app)
    finally:
        for p in reversed(procs):
            stop(p)


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


def gnome(exe, scratch, shots, check, monitors=1, scale=1):
    """GNOME Shell wants a system bus and no half-present systemd: it runs in a namespace of
    its own (mounts and network: nothing it does leaves the machine)."""
    inner = [sys.executable, os.path.abspath(__file__), "--inside-gnome", "--exe", exe,
             "--shots", shots, "--gnome-monitors", str(monitors), "--gnome-scale", str(scale)]
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


def mutter_scale(scale):
    """Sets every monitor of GNOME's to `scale` until the session ends, as its settings do."""
    import dbus
    bus = dbus.SessionBus()
    config = dbus.Interface(bus.get_object("org.gnome.Mutter.DisplayConfig",
                                           "/org/gnome/Mutter/DisplayConfig"),
                            "org.gnome.Mutter.DisplayConfig")
    serial, monitors, logical, _ = config.GetCurrentState()
    layout, x = [], 0
    for i, (output, modes, _) in enumerate(monitors):
        mode = next(m for m in modes if m[6].get("is-current"))
        layout.append((dbus.Int32(x), dbus.Int32(0), dbus.Double(scale), dbus.UInt32(0),
                       i == 0, [(output[0], mode[0], {})]))
        x += int(mode[1] / scale)
    config.ApplyMonitorsConfig(serial, dbus.UInt32(1), layout, {})
    print("ok", flush=True)


def gtk_work_areas(d):
    """mutter's work area of each monitor: (x, y, width, height) each."""
    out = d.run("xprop", "-root", "_GTK_WORKAREAS_D0")
    if "=" not in out:
        return []
    v = [int(s) for s in out.split("=")[1].split(",")]
    return [tuple(v[i:i + 4]) for i in range(0, len(v) - 3, 4)]


def key_pixels(png):
    """How many pixels of the bar's colour key a screenshot holds."""
    out = subprocess.run(["/usr/bin/convert", png, "-fill", "white", "+opaque", "rgb(121,91,23)",
                          "-fill", "black", "-opaque", "rgb(121,91,23)", "-format",
                          "%[fx:round(w*h*(1-mean))]", "info:"], capture_output=True,
                         text=True).stdout
    return int(out or -1)


def check_gnome_second_monitor(d, exe, scratch, env, shots, check, shoot):
    areas = gtk_work_areas(d)
    print("gnome2: monitors %s; work areas %s" % (
        d.run("xrandr", "--listmonitors").replace("\n", " | "), areas), flush=True)
    second = next((a for a in areas if a[0] >= 1920), None)
    check("gnome2: mutter publishes a work area for the second monitor", second, areas)
    if not second:
        return
    log = os.path.join(shots, "quorvane-gnome2.log")
    app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York")
    app, bar = start_bar(d, exe, scratch, app_env, "", log, left=second[0] + 680)
    try:
        placed = eventually(lambda: d.geometry(bar)[:4] == (second[0] + 680, second[1], 240, 34)
                            or None, 30)
        check("gnome2: the bar on the second monitor at its work area's top, y %d" % second[1],
              placed, d.geometry(bar))
        print("gnome2: the bar at %s" % (d.geometry(bar),), flush=True)
        shoot("second-monitor")
    finally:
        stop(app)


def check_gnome_scale2(d, exe, scratch, env, shots, check, shoot):
    top = work_area_top(d)
    log = os.path.join(shots, "quorvane-gnome-scale2.log")
    app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York")
    app, bar = start_bar(d, exe, scratch, app_env, "", log, left=1280)
    try:
        doubled = eventually(lambda: d.geometry(bar)[2:4] == (480, 68) or None, 30)
        x, y, w, h, _ = d.geometry(bar)
        print("gnome-scale2: work area top %s, the bar at %s, shape %s" % (
            top, (x, y, w, h), d.shape_box(bar)), flush=True)
        width = int(d.run("xwininfo", "-root").split("Width:")[1].split()[0])
        check("gnome-scale2: the bar is drawn at twice the size, at the work area's top, on "
              "screen", doubled and y == top and 0 <= x and x + w <= width,
              (x, y, w, h, top, width))
        # As the compositor shows it: XWayland keeps no picture of its root window.
        shoot("scale2")
        png = os.path.join(shots, "gnome-scale2-bar.png")
        subprocess.run(["/usr/bin/convert", os.path.join(shots, "gnome-scale2-scale2.png"),
                        "-crop", "%dx%d+%d+%d" % (w + 16, h + 8, x - 8, y), "+repage", png])
        check("gnome-scale2: no key colour at the cut corners", key_pixels(png) == 0,
              key_pixels(png))
    finally:
        stop(app)
    d.run("xdotool", "mousemove", "300", "700")
    app, bar = start_bar(d, exe, scratch, app_env, "AutoHide=1\n", log, left=1280)
    try:
        strip = eventually(lambda: (d.shape_box(bar) or (0, 0, 0, 0))[3] == 8 or None, 30)
        check("gnome-scale2: the strip is 4 rows of the scale, 8 pixels", strip,
              (d.geometry(bar), d.shape_box(bar)))
    finally:
        stop(app)


def inside_gnome(exe, shots, monitors=1, scale=1):
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
            ["gnome-shell", "--headless", "--wayland", "--wayland-display=quorvane-wl"]
            + ["--virtual-monitor", "1920x1080"] * monitors, env=env, stdout=log, stderr=log))
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
        if scale != 1:
            # As a session's settings would: the scale, and the X resources that pass it on.
            subprocess.run(["/usr/bin/python3", os.path.abspath(__file__), "--mutter-scale",
                            str(scale)], env=env, check=True, timeout=60)
            procs.append(start(["/usr/libexec/gsd-xsettings"], env))
            wait_for(lambda: "Xft.dpi:\t%d" % (96 * scale) in d.run("xrdb", "-query") or None,
                     60, "gsd-xsettings")
            wait_for(lambda: (work_area_top(d) or 0) > 0 or None, 60, "GNOME's top panel")

        name = "gnome" + ("-scale%d" % scale if scale != 1 else "") + (
            "-monitors%d" % monitors if monitors > 1 else "")

        def shoot(step):
            subprocess.run(["gnome-screenshot", "-f", os.path.join(shots, "%s-%s.png" % (name, step))],
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
        if scale != 1:
            check_gnome_scale2(d, exe, scratch, env, shots, check, shoot)
        else:
            check_on_panel_desktop(d, exe, scratch, env, shots, "gnome", check, shoot, pointer)
        if monitors > 1:
            check_gnome_second_monitor(d, exe, scratch, env, shots, check, shoot)
    finally:
        for p in reversed(procs):
            stop(p)
        os.kill(system_pid, 15)
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--desktops", default="gnome,kde,xfce,sway")
    parser.add_argument("--shots", default=os.path.join(top, "build", "desktop-tries"))
    parser.add_argument("--exe", default=os.path.join(top, "build", "tests", "app", "e2e",
                                                      "quorvane"))
    parser.add_argument("--inside-gnome", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--mutter-pointer", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("--mutter-scale", type=float, help=argparse.SUPPRESS)
    parser.add_argument("--kwin-screenshot", help=argparse.SUPPRESS)
    parser.add_argument("--gnome-monitors", type=int, default=1, help=argparse.SUPPRESS)
    parser.add_argument("--gnome-scale", type=int, default=1, help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.mutter_pointer:
        return mutter_pointer()
    if args.mutter_scale:
        return mutter_scale(args.mutter_scale)
    if args.kwin_screenshot:
        return kwin_screenshot(args.kwin_screenshot)
    os.makedirs(args.shots, exist_ok=True)
    if args.inside_gnome:
        return inside_gnome(args.exe, args.shots, args.gnome_monitors, args.gnome_scale)
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
            elif name == "sway":
                sway(args.exe, scratch, args.shots, check)
            elif name == "kde-wayland2":
                kde_wayland(args.exe, scratch, args.shots, check)
            elif name == "gnome2":
                gnome(args.exe, scratch, args.shots, check, monitors=2)
            elif name == "gnome-scale2":
                gnome(args.exe, scratch, args.shots, check, scale=2)
            else:
                gnome(args.exe, scratch, args.shots, check)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print("%d failed; screenshots in %s" % (len(failures), args.shots))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
