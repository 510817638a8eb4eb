#!/usr/bin/env python3
"""How the bar copes with a slow or dead network, watched from outside under Xvfb.

Usage: measure_network.py QUORVANE_E2E_EXE COUNTDOWN_WATCH_EXE [--http-port 38517] [SCENARIO ...]

QUORVANE_E2E_EXE is the build whose vendor host is 127.0.0.1:HTTP_PORT (tests/app/e2e/quorvane).
Scenarios (all by default):
  silent-sntp    SNTP on, the server takes every request and never answers; "Synchronize Clock"
                 from the menu after 4 s
  dead-lookup    SNTP on, the server's name is looked up from a name server that never answers; run
                 inside a private network namespace made here with unshare (root only), so no
                 lookup can leave the machine
  trickle        no schedule.txt: the first download is served at once, a "Refresh Schedule" from
                 the menu after 3 s is answered one byte a second
For each it prints the time from launch to the first countdown on screen and the longest time the
countdown stood still afterwards (the countdown changes every second when all is well).
"""
import argparse
import datetime
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from zoneinfo import ZoneInfo

# The tests' Xvfb starter and loopback SNTP server serve the benchmarks too.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests",
                                "app"))
sys.dont_write_bytecode = True
from e2e_test import SntpServer, start_xvfb  # noqa: E402

SCENARIOS = {"silent-sntp": 14.0, "dead-lookup": 36.0, "trickle": 24.0}
LOOKUP_NAME = "sntp.bench.invalid"


def schedule_text():
    now = datetime.datetime.now(ZoneInfo("America/New_York"))
    fmt = "%m/%d/%Y %H:%M"
    return "%s - %s\n" % ((now - datetime.timedelta(hours=1)).strftime(fmt),
                          (now + datetime.timedelta(hours=5)).strftime(fmt))


class TrickleHandler(http.server.BaseHTTPRequestHandler):
    served = 0

    def do_GET(self):
        body = schedule_text().encode() * 40
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        TrickleHandler.served += 1
        if TrickleHandler.served == 1:
            self.wfile.write(body)
            return
        # One byte a second for 15 s, then the server goes away mid-body.
        try:
            for b in body[:15]:
                self.wfile.write(bytes([b]))
                self.wfile.flush()
                time.sleep(1)
        except OSError:
            pass

    def log_message(self, *args):
        pass


def x(cmd, display, **kw):
    return subprocess.run(cmd, env=dict(os.environ, DISPLAY=display), capture_output=True,
                          text=True, **kw).stdout


def menu_command(display, win, downs):
    """Opens the bar's menu with a click on its button and picks the item `downs` places down."""
    geo = x(["xwininfo", "-id", win], display)
    left = int(geo.split("Absolute upper-left X:")[1].split()[0])
    x(["xdotool", "mousemove", str(left + 19), "12", "click", "1"], display)
    time.sleep(0.3)
    x(["xdotool", "key"] + ["Down"] * downs + ["Return"], display)
    x(["xdotool", "mousemove", "100", "600"], display)


