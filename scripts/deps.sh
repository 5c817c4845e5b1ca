#!/usr/bin/env bash
# Installs the Debian packages the build, the tests, the demo and the Debian package need.
# Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build ccache clang libclang-rt-14-dev clang-format
    libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
    libcli11-dev nlohmann-json3-dev libmodbus-dev
    srecord lhasa jlha-utils
    qt6-base-dev xvfb xauth
    help2man desktop-file-utils appstream shared-mime-info libxml2-utils dpkg-dev fakeroot lintian
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
