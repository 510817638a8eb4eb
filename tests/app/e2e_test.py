#!/usr/bin/env python3
"""Starts the real program under Xvfb in a scratch folder and checks it from outside.

The program is a build whose vendor host is 127.0.0.1:HTTP_PORT; this script serves the schedule
there and answers SNTP on another loopback port named in options.ini. Exit 77 means "skipped".
"""
import argparse
import datetime
import http.server
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

AGENT = ("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
         ".NET CLR 1.1.4322)")
NTP_EPOCH = 2208988800


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(77)


_time_limit = None


def set_time_limit(seconds):
    """Every later wait ends by then, so that a slow step fails naming its check before the
    test runner's own time-out would end the test naming none."""
    global _time_limit
    _time_limit = time.monotonic() + seconds


class Program(subprocess.Popen):
    """A program under test, its output kept in a file to be shown whenever it ends early."""

    def __init__(self, cmd, log, append=False, **kw):
        self.log = log
        with open(log, "ab" if append else "wb") as out:
            super().__init__(cmd, stdout=out, stderr=subprocess.STDOUT, **kw)

    def ended(self):
        """None while it runs; how it ended and what it said once it has."""
        if self.poll() is None:
            return None
        with open(self.log, "rb") as f:
            said = f.read()[-4000:].decode(errors="replace")
        return "the program ended with status %d; it said:\n%s" % (self.returncode, said)


def wait_for(predicate, seconds, what, program=None):
    """The predicate's first true value; fails at once when program ends first."""
    deadline = time.monotonic() + seconds
    if _time_limit is not None and _time_limit < deadline:
        deadline, seconds = _time_limit, max(_time_limit - time.monotonic(), 0)
    while True:
        value = predicate()
        if value:
            return value
        ended = program and program.ended()
        if ended:
            raise AssertionError("waiting for %s: %s" % (what, ended))
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (seconds, what))
        time.sleep(0.05)


class SntpServer(threading.Thread):
    """Answers every request on loopback as a synchronised stratum-1 server whose clock is
    `ahead` seconds fast would; from another port once wrong_port is set, which the client
    never hears, so its query waits out its time. Tests and benchmarks share it."""

    def __init__(self, ahead=0.0, port=0, wrong_port=False):
        super().__init__(daemon=True)
        self.ahead = ahead
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind(("127.0.0.1", port))
        self.port = self.sock.getsockname()[1]
        self.other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.other.bind(("127.0.0.1", 0))
        self.wrong_port = wrong_port
        self.requests = []

    def run(self):
        while True:
            try:
                data, peer = self.sock.recvfrom(512)
            except OSError:
                return
            now = time.time() + self.ahead + NTP_EPOCH
            self.requests.append((time.monotonic(), data))
            if len(data) < 48:
                continue
            secs = int(now)
            frac = int((now - secs) * 2**32)
            reply = bytearray(48)
            reply[0] = (0 << 6) | (4 << 3) | 4
            reply[1] = 1
            reply[24:32] = data[40:48]
            reply[32:40] = struct.pack("!II", secs, frac)
            reply[40:48] = struct.pack("!II", secs, frac)
            (self.other if self.wrong_port else self.sock).sendto(bytes(reply), peer)


def make_http_server(port, body, trickle=None):
    """Serves body; while the event trickle is set, one byte a fifth of a second instead."""
    requests = []

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            requests.append((self.path, dict(self.headers)))
            if trickle is not None and trickle.is_set():
                self.send_response(200)
                self.send_header("Content-Length", "100000")
                self.end_headers()
                try:
                    for _ in range(600):  # until the client goes, or two minutes
                        self.wfile.write(b"#")
                        self.wfile.flush()
                        time.sleep(0.2)
                except OSError:
                    pass
                return
            payload = body.encode("latin-1")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain")
            self.send_header("Content-Length", str(len(payload)))
            self.end_headers()
            self.wfile.write(payload)

        def log_message(self, *args):
            pass

    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server, requests


def eastern_session_around_now():
    try:
        from zoneinfo import ZoneInfo
    except ImportError:
        skip("python zoneinfo is missing")
    now = datetime.datetime.now(ZoneInfo("America/New_York"))
    opens = now - datetime.timedelta(hours=1)
    closes = now + datetime.timedelta(hours=3)
    fmt = "%m/%d/%Y %H:%M"
    return "# made by the end-to-end test\n%s - %s\n" % (opens.strftime(fmt), closes.strftime(fmt))


def start_telling(cmd, flag, **kw):
    """Starts cmd with a pipe's write end named by flag (a format with %d), and answers the
    process and the line it writes there: a display number, a bus address. Read through the
    newline, or the writer can die of a broken pipe."""
    r, w = os.pipe()
    proc = subprocess.Popen(cmd + [flag % w], pass_fds=(w,), **kw)
    os.close(w)
    line = b""
    while not line.endswith(b"\n"):
        chunk = os.read(r, 256)
        if not chunk:
            break
        line += chunk
    os.close(r)
    return proc, line.decode().strip()


