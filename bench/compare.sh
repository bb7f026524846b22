#!/usr/bin/env bash
# Compares vyn's search with ripgrep, SQLite FTS5 and Xapian on the same pages and
# prints, per query, the pages each tool found, median times and ratios, then the
# build times and peak memory of vyn's index and of the peers' indexes.
#
#   bash bench/compare.sh [DATA] [--source SRC] [--repeats N] [--random N] [--seed S]
#                         [--rebuild] [--time-builds]
#
# DATA is a data folder (default .cache/large-data, made by scripts/prepare-large.sh).
# SRC is the source DATA was built from, for timing vyn-tool build (default
# .cache/large-src when DATA is the default; without it vyn's build is not timed).
# The page text and the peers' indexes are built once per DATA and kept under
# .cache/peers/; --rebuild builds them again. --random N (default 200) random queries
# drawn from the text with seed S (default 1) are compared, untimed, after the table.
# --time-builds times vyn-tool build (needs SRC) and the FTS5 table build again, three
# times each, taking turns, and prints their medians: the build times kept in the
# cache are those of the vyn that first prepared it.
# Exits 1 when a tool found other pages than vyn.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

data=""
source=""
repeats=7
random=200
seed=1
rebuild=0
time_builds=0
while [ $# -gt 0 ]; do
    case $1 in
        --source) source=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --random) random=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --rebuild) rebuild=1; shift ;;
        --time-builds) time_builds=1; shift ;;
        -*) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
        *) data=$1; shift ;;
    esac
done
if [ -z "$data" ]; then
    data=.cache/large-data
    [ -z "$source" ] && [ -d .cache/large-src ] && source=.cache/large-src
fi
[ -f "$data/Index-fl.h" ] || { echo "compare.sh: no data files in $data" >&2; exit 2; }
data=$(realpath "$data")

install_packages build-essential cmake ninja-build "${VYN_PEER_PACKAGES[@]}"
cmake -S . -B build-peers -G Ninja -DCMAKE_BUILD_TYPE=Release -DVYN_BUILD_GUI=OFF >/dev/null
cmake --build build-peers --target vyn-peers vyn-tool >/dev/null
bin=$PWD/build-peers/bin

# One cache folder per data folder and state of its store.
key=$(stat -c '%n %s %Y' "$data"/Index-fl.h "$data"/Index-fl.cnt "$data"/Index-idx.m | sha1sum | cut -c1-12)
cache=$PWD/.cache/peers/$key
[ $rebuild -eq 1 ] && rm -rf "$cache"
mkdir -p "$cache"
times=$cache/build-times.txt

# timed LABEL COMMAND...: runs the command and appends its wall time and peak memory.
timed() {
    local label=$1
    shift
    /usr/bin/time -f '%e %M' -o "$cache/time.out" "$@" >/dev/null
    read -r seconds kib <"$cache/time.out"
    printf '| %s | %s | %d |\n' "$label" "$seconds" $((kib / 1024)) >>"$times"
}

if [ ! -f "$cache/done" ]; then
    rm -rf "$cache"/*
    echo "Preparing the peers in $cache (once) ..."
    # A private copy: the index is opened under an exclusive lock, and others may be
    # reading DATA.
    mkdir -p "$cache/data"
    cp "$data"/Index* "$data"/vyn.dir "$data"/yitizi.txt "$cache/data/"
    : >"$times"
    timed "export of the page text" "$bin/vyn-peers" export "$cache/data" "$cache/pages.txt"
    if [ -n "$source" ]; then
        rm -rf "$cache/vyn-build"
        mkdir -p "$cache/vyn-build"
        timed "vyn-tool build (from the source)" "$bin/vyn-tool" build --source "$source" \
            --out "$cache/vyn-build"
        echo "vyn index and store: $(du -sm "$cache/vyn-build" | cut -f1) MB" >>"$cache/sizes.txt"
        rm -rf "$cache/vyn-build"
    fi
    timed "FTS5 table (from the page text)" "$bin/vyn-peers" build-fts5 "$cache/pages.txt" \
        "$cache/fts5.db"
    timed "Xapian database (from the page text)" "$bin/vyn-peers" build-xapian \
        "$cache/pages.txt" "$cache/xapian"
    echo "page text: $(du -sm "$cache/pages.txt" | cut -f1) MB" >>"$cache/sizes.txt"
    echo "FTS5 table: $(du -sm "$cache/fts5.db" | cut -f1) MB" >>"$cache/sizes.txt"
    echo "Xapian database: $(du -sm "$cache/xapian" | cut -f1) MB" >>"$cache/sizes.txt"
    touch "$cache/done"
fi

echo "vyn $(git describe --always --dirty 2>/dev/null || echo "(not a git checkout)"), data $data, $(nproc) cores, load before:$(uptime | sed 's/.*load average://')"
echo
agreed=0
"$bin/vyn-peers" run "$cache/data" "$cache/pages.txt" "$cache/fts5.db" "$cache/xapian" \
    "$bin/vyn-tool" "$repeats" || agreed=1
echo
echo "Load after:$(uptime | sed 's/.*load average://')"
if [ "$random" -gt 0 ]; then
    echo
    "$bin/vyn-peers" agree "$cache/data" "$cache/pages.txt" "$cache/fts5.db" "$cache/xapian" \
        "$random" "$seed" || agreed=1
fi
echo
echo "Building (wall seconds, peak resident MB):"
echo
echo "| step | seconds | peak MB |"
echo "|---|--:|--:|"
cat "$times"
echo
cat "$cache/sizes.txt"

if [ $time_builds -eq 1 ]; then
    scratch=$(mktemp -d "$cache/builds.XXXXXX")
    trap 'rm -rf "$scratch"' EXIT
    : >"$scratch/vyn" && : >"$scratch/fts5"
    for round in 1 2 3; do
        if [ -n "$source" ]; then
            rm -rf "$scratch/out" && mkdir "$scratch/out"
            /usr/bin/time -f '%e %M' -a -o "$scratch/vyn" "$bin/vyn-tool" build \
                --source "$source" --out "$scratch/out" >/dev/null 2>"$scratch/build.err" ||
                { cat "$scratch/build.err" >&2; exit 2; }
        fi
        rm -f "$scratch/fts5.db"
        /usr/bin/time -f '%e %M' -a -o "$scratch/fts5" "$bin/vyn-peers" build-fts5 \
            "$cache/pages.txt" "$scratch/fts5.db" >/dev/null
    done
    # median LABEL FILE: the middle run by wall time, and the largest peak.
    median() {
        [ -s "$2" ] || return 0
        local seconds peak
        seconds=$(cut -d' ' -f1 "$2" | sort -n | sed -n 2p)
        peak=$(cut -d' ' -f2 "$2" | sort -n | tail -1)
        printf '| %s | %s | %d |\n' "$1" "$seconds" $((peak / 1024))
    }
    echo
    echo "Builds timed in this run (median of 3 taking turns; load$(uptime | sed 's/.*load average://')):"
    echo
    echo "| step | seconds | peak MB |"
    echo "|---|--:|--:|"
    median "vyn-tool build (from the source)" "$scratch/vyn"
    median "FTS5 table (from the page text)" "$scratch/fts5"
fi
exit $agreed
