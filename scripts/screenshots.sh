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
shots=(xvfb-run -a -s "-screen 0 1600x1000x24" "$build/app/ui/velmora-shots" "$@")
# The pictures name files in a user's home folder (~/firmware, ~/protocols), never this checkout: a
# private mount namespace puts a scratch /home in place for them. Where namespaces are not allowed the
# files stay in a temporary folder.
if unshare --map-root-user --mount true 2>/dev/null; then
    exec unshare --map-root-user --mount sh -c \
        'mount -t tmpfs none /home && mkdir -p /home/user && VELMORA_SHOTS_HOME=/home/user exec "$@"' \
        sh "${shots[@]}"
fi
exec "${shots[@]}"
