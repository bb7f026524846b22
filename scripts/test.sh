#!/usr/bin/env bash
# Installs what the build and the tests need, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

install_packages build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev \
    libbenchmark-dev
# For the corpus converter's tests on the variant data Debian ships.
install_packages python3 unicode-data opencc libopencc-data

configure_and_build build -DBUILD_TESTING=ON
ctest --test-dir build --output-on-failure --timeout 600
