#!/usr/bin/env bash
# Renders the program's pictures: resources/icons-src/*.svg -> resources/images/*.png
# (each at 1x and @2x, plus the hover/pressed/disabled button states), and the
# program's desktop icon into dist/icons/hicolor/ (16 to 512 px and scalable).
#
# The PNGs are committed; the build does not run this. Re-run it after
# editing an SVG source and commit the changed PNGs with it.
#
# Needs python3 (standard library only) and rsvg-convert, which comes in the
# Debian/Ubuntu package librsvg2-bin:  apt-get install librsvg2-bin
#
# Usage: tools/render_icons.sh   (from any directory)
set -euo pipefail

if ! command -v rsvg-convert >/dev/null 2>&1; then
    echo "render_icons.sh: rsvg-convert not found; install it with 'apt-get install librsvg2-bin'" >&2
    exit 1
fi
if ! command -v python3 >/dev/null 2>&1; then
    echo "render_icons.sh: python3 not found" >&2
    exit 1
fi

exec python3 "$(dirname "${BASH_SOURCE[0]}")/render_icons.py" "$@"
