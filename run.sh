#!/usr/bin/env bash
# Builds Velmora (installing what is missing) and starts it.
# Usage: ./run.sh [path/to/wiki.velmora]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    headless=1
    export VELMORA_EXTRA_PACKAGES="xvfb xauth"
fi
"$root/tools/bootstrap.sh"

binary=${VELMORA_BUILD_DIR:-$root/build}/velmora
if [ "$headless" -eq 1 ]; then
    echo "No display found: starting Velmora inside a virtual X server (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$binary" "$@"
fi
exec "$binary" "$@"
