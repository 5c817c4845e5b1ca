#!/usr/bin/env bash
# Builds the program and runs the bundled demo: the desktop program with a simulated device when a
# display is available, otherwise the same device work done headless with velmora-cli.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "${JOBS:-$(nproc)}"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/app/ui/velmora ]; then
    exec bash scripts/desktop-demo.sh build
fi
echo "No display: running the headless demo."
exec bash scripts/demo.sh build
