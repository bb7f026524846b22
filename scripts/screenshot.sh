#!/usr/bin/env bash
# Starts the built reader on a virtual screen and saves a picture of it.
#
#   scripts/screenshot.sh [OUT.png] [BUILD_DIR]     default: build/screenshot.png, build
#
# The reader runs from BUILD_DIR/bin with the data found there (scripts/prepare-demo.sh
# puts the demo corpus into build/bin).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh
install_packages xvfb xauth xdotool imagemagick
out=${1:-build/screenshot.png}
build=${2:-build}
export QTWEBENGINE_DISABLE_SANDBOX=1
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    # -Embedding: no splash screen over the picture.
    "$1/bin/vyn" -Embedding & pid=$!
    trap "kill $pid 2>/dev/null || true" EXIT
    xdotool search --sync --onlyvisible --class vyn >/dev/null
    # Give the page view time to paint its first frame.
    sleep 3
    import -window root "$2"
' _ "$build" "$out"
echo "$out"
