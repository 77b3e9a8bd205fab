#!/usr/bin/env bash
# Times quarvo's command-line reports against the tools an administrator
# would use instead, and against the floor (bench/floor_walk.cpp: only the
# listing and stats a report cannot avoid, on as many threads), on one
# generated tree, in one run, and prints the medians, the ratios of the
# medians (quarvo / floor, quarvo / peer) and quarvo's peak memory. The
# three run in turns (bench/in_turns.py), so a machine whose speed drifts
# meanwhile slows all three alike.
#
#   bench/compare.sh [tree-folder] [files] [directories]
#   ONLY='file-*' bench/compare.sh    runs only the pairs whose name matches
#   HISTORY=1 bench/compare.sh        keeps each run in the history as well
#   BASELINE=/path/to/quarvo bench/compare.sh   times another build in turns
#                                     with these, and prints its ratio to the floor too
#
# Runs are made with /NOHISTORY unless HISTORY=1: what keeping a run adds is
# measured on its own by bench/history_compare.sh.
#
# The tree is generated once (bench/make_tree.py) and kept for later runs.
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
TREE=${1:-/var/tmp/quarvo-bench-tree}
FILES=${2:-1000000}
DIRS=${3:-40000}
RUNS=${RUNS:-5}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages time python3 || exit 1
quarvo_install_packages gdu 2>/dev/null || echo "gdu is not available here; its comparison is left out" >&2
quarvo_build --target quarvo || exit 1
QUARVO="$QUARVO_ROOT/build/quarvo"
FLOOR="$QUARVO_ROOT/build/floor_walk"
g++ -O2 -std=c++20 -pthread -o "$FLOOR" "$BENCH/floor_walk.cpp" || exit 1
THREADS=$(nproc)

# make_tree FOLDER FILES DIRECTORIES: generated once, kept for later runs.
make_tree() {
    [ -d "$1" ] && return
    echo "Generating $2 files in $3 directories under $1 ..." >&2
    python3 "$BENCH/make_tree.py" "$1" --files "$2" --dirs "$3" || exit 1
}
make_tree "$TREE" "$FILES" "$DIRS"
# A tenth of the size: there a common pattern (*.log, a tenth of the files)
# stays under the file search's row limit.
SMALL_TREE="$TREE-small"
make_tree "$SMALL_TREE" $((FILES / 10)) $((DIRS / 10))

OUT=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$OUT"' EXIT
# A site that serves the tree as volume \\BENCH\DATA, with its owners as users.
SITE="$QUARVO_ROOT/build/$(basename "$TREE").site.toml" # kept for window_compare.sh
{
    echo '[[tree]]'
    echo 'name = "BENCH_TREE"'
    echo 'directory = "inline"'
    echo 'default = true'
    echo '[tree.objects]'
    echo '"BENCH" = { class = "Organization" }'
    echo '"SRV.BENCH" = { class = "NCP Server" }'
    for uid in $(seq 20001 20020); do
        echo "\"U$uid.BENCH\" = { class = \"User\", uid = $uid }"
    done
    echo '[[server]]'
    echo 'name = "SRV"'
    echo "volumes = { DATA = \"$TREE\", SMALL = \"$SMALL_TREE\" }"
} > "$SITE"
export QUARVO_SITE="$SITE"

# Warm the metadata cache so every command sees the same state.
du -s "$TREE" "$SMALL_TREE" > /dev/null

# compare NAME QUARVO-ARGS PEER-COMMAND [FLOOR-ARGS [FLOOR-ROOT]]
compare() {
    local name=$1 peer=$3 floor="$FLOOR ${5:-$TREE} --threads $THREADS ${4:-}"
    [ -n "${ONLY:-}" ] && [[ "$name" != $ONLY ]] && return
    local quarvo_args="" word words
    read -ra words <<< "$2" # no globbing: the pattern stays a pattern
    for word in "${words[@]}"; do quarvo_args+=" '$word'"; done
    [ -n "${HISTORY:-}" ] || quarvo_args+=" /NOHISTORY"
    local json="$OUT/$name.json"
    local baseline=()
    [ -n "${BASELINE:-}" ] && baseline=("baseline=$BASELINE $quarvo_args /OUTFILE=$OUT/$name-baseline.csv")
    python3 "$BENCH/in_turns.py" "$RUNS" "quarvo=$QUARVO $quarvo_args /OUTFILE=$OUT/$name.csv" \
        "floor=$floor" "peer=$peer" "${baseline[@]}" > "$json" || {
        echo "$name: a command failed" >&2
        return
    }
    local peak
    peak=$( { eval /usr/bin/time -f '%M' "$QUARVO" $quarvo_args "/OUTFILE=$OUT/$name.csv" 2>&1 >/dev/null; } | tail -1)
    python3 - "$json" "$name" "$peer" "$peak" <<'PY'
import json, sys
path, name, peer, peak = sys.argv[1:5]
results = json.load(open(path))
q, f, p = (results[c]["median"] for c in ("quarvo", "floor", "peer"))
baseline = "  baseline/floor %.2f" % (results["baseline"]["median"] / f) if "baseline" in results else ""
print("%-20s quarvo %6.3f s  floor %6.3f s  peer %6.3f s  quarvo/floor %.2f  quarvo/peer %.2f%s  peak %5.1f MB  peer: %s"
      % (name, q, f, p, q / f, q / p, baseline, int(peak) / 1024, peer[:60]))
PY
}

echo "Tree: $TREE ($(find "$TREE" -type f | wc -l) files), $RUNS runs each, $(nproc) cores"
VOL='\\SRV\DATA\'
SMALL_VOL='\\SRV\SMALL\'
PRINTF='%h %f %U %s %TD %TT\n'
SUBDIRS=$(find "$TREE" -mindepth 1 -maxdepth 1 -type d | sort | tr '\n' ' ')
OLDER_DAYS=$(( ( $(date +%s) - $(date -d 2016-01-01 +%s) ) / 86400 ))
compare dir-immediate "/T=BENCH_TREE /F=DIRECTORY /D=$VOL /IMMSUBS" "du -sb $SUBDIRS"
compare dir-all "/T=BENCH_TREE /F=DIRECTORY /D=$VOL /ALLSUBS" "du -b -S $TREE"
compare file-pattern "/T=BENCH_TREE /F=FILE /D=$VOL /PATTERN=FILE00*.LOG" "find $TREE -iname 'file00*.log' -printf '$PRINTF'" "--pattern 'file00*.log'"
compare file-pattern-common "/T=BENCH_TREE /F=FILE /D=$SMALL_VOL /PATTERN=*.LOG" "find $SMALL_TREE -iname '*.log' -printf '$PRINTF'" "--pattern '*.log'" "$SMALL_TREE"
compare file-size "/T=BENCH_TREE /F=FILE /D=$VOL /SIZE GT 3" "find $TREE -size +3M -printf '$PRINTF'"
compare date-older "/T=BENCH_TREE /F=DATE /D=$VOL /OPT=MODIFY /OLDERTHAN=2016-01-01" "find $TREE -mtime +$OLDER_DAYS -printf '$PRINTF'"
compare owner-all "/T=BENCH_TREE /F=OWNER /S=SRV /V=DATA /C=BENCH_TREE\BENCH /OWNER=ALL+SUB" "du -s $TREE"
if command -v gdu > /dev/null; then
    compare dir-immediate-gdu "/T=BENCH_TREE /F=DIRECTORY /D=$VOL /IMMSUBS" "gdu -n -p $TREE"
fi
