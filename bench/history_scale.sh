#!/usr/bin/env bash
# A year of nightly /ALLSUBS runs from three servers (about 1,000 runs of
# 40,000 folder rows) kept in an SQLite store and in a PostgreSQL database of
# the bench's own, then what reading them costs: the bytes a folder row takes
# beyond its name, `quarvo --history` over every run, reading two runs and
# filling the comparison as /COMPARE= does (on a store of two nights and on
# the year's), and following one folder's size across every run of its place
# row by row down its path.
#
#   bench/history_scale.sh [NIGHTS] [FOLDERS]      (333 nights of 40,000 folders)
#   ONLY=sqlite bench/history_scale.sh             (or ONLY=postgres)
#
# The stores go to a folder under build/ and are removed at the end (a few GB
# each; KEEP=1 leaves them and says where).
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
NIGHTS=${1:-333}
FOLDERS=${2:-40000}
. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_install_packages hyperfine python3 || exit 1
quarvo_build --target quarvo history_scale_run || exit 1
RUN="$QUARVO_ROOT/build/history_scale_run"
QUARVO="$QUARVO_ROOT/build/quarvo"
WORK=$(mktemp -d "$QUARVO_ROOT/build/history-scale.XXXXXX") # as root, SQLite stores only in root's own folders
PG_DATA="$WORK/postgres/data"
NOBODY=65534

# as_server TOOL ARGS...: PostgreSQL's tools, as nobody when run as root (it refuses root).
as_server() {
    local tool
    tool="$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)/$1"
    shift
    if [ "$(id -u)" = 0 ]; then
        setpriv --reuid=$NOBODY --regid=$NOBODY --clear-groups "$tool" "$@"
    else
        "$tool" "$@"
    fi
}

finish() {
    [ -f "$PG_DATA/postmaster.pid" ] && as_server pg_ctl -D "$PG_DATA" -m fast -w stop >/dev/null
    if [ "${KEEP:-}" = 1 ]; then echo "The stores are kept in $WORK"; else rm -rf "$WORK"; fi
}
trap finish EXIT

# A server on a Unix socket in the work folder, like the tests' own.
start_postgres() {
    quarvo_install_packages postgresql || return 1
    mkdir -p "$PG_DATA" "$WORK/postgres/socket"
    if [ "$(id -u)" = 0 ]; then
        chmod 711 "$WORK" "$WORK/postgres"
        chown $NOBODY:$NOBODY "$PG_DATA" "$WORK/postgres/socket"
    fi
    as_server initdb -D "$PG_DATA" -A trust -U quarvo --no-sync >/dev/null || return 1
    as_server pg_ctl -D "$PG_DATA" -l "$PG_DATA/log" -w start \
        -o "-c listen_addresses='' -k $WORK/postgres/socket -c fsync=off -c max_wal_size=1GB" >/dev/null || return 1
    for database in two year; do
        as_server createdb -h "$WORK/postgres/socket" -U quarvo "$database" || return 1
    done
}

# median_ms COMMAND...: the median wall time of 10 runs, in milliseconds.
median_ms() {
    hyperfine -N --style none --warmup 2 --runs 10 --export-json "$WORK/hyperfine.json" "$*" >/dev/null 2>&1 || return 1
    python3 -c 'import json, sys; print("%.0f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' "$WORK/hyperfine.json"
}

# measure NAME TWO-NIGHTS-STORE YEAR-STORE
measure() {
    echo "== $1: $NIGHTS nights of 3 servers, $FOLDERS folders each"
    "$RUN" fill "$2" 2 "$FOLDERS" >/dev/null || return 1
    echo "-- a store of two nights"
    "$RUN" measure "$2" | grep '^compare: two' || return 1
    echo "-- the year's store"
    "$RUN" fill "$3" "$NIGHTS" "$FOLDERS" || return 1
    "$RUN" measure "$3" || return 1
    local ms listed
    export QUARVO_HISTORY="$3" QUARVO_SITE="$WORK/site.toml"
    ms=$(median_ms "$QUARVO" --history) || return 1
    listed=$("$QUARVO" --history | tail -n +2 | wc -l)
    unset QUARVO_HISTORY QUARVO_SITE
    echo "quarvo --history: $listed runs listed in $ms ms (median of 10; target < 200 ms)"
}

# No trees needed: only the history is read.
printf '[[tree]]\nname = "ACME_TREE"\ndirectory = "inline"\ndefault = true\n' > "$WORK/site.toml"
ONLY=${ONLY:-}
status=0
if [ -z "$ONLY" ] || [ "$ONLY" = sqlite ]; then
    measure SQLite "$WORK/two.sqlite" "$WORK/year.sqlite" || status=1
    echo "SQLite file: $(du -h "$WORK/year.sqlite" | cut -f1)"
    [ "${KEEP:-}" = 1 ] || rm -f "$WORK"/*.sqlite*
fi
if [ -z "$ONLY" ] || [ "$ONLY" = postgres ]; then
    if start_postgres; then
        socket="?host=$WORK/postgres/socket"
        measure PostgreSQL "postgresql://quarvo@/two$socket" "postgresql://quarvo@/year$socket" || status=1
        echo "PostgreSQL data folder: $(du -sh "$PG_DATA" | cut -f1)"
    else
        echo "PostgreSQL could not be started" >&2
        status=1
    fi
fi
exit $status