def start_xvfb(screen="1920x1080x24"):
    """An X server on a display of its own choosing; tests and benchmarks share it."""
    if not shutil.which("Xvfb"):
        skip("Xvfb is not installed")
    # -noreset: by default the server resets when its last client leaves, and drops a
    # connection still being set up; the short-lived xdotool or xprop that a check runs while
    # the program connects is often that last client.
    log = tempfile.TemporaryFile()
    proc, number = start_telling(["Xvfb", "-screen", "0", screen, "-nolisten", "tcp",
                                  "-noreset", "-displayfd"], "%d", stderr=log)
    if not number:
        proc.kill()
        log.seek(0)
        raise RuntimeError("Xvfb did not start: " + log.read()[-2000:].decode(errors="replace"))
    return proc, ":" + number


def x(cmd, display, **kw):
    return subprocess.run(cmd, env=dict(os.environ, DISPLAY=display), capture_output=True,
                          text=True, timeout=20, **kw)


# The bar's pop-up menu from the top; the separator above "Close" takes no key press.
MENU = ("the vendor's site", "Synchronize Clock", "Refresh Schedule", "Options", "Close")


def pick_menu_item(display, text):
    """Picks an item of the open pop-up menu by its text with the keys a user would press, so
    the menu's font, style and scale do not matter."""
    x(["xdotool", "key"] + ["Down"] * (MENU.index(text) + 1) + ["Return"], display)


def geometry(wid, display):
    out = x(["xwininfo", "-id", wid], display).stdout
    values = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(key + ":"):
                values[key] = int(line.split(":")[1])
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"],
            values["Height"])


