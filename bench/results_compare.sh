#!/usr/bin/env bash
# Times the work on results (sorting 64,000 rows by Size, Date and Directory,
# copying them to the clipboard, deleting 40,000 of their files with the log,
# moving 10,000 more with their directories) against xargs rm and a Python
# loop of os.makedirs + os.rename doing the same on an identical second tree.
#
#   bench/results_compare.sh [files] [deleted] [moved]
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
FILES=${1:-64000}
DELETED=${2:-40000}
MOVED=${3:-10000}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages python3 time || exit 1
quarvo_build --target results_run || exit 1
WORK=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$WORK"' EXIT
for copy in a b; do
    python3 "$BENCH/make_tree.py" "$WORK/$copy" --files "$FILES" --dirs $((FILES / 25)) > /dev/null 2>&1 || exit 1
done
quarvo_write_site "$WORK/site.toml" BENCH_TREE SRV DATA="$WORK/a"
sync
QUARVO_SITE="$WORK/site.toml" "$QUARVO_ROOT/build/results_run" "$DELETED" "$WORK/deleted.txt" "$WORK/Quarvo.log" \
    "$MOVED" "$WORK/moved.txt" "$WORK/a-moved" | tee "$WORK/results.txt"
echo "log: $(wc -l < "$WORK/Quarvo.log") lines"
xargs_ms=$( { cd "$WORK/b" && /usr/bin/time -f '%e' xargs -d '\n' rm -- < "$WORK/deleted.txt"; } 2>&1 | tail -1)
python3 - "$WORK/results.txt" "$xargs_ms" "$WORK/b" "$WORK/moved.txt" "$WORK/b-moved" <<'PY'
import os, re, sys, time
text = open(sys.argv[1]).read()
quarvo = int(re.search(r"delete (\d+) ms", text).group(1))
xargs = float(sys.argv[2]) * 1000
print("xargs rm %.0f ms for the same files; quarvo / xargs rm %.2f" % (xargs, quarvo / max(xargs, 1)))
root, listed, target = sys.argv[3:6]
paths = open(listed).read().split("\n")[:-1]
start = time.perf_counter()
for path in paths:
    os.makedirs(os.path.join(target, os.path.dirname(path)), exist_ok=True)
    os.rename(os.path.join(root, path), os.path.join(target, path))
python_ms = (time.perf_counter() - start) * 1000
moved = int(re.search(r"move (\d+) ms", text).group(1))
print("python makedirs + rename %.0f ms for the same %d files; quarvo / python %.2f" % (python_ms, len(paths), moved / python_ms))
PY
