#!/bin/sh
# Checks the include graph between the source folders: nothing below app/ includes from app/,
# widgets/ includes from no folder of ours, and no two folders include each other.
# Prints the folder-to-folder edges and exits non-zero on a violation.
cd "$(dirname "$0")/.." || exit 2
folders="app editor sidebar search model widgets"
edges=$(for from in $folders; do
    grep -ho '^#include "[a-z]*/' "$from"/*.h "$from"/*.cpp 2>/dev/null |
        sed 's/^#include "\([a-z]*\)\//\1/' | sort -u | while read -r to; do
        [ "$to" != "$from" ] && echo "$from -> $to"
    done
done)
echo "$edges"
status=0
for line in $(echo "$edges" | sed 's/ -> /:/'); do
    from=${line%%:*}; to=${line##*:}
    if [ "$to" = app ]; then echo "VIOLATION: $from includes from app/"; status=1; fi
    if [ "$from" = widgets ]; then echo "VIOLATION: widgets/ includes from $to/"; status=1; fi
    if echo "$edges" | grep -qx "$to -> $from"; then
        echo "VIOLATION: $from/ and $to/ include each other"; status=1
    fi
done
[ $status = 0 ] && echo "include graph: OK"
exit $status
