#!/usr/bin/env bash
# What keeping a run in the history adds to it: the same command-line runs
# with and without /NOHISTORY, taken in turns (so both see the same cache),
# on the tree and site bench/compare.sh made, into an SQLite store of the
# bench's own. Prints the median wall and CPU seconds and the ratio of the
# median walls (a run slowed by other work on the machine weighs less).
#
#   RUNS=6 bench/history_compare.sh
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
RUNS=${RUNS:-6}
. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages time python3 || exit 1
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
done > "$WORK/times"
[ -n "${SHOW:-}" ] && cat "$WORK/times"
python3 - "$WORK/times" <<'SUMMARY'
import statistics, sys
times = {}
for line in open(sys.argv[1]):
    name, wall, user, system = line.split()
    times.setdefault(name, []).append((float(wall), float(user) + float(system)))
for name in ("directory", "file"):
    kept, none = times.get(name), times.get(name + "-none")
    if kept and none:
        wall = lambda runs: statistics.median(run[0] for run in runs)
        cpu = lambda runs: statistics.median(run[1] for run in runs)
        print("%-10s kept %6.3f s (cpu %6.3f)  not kept %6.3f s (cpu %6.3f)  ratio %.2f" %
              (name, wall(kept), cpu(kept), wall(none), cpu(none), wall(kept) / wall(none)))
SUMMARY
