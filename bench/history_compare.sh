#!/usr/bin/env bash
# What keeping a run in the history adds to it: the same command-line runs
# with and without /NOHISTORY, taken in turns (so both see the same cache),
# on the tree and site bench/compare.sh made, into an SQLite store of the
# bench's own. Prints the mean wall and CPU seconds and the ratio.
#
#   RUNS=6 bench/history_compare.sh
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
RUNS=${RUNS:-6}
. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages time || exit 1
quarvo_build --target quarvo || exit 1
export QUARVO_SITE="$QUARVO_ROOT/build/quarvo-bench-tree.site.toml"
[ -f "$QUARVO_SITE" ] || { echo "Run bench/compare.sh first: it makes the tree and its site." >&2; exit 1; }
WORK=$(mktemp -d "$QUARVO_ROOT/build/history-bench.XXXXXX") # root reads stores only from root's folders
trap 'rm -rf "$WORK"' EXIT
export QUARVO_HISTORY="$WORK/history.sqlite"

# run NAME ARGS...: one timed run, "NAME wall user system".
run() {
    local name=$1
    shift
    /usr/bin/time -f "$name %e %U %S" "$QUARVO_ROOT/build/quarvo" "$@" "/OUTFILE=$WORK/$name.csv" 2>&1 >/dev/null | tail -1
}

for _ in $(seq "$RUNS"); do
    for keep in "" /NOHISTORY; do
        run "directory${keep:+-none}" /T=BENCH_TREE /F=DIRECTORY '/D=\\SRV\DATA\' /ALLSUBS $keep
        run "file${keep:+-none}" /T=BENCH_TREE /F=FILE '/D=\\SRV\DATA\' '/PATTERN=*.LOG' $keep
    done
done | awk '{ n[$1]++; e[$1] += $2; c[$1] += $3 + $4 }
    END { for (k in n) if (k !~ /-none$/) printf "%-10s kept %6.3f s (cpu %6.3f)  not kept %6.3f s (cpu %6.3f)  ratio %.2f\n",
              k, e[k] / n[k], c[k] / n[k], e[k "-none"] / n[k "-none"], c[k "-none"] / n[k "-none"], e[k] / e[k "-none"] }'
