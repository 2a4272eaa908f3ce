#!/usr/bin/env bash
# Runs a program that needs an X display: on the display there is, else on a fresh Xvfb.
set -euo pipefail
if [[ -n "${DISPLAY:-}" ]]; then exec timeout 150 "$@"; fi
command -v xvfb-run >/dev/null || { echo "no DISPLAY and no xvfb-run (apt-get install xvfb)" >&2; exit 1; }
exec timeout 150 xvfb-run -a -s "-screen 0 1280x720x24" "$@"
