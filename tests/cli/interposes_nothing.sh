#!/usr/bin/env bash
# interposes_nothing.sh BINARY HOOKS_LIST: fails when BINARY defines, among its dynamic symbols,
# a C library function that the validator's real-time hooks stand in for (the names of
# HOOKS_LIST): such a definition would take the C library's place for the whole process.
set -euo pipefail
binary=$1 hooks=$2
names=$(tr -s ' ;{}\n' '\n' < "$hooks" | grep -E '^[a-z_0-9]+$' | sort -u)
defined=$(nm -D --defined-only "$binary" | awk '{ print $NF }' | sed 's/@.*//' | sort -u)
found=$(comm -12 <(echo "$names") <(echo "$defined"))
if [ -n "$found" ]; then
    echo "$(basename "$binary") defines C library functions: $(echo $found)"
    exit 1
fi
echo "$(basename "$binary") defines none of the $(echo "$names" | wc -l) hooked functions"
