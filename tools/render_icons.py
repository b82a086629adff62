#!/usr/bin/env python3
"""Render the program's pictures from resources/icons-src/*.svg into
resources/images/*.png, each at its native size and again at twice that size
("@2x" before the extension) for high-density screens.

Normally run through tools/render_icons.sh. Needs only the Python standard
library and rsvg-convert (Debian/Ubuntu package librsvg2-bin).

Button state pictures (hover, pressed, disabled) have no files of their own:
they are made from the plain picture's SVG by replacing a few exact pieces of
text, listed in STATES below. Every replacement must match exactly once, so a
source edited out of step with this table fails loudly instead of rendering a
wrong picture.
"""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC_DIR = os.path.join(ROOT, "resources", "icons-src")
OUT_DIR = os.path.join(ROOT, "resources", "images")
# The program's icon for desktops, from the About box's logo, in the hicolor theme's layout.
DESKTOP_ICON_DIR = os.path.join(ROOT, "dist", "icons", "hicolor")
DESKTOP_ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256, 512)

# The source SVGs mark the state-dependent parts with these exact texts:
#   <rect id="chip" fill="none" .../>   a rounded backing plate, hidden when plain
#   <g id="glyph" stroke="#rrggbb" ...> the drawing itself
CHIP = 'id="chip" fill="none"'
INK = "#353848"       # glyph colour on the light toolbar (#a2adb6)
LIGHT_INK = "#dad6d6"  # glyph colour on the dark sidebar header (#3f4256)


def glyph(colour):
    return 'id="glyph" stroke="%s"' % colour


# State name -> list of (text in the plain SVG, replacement).
# Hover lightens, pressed darkens and moves the glyph down one pixel (inset),
# disabled fades the glyph.
TOOLBAR_STATES = {
    "_hover": [
        (CHIP, 'id="chip" fill="#ffffff" fill-opacity="0.45"'),
    ],
    "_pressed": [
        (CHIP, 'id="chip" fill="#2b2937" fill-opacity="0.2"'),
        (glyph(INK), 'id="glyph" transform="translate(0 1)" stroke="#1c1d26"'),
    ],
    "_disabled": [
        (glyph(INK), 'id="glyph" opacity="0.35" stroke="%s"' % INK),
    ],
}

HEADER_STATES = {
    "_hover": [
        (CHIP, 'id="chip" fill="#ffffff" fill-opacity="0.12"'),
        (glyph(LIGHT_INK), glyph("#ffffff")),
    ],
    "_pressed": [
        (CHIP, 'id="chip" fill="#000000" fill-opacity="0.22"'),
        (glyph(LIGHT_INK),
         'id="glyph" transform="translate(0 1)" stroke="#bcb8c4"'),
    ],
}

# Source name -> (width, height at 1x, state table or None).
ICONS = {
    # Editor toolbar buttons.
    "back_icon": (36, 36, TOOLBAR_STATES),
    "forward_icon": (36, 36, TOOLBAR_STATES),
    "format_icon": (36, 36, TOOLBAR_STATES),
    "link_unlink_icon": (36, 36, TOOLBAR_STATES),
    "delete_page_icon": (36, 36, TOOLBAR_STATES),
    # Sidebar header.
    "new_page_icon": (36, 36, HEADER_STATES),
    "pages_logo": (68, 60, None),
    "pages_logo_bottom_border": (68, 2, None),
    # Sidebar rows.
    "page_icon": (24, 24, None),
    "home_icon": (24, 24, None),
    "folder_collapsed_icon": (24, 24, None),
    "folder_expanded_icon": (24, 24, None),
    # Search box and results panel.
    "search": (16, 16, None),
    "hide": (16, 16, None),
    # About box.
    "logo": (96, 96, None),
}


def fail(message):
    sys.stderr.write("render_icons: %s\n" % message)
    sys.exit(1)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if len(head) < 24 or head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        fail("%s is not a PNG file" % path)
    return struct.unpack(">II", head[16:24])


def apply_state(svg, name, state, replacements):
    for old, new in replacements:
        count = svg.count(old)
        if count != 1:
            fail("%s.svg: expected exactly one %r for state %s, found %d"
                 % (name, old, state, count))
        svg = svg.replace(old, new)
    return svg


def render(rsvg, svg_path, out_path, width, height):
    cmd = [rsvg, "--format", "png", "--width", str(width),
           "--height", str(height), "--output", out_path, svg_path]
    result = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            universal_newlines=True)
    if result.returncode != 0:
        fail("rsvg-convert failed on %s:\n%s" % (svg_path, result.stderr))
    got = png_size(out_path)
    if got != (width, height):
        fail("%s came out %dx%d, expected %dx%d"
             % (out_path, got[0], got[1], width, height))


def main():
    rsvg = shutil.which("rsvg-convert")
    if rsvg is None:
        fail("rsvg-convert not found; install it with "
             "'apt-get install librsvg2-bin'")
    os.makedirs(OUT_DIR, exist_ok=True)

    written = 0
    with tempfile.TemporaryDirectory(prefix="render_icons.") as tmp:
        for name, (width, height, states) in ICONS.items():
            src = os.path.join(SRC_DIR, name + ".svg")
            if not os.path.isfile(src):
                fail("missing source %s" % src)
            with open(src, encoding="utf-8") as f:
                plain = f.read()

            variants = [("", plain)]
            for state, replacements in (states or {}).items():
                variants.append((state, apply_state(plain, name, state,
                                                    replacements)))

            for suffix, svg in variants:
                svg_path = os.path.join(tmp, name + suffix + ".svg")
                with open(svg_path, "w", encoding="utf-8") as f:
                    f.write(svg)
                # The 1x picture is rendered at the drawing's own size so
                # that its pixel-aligned strokes stay sharp; the 2x picture
                # is a separate render, not a scaled copy.
                for scale, tag in ((1, ""), (2, "@2x")):
                    out = os.path.join(OUT_DIR, name + suffix + tag + ".png")
                    render(rsvg, svg_path, out, width * scale, height * scale)
                    written += 1

    print("render_icons: wrote %d pictures to %s" % (written, OUT_DIR))

    logo = os.path.join(SRC_DIR, "logo.svg")
    for size in DESKTOP_ICON_SIZES:
        folder = os.path.join(DESKTOP_ICON_DIR, "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        render(rsvg, logo, os.path.join(folder, "velmora.png"), size, size)
    scalable = os.path.join(DESKTOP_ICON_DIR, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    shutil.copyfile(logo, os.path.join(scalable, "velmora.svg"))
    print("render_icons: wrote %d desktop icons to %s"
          % (len(DESKTOP_ICON_SIZES) + 1, DESKTOP_ICON_DIR))


if __name__ == "__main__":
    main()
