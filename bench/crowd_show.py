#!/usr/bin/env python3
"""What a big or hostile crowd costs a running `askgame-host live`, each figure beside the same
show without it, measured in one run:

- late frames: a show whose question 100,000 distinct viewers answered right, watched by three
  open presenter pages (event stream, preview and season table, as the page polls them), beside
  the same show with nobody and no page. The goal: within one point of the empty show.
- peak memory: a show while eight connections without the token send header lines without end
  (8 KB each, 6,000 each), beside the same show left alone.

usage: bench/crowd_show.py [--build DIR] [--seconds N] [--size WxH] [--fps N] [--preset P]
"""
import argparse
import http.client
import json
import os
import re
import socket
import subprocess
import tempfile
import threading
import time

SCORERS = 100_000
PAGES = 3
ATTACKERS = 8
HEADER_LINES = 6_000
HEADER_LINE = b"X-Pad: " + b"a" * 8_000 + b"\r\n"
TOKEN = "crowd-bench-token"
SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Show:
    """One live show on the test card, its status lines kept for reading."""

    def __init__(self, args, scratch, events=None):
        self.log = os.path.join(scratch, "status.txt")
        self.fps = args.fps
        command = [os.path.join(args.build, "bin", "askgame-host"), "live",
                   "--size", args.size, "--fps", str(args.fps), "--preset", args.preset,
                   "--output", os.path.join(scratch, "show.mp4"),
                   "--listen", "127.0.0.1:0", "--token", TOKEN,
                   "--db", os.path.join(scratch, "season.db"),
                   "--transcript", os.path.join(scratch, "transcript.txt"),
                   "--banks", os.path.join(SOURCE, "data", "scenarios")]
        if events:
            command += ["--events", events]
        env = dict(os.environ, ASKGAME_ACP="65001")
        self.out = open(os.path.join(scratch, "stdout.txt"), "w+")
        self.process = subprocess.Popen(command, stdout=self.out, stderr=open(self.log, "w"),
                                        env=env)
        self.port = self._port()

    def _port(self):
        for _ in range(300):
            self.out.seek(0)
            found = re.search(r"endpoint: http://127\.0\.0\.1:(\d+)", self.out.read())
            if found:
                return int(found.group(1))
            time.sleep(0.05)
        raise RuntimeError("the show printed no endpoint")

    def request(self, method, path, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        headers = {"Authorization": "Bearer " + TOKEN, "Content-Type": "application/json"}
        connection.request(method, path, json.dumps(body) if body is not None else None, headers)
        reply = connection.getresponse()
        data = reply.read()
        connection.close()
        return reply.status, data

    def state(self):
        return json.loads(self.request("GET", "/api/state")[1])

    def frames_and_late(self):
        """The latest status line's frame and late counts."""
        with open(self.log) as log:
            found = re.findall(r"frames (\d+)\s+fps [\d.]+\s+late (\d+)", log.read())
        return tuple(map(int, found[-1])) if found else (0, 0)

    def peak_rss_kb(self):
        with open(f"/proc/{self.process.pid}/status") as status:
            return int(re.search(r"VmHWM:\s+(\d+) kB", status.read()).group(1))

    def stop(self):
        self.process.send_signal(2)
        try:
            self.process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def late_share(show, seconds):
    """The share of late frames among those due over the next `seconds`."""
    time.sleep(1.5)  # a status line a second: begin from a fresh one
    frames0, late0 = show.frames_and_late()
    time.sleep(seconds)
    frames1, late1 = show.frames_and_late()
    due = (frames1 - frames0) + (late1 - late0)
    if due < seconds * show.fps / 2:
        raise RuntimeError(f"only {due} frames in {seconds} s: is the show running?")
    return 100.0 * (late1 - late0) / due


def ask_first_question(show):
    for action in ({"bank": "demo-bank.txt"}, {"option": "OptShowQuestion", "selected": True},
                   {"click": "ButtonShowQue"}):
        status, body = show.request("POST", "/api/panel", action)
        if status != 200:
            raise RuntimeError(f"panel action {action}: {status} {body!r}")


def open_page(port, stop):
    """A presenter page's traffic: its event stream read as it comes, the preview fetched again
    100 ms after each answer, the season table every 5 s."""
    def stream():
        with socket.create_connection(("127.0.0.1", port)) as s:
            s.sendall(f"GET /api/page/events?token={TOKEN} HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n"
                      "Accept: text/event-stream\r\n\r\n".encode())
            s.settimeout(1)
            while not stop.is_set():
                try:
                    if not s.recv(65536):
                        return
                except socket.timeout:
                    pass

    def poll(path, pause):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        while not stop.is_set():
            connection.request("GET", path, headers={"Authorization": "Bearer " + TOKEN})
            connection.getresponse().read()
            stop.wait(pause)

    threads = [threading.Thread(target=stream),
               threading.Thread(target=poll, args=("/api/page/preview.jpg", 0.1)),
               threading.Thread(target=poll, args=("/api/scores?top=10", 5.0))]
    for thread in threads:
        thread.start()
    return threads


def attack_headers(port, stop):
    """A connection without the token sending header lines without end."""
    with socket.create_connection(("127.0.0.1", port)) as s:
        try:
            s.sendall(f"GET /api/state HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\n".encode())
            for _ in range(HEADER_LINES):
                if stop.is_set():
                    return
                s.sendall(HEADER_LINE)
        except OSError:
            pass  # the endpoint closed it, as it should


def measure_frames(args):
    with tempfile.TemporaryDirectory() as scratch:
        empty = Show(args, scratch)
        ask_first_question(empty)
        reference = late_share(empty, args.seconds)
        empty.stop()

    with tempfile.TemporaryDirectory() as scratch:
        events = os.path.join(scratch, "crowd.jsonl")
        with open(events, "w") as out:
            for viewer in range(SCORERS):
                out.write(json.dumps({"chat": {"id": 1_000_000 + viewer,
                                               "name": f"viewer{viewer}", "text": "B"}}) + "\n")
        # The answers wait in the show's queue until the question is asked, then pour in.
        crowd = Show(args, scratch, events)
        ask_first_question(crowd)
        deadline = time.time() + 300
        while crowd.state()["scorers"] < SCORERS and time.time() < deadline:
            time.sleep(1)
        scorers = crowd.state()["scorers"]
        stop = threading.Event()
        pages = [thread for _ in range(PAGES) for thread in open_page(crowd.port, stop)]
        loaded = late_share(crowd, args.seconds)
        stop.set()
        for thread in pages:
            thread.join()
        crowd.stop()
    print(f"late frames, empty show:                    {reference:6.2f} %")
    print(f"late frames, {scorers:,} scorers + {PAGES} pages:   {loaded:6.2f} %"
          f"   ({loaded - reference:+.2f} points; goal: within 1)")


def measure_memory(args):
    with tempfile.TemporaryDirectory() as scratch:
        alone = Show(args, scratch)
        time.sleep(args.seconds)
        reference = alone.peak_rss_kb()
        alone.stop()
    with tempfile.TemporaryDirectory() as scratch:
        attacked = Show(args, scratch)
        stop = threading.Event()
        attackers = [threading.Thread(target=attack_headers, args=(attacked.port, stop))
                     for _ in range(ATTACKERS)]
        for thread in attackers:
            thread.start()
        time.sleep(args.seconds)
        stop.set()
        for thread in attackers:
            thread.join()
        peak = attacked.peak_rss_kb()
        answered = attacked.request("GET", "/api/state")[0]
        attacked.stop()
    print(f"peak memory, show alone:             {reference / 1024:7.1f} MB")
    print(f"peak memory, {ATTACKERS} header attackers:     {peak / 1024:7.1f} MB"
          f"   ({peak / reference:.2f}x; the endpoint still answers: {answered})")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--size", default="1280x720")
    parser.add_argument("--fps", type=int, default=30)
    parser.add_argument("--preset", default="veryfast")
    args = parser.parse_args()
    measure_frames(args)
    measure_memory(args)


if __name__ == "__main__":
    main()
