#!/usr/bin/env bash
# Builds everything and runs all tests: the normal build, then a second build of the tests with
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh

jobs=${JOBS:-$(nproc)}
# Compiler cache: a second run, or a run from another clone on this machine, compiles only what changed.
# Paths are kept relative to the checkout and its folder stays out of the hash (it only names the
# folder in the debug information), so that any clone hits the same entries.
export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=1
cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache[@]}" >/dev/null
cmake --build build -j "$jobs"
(cd build && ctest --output-on-failure -j "$jobs")

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON -DVELMORA_BENCH=OFF \
    -DVELMORA_DESKTOP=OFF "${cache[@]}" >/dev/null
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ctest --output-on-failure -j "$jobs")
