#!/usr/bin/env bash
# A long session on the large corpus (.cache/large-data, scripts/prepare-large.sh):
# first SEARCHES searches (default 20000) with their hit pages on the normal build,
# printing resident memory as it goes, then a shorter run (SEARCHES/10) under
# AddressSanitizer with LeakSanitizer in build-fuzz, which fails on any leak.
#   fuzz/soak.sh [SEARCHES] [DATA_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

searches=${1:-20000}
data=${2:-.cache/large-data}
[ -f "$data/Index-idx.h" ] || { echo "soak: no data in $data (run scripts/prepare-large.sh)" >&2; exit 1; }

configure_and_build build-rob -DBUILD_TESTING=ON >/dev/null
echo "== normal build: $searches searches"
/usr/bin/time -f "peak resident %M kB, %e s" build-rob/bin/vyn_soak "$data" "$searches"

install_packages "${VYN_FUZZ_PACKAGES[@]}"
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVYN_FUZZ=ON >/dev/null
cmake --build build-fuzz --target vyn_soak >/dev/null
echo "== AddressSanitizer, LeakSanitizer: $((searches / 10)) searches"
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build-fuzz/bin/vyn_soak "$data" "$((searches / 10))"
echo "soak: no leak or sanitizer report"
