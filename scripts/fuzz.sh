#!/usr/bin/env bash
# Fuzzes one target (or all) with libFuzzer for the given number of seconds each, one process at a time.
#   scripts/fuzz.sh [SECONDS] [TARGET]
# The libraries are built with coverage instrumentation and the sanitizers (build-fuzz/). A run starts
# from the hand-made inputs in fuzz/seeds/<target>/ (never changed here) and the grown corpus
# fuzz/corpus/<target>/; what it finds is merged into the corpus, keeping only inputs that add
# coverage. Crashes land in fuzz/crashes/. Each run ends with libFuzzer's statistics (exec/s, cov:, ft:).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
only=${2:-}
bash scripts/deps.sh
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ "${launcher[@]}" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
    -DVELMORA_DESKTOP=OFF >/dev/null
cmake --build build-fuzz -j "${JOBS:-2}"
mkdir -p fuzz/crashes
status=0
for src in fuzz/*_fuzz.cpp; do
    name=$(basename "$src" _fuzz.cpp)
    [ -n "$only" ] && [ "$only" != "$name" ] && continue
    bin=build-fuzz/fuzz/fuzz_$name
    corpus=fuzz/corpus/$name
    found=$(mktemp -d)
    merged=$(mktemp -d)
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    mkdir -p "$corpus"
    echo "== $name" >&2
    "$bin" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 -artifact_prefix=fuzz/crashes/ \
        "$found" "$corpus" "${seeds[@]}" || status=1
    # The smallest set of inputs that keeps the edges of the old corpus and the new finds (hit counts
    # are left out, or the corpus grows into the thousands).
    "$bin" -merge=1 -use_counters=0 "$merged" "$corpus" "$found" 2>/dev/null
    rm -rf "$corpus" "$found"
    mv "$merged" "$corpus"
    chmod 755 "$corpus"
done
[ $status -eq 0 ] || echo "a target failed: see fuzz/crashes/" >&2
exit $status