def pixels(png):
    """Reads an RGB PNG through ImageMagick's text output: {(x, y): (r, g, b)}."""
    out = subprocess.run(["/usr/bin/convert", png, "-depth", "8", "txt:-"], capture_output=True,
                         text=True, check=True).stdout
    result = {}
    for line in out.splitlines()[1:]:
        pos, rest = line.split(":", 1)
        px, py = (int(v) for v in pos.split(","))
        rgb = rest.split("(")[1].split(")")[0].split(",")[:3]
        result[(px, py)] = tuple(int(float(v)) for v in rgb)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--http-port", type=int, required=True)
    parser.add_argument("--shots", required=True)
    parser.add_argument("--time-limit", type=float, default=None)
    args = parser.parse_args()
    if args.time_limit:
        set_time_limit(args.time_limit)
    for tool in ("xdotool", "xwininfo", "xprop", "/usr/bin/convert", "import"):
        if not shutil.which(tool):
            skip(tool + " is not installed")

    os.makedirs(args.shots, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix="quorvane-e2e-")
    # The servers first: a port in use then fails the test without leaving an X server behind.
    sntp = SntpServer()
    sntp.start()
    trickle = threading.Event()
    http_server, http_requests = make_http_server(args.http_port, eastern_session_around_now(),
                                                  trickle)
    xvfb, display = start_xvfb()
    proc = None
    try:
        exe = os.path.join(scratch, "quorvane")
        shutil.copy2(args.exe, exe)
        with open(os.path.join(scratch, "options.ini"), "w") as f:
            f.write("[Quorvane]\nUseSNTP=1\nSNTPServer=127.0.0.1\nSNTPPort=%d\n" % sntp.port)

        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        started = time.monotonic()
        proc = Program([exe], os.path.join(scratch, "quorvane.log"), cwd="/", env=env)

        def find_window():
            out = x(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)], display)
            ids = out.stdout.split()
            return ids[0] if ids else None

        wid = wait_for(find_window, 60, "the bar's window", proc)
        # Start-up: the schedule is fetched once, and the first tick sends one SNTP query (the
        # first read of Eastern time joins it).
        wait_for(lambda: len(http_requests) >= 1, 30, "the schedule download at start-up", proc)
        wait_for(lambda: len(sntp.requests) >= 1, 30, "the SNTP query at start-up", proc)
        path, headers = http_requests[0]
        assert path == "/timer/schedule.txt", path
        assert headers.get("User-Agent") == AGENT, headers.get("User-Agent")
        cache = (headers.get("Cache-Control", "") + headers.get("Pragma", "")).lower()
        assert "no-cache" in cache, headers
        time.sleep(0.5)
        assert len(sntp.requests) == 1, "start-up sent %d SNTP queries" % len(sntp.requests)
        print("SNTP query at start-up at %.2f s" % (sntp.requests[0][0] - started))

        left, top, width, height = geometry(wid, display)
        print("window geometry:", left, top, width, height)
        assert (left, top, width, height) == (1280, 0, 240, 34), (left, top, width, height)
        state = x(["xprop", "-id", wid, "_NET_WM_STATE"], display).stdout
        assert "_NET_WM_STATE_ABOVE" in state, state
        assert "_NET_WM_STATE_SKIP_TASKBAR" in state, state

        shot = os.path.join(args.shots, "bar.png")

        def painted():
            """The downloaded session's "Market Open", once a tick has painted it."""
            x(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (width, height, left, top),
               "+repage", shot], display, check=True)
            px = pixels(shot)
            greens = [p for p, c in px.items() if c[1] > 200 and c[0] < 60 and c[2] < 60]
            return px if len(greens) > 20 else None

        px = wait_for(painted, 30, "green 'Market Open' text", proc)
        assert px[(width // 2, height // 2 - 2)] == (36, 51, 66) or \
            list(px.values()).count((36, 51, 66)) > width * height // 3, "background colour"
        assert px[(0, height - 1)] != (36, 51, 66), "bottom-left corner is not cut"
        shutil.copy2(shot, os.path.join(args.shots, "bar-large.png"))
        x(["convert", shot, "-filter", "point", "-resize", "300%", os.path.join(args.shots,
           "bar-large.png")], display)

        def find_menu():
            ids = x(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                    display).stdout.split()
            others = [i for i in ids if i != wid]
            return others[0] if others else None

        def menu_item(text, shot=None):
            """The button at the left, then the item by its text."""
            wait_for(lambda: not find_menu() or None, 30, "the last menu to close", proc)
            x(["xdotool", "mousemove", str(left + 19), str(top + 12), "click", "1"], display)
            menu = wait_for(find_menu, 30, "the pop-up menu for " + text, proc)
            mleft, mtop, mwidth, mheight = geometry(menu, display)
            if shot:
                x(["import", "-window", "root", "-crop", "%dx%d+%d+%d" % (
                    max(mwidth, width) + 20, mheight + height + 10, min(left, mleft), 0),
                   "+repage", shot], display)
            pick_menu_item(display, text)

        # Close while a query waits on a server that answers from the wrong port and a
        # download trickles in: both still run on their own threads as the program ends.
        sntp.wrong_port = True
        trickle.set()
        asked, fetched = len(sntp.requests), len(http_requests)
        menu_item("Refresh Schedule")
        wait_for(lambda: len(http_requests) > fetched, 30, "the trickling download", proc)
        menu_item("Synchronize Clock")
        wait_for(lambda: len(sntp.requests) > asked, 30, "the unanswered SNTP query", proc)
        menu_item("Close", os.path.join(args.shots, "menu.png"))
        closing = time.monotonic()
        status = wait_for(lambda: proc.poll() is not None and [proc.returncode], 30,
                          "the program to end after Close")[0]
        print("closed in %.2f s with status %d" % (time.monotonic() - closing, status))
        assert status == 0, "exit status %d" % status
        with open(os.path.join(scratch, "options.ini")) as f:
            ini = f.read()
        print(ini)
        for key in ("Left=1280", "Height=34", "Width=240", "SNTPPort=%d" % sntp.port):
            assert key in ini.split("\n") or key + "\r" in ini.split("\n"), key

        # The place outlives the session: written as a drag ends, and by SIGTERM for a drag
        # within the second after; a window destroyed by another client ends the bar alike.
        sntp.wrong_port = False
        trickle.clear()

        def left_in_ini():
            with open(os.path.join(scratch, "options.ini")) as f:
                return [l for l in f.read().split("\n") if l.startswith("Left=")]

        def drag(x_from, x_to):
            x(["xdotool", "mousemove", str(x_from), "12", "mousedown", "1", "mousemove",
               str((x_from + x_to) // 2), "12", "mousemove", str(x_to), "12", "mouseup", "1"],
              display, check=True)

        for ending in ("SIGTERM", "destroyed"):
            proc = Program([exe], os.path.join(scratch, "quorvane.log"), append=True, cwd="/",
                           env=env)
            wid = wait_for(find_window, 60, "the window, " + ending, proc)
            left = geometry(wid, display)[0]
            drag(left + 150, left + 50)
            wait_for(lambda: left_in_ini() == ["Left=%d" % (left - 100)], 30,
                     "the place written as the drag ended", proc)
            if ending == "SIGTERM":
                drag(left + 50, left)
                # A log-out comes long after the hand has let go: the bar has taken its place.
                wait_for(lambda: geometry(wid, display)[0] == left - 150, 30,
                         "the bar where the second drag left it", proc)
                proc.terminate()
                expected = left - 150
            else:
                expected = left - 100
                # Set behind the bar's back: only a write as it ends puts its place back.
                with open(os.path.join(scratch, "options.ini")) as f:
                    text = f.read()
                with open(os.path.join(scratch, "options.ini"), "w") as f:
                    f.write(text.replace("Left=%d" % expected, "Left=7"))
                import ctypes
                xlib = ctypes.CDLL("libX11.so.6")
                xlib.XOpenDisplay.restype = ctypes.c_void_p
                xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
                xlib.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
                xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
                xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]
                dpy = xlib.XOpenDisplay(display.encode())
                xlib.XDestroyWindow(dpy, int(wid))
                xlib.XSync(dpy, 0)
                xlib.XCloseDisplay(dpy)
            status = proc.wait(timeout=30)
            print("%s: exit status %d, %s" % (ending, status, left_in_ini()))
            assert status == 0, "exit status %d" % status
            assert left_in_ini()[0] == "Left=%d" % expected, left_in_ini()
        print("1 passed, 0 failed")
        return 0
    finally:
        if proc and proc.poll() is None:
            proc.kill()
            proc.wait()
            print(proc.ended())
        http_server.shutdown()
        xvfb.kill()
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
