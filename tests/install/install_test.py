#!/usr/bin/env python3
"""Installs the program as a user would, into scratch data and config homes, and checks it from
outside: files and modes, both desktop entries, the installed bar under Xvfb started through its
entry, a second bar refused, an upgrade over the user's edits, and the uninstall.

Exit 77 means "skipped".
"""
import argparse
import os
import shlex
import shutil
import stat
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # the shared helpers are imported from the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from e2e_test import skip, start_xvfb, wait_for  # noqa: E402

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def read_entry(path):
    """The [Desktop Entry] keys, string escapes undone."""
    keys = {}
    with open(path) as f:
        for line in f.read().splitlines()[1:]:
            key, value = line.split("=", 1)
            keys[key] = value.replace("\\s", " ").replace("\\\\", "\\")
    return keys


def mode(path):
    return stat.S_IMODE(os.stat(path).st_mode)


def files_under(*roots):
    found = set()
    for root in roots:
        for folder, _, names in os.walk(root):
            found.update(os.path.join(folder, n) for n in names)
    return found


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


def pixel(png, px, py):
    out = subprocess.run(["/usr/bin/convert", png, "-crop", "1x1+%d+%d" % (px, py), "-depth", "8",
                          "txt:-"], capture_output=True, text=True, check=True).stdout
    values = out.splitlines()[1].split("(")[1].split(")")[0].split(",")
    return tuple(int(float(v)) for v in values[:4])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--script", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--sounds", required=True)
    args = parser.parse_args()
    for tool in ("Xvfb", "xdotool", "desktop-file-validate", "flock", "/usr/bin/convert"):
        if not shutil.which(tool):
            skip(tool + " is not installed")

    scratch = tempfile.mkdtemp(prefix="quorvane-install-")
    # A space in the data home, as in many home folders, puts the entry's Exec quoting to work.
    data = os.path.join(scratch, "data home")
    config = os.path.join(scratch, "config")
    runtime = os.path.join(scratch, "runtime")
    os.makedirs(os.path.join(scratch, "home"))
    os.makedirs(runtime, mode=0o700)
    env = dict(os.environ, HOME=os.path.join(scratch, "home"), XDG_DATA_HOME=data,
               XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime)
    appdir = os.path.join(data, "quorvane")
    exe = os.path.join(appdir, "quorvane")
    entry = os.path.join(data, "applications", "quorvane.desktop")
    login = os.path.join(config, "autostart", "quorvane.desktop")
    ini = os.path.join(appdir, "options.ini")
    bundled = sorted(os.listdir(args.sounds))

    def script(*flags, status=0):
        r = subprocess.run([args.script, *flags], env=env, capture_output=True, text=True,
                           timeout=90)
        assert r.returncode == status, (flags, r.returncode, r.stdout + r.stderr)
        return r.stdout

    xvfb = bars = None
    try:
        script("--build", args.build, "--autostart")
        expected = {exe: 0o755, os.path.join(appdir, "quorvane-schedule"): 0o755,
                    os.path.join(appdir, "quorvane-sound.so"): 0o644,
                    os.path.join(appdir, "schedule.txt"): 0o644, entry: 0o644, login: 0o644}
        expected.update({os.path.join(appdir, "sounds", s): 0o644 for s in bundled})
        for size in ICON_SIZES:
            icon = os.path.join(data, "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                "quorvane.png")
            expected[icon] = 0o644
            assert png_size(icon) == (size, size), icon
        for path, want in expected.items():
            assert mode(path) == want, "%s has mode %o" % (path, mode(path))
        # The button's picture fills the icon: green arrow up-left, red down-right, clear corner.
        icon48 = os.path.join(data, "icons", "hicolor", "48x48", "apps", "quorvane.png")
        green, red, corner = pixel(icon48, 9, 9), pixel(icon48, 39, 39), pixel(icon48, 0, 0)
        assert green[1] > 120 and green[0] < 60 and green[3] == 255, green
        assert red[0] > 180 and red[1] < 120 and red[3] == 255, red
        assert corner[3] < 128, corner

        for path in (entry, login):
            r = subprocess.run(["desktop-file-validate", path], capture_output=True, text=True)
            assert r.returncode == 0, r.stdout + r.stderr
        keys, login_keys = read_entry(entry), read_entry(login)
        assert shlex.split(keys["Exec"]) == [exe], keys["Exec"]
        assert keys["TryExec"] == exe and keys["Icon"] == "quorvane", keys
        assert keys["Categories"] == "Office;Finance;" and keys["StartupNotify"] == "false", keys
        assert login_keys.pop("X-GNOME-Autostart-enabled") == "true" and login_keys == keys

        # The user's edit: no time server, so the bar under test asks nobody for the time.
        edited = b"[Quorvane]\nUseSNTP=0\nTransparency=20\n"
        with open(ini, "wb") as f:
            f.write(edited)
        xvfb, display = start_xvfb("1280x800x24")
        elsewhere = os.path.join(scratch, "elsewhere")
        os.makedirs(elsewhere)
        xenv = dict(env, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        xenv.pop("WAYLAND_DISPLAY", None)
        bars = [subprocess.Popen(shlex.split(keys["Exec"]), cwd=elsewhere, env=xenv)]

        def window():
            out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                                  str(bars[0].pid)], env=xenv, capture_output=True, text=True)
            return out.stdout.split()

        wait_for(window, 60, "the installed bar's window")
        before = (os.stat(ini).st_mtime_ns, open(ini, "rb").read())
        started = time.monotonic()
        bars.append(subprocess.Popen([exe], cwd=elsewhere, env=xenv))
        assert bars[1].wait(timeout=30) == 0
        print("second bar exited after %.2f s" % (time.monotonic() - started))
        assert bars[0].poll() is None, "the first bar ended"
        assert (os.stat(ini).st_mtime_ns, open(ini, "rb").read()) == before

        out = script("--uninstall", status=1)
        assert os.path.exists(exe) and os.path.exists(entry), "uninstalled under a running bar"
        bars[0].terminate()
        assert bars[0].wait(timeout=30) == 0
        # Ended as a log-out ends it, the bar kept its place beside the user's edit.
        edited = open(ini, "rb").read()
        assert edited.startswith(b"[Quorvane]\nUseSNTP=0\nTransparency=20\nLeft="), edited

        # An upgrade over the user's own schedule and alarms, one bundled sound deleted.
        with open(os.path.join(appdir, "schedule.txt"), "a") as f:
            f.write("# mine\n")
        own = {"sounds/" + bundled[0]: b"my own alarm", "sounds/7_min_before_opening.wav": b"new"}
        for rel, body in own.items():
            with open(os.path.join(appdir, rel), "wb") as f:
                f.write(body)
        os.remove(os.path.join(appdir, "sounds", bundled[-1]))
        script("--build", args.build)
        assert open(ini, "rb").read() == edited, "options.ini was overwritten"
        assert open(os.path.join(appdir, "schedule.txt")).read().endswith("# mine\n")
        for rel, body in own.items():
            assert open(os.path.join(appdir, rel), "rb").read() == body, rel
        assert os.path.exists(os.path.join(appdir, "sounds", bundled[-1])), "sound not added"
        assert os.path.exists(login), "an upgrade dropped the login start"

        script("--no-autostart")
        assert not os.path.exists(login) and os.path.exists(entry)

        out = script("--uninstall")
        print(out)
        kept = {"options.ini", "schedule.txt", *own}
        left = files_under(data, config)
        assert left == {os.path.join(appdir, k) for k in kept}, sorted(left)
        listed = out.split("(remove with --uninstall --purge):\n")[1].split()
        assert sorted(listed) == sorted(kept), listed

        script("--build", args.build)
        script("--uninstall", "--purge")
        assert files_under(data, config) == set(), sorted(files_under(data, config))
        print("1 passed, 0 failed")
        return 0
    finally:
        for bar in bars or []:
            if bar.poll() is None:
                bar.kill()
                bar.wait()
        if xvfb:
            xvfb.kill()
            xvfb.wait()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
