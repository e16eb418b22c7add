#!/usr/bin/env bash
# Fails when a tracked file still holds a merge's conflict markers. Not `git diff --check`: it
# also flags the trailing blanks that some fuzz corpus inputs hold on purpose.
set -uo pipefail
cd "$1" || exit 1
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "SKIPPED: not a git checkout, so there are no tracked files to look through"
    exit 77
fi
if git grep -I -n -E '^(<<<<<<<|>>>>>>>)( |$)|^=======$'; then
    echo "Merge conflict markers are left in the lines above."
    exit 1
fi
echo "no conflict markers"
