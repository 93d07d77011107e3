#!/usr/bin/env bash
# Installs what is missing, builds and starts the program.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)"

# Until the desktop program has its window, identify the example data set without it.
exec build/src/cli/orvanel-identify examples/two-inputs.txt --report build/two-inputs_Report.txt
