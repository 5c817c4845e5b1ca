#!/usr/bin/env bash
# Builds and runs every benchmark, printing the figures.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_DESKTOP=OFF >/dev/null
cmake --build build-bench -j "${JOBS:-$(nproc)}"
for b in build-bench/bench/*_bench; do
    [ -x "$b" ] || continue
    echo "== $(basename "$b")"
    "$b" "$@"
done
