#!/usr/bin/env bash
# Renders the program's windows into docs/screenshots under a virtual X server (Xvfb), with the real
# X11 platform plugin, so the pictures show fonts, style and layout as a desktop user sees them.
#   scripts/screenshots.sh [group...]     groups: main, settings, editor (all when none is named)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target velmora-shots
export QT_QPA_PLATFORM=xcb
# A fixed locale and a light theme make the pictures comparable between machines.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
exec xvfb-run -a -s "-screen 0 1600x1000x24" "$build/app/ui/velmora-shots" "$@"
