#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the simulated board need, when missing.
# Usage: scripts/install-deps.sh [extra package ...]
set -euo pipefail

# binutils: the firmware tests write their Intel HEX files with objcopy, as the README's recipe
# does. socat: the README's way to talk to the simulated board's control socket.
packages=(cmake ninja-build g++ binutils pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
          libqt6svg6 fonts-dejavu-core python3 python3-fonttools socat "$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
