#!/usr/bin/env bash
# The main job: a short audio call over loopback between two handler objects
# of the plug-in. Each end sends two seconds of a tone of its own (made with
# sox), and once a second the program prints the level each end hears.
# Usage: scripts/loopback-call.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
medley=${1:-build}/tools/medley
work=$(mktemp -d "${TMPDIR:-/tmp}/medley-call-XXXXXX")
trap 'rm -rf "$work"' EXIT
sox -n -r 8000 -c 1 -b 16 "$work/caller.wav" synth 2 sine 440 vol 0.5
sox -n -r 8000 -c 1 -b 16 "$work/callee.wav" synth 2 sine 660 vol 0.2
"$medley" call --prefer PCMU --play "$work/caller.wav" --callee-play "$work/callee.wav"
