#!/usr/bin/env python3
"""The GStreamer element's cost beside GStreamer's own text overlay, measured in one run.

Three gst-launch-1.0 pipelines over videotestsrc, I420 at 1920x1080 and 60 frames a second,
as fast as they go into a fakesink, their runs interleaved:

- baseline: the source alone;
- textoverlay: the same with textoverlay drawing comparable text, a 30-character Chinese question
  and three score lines in "AR PL UMing CN 40" (a textoverlay element for each line);
- askgame: the same with the askgame element playing a free-mode scenario that shows such a
  question and three scores for the whole run.

Each pipeline's CPU time (user + system of the gst-launch-1.0 child) less the baseline's, per
frame, is its cost; the figure is askgame's cost over textoverlay's (goal: at most 1.0), the
median and range (min-max) of the per-repetition ratios, with the absolute milliseconds a frame.

usage: bench/gst_overlay.py [--build DIR] [--frames N] [--repetitions N]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from bench_support import cpu_of, run

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WIDTH, HEIGHT, FPS = 1920, 1080, 60
FONT = "AR PL UMing CN 40"
# Two questions of 30 characters, as long ones would be: the viewers answer the first, and the
# second stays on screen, with their scores, for the rest of the run.
WARM_UP = "请问中华人民共和国的首都是哪一座历史悠久的城市呢？答案写字母"
QUESTION = "下列哪一座城市是中华人民共和国的首都并且位于华北平原的北部？"
PLAYERS = [("ming", 1001, "王小明"), ("emma", 1002, "Emma_W"), ("lina", 1003, "李娜")]
ANSWER = "B"
# Seconds: the first question is asked, the three viewers answer it a tenth of a second apart,
# the presenter goes on to the second.
FIRST_ASKED, RIGHT_ANSWERS_AT, NEXT_AT, SECOND_ASKED = 0.3, 0.5, 1.0, 1.2
# Where textoverlay's lines go, in pixels from the top: the question, then the scores a line apart.
QUESTION_TOP, SCORES_TOP, SCORE_LINE = 40, 200, 64


def write_show(scratch, seconds):
    """A free-mode scenario: three right answers to the first question, then the second asked
    and nothing new."""
    assert len(WARM_UP) == len(QUESTION) == 30
    with open(os.path.join(scratch, "bank.txt"), "w", encoding="utf-8") as bank:
        for question in (WARM_UP, QUESTION):
            bank.write(f"[问题]\n{question}\n[答案]\n{ANSWER}\n")
    viewers = ", ".join(f'"{handle}": {{ "id": {number}, "name": "{name}" }}'
                        for handle, number, name in PLAYERS)
    answers = "".join(f', {{ "at": {RIGHT_ANSWERS_AT + 0.1 * i:.1f}, "chat": "{handle}",'
                      f' "text": "{ANSWER}" }}' for i, (handle, _, _) in enumerate(PLAYERS))
    path = os.path.join(scratch, "show.json")
    with open(path, "w", encoding="utf-8") as show:
        show.write(f'{{ "mode": "free", "fps": {FPS}, "duration": {seconds + 1:.0f},'
                   f' "lcid": 2052, "viewers": {{ {viewers} }}, "events": ['
                   ' { "at": 0.1, "bank": "bank.txt" },'
                   ' { "at": 0.2, "option": "OptShowQuestion", "selected": true },'
                   f' {{ "at": {FIRST_ASKED}, "click": "ButtonShowQue" }}{answers},'
                   f' {{ "at": {NEXT_AT}, "click": "BtnNextQue" }},'
                   f' {{ "at": {SECOND_ASKED}, "click": "ButtonShowQue" }} ] }}')
    return path


def source(frames, offset_ns=0):
    return ["videotestsrc", f"num-buffers={frames}", f"timestamp-offset={offset_ns}", "!",
            f"video/x-raw,format=I420,width={WIDTH},height={HEIGHT},framerate={FPS}/1", "!"]


def pipelines(args, scenario):
    launch = ["gst-launch-1.0", "-q"]
    # gst-launch-1.0 takes no line break inside a property: a textoverlay for each line.
    lines = [(QUESTION, "center", QUESTION_TOP)] + [
        (f"{name}  1", "left", SCORES_TOP + i * SCORE_LINE)
        for i, (_, _, name) in enumerate(PLAYERS)]
    text = []
    for line, alignment, top in lines:
        text += ["textoverlay", f"text={line}", f"font-desc={FONT}", "auto-resize=false",
                 "valignment=top",
                 f"halignment={alignment}", f"ypad={top}", "shaded-background=true", "!"]
    game = ["askgame", f"scenario={scenario}", "!"]
    return {
        "baseline": launch + source(args.frames) + ["fakesink"],
        "textoverlay": launch + source(args.frames) + text + ["fakesink"],
        "askgame": launch + source(args.frames) + game + ["fakesink"],
    }


def check_drawn(scratch, scenario, last_second):
    """The element must draw (the plug-in found): a frame at the run's last moment differs from
    the source's. Alone, that frame catches up with every event at once, so it need not show
    what the run's own last frame does."""
    offset = int(last_second * 1e9)
    frames = {}
    for name, element in (("plain", []), ("game", ["askgame", f"scenario={scenario}", "!"])):
        out = os.path.join(scratch, f"{name}.yuv")
        run(["gst-launch-1.0", "-q"] + source(1, offset) + element
            + ["filesink", f"location={out}"], timeout=60)
        with open(out, "rb") as raw:
            frames[name] = raw.read()
    if frames["plain"] == frames["game"]:
        raise RuntimeError("askgame drew nothing on the run's last frame: is the plug-in found?")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--frames", type=int, default=1200)
    parser.add_argument("--repetitions", type=int, default=5)
    args = parser.parse_args()
    for tool in ("gst-launch-1.0", "gst-inspect-1.0"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is not installed (Debian: gstreamer1.0-tools)")
    element_dir = os.path.join(os.path.abspath(args.build), "lib", "gstreamer-1.0")
    started = time.monotonic()
    with tempfile.TemporaryDirectory() as scratch:
        os.environ["GST_PLUGIN_PATH"] = element_dir
        os.environ["GST_REGISTRY"] = os.path.join(scratch, "registry.bin")
        os.environ["XDG_DATA_HOME"] = scratch  # the shows keep no season anyway
        os.environ["ASKGAME_ACP"] = "65001"  # the bank is UTF-8
        for element in ("askgame", "textoverlay"):
            if subprocess.run(["gst-inspect-1.0", element], capture_output=True).returncode:
                sys.exit(f"GStreamer finds no {element} element (askgame: build it in "
                         f"{element_dir}; textoverlay: Debian's gstreamer1.0-x)")
        seconds = args.frames / FPS
        scenario = write_show(scratch, seconds)
        check_drawn(scratch, scenario, (args.frames - 1) / FPS)
        commands = pipelines(args, scenario)
        names = list(commands)
        spent = {name: [] for name in names}
        for repetition in range(args.repetitions):
            # Which goes first turns with each repetition, so a drift in the machine's load
            # favours none of them.
            turn = repetition % len(names)
            for name in names[turn:] + names[:turn]:
                spent[name].append(cpu_of(commands[name], timeout=seconds * 20 + 60))
    per_frame = {name: [cpu * 1000 / args.frames for cpu in spent[name]] for name in names}
    over = {name: [cost - base for cost, base in zip(per_frame[name], per_frame["baseline"])]
            for name in ("textoverlay", "askgame")}
    ratios = [game / text for game, text in zip(over["askgame"], over["textoverlay"])]
    print(f"CPU ms a frame, I420 {WIDTH}x{HEIGHT} at {FPS} fps, {args.frames} frames,"
          f" {args.repetitions} repetitions (median, min-max):")
    for name in names:
        values = per_frame[name]
        print(f"  {name + ':':13} {statistics.median(values):6.3f}"
              f"  ({min(values):.3f}-{max(values):.3f})")
    for name in ("textoverlay", "askgame"):
        values = over[name]
        print(f"  {name} over baseline: {statistics.median(values):6.3f}"
              f"  ({min(values):.3f}-{max(values):.3f})")
    print(f"askgame / textoverlay, cost over baseline: median {statistics.median(ratios):.2f}"
          f"  range {min(ratios):.2f}-{max(ratios):.2f}   (goal: at most 1.0)")
    print(f"({time.monotonic() - started:.0f} s in all)")


if __name__ == "__main__":
    main()
