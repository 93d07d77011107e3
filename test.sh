#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: the ctest suites, the command's file
# fault checks and, where Octave is installed, the model export in Octave (about 10 minutes on
# two cores). With --full, as CI runs it, also the core again under AddressSanitizer and
# UndefinedBehaviorSanitizer and the fuzz targets for a bounded time each.
set -euo pipefail
cd "$(dirname "$0")"

full=false
case "${1:-}" in
"") ;;
--full) full=true ;;
*)
    echo "Usage: ./test.sh [--full]" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh
scripts/check-layers.sh

jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"
timeout 180 scripts/check-file-faults.sh build
# The MATLAB/Octave export is checked where Octave is installed (octave, octave-control).
if command -v octave-cli >/dev/null; then
    timeout 300 scripts/check-octave-export.sh build
fi

if ! "$full"; then
    exit 0
fi

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVANEL_SANITIZE=ON -DORVANEL_GUI=OFF -DORVANEL_BENCH=OFF
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

scripts/run-fuzzers.sh
