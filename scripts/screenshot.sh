#!/usr/bin/env bash
# Starts the program under a virtual X server with the example data set open and writes PNGs of
# its main window: the document (default docs/screenshot.png), then, after a click on the Execute
# tool button has run the algorithm, the document with its plot window (default
# docs/screenshot-run.png). Build the program first (./run.sh or cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/screenshot.png}
run_output=${2:-docs/screenshot-run.png}
mkdir -p "$(dirname "$output")" "$(dirname "$run_output")"

# A run writes its report next to the document: the program works on a copy of the example.
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT
cp examples/two-inputs.txt "$data/"

xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
    set -euo pipefail
    build/src/app/orvanel "$3/two-inputs.txt" &
    program=$!
    # The splash stays for two seconds; then the main window opens the document.
    sleep 5
    window=$(xwininfo -root -tree | awk "/\"Orvanel\"/ { print \$1; exit }")
    /usr/bin/import -window "${window:-root}" "$1"
    # The Execute button is the tool bar'"'"'s ninth item, at the same place on every start.
    python3 scripts/click.py 187 34
    sleep 4
    /usr/bin/import -window "${window:-root}" "$2"
    kill "$program"
 ' screenshot "$output" "$run_output" "$data"
echo "wrote $output and $run_output"
