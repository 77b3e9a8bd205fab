#!/usr/bin/env bash
# Times an ldap tree against an inline tree holding the same objects: a slapd
# of its own (size limit 500) with 10,000 users, 500 groups, 50 units and a
# unit of 1,000 sub-containers. Prints the time to list every user from
# [Root], an All Owners command-line run for the container of the 10,000 users
# on both trees (median of 5), and expanding the container of 1,000
# sub-containers. Run as root to give the volume's files their owners.
#
# --large: a slapd of its own with 100,000 users in 200 units and 2,000
# groups (one of 20,000 members), loaded with slapadd; quarvo's command-line
# Owner runs (All Owners of the whole tree, the 20,000-member group, one unit
# of 500) against ldapsearch reading the same entries, wall time and peak
# memory of each under GNU time, median of 3.
#
#   bench/ldap_compare.sh [users]
#   bench/ldap_compare.sh --large
#   LDAP_RUN_HOLD=1 bench/ldap_compare.sh --large   (stops with the server loaded, for perf record by hand)
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
MODE=${1:-10000}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_build --target quarvo ldap_run || exit 1
if [ "$MODE" = --large ]; then
    # GNU time gives the peak memory of each run.
    quarvo_install_packages time || exit 1
fi
WORK=$(mktemp -d "$QUARVO_ROOT/build/bench-work.XXXXXX") # as root, site files are read only from folders only root can change
trap 'rm -rf "$WORK"' EXIT
"$QUARVO_ROOT/build/ldap_run" "$WORK" "$MODE"
