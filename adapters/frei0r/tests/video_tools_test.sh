#!/usr/bin/env bash
# The filter inside the three video tools: ffmpeg, GStreamer and MLT each play a scenario over
# the same lossless video as askgame-host run, and each must give the host's frames; the filter
# installed under a prefix does the same; a bad parameter leaves every tool's video untouched.
# Usage: video_tools_test.sh RUNTIME_DIR FILTER_DIR BUILD_DIR
set -euo pipefail
runtime=$1
filters=$2
build=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

size=320x180
width=320
height=180
fps=25
frames=50

export FREI0R_PATH=$filters
export ASKGAME_ACP=65001                # the bank below is UTF-8
export GST_REGISTRY=$work/registry.bin  # a registry of its own, so the filter is found afresh
export XDG_DATA_HOME=$work              # the host's season file, not the user's
unset DISPLAY

exec 3>&2 # the test's own stderr, for failures reported where a tool's output is redirected
fail() {
    echo "FAILED: $*" >&3
    exit 1
}

# Runs a tool that must finish within two minutes; one that does not has hung, and says so.
bounded() {
    local rc=0
    timeout 120 "$@" || rc=$?
    ((rc != 124)) || fail "$1 did not finish within 120 s"
    return "$rc"
}

# The tool's frames byte-equal to the host's, compared as BGR (the host's PNG frames carry no
# alpha). At least `least` frames must be there (MLT's avformat consumer drops the last one).
same_frames() {
    local tool=$1 raw=$2 least=${3:-$frames}
    ffmpeg -v error -f rawvideo -pix_fmt bgra -s $size -i "$raw" -f rawvideo -pix_fmt bgr24 \
        -y "$work/$tool.bgr"
    local bytes written
    bytes=$(stat -c %s "$work/$tool.bgr")
    written=$((bytes / (width * height * 3)))
    ((written >= least && written <= frames)) || fail "$tool wrote $written frames, not $frames"
    cmp -s -n "$bytes" "$work/host.bgr" "$work/$tool.bgr" ||
        fail "$tool's frames differ from askgame-host run's:" \
            "$(cmp -n "$bytes" "$work/host.bgr" "$work/$tool.bgr" | head -1)"
    echo "ok: $tool draws the host's frames ($written of $frames)"
}

cat >"$work/bank.txt" <<'BANK'
[问题]
Which planet is red? A Mars B Venus
[答案]
A
BANK
cat >"$work/show.json" <<SHOW
{ "mode": "free", "size": "$size", "fps": $fps, "duration": 2, "lcid": 1033,
  "viewers": { "ming": { "id": 1001, "name": "王小明" } },
  "events": [
    { "at": 0.1, "bank": "bank.txt" },
    { "at": 0.2, "option": "OptShowQuestion", "selected": true },
    { "at": 0.4, "click": "ButtonShowQue" },
    { "at": 1.0, "chat": "ming", "text": "A" } ] }
SHOW

# One lossless BGRA video for everyone.
ffmpeg -v error -f lavfi -i testsrc2=size=$size:rate=$fps -frames:v $frames -c:v rawvideo \
    -pix_fmt bgra "$work/in.nut"
ffmpeg -v error -i "$work/in.nut" -f rawvideo -pix_fmt bgra "$work/in.raw"

"$runtime/askgame-host" run --scenario "$work/show.json" --input "$work/in.nut" \
    --output "$work/host/" >/dev/null
ffmpeg -v error -i "$work/host/frame-%06d.png" -f rawvideo -pix_fmt bgr24 "$work/host.bgr"
cmp -s "$work/in.raw" "$work/host.bgr" && fail "the host drew nothing"

# ffmpeg: the parameters in order, separated by '|'.
ffmpeg -v error -i "$work/in.nut" -vf "frei0r=askgame:$work/show.json|free|en" \
    -f rawvideo -pix_fmt bgra "$work/ffmpeg.raw"
