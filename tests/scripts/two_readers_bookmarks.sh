#!/usr/bin/env bash
# Two readers on one profile, worked from outside with keys as a user works them: each
# opens a page with 移動… (F4) and bookmarks it with この頁をしおりに挟む… (F9) and a
# note, the second without having read the first's bookmark; then both are ended by
# SIGTERM. Both must exit with 0 and the profile must hold both bookmarks.
#
#   tests/scripts/two_readers_bookmarks.sh VYN VYN_TOOL
#
# Needs an X display (ctest runs it under xvfb-run) and xdotool. The readers run from a
# copy of VYN beside a small corpus built with VYN_TOOL, with a profile, home and
# runtime folder of their own.
set -euo pipefail
vyn=$1
tool=$2

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    for log in "$work"/*.log; do
        [ -f "$log" ] && echo "--- the end of $(basename "$log"):" >&2 && tail -n 20 "$log" >&2
    done
    exit 1
}

mkdir -p "$work/src" "$work/app" "$work/config" "$work/home" "$work/run"
chmod 700 "$work/run"
# Names and notes in ASCII: xdotool types them as plain keys.
printf 'category\tpoems\nbook\ttang\nvolume\tv1\tv1.txt\nvolume\tv2\tv2.txt\n' >"$work/src/catalog.txt"
printf '山水\n---\n明月\n---\n山月\n' >"$work/src/v1.txt"
printf '花落\n---\n青山\n' >"$work/src/v2.txt"
"$tool" build --source "$work/src" --out "$work/app" >/dev/null 2>&1 || fail "vyn-tool build"
# The reader finds its data beside the program.
cp -l "$vyn" "$work/app/vyn" 2>/dev/null || cp "$vyn" "$work/app/vyn"

export XDG_CONFIG_HOME=$work/config HOME=$work/home XDG_RUNTIME_DIR=$work/run
export QTWEBENGINE_DISABLE_SANDBOX=1 QT_QPA_PLATFORM=xcb
profile="$work/config/Local AppWizard-Generated Applications"

# visible_windows PID: how many windows of the process are shown.
visible_windows() { { xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; } | wc -l; }

# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds; fails after SECONDS.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
has_windows() { [ "$(visible_windows "$1")" -eq "$2" ]; }
# focus_dialog PID FRAME: gives the keyboard to the process's window that is not FRAME.
focus_dialog() {
    local dialog
    dialog=$({ xdotool search --onlyvisible --pid "$1" 2>/dev/null || true; } | grep -v -x -- "$2" | head -1)
    xdotool windowfocus --sync "$dialog"
}
profile_holds() { cat "$profile"/*.ini 2>/dev/null | grep -q -- "$1"; }

# frame_window PID: the reader's frame once it is shown.
frame_window() {
    local deadline=$((SECONDS + 60)) window
    while [ "$SECONDS" -lt "$deadline" ]; do
        # A window closing while xdotool looks makes it fail: look again.
        window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -1) || true
        [ -n "$window" ] && echo "$window" && return 0
        kill -0 "$1" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# bookmark PID WINDOW TEXT NOTE: opens the page TEXT names and bookmarks it with NOTE.
bookmark() {
    local pid=$1 window=$2 text=$3 note=$4
    xdotool windowfocus --sync "$window"
    xdotool key F4
    wait_until 30 has_windows "$pid" 2 || fail "the go-to dialog of $pid did not open"
    focus_dialog "$pid" "$window"
    xdotool type --delay 30 "$text"
    xdotool key Return
    wait_until 30 has_windows "$pid" 1 || fail "the go-to dialog of $pid did not close"
    xdotool windowfocus --sync "$window"
    xdotool key F9
    wait_until 30 has_windows "$pid" 2 || fail "the bookmark note dialog of $pid did not open"
    focus_dialog "$pid" "$window"
    xdotool type --delay 30 "$note"
    xdotool key Return
    # Written at once: the next reader's change comes after it.
    wait_until 30 profile_holds "$note" || fail "the bookmark of $pid is not in the profile"
}

# start_reader NAME: starts a reader that logs to NAME.log and waits for its frame;
# sets reader_pid and reader_window. A reader that could not reach the display at all
# (a fresh Xvfb has refused the first client now and then) is started again.
start_reader() {
    for _ in 1 2 3; do
        "$work/app/vyn" -Embedding >"$work/$1.log" 2>&1 &
        reader_pid=$!
        pids+=("$reader_pid")
        reader_window=$(frame_window "$reader_pid") && return 0
        grep -q "could not connect to display" "$work/$1.log" || return 1
    done
    return 1
}

# The second reader starts once the first shows its frame.
start_reader first || fail "the first reader shows no window"
first=$reader_pid
first_window=$reader_window
start_reader second || fail "the second reader shows no window"
second=$reader_pid
second_window=$reader_window

bookmark "$first" "$first_window" 'v1 2' 'note-of-first'
bookmark "$second" "$second_window" 'v2 2' 'note-of-second'

for pid in "$first" "$second"; do
    kill -TERM "$pid"
    status=0
    wait "$pid" || status=$?
    [ "$status" -eq 0 ] || fail "reader $pid ended with $status after SIGTERM"
done
pids=()

ini=$(cat "$profile"/*.ini)
for note in note-of-first note-of-second; do
    grep -q -- "$note" <<<"$ini" || fail "bookmark $note lost; profile: $ini"
done
ls "$work/run" | grep -q '^vyn-' && fail "a page folder was left in the runtime folder"
echo "both bookmarks kept"
