#!/usr/bin/env bash
# Fails when an include in src/ points up the layers. From the bottom: model, engine, document;
# above the document the Qt window and the command side by side; the application on top.
set -euo pipefail
cd "$(dirname "$0")/../src"

allowed() {
    case "$1" in
    model) echo "model" ;;
    engine) echo "model engine" ;;
    document) echo "model engine document" ;;
    window) echo "model engine document window" ;;
    cli) echo "model engine document cli" ;;
    app) echo "model engine document window app" ;;
    esac
}

status=0
while IFS=: read -r file line text; do
    layer=${file%%/*}
    target=$(sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' <<<"$text")
    [ -n "$target" ] || continue
    if ! grep -qw "$target" <<<"$(allowed "$layer")"; then
        echo "src/$file:$line: $layer includes $target, a layer above it: $text" >&2
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
exit $status
