#!/bin/sh
# How good the models of a thorough run are on held-out data: for every data set in
# ../shared/data and a generated 20-input set, runs orvanel-identify with
# --validation-percent 50 --thorough (plus any extra options given) for 5 seeds and prints a
# Markdown table of the median and worst validation fit, the median wall time and the model
# each seed kept ("search N" or the start it came from), beside the
# validation fit of peers chosen the same way on the estimation rows: Octave's arx and n4sid
# (scripts/peer-octave.m) and an output-error refit with scipy (scripts/peer-oe.py), each bounded
# by PEER_SECONDS (default 300) and shown as "failed" or "timed out" when it does not end well.
# The peers need octave-cli with the control package and python3-scipy (apt-get install octave
# octave-control python3-scipy); they are left out of scripts/install-deps.sh because this
# script is a benchmark for developers, not part of the build or CI. PEERS=0 leaves them out.
#
#   scripts/model-quality.sh [BUILD_DIR] [extra orvanel-identify options...]
#
# DATA (default ../shared/data from the project root) and SEEDS (default "101 233 377 541 719")
# may be set in the environment; DATASETS limits the sets (names without .txt, "many" for
# the generated one).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
identify=$build/src/cli/orvanel-identify
data=${DATA:-$root/../shared/data}
seeds=${SEEDS:-101 233 377 541 719}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$root/scripts/make-many-inputs.py" 20 5000 20 "$work/many.txt" 2>/dev/null
sets=${DATASETS:-wall exchanger steamgen_y1 heating ph many}

median() { sort -g | awk '{v[NR]=$1} END {print (NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2)}'; }

peers=${PEERS:-1}
peer_seconds=${PEER_SECONDS:-300}
# The validation fit a peer prints, or why there is none.
peer() {
    status=0
    # Octave stuck in a loop may ignore the polite signal: it is killed 5 s later.
    timeout -k 5 "$peer_seconds" "$@" >"$work/peer" 2>/dev/null || status=$?
    fit=$(sed -n 's/^fit //p' "$work/peer")
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then echo "timed out"
    elif [ -z "$fit" ]; then echo "failed"
    else echo "$fit"; fi
}

echo "| data | median validation fit % | worst % | median time s | kept | Octave arx | Octave n4sid | scipy OE |"
echo "|---|---|---|---|---|---|---|---|"
for set in $sets; do
    file=$data/$set.txt
    [ "$set" = many ] && file=$work/many.txt
    : >"$work/fits"
    : >"$work/times"
    : >"$work/kept"
    for seed in $seeds; do
        start=$(date +%s.%N)
        "$identify" "$file" --quiet --seed-ms "$seed" --validation-percent 50 --thorough \
            --report "$work/report.txt" "$@" >"$work/out"
        end=$(date +%s.%N)
        sed -n 's/^Fit (validation) = \(.*\) %$/\1/p' "$work/out" >>"$work/fits"
        echo "$end - $start" | bc >>"$work/times"
        sed -n 's/^Searches: .*the model of \(the \)\{0,1\}\(.*\) kept\r\{0,1\}$/\2/p' \
            "$work/report.txt" >>"$work/kept"
    done
    arx=- n4sid=- oe=-
    if [ "$peers" != 0 ]; then
        arx=$(peer octave-cli -q "$root/scripts/peer-octave.m" "$file" arx 50)
        n4sid=$(peer octave-cli -q "$root/scripts/peer-octave.m" "$file" n4sid 50)
        oe=$(peer /usr/bin/python3 "$root/scripts/peer-oe.py" "$file" 50)
    fi
    printf '| %s | %s | %s | %.1f | %s | %s | %s | %s |\n' "$set" "$(median <"$work/fits")" \
        "$(sort -g "$work/fits" | head -1)" "$(median <"$work/times")" \
        "$(paste -sd ';' "$work/kept" | sed 's/;/; /g')" "$arx" "$n4sid" "$oe"
done
