#!/usr/bin/env bash
# Re-creates the third-party files kept under resources/: the fonts, jQuery and
# the jQuery UI build with its theme, each with its licence beside it, and
# resources/THIRD_PARTY.md.
#
# Everything comes from Debian packages (apt-get download) and npm packages
# (npm pack / npm install into a temporary folder), at the exact versions
# below.  The normal build does not run this script: its output is committed.
# Run it again only to refresh or check those files; with the same package
# versions and tools it writes the same bytes.
#
# Needs: apt-get and dpkg-deb, node and npm, python3 with fontTools
# (Debian: python3-fonttools), fc-scan (Debian: fontconfig) for the checks.

set -euo pipefail

# --- Exact sources -----------------------------------------------------------

ROBOTO_DEB=fonts-roboto-unhinted
ROBOTO_DEB_VERSION=2:0~20170802-3
MANROPE_DEB=fonts-manrope
MANROPE_DEB_VERSION=4.504+git20201211-2

MONTSERRAT_NPM=@expo-google-fonts/montserrat
MONTSERRAT_NPM_VERSION=0.4.2
JQUERY_NPM=jquery
JQUERY_NPM_VERSION=2.1.1
JQUERY_UI_NPM=jquery-ui
JQUERY_UI_NPM_VERSION=1.12.1

# Build tools for the jQuery UI bundle (only used here, never shipped): the
# minifiers and a parser that checks the scripts are plain ES5.
UGLIFY_NPM=uglify-js
UGLIFY_NPM_VERSION=3.19.3
CLEAN_CSS_NPM=clean-css
CLEAN_CSS_NPM_VERSION=5.3.3
ACORN_NPM=acorn
ACORN_NPM_VERSION=8.19.0

# Roboto styles kept: the full Roboto set and Roboto Condensed in its three
# classic weights.  The program registers Light, Regular and Bold.
ROBOTO_FILES=(
    Roboto-Thin Roboto-ThinItalic
    Roboto-Light Roboto-LightItalic
    Roboto-Regular Roboto-Italic
    Roboto-Medium Roboto-MediumItalic
    Roboto-Bold Roboto-BoldItalic
    Roboto-Black Roboto-BlackItalic
)
ROBOTO_CONDENSED_FILES=(
    RobotoCondensed-Light RobotoCondensed-LightItalic
    RobotoCondensed-Regular RobotoCondensed-Italic
    RobotoCondensed-Bold RobotoCondensed-BoldItalic
)

# Manrope faces that become the "Hero" family: source file, style name.
HERO_FACES=(
    "Manrope-Light.ttf Light"
    "Manrope-Regular.ttf Regular"
)

# --- Set-up ------------------------------------------------------------------

REPO="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TOOLS="$REPO/tools"
FONTS="$REPO/resources/fonts"
JS="$REPO/resources/js"
JQUERY_UI_OUT="$JS/jquery-ui-$JQUERY_UI_NPM_VERSION"

say() { printf '%s\n' "$*"; }
die() { printf 'fetch_third_party: %s\n' "$*" >&2; exit 1; }

for tool in apt-get dpkg-deb node npm tar; do
    command -v "$tool" >/dev/null || die "$tool is needed"
done

PYTHON="${PYTHON:-}"
if [ -z "$PYTHON" ]; then
    # Debian's interpreter carries python3-fonttools; a python3 earlier on PATH
    # (a virtual environment, pyenv) may not.
    for candidate in /usr/bin/python3 python3; do
        if "$candidate" -c 'import fontTools' 2>/dev/null; then
            PYTHON="$candidate"
            break
        fi
    done
