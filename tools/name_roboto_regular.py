#!/usr/bin/env python3
"""Give Roboto-Regular.ttf the family name "Roboto Regular" as well.

The editor and the password dialogs ask for the font family "Roboto Regular",
which no name in Roboto's own name table matches (the regular face calls itself
just "Roboto"), so both Qt's widgets and the web view fell back to another face.
This writes the legacy family and full names as "Roboto Regular" and keeps
"Roboto" as the typographic family, so that either name finds the face.
Nothing but the name table changes; the Apache 2.0 licence asks that modified
files say so, which the added description record does.

Usage: name_roboto_regular.py FILE.ttf   (rewritten in place)
Needs fontTools (Debian: python3-fonttools).
"""

import sys

from fontTools.ttLib import TTFont


def main():
    path = sys.argv[1]
    font = TTFont(path)
    name = font["name"]
    for platform, encoding, language in ((3, 1, 0x409), (1, 0, 0)):
        name.setName("Roboto Regular", 1, platform, encoding, language)
        name.setName("Roboto Regular", 4, platform, encoding, language)
        name.setName("Roboto", 16, platform, encoding, language)
        name.setName("Regular", 17, platform, encoding, language)
    name.setName("Roboto Regular, with its family names extended for the Velmora program; "
                 "outlines unchanged.", 10, 3, 1, 0x409)
    font.save(path)


if __name__ == "__main__":
    main()
