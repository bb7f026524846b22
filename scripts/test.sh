#!/usr/bin/env bash
# Installs what the build and the tests need, checks the layers' includes, builds,
# and runs every test: the whole suite on the normal build (with the demo corpus
# prepared beside the programs), then the core and tool tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, with the GUI tests of the reader's
# end, of the profile two readers share and of opening a hit.
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

# Of the GUI, only what these tests need is built.
configure_and_build build-asan -DBUILD_TESTING=ON -DVYN_SANITIZE=ON \
    "-DVYN_GUI_TESTS=terminationtest;two_readers_bookmarks;leftformtest:openingAHitOfTheSelectedRowShowsItsPage"
# Any report stops the process with a failure (and fails a tool test through its
# stderr); LeakSanitizer reports at exit.
asan_options=detect_leaks=1:halt_on_error=1:abort_on_error=1
ubsan_options=print_stacktrace=1:halt_on_error=1
ASAN_OPTIONS=$asan_options UBSAN_OPTIONS=$ubsan_options \
    VYN_AGREEMENT_DATA="$PWD/build/bin" VYN_AGREEMENT_QUERIES=500 \
    ctest --test-dir build-asan --output-on-failure --timeout 900 -E corpus_converter -LE gui
# The GUI tests. The Chromium inside Qt WebEngine deletes objects with a size other
# than the one allocated (new_delete_type_mismatch, off for these processes only), and
# the libraries under Qt keep allocations until exit (scripts/lsan-gui.supp). Qt
# Quick's software renderer keeps Mesa's GL driver out of the scene graph: the driver
# leaks blocks whose stacks LeakSanitizer cannot name once it is unloaded at exit.
QT_QUICK_BACKEND=software \
    ASAN_OPTIONS=$asan_options:new_delete_type_mismatch=0 \
    LSAN_OPTIONS=suppressions="$PWD/scripts/lsan-gui.supp":print_suppressions=0 \
    UBSAN_OPTIONS=$ubsan_options \
    ctest --test-dir build-asan --output-on-failure --timeout 900 -L gui
