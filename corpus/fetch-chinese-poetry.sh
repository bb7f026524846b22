#!/usr/bin/env bash
# Fetches the chinese-poetry npm package once into .cache/chinese-poetry/, checks
# the tarball's SHA-256 and unpacks it. Prints the unpacked package folder (the
# one holding dist/) on stdout; later runs only print it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib.sh

version=2.0.1
sha256=25b549e46919c3a0569db6b68ddc96956b04a484ea4518ad2bbd4f137e307e86
cache=.cache/chinese-poetry
tarball=$cache/chinese-poetry-$version.tgz
unpacked=$cache/$version

if [ -f "$unpacked/.complete" ]; then
    echo "$PWD/$unpacked/package"
    exit 0
fi

mkdir -p "$cache"
if [ ! -f "$tarball" ] || ! echo "$sha256  $tarball" | sha256sum -c --status; then
    command -v npm >/dev/null || install_packages nodejs npm >&2
    rm -f "$tarball"
    echo "Downloading chinese-poetry $version (about 85 MB)..." >&2
    (cd "$cache" && npm pack "chinese-poetry@$version" --silent >/dev/null)
    if ! echo "$sha256  $tarball" | sha256sum -c --status; then
        echo "fetch-chinese-poetry: $tarball does not have the expected SHA-256" >&2
        rm -f "$tarball"
        exit 1
    fi
fi

tmp=$(mktemp -d "$cache/unpack.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
tar -xzf "$tarball" -C "$tmp"
rm -rf "$unpacked"
mv "$tmp" "$unpacked"
trap - EXIT
touch "$unpacked/.complete"
echo "$PWD/$unpacked/package"