same_frames ffmpeg "$work/ffmpeg.raw"

# GStreamer: the filter is the element frei0r-filter-askgame, its parameters properties.
bounded gst-launch-1.0 -q filesrc location="$work/in.raw" \
    ! rawvideoparse width=$width height=$height format=bgra framerate=$fps/1 \
    ! frei0r-filter-askgame scenario="$work/show.json" language=en \
    ! filesink location="$work/gst.raw"
same_frames gstreamer "$work/gst.raw"

# MLT: the filter is the service frei0r.askgame, at the video's own size and rate.
cat >"$work/profile" <<PROFILE
description=$size at $fps fps
width=$width
height=$height
progressive=1
sample_aspect_num=1
sample_aspect_den=1
display_aspect_num=16
display_aspect_den=9
frame_rate_num=$fps
frame_rate_den=1
colorspace=709
PROFILE
bounded melt -silent -profile "$work/profile" "$work/in.nut" out=$((frames - 1)) \
    -filter frei0r.askgame scenario="$work/show.json" language=en \
    -consumer avformat:"$work/melt.nut" vcodec=rawvideo pix_fmt=bgra an=1 real_time=-1 \
    >"$work/melt.log" 2>&1 || { cat "$work/melt.log"; fail "melt failed"; }
ffmpeg -v error -i "$work/melt.nut" -f rawvideo -pix_fmt bgra "$work/melt.raw"
same_frames melt "$work/melt.raw" $((frames - 1))

# Installed as a user installs it: the whole tree under a prefix, found through FREI0R_PATH.
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" ||
    { cat "$work/install.log"; fail "cmake --install failed"; }
FREI0R_PATH=$work/prefix/lib/frei0r-1 ffmpeg -v error -i "$work/in.nut" \
    -vf "frei0r=askgame:$work/show.json|free|en" -f rawvideo -pix_fmt bgra "$work/installed.raw"
same_frames installed "$work/installed.raw"

# A bad parameter: a clear message, the video untouched, the tool unharmed.
bad_message='askgame: mode "quiz": expected free or challenge'
untouched() {
    local tool=$1 raw=$2 log=$3
    grep -q "$bad_message" "$log" || fail "$tool: no clear message for a bad mode: $(cat "$log")"
    [[ -s $raw ]] || fail "$tool wrote no frames with a bad parameter"
    cmp -s -n "$(stat -c %s "$raw")" "$work/in.raw" "$raw" ||
        fail "$tool: a bad parameter changed the frames"
    echo "ok: $tool reports a bad parameter and passes the frames through"
}
ffmpeg -v error -i "$work/in.nut" -vf "frei0r=askgame:$work/show.json|quiz" \
    -f rawvideo -pix_fmt bgra "$work/bad.raw" 2>"$work/bad.log"
untouched ffmpeg "$work/bad.raw" "$work/bad.log"
bounded gst-launch-1.0 -q filesrc location="$work/in.raw" \
    ! rawvideoparse width=$width height=$height format=bgra framerate=$fps/1 \
    ! frei0r-filter-askgame scenario="$work/show.json" mode=quiz \
    ! filesink location="$work/gst-bad.raw" 2>"$work/gst-bad.log"
untouched gstreamer "$work/gst-bad.raw" "$work/gst-bad.log"
bounded melt -silent -profile "$work/profile" "$work/in.nut" out=$((frames - 1)) \
    -filter frei0r.askgame scenario="$work/show.json" mode=quiz \
    -consumer avformat:"$work/melt-bad.nut" vcodec=rawvideo pix_fmt=bgra an=1 real_time=-1 \
    >"$work/melt-bad.log" 2>&1 || { cat "$work/melt-bad.log"; fail "melt failed"; }
ffmpeg -v error -i "$work/melt-bad.nut" -f rawvideo -pix_fmt bgra "$work/melt-bad.raw"
untouched melt "$work/melt-bad.raw" "$work/melt-bad.log"
