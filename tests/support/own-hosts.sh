#!/usr/bin/env bash
# Runs a command with a host file of its own bound over /etc/hosts, in a
# mount namespace of its own, and names that file in TALVORIN_TEST_HOSTS: a
# test may then make a host name known while it runs, as a name service that
# answers late does. Without the rights for it (not root, no unshare), the
# command runs as it is, without TALVORIN_TEST_HOSTS.
set -euo pipefail
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    exec "$@"
fi
hosts=$(mktemp)
trap 'rm -f "$hosts"' EXIT
cp /etc/hosts "$hosts"
status=0
TALVORIN_TEST_HOSTS=$hosts unshare --mount sh -c \
    'mount --bind "$TALVORIN_TEST_HOSTS" /etc/hosts || unset TALVORIN_TEST_HOSTS; exec "$@"' sh "$@" \
    || status=$?
exit $status
