#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time; any crash,
# hang or sanitizer report fails.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DORVANEL_FUZZ=ON
cmake --build build-fuzz -j "$(nproc)"

shopt -s nullglob
for target in build-fuzz/tests/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="build-fuzz/corpus/$name"
    mkdir -p "$corpus"
    dirs=("$corpus")
    [ -d "tests/fuzz/seeds/$name" ] && dirs+=("tests/fuzz/seeds/$name")
    echo "Fuzzing $name for ${seconds}s"
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        "${dirs[@]}" 2>"build-fuzz/$name.log" || {
        tail -n 60 "build-fuzz/$name.log"
        echo "$name failed" >&2
        exit 1
    }
    grep -E '^(Done|stat::number_of_executed_units)' "build-fuzz/$name.log" || true
done
