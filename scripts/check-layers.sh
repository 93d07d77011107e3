#!/usr/bin/env bash
# Fails when an include in src/ points up the layers. From the bottom: model, engine, document;
# above the document the Qt window and the command side by side; the application on top.
# Inside the engine the linear model lies below the genetic search, the estimators and the
# analysis, which never include each other; inside the document the table and the files every
# layer reads, then the run, the file formats and the project.
# check-layers.sh [SRC_DIR] checks another tree laid out as src/ (the default).
set -euo pipefail
cd "${1:-$(dirname "$0")/../src}"

allowed() {
    case "$1" in
    model) echo "model" ;;
    engine) echo "model engine" ;;
    document) echo "model engine document" ;;
    window) echo "model engine document window" ;;
    cli) echo "model engine document cli" ;;
    app) echo "model engine document window app" ;;
    engine/linear) echo "linear" ;;
    engine/search) echo "linear search" ;;
    engine/estimators) echo "linear estimators" ;;
    engine/analysis) echo "linear analysis" ;;
    document/table) echo "table" ;;
    document/run) echo "table run" ;;
    document/formats) echo "table run formats" ;;
    document/project) echo "table run formats project" ;;
    esac
}

# The sub-folder of a layer that `path` (layer/sub/File.h) lies in, or nothing.
subfolder() {
    local rest=${1#*/}
    if [[ $rest == */* ]]; then echo "${rest%%/*}"; fi
}

# Whether `word` is one of the space-separated `list`.
among() {
    [[ " $2 " == *" $1 "* ]]
}

status=0
include='^#include "(([a-z]+)/([A-Za-z/]+))\.h"'
while IFS=: read -r file line text; do
    [[ $text =~ $include ]] || continue
    included=${BASH_REMATCH[1]}
    target=${BASH_REMATCH[2]}
    layer=${file%%/*}
    if ! among "$target" "$(allowed "$layer")"; then
        echo "src/$file:$line: $layer includes $target, a layer above it: $text" >&2
        status=1
        continue
    fi
    [ "$target" = "$layer" ] || continue
    from=$(subfolder "$file")
    to=$(subfolder "$included")
    [ -n "$from" ] || continue
    if [ -z "$to" ] || ! among "$to" "$(allowed "$layer/$from")"; then
        echo "src/$file:$line: $layer/$from includes ${to:-the top of $layer}, beside or above it: $text" >&2
        status=1
    fi
done < <(grep -rn --include='*.h' --include='*.cpp' '^#include "' .  | sed 's#^\./##')

for layer in model engine document cli; do
    if grep -rqn --include='*.h' --include='*.cpp' '^#include <Q' "$layer"; then
        echo "src/$layer includes Qt; the core stays free of it:" >&2
        grep -rn --include='*.h' --include='*.cpp' '^#include <Q' "$layer" >&2
        status=1
    fi
done

for layer in engine document; do
    for folder in "$layer"/*/; do
        sub=$(basename "$folder")
        if [ -z "$(allowed "$layer/$sub")" ]; then
            echo "src/$layer/$sub: a sub-folder the layer order does not know" >&2
            status=1
        fi
    done
done
exit $status
