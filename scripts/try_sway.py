"""The bar on sway, headless, for try-desktops.py: sway as an unprivileged user (it refuses root),
swaybar at the top (ended and started again by hand on the way), a tiled xterm holding the focus,
the bar through XWayland. What the user sees is told from sway's own screenshots (grim): sway
draws neither the X shape nor the opacity property, so only its picture says what shows."""
import glob
import json
import os
import shutil
import signal
import subprocess
import time

from desktop_test import Desktop, eventually, start, start_bar, stop
from e2e_test import wait_for

NOBODY = 65534
CONFIG = """output HEADLESS-1 resolution 1920x1080 position 0 0
xwayland enable
default_border normal
exec sh -c 'echo $DISPLAY > %(run)s/display'
bar {
    position top
    status_command while date +%%H:%%M:%%S; do sleep 1; done
}
"""


class Sway:
    def __init__(self, scratch, shots):
        self.shots = shots
        self.home = os.path.join(scratch, "sway-home")
        self.run_dir = os.path.join(scratch, "sway-run")
        for folder in (self.home, self.run_dir):
            os.makedirs(folder, mode=0o700, exist_ok=True)
            os.chown(folder, NOBODY, NOBODY)
        os.chmod(scratch, 0o755)
        config = os.path.join(scratch, "sway.conf")
        with open(config, "w") as f:
            f.write(CONFIG % {"run": self.run_dir})
        env = {"PATH": os.environ["PATH"], "HOME": self.home, "XDG_RUNTIME_DIR": self.run_dir,
               "WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1",
               "WLR_RENDERER": "pixman"}
        self.log = open(os.path.join(shots, "sway.log"), "w")
        self.proc = subprocess.Popen(
            ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups", "sway",
             "-c", config], env=env, stdout=self.log, stderr=self.log)
        self.sock = wait_for(lambda: (glob.glob(self.run_dir + "/sway-ipc.*.sock") or [None])[0],
                             60, "sway's IPC socket")
        display_file = os.path.join(self.run_dir, "display")
        self.display = wait_for(lambda: os.path.exists(display_file) and open(
            display_file).read().strip(), 60, "sway's X display")
        self.wayland = wait_for(lambda: next((os.path.basename(p) for p in glob.glob(
            self.run_dir + "/wayland-*") if not p.endswith(".lock")), None), 60, "sway's socket")
        # The tools here run as root; XWayland lets in its own user only.
        subprocess.run(["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY,
                        "--clear-groups", "xhost", "+si:localuser:root"],
                       env=dict(env, DISPLAY=self.display), capture_output=True, timeout=60)

    def msg(self, *args):
        out = subprocess.run(["swaymsg", "-s", self.sock, "-r"] + list(args),
                             capture_output=True, text=True, timeout=20).stdout
        return json.loads(out) if out.strip() else None

    def usable_top(self):
        shown = [w for w in self.msg("-t", "get_workspaces") or [] if w["visible"]]
        return shown[0]["rect"]["y"] if shown else None

    def focused(self):
        def walk(node):
            if node.get("focused"):
                return node.get("name")
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                found = walk(child)
                if found:
                    return found
        return walk(self.msg("-t", "get_tree"))

    def shoot(self, step):
        path = os.path.join(self.shots, "sway-%s.png" % step)
        subprocess.run(["grim", path], env=dict(os.environ, XDG_RUNTIME_DIR=self.run_dir,
                                                WAYLAND_DISPLAY=self.wayland),
                       capture_output=True, timeout=30)
        return path

    def swaybars(self):
        """The PIDs of this sway's swaybars: sway leaves them to init, but hands them its
        socket."""
        found = []
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open("/proc/%s/comm" % pid) as f, open("/proc/%s/environ" % pid, "rb") as e:
                    if f.read().strip() == "swaybar" and (
                            b"SWAYSOCK=" + self.sock.encode()) in e.read().split(b"\0"):
                        found.append(int(pid))
            except OSError:
                pass
        return found

    def end_swaybar(self):
        for pid in self.swaybars():
            os.kill(pid, signal.SIGTERM)
        wait_for(lambda: self.usable_top() == 0 or None, 30, "swaybar's room given back")

    def start_swaybar(self):
        """A swaybar for the configured bar, started by hand as a late one would be."""
        env = {"PATH": os.environ["PATH"], "HOME": self.home, "XDG_RUNTIME_DIR": self.run_dir,
               "SWAYSOCK": self.sock, "WAYLAND_DISPLAY": self.wayland}
        self.late_bar = subprocess.Popen(
            ["setpriv", "--reuid=%d" % NOBODY, "--regid=%d" % NOBODY, "--clear-groups",
             "swaybar", "-b", self.msg("-t", "get_bar_config")[0]],
            env=env, stdout=self.log, stderr=self.log)

    def stop(self):
        if getattr(self, "late_bar", None):
            stop(self.late_bar)
        # Asked to end, sway takes its XWayland with it and leaves no display lock behind.
        self.proc.terminate()
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            stop(self.proc)
        self.log.close()


