#!/usr/bin/env bash
# Times the work on results (sorting 64,000 rows by Size, Date and Directory,
# copying them to the clipboard, deleting 40,000 of their files with the log)
# and the same deletions by xargs rm on an identical second tree.
#
#   bench/results_compare.sh [files] [deleted]
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
FILES=${1:-64000}
DELETED=${2:-40000}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages python3 time || exit 1
quarvo_build --target results_run || exit 1
WORK=$(mktemp -d /var/tmp/quarvo-results.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
for copy in a b; do
    python3 "$BENCH/make_tree.py" "$WORK/$copy" --files "$FILES" --dirs $((FILES / 25)) > /dev/null 2>&1 || exit 1
done
cat > "$WORK/site.toml" <<TOML
[[tree]]
name = "BENCH_TREE"
directory = "inline"
default = true
[tree.objects]
"BENCH" = { class = "Organization" }
[[server]]
name = "SRV"
volumes = { DATA = "$WORK/a" }
TOML
sync
QUARVO_SITE="$WORK/site.toml" "$QUARVO_ROOT/build/results_run" "$DELETED" "$WORK/deleted.txt" "$WORK/Quarvo.log" |
    tee "$WORK/results.txt"
echo "log: $(wc -l < "$WORK/Quarvo.log") lines"
xargs_ms=$( { cd "$WORK/b" && /usr/bin/time -f '%e' xargs -d '\n' rm -- < "$WORK/deleted.txt"; } 2>&1 | tail -1)
python3 - "$WORK/results.txt" "$xargs_ms" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
quarvo = int(re.search(r"delete (\d+) ms", text).group(1))
xargs = float(sys.argv[2]) * 1000
print("xargs rm %.0f ms for the same files; quarvo / xargs rm %.2f" % (xargs, quarvo / max(xargs, 1)))
PY
