#!/usr/bin/env python3
"""The real program on a desktop: Xvfb with two monitors (the second at scale 2), openbox as the
window manager, a white xterm holding the focus under the bar, and picom when it is installed;
then on XFCE (xfwm4 and its 27-pixel top panel), where the bar must keep below the panel.

Everything is told from outside, through the X server: the opacity property as it arrives, window
geometry, shape, stacking and focus. The program's clock is held by libfaketime two seconds before a
market opening whose alarm file is no sound, and let run only once the bar has been seen answering,
so however slow the start, the opening comes after the first tick and the error box comes up. Exit
77 means "skipped".
"""
import argparse
import calendar
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True  # the shared helpers are imported from the source tree
from e2e_test import (Program, pick_menu_item, set_time_limit, skip, start_telling, start_xvfb,
                      wait_for, x)

FAKETIME = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
OPACITY = "_NET_WM_WINDOW_OPACITY"
OPENING = calendar.timegm((2027, 3, 12, 14, 30, 0))  # 9:30 am Eastern, as UTC


def set_clock(path, setting):
    """Replaced whole, so the program never reads half a setting."""
    with open(path + ".new", "w") as f:
        f.write(setting + "\n")
    os.rename(path + ".new", path)


class Checks(list):
    """Prints each check as it is made and keeps the names of those that failed, and of the
    parts that could not run."""

    def __init__(self):
        super().__init__()
        self.skipped = []

    def __call__(self, what, ok, detail=""):
        print(("ok   " if ok else "FAIL ") + what + ("" if ok else ": " + str(detail)),
              flush=True)
        if not ok:
            self.append(what)

    def skip(self, why):
        print("SKIPPED: " + why, flush=True)
        self.skipped.append(why)

    def outcome(self):
        """The exit status: a part that could not run makes the whole skipped, never passed."""
        print("%d failed, %d skipped" % (len(self), len(self.skipped)))
        return 1 if self else 77 if self.skipped else 0


def eventually(predicate, seconds=10):
    """Like wait_for, but answers None at the deadline, so the check itself can tell."""
    try:
        return wait_for(predicate, seconds, "")
    except AssertionError:
        return None


def start(cmd, env):
    return subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Desktop:
    def __init__(self, display):
        self.display = display

    def run(self, *cmd):
        return x(list(cmd), self.display).stdout

    def geometry(self, wid):
        values = {}
        for line in self.run("xwininfo", "-id", wid).splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]), values["Map State"])

    def shape(self, wid):
        for line in self.run("xwininfo", "-id", wid, "-shape").splitlines():
            if "Window shape extents" in line:
                return line.split(":")[1].strip().split("+")[0]
        return None

    def shape_box(self, wid):
        """The bounding shape's extents in the window: (x, y, width, height)."""
        for line in self.run("xwininfo", "-id", wid, "-shape").splitlines():
            if "Window shape extents" in line:
                size, x_, y_ = line.split(":")[1].strip().split("+")
                w_, h_ = size.split("x")
                return int(x_), int(y_), int(w_), int(h_)
        return None

    def windows(self, pid):
        return self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid)).split()

    def stacking(self):
        out = self.run("xprop", "-root", "_NET_CLIENT_LIST_STACKING")
        return [int(v.strip(), 16) for v in out.split("#")[1].split(",")]

    def focus(self):
        return self.run("xdotool", "getwindowfocus").strip()

    def drag(self, start, step, count, press=True):
        px, py = start
        self.run("xdotool", "mousemove", str(px), str(py))
        if press:
            self.run("xdotool", "mousedown", "1")
        for _ in range(count):
            px, py = px + step[0], py + step[1]
            self.run("xdotool", "mousemove", str(px), str(py))
        if press:
            self.run("xdotool", "mouseup", "1")
        return px, py

    def shot(self, path, left, top, width, height):
        self.run("import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
                 "+repage", path)


