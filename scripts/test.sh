#!/usr/bin/env bash
# Installs what the build and the tests need, checks the layers' includes, builds,
# and runs every test: the whole suite on the normal build (with the demo corpus
# prepared beside the programs), then the core and tool tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

install_packages build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev \
    libbenchmark-dev
install_packages "${VYN_GUI_PACKAGES[@]}"
# For the corpus converter's tests on the variant data Debian ships.
install_packages python3 unicode-data opencc libopencc-data
# To read back the text of a page saved as PDF.
install_packages poppler-utils

# Includes that point against the layers fail the run before anything is built.
python3 scripts/check-layers.py

configure_and_build build -DBUILD_TESTING=ON
bash scripts/prepare-demo.sh
VYN_AGREEMENT_DATA="$PWD/build/bin" ctest --test-dir build --output-on-failure --timeout 600

configure_and_build build-asan -DBUILD_TESTING=ON -DVYN_BUILD_GUI=OFF -DVYN_SANITIZE=ON
# Any report stops the process with a failure (and fails a tool test through its
# stderr); LeakSanitizer reports at exit.
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    VYN_AGREEMENT_DATA="$PWD/build/bin" VYN_AGREEMENT_QUERIES=500 \
    ctest --test-dir build-asan --output-on-failure --timeout 900 -E corpus_converter
