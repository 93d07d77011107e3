#!/usr/bin/env bash
# Starts the program under a virtual X server with the example data set open and writes a PNG
# of its main window (default docs/screenshot.png). Build the program first (./run.sh or cmake).
set -euo pipefail
cd "$(dirname "$0")/.."

output=${1:-docs/screenshot.png}
mkdir -p "$(dirname "$output")"

xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    set -euo pipefail
    # Without a window manager nothing maximizes the window, so it is given the screen.
    build/src/app/orvanel -geometry 1280x800+0+0 examples/two-inputs.txt &
    program=$!
    # The splash stays for two seconds; then the main window opens the document.
    sleep 5
    window=$(xwininfo -root -tree | awk "/\"Orvanel\"/ { print \$1; exit }")
    /usr/bin/import -window "${window:-root}" "$1"
    kill "$program"
' screenshot "$output"
echo "wrote $output"
