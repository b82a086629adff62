#!/usr/bin/env bash
# Installs the build in $1 into a temporary DESTDIR and checks the program's libraries (Qt 6,
# no Qt 5) and what a desktop reads from it: the desktop entry, the AppStream data, the file
# type (well-formed, and recognised by name and by its first two bytes once the MIME database
# is built), the icons and the manual page.
# Exits 77 (skipped) when a validator is missing; tools/bootstrap.sh installs them all.
set -euo pipefail

build=${1:?usage: check_install.sh BUILD_DIR}
for tool in desktop-file-validate appstreamcli xmllint update-mime-database xdg-mime mimetype; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (tools/bootstrap.sh installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dest=$work/dest
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
share=$dest/usr/share
fail() { echo "FAIL: $*" >&2; exit 1; }

test -x "$dest/usr/bin/velmora" || fail "the program was not installed"
# Qt 6 and Qt WebEngine only: neither Qt 5 nor QtWebKit may be linked.
libs=$(ldd "$dest/usr/bin/velmora") || fail "ldd"
echo "$libs" | grep -q 'libQt6WebEngineCore' || fail "Qt WebEngine is not linked"
if echo "$libs" | grep -Eiq 'libQt5|webkit'; then
    fail "Qt 5 or QtWebKit linked: $(echo "$libs" | grep -Ei 'libQt5|webkit')"
fi

# desktop-file-validate prints hints and warnings but exits 0 for them: clean means silent.
out=$(desktop-file-validate "$share/applications/net.halvane.velmora.desktop" 2>&1) \
    || fail "desktop-file-validate: $out"
[ -z "$out" ] || fail "desktop-file-validate: $out"
grep -qx 'Exec=velmora %f' "$share/applications/net.halvane.velmora.desktop" || fail "Exec line"
grep -qx 'MimeType=application/x-velmora;' "$share/applications/net.halvane.velmora.desktop" \
    || fail "MimeType line"

out=$(appstreamcli validate --no-net --pedantic "$share/metainfo/net.halvane.velmora.metainfo.xml" 2>&1) \
    || fail "appstreamcli: $out"
echo "$out" | grep -q '^[IWE]:' && fail "appstreamcli: $out"

xmllint --noout "$share/mime/packages/velmora.xml" || fail "xmllint"

for size in 16 22 24 32 48 64 128 256 512; do
    icon=$share/icons/hicolor/${size}x${size}/apps/velmora.png
    [ -f "$icon" ] || fail "missing $icon"
done
[ -f "$share/icons/hicolor/scalable/apps/velmora.svg" ] || fail "missing the scalable icon"
[ -f "$share/man/man1/velmora.1.gz" ] || fail "missing the manual page"

# A data folder of its own, with the system's types beside ours, as a desktop would see it.
data=$work/data
mkdir -p "$data/mime/packages"
cp "$share/mime/packages/velmora.xml" "$data/mime/packages/"
XDG_DATA_HOME="$data" XDG_DATA_DIRS="$data:/usr/share" update-mime-database "$data/mime" \
    || fail "update-mime-database"
printf '\003\005\001\002 scrambled' >"$work/some.velmora"
printf '\003\005\001\002 scrambled' >"$work/copy-without-extension"
printf 'plain words' >"$work/plain-words"
query() {
    env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        XDG_DATA_HOME="$data" XDG_DATA_DIRS="$data:/usr/share" xdg-mime query filetype "$1"
}
[ "$(query "$work/some.velmora")" = application/x-velmora ] \
    || fail "some.velmora is $(query "$work/some.velmora")"
[ "$(query "$work/copy-without-extension")" = application/x-velmora ] \
    || fail "the first two bytes are not recognised: $(query "$work/copy-without-extension")"
[ "$(query "$work/plain-words")" != application/x-velmora ] || fail "plain text taken for a wiki"
echo "install ok"
