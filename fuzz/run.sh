#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang 14), makes their seed inputs with
# the builder, and runs each target for SECONDS (default 600), two at a time with
# JOBS=2. The working corpus of target T grows in build-fuzz/corpus/T; a crash input
# is left in build-fuzz/artifacts/T/ and fails the script. Copy crash inputs into
# tests/robustness/inputs/T/ to keep them as regression cases.
#   fuzz/run.sh [SECONDS] [TARGET...]   targets: store index catalog variants query page
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(store catalog variants page index query)

install_packages cmake ninja-build "${VYN_FUZZ_PACKAGES[@]}"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYN_FUZZ=ON >/dev/null
cmake --build build-fuzz -j "$(nproc)"

out=build-fuzz
rm -rf "$out/seeds"
"$out/bin/vyn_fuzz_seeds" "$out/seeds"

run_one() {
    local t=$1 seconds=$2 out=$3
    local max_len=8192
    case $t in index) max_len=65536 ;; store) max_len=32768 ;; esac
    mkdir -p "$out/corpus/$t" "$out/artifacts/$t"
    local extra=()
    [ -d "tests/robustness/inputs/$t" ] && extra+=("tests/robustness/inputs/$t")
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$out/bin/${t}_fuzz" -max_total_time="$seconds" -max_len="$max_len" -timeout=25 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/artifacts/$t/" \
        "$out/corpus/$t" "$out/seeds/$t" "${extra[@]}" >"$out/$t.log" 2>&1
    local rc=$?
    echo "$t: exit $rc, $(grep -E '^stat::number_of_executed_units' "$out/$t.log" | awk '{print $2}') runs," \
        "corpus $(ls "$out/corpus/$t" | wc -l) inputs, log $out/$t.log"
    return $rc
}
export -f run_one

printf '%s\n' "${targets[@]}" |
    xargs -P "${JOBS:-1}" -I{} bash -c 'run_one "$@"' _ {} "$seconds" "$out"
