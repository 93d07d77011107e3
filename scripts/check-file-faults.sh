#!/usr/bin/env bash
# Checks orvanel-identify against files that are not what they seem and against runs that
# compete for one report: FIFOs, devices and links to them are refused at once, a huge generation count in a
# terminal does not crash the progress bar, concurrent runs leave one complete report and a
# link planted as the report is replaced, not followed; signals stop a run cleanly.
# Usage: scripts/check-file-faults.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."

identify="${1:-build}/src/cli/orvanel-identify"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp examples/two-inputs.txt "$work/plant.txt"
quick=(--population 20 --generations 5 --seed-ms 1 --quiet)
# shellcheck source=scripts/expect.sh
. scripts/expect.sh

mkfifo "$work/fifo"
timeout 10 "$identify" "$work/fifo" 2>/dev/null
expect "a FIFO as the data file is refused" 2 $?
timeout 10 "$identify" "${quick[@]}" --report "$work/fifo" "$work/plant.txt" 2>/dev/null
expect "a FIFO as the report is refused" 2 $?
timeout 10 "$identify" /dev/zero 2>/dev/null
expect "/dev/zero as the data file is refused" 2 $?
# The system's link to standard output, here a file elsewhere, is refused, not replaced by one.
if [ -L /dev/stdout ]; then
    timeout 10 "$identify" "${quick[@]}" --report /dev/stdout "$work/plant.txt" \
        >"$work/stdout.txt" 2>/dev/null
    expect "/dev/stdout as the report is refused" 2 $?
    [ -L /dev/stdout ]
    expect "/dev/stdout is still a link" 0 $?
fi

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

# An export is a file of the run's own: a link planted in its place is replaced, as the
# report's is, not followed to the file it names.
echo precious >"$work/victim.txt"
ln -sf "$work/victim.txt" "$work/planted.json"
"$identify" "${quick[@]}" --export "$work/planted.json" "$work/plant.txt" >/dev/null 2>&1
[ "$(cat "$work/victim.txt")" = precious ] && [ ! -L "$work/planted.json" ] &&
    grep -q '"format": "orvanel-model"' "$work/planted.json"
expect "a link planted as an export is replaced, its target untouched" 0 $?

# A signal stops the run after its generation: the report is completed and says where the run
# stopped, the result printed; no export or computed output of a stopped run is written.
for signal in INT TERM HUP; do
    rm -f "$work/plant_Report.txt" "$work/stopped.json" "$work/stopped-output.txt"
    "$identify" --generations 100000000 --seed-ms 1 --quiet "$work/plant.txt" \
        --export "$work/stopped.json" --simulated-output "$work/stopped-output.txt" \
        >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    sleep 1
    kill -s "$signal" "$pid"
    wait "$pid"
    status=$?
    [ "$signal" = INT ] && wanted=130 || wanted=143
    expect "SIG$signal stops the run with its status" "$wanted" "$status"
    grep -q "^Stopped at generation [0-9]* of 100000000\.$" "$work/err.txt" &&
        grep -q "^Objective Function = " "$work/out.txt" &&
        [ "$(tail -c 200 "$work/plant_Report.txt" | grep -c "^Objective Function = ")" = 1 ] &&
        tail -c 100 "$work/plant_Report.txt" | grep -q "^RUN STOPPED"
    expect "SIG$signal: result printed, report completed and saying so" 0 $?
    [ ! -e "$work/stopped.json" ] && [ ! -e "$work/stopped-output.txt" ]
    expect "SIG$signal: no export or computed output of the stopped run" 0 $?
done

# One stop may arrive as several signals: two queued while the run was held are one request,
# and the report is completed.
rm -f "$work/plant_Report.txt"
"$identify" --generations 100000000 --seed-ms 1 --quiet "$work/plant.txt" >/dev/null 2>&1 &
pid=$!
sleep 1
kill -STOP "$pid"
kill -INT "$pid"
kill -TERM "$pid"
kill -CONT "$pid"
wait "$pid"
status=$?
[ "$status" = 130 ] || [ "$status" = 143 ]
expect "two signals at once stop the run with a status of theirs (status $status)" 0 $?
tail -c 100 "$work/plant_Report.txt" | grep -q "^RUN STOPPED"
expect "two signals at once: the report is completed" 0 $?

