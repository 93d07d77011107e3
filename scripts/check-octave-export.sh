#!/usr/bin/env bash
# Runs the MATLAB/Octave model exports in Octave with its control package: each script must
# build its model and reproduce the program's own simulation of the data within 1e-9
# relative, and print nothing without a data file.
# Usage: scripts/check-octave-export.sh [BUILD_DIR]   (after building model_export_files)
set -euo pipefail
cd "$(dirname "$0")/.."

helper="${1:-build}/tests/document/model_export_files"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$helper" "$work"

# Octave 7 may report a harmless exception on its way out on standard error: the status and
# standard output decide.
run() { (cd "$work" && octave-cli --no-gui --norc "$@" 2>"$work/stderr") || {
    cat "$work/stderr" >&2
    exit 1
}; }

for stem in model offsets; do
    reference="$work/reference.txt"
    [ "$stem" = offsets ] && reference="$work/offsets-reference.txt"
    run "$stem.m" >"$work/$stem-alone.txt"
    if [ -s "$work/$stem-alone.txt" ]; then
        echo "FAILED: $stem.m printed something without a data file"
        exit 1
    fi
    run "$stem.m" "$work/data.txt" >"$work/$stem-octave.txt"
    /usr/bin/python3 - "$work/$stem-octave.txt" "$reference" <<'PY'
import sys
values, reference = ([float(v) for v in open(p).read().split()] for p in sys.argv[1:3])
if len(values) != len(reference):
    sys.exit(f"FAILED: {len(values)} values, expected {len(reference)}")
scale = max(abs(r) for r in reference)
error = max(abs(v - r) for v, r in zip(values, reference)) / scale
if not error <= 1e-9:
    sys.exit(f"FAILED: relative error {error:.3g} over 1e-9")
PY
    echo "ok: $stem.m reproduces the program's output in Octave"
done
