#!/usr/bin/env python3
"""The per-frame CPU cost of drawing the same text on a 1080p yuv420p frame, conversions charged:
askgame's whole overlay beside FFmpeg's drawtext, measured in one run.

- drawtext: ffmpeg makes 1920x1080 yuv420p frames at 60 fps (color=c=0x336699) and passes them to
  a null output, once with four drawtext filters (the 30-character CJK question on a box, centred
  8 % down the frame as the game places it, and the three score lines at the top left) and once
  without them; drawtext's cost is the CPU time (user + system of the child,
  getrusage(RUSAGE_CHILDREN) deltas) of the first over that of the second, a frame.
- askgame: the cpu_time of askgame-bench-overlay's Overlay/question_and_scores (Begin, the real
  plug-in drawing the same question and score lines onto the canvas, FindInk, CompositeOnto an
  I420 picture), a frame. The free-mode game draws the question only until the first right
  answer and then the score list, so two games draw onto one canvas there; they draw four lines
  more (the prompt, the list's title, the right answer and the congratulation, in the language
  file's words), so that figure is set against drawtext drawing those eight lines (the goal);
  the figures of each scene alone follow, beside drawtext's four lines.

The four runs are interleaved and their order turns with each repetition, so that a drift in the
machine's load favours none; the figure is askgame / drawtext as the median and range (min-max)
of the per-repetition ratios (the goal: at most 1.0), with the absolute ms.

usage: bench/drawtext.py [--build DIR] [--repetitions N] [--frames N] [--min-time S]
"""
import argparse
import json
import os
import statistics
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

from bench_support import cpu_of, run

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FONT = "/usr/share/fonts/truetype/arphic/uming.ttc"
WIDTH, HEIGHT, FPS = 1920, 1080, 60
COMBINED = "Overlay/question_and_scores"
SCENES = ("Overlay/question", "Overlay/scores")
# Where and how large the game draws its lines at 1080p (game/free_mode.cpp): the question in a
# 24-pixel font on a box of black at 0x60 / 255 opacity, 8 % down the frame; the score lines in
# an 18-pixel font at the left edge, 35, 65 and 95 pixels down.
QUESTION_STYLE = "fontsize=24:x=(w-text_w)/2:y=h*8/100:box=1:boxcolor=black@0.376"
SCORE_STYLE = "fontsize=18:x=0:y={y}"
SCORE_ROWS = (35, 65, 95)
# The four lines more of the scene with both games, where the game puts them.
LANGUAGE_FILE = os.path.join(SOURCE, "data", "VideoGames", "AskGame", "ChineseSimplified.xml")
PROMPT_STYLE = "fontsize=24:x=(w-text_w)/2:y=0:box=1:boxcolor=black@0.376"
TITLE_STYLE = "fontsize=18:x=0:y=5"
ANSWER_STYLE = "fontsize=24:x=(w-text_w)/2:y=h*85/100:box=1:boxcolor=black@0.376"
CONGRATULATION_STYLE = "fontsize=24:x=(w-text_w)/2:y=h*92/100:box=1:boxcolor=black@0.376"
TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def overlay_bench(args, pattern):
    """Runs the overlay benchmarks matching `pattern`: ({name: cpu ms a frame}, context)."""
    binary = os.path.join(args.build, "bin", "askgame-bench-overlay")
    done = run([binary, f"--benchmark_filter={pattern}", "--benchmark_format=json",
                f"--benchmark_min_time={args.min_time}"], timeout=600)
    report = json.loads(done.stdout)
    times = {}
    for entry in report["benchmarks"]:
        if entry.get("error_occurred"):
            raise RuntimeError(f"{entry['name']}: {entry.get('error_message')}")
        times[entry["name"]] = entry["cpu_time"] * TO_MS[entry["time_unit"]]
    return times, report["context"]


def language_strings():
    return {string.get("ID"): string.text for string in ElementTree.parse(LANGUAGE_FILE).getroot()}


