#!/usr/bin/env bash
# Installs what is missing, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"

example=examples/two-inputs.txt
if [ -f "$example" ]; then
    exec build/src/app/orvanel "$example"
fi
exec build/src/app/orvanel