class OpacitySpy(threading.Thread):
    """Each change of the bar's opacity as it reaches the X server, with its arrival time."""

    def __init__(self, display, wid):
        super().__init__(daemon=True)
        self.proc = subprocess.Popen(["xprop", "-spy", "-id", wid, OPACITY], text=True,
                                     env=dict(os.environ, DISPLAY=display),
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.seen = []

    def run(self):
        for line in self.proc.stdout:
            if "=" in line:
                value = int(line.split("=")[1])
                self.seen.append((time.monotonic(), round(value * 255 / 0xFFFFFFFF)))

    def since(self, t0):
        return [(t, v) for t, v in self.seen if t >= t0]

    def stop(self):
        self.proc.kill()

def start_session_bus(env, scratch):
    """A private session bus, as a desktop session has; answers its process and address."""
    return start_telling(["dbus-daemon", "--session", "--nofork"], "--print-address=%d",
                         env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def far_session():
    """A schedule whose next opening is weeks away, so auto-hide keeps the bar retracted."""
    day = datetime.date.today() + datetime.timedelta(days=40)
    return "%s 9:30 am - %s 4:00 pm\n" % ((day.strftime("%m/%d/%Y"),) * 2)


def opacity(d, wid):
    out = d.run("xprop", "-id", wid, OPACITY)
    return round(int(out.split("=")[1]) * 255 / 0xFFFFFFFF) if "=" in out else None


def work_area_top(d):
    out = d.run("xprop", "-root", "_NET_WORKAREA")
    return int(out.split("=")[1].split(",")[1]) if "=" in out else None


def start_bar(d, exe, scratch, env, options, log, left=1280):
    """The program in a folder of its own, its output added to the file log; answers the
    process and its bar's window."""
    folder = tempfile.mkdtemp(dir=scratch)
    shutil.copy2(exe, os.path.join(folder, "quorvane"))
    with open(os.path.join(folder, "schedule.txt"), "w") as f:
        f.write(far_session())
    with open(os.path.join(folder, "options.ini"), "w") as f:
        f.write("[Quorvane]\nUseSNTP=0\nLeft=%d\nWidth=240\nHeight=34\n" % left + options)
    app = Program([os.path.join(folder, "quorvane")], log, append=True, cwd="/", env=env)
    bar = wait_for(lambda: (d.windows(app.pid) or [None])[0], 60, "the bar's window", app)
    return app, bar


def stop(p):
    if p.poll() is None:
        p.kill()
        p.wait()


def xdotool_pointer(d):
    """Moves the pointer to x, y and clicks there when asked, as the X server's own."""
    def pointer(x, y, click=False):
        d.run("xdotool", "mousemove", str(x), str(y), *(["click", "1"] if click else []))
    return pointer


def check_on_panel_desktop(d, exe, scratch, env, shots, name, check, shoot=None, pointer=None):
    """What a desktop must leave the bar, top panel or none: each check is named after `name`.

    The first run, auto-hide off: the bar below the panel, the very first click's menu under
    its button, and the bar on workspace 2. The second, auto-hide on: the strip at the top of
    the work area, clear of the panel, and a pointer on it brings the bar back. `shoot`,
    when given, takes the whole screen as the desktop composes it, named after each step;
    `pointer`, when given, moves the pointer where the desktop's own input would."""
    shoot = shoot or (lambda step: None)
    pointer = pointer or xdotool_pointer(d)
    wait_for(lambda: work_area_top(d) is not None or None, 30, "a work area")
    top = work_area_top(d)
    log = os.path.join(shots, "quorvane-%s.log" % name)
    open(log, "w").close()
    app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York")
    app, bar = start_bar(d, exe, scratch, app_env, "", log)
    try:
        placed = eventually(lambda: d.geometry(bar)[:4] == (1280, top, 240, 34) or None, 30)
        check("%s: the bar starts at the top of the work area, y %d" % (name, top), placed,
              d.geometry(bar))
        pointer(1299, top + 12, click=True)
        menu = eventually(lambda: next((w for w in d.windows(app.pid) if w != bar), None), 30)
        where = d.geometry(menu)[:2] if menu else None
        check("%s: the first menu opens under its button" % name,
              where == (1289, top + 23), where)
        d.shot(os.path.join(shots, "%s-menu.png" % name), 1200, 0, 400, top + 200)
        shoot("menu")
        d.run("xdotool", "key", "Escape")
        eventually(lambda: d.windows(app.pid) == [bar] or None, 30)
        d.run("wmctrl", "-n", "2")
        d.run("wmctrl", "-s", "1")
        switched = eventually(lambda: "= 1" in d.run("xprop", "-root", "_NET_CURRENT_DESKTOP")
                              or None, 30)
        # A compositing window manager can keep windows of other workspaces mapped: it must
        # also say the bar is on every workspace.
        desktop = d.run("xprop", "-id", bar, "_NET_WM_DESKTOP")
        check("%s: the bar is mapped on workspace 2" % name,
              switched and d.geometry(bar)[4] == "IsViewable" and "4294967295" in desktop,
              (d.geometry(bar), desktop))
        d.run("import", "-window", "root", os.path.join(shots, "%s-workspace-2.png" % name))
        shoot("workspace-2")
        d.run("wmctrl", "-s", "0")
    finally:
        stop(app)

    # Away from the bar before it starts. Under a Wayland compositor, XWayland keeps the last
    # place the pointer had over its windows and takes a new window there for the one under
    # the pointer, whom no leave will ever reach: that place is moved away too.
    pointer(300, 700)
    d.run("xdotool", "mousemove", "300", "700")
    app, bar = start_bar(d, exe, scratch, app_env, "AutoHide=1\n", log)
    try:
        retracted = eventually(lambda: d.geometry(bar)[1] == top + 4 - 34 or None, 30)
        shape = d.shape_box(bar)
        check("%s: retracted, the strip lies at the work area's top and covers nothing above"
              % name, retracted and shape and shape[1] + top + 4 - 34 == top
              and shape[3] == 4, (d.geometry(bar), shape))
        d.shot(os.path.join(shots, "%s-retracted.png" % name), 1200, 0, 400, top + 40)
        shoot("retracted")
        pointer(1400, top + 1)
        back = eventually(lambda: d.geometry(bar)[1] == top or None, 30)
        # It stays while the pointer is on it: the bar has taken it in once it fades up fully.
        faded = eventually(lambda: opacity(d, bar) == 220 or None, 30)
        check("%s: a pointer on the strip brings the bar back, and it stays" % name,
              back and faded and d.geometry(bar)[1] == top, (d.geometry(bar), opacity(d, bar)))
        d.shot(os.path.join(shots, "%s-revealed.png" % name), 1200, 0, 400, top + 40)
        shoot("revealed")
    finally:
        stop(app)


def check_second_monitor(d, exe, scratch, env, shots, name, check):
    """The monitor beside the primary, whose top no panel reserves: the bar at its very top,
    the strip there within reach, and a bar saved off the desk back on it."""
    log = os.path.join(shots, "quorvane-%s-second.log" % name)
    app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York")
    d.run("xdotool", "mousemove", "300", "700")
    app, bar = start_bar(d, exe, scratch, app_env, "AutoHide=1\n", log, left=2600)
    try:
        retracted = eventually(lambda: d.geometry(bar)[:2] == (2600, 4 - 34) or None, 30)
        shape = d.shape_box(bar)
        check("%s: on the second monitor, retracted, the strip is its top 4 rows" % name,
              retracted and shape and shape[1] + 4 - 34 == 0 and shape[3] == 4,
              (d.geometry(bar), shape))
        d.run("xdotool", "mousemove", "2700", "0")
        back = eventually(lambda: d.geometry(bar)[:2] == (2600, 0) or None, 30)
        check("%s: the second monitor's top edge brings the bar back, at y 0" % name, back,
              d.geometry(bar))
        d.run("import", "-window", "root", "-resize", "50%",
              os.path.join(shots, "%s-second-monitor.png" % name))
    finally:
        stop(app)
    app, bar = start_bar(d, exe, scratch, app_env, "", log, left=5120)
    try:
        placed = eventually(lambda: d.geometry(bar)[:4] == (3600, 0, 240, 34) or None, 30)
        check("%s: a bar saved off the desk starts wholly on the nearest monitor" % name, placed,
              d.geometry(bar))
    finally:
        stop(app)


# Each desktop: what must be installed, and its programs in the order they start.
DESKTOPS = {
    "xfce": (("xfwm4", "xfce4-panel", "/etc/xdg/xfce4/panel/default.xml"),
             (["xfwm4", "--compositor=off"], ["xfce4-panel"])),
    # A fresh openbox for the very first click: the toolkit's idea of where the bar is can
    # lag behind the window manager's in some starts.
    "openbox": (("openbox",), (["openbox", "--sm-disable"],)),
}


def panel_desktop(name, exe, scratch, shots, check):
    needs, programs = DESKTOPS[name]
    for tool in needs + ("dbus-daemon",):
        if not shutil.which(tool) and not os.path.exists(tool):
            check.skip("%s: %s is not installed" % (name, tool))
            return
    home = os.path.join(scratch, name + "-home")
    panels = os.path.join(home, ".config", "xfce4", "xfconf", "xfce-perchannel-xml")
    os.makedirs(panels)
    if name == "xfce":
        shutil.copy("/etc/xdg/xfce4/panel/default.xml", os.path.join(panels, "xfce4-panel.xml"))
    # Two monitors side by side, the primary on the left.
    xvfb, display = start_xvfb("3840x1080x24")
    env = dict(os.environ, DISPLAY=display, HOME=home, XDG_CONFIG_HOME=home + "/.config",
               XDG_CACHE_HOME=home + "/.cache", XDG_DATA_HOME=home + "/.local/share")
    env.pop("WAYLAND_DISPLAY", None)
    procs = []
    try:
        bus, address = start_session_bus(env, scratch)
        procs.append(bus)
        env["DBUS_SESSION_BUS_ADDRESS"] = address
        d = Desktop(display)
        procs.append(start(programs[0], env))
        wait_for(lambda: "Name" in d.run("wmctrl", "-m") or None, 30, programs[0][0])
        # Set once the window manager has probed the outputs, before a panel picks its monitor.
        d.run("xrandr", "-q")
        d.run("xrandr", "--setmonitor", "*A", "1920/508x1080/286+0+0", "screen")
        d.run("xrandr", "--setmonitor", "B", "1920/508x1080/286+1920+0", "none")
        d.run("xrandr", "-q")
        for program in programs[1:]:
            procs.append(start(program, env))
        if name == "xfce":
            wait_for(lambda: (work_area_top(d) or 0) > 0 or None, 60, "the XFCE panel")
        check_on_panel_desktop(d, exe, scratch, env, shots, name, check)
        check_second_monitor(d, exe, scratch, env, shots, name, check)
    finally:
        for p in reversed(procs):
            stop(p)
        xvfb.kill()
        xvfb.wait()


def others_only(args):
    """The quick run alone on each desktop named."""
    scratch = tempfile.mkdtemp(prefix="quorvane-desktop-")
    check = Checks()
    try:
        for name in args.desktops.split(","):
            panel_desktop(name, args.exe, scratch, args.shots, check)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    return check.outcome()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--shots", required=True)
    # "all" is the full openbox run and then the quick one on each desktop; or a list of these.
    parser.add_argument("--desktops", default="all")
    parser.add_argument("--time-limit", type=float, default=None)
    args = parser.parse_args()
    if args.time_limit:
        set_time_limit(args.time_limit)
    for tool in ("Xvfb", "openbox", "xterm", "xdotool", "xwininfo", "xprop", "wmctrl", "xrandr",
                 "import", "/usr/bin/convert"):
        if not shutil.which(tool):
            skip(tool + " is not installed")
    if not os.path.exists(FAKETIME):
        skip("libfaketime is not installed")
    os.makedirs(args.shots, exist_ok=True)
    if args.desktops != "all":
        return others_only(args)

    scratch = tempfile.mkdtemp(prefix="quorvane-desktop-")
    xvfb, display = start_xvfb("3840x1080x24")
    d = Desktop(display)
    env = dict(os.environ, DISPLAY=display)
    env.pop("WAYLAND_DISPLAY", None)
    procs = []
    try:
        procs.append(start(["openbox", "--sm-disable"], env))
        if not wait_for(lambda: "Openbox" in d.run("wmctrl", "-m") or None, 30, "openbox"):
            skip("openbox did not start")
        # Two monitors side by side, set once the window manager has probed the outputs: a probe
        # drops monitors set before it.
        d.run("xrandr", "-q")
        d.run("xrandr", "--setmonitor", "A", "1920/508x1080/286+0+0", "none")
        d.run("xrandr", "--setmonitor", "B", "1920/508x1080/286+1920+0", "none")
        d.run("xrandr", "-q")
        monitors = d.run("xrandr", "--listmonitors")
        if " A " not in monitors or " B " not in monitors:
            skip("the X server keeps no second monitor: " + monitors)
        if shutil.which("picom"):
            procs.append(start(["picom", "--backend", "xrender"], env))
        procs.append(start(["xterm", "-bg", "white", "-geometry", "280x75+0+0"], env))
        xterm = wait_for(lambda: (d.run("xdotool", "search", "--onlyvisible", "--class",
                                        "xterm").split() or [None])[0], 30, "the xterm")
        d.run("xdotool", "mousemove", "300", "700", "click", "1")
        wait_for(lambda: d.focus() == xterm, 30, "the xterm's focus")

        exe = os.path.join(scratch, "quorvane")
        shutil.copy2(args.exe, exe)
        os.mkdir(os.path.join(scratch, "sounds"))
        with open(os.path.join(scratch, "sounds", "0_min_before_opening.wav"), "w") as f:
            f.write("no sound in here")
        with open(os.path.join(scratch, "schedule.txt"), "w") as f:
            f.write("03/12/2027 9:30 am - 03/12/2027 4:00 pm\n")
        with open(os.path.join(scratch, "options.ini"), "w") as f:
            f.write("[Quorvane]\nUseSNTP=0\nLeft=1280\nWidth=240\nHeight=34\n")
        browser = os.path.join(scratch, "browser")
        opened = os.path.join(scratch, "opened")
        with open(browser, "w") as f:
            # What the bar chose for itself must not reach the programs it opens.
            f.write("#!/bin/sh\necho \"$1 ${QT_XCB_NO_MITSHM-unset}\" >> %s\n" % opened)
        os.chmod(browser, 0o755)
        # The clock stands still two seconds before the opening until the bar has ticked;
        # timers run on the real monotonic clock all the while.
        clock = os.path.join(scratch, "faketime")
        set_clock(clock, "2027-03-12 09:29:58")
        app_env = dict(env, QT_QPA_PLATFORM="xcb", TZ="America/New_York", BROWSER=browser,
                       QT_SCREEN_SCALE_FACTORS="A=1;B=2;screen=1", LD_PRELOAD=FAKETIME,
                       FAKETIME_TIMESTAMP_FILE=clock, FAKETIME_NO_CACHE="1",
                       FAKETIME_DONT_FAKE_MONOTONIC="1")
        app_env.pop("FAKETIME", None)  # it would win over the file
        app_env.pop("QT_XCB_NO_MITSHM", None)
        # A sanitizer build must accept the clock library loaded ahead of its runtime.
        app_env["ASAN_OPTIONS"] = ":".join(
            filter(None, [os.environ.get("ASAN_OPTIONS"), "verify_asan_link_order=0"]))
        app = Program([exe], os.path.join(args.shots, "quorvane.log"), cwd="/", env=app_env)
        procs.append(app)

        bar = wait_for(lambda: (d.windows(app.pid) or [None])[0], 60, "the bar's window", app)
        left, top, width, height, _ = d.geometry(bar)
        assert (left, top, width, height) == (1280, 0, 240, 34), (left, top, width, height)
        check = Checks()

        # The fade, as the X server receives it: an enter from 80, then a leave to the floor.
        spy = OpacitySpy(display, bar)
        spy.start()
        wait_for(lambda: spy.seen or None, 30, "the first opacity reading")
        d.shot(os.path.join(args.shots, "fade-1.png"), 1270, 0, 260, 44)
        for name, point, expected, shot in (
                ("enter", (1400, 15), [100, 120, 140, 160, 180, 200, 220], "fade-3.png"),
                ("leave", (300, 700), [200, 180, 160, 155], "fade-2.png")):
            t0 = time.monotonic()
            d.run("xdotool", "mousemove", *map(str, point))
            wait_for(lambda: spy.since(t0) and spy.since(t0)[-1][1] == expected[-1] or None, 30,
                     "the %s fade" % name)
            # The spy reads the value when it hears of a change, so a spy slowed by a busy
            # machine may read a later step twice; it still hears every change.
            eventually(lambda: len(spy.since(t0)) >= len(expected) or None, 5)
            steps = spy.since(t0)
            values = [v for _, v in steps]
            check("%s: each step reaches the X server in order" % name,
                  len(values) == len(expected) and values[-1] == expected[-1]
                  and all(v in expected[i:] for i, v in enumerate(values))
                  and all(expected.index(a) <= expected.index(b)
                          for a, b in zip(values, values[1:])), values)
            span = steps[-1][0] - steps[0][0]
            # Held X requests arrive in one burst; a busy machine only stretches the fade.
            check("%s: the steps arrive spread over the fade, not in one burst" % name,
                  span >= 0.05, "%.3f s" % span)
            d.shot(os.path.join(args.shots, shot), 1270, 0, 260, 44)
        spy.stop()
        subprocess.run(["/usr/bin/convert", os.path.join(args.shots, "fade-1.png"),
                        os.path.join(args.shots, "fade-2.png"),
                        os.path.join(args.shots, "fade-3.png"), "-append",
                        os.path.join(args.shots, "fade.png")])

        # The fades were painted by a running event loop, so the bar has ticked on the held
        # clock: let it run on from there, without a step, into the opening.
        set_clock(clock, "%+.3f" % (OPENING - 2 - time.time()))

        # The error box: in sight above the xterm, and the bar still answers a drag under it.
        box = wait_for(lambda: next((w for w in d.windows(app.pid) if w != bar), None), 60,
                       "the error box")
        bx, by, bw, bh, _ = d.geometry(box)
        stack = d.stacking()
        check("the error box is stacked above the xterm",
              stack.index(int(box)) > stack.index(int(xterm)), stack)
        check("the error box is kept above",
              "_NET_WM_STATE_ABOVE" in d.run("xprop", "-id", box, "_NET_WM_STATE"))
        d.shot(os.path.join(args.shots, "error-box.png"), bx - 20, 0, 1550 - bx, by + bh + 20)
        d.drag((1490, 28), (-10, 0), 20)
        check("the bar drags while the box is up",
              eventually(lambda: d.geometry(bar)[:2] == (1080, 0) or None), d.geometry(bar))
        d.run("xdotool", "mousemove", str(bx + bw - 50), str(by + bh - 20), "click", "1")
        check("OK takes the box away", eventually(lambda: box not in d.windows(app.pid) or None))
        d.run("xdotool", "windowmove", bar, "1280", "0")
        wait_for(lambda: d.geometry(bar)[:2] == (1280, 0) or None, 30, "the bar back at 1280")
        d.run("xdotool", "mousemove", "300", "700", "click", "1")
        wait_for(lambda: d.focus() == xterm, 30, "the xterm's focus again")

        # Presses and drags on the bar's parts: (what, press point from the bar's left, step,
        # steps, where the bar's left should end from where it began and where the pointer ended).
        rows = [
            ("a drag by the status label follows the pointer, top kept at 0", (210, 28),
             (-10, 3), 20, lambda start, end: end - 210),
            ("a drag by the clock follows the pointer back", (110, 10), (10, -1), 20,
             lambda start, end: start + 200),
            ("a press-and-move on the link label leaves the bar in place", (20, 28), (10, 0),
             30, lambda start, end: start),
            ("a press-and-move on the menu button leaves the bar in place", (19, 12), (10, 0),
             30, lambda start, end: start),
        ]
        for what, press, step, count, expect in rows:
            start_left = d.geometry(bar)[0]
            end = d.drag((start_left + press[0], press[1]), step, count)
            want = (expect(start_left, end[0]), 0)
            settled = eventually(lambda: d.geometry(bar)[:2] == want or None)
            check(what, settled and d.focus() == xterm, (d.geometry(bar), want, d.focus()))
        check("the site opens only on a click on the link", not os.path.exists(opened))
        d.run("xdotool", "mousemove", "1300", "28", "click", "1")
        said = eventually(lambda: os.path.exists(opened) and open(opened).read().split() or None)
        check("the click on the link opens the site, the browser in the desktop's own setting",
              said and said[1:] == ["unset"], said)
        check("no pop-up menu stayed open", d.windows(app.pid) == [bar], d.windows(app.pid))

        # "Show desktop" hides the xterm and leaves the bar.
        d.run("wmctrl", "-k", "on")
        wait_for(lambda: d.geometry(xterm)[4] == "IsUnMapped" or None, 30, "the desktop shown")
        check("after show desktop the bar is still mapped", d.geometry(bar)[4] == "IsViewable",
              d.geometry(bar))
        d.run("wmctrl", "-k", "off")
        wait_for(lambda: d.geometry(xterm)[4] == "IsViewable" or None, 30, "the xterm back")

        # The options dialog's first showing is centred on the primary monitor.
        d.run("xdotool", "windowmove", bar, "1280", "0")
        wait_for(lambda: d.geometry(bar)[:2] == (1280, 0) or None, 30, "the bar at 1280")
        d.run("xdotool", "mousemove", "1299", "12", "click", "1")
        menu = wait_for(lambda: next((w for w in d.windows(app.pid) if w != bar), None), 30,
                        "the menu")
        pick_menu_item(display, "Options")
        dialog = wait_for(lambda: next((w for w in d.windows(app.pid)
                                        if w not in (bar, menu)), None), 30, "the options")
        check("the options dialog is centred on its first showing",
              d.geometry(dialog)[:4] == (744, 315, 432, 450), d.geometry(dialog))
        d.run("xdotool", "mousemove", "1124", "739", "click", "1")  # Cancel
        wait_for(lambda: d.windows(app.pid) == [bar] or None, 30, "the options to close")

        # Onto the scale-2 monitor: the bar doubles, and its shape with it.
        end = d.drag((1490, 28), (50, 0), 20)
        eventually(lambda: d.geometry(bar)[2] == 480 or None)
        bx, by, bw, bh, _ = d.geometry(bar)
        check("on the scale-2 monitor the bar ends under the hand",
              (bx, by, bw, bh) == (end[0] - 2 * 210, 0, 480, 68), (bx, by, bw, bh, end))
        check("on the scale-2 monitor the shape follows", d.shape(bar) == "480x68",
              d.shape(bar))
        d.run("xdotool", "mousemove", "300", "700")
        d.shot(os.path.join(args.shots, "bar-scale2.png"), bx - 10, 0, bw + 20, bh + 10)

        for name in ("openbox", "xfce"):
            panel_desktop(name, args.exe, scratch, args.shots, check)
        return check.outcome()
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.kill()
                p.wait()
        xvfb.kill()
        xvfb.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