def drawtext_filters(context, scratch, every_line=False):
    """The drawtext filters, each reading its line from a file (no escaping needed): the question
    and the three score lines, and with `every_line` the four lines more the game shows when both
    stages are on one canvas."""
    lines = [(context["overlay_question"], QUESTION_STYLE)]
    for row, y in enumerate(SCORE_ROWS, 1):
        lines.append((context[f"overlay_score_line_{row}"], SCORE_STYLE.format(y=y)))
    if every_line:
        words = language_strings()
        winner = context["overlay_score_line_1"].split()[-1]
        lines += [(words["InputAnswerTip"], PROMPT_STYLE), (words["ScoreList"], TITLE_STYLE),
                  (words["correctAnswer"] + context["overlay_answer"], ANSWER_STYLE),
                  (f"{words['congratitute']}  {winner}(1001) {words['ScoreAll']}1",
                   CONGRATULATION_STYLE)]
    filters = []
    for index, (text, style) in enumerate(lines):
        path = os.path.join(scratch, f"line{index}{'e' if every_line else ''}.txt")
        with open(path, "w", encoding="utf-8") as out:
            out.write(text)
        filters.append(f"drawtext=fontfile={FONT}:textfile={path}:fontcolor=white:{style}")
    return filters


def ffmpeg(frames, filters):
    """Frames of yuv420p made, (drawn on,) and dropped; the pixel format is fixed for both runs."""
    return ["ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-f", "lavfi", "-i",
            f"color=c=0x336699:s={WIDTH}x{HEIGHT}:r={FPS}", "-frames:v", str(frames),
            "-vf", ",".join(["format=yuv420p", *filters]), "-f", "null", "-"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--frames", type=int, default=1200, help="frames of each ffmpeg run")
    parser.add_argument("--min-time", type=float, default=1.0,
                        help="seconds each overlay benchmark runs at least")
    args = parser.parse_args()
    if not os.path.isfile(FONT):
        sys.exit(f"{FONT} is missing (Debian: fonts-arphic-uming)")
    if "drawtext" not in run(["ffmpeg", "-hide_banner", "-filters"]).stdout:
        sys.exit("this ffmpeg has no drawtext filter (built without libfreetype)")
    started = time.monotonic()
    pattern = "^(" + "|".join([COMBINED, *SCENES]) + ")$"
    with tempfile.TemporaryDirectory() as scratch:
        # A run of each, unmeasured: the lines to draw come from the overlay benchmark's context,
        # and files and libraries are in memory before anything counts.
        _, context = overlay_bench(args, f"^{COMBINED}$")
        plain = ffmpeg(args.frames, [])
        commands = {"plain": plain, "text": ffmpeg(args.frames, drawtext_filters(context, scratch)),
                    "every": ffmpeg(args.frames, drawtext_filters(context, scratch, True))}
        for command in commands.values():
            cpu_of(command)

        rows = []  # per repetition: ({4: drawtext ms, 8: ...}, plain ms, {benchmark: askgame ms})
        for repetition in range(args.repetitions):
            order = ["plain", "text", "every", "askgame"]
            order = order[repetition % 4:] + order[:repetition % 4]
            spent = {}
            for name in order:
                if name == "askgame":
                    spent[name], _ = overlay_bench(args, pattern)
                else:
                    spent[name] = cpu_of(commands[name]) * 1e3 / args.frames
            drawtext = {4: spent["text"] - spent["plain"], 8: spent["every"] - spent["plain"]}
            rows.append((drawtext, spent["plain"], spent["askgame"]))

    for lines in (8, 4):
        print(f"drawtext: {statistics.median(d[lines] for d, _, _ in rows):.3f} ms of CPU a frame"
              f" ({lines} lines, {WIDTH}x{HEIGHT} yuv420p, {args.frames} frames at {FPS} fps;"
              f" ffmpeg without it {statistics.median(p for _, p, _ in rows):.3f} ms a frame)")
    for name in (COMBINED, *SCENES):
        lines = 8 if name == COMBINED else 4
        ratios = [a[name] / d[lines] for d, _, a in rows]
        askgame_ms = statistics.median(a[name] for _, _, a in rows)
        goal = "   (goal: at most 1.0)" if name == COMBINED else ""
        print(f"askgame {name:28} / drawtext ({lines} lines): median {statistics.median(ratios):.2f}"
              f"  range {min(ratios):.2f}-{max(ratios):.2f}   (askgame {askgame_ms:.3f} ms a"
              f" frame){goal}")
    print(f"({args.repetitions} repetitions, {time.monotonic() - started:.0f} s in all)")


if __name__ == "__main__":
    main()
