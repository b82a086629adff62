#!/usr/bin/env bash
# Builds the Debian package velmora_<version>_<arch>.deb into build-deb/ (or
# $VELMORA_DEB_BUILD_DIR): the program and its desktop files under /usr, with the
# start-up update check off by default, since Debian contacts no server without
# asking. Its Depends line is what dpkg-shlibdeps finds for the program.
#
# Install it with:  apt-get install ./build-deb/velmora_*.deb
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${VELMORA_DEB_BUILD_DIR:-$root/build-deb}
jobs=$(nproc 2>/dev/null || echo 2)

for tool in dpkg-shlibdeps file; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "make_deb.sh: $tool not found; run tools/bootstrap.sh first" >&2
        exit 1
    fi
done

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX=/usr -DVELMORA_STARTUP_UPDATE_CHECK=OFF \
    -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build_dir" -j"$jobs"
rm -f "$build_dir"/velmora_*.deb
(cd "$build_dir" && cpack -G DEB >/dev/null)
deb=$(ls "$build_dir"/velmora_*.deb)
echo "$deb"
dpkg-deb --field "$deb" Depends
