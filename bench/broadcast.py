#!/usr/bin/env python3
"""What `askgame-host live` sends to its outputs, each figure a ratio, measured in one run:

- length: a 720p60 show (x264 medium) to an MP4 and a Matroska output, beside busy-loop processes
  that make its frames late on purpose, and once without them; each output's length (ffprobe)
  over the show's wall time on air. The goal: within 1 % of 1.0, however many frames were late.
  Beside it, how many of the show's frame slots were late and how many pictures each output holds.
- sync: a clip with a white flash and a 1 kHz beep at every whole second, played through a 360p30
  show; the gap between each flash and its beep in the show's MP4, median and worst, over one
  frame period (the goal: at most 1.0), beside the same gaps in the clip itself.
- CPU: a show of a clip playing the free-mode demo (its question, answers and scores on the
  picture) beside a plain ffmpeg reading the same clip at its pace and encoding it the same way
  without the game; the CPU time (user + system, children included) of the show over that of
  ffmpeg, as the median and range (min-max) of the per-repetition ratios, the two runs
  interleaved. Twice: 720p30 with x264 veryfast, and 1080p60 with ultrafast, where the show's
  own work weighs most beside the encoder's (the goal there: at most 1.15).

usage: bench/broadcast.py [--build DIR] [--seconds N] [--repetitions N] [--hogs N]
                          [--only length|sync|cpu]
"""
import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

from bench_support import cpu_of, run

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SUMMARY = re.compile(r"(\d+) frames, (\d+) late \(([\d.]+) %\) in ([\d.]+) s on air")
SYNC_FPS = 30
MATCH_WITHIN = 0.5  # seconds: a flash and a beep farther apart than this are not a pair


def host(args, scratch, outputs, *options):
    """The command of a live show of --seconds to `outputs`, keeping no season."""
    command = [os.path.join(args.build, "bin", "askgame-host"), "live", *options,
               "--duration", str(args.seconds), "--listen", "127.0.0.1:0", "--no-season",
               "--transcript", os.path.join(scratch, "transcript.txt")]
    for output in outputs:
        command += ["--output", output]
    return command


def show(args, scratch, outputs, *options):
    """Runs a live show; returns its summary: (frames, late, late %, wall s on air)."""
    # Bounded: a show that outlives its --duration by a minute is a fault, not a figure.
    done = run(host(args, scratch, outputs, *options), timeout=args.seconds + 60)
    found = SUMMARY.findall(done.stderr)
    if not found:
        raise RuntimeError("the show printed no summary line:\n" + done.stderr[-2000:])
    frames, late, share, wall = found[-1]
    return int(frames), int(late), float(share), float(wall)


def probe(path, entries, *extra):
    return run(["ffprobe", "-v", "error", *extra, "-show_entries", entries,
                "-of", "csv=p=0", path]).stdout


def clip(path, seconds, video, audio, *codec):
    run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", video,
         "-f", "lavfi", "-i", audio, "-t", str(seconds), "-pix_fmt", "yuv420p", *codec,
         "-c:a", "aac", "-b:a", "128k", path])


def hogs(count, seconds):
    """Busy loops that end by themselves after `seconds`, in case nobody kills them."""
    loop = f"import time\nend = time.time() + {seconds}\nwhile time.time() < end: pass"
    return [subprocess.Popen([sys.executable, "-c", loop]) for _ in range(count)]


def measure_length(args):
    with tempfile.TemporaryDirectory() as scratch:
        outputs = [os.path.join(scratch, "show.mp4"), os.path.join(scratch, "show.mkv")]
        options = ["--size", "1280x720", "--fps", "60", "--preset", "medium"]
        for label, count in (("alone", 0), (f"{args.hogs} busy loops", args.hogs)):
            busy = hogs(count, args.seconds + 70)
            try:
                frames, late, share, wall = show(args, scratch, outputs, *options)
            finally:
                for hog in busy:
                    hog.kill()
                    hog.wait()
            lengths = [float(probe(output, "format=duration")) for output in outputs]
            # Pictures an encoder dropped are missing from its output but not among the late.
            kept = [int(probe(output, "stream=nb_read_packets", "-count_packets",
                              "-select_streams", "v:0")) for output in outputs]
            names = [os.path.splitext(output)[1] for output in outputs]
            slots = frames + late
            print(f"length / time on air, 720p60 medium, {label + ':':15} "
                  + "   ".join(f"{name} {length / wall:.4f}" for name, length in zip(names, lengths))
                  + f"   (goal: within 0.01 of 1; {wall:.2f} s on air)")
            print(f"  of its {slots} frame slots: {late} late ({share:.1f} %), pictures in "
                  + ", ".join(f"{name} {count} ({100 * count / slots:.1f} %)"
                              for name, count in zip(names, kept)))


def onsets(times, levels, threshold):
    """The times where `levels` rises from at most `threshold` to above it."""
    return [t for (t, level), before in zip(zip(times[1:], levels[1:]), levels)
            if level > threshold >= before]


def flashes(path):
    rows = [line.split(",") for line in probe(
        f"movie={path},signalstats", "frame=pts_time:frame_tags=lavfi.signalstats.YAVG",
        "-f", "lavfi").split()]
    times, luma = [float(r[0]) for r in rows], [float(r[1]) for r in rows]
    # Halfway between black and white: the game's drawing over the picture does not move it far.
    return onsets(times, luma, (min(luma) + max(luma)) / 2)


