#!/usr/bin/env bash
# Times a File search by pattern on a tree LEVELS deep (default 20,000)
# against find -iname -printf, in one run, and prints the ratio of the
# medians. The tree lives on a tmpfs mounted for the run (root only): a disk
# takes minutes to remove a tree this deep.
#
#   bench/deep_compare.sh [levels]
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
LEVELS=${1:-20000}
RUNS=${RUNS:-3}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages hyperfine time python3 || exit 1
quarvo_build --target quarvo || exit 1
[ "$(id -u)" -eq 0 ] || { echo "deep_compare.sh mounts a tmpfs: run it as root" >&2; exit 1; }

WORK=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
TREE="$WORK/deep"
mkdir "$TREE" && mount -t tmpfs -o size=1g tmpfs "$TREE" || exit 1
trap 'umount "$TREE"; rm -rf "$WORK"' EXIT

# d/d/d/...: each level holds a.log, b.txt and the next level.
python3 - "$TREE" "$LEVELS" <<'PY'
import os, sys
root, levels = sys.argv[1], int(sys.argv[2])
fd = os.open(root, os.O_RDONLY)
for _ in range(levels):
    for name in ("a.log", "b.txt"):
        os.close(os.open(name, os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=fd))
    os.mkdir("d", dir_fd=fd)
    nxt = os.open("d", os.O_RDONLY, dir_fd=fd)
    os.close(fd)
    fd = nxt
os.close(fd)
PY

SITE="$WORK/site.toml"
quarvo_write_site "$SITE" DEEP_TREE SRV DEEP="$TREE"
export QUARVO_SITE="$SITE"
QUARVO="$QUARVO_ROOT/build/quarvo"
JSON="$WORK/deep.json"
hyperfine --style none --warmup 1 --runs "$RUNS" --export-json "$JSON" \
    -n quarvo "$QUARVO /T=DEEP_TREE /F=FILE '/D=\\\\SRV\\DEEP\\' '/PATTERN=*.LOG' /OUTFILE=- > /dev/null" \
    -n peer "find $TREE -iname '*.log' -printf '%h %f %U %s %TD %TT\n' > /dev/null" > /dev/null 2>&1 ||
    { echo "a command failed" >&2; exit 1; }
# Both write their listing to /dev/null: each of its lines holds a path
# thousands of levels long, and writing them to a disk would be most of
# the time.
"$QUARVO" /T=DEEP_TREE /F=FILE '/D=\\SRV\DEEP\' '/PATTERN=*.LOG' /OUTFILE="$WORK/deep.csv" > /dev/null 2>&1
rows=$(( $(wc -l < "$WORK/deep.csv") ))
peak=$( { /usr/bin/time -f '%M' "$QUARVO" /T=DEEP_TREE /F=FILE '/D=\\SRV\DEEP\' '/PATTERN=*.LOG' /OUTFILE=- 2>&1 >/dev/null; } | tail -1)
python3 - "$JSON" "$LEVELS" "$rows" "$peak" <<'PY'
import json, sys
path, levels, rows, peak = sys.argv[1:5]
r = {x["command"]: x["median"] for x in json.load(open(path))["results"]}
print("deep %s levels, %s rows: quarvo %.3f s  find %.3f s  quarvo/find %.2f  peak %.1f MB"
      % (levels, rows, r["quarvo"], r["peer"], r["quarvo"] / r["peer"], int(peak) / 1024))
PY
