#!/usr/bin/env bash
# Prepares the reader's data from the chinese-poetry package: installs what the
# conversion needs, fetches the package (cached in .cache/), converts it and the
# variant table into a source folder under .cache/ and runs `vyn-tool build`.
#
#   scripts/prepare-demo.sh                 the demo corpus into build/bin
#   scripts/prepare-demo.sh --corpus large --out DIR
#                                           the whole package into DIR
#
# Requires: the project built into build/ (build/bin/vyn-tool).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

corpus=demo
out=build/bin
while [ $# -gt 0 ]; do
    case $1 in
        --corpus) corpus=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: $0 [--corpus demo|large] [--out DIR]" >&2; exit 2 ;;
    esac
done
case $corpus in demo|large) ;; *) echo "$0: unknown corpus $corpus" >&2; exit 2 ;; esac

tool=build/bin/vyn-tool
if [ ! -x "$tool" ]; then
    echo "$0: $tool is missing; build the project first (bash scripts/test.sh)" >&2
    exit 1
fi
# grep reads the whole help: quitting at the match could end the tool with SIGPIPE,
# which pipefail counts as a failure.
if ! "$tool" --help 2>&1 | grep '^ *build ' >/dev/null; then
    echo "$0: $tool has no build command yet; update and rebuild the project" >&2
    exit 1
fi

install_packages python3 unicode-data opencc libopencc-data
python=/usr/bin/python3
package=$(bash corpus/fetch-chinese-poetry.sh)

src=.cache/$corpus-src
rm -rf "$src"
"$python" corpus/convert_poetry.py --package "$package" --out "$src" --corpus "$corpus"
"$python" corpus/variants.py --out "$src/variants.txt" --counts-from "$src"
"$tool" build --source "$src" --out "$out"
