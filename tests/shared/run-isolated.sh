#!/bin/sh
# Runs one test program in new, empty home, settings, data, cache, runtime and temporary
# folders under the folder given first, and removes them afterwards unless the test failed.
# Nothing an earlier run left behind can change this one. The update check of every window and
# of every copy of the program the test starts goes to a closed port on this machine.
parent=$1
shift
mkdir -p "$parent" || exit 1
root=$(mktemp -d "$parent/run.XXXXXX") || exit 1
# Readable by all: some tests give up root's rights in a process of their own.
chmod 755 "$root"
for folder in home config data cache tmp; do
    mkdir -m 755 "$root/$folder" || exit 1
done
mkdir -m 700 "$root/runtime" || exit 1
export HOME="$root/home" XDG_CONFIG_HOME="$root/config" XDG_DATA_HOME="$root/data" \
    XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime" TMPDIR="$root/tmp" \
    QT_QPA_PLATFORM=offscreen VELMORA_UPDATE_URL=http://127.0.0.1:9
"$@"
status=$?
if [ "$status" -eq 0 ]; then
    rm -rf "$root"
else
    echo "The test's folders are kept in $root" >&2
fi
exit "$status"
