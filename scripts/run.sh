#!/usr/bin/env bash
# Installs what the reader needs, builds it, prepares the demo corpus beside it and
# starts it: build/bin/vyn.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

install_packages build-essential cmake ninja-build pkg-config "${VYN_GUI_PACKAGES[@]}"

configure_and_build build -DBUILD_TESTING=OFF
if [ -f scripts/prepare-demo.sh ]; then
    bash scripts/prepare-demo.sh
fi

# WebEngine cannot run its sandbox as root.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "$0: no display; to see the reader on a virtual screen run scripts/screenshot.sh" >&2
    exit 1
fi
exec build/bin/vyn "$@"
