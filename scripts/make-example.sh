#!/usr/bin/env bash
# Regenerates examples/two-inputs.txt: 1000 samples of a known two-input model with noise
# (see src/cli/ExampleData.h), and examples/plant-historian.csv, the same samples as a plant
# historian exports them. The generator is deterministic, so the files never change.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build build --target orvanel-make-example
mkdir -p examples
build/src/cli/orvanel-make-example examples/two-inputs.txt examples/plant-historian.csv
