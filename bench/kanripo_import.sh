#!/usr/bin/env bash
# Times `vyn-tool build --kanripo` beside `vyn-tool build --source` on the same text:
# a few Kanseki Repository texts copied and repeated to about 100 M characters
# (bench/make_kanripo_scale.py), written into a temporary folder and removed after.
#
#   bash bench/kanripo_import.sh TEXTS [--copies C] [--repeats R] [--runs N]
#
# TEXTS is a folder of cloned texts (KR1a0002/ ...). Prints, per run, wall time and
# peak memory (GNU time) of each build, then the medians.
set -euo pipefail
cd "$(dirname "$0")/.."
texts=$1; shift
copies=12; repeats=100; runs=3
while [ $# -gt 0 ]; do
    case $1 in
        --copies) copies=$2; shift 2 ;;
        --repeats) repeats=$2; shift 2 ;;
        --runs) runs=$2; shift 2 ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
done
tool=$PWD/build/bin/vyn-tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make_kanripo_scale.py "$texts" "$work/in" --copies "$copies" --repeats "$repeats"
du -sh "$work/in/kanripo" "$work/in/source"
declare -A walls mems
for run in $(seq "$runs"); do
    for kind in kanripo source; do
        rm -rf "$work/out-$kind"
        /usr/bin/time -f "%e %M" -o "$work/time" "$tool" build "--$kind" "$work/in/$kind" \
            --out "$work/out-$kind" > "$work/summary-$kind" 2> /dev/null
        read -r wall kb < "$work/time"
        echo "run $run $kind: ${wall} s, $((kb / 1024)) MB peak; $(head -1 "$work/summary-$kind")"
        walls[$kind]+="$wall "
        mems[$kind]+="$kb "
    done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for kind in kanripo source; do
    echo "median $kind: $(echo "${walls[$kind]}" | median) s, $(( $(echo "${mems[$kind]}" | median) / 1024 )) MB peak"
done
