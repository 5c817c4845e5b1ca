#!/usr/bin/env bash
# Prints the desktop program's figures (start-up, memory with an 8 MiB image, dump repaint) measured
# under a virtual X server with the real X11 platform plugin.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
cmake -S . -B build-bench-ui -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build build-bench-ui -j2 --target desktop_figures
QT_QPA_PLATFORM=xcb exec xvfb-run -a -s "-screen 0 1600x1000x24" build-bench-ui/app/ui/desktop_figures
