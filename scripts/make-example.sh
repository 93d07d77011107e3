#!/usr/bin/env bash
# Regenerates examples/two-inputs.txt: 1000 samples of a known two-input model with noise
# (see src/cli/ExampleData.h). The generator is deterministic, so the file never changes.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build --target orvanel-make-example
mkdir -p examples
build/src/cli/orvanel-make-example examples/two-inputs.txt