# A time bound sends its signal to the command and then to the command's group, which the
# command is in: each run completes its report all the same.
completed=0
for _ in 1 2 3 4 5 6; do
    rm -f "$work/plant_Report.txt"
    timeout -s INT 1 "$identify" --generations 100000000 --seed-ms 1 --quiet "$work/plant.txt" \
        >"$work/out.txt" 2>/dev/null
    [ $? = 124 ] && grep -q "^Objective Function = " "$work/out.txt" &&
        tail -c 100 "$work/plant_Report.txt" | grep -q "^RUN STOPPED" &&
        completed=$((completed + 1))
done
expect "timeout -s INT: 6 of 6 runs complete their report" 6 "$completed"

# A second request, a moment after the run acknowledged the first, ends it at once and leaves
# the previous report as it was. The acknowledgement holds the run: standard error is a pipe
# left full.
echo previous >"$work/plant_Report.txt"
mkfifo "$work/held"
exec 3<>"$work/held"
head -c 65536 /dev/zero >&3
"$identify" --generations 100000000 --seed-ms 1 --quiet "$work/plant.txt" >/dev/null \
    2>"$work/held" &
pid=$!
sleep 1
kill -INT "$pid"
sleep 1.5
kill -TERM "$pid"
wait "$pid"
expect "a second request ends the run at once" 143 $?
exec 3>&-
[ "$(cat "$work/plant_Report.txt")" = previous ]
expect "the previous report is untouched" 0 $?
# Under mpirun a stop reaches every process, however it arrives, and the first merges what
# they finished into a completed report: SIGTERM to mpirun, which passes it on, or Ctrl+C to
# one process alone.
if command -v mpirun >/dev/null && ldd "$identify" | grep -q libmpi; then
    for target in mpirun rank; do
        rm -f "$work/plant_Report.txt"
        mpirun --allow-run-as-root --oversubscribe -np 2 "$identify" --generations 100000000 \
            --restarts 4 --seed-ms 1 --quiet "$work/plant.txt" >"$work/out.txt" 2>/dev/null &
        pid=$!
        sleep 2
        if [ "$target" = mpirun ]; then
            kill -TERM "$pid"
        else
            kill -INT "$(pgrep -P "$pid" | tail -1)"
        fi
        wait "$pid"
        grep -q "^Objective Function = " "$work/out.txt" &&
            tail -c 100 "$work/plant_Report.txt" | grep -q "^Stopped at generation"
        expect "mpirun, a stop to $target: the first process completes the report" 0 $?
    done
fi

# A name as long as a name may be: the temporary file beside it must fit too.
long="$work/$(printf 'n%.0s' $(seq 1 250)).json"
"$identify" "${quick[@]}" --export "$long" "$work/plant.txt" >/dev/null 2>&1 && [ -s "$long" ]
expect "an export named with 255 bytes" 0 $?
# One byte more is refused before the search, naming the file; nothing is left of it.
"$identify" "${quick[@]}" --report "$long"n "$work/plant.txt" >/dev/null 2>"$work/err.txt"
expect "a report named with 256 bytes is refused before the run" 2 $?
[ "$(cat "$work/err.txt")" = "orvanel-identify: Cannot create the report file ${long}n: File name too long" ]
expect "the refusal names the file" 0 $?

# The run killed above leaves its unfinished report aside; the others leave nothing.
leftovers=$(find "$work" -name '*.tmp*' ! -name 'huge_Report.txt.tmp*' | wc -l)
expect "no temporary files left by completed runs" 0 "$leftovers"

[ "$failures" -eq 0 ]
