#!/usr/bin/env bash
# Compares vyn's search with ripgrep, SQLite FTS5 and Xapian on the same pages and
# prints, per query, the pages each tool found, median times and ratios, then the
# build times and peak memory of vyn's index and of the peers' indexes.
#
#   bash bench/compare.sh [DATA] [--source SRC] [--repeats N] [--random N] [--seed S]
#                         [--rebuild] [--time-builds] [--fts5-only]
#
# DATA is a data folder (default .cache/large-data, made by scripts/prepare-large.sh)
# or a library of data folders.
# SRC is the source DATA was built from, for timing vyn-tool build (default
# .cache/large-src when DATA is the default; without it vyn's build is not timed).
# The page text and the peers' indexes are built once per DATA and kept under
# .cache/peers/; --rebuild builds them again. --random N (default 200) random queries
# drawn from the text with seed S (default 1) are compared, untimed, after the table.
# --time-builds times vyn-tool build (needs SRC) and the FTS5 table build again, three
# times each, taking turns, and prints their medians: the build times kept in the
# cache are those of the vyn that first prepared it.
# --fts5-only compares vyn with FTS5 alone (vyn-tool is timed, its lines not
# compared), builds neither the Xapian database nor times vyn-tool build, and draws no
# random queries; a library is always compared so. The FTS5 table of a library holds
# every page of every folder, numbered across the folders as the library numbers them.
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
fts5_only=0
while [ $# -gt 0 ]; do
    case $1 in
        --source) source=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --random) random=$2; shift 2 ;;
        --seed) seed=$2; shift 2 ;;
        --rebuild) rebuild=1; shift ;;
        --time-builds) time_builds=1; shift ;;
        --fts5-only) fts5_only=1; shift ;;
        -*) echo "compare.sh: unknown option $1" >&2; exit 2 ;;
        *) data=$1; shift ;;
    esac
done
if [ -z "$data" ]; then
    data=.cache/large-data
    [ -z "$source" ] && [ -d .cache/large-src ] && source=.cache/large-src
fi
# A library's data folders: its subfolders with a catalog, in the byte order of their
# names as the library takes them.
members=()
if [ ! -f "$data/vyn.dir" ]; then
    for folder in $(LC_ALL=C ls "$data"); do
        [ -f "$data/$folder/vyn.dir" ] && members+=("$folder")
    done
fi
if [ ${#members[@]} -gt 0 ]; then
    fts5_only=1
    source=""
    time_builds=0
elif [ ! -f "$data/Index-fl.h" ]; then
    echo "compare.sh: no data files in $data" >&2
    exit 2
fi
if [ $fts5_only -eq 1 ]; then random=0; fi
data=$(realpath "$data")

install_packages build-essential cmake ninja-build "${VYN_PEER_PACKAGES[@]}"
cmake -S . -B build-peers -G Ninja -DCMAKE_BUILD_TYPE=Release -DVYN_BUILD_GUI=OFF >/dev/null
cmake --build build-peers --target vyn-peers vyn-tool >/dev/null
bin=$PWD/build-peers/bin

# One cache folder per data folder and state of its store.
folders=("$data")
if [ ${#members[@]} -gt 0 ]; then folders=("${members[@]/#/$data/}"); fi
key=$(for folder in "${folders[@]}"; do
    stat -c '%n %s %Y' "$folder"/Index-fl.h "$folder"/Index-fl.cnt "$folder"/Index-idx.m
done | sha1sum | cut -c1-12)
if [ $fts5_only -eq 1 ]; then key=$key-fts5; fi
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
    if [ ${#members[@]} -gt 0 ]; then
        for folder in "${members[@]}"; do
            mkdir "$cache/data/$folder"
            cp "$data/$folder"/Index* "$data/$folder"/vyn.dir "$data/$folder"/yitizi.txt \
                "$cache/data/$folder/"
            if [ -f "$data/$folder/vyn-title.txt" ]; then
                cp "$data/$folder/vyn-title.txt" "$cache/data/$folder/"
            fi
        done
    else
        cp "$data"/Index* "$data"/vyn.dir "$data"/yitizi.txt "$cache/data/"
    fi
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
    if [ $fts5_only -eq 0 ]; then
        timed "Xapian database (from the page text)" "$bin/vyn-peers" build-xapian \
            "$cache/pages.txt" "$cache/xapian"
    fi
    echo "page text: $(du -sm "$cache/pages.txt" | cut -f1) MB" >>"$cache/sizes.txt"
    echo "FTS5 table: $(du -sm "$cache/fts5.db" | cut -f1) MB" >>"$cache/sizes.txt"
    if [ $fts5_only -eq 0 ]; then
        echo "Xapian database: $(du -sm "$cache/xapian" | cut -f1) MB" >>"$cache/sizes.txt"
    fi
    touch "$cache/done"
fi

echo "vyn $(git describe --always --dirty 2>/dev/null || echo "(not a git checkout)"), data $data, $(nproc) cores, load before:$(uptime | sed 's/.*load average://')"
echo
agreed=0
if [ $fts5_only -eq 1 ]; then
    "$bin/vyn-peers" run-fts5 "$cache/data" "$cache/fts5.db" "$bin/vyn-tool" "$repeats" ||
        agreed=1
else
    "$bin/vyn-peers" run "$cache/data" "$cache/pages.txt" "$cache/fts5.db" "$cache/xapian" \
        "$bin/vyn-tool" "$repeats" || agreed=1
fi
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
