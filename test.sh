#!/usr/bin/env bash
# Builds Velmora and its tests (installing what is missing) and runs every test
# headless through CTest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$root/tools/bootstrap.sh"
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc 2>/dev/null || echo 2)
status=0
(cd "${VELMORA_BUILD_DIR:-$root/build}" && ctest --output-on-failure -j"$jobs" "$@") || status=$?
exit "$status"
