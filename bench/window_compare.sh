#!/usr/bin/env bash
# Times the window offscreen on the bench tree (bench/compare.sh makes it and
# its site file): start to the main window painted, a File search from the
# window that fills the grid to the 65,000-row limit against the same search
# from the command line, the longest stall of the event loop during it, how
# soon Stop ends a running walk, saving the rows, and the peak memory.
#
#   bench/window_compare.sh [tree-folder]
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
TREE=${1:-/var/tmp/quarvo-bench-tree}
RUNS=${RUNS:-3}
PATTERN='*.LOG'

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages hyperfine python3 || exit 1
quarvo_build --target quarvo window_run || exit 1
SITE="$QUARVO_ROOT/build/$(basename "$TREE").site.toml" # as root, site files are read only from folders only root can change
[ -f "$SITE" ] || { echo "run bench/compare.sh first: it makes $TREE and its site file" >&2; exit 1; }
export QUARVO_SITE="$SITE"
OUT=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$OUT"' EXIT
du -s "$TREE" > /dev/null

"$QUARVO_ROOT/build/window_run" "$PATTERN" "$OUT" | tee "$OUT/window.txt"
hyperfine --style none --warmup 1 --runs "$RUNS" --export-json "$OUT/cli.json" \
    -n cli "$QUARVO_ROOT/build/quarvo /T=BENCH_TREE /F=FILE '/D=\\\\SRV\\DATA\\' '/PATTERN=$PATTERN' /OUTFILE=$OUT/cli.csv" \
    > /dev/null 2>&1 || { echo "the command-line run failed" >&2; exit 1; }
python3 - "$OUT/cli.json" "$OUT/window.txt" <<'PY'
import json, re, sys
cli = json.load(open(sys.argv[1]))["results"][0]["median"] * 1000
window = int(re.search(r"window-file-run (\d+) ms", open(sys.argv[2]).read()).group(1))
print("command-line file run %.0f ms (median); window / command line %.2f" % (cli, window / cli))
PY
