#!/usr/bin/env bash
# Checks orvanel-identify against files that are not what they seem and against runs that
# compete for one report: FIFOs and devices are refused at once, a huge generation count in a
# terminal does not crash the progress bar, concurrent runs leave one complete report and a
# link planted as the report is replaced, not followed.
# Usage: scripts/check-file-faults.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."

identify="${1:-build}/src/cli/orvanel-identify"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/two-inputs.txt "$work/plant.txt"
quick=(--population 20 --generations 5 --seed-ms 1 --quiet)
failures=0

expect() { # description expected-status actual-status
    if [ "$2" != "$3" ]; then
        echo "FAILED: $1 (status $3, expected $2)"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

mkfifo "$work/fifo"
timeout 10 "$identify" "$work/fifo" 2>/dev/null
expect "a FIFO as the data file is refused" 2 $?
timeout 10 "$identify" "${quick[@]}" --report "$work/fifo" "$work/plant.txt" 2>/dev/null
expect "a FIFO as the report is refused" 2 $?
timeout 10 "$identify" /dev/zero 2>/dev/null
expect "/dev/zero as the data file is refused" 2 $?

# Killed by the time bound (124) while the bar runs, not by a segmentation fault (139).
if command -v script >/dev/null; then
    cp "$work/plant.txt" "$work/huge.txt"
    script -qec "timeout 5 $identify --generations 100000000 --seed-ms 1 $work/huge.txt" \
        /dev/null >/dev/null 2>&1
    expect "100,000,000 generations in a terminal" 124 $?
fi

for run in 1 2 3; do
    "$identify" "${quick[@]}" "$work/plant.txt" >/dev/null 2>&1 &
done
statuses=0
for run in 1 2 3; do
    wait -n || statuses=$((statuses + 1))
done
expect "three concurrent runs succeed" 0 "$statuses"
optimum_blocks=$(grep -c "OPTIMUM SOLUTION" "$work/plant_Report.txt")
expect "their report holds one solution" 1 "$optimum_blocks"

rm -f "$work/plant_Report.txt"
echo precious >"$work/victim.txt"
ln -s "$work/victim.txt" "$work/plant_Report.txt"
"$identify" "${quick[@]}" "$work/plant.txt" >/dev/null 2>&1
expect "a run with a planted report link" 0 $?
[ "$(cat "$work/victim.txt")" = precious ] && [ ! -L "$work/plant_Report.txt" ]
expect "the planted link is replaced, its target untouched" 0 $?

# The run killed above leaves its unfinished report aside; the others leave nothing.
leftovers=$(find "$work" -name '*.tmp*' ! -name 'huge_Report.txt.tmp*' | wc -l)
expect "no temporary files left by completed runs" 0 "$leftovers"

[ "$failures" -eq 0 ]
