#!/usr/bin/env bash
# What /EXPORT= adds to a Directory run's walk, and what /IMPORT= of that
# export takes instead of the walk, on one bench tree: the same /ALLSUBS and
# /IMMSUBS runs walking, walking and exporting, and importing, taken in turns
# (each round in another order) so a machine that is busy with something
# else weighs on all alike, and the ratios of the medians: wall time, and
# CPU time (user + system), which load elsewhere sways less.
#
#   bench/export_compare.sh [tree-folder]     (default: the small bench tree)
#   RUNS=15 bench/export_compare.sh           more rounds (default 9)
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
TREE=${1:-/var/tmp/quarvo-bench-tree-small}
RUNS=${RUNS:-9}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages time python3 || exit 1
quarvo_build --target quarvo || exit 1
QUARVO="$QUARVO_ROOT/build/quarvo"

# The small tree of compare.sh: 100,000 files in 4,000 directories.
[ -d "$TREE" ] || python3 "$BENCH/make_tree.py" "$TREE" --files 100000 --dirs 4000 || exit 1

OUT=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$OUT"' EXIT
printf '[[tree]]\nname = "BENCH_TREE"\ndirectory = "inline"\ndefault = true\n[[server]]\nname = "SRV"\nvolumes = { DATA = "%s" }\n' \
    "$TREE" > "$OUT/site.toml"
export QUARVO_SITE="$OUT/site.toml"
du -s "$TREE" > /dev/null # the same warm metadata cache for every run

# timed CASE ARGS...: appends "CASE wall cpu" to the log.
timed() {
    local name=$1
    shift
    /usr/bin/time -o "$OUT/time" -f '%e %U %S' "$QUARVO" /T=BENCH_TREE /F=DIRECTORY '/D=\\SRV\DATA\' "$@" \
        "/OUTFILE=$OUT/rows.csv" 2> /dev/null || { echo "$name: the run failed" >&2; exit 1; }
    read -r wall user system < "$OUT/time"
    echo "$name $wall $(python3 -c "print($user + $system)")" >> "$OUT/log"
}

echo "Tree: $TREE ($(find "$TREE" | wc -l) entries), $RUNS rounds, $(nproc) cores"
for form in /ALLSUBS /IMMSUBS; do
    timed "first$form" "$form" "/EXPORT=$OUT/tree.json" # the file the imports read
    for ((round = 0; round < RUNS; ++round)); do
        cases=(walk export import)
        for ((i = 0; i < 3; ++i)); do
            case ${cases[(round + i) % 3]} in
            walk) timed "walk$form" "$form" ;;
            export) timed "export$form" "$form" "/EXPORT=$OUT/tree.json" ;;
            import) timed "import$form" "$form" "/IMPORT=$OUT/tree.json" ;;
            esac
        done
    done
done
echo "Export: $(stat -c %s "$OUT/tree.json") bytes"
python3 - "$OUT/log" <<'PY'
import statistics, sys
runs = {}
for line in open(sys.argv[1]):
    name, wall, cpu = line.split()
    runs.setdefault(name, []).append((float(wall), float(cpu)))
def median(name, i):
    return statistics.median(r[i] for r in runs[name])
for form in ("/ALLSUBS", "/IMMSUBS"):
    w, e, i = "walk" + form, "export" + form, "import" + form
    print("%-9s walk %6.3f s (cpu %6.3f s)  with export %6.3f s (cpu %6.3f s)  import %6.3f s (cpu %6.3f s)"
          % (form, median(w, 0), median(w, 1), median(e, 0), median(e, 1), median(i, 0), median(i, 1)))
    print("%-9s export/walk: wall %.2f, cpu %.2f   walk/import: wall %.2f, cpu %.2f"
          % ("", median(e, 0) / median(w, 0), median(e, 1) / median(w, 1),
             median(w, 0) / median(i, 0), median(w, 1) / median(i, 1)))
PY
