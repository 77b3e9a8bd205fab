#!/usr/bin/env bash
# Times an ldap tree against an inline tree holding the same objects: a slapd
# of its own (size limit 500) with 10,000 users, 500 groups, 50 units and a
# unit of 1,000 sub-containers. Prints the time to list every user from
# [Root], an All Owners command-line run for the container of the 10,000 users
# on both trees (median of 5), and expanding the container of 1,000
# sub-containers. Run as root to give the volume's files their owners.
#
#   bench/ldap_compare.sh [users]
set -u
BENCH=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
QUARVO_ROOT=$(dirname "$BENCH")
USERS=${1:-10000}

. "$QUARVO_ROOT/scripts/setup.sh"
quarvo_build --target quarvo ldap_run || exit 1
WORK=$(mktemp -d /var/tmp/quarvo-ldap.XXXXXX)
trap 'rm -rf "$WORK"' EXIT
"$QUARVO_ROOT/build/ldap_run" "$WORK" "$USERS"
