#!/usr/bin/env bash
# Builds the Debian package from a fresh build folder (Release, no tests) and leaves it in the checkout:
# velmora_<version>_<arch>.deb. Install it with: sudo apt install ./velmora_*.deb
#   scripts/package.sh [BUILD_DIR]      (default build-package; it is emptied first)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
build=${1:-build-package}
command -v help2man >/dev/null || { echo "package.sh: help2man is needed for the man pages" >&2; exit 1; }

rm -rf "$build"
# Debian's hardening flags (stack protector, fortify, read-only relocations, bind now). CMake does not
# read CPPFLAGS, so the preprocessor flags go in with the compiler flags.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
flags() { dpkg-buildflags --get "$1"; }
CFLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" CXXFLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" LDFLAGS=$(flags LDFLAGS) \
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$build" -j "${JOBS:-2}"
(cd "$build" && cpack -G DEB >/dev/null)
package=$(find "$build" -maxdepth 1 -name 'velmora_*.deb' -print -quit)
cp "$package" .
echo "Built $(basename "$package")"
