#!/usr/bin/env bash
# Builds a library from copies of the large corpus and times what a library adds:
# the build (wall time and peak memory), the query table of bench/compare.sh on vyn
# beside SQLite FTS5 over every page of the library, and opening the library in the
# panel and showing the first list page for 人, beside the same on one data folder of
# the same text.
#
#   bash bench/library_scale.sh [COPIES] [--max-pages N] [--max-records N]
#                               [--max-content-bytes N] [--repeats N] [--single DIR]
#                               [--no-search] [--base SRC]
#
# COPIES (default 4) copies of SRC (default .cache/large-src, made by
# scripts/prepare-large.sh; .cache/demo-src, of one book, makes libraries of many small
# folders) are made with bench/make_scale_source.py into .cache/library-scale/ (once
# per source and count) and
# built with `vyn-tool build --library`, the caps passed on. The single folder is the
# same source built with --out, timed as well, unless --single names a data folder to
# compare with instead; when the input does not fit one folder, the library's first
# folder stands in, and the script says so. --no-search skips the comparison with
# FTS5 (for a library of many small folders, where only opening is of interest).
# --repeats goes to compare.sh (default 7).
#
# A benchmark: it takes minutes and gigabytes, and is no part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

copies=4
caps=()
repeats=7
single=""
search=1
base=.cache/large-src
while [ $# -gt 0 ]; do
    case $1 in
        --max-pages | --max-records | --max-content-bytes) caps+=("$1" "$2"); shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --single) single=$(realpath "$2"); shift 2 ;;
        --no-search) search=0; shift ;;
        --base) base=$2; shift 2 ;;
        -*) echo "library_scale.sh: unknown option $1" >&2; exit 2 ;;
        *) copies=$1; shift ;;
    esac
done
[ -f "$base/catalog.txt" ] ||
    { echo "library_scale.sh: no source in $base; run scripts/prepare-large.sh" >&2; exit 2; }

install_packages build-essential cmake ninja-build libbenchmark-dev "${VYN_PEER_PACKAGES[@]}"
cmake -S . -B build-peers -G Ninja -DCMAKE_BUILD_TYPE=Release -DVYN_BUILD_GUI=OFF >/dev/null
cmake --build build-peers --target vyn-peers vyn-tool panel_bench >/dev/null
bin=$PWD/build-peers/bin

work=$PWD/.cache/library-scale
mkdir -p "$work"
src=$base
name=$(basename "$base")-$copies
if [ "$copies" -gt 1 ]; then
    src=$work/src-$name
    if [ ! -f "$src/done" ]; then
        rm -rf "$src"
        echo "Making the source of $copies copies in $src (once) ..."
        python3 bench/make_scale_source.py "$base" "$src" "$copies" >/dev/null
        touch "$src/done"
    fi
fi

# timed_build LABEL OUT ARGS...: runs vyn-tool build and prints a row of the build
# table; false when the build failed.
timed_build() {
    local label=$1 out=$2
    shift 2
    rm -rf "$out"
    if ! /usr/bin/time -v -o "$work/time.out" "$bin/vyn-tool" build --source "$src" "$@" \
        >/dev/null 2>"$work/build.err"; then
        echo "| $label | failed: $(grep -v '^\s' "$work/build.err" | tail -1) | | | | |"
        return 1
    fi
    local wall user sys peak
    wall=$(sed -n 's/.*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' "$work/time.out")
    user=$(sed -n 's/.*User time (seconds): //p' "$work/time.out")
    sys=$(sed -n 's/.*System time (seconds): //p' "$work/time.out")
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.out")
    local folders=1
    [ -f "$out/vyn.dir" ] || folders=$(find "$out" -mindepth 2 -maxdepth 2 -name vyn.dir | wc -l)
    awk -v label="$label" -v folders="$folders" -v wall="$wall" -v cpu="$user + $sys" \
        -v user="$user" -v sys="$sys" -v peak="$peak" -v size="$(du -sk "$out" | cut -f1)" \
        'BEGIN {printf "| %s | %d | %s | %.1f s | %.2f GB | %.2f GB |\n", label, folders, wall,
                user + sys, peak / 1048576, size / 1048576}'
}

echo "vyn $(git describe --always --dirty 2>/dev/null || echo "(not a git checkout)"), $copies copies${caps[*]:+, ${caps[*]}}, $(nproc) cores, $(free -g | awk '/^Mem:/ {print $2}') GB, load before:$(uptime | sed 's/.*load average://')"
echo
echo "Building (wall, user + system, peak resident memory, size of the files):"
echo
echo "| build | folders | wall | user + system | peak memory | files |"
echo "|---|--:|--:|--:|--:|--:|"
library=$work/library-$name$(printf '%s' "${caps[@]}" | tr -c '0-9a-z' '-')
timed_build "--library ${caps[*]}" "$library" --library "$library" "${caps[@]}" || exit 2
if [ -z "$single" ]; then
    single=$work/single-$name
    if ! timed_build "--out" "$single" --out "$single"; then
        single=$(find "$library" -mindepth 1 -maxdepth 1 -type d | LC_ALL=C sort | head -1)
        echo
        echo "The input does not fit one folder: the library's first folder stands in for it."
    fi
fi
echo
for folder in "$library"/*/; do
    echo "$(basename "$folder"): $("$bin/vyn-tool" catalog --data "$folder" | wc -l) catalog records, $(du -sm "$folder" | cut -f1) MB, \"$(head -1 "$folder/vyn-title.txt")\""
done

if [ $search -eq 1 ]; then
    echo
    echo "Searching the library, vyn beside FTS5 (bench/compare.sh):"
    echo
    bash bench/compare.sh "$library" --repeats "$repeats" || true
fi

# The panel: opening, and opening then the first list page for 人 (Google Benchmark,
# real time), on the library and on the single folder.
panel() {
    VYN_BENCH_DATA=$1 "$bin/panel_bench" --benchmark_format=csv \
        --benchmark_filter='^Open/|^SearchToFirstListPage/ren$' --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true 2>/dev/null |
        awk -F, '/_median"/ {gsub(/"/, "", $1); sub(/_median$/, "", $1); print $1, $3, $4}'
}
echo
echo "The panel (median of 5 repetitions, ms, real time and the main thread's CPU time;"
echo "SearchToFirstListPage/ren searches the whole library, and the largest category of"
echo "the single folder; Open/to_first_list_page_ren searches slot 1 of each):"
echo
panel "$library" | sort >"$work/panel-library.txt"
panel "$single" | sort >"$work/panel-single.txt"
echo "| step | library | single folder | library / single | library CPU | single CPU |"
echo "|---|--:|--:|--:|--:|--:|"
join "$work/panel-library.txt" "$work/panel-single.txt" |
    awk '{printf "| %s | %.1f | %.1f | %.2f | %.1f | %.1f |\n", $1, $2, $4,
          ($4 > 0 ? $2 / $4 : 0), $3, $5}'
echo
echo "Single folder: $single"
echo "Load after:$(uptime | sed 's/.*load average://')"
