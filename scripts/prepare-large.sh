#!/usr/bin/env bash
# Prepares the large corpus (every text of the chinese-poetry package) into
# .cache/large-data/, for benchmarks and scale tests.
set -euo pipefail
cd "$(dirname "$0")/.."
exec bash scripts/prepare-demo.sh --corpus large --out .cache/large-data "$@"
