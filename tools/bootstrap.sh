#!/usr/bin/env bash
# Installs whatever the build needs from Debian's packages, then configures and
# builds the program and its tests into ./build. Safe to run again: it installs
# only what is missing and rebuilds only what changed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${VELMORA_BUILD_DIR:-$root/build}

packages=(
    cmake make g++ pkg-config
    # Qt 6 with Qt WebEngine (its page process is in libqt6webenginecore6-bin), and
    # Core5Compat for the binary JSON of the wiki file.
    qt6-base-dev qt6-5compat-dev libqt6sql6-sqlite
    qt6-webengine-dev qt6-webchannel-dev libqt6webenginecore6-bin
    libcrypt-dev zlib1g-dev libicu-dev
    fontconfig
    # The install test validates the desktop files and the file type with these; the
    # Debian package is built with dpkg-shlibdeps (dpkg-dev) and file.
    desktop-file-utils appstream libxml2-utils shared-mime-info xdg-utils libfile-mimeinfo-perl
    dpkg-dev file
)
# Extra packages a caller needs on top (run.sh asks for xvfb on a headless machine).
if [ -n "${VELMORA_EXTRA_PACKAGES:-}" ]; then
    read -r -a extra <<<"$VELMORA_EXTRA_PACKAGES"
    packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing missing packages: ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE="${VELMORA_BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build "$build_dir" -j"$jobs"