fi
if [ -z "$PYTHON" ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get install -y --no-install-recommends python3-fonttools >/dev/null
        PYTHON=/usr/bin/python3
    else
        die "python3 with fontTools is needed (apt-get install python3-fonttools)"
    fi
fi
FONTTOOLS_VERSION="$("$PYTHON" -c 'import fontTools; print(fontTools.version)')"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
# apt's download sandbox user must be able to write here.
chmod 755 "$WORK"

# --- Fetch -------------------------------------------------------------------

fetch_deb() {
    local name="$1" version="$2"
    mkdir -p "$WORK/deb"
    if ! (cd "$WORK/deb" && apt-get download -q "$name=$version" >/dev/null 2>&1); then
        say "apt-get download $name=$version failed; refreshing the package lists"
        apt-get update -q >/dev/null
        (cd "$WORK/deb" && apt-get download -q "$name=$version" >/dev/null) ||
            die "cannot download $name=$version"
    fi
    local deb
    deb="$(ls "$WORK/deb/${name}_"*.deb)"
    mkdir -p "$WORK/root/$name"
    dpkg-deb -x "$deb" "$WORK/root/$name"
    say "fetched $name $version"
}

fetch_npm() {
    local name="$1" version="$2" dir="$3"
    mkdir -p "$WORK/npm" "$WORK/pkg/$dir"
    local tarball
    tarball="$(cd "$WORK/npm" && npm pack --silent "$name@$version" | tail -n 1)"
    tar -xzf "$WORK/npm/$tarball" -C "$WORK/pkg/$dir" --strip-components=1
    say "fetched $name@$version"
}

fetch_deb "$ROBOTO_DEB" "$ROBOTO_DEB_VERSION"
fetch_deb "$MANROPE_DEB" "$MANROPE_DEB_VERSION"
fetch_npm "$MONTSERRAT_NPM" "$MONTSERRAT_NPM_VERSION" montserrat
fetch_npm "$JQUERY_NPM" "$JQUERY_NPM_VERSION" jquery
fetch_npm "$JQUERY_UI_NPM" "$JQUERY_UI_NPM_VERSION" jquery-ui

mkdir -p "$WORK/buildtools"
(cd "$WORK/buildtools" &&
    npm install --silent --no-save --no-package-lock --no-audit --no-fund --prefix . \
        "$UGLIFY_NPM@$UGLIFY_NPM_VERSION" "$CLEAN_CSS_NPM@$CLEAN_CSS_NPM_VERSION" \
        "$ACORN_NPM@$ACORN_NPM_VERSION" >/dev/null)
say "installed $UGLIFY_NPM@$UGLIFY_NPM_VERSION, $CLEAN_CSS_NPM@$CLEAN_CSS_NPM_VERSION and $ACORN_NPM@$ACORN_NPM_VERSION (build only)"

# --- Clear the previous output -------------------------------------------------

mkdir -p "$FONTS" "$JS"
rm -f "$FONTS"/Roboto-*.ttf "$FONTS"/RobotoCondensed-*.ttf "$FONTS"/Roboto-LICENSE.txt \
      "$FONTS"/Montserrat-*.ttf "$FONTS"/Montserrat-OFL.txt \
      "$FONTS"/Hero-*.otf "$FONTS"/Hero-OFL.txt "$FONTS"/Hero-README.txt \
      "$JS"/jquery.min.js "$JS"/jquery.LICENSE.txt
rm -rf "$JQUERY_UI_OUT"

# --- Roboto ------------------------------------------------------------------

ROBOTO_DIR="$WORK/root/$ROBOTO_DEB/usr/share/fonts/truetype/roboto/unhinted"
for face in "${ROBOTO_FILES[@]}"; do
    install -m 644 "$ROBOTO_DIR/RobotoTTF/$face.ttf" "$FONTS/$face.ttf"
done
for face in "${ROBOTO_CONDENSED_FILES[@]}"; do
    install -m 644 "$ROBOTO_DIR/$face.ttf" "$FONTS/$face.ttf"
done
# The program asks for the family "Roboto Regular": give the regular face that name too.
"$PYTHON" "$TOOLS/name_roboto_regular.py" "$FONTS/Roboto-Regular.ttf"
[ -f /usr/share/common-licenses/Apache-2.0 ] || die "/usr/share/common-licenses/Apache-2.0 is missing"
{
    printf 'Roboto and Roboto Condensed\n'
    printf 'Copyright 2015 Google Inc.\n\n'
    printf 'Font files taken from the Debian package %s %s.\n' "$ROBOTO_DEB" "$ROBOTO_DEB_VERSION"
    printf 'Roboto-Regular.ttf is modified: its name table also carries the family name\n'
    printf '"Roboto Regular" (tools/name_roboto_regular.py); its outlines are unchanged.\n'
    printf 'Licensed under the Apache License, Version 2.0, whose full text follows.\n\n'
    cat /usr/share/common-licenses/Apache-2.0
} >"$FONTS/Roboto-LICENSE.txt"

# --- Montserrat --------------------------------------------------------------

MONTSERRAT_DIR="$WORK/pkg/montserrat"
install -m 644 "$MONTSERRAT_DIR/400Regular/Montserrat_400Regular.ttf" "$FONTS/Montserrat-Regular.ttf"
install -m 644 "$MONTSERRAT_DIR/700Bold/Montserrat_700Bold.ttf" "$FONTS/Montserrat-Bold.ttf"
install -m 644 "$MONTSERRAT_DIR/LICENSE_FONT" "$FONTS/Montserrat-OFL.txt"

# --- Hero (renamed Manrope) --------------------------------------------------

MANROPE_DIR="$WORK/root/$MANROPE_DEB/usr/share/fonts/truetype/manrope"
for entry in "${HERO_FACES[@]}"; do
    read -r source style <<<"$entry"
    "$PYTHON" "$TOOLS/make_hero_font.py" "$MANROPE_DIR/$source" "$style" "$FONTS/Hero-$style.otf" >/dev/null
done

# The package keeps the OFL text inside its machine-readable copyright file;
# turn that paragraph back into a plain licence file.
"$PYTHON" - "$WORK/root/$MANROPE_DEB/usr/share/doc/$MANROPE_DEB/copyright" "$FONTS/Hero-OFL.txt" <<'EOF'
import sys

source, target = sys.argv[1], sys.argv[2]
lines = open(source, encoding="utf-8").read().splitlines()
copyright_lines, licence_lines = [], []
in_stanza = in_copyright = in_licence = False
for line in lines:
    if line.startswith("Files:"):
        in_stanza = line.split(":", 1)[1].strip() == "*"
        in_copyright = in_licence = False
        continue
    if not in_stanza:
        continue
    if line.startswith("Copyright:"):
        in_copyright, in_licence = True, False
        copyright_lines.append(line.split(":", 1)[1].strip())
    elif line.startswith("License:"):
        in_copyright, in_licence = False, line.split(":", 1)[1].strip() == "OFL-1.1"
    elif line.startswith(" ") and in_copyright:
        copyright_lines.append(line.strip())
    elif line.startswith(" ") and in_licence:
        text = line[1:].rstrip()
        licence_lines.append("" if text == "." else text)
    else:
        in_copyright = in_licence = False
if not copyright_lines or not licence_lines:
    sys.exit("no OFL-1.1 licence paragraph found in " + source)
with open(target, "w", encoding="utf-8") as out:
    for line in copyright_lines:
        out.write("Copyright " + line + "\n")
    out.write("\nThis Font Software is licensed under the SIL Open Font License, Version 1.1.\n\n")
    out.write("\n".join(licence_lines).rstrip() + "\n")
EOF

cat >"$FONTS/Hero-README.txt" <<EOF
Hero-Light.otf and Hero-Regular.otf are the Light and Regular faces of
Manrope by Mikhail Sharanda and The Manrope Project Authors, taken from the
Debian package $MANROPE_DEB $MANROPE_DEB_VERSION.

They were converted from TrueType to CFF outlines and renamed to the family
"Hero" by tools/make_hero_font.py (fontTools $FONTTOOLS_VERSION). Apart from the
name table and the outline format the faces are unchanged.

Licensed under the SIL Open Font License, Version 1.1: see Hero-OFL.txt.
EOF

# --- jQuery ------------------------------------------------------------------

JQUERY_DIR="$WORK/pkg/jquery"
head -c 40 "$JQUERY_DIR/dist/jquery.min.js" | grep -q "jQuery v$JQUERY_NPM_VERSION " ||
    die "unexpected jquery.min.js header"
install -m 644 "$JQUERY_DIR/dist/jquery.min.js" "$JS/jquery.min.js"
install -m 644 "$JQUERY_DIR/MIT-LICENSE.txt" "$JS/jquery.LICENSE.txt"

# --- jQuery UI ---------------------------------------------------------------

JQUERY_UI_DIR="$WORK/pkg/jquery-ui"
mkdir -p "$JQUERY_UI_OUT"
JQUERY_UI_REPORT="$(node "$TOOLS/build_jquery_ui.js" "$JQUERY_UI_DIR" "$WORK/buildtools/node_modules" "$JQUERY_UI_OUT")"
say "$JQUERY_UI_REPORT"
install -m 644 "$JQUERY_UI_DIR/LICENSE.txt" "$JQUERY_UI_OUT/LICENSE.txt"
JQUERY_UI_MODULES="$(sed -n 's/^jQuery UI modules: //p' <<<"$JQUERY_UI_REPORT")"

# --- Checks ------------------------------------------------------------------

ACORN_MODULE="$WORK/buildtools/node_modules/acorn" \
node - "$JS/jquery.min.js" "$JQUERY_UI_OUT/jquery-ui.min.js" <<'EOF'
const fs = require("fs");
const [jqueryFile, uiFile] = process.argv.slice(2);
const acorn = require(process.env.ACORN_MODULE);
for (const file of [jqueryFile, uiFile]) {
    const source = fs.readFileSync(file, "utf8");
    new Function(source);
    acorn.parse(source, { ecmaVersion: 5, sourceType: "script" });
}
const ui = fs.readFileSync(uiFile, "utf8");
const expected = [/\.widget=function\(/, /\.widget\("ui\.mouse",/, /\.fn\.extend\(\{disableSelection:/,
    /\.widget\("ui\.resizable",/, /\.ui\.version="1\.12\.1"/];
const missing = expected.filter((marker) => !marker.test(ui));
if (missing.length) {
    console.error("jQuery UI build lacks: " + missing.join(", "));
    process.exit(1);
}
EOF

"$PYTHON" - "$FONTS" <<'EOF'
import os
import sys
from fontTools.ttLib import TTFont

fonts = sys.argv[1]
expected = {
    "Montserrat-Regular.ttf": ("Montserrat", "Regular"),
    "Montserrat-Bold.ttf": ("Montserrat", "Bold"),
    "Hero-Light.otf": ("Hero", "Light"),
    "Hero-Regular.otf": ("Hero", "Regular"),
    "Roboto-Light.ttf": ("Roboto", "Light"),
    "Roboto-Regular.ttf": ("Roboto", "Regular"),
    "Roboto-Bold.ttf": ("Roboto", "Bold"),
}
for file_name, (family, style) in expected.items():
    name = TTFont(os.path.join(fonts, file_name))["name"]
    got = (name.getDebugName(16) or name.getDebugName(1), name.getDebugName(17) or name.getDebugName(2))
    if got != (family, style):
        sys.exit("%s: family/style %r, expected %r" % (file_name, got, (family, style)))
EOF

if command -v fc-scan >/dev/null; then
    for file in Montserrat-Regular.ttf Hero-Light.otf Hero-Regular.otf Roboto-Regular.ttf; do
        say "$file: $(fc-scan --format '%{family} / %{style}\n' "$FONTS/$file" | head -n 1)"
    done
fi

# --- Record ------------------------------------------------------------------

{
    cat <<EOF
# Third-party files

The files below are not ours. They are written by \`tools/fetch_third_party.sh\`
from the exact package versions named here and committed as they are; the
normal build does not fetch anything. Each licence file sits beside the files
it covers.

## Fonts (\`fonts/\`)

| Files | Origin | Licence |
| --- | --- | --- |
EOF
    roboto_list=""
    for face in "${ROBOTO_FILES[@]}" "${ROBOTO_CONDENSED_FILES[@]}"; do
        roboto_list+="${roboto_list:+, }$face.ttf"
    done
    printf '| %s | Debian package `%s` %s | Apache License 2.0, `Roboto-LICENSE.txt` |\n' \
        "$roboto_list" "$ROBOTO_DEB" "$ROBOTO_DEB_VERSION"
    printf '| Montserrat-Regular.ttf, Montserrat-Bold.ttf | npm package `%s@%s` (files `400Regular/Montserrat_400Regular.ttf`, `700Bold/Montserrat_700Bold.ttf`) | SIL Open Font License 1.1, `Montserrat-OFL.txt` |\n' \
        "$MONTSERRAT_NPM" "$MONTSERRAT_NPM_VERSION"
    printf '| Hero-Light.otf, Hero-Regular.otf | Manrope Light and Regular from Debian package `%s` %s, converted to CFF outlines and renamed "Hero" by `tools/make_hero_font.py` (fontTools %s); see `Hero-README.txt` | SIL Open Font License 1.1, `Hero-OFL.txt` |\n' \
        "$MANROPE_DEB" "$MANROPE_DEB_VERSION" "$FONTTOOLS_VERSION"
    cat <<EOF

## Scripts and styles (\`js/\`)

| Files | Origin | Licence |
| --- | --- | --- |
EOF
    printf '| jquery.min.js | npm package `%s@%s`, file `dist/jquery.min.js` | MIT, `jquery.LICENSE.txt` |\n' \
        "$JQUERY_NPM" "$JQUERY_NPM_VERSION"
    printf '| jquery-ui-%s/jquery-ui.min.js | built from npm package `%s@%s` sources (`ui/`), modules in this order: %s; minified with `%s@%s` (ES5 checked with `%s@%s`) | MIT, `jquery-ui-%s/LICENSE.txt` |\n' \
        "$JQUERY_UI_NPM_VERSION" "$JQUERY_UI_NPM" "$JQUERY_UI_NPM_VERSION" "$JQUERY_UI_MODULES" \
        "$UGLIFY_NPM" "$UGLIFY_NPM_VERSION" "$ACORN_NPM" "$ACORN_NPM_VERSION" "$JQUERY_UI_NPM_VERSION"
    printf '| jquery-ui-%s/jquery-ui.min.css | same package, `themes/base/` core.css, resizable.css and theme.css, minified with `%s@%s` | MIT, `jquery-ui-%s/LICENSE.txt` |\n' \
        "$JQUERY_UI_NPM_VERSION" "$CLEAN_CSS_NPM" "$CLEAN_CSS_NPM_VERSION" "$JQUERY_UI_NPM_VERSION"
    image_list=""
    for image in "$JQUERY_UI_OUT"/images/*; do
        image_list+="${image_list:+, }$(basename "$image")"
    done
    printf '| jquery-ui-%s/images/: %s | same package, `themes/base/images/` (the icons the stylesheet refers to) | MIT, `jquery-ui-%s/LICENSE.txt` |\n' \
        "$JQUERY_UI_NPM_VERSION" "$image_list" "$JQUERY_UI_NPM_VERSION"
    cat <<EOF

The jQuery UI bundle is built by \`tools/build_jquery_ui.js\`: each module's
wrapper is removed, the modules are joined in dependency order inside one
wrapper that uses the global \`jQuery\`, and the result is minified.
EOF
} >"$REPO/resources/THIRD_PARTY.md"

say "third-party files written under $REPO/resources"
