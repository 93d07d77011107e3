#!/usr/bin/env bash
# Runs the MATLAB/Octave model exports in Octave with its control package: each script must
# build its model and reproduce the program's own simulation of the data within 1e-9
# relative, print nothing without a data file, read the data files the program reads (any line
# end, a byte-order mark) and refuse the others naming the row, the cases of the Python check.
# Usage: scripts/check-octave-export.sh [BUILD_DIR]   (after building model_export_files)
set -euo pipefail
cd "$(dirname "$0")/.."

helper="${1:-build}/tests/document/model_export_files"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$helper" "$work"

# Octave 7 may report a harmless exception on its way out on standard error: the status and
# standard output decide.
octave() { (cd "$work" && octave-cli --no-gui --norc "$@" 2>"$work/stderr"); }
run() { octave "$@" || {
    cat "$work/stderr" >&2
    exit 1
}; }

# Values, one a line, within 1e-9 relative of the reference's.
compare() {
    /usr/bin/python3 - "$@" <<'PY'
import sys
values, reference = ([float(v) for v in open(p).read().split()] for p in sys.argv[1:3])
if len(values) != len(reference):
    sys.exit(f"FAILED: {sys.argv[3]}: {len(values)} values, expected {len(reference)}")
scale = max(abs(r) for r in reference)
error = max(abs(v - r) for v, r in zip(values, reference)) / scale
if not error <= 1e-9:
    sys.exit(f"FAILED: {sys.argv[3]}: relative error {error:.3g} over 1e-9")
PY
}

for stem in model offsets names; do
    reference="$work/reference.txt"
    [ "$stem" = offsets ] && reference="$work/offsets-reference.txt"
    run "$stem.m" >"$work/$stem-alone.txt"
    if [ -s "$work/$stem-alone.txt" ]; then
        echo "FAILED: $stem.m printed something without a data file"
        exit 1
    fi
    run "$stem.m" "$work/data.txt" >"$work/$stem-octave.txt"
    compare "$work/$stem-octave.txt" "$reference" "$stem.m"
    echo "ok: $stem.m reproduces the program's output in Octave"
done

# The data files of the Python check, with a list of file, row refused (0: the whole file) or
# "read", and case.
/usr/bin/python3 - "$work" <<'PY'
import sys
sys.path.insert(0, "tests/document")
from check_model_exports import REFUSED, write

folder = sys.argv[1]
data = open(f"{folder}/data.txt", "rb").read()
with open(f"{folder}/cases.txt", "w") as cases:
    for number, (case, text, row) in enumerate(REFUSED):
        cases.write(f"{write(folder, f'refused-{number}.txt', text)}\t{row}\t{case}\n")
    for name, text in [("CR line ends", data.replace(b"\r\n", b"\r")),
                       ("a byte-order mark", b"\xef\xbb\xbf" + data)]:
        cases.write(f"{write(folder, name.replace(' ', '-') + '.txt', text)}\tread\t{name}\n")
PY
while IFS=$'\t' read -r file row case; do
    if [ "$row" = read ]; then
        run model.m "$file" >"$work/read.txt"
        compare "$work/read.txt" "$work/reference.txt" "model.m with $case"
    elif octave model.m "$file" >/dev/null; then
        echo "FAILED: model.m read data with $case"
        exit 1
    else
        expected="row $row:"
        [ "$row" = 0 ] && expected="no data"
        grep -q "$expected" "$work/stderr" || {
            echo "FAILED: model.m with $case: expected \"$expected\" in:"
            cat "$work/stderr"
            exit 1
        }
    fi
done <"$work/cases.txt"
echo "ok: model.m reads what the program reads and refuses the rest, naming the row"