def beeps(path):
    # The sound in 1 ms pieces on the container's timeline, each with its peak in dB.
    rows = [line.split(",") for line in probe(
        f"amovie={path},asetnsamples=n=48:p=0,astats=metadata=1:reset=1:"
        "measure_perchannel=none:measure_overall=Peak_level",
        "frame=pts_time:frame_tags=lavfi.astats.Overall.Peak_level", "-f", "lavfi").split()]
    times = [float(r[0]) for r in rows]
    peaks = [float(r[1]) if r[1] not in ("-inf", "") else -200.0 for r in rows]
    return onsets(times, peaks, -20.0)


def offsets(path):
    """Each flash's nearest beep onset minus the flash onset, in seconds."""
    sound = beeps(path)
    gaps = []
    for flash in flashes(path):
        nearest = min(sound, key=lambda beep: abs(beep - flash), default=None)
        if nearest is not None and abs(nearest - flash) <= MATCH_WITHIN:
            gaps.append(nearest - flash)
    return gaps


def measure_sync(args):
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "beeps.mp4")
        length = args.seconds + 2
        clip(source, length,
             f"color=black:s=640x360:r={SYNC_FPS}:d={length},drawbox=x=0:y=0:w=iw:h=ih:"
             f"color=white:t=fill:enable='lt(mod(n\\,{SYNC_FPS})\\,3)'",
             "aevalsrc='if(lt(mod(t\\,1)\\,0.1)\\,0.5*sin(2*PI*1000*t)\\,0)'"
             f":s=48000:d={length}",
             "-c:v", "libx264", "-g", str(SYNC_FPS))
        output = os.path.join(scratch, "show.mp4")
        show(args, scratch, [output], "--input", source, "--size", "640x360",
             "--fps", str(SYNC_FPS))
        period = 1 / SYNC_FPS
        for label, path in (("the clip itself", source), ("the show", output)):
            gaps = offsets(path)
            if not gaps:
                print(f"beep - flash, {label + ':':16} no flash with a beep within"
                      f" {MATCH_WITHIN} s")
                continue
            size = [abs(gap) / period for gap in gaps]
            print(f"|beep - flash| / frame period, {label + ':':16} median"
                  f" {statistics.median(size):.2f}  worst {max(size):.2f}"
                  f"   ({len(gaps)} pairs, signed median"
                  f" {statistics.median(gaps) * 1000:+.1f} ms; goal: at most 1)")


def measure_cpu(args, width, height, fps, preset):
    size = f"{width}x{height}"
    with tempfile.TemporaryDirectory() as scratch:
        source = os.path.join(scratch, "card.mp4")
        length = args.seconds + 5
        # yuv420p, as cameras and streams send it (x264 would keep testsrc's colours as 4:4:4).
        clip(source, length, f"testsrc=s={size}:r={fps}:d={length}",
             f"sine=frequency=440:sample_rate=48000:d={length}",
             "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p")
        live = host(args, scratch, [os.path.join(scratch, "show.mp4")], "--input", source,
                    "--size", size, "--fps", str(fps), "--preset", preset,
                    "--scenario", os.path.join(SOURCE, "data", "scenarios", "demo-free.json"))
        plain = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-re", "-i", source,
                 "-t", str(args.seconds), "-vf", f"scale={width}:{height}", "-r", str(fps),
                 # The show's own encoding: frame threads, a keyframe a second at 60 fps.
                 "-pix_fmt", "yuv420p", "-c:v", "libx264", "-preset", preset, "-tune", "zerolatency",
                 "-x264-params", "sliced-threads=0", "-threads", "0",
                 "-g", "60", "-bf", "0", "-crf", "21", "-c:a", "aac", "-b:a", "160k",
                 os.path.join(scratch, "plain.mp4")]
        ratios, spent = [], []
        for repetition in range(args.repetitions):
            # Which goes first alternates, so a drift in the machine's load favours neither.
            pair = [("show", live), ("plain", plain)][::1 if repetition % 2 == 0 else -1]
            cpu = {name: cpu_of(command, args.seconds + 60) for name, command in pair}
            spent.append((cpu["show"], cpu["plain"]))
            ratios.append(cpu["show"] / cpu["plain"])
    label = f"CPU, show / plain ffmpeg, {height}p{fps} {preset}:"
    print(f"{label:44} median {statistics.median(ratios):.2f}"
          f"  range {min(ratios):.2f}-{max(ratios):.2f}   (show "
          f"{statistics.median(h for h, _ in spent):.1f} s, ffmpeg "
          f"{statistics.median(p for _, p in spent):.1f} s of CPU over {args.seconds:g} s,"
          f" {args.repetitions} repetitions)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--seconds", type=float, default=15, help="length of every show")
    parser.add_argument("--repetitions", type=int, default=3)
    # Twice as many busy loops as cores: with one a core, the scheduler's fair share leaves
    # the show nearly whole and few frames late.
    parser.add_argument("--hogs", type=int, default=2 * (os.cpu_count() or 1),
                        help="busy loops beside the loaded show (default: twice the cores)")
    parser.add_argument("--only", choices=["length", "sync", "cpu"], help="one measurement")
    args = parser.parse_args()
    started = time.monotonic()
    if args.only in (None, "length"):
        measure_length(args)
    if args.only in (None, "sync"):
        measure_sync(args)
    if args.only in (None, "cpu"):
        measure_cpu(args, 1280, 720, 30, "veryfast")
        measure_cpu(args, 1920, 1080, 60, "ultrafast")
    print(f"({time.monotonic() - started:.0f} s in all)")


if __name__ == "__main__":
    main()
