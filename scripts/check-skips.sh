#!/usr/bin/env bash
# Fails when a CTest log reports a test as skipped that may not skip: a skipped test proved
# nothing, and CI must not count it as passed. A test may skip only when a line of
# tests/allowed-skips (an extended regular expression matched against the whole test name,
# with the reason in a comment) or one of $CELLVANE_ALLOWED_SKIPS (such expressions separated by
# spaces, for a machine that lacks what CI has) allows it.
#
#   scripts/check-skips.sh CTEST-LOG...
set -euo pipefail
set -f # the expressions are never file names
allowed_file="$(dirname "$0")/../tests/allowed-skips"
patterns=$( { grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$allowed_file" 2>/dev/null || true
              printf '%s\n' ${CELLVANE_ALLOWED_SKIPS:-}; } | sed '/^$/d')
status=0
skipped=$(sed -n -E 's/^[[:space:]]*[0-9]+ - (.*) \(Skipped\)[[:space:]]*$/\1/p' "$@" | sort -u)
while IFS= read -r name; do
    [ -n "$name" ] || continue
    allowed=no
    while IFS= read -r pattern; do
        [ -n "$pattern" ] || continue
        if printf '%s\n' "$name" | grep -q -x -E -e "$pattern"; then
            allowed=yes
            break
        fi
    done <<<"$patterns"
    if [ "$allowed" = yes ]; then
        echo "skipped (allowed): $name"
    else
        echo "skipped but must run: $name" >&2
        status=1
    fi
done <<<"$skipped"
exit $status
