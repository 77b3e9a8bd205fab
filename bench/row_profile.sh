#!/usr/bin/env bash
# Where a row's time goes: profiles (perf, cpu-clock) the same File search
# over the small bench tree with a common pattern (*.LOG, about 10,000 rows)
# and a rare one (FILE0000*.LOG, about 100 rows), RUNS runs each, and prints
# what the rows add: CPU time per run by library and by function, and the
# microseconds each row costs. The walk is the same in both, so the
# difference is the rows: their stat, cells, grid, output file and teardown.
#
#   bench/row_profile.sh          (after bench/compare.sh has made the tree)
#   RUNS=40 TOP=60 bench/row_profile.sh
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
RUNS=${RUNS:-20}
TOP=${TOP:-30}
HZ=5000
. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages linux-perf python3 || exit 1
quarvo_build --target quarvo || exit 1
SITE="$QUARVO_ROOT/build/quarvo-bench-tree.site.toml"
[ -f "$SITE" ] || { echo "run bench/compare.sh first: it makes the tree and its site file" >&2; exit 1; }
OUT=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX")
trap 'rm -rf "$OUT"' EXIT

# profile NAME PATTERN: RUNS runs under one perf record.
profile() {
    cat > "$OUT/runs.sh" <<EOF
export QUARVO_SITE='$SITE'
for i in \$(seq $RUNS); do
    '$QUARVO_ROOT/build/quarvo' /T=BENCH_TREE /F=FILE '/D=\\\\SRV\\SMALL\\' '/PATTERN=$2' /NOHISTORY /OUTFILE='$OUT/$1.csv' > /dev/null 2>&1
done
EOF
    perf record -q -e cpu-clock -F "$HZ" -o "$OUT/$1.data" bash "$OUT/runs.sh" > /dev/null 2>&1 || exit 1
    for key in dso sym; do
        perf report -q -i "$OUT/$1.data" -n --no-children --sort "comm,$key" -g none 2>/dev/null \
            > "$OUT/$1.$key"
    done
}
profile common '*.LOG'
profile rare 'FILE0000*.LOG'
python3 - "$OUT" "$RUNS" "$HZ" "$TOP" <<'PY'
import collections, os, sys
out, runs, hz, top = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
def samples(path):
    counts = collections.Counter()
    for line in open(path):
        parts = line.split()
        if len(parts) >= 4 and parts[0].endswith('%') and parts[2] == 'quarvo':
            counts[' '.join(parts[3:])] += int(parts[1])
    return counts
def lines(name):
    return sum(1 for _ in open(os.path.join(out, name + '.csv')))
rows = lines('common') - lines('rare')
ms = lambda n: n * 1000.0 / hz / runs
for key in ('dso', 'sym'):
    common, rare = samples(os.path.join(out, 'common.' + key)), samples(os.path.join(out, 'rare.' + key))
    delta = {k: common[k] - rare[k] for k in set(common) | set(rare)}
    total = sum(delta.values())
    print('%d rows more: %.1f ms of CPU more per run, %.2f us a row' % (rows, ms(total), ms(total) * 1000 / rows)
          if key == 'dso' else '\nby function:')
    for name, n in sorted(delta.items(), key=lambda kv: -kv[1])[: (12 if key == 'dso' else top)]:
        print('  %8.2f ms  %5.2f us/row  %s' % (ms(n), ms(n) * 1000 / rows, name[:90]))
PY
