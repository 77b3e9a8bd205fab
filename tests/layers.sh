#!/usr/bin/env bash
# Every include points down: a folder of src/ may include only itself and
# the folders below it, so the directory client never reaches up into the
# reports and nothing outside ui/ reaches the widgets.
cd "$(dirname "${BASH_SOURCE[0]}")/../src" || exit 2
declare -A below=(
    [settings]="settings"
    [fsview]="fsview settings"
    [sizetree]="sizetree fsview settings"
    [netware/client]="netware/client fsview settings"
    [netware]="netware netware/client fsview settings"
    [reports]="reports netware netware/client sizetree fsview settings"
    [fileops]="fileops reports netware netware/client sizetree fsview settings"
    [batch]="batch reports netware netware/client sizetree fsview settings"
    [history]="history batch reports netware netware/client sizetree fsview settings"
    [app]="app history batch fileops reports netware netware/client sizetree fsview settings"
)
status=0
for folder in "${!below[@]}"; do
    for file in "$folder"/*.h "$folder"/*.cpp; do
        [ -e "$file" ] || continue
        while read -r included; do
            target=${included%/*}
            ok=0
            for allowed in ${below[$folder]}; do
                [ "$target" = "$allowed" ] && ok=1
            done
            if [ $ok = 0 ]; then
                echo "$file includes $included, which is not below $folder"
                status=1
            fi
        done < <(sed -n 's/^#include "\([a-z_/]*\/[a-z_]*\.h\)".*/\1/p' "$file")
    done
done
exit $status
