#!/usr/bin/env bash
# Fuzzes one target (or all) with libFuzzer for the given number of seconds each.
#   scripts/fuzz.sh [SECONDS] [TARGET]
# New interesting inputs are added to fuzz/corpus/<target>/; crashes land in fuzz/crashes/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
only=${2:-}
bash scripts/deps.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF -DVELMORA_DESKTOP=OFF \
    -DVELMORA_SANITIZE=ON >/dev/null
cmake --build build-fuzz --target velmora_core
mkdir -p fuzz/crashes
for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    [ -n "$only" ] && [ "$only" != "$name" ] && continue
    bin=build-fuzz/fuzz_$name
    clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. "$src" \
        build-fuzz/libvelmora_core.a -o "$bin"
    mkdir -p "fuzz/corpus/$name"
    "$bin" -max_total_time="$seconds" -artifact_prefix=fuzz/crashes/ "fuzz/corpus/$name"
done
