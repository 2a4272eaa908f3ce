#!/usr/bin/env bash
# The share of late frames in a live show of the test card, over SECONDS (default 60), for
# each size, rate and x264 preset given (default: 1280x720@30 veryfast, 1920x1080@30 veryfast,
# 1920x1080@60 ultrafast). A late frame is one the show skipped because drawing and encoding fell
# behind the wall clock; the goal is under 1 %. Reports each run's frames, late frames and share.
#
# usage: bench/live_late_frames.sh [--seconds N] [BUILD_DIR] [WxH@FPS:PRESET ...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
if [[ ${1:-} == --seconds ]]; then
    seconds=$2
    shift 2
fi
build=${1:-build}
shift || true
runs=("$@")
((${#runs[@]})) || runs=(1280x720@30:veryfast 1920x1080@30:veryfast 1920x1080@60:ultrafast)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for run in "${runs[@]}"; do
    size=${run%@*}
    rate=${run#*@}
    fps=${rate%:*}
    preset=${rate#*:}
    "$build/bin/askgame-host" live --size "$size" --fps "$fps" --preset "$preset" \
        --duration "$seconds" --output "$scratch/show.mp4" --listen 127.0.0.1:0 --no-season \
        --transcript "$scratch/transcript.txt" >/dev/null 2>"$scratch/stderr.txt" || {
        cat "$scratch/stderr.txt"
        exit 1
    }
    # The last line: "askgame-host: N frames, M late (P %); transcript ..."
    summary=$(grep -o '[0-9]* frames, [0-9]* late ([0-9.]* %)' "$scratch/stderr.txt" | tail -1)
    printf '%-12s %3s fps %-10s %s\n' "$size" "$fps" "$preset" "$summary"
done
