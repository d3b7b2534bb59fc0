#!/usr/bin/env bash
# Takes the pictures of docs/user-guide.md from the program itself, off screen: a demo database
# is made in a temporary folder, its schedule rebuilt, and erp-host walks the schedule screen
# (parameters, a filter's list, "Visualizza", the order detail, the icons' legend, then
# "Impegnato cliente", "Situazione giacenze" and "Proposte C/Lav." of the function menu),
# grabbing its window after each step. Run it after a build whenever the screen changes:
#
#   scripts/user-guide-screenshots.sh            # pictures into docs/images/it and docs/images/en
set -euo pipefail
cd "$(dirname "$0")/.."
host=build/bin/erp-host
if [ ! -x "$host" ]; then
    echo "build first (scripts/setup.sh)" >&2
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"

"$host" --demo-db "$work/demo.db" --user 2 --batch rebuild --min-date 2020-01-01 >/dev/null
for lang in it en; do
    rm -rf "docs/images/$lang"
    "$host" --demo-db "$work/demo.db" --user 2 --lang "$lang" --screenshots "docs/images/$lang"
done
