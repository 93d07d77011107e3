#!/usr/bin/env bash
# The layer check passes on the tree as it is and fails, naming the file, on each planted
# include that points up the layers or across to a sibling.
set -euo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$root/src" "$work/src"
check="$root/scripts/check-layers.sh"

"$check" "$work/src" || { echo "the tree as it is fails the check" >&2; exit 1; }

status=0
while read -r file include; do
    cp "$work/src/$file" "$work/saved"
    sed -i "1i #include \"$include\"" "$work/src/$file"
    if "$check" "$work/src" 2>"$work/err"; then
        echo "not caught: $file including $include" >&2
        status=1
    elif ! grep -q "^src/$file:1: " "$work/err"; then
        echo "caught without naming src/$file:1:" >&2
        cat "$work/err" >&2
        status=1
    fi
    cp "$work/saved" "$work/src/$file"
done <<'PLANTED'
engine/linear/FitFigure.cpp document/run/IdentificationRun.h
engine/linear/LinearModel.h engine/search/Genetico.h
engine/analysis/ModelWarnings.cpp engine/estimators/Refinement.h
engine/search/Genetico.cpp engine/analysis/ModelAnalysis.h
document/table/DataTable.cpp document/run/RunRows.h
document/run/RunReport.cpp document/formats/ModelFile.h
document/formats/DataImport.cpp document/project/Document.h
model/Rnd.cpp engine/linear/LinearModel.h
PLANTED
exit $status
