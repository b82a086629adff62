#!/usr/bin/env python3
"""Make one "Hero" font file from a static TrueType face.

The status bar asks for the font family "Hero".  We ship an open-licence
geometric sans under that name: the glyph outlines are converted from
TrueType (quadratic) to CFF (cubic, exact degree elevation) so that the file
really is a CFF-flavoured OpenType font, and the name table is rewritten so
that the family is "Hero".  The SIL Open Font License asks that a modified
font is not published under its original name, so the renaming is needed
anyway.

Usage:
    make_hero_font.py SOURCE.ttf STYLE OUTPUT.otf

STYLE is the subfamily name to give the face ("Light", "Regular", ...).

Needs only the Python standard library and fontTools (Debian: python3-fonttools).
"""

import sys

from fontTools.fontBuilder import FontBuilder
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.ttLib import TTFont

FAMILY = "Hero"

# TrueType-only tables that have no meaning once the outlines are CFF.
TRUETYPE_TABLES = ("glyf", "loca", "fpgm", "prep", "cvt ", "gasp", "hdmx", "LTSH", "VDMX")

# Name records that would still carry the original family or style naming.
DROPPED_NAME_IDS = (18, 21, 22, 25)


def source_names(font):
    name = font["name"]
    family = name.getDebugName(16) or name.getDebugName(1)
    version = name.getDebugName(5) or ""
    return family, version


def clean_version(version):
    # The source's version string names the TrueType autohinter; the hints are
    # gone after conversion, so keep only the version proper.
    return version.split(";")[0].strip()


def convert_outlines(font):
    glyph_order = font.getGlyphOrder()
    glyph_set = font.getGlyphSet()
    hmtx = font["hmtx"]
    char_strings = {}
    left_bearings = {}
    for glyph_name in glyph_order:
        width = hmtx[glyph_name][0]
        pen = T2CharStringPen(width, glyph_set)
        glyph_set[glyph_name].draw(pen)
        char_strings[glyph_name] = pen.getCharString()
        bounds_pen = BoundsPen(glyph_set)
        glyph_set[glyph_name].draw(bounds_pen)
        left_bearings[glyph_name] = round(bounds_pen.bounds[0]) if bounds_pen.bounds else 0
    return char_strings, left_bearings


def rename(font, style, full_name, ps_name, version, original):
    name = font["name"]
    for name_id in DROPPED_NAME_IDS:
        name.removeNames(nameID=name_id)
    version_text = "Version %s" % version if not version.startswith("Version") else version
    unique_id = "%s;%s" % (version_text.replace("Version ", ""), ps_name)
    description = "%s is %s %s, converted to CFF outlines and renamed." % (
        FAMILY, original, style)
    records = {
        1: FAMILY,
        2: style,
        3: unique_id,
        4: full_name,
        5: version_text,
        6: ps_name,
        10: description,
        16: FAMILY,
        17: style,
    }
    platforms = {(rec.platformID, rec.platEncID, rec.langID) for rec in name.names}
    if not platforms:
        platforms = {(3, 1, 0x409)}
    for name_id, text in records.items():
        name.removeNames(nameID=name_id)
        for platform_id, enc_id, lang_id in sorted(platforms):
            name.setName(text, name_id, platform_id, enc_id, lang_id)


def main(argv):
    if len(argv) != 4:
        sys.stderr.write(__doc__)
        return 2
    source, style, output = argv[1], argv[2], argv[3]

    # Keep the source's timestamps so that repeated runs give identical files.
    font = TTFont(source, recalcTimestamp=False)
    if "glyf" not in font or "fvar" in font:
        sys.stderr.write("%s: expected a static TrueType font\n" % source)
        return 1

    original, version = source_names(font)
    version = clean_version(version)
    full_name = "%s %s" % (FAMILY, style)
    ps_name = "%s-%s" % (FAMILY, style.replace(" ", ""))

    char_strings, left_bearings = convert_outlines(font)
    copyright_text = font["name"].getDebugName(0) or ""

    for tag in TRUETYPE_TABLES:
        if tag in font:
            del font[tag]

    builder = FontBuilder(font=font)
    builder.setupCFF(
        ps_name,
        {
            "FullName": full_name,
            "FamilyName": FAMILY,
            "Weight": style,
            "Notice": copyright_text,
            "version": version.replace("Version ", ""),
        },
        char_strings,
        {},
    )
    font["maxp"].tableVersion = 0x00005000
    font["post"].formatType = 3.0
    font["post"].mapping = {}
    font["post"].extraNames = []
    hmtx = font["hmtx"]
    for glyph_name, lsb in left_bearings.items():
        hmtx[glyph_name] = (hmtx[glyph_name][0], lsb)

    rename(font, style, full_name, ps_name, version, original)
    font.save(output)

    check = TTFont(output)
    family = check["name"].getDebugName(16) or check["name"].getDebugName(1)
    if family != FAMILY or "CFF " not in check:
        sys.stderr.write("%s: conversion check failed\n" % output)
        return 1
    print("%s: family %s, style %s, from %s %s" % (output, family,
                                                   check["name"].getDebugName(17), original, style))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