def run_scenario(name, exe, watch, http_port):
    seconds = SCENARIOS[name]
    scratch = tempfile.mkdtemp(prefix="quorvane-net-")
    servers = []
    try:
        shutil.copy2(exe, os.path.join(scratch, "quorvane"))
        ini = "[Quorvane]\nUseSNTP=1\n"
        if name == "silent-sntp":
            sntp = SntpServer(wrong_port=True)
            sntp.start()
            ini += "SNTPServer=127.0.0.1\nSNTPPort=%d\n" % sntp.port
        elif name == "dead-lookup":
            ini += "SNTPServer=%s\nSNTPPort=123\n" % LOOKUP_NAME
        else:
            ini = "[Quorvane]\nUseSNTP=0\n"
            http.server.ThreadingHTTPServer.allow_reuse_address = True
            srv = http.server.ThreadingHTTPServer(("127.0.0.1", http_port), TrickleHandler)
            srv.daemon_threads = True
            threading.Thread(target=srv.serve_forever, daemon=True).start()
            servers.append(srv)
        if name != "trickle":
            with open(os.path.join(scratch, "schedule.txt"), "w") as f:
                f.write(schedule_text())
        with open(os.path.join(scratch, "options.ini"), "w") as f:
            f.write(ini)

        xvfb, display = start_xvfb()
        try:
            started_ns = time.monotonic_ns()
            proc = subprocess.Popen([os.path.join(scratch, "quorvane")], cwd=scratch,
                                    env=dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb"),
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            end = time.monotonic() + seconds
            win = None
            while time.monotonic() < end and not win:
                ids = x(["xdotool", "search", "--onlyvisible", "--pid", str(proc.pid)],
                        display).split()
                win = ids[0] if ids else None
                time.sleep(0.01)
            lines = []
            if win:
                geo = x(["xwininfo", "-id", win], display)
                width = int(geo.split("Width:")[1].split()[0])
                left_ms = (end - time.monotonic()) * 1000
                watcher = subprocess.Popen(
                    [watch, win, str(width // 2), "0", str(width - width // 2), "20",
                     str(left_ms / 1000), str(started_ns)], env=dict(os.environ, DISPLAY=display),
                    stdout=subprocess.PIPE, text=True)
                at = {"silent-sntp": 4.0, "trickle": 3.0}.get(name)
                if at is not None:
                    delay = started_ns / 1e9 + at - time.monotonic()
                    if delay > 0:
                        time.sleep(delay)
                    menu_command(display, win, 2 if name == "silent-sntp" else 3)
                out, _ = watcher.communicate(timeout=seconds + 10)
                lines = [tuple(float(v) for v in line.split()) for line in out.splitlines()]
            proc.terminate()
            proc.wait(timeout=10)
        finally:
            xvfb.terminate()
            xvfb.wait(timeout=10)
    finally:
        for srv in servers:
            srv.shutdown()
            srv.server_close()
        shutil.rmtree(scratch, ignore_errors=True)

    lit = [t for t, n in lines if n > 0]
    if not lit:
        return {"first": float("nan"), "still": float("nan")}
    changes = [t for t, _ in lines if t >= lit[0]] + [seconds * 1000]
    still = max(b - a for a, b in zip(changes, changes[1:]))
    return {"first": lit[0], "still": still}


def in_private_network(argv):
    """Re-runs this script for the dead-lookup scenario in its own network and mount namespace."""
    if os.geteuid() != 0 or not shutil.which("unshare"):
        return None
    out = subprocess.run(["unshare", "-mn", sys.executable, os.path.abspath(__file__), "--inner"]
                         + argv, capture_output=True, text=True)
    for line in out.stdout.splitlines():
        if line.startswith("RESULT "):
            first, still = line.split()[1:3]
            return {"first": float(first), "still": float(still)}
    sys.stderr.write(out.stderr)
    return None


def inner(args):
    # A /tmp of our own keeps this X server apart from any other on the machine.
    subprocess.run(["mount", "-t", "tmpfs", "tmpfs", "/tmp"], check=True)
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    resolv = tempfile.NamedTemporaryFile("w", delete=False, prefix="resolv-")
    resolv.write("nameserver 127.0.0.1\n")
    resolv.close()
    subprocess.run(["mount", "--bind", resolv.name, "/etc/resolv.conf"], check=True)
    # A name server that never answers: whatever it sends back comes from a port never asked.
    SntpServer(port=53, wrong_port=True).start()
    r = run_scenario("dead-lookup", args.exe, args.watch, args.http_port)
    print("RESULT %.1f %.1f" % (r["first"], r["still"]))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("exe")
    p.add_argument("watch")
    p.add_argument("--http-port", type=int, default=38517)
    p.add_argument("--inner", action="store_true")
    p.add_argument("scenarios", nargs="*")
    args = p.parse_args()
    args.exe, args.watch = os.path.abspath(args.exe), os.path.abspath(args.watch)
    if args.inner:
        inner(args)
        return
    for name in args.scenarios or list(SCENARIOS):
        if name == "dead-lookup":
            r = in_private_network([args.exe, args.watch, "--http-port", str(args.http_port)])
            if r is None:
                print("%-12s skipped: no private network (needs root and unshare)" % name)
                continue
        else:
            r = run_scenario(name, args.exe, args.watch, args.http_port)
        if r["first"] != r["first"]:
            print("%-12s no countdown within %.0f s" % (name, SCENARIOS[name]))
            continue
        print("%-12s first countdown %6.0f ms, longest standstill %6.0f ms" % (
            name, r["first"], r["still"]))


if __name__ == "__main__":
    main()