def pixel(path, x, y):
    out = subprocess.run(["convert", path, "-format", "%%[pixel:p{%d,%d}]" % (x, y), "info:"],
                         capture_output=True, text=True).stdout
    return tuple(int(v) for v in out[out.index("(") + 1:out.index(")")].split(",")[:3])


def shows_bar(path, x, y, beside):
    """Whether the bar is drawn at x, y: the picture there differs from the same row at
    `beside`, where only what lies under the bar shows."""
    return pixel(path, x, y) != pixel(path, beside, y)


def sway(exe, scratch, shots, check):
    s = Sway(scratch, shots)
    d = Desktop(s.display)
    env = dict(os.environ, DISPLAY=s.display, SWAYSOCK=s.sock, WAYLAND_DISPLAY=s.wayland,
               XDG_SESSION_TYPE="wayland", TZ="America/New_York")
    env.pop("QT_QPA_PLATFORM", None)
    procs = []
    try:
        wait_for(lambda: "Name" in d.run("wmctrl", "-m") or None, 60, "sway's X11 window manager")
        top = wait_for(lambda: (s.usable_top() or 0) > 0 and s.usable_top(), 60, "swaybar")
        procs.append(start(["xterm", "-bg", "white"], env))
        wait_for(lambda: s.focused() == "xterm" or None, 60, "the tiled xterm's focus")
        d.run("xdotool", "mousemove", "300", "700")
        log = os.path.join(shots, "quorvane-sway.log")
        app, bar = start_bar(d, exe, scratch, env, "", log)
        procs.append(app)
        placed = eventually(lambda: d.geometry(bar)[:4] == (1280, top, 240, 34) or None, 30)
        shot = s.shoot("start")
        check("sway: the bar starts below swaybar, at its own size, y %d" % top,
              placed and shows_bar(shot, 1500, top + 2, 1000)
              and not shows_bar(shot, 1500, top - 2, 1000), d.geometry(bar))
        check("sway: the bar is drawn above the tiled xterm, which keeps the focus",
              shows_bar(shot, 1500, top + 30, 1000) and s.focused() == "xterm", s.focused())
        d.run("xdotool", "mousemove", "1299", str(top + 12), "click", "1")
        menu = eventually(lambda: next((w for w in d.windows(app.pid) if w != bar), None), 30)
        where = d.geometry(menu)[:2] if menu else None
        s.shoot("menu")
        check("sway: the first menu opens under its button", where == (1289, top + 23), where)
        d.run("xdotool", "key", "Escape")
        eventually(lambda: d.windows(app.pid) == [bar] or None, 30)
        d.run("xdotool", "mousemove", "300", "700")

        s.msg("workspace", "2")
        time.sleep(0.5)  # sway answers before it has drawn the switch; only a bound for grim
        shot = s.shoot("workspace-2")
        check("sway: the bar is drawn on workspace 2", shows_bar(shot, 1500, top + 20, 1000)
              and d.geometry(bar)[:4] == (1280, top, 240, 34), d.geometry(bar))
        s.msg("workspace", "1")

        # The fade, as sway draws it: the bar over the white xterm, deeper under the pointer.
        rest = pixel(s.shoot("rest"), 1500, top + 30)
        d.run("xdotool", "mousemove", "1400", str(top + 15))
        eventually(lambda: pixel(s.shoot("hover"), 1500, top + 30) != rest or None, 30)
        check("sway: the bar fades up under the pointer",
              sum(pixel(s.shoot("hover"), 1500, top + 30)) < sum(rest),
              (rest, pixel(s.shoot("hover"), 1500, top + 30)))

        end = d.drag((1490, top + 28), (-10, 2), 20)
        check("sway: a drag moves the bar sideways, its top kept",
              eventually(lambda: d.geometry(bar)[:2] == (end[0] - 210, top) or None)
              and s.focused() == "xterm", (d.geometry(bar), end, s.focused()))
        s.shoot("dragged")
        # swaybar hidden and shown again: sway's IPC tells the bar where the top now is.
        s.msg("bar", "mode", "invisible")
        up = eventually(lambda: d.geometry(bar)[1] == 0 or None, 30)
        s.shoot("swaybar-hidden")
        s.msg("bar", "mode", "dock")
        down = eventually(lambda: d.geometry(bar)[1] == top or None, 30)
        check("sway: swaybar hidden, the bar goes up to the output's top; shown, below it again",
              up and down, d.geometry(bar))
        left = d.geometry(bar)[0]
        d.run("xdotool", "mousemove", str(left + 19), str(top + 12), "click", "1")
        menu = eventually(lambda: next((w for w in d.windows(app.pid) if w != bar), None), 30)
        if menu:
            mx, my, mw, mh, _ = d.geometry(menu)
            d.run("xdotool", "mousemove", str(mx + 40), str(my + mh - 10), "click", "1")
        closed = eventually(lambda: app.poll() is not None or None, 30)
        check("sway: Close ends the bar", closed, app.poll())

        # swaybar ending and starting tells no client over sway's IPC, but tiles the xterm anew.
        s.end_swaybar()
        # A swaybar started after the bar, here a retracted one.
        d.run("xdotool", "mousemove", "300", "700")
        app, bar = start_bar(d, exe, scratch, env, "AutoHide=1\n", log)
        procs.append(app)
        first = eventually(lambda: d.geometry(bar)[1] + d.geometry(bar)[3] == 4 or None, 30)
        s.start_swaybar()
        back = eventually(lambda: s.usable_top() == top or None, 30)
        strip = eventually(lambda: d.geometry(bar)[1] + d.geometry(bar)[3] == top + 4 or None, 30)
        check("sway: a swaybar started after the bar: the strip goes below it",
              first and back and strip, (first, back, d.geometry(bar)))
        shot = s.shoot("retracted")
        check("sway: retracted, the strip lies below swaybar and covers nothing of it",
              strip and shows_bar(shot, 1500, top + 1, 1000)
              and not shows_bar(shot, 1500, top - 2, 1000)
              and not shows_bar(shot, 1500, top + 8, 1000), d.geometry(bar))
        # The strip is the bar's bottom rows, as where the shape cuts it: each row plain from
        # end to end (but for the cut corners of the last), with neither the top line, which
        # starts four pixels in, nor the menu button's top. What lies under differs by row.
        rows = [{pixel(shot, x, top + row) for x in (1282,) * (row < 3) + (1299, 1400, 1500)}
                for row in range(4)]
        check("sway: the strip shows the bar's bottom rows", all(len(r) == 1 for r in rows), rows)
        d.run("xdotool", "mousemove", "1400", str(top + 1))
        back = eventually(lambda: d.geometry(bar)[:4] == (1280, top, 240, 34) or None, 30)
        shot = s.shoot("revealed")
        check("sway: a pointer on the strip brings the bar back",
              back and shows_bar(shot, 1500, top + 30, 1000), d.geometry(bar))
        # Nothing has come from sway's IPC since this bar started: only the xterm tells.
        below = d.geometry(bar)[1] == top
        s.end_swaybar()
        up = eventually(lambda: d.geometry(bar)[1] == 0 or None, 30)
        check("sway: swaybar ended, the bar goes up from below it to the output's top",
              below and up, d.geometry(bar))
    finally:
        for p in reversed(procs):
            stop(p)
        s.stop()
